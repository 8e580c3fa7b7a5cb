#include "platform/stop_request.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/clock.h"

namespace {

TEST(StopRequest, EveryCopyOfATokenSeesTheFirstRequest)
{
    const CStopToken never;
    EXPECT_FALSE(never.StopRequested());
    EXPECT_EQ(0, never.Signal());
    EXPECT_EQ("", never.Reason());

    CStopSource source;
    const CStopToken token = source.Token();
    const CStopToken copy = token;
    EXPECT_FALSE(copy.StopRequested());
    source.RequestStop(SIGINT);
    source.RequestStop(SIGTERM);
    EXPECT_TRUE(token.StopRequested());
    EXPECT_EQ(SIGINT, copy.Signal());
    EXPECT_EQ("SIGINT", copy.Reason());
}

TEST(StopRequest, AWaitEndsWhenTheRequestComes)
{
    CStopSource source;
    const CStopToken token = source.Token();
    EXPECT_FALSE(token.WaitFor(30));
    std::thread requester([&source] {
        SleepMs(50);
        source.RequestStop(SIGHUP);
    });
    const std::int64_t start = MonotonicMs();
    // Generous: the wait must end with the request, long before its own end.
    EXPECT_TRUE(token.WaitFor(60000));
    EXPECT_LT(MonotonicMs() - start, 30000);
    requester.join();
}

// In a child process: the first stop signal asks, the process goes on and
// its exit status is what the command makes of the request; the second one
// ends the process as the signal does.
TEST(StopRequest, TheFirstSignalAsksAndASecondEndsTheProcess)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        for (const int raised : {1, 2}) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                const CStopToken token = CatchStopSignals();
                for (int i = 0; i < raised; ++i) {
                    ::raise(signal);
                }
                ::_exit(token.StopRequested() ? 128 + token.Signal() : 0);
            }
            int status = 0;
            ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
            if (raised == 1) {
                ASSERT_TRUE(WIFEXITED(status)) << status;
                EXPECT_EQ(128 + signal, WEXITSTATUS(status));
            } else {
                ASSERT_TRUE(WIFSIGNALED(status)) << status;
                EXPECT_EQ(signal, WTERMSIG(status));
            }
        }
    }
}

// nohup: an ignored hang-up stays ignored.
TEST(StopRequest, AnIgnoredSignalStaysIgnored)
{
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGHUP, SIG_IGN);
        const CStopToken token = CatchStopSignals();
        ::raise(SIGHUP);
        ::raise(SIGHUP);
        ::_exit(token.StopRequested() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(pid, ::waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(0, WEXITSTATUS(status));
}

}  // namespace
