#pragma once
// The network work of a window (the FTP settings test, the version check) on a thread of its own,
// so the GUI thread never waits on a server and the window can close at once. The work hands its
// results back through a Poster: posted calls run on the thread that started the task, in the
// order posted, and never once the task has been stopped or destroyed, so a window closed during
// the work gets no late call.
//
// Threads: Start, Stop, Running and the destructor on the owning (GUI) thread; the Poster from the work.
#include "net/TcpSocket.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace tarvo {

class NetworkTask {
public:
    class Poster {
    public:
        void operator()(std::function<void()> call) const;

    private:
        friend class NetworkTask;
        Poster(NetworkTask* task, std::uint64_t run) : task_(task), run_(run) {}
        NetworkTask* task_;
        std::uint64_t run_;
    };
    using Work = std::function<void(const Poster& post)>;

    // abort: the signal the work's sockets watch. Stop raises it and Start clears it.
    explicit NetworkTask(AbortSignal& abort);
    ~NetworkTask();
    NetworkTask(const NetworkTask&) = delete;
    NetworkTask& operator=(const NetworkTask&) = delete;

    // Stops a run still going, then runs work on a new thread.
    void Start(Work work);
    // Aborts the work, waits for its thread and drops its calls not yet run. Does nothing when idle.
    void Stop();
    // True from Start until the work's last posted call has run, or until Stop.
    bool Running() const { return thread_.joinable(); }

private:
    AbortSignal& abort_;
    std::unique_ptr<QObject> receiver_; // posted calls are delivered to it on the owning thread
    std::uint64_t run_ = 0;             // counts runs; a call posted by an earlier run is dropped
    std::thread thread_;
};

} // namespace tarvo
