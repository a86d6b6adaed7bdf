#include "app/core/SignalWatcher.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tarvo {

namespace {
// The write end of the pipe watching each signal, plus one; 0 while nobody watches it. Lock-free
// atomics, so the handler may read them.
std::array<std::atomic<int>, NSIG> writeEndPlusOne{};

extern "C" void onWatchedSignal(int signalNumber)
{
    const int saved = errno;
    const int fd = writeEndPlusOne[std::size_t(signalNumber)].load() - 1;
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = saved;
}
} // namespace

SignalWatcher::SignalWatcher(std::vector<int> signalNumbers, std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal))
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_.Reset(ends[0]);
    writeEnd_.Reset(ends[1]);
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.Get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onWatchedSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers) {
        if (signalNumber <= 0 || signalNumber >= NSIG)
            continue;
        writeEndPlusOne[std::size_t(signalNumber)] = writeEnd_.Get() + 1;
        struct sigaction before = {};
        sigaction(signalNumber, &action, &before);
        signals_.push_back(signalNumber);
        previous_.push_back(before);
    }
}

SignalWatcher::~SignalWatcher()
{
    for (std::size_t i = 0; i < signals_.size(); ++i) {
        sigaction(signals_[i], &previous_[i], nullptr);
        writeEndPlusOne[std::size_t(signals_[i])] = 0;
    }
    notifier_.reset(); // the pipe's ends close after it, with the members
}

void SignalWatcher::readSignal()
{
    char bytes[16];
    bool received = false;
    while (::read(readEnd_.Get(), bytes, sizeof bytes) > 0)
        received = true;
    if (received && onSignal_)
        onSignal_();
}

} // namespace tarvo
