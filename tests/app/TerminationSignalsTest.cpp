#include "app/core/TerminationSignals.h"

#include "support/TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>

namespace tarvo {

TEST(TerminationSignals, TermAndIntRunTheExitCommandOnTheEventLoop)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        int exits = 0;
        TerminationSignals watcher([&] { ++exits; });
        ASSERT_EQ(::raise(signal), 0);
        EXPECT_EQ(exits, 0) << "the handler itself only hands the signal over";
        ASSERT_TRUE(WaitFor([&] { return exits == 1; }));
    }
}

TEST(TerminationSignals, WatchersOfDifferentSignalsEachHearOnlyTheirOwn)
{
    int exits = 0;
    int userSignals = 0;
    TerminationSignals termination([&] { ++exits; });
    {
        SignalWatcher user({SIGUSR1}, [&] { ++userSignals; });
        ASSERT_EQ(::raise(SIGUSR1), 0);
        ASSERT_TRUE(WaitFor([&] { return userSignals == 1; }));
        ASSERT_EQ(::raise(SIGTERM), 0);
        ASSERT_TRUE(WaitFor([&] { return exits == 1; }));
        EXPECT_EQ(userSignals, 1);
    }
    // The watcher's end gives SIGUSR1 its previous handling back; SIGTERM is still watched.
    struct sigaction current = {};
    sigaction(SIGUSR1, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(WaitFor([&] { return exits == 2; }));
}

} // namespace tarvo
