#include "app/TerminationSignals.h"

#include "support/TestSupport.h"

#include <csignal>
#include <gtest/gtest.h>

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
