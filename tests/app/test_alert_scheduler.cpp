// The re-run scheduler driven by a fake clock: due times, the queue, the 10-second stagger
// and its one chain.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/alert_scheduler.h"
#include "engine/clock.h"
#include "engine/quiet_hours.h"
#include "model/search.h"

using namespace trawlix;

namespace {

constexpr double kSecond = 1.0 / 86400.0;
const double kTen = EncodeDate(2026, 12, 10) + 10.0 / 24.0;  // 10:00

class SchedulerTest : public ::testing::Test {
protected:
    SchedulerTest() {
        for (int i = 0; i < 3; ++i) {
            fSearches.push_back(std::make_unique<TSearch>());
            fSearches.back()->SetName("search " + std::to_string(i));
        }
    }

    TAlertScheduler::THooks Hooks() {
        TAlertScheduler::THooks hooks;
        hooks.searches = [this] {
            std::vector<TSearch*> list;
            for (const auto& search : fSearches) list.push_back(search.get());
            return list;
        };
        hooks.startSearch = [this](TSearch& aSearch) {
            fStarts.push_back({&aSearch, fNow});
            return std::find(fCannotStart.begin(), fCannotStart.end(), &aSearch) == fCannotStart.end();
        };
        hooks.refreshZIPCode = [this](TSearch& aSearch) { fRefreshed.push_back(&aSearch); };
        hooks.now = [this] { return fNow; };
        return hooks;
    }
    void Enable(int aIndex, int aInterval = 15) {
        fSearches[aIndex]->GetAlert().SetEnabled(true);
        fSearches[aIndex]->GetAlert().SetIntervalMinutes(aInterval);
    }
    // Advances the clock second by second, polling as the owner's timer would.
    void RunFor(int aSeconds) {
        for (int i = 0; i < aSeconds; ++i) {
            fNow += kSecond;
            fScheduler.Poll();
        }
    }
    std::vector<TSearch*> Started() const {
        std::vector<TSearch*> started;
        for (const auto& start : fStarts) started.push_back(start.search);
        return started;
    }

    struct TStart {
        TSearch* search;
        double at;
    };
    std::vector<std::unique_ptr<TSearch>> fSearches;
    std::vector<TStart> fStarts;
    std::vector<TSearch*> fCannotStart;
    std::vector<TSearch*> fRefreshed;
    double fNow = kTen;
    TAlertScheduler fScheduler{Hooks()};
};

}  // namespace

TEST_F(SchedulerTest, DueTimesFollowTheIntervalAndANeverRunSearchIsDueAtOnce) {
    Enable(0);
    Enable(1);
    fSearches[1]->GetAlert().SetLastSearchedAt(kTen);  // ran automatically at 10:00
    // Search 2 is switched off: never queued.
    EXPECT_EQ(fScheduler.Tick(), 1);
    fScheduler.Poll();
    EXPECT_EQ(Started(), std::vector<TSearch*>{fSearches[0].get()});
    EXPECT_EQ(fSearches[0]->GetAlert().GetLastSearchedAt(), kTen);
    EXPECT_EQ(fRefreshed, std::vector<TSearch*>{fSearches[0].get()}) << "the ZIP code is looked up before the start";

    fNow = kTen + 14 * 60 * kSecond + 59 * kSecond;
    EXPECT_EQ(fScheduler.Tick(), 0) << "10:14:59 is before 10:15";
    fNow = kTen + 15 * 60 * kSecond;
    EXPECT_EQ(fScheduler.Tick(), 2) << "at 10:15 both are due again";
}

TEST_F(SchedulerTest, QueuedSearchesStartTenSecondsApartAndAFailedStartLetsTheNextGoAtOnce) {
    Enable(0);
    Enable(1);
    Enable(2);
    fCannotStart = {fSearches[1].get()};
    fScheduler.Tick();
    fScheduler.Poll();
    RunFor(60);
    ASSERT_EQ(fStarts.size(), 3u);
    EXPECT_EQ(Started(), (std::vector<TSearch*>{fSearches[0].get(), fSearches[1].get(), fSearches[2].get()}));
    EXPECT_NEAR((fStarts[1].at - fStarts[0].at) / kSecond, 10, 0.01);
    EXPECT_NEAR((fStarts[2].at - fStarts[1].at) / kSecond, 0, 0.01) << "search 1 did not start";
}

