// Calls queued from another thread: one runs on its context's thread with what the sender
// captured; one whose context is deleted first is destroyed there unrun. The sender stays alive
// and unjoined meanwhile, so under ThreadSanitizer only the hand-over orders the two threads, and
// neither way may read as a race.
#include "common/ThreadHandOver.h"

#include <QCoreApplication>
#include <QStringList>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tarvo {

namespace {

void SleepUntil(const std::atomic<bool>& flag)
{
    while (!flag.load(std::memory_order_relaxed))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(PostQueued, RunsOnTheContextsThreadOrIsDestroyedThereUnrun)
{
    QObject alive;
    auto gone = std::make_unique<QObject>();
    QStringList ran;
    // Relaxed flags: they add no ordering that would hide a missing hand-over.
    std::atomic<bool> posted{false};
    std::atomic<bool> finished{false};
    std::atomic<int> capturesFreed{0};
    std::thread sender([&ran, &posted, &finished, &capturesFreed, aliveTarget = &alive, goneTarget = gone.get()] {
        {
            const QString text = QString::number(42);
            const std::shared_ptr<void> capture(nullptr, [&capturesFreed](void*) {
                capturesFreed.fetch_add(1, std::memory_order_relaxed);
            });
            PostQueued(aliveTarget, [&ran, text] { ran << text; });
            PostQueued(goneTarget, [&ran, text, capture] { ran << "dropped " + text; });
        }
        posted.store(true, std::memory_order_relaxed);
        SleepUntil(finished);
    });
    SleepUntil(posted);
    gone.reset();
    EXPECT_EQ(capturesFreed.load(std::memory_order_relaxed), 1) << "the dropped call is destroyed with its context";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ran, QStringList{"42"});
    finished.store(true, std::memory_order_relaxed);
    sender.join();
}

} // namespace

} // namespace tarvo
