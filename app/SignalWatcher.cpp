#include "app/SignalWatcher.h"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onWatchedSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : signalNumbers) {
        if (signalNumber <= 0 || signalNumber >= NSIG)
            continue;
        writeEndPlusOne[std::size_t(signalNumber)] = pipe_[1] + 1;
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
    notifier_.reset();
    for (int& fd : pipe_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalWatcher::readSignal()
{
    char bytes[16];
    bool received = false;
    while (::read(pipe_[0], bytes, sizeof bytes) > 0)
        received = true;
    if (received && onSignal_)
        onSignal_();
}