TEST_F(SchedulerTest, OneChainWhateverTheTicks) {
    for (int i = 0; i < 3; ++i) Enable(i, 1);
    fScheduler.Tick();
    // Ticks every 30 s for five minutes: each tick either finds the queue busy or queues
    // into an empty one; never more than one start per 10 s.
    for (int tick = 0; tick < 10; ++tick) {
        RunFor(30);
        fScheduler.Tick();
    }
    ASSERT_GT(fStarts.size(), 6u);
    for (size_t i = 1; i < fStarts.size(); ++i)
        EXPECT_GE((fStarts[i].at - fStarts[i - 1].at) / kSecond, 10 - 0.01) << "start " << i;
}

TEST_F(SchedulerTest, OneMinuteSearchesReRunWithinSecondsOfTheirDueTime) {
    for (int i = 0; i < 3; ++i) Enable(i, 1);
    fScheduler.Tick();
    fScheduler.Poll();
    // Five minutes of the owner's checks; the clock adds up seconds as a day fraction.
    for (int check = 0; check < 60; ++check) {
        RunFor(TAlertScheduler::cCheckIntervalMs / 1000);
        fScheduler.Tick();
    }
    for (const auto& search : fSearches) {
        std::vector<double> starts;
        for (const TStart& start : fStarts)
            if (start.search == search.get()) starts.push_back(start.at);
        ASSERT_GE(starts.size(), 4u) << search->GetName();
        for (size_t i = 1; i < starts.size(); ++i) {
            const double gap = (starts[i] - starts[i - 1]) / kSecond;
            EXPECT_GE(gap, 60 - 0.01) << search->GetName() << " run " << i;
            EXPECT_LE(gap, 60 + 6) << search->GetName() << " run " << i;
        }
    }
}

TEST_F(SchedulerTest, PausedSearchesAreDroppedAndQueuedAgainLater) {
    Enable(0);
    fScheduler.SetSearchingPaused(true);
    fScheduler.Tick();
    fScheduler.Poll();
    EXPECT_TRUE(fStarts.empty());
    EXPECT_EQ(fScheduler.QueueLength(), 0u);
    EXPECT_EQ(fSearches[0]->GetAlert().GetLastSearchedAt(), 0) << "still due";
    fScheduler.SetSearchingPaused(false);
    RunFor(30);
    fScheduler.Tick();
    RunFor(10);
    EXPECT_EQ(Started(), std::vector<TSearch*>{fSearches[0].get()});
}

TEST_F(SchedulerTest, ASearchClosedWhileQueuedIsSkipped) {
    Enable(0);
    Enable(1);
    fScheduler.Tick();
    TSearch* second = fSearches[1].get();
    fSearches.erase(fSearches.begin());  // the first tab is closed before its turn
    fScheduler.Poll();
    EXPECT_EQ(Started(), std::vector<TSearch*>{second});
}

TEST_F(SchedulerTest, ClosingStopsTheChain) {
    Enable(0);
    Enable(1);
    fScheduler.Tick();
    fScheduler.Poll();
    fScheduler.Close();
    RunFor(60);
    EXPECT_EQ(fStarts.size(), 1u);
    EXPECT_EQ(fScheduler.Tick(), 0);
    EXPECT_EQ(fScheduler.MillisecondsUntilAutoSearch(), -1);
}

TEST_F(SchedulerTest, TheOwnerLearnsWhenToPollNext) {
    EXPECT_EQ(fScheduler.MillisecondsUntilAutoSearch(), -1) << "idle";
    Enable(0);
    Enable(1);
    fScheduler.Tick();
    EXPECT_EQ(fScheduler.MillisecondsUntilAutoSearch(), 0);
    fScheduler.Poll();
    EXPECT_EQ(fScheduler.MillisecondsUntilAutoSearch(), TAlertScheduler::cStaggerMs);
    fNow += 4 * kSecond;
    EXPECT_NEAR(fScheduler.MillisecondsUntilAutoSearch(), 6000, 1);
}

