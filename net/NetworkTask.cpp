#include "net/NetworkTask.h"

#include "common/ThreadHandOver.h"

namespace tarvo {

NetworkTask::NetworkTask(AbortSignal& abort) : abort_(abort), receiver_(std::make_unique<QObject>()) {}

// Deleting the receiver afterwards discards the calls still queued for it.
NetworkTask::~NetworkTask() { Stop(); }

void NetworkTask::Poster::operator()(std::function<void()> call) const
{
    NetworkTask* task = task_;
    const std::uint64_t run = run_;
    PostQueued(task->receiver_.get(), [task, run, call = std::move(call)] {
        if (task->run_ == run)
            call();
    });
}

void NetworkTask::Start(Work work)
{
    Stop();
    abort_.Clear();
    const Poster post(this, ++run_);
    thread_ = std::thread([this, post, work = std::move(work)] {
        work(post);
        // The thread has nothing left to do once this runs, so the join returns at once.
        post([this] { thread_.join(); });
    });
}

void NetworkTask::Stop()
{
    ++run_;
    if (!thread_.joinable())
        return;
    abort_.Raise();
    thread_.join();
}

} // namespace tarvo
