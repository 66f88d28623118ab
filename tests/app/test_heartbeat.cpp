// The watcher's heartbeat against the site simulator: a GET to the address set, failures
// worded without the address's secret path, and never more than one ping a minute.
#include <gtest/gtest.h>

#include <mutex>

#include "app/heartbeat.h"
#include "app/settings.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::TempDir;

namespace {

class HeartbeatTest : public ::testing::Test {
protected:
    std::vector<test::TSimRequest> Pings() const {
        std::vector<test::TSimRequest> pings;
        for (const auto& request : fSim.Requests())
            if (request.url.find("/__sim/status") != std::string::npos) pings.push_back(request);
        return pings;
    }

    test::TSiteSimulator fSim;
    TempDir fDir;
    TSettings fSettings{fDir / "settings.conf", fDir / "trawlix.desktop", "/usr/bin/trawlix"};
};

}  // namespace

TEST_F(HeartbeatTest, APingIsAGetAndItsFailuresAreWordsNotErrors) {
    EXPECT_EQ(PingHeartbeat(fSettings), "") << "none set: nothing to do";
    fSettings.SetHeartbeatURL(fSim.Url("/__sim/status?code=200&check=5d1e-secret"));
    EXPECT_EQ(PingHeartbeat(fSettings), "");
    const auto pings = Pings();
    ASSERT_EQ(pings.size(), 1u);
    EXPECT_EQ(pings[0].method, "GET");

    fSettings.SetHeartbeatURL(fSim.Url("/__sim/status?code=503"));
    EXPECT_EQ(PingHeartbeat(fSettings), "The heartbeat address answered HTTP 503");

    fSettings.SetHeartbeatURL("http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/ping/5d1e-secret");
    const std::string failure = PingHeartbeat(fSettings);
    EXPECT_EQ(failure.rfind("The heartbeat could not be sent: ", 0), 0u) << failure;
    EXPECT_EQ(failure.find("5d1e-secret"), std::string::npos) << failure;

    fSettings.SetHeartbeatURL("ftp://example.org/x");
    EXPECT_EQ(PingHeartbeat(fSettings), "The heartbeat address is not an http:// or https:// address");
}

TEST_F(HeartbeatTest, TheWatchersBeatPingsOnceAMinuteAtMostAndLogsFailures) {
    std::mutex lock;
    std::vector<std::string> logged;
    fSettings.SetHeartbeatURL(fSim.Url("/__sim/status?code=500"));
    {
        THeartbeat heartbeat(fSettings, [&](const std::string& aProblem) {
            std::lock_guard guard(lock);
            logged.push_back(aProblem);
        });
        heartbeat.Beat();
        heartbeat.Beat();
        heartbeat.Beat();
    }  // the ping in flight ends with the heartbeat
    EXPECT_EQ(Pings().size(), 1u);
    EXPECT_EQ(logged, std::vector<std::string>{"The heartbeat address answered HTTP 500"});
}

TEST(HeartbeatURLTest, OnlyWebAddressesOrNothing) {
    for (const char* good : {"", "  ", "https://hc-ping.com/5d1e", "http://127.0.0.1:8000/ping", "HTTPS://x.example"})
        EXPECT_TRUE(IsValidHeartbeatURL(good)) << good;
    for (const char* bad : {"hc-ping.com/5d1e", "https://", "https:///path", "ftp://x", "https://a b"})
        EXPECT_FALSE(IsValidHeartbeatURL(bad)) << bad;
}
