#include "engine/host_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace trawlix {
namespace {

using namespace std::chrono_literals;
using TTime = THostSchedule::TTime;

const TTime cStart = TTime() + 1h;

// A schedule without jitter: six requests a minute are ten seconds apart.
class HostScheduleTest : public ::testing::Test {
protected:
    THostSchedule fSchedule{6, 0.2, {}};

    bool Start(const std::string& aHost, std::chrono::seconds aAt, TTime* aRetry = nullptr) {
        TTime retry;
        const bool started = fSchedule.TryStart(aHost, cStart + aAt, retry);
        if (started) fSchedule.Finished(aHost);
        if (aRetry) *aRetry = retry;
        return started;
    }
};

TEST_F(HostScheduleTest, SpacesRequestsToOneHostAndLeavesOtherHostsFree) {
    struct TCase {
        const char* host;
        int at;
        bool starts;
    };
    const TCase cases[] = {
        {"a.example", 0, true},  {"a.example", 5, false}, {"b.example", 5, true},
        {"a.example", 10, true}, {"a.example", 19, false}, {"a.example", 20, true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Start(c.host, std::chrono::seconds(c.at)), c.starts) << c.host << " at " << c.at;
}

TEST_F(HostScheduleTest, TellsWhenToAskAgain) {
    TTime retry;
    ASSERT_TRUE(Start("a.example", 0s));
    EXPECT_FALSE(Start("a.example", 3s, &retry));
    EXPECT_EQ(retry, cStart + 10s);
}

TEST_F(HostScheduleTest, OneRequestAtATimePerHost) {
    TTime retry;
    ASSERT_TRUE(fSchedule.TryStart("a.example", cStart, retry));
    // Long past the spacing, the request under way still holds the host.
    EXPECT_FALSE(fSchedule.TryStart("a.example", cStart + 1h, retry));
    EXPECT_EQ(retry, TTime::max());
    fSchedule.Finished("a.example");
    EXPECT_TRUE(fSchedule.TryStart("a.example", cStart + 1h, retry));
}

TEST_F(HostScheduleTest, NeverMoreThanTheBudgetInAnyMinute) {
    int started = 0;
    // Asked every second for ten minutes: six a minute, whatever the asking.
    for (int second = 0; second < 600; ++second) started += Start("a.example", std::chrono::seconds(second));
    EXPECT_EQ(started, 60);
    EXPECT_EQ(fSchedule.Left("a.example", cStart + 599s), 0);
    EXPECT_EQ(fSchedule.Left("a.example", cStart + 2000s), 6);
    EXPECT_EQ(fSchedule.Left("other.example", cStart), 6);
}

TEST(HostScheduleJitterTest, JitterOnlyLengthensTheSpacing) {
    THostSchedule schedule(6, 0.2, [] { return 0.5; });
    TTime retry;
    ASSERT_TRUE(schedule.TryStart("a.example", cStart, retry));
    schedule.Finished("a.example");
    EXPECT_FALSE(schedule.TryStart("a.example", cStart + 10s, retry));
    EXPECT_EQ(retry, cStart + 11s);
}

TEST(HostBudgetTest, AWaiterServedMeanwhileGetsNoTurnAndFiguresCountRequests) {
    THostBudget budget(6);
    auto first = budget.Acquire("a.example", {}, {});
    ASSERT_TRUE(first);
    std::atomic<bool> served{false};
    THostBudget::TTicket second;
    std::thread waiter([&] { second = budget.Acquire("a.example", [&] { return served.load(); }, {}); });
    served = true;
    // The first turn ends: the waiter wakes, finds the page fetched and takes no turn.
    first = {};
    waiter.join();
    EXPECT_FALSE(second);
    const auto figures = budget.TakeFigures();
    ASSERT_EQ(figures.count("a.example"), 1u);
    EXPECT_EQ(figures.at("a.example").requests, 1);
    EXPECT_EQ(figures.at("a.example").left, 5);
    EXPECT_TRUE(budget.TakeFigures().empty());
}

TEST(HostBudgetTest, AStoppedWaiterLeavesWithTheStopsError) {
    THostBudget budget(6);
    auto first = budget.Acquire("a.example", {}, {});
    EXPECT_THROW(budget.Acquire("a.example", {}, [] { throw std::runtime_error("stopped"); }), std::runtime_error);
}

}  // namespace
}  // namespace trawlix
