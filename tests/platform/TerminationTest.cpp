#include "support/TestSupport.h"

#include "platform/Termination.h"

#include <QSignalSpy>

#include <csignal>

class TerminationSignal : public testing::TestWithParam<int>
{
};

TEST_P(TerminationSignal, ArrivesOnTheEventLoopInsteadOfEndingTheProcess)
{
    const TTermination termination;
    ASSERT_TRUE(termination.IsActive());
    QSignalSpy spy(&termination, &TTermination::Requested);

    ASSERT_EQ(std::raise(GetParam()), 0);
    EXPECT_EQ(spy.count(), 0); // not from inside the handler
    ASSERT_TRUE(spy.wait(5000));
    EXPECT_EQ(spy.at(0).at(0).toInt(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Signals, TerminationSignal, testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto &row) { return std::string(sigabbrev_np(row.param)); });

TEST(Termination, RestoresThePreviousHandlingAndAllowsANewOne)
{
    std::signal(SIGHUP, SIG_IGN);
    {
        const TTermination first;
        const TTermination second;
        EXPECT_TRUE(first.IsActive());
        EXPECT_FALSE(second.IsActive());
        std::raise(SIGHUP); // left undelivered: must not reach the next one
    }
    struct sigaction now = {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);

    const TTermination again;
    ASSERT_TRUE(again.IsActive());
    QSignalSpy spy(&again, &TTermination::Requested);
    std::raise(SIGTERM);
    ASSERT_TRUE(spy.wait(5000));
    QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), SIGTERM);
    std::signal(SIGHUP, SIG_DFL);
}
