#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/sitesim_fixture.h"

namespace trawlix::test {

// A test suite that shares one site simulator (it takes a while to start): each test
// starts with an empty request log and no faults. A suite that needs the simulator on a
// fixed day starts it itself: static void SetUpTestSuite() { StartSimulator("2024-03-12"); }
class TSiteSimulatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { StartSimulator(); }
    static void TearDownTestSuite() { gSim.reset(); }
    // aToday: YYYY-MM-DD, the day the simulator's pages are dated from; empty for today.
    static void StartSimulator(const std::string& aToday = {}) {
        TSiteSimulator::TOptions options;
        options.today = aToday;
        gSim = std::make_unique<TSiteSimulator>(options);
    }

    void SetUp() override {
        fSim.ClearRequests();
        fSim.ClearFaults();
    }

    // The URLs the simulator was asked for, in their order.
    std::vector<std::string> RequestedUrls() const {
        std::vector<std::string> urls;
        for (const auto& request : fSim.Requests()) urls.push_back(request.url);
        return urls;
    }

    static inline std::unique_ptr<TSiteSimulator> gSim;
    TSiteSimulator& fSim = *gSim;
};

}  // namespace trawlix::test