TEST(SchedulerQuietHours, HeldDigestsGoOutOnceWhenTheQuietHoursEndAcrossMidnight) {
    const TQuietHours night = TQuietHours::Parse("22:00-07:00");
    double now = EncodeDate(2026, 12, 10) + 21.5 / 24.0;  // 21:30
    int flushes = 0;
    TAlertScheduler::THooks hooks;
    hooks.searches = [] { return std::vector<TSearch*>{}; };
    hooks.now = [&now] { return now; };
    hooks.inQuietHours = [&night](double aNow) { return night.Contains(aNow); };
    hooks.sendHeldDigests = [&flushes] { ++flushes; };
    TAlertScheduler scheduler(std::move(hooks));
    // Ticks every 30 minutes from 21:30 to 08:00 the next morning.
    for (int i = 0; i <= 21; ++i, now += 30.0 / 1440.0) {
        scheduler.Tick();
        const int hour = (21 * 60 + 30 + i * 30) / 60 % 24;
        SCOPED_TRACE(hour);
        EXPECT_EQ(flushes, hour >= 7 && hour < 12 ? 1 : 0);
    }
    EXPECT_EQ(flushes, 1) << "one flush when the quiet hours end, not one per tick";
}

TEST_F(SchedulerTest, IntervalsInSecondsAreDueToTheSecond) {
    Enable(0);
    fSearches[0]->GetAlert().SetIntervalSeconds(15);
    fSearches[0]->GetAlert().SetLastSearchedAt(kTen);
    fNow = kTen + 14 * kSecond;
    EXPECT_EQ(fScheduler.Tick(), 0);
    fNow = kTen + 15 * kSecond;
    EXPECT_EQ(fScheduler.Tick(), 1);
}

TEST_F(SchedulerTest, TheOwnerLearnsHowLongItMaySleepUntilTheNextDueSearch) {
    constexpr long long kLongest = 60000;
    EXPECT_EQ(fScheduler.MillisecondsUntilNextDue(kLongest), kLongest) << "nothing enabled";
    Enable(0);
    fSearches[0]->GetAlert().SetIntervalSeconds(15);
    EXPECT_EQ(fScheduler.MillisecondsUntilNextDue(kLongest), 0) << "never run: due at once";
    fSearches[0]->GetAlert().SetLastSearchedAt(kTen);
    fNow = kTen + 5 * kSecond;
    EXPECT_EQ(fScheduler.MillisecondsUntilNextDue(kLongest), 10000);
    Enable(1);
    fSearches[1]->GetAlert().SetIntervalSeconds(60);
    fSearches[1]->GetAlert().SetLastSearchedAt(kTen);
    EXPECT_EQ(fScheduler.MillisecondsUntilNextDue(kLongest), 10000) << "the sooner of the two";
    fNow = kTen + 15 * kSecond;
    ASSERT_EQ(fScheduler.Tick(), 1);
    EXPECT_EQ(fScheduler.MillisecondsUntilNextDue(kLongest), 45000) << "a queued search waits for its start, not a tick";
}

TEST_F(SchedulerTest, WithoutStaggerQueuedSearchesStartAtOnceAsFarAsTheOwnerAllows) {
    std::size_t allowed = 2;
    TAlertScheduler::THooks hooks = Hooks();
    hooks.staggerMs = 0;
    hooks.mayStartAnother = [&] { return fStarts.size() < allowed; };
    TAlertScheduler scheduler(hooks);
    for (int i = 0; i < 3; ++i) Enable(i);
    EXPECT_EQ(scheduler.Tick(), 3);
    for (int poll = 0; poll < 5; ++poll) scheduler.Poll();
    EXPECT_EQ(fStarts.size(), 2u) << "the third waits for a run to end";
    EXPECT_EQ(scheduler.QueueLength(), 1u);
    allowed = 3;
    scheduler.OnAutoSearch();
    ASSERT_EQ(fStarts.size(), 3u);
    EXPECT_EQ(fStarts[2].at, kTen) << "no stagger: the same moment";
}
