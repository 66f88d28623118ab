#include "engine/download.h"

#include <gtest/gtest.h>

#include "engine/http_test_env.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {


class DownloadTest : public test::TSiteSimulatorTest {
protected:
    void SetUp() override {
        TSiteSimulatorTest::SetUp();
        SetDownloadScratchFolder(fData.Path().string());
    }
    void TearDown() override { SetDownloadScratchFolder(""); }

    // Only requests of the program's own client carry the keep-alive header.
    static bool FromProgramClient(const test::TSimRequest& aRequest) { return !aRequest.Header("Keep-Alive").empty(); }

    // The simulator on the loopback is reached directly; anything else meets the closed
    // proxy every test program starts with.
    test::TScopedEnv fLoopbackDirect{"no_proxy", "127.0.0.1"};
    test::TempDir fData;
    TProxySettings fSettings;
};

TEST_F(DownloadTest, ClientAnswersFirst) {
    ICHTTPClient client = std::make_shared<TCHttpClient>(fSettings, false);
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=7"), client), "xxxxxxx");
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(FromProgramClient(requests[0]));
}

TEST_F(DownloadTest, FailedClientFallsBackToTheSystemTransfer) {
    ICHTTPClient client = std::make_shared<TCHttpClient>(fSettings, false);
    fSim.AddFault("/__sim/bytes?n=150", 500);
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=150"), client), std::string(150, 'x'));
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(FromProgramClient(requests[0]));
    EXPECT_FALSE(FromProgramClient(requests[1]));
}

TEST_F(DownloadTest, ARefusalIsNamedAndNotAskedAgainThroughTheFallback) {
    ICHTTPClient client = std::make_shared<TCHttpClient>(fSettings, false);
    for (int status : {403, 429, 503}) {
        SCOPED_TRACE(status);
        fSim.ClearRequests();
        TDownloadFailure failure;
        EXPECT_EQ(DownloadFile(fSim.Url("/__sim/status?code=" + std::to_string(status)), client, failure), "");
        EXPECT_EQ(failure.httpStatus, status);
        EXPECT_NE(failure.text.find("HTTP error " + std::to_string(status)), std::string::npos) << failure.text;
        EXPECT_EQ(fSim.Requests().size(), 1u) << "a site that turns us away is not knocked on twice";
    }
}

TEST_F(DownloadTest, NoClientGoesStraightToTheSystemTransferThroughItsFile) {
    std::string page = DownloadFile(fSim.Url("/__sim/bytes?n=30"), nullptr);
    EXPECT_EQ(page, std::string(30, 'x')) << "a short answer through the file is a page";
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(FromProgramClient(requests[0]));
    EXPECT_TRUE(std::filesystem::is_empty(fData.Path())) << "each transfer removes its own file";
}

TEST_F(DownloadTest, SystemTransferFailureGivesEmptyTextWithoutSecondTry) {
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/status?code=404"), nullptr), "");
    EXPECT_EQ(fSim.Requests().size(), 1u);
}

TEST_F(DownloadTest, StreamFallbackRejectsOneToNinetyNineBytes) {
    // Without a usable scratch folder the file step cannot run and the stream step does.
    struct TCase {
        int bytes;
        bool kept;
    };
    for (std::string folder : {std::string(), (fData / "missing" / "folder").string()}) {
        SetDownloadScratchFolder(folder);
        for (TCase c : {TCase{0, true}, TCase{1, false}, TCase{50, false}, TCase{99, false}, TCase{100, true},
                        TCase{101, true}}) {
            std::string expected = c.kept ? std::string(c.bytes, 'x') : std::string();
            EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=" + std::to_string(c.bytes)), nullptr), expected)
                << c.bytes << " bytes, folder '" << folder << "'";
        }
    }
}

TEST_F(DownloadTest, SystemTransferFollowsTheProxyEnvironment) {
    // Site hosts are reached only through the simulator as a proxy, never looked up.
    const std::string siteUrl = "http://sfbay.craigslist.org/search/sss?query=lamp+count5";
    const std::string deadProxy = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
    {
        test::TScopedEnv proxy("http_proxy", fSim.Url(""));
        EXPECT_NE(DownloadFile(siteUrl, nullptr).find("Displaying: 1 - 5 of 5"), std::string::npos);

        // The program's client keeps to its own settings (here a proxy that is down),
        // and the fall-back then goes through the environment's proxy.
        fSettings.SetEnabled(true);
        fSettings.SetHost("127.0.0.1");
        fSettings.SetPort(test::FreeLoopbackPort());
        ICHTTPClient client = std::make_shared<TCHttpClient>(fSettings, false);
        fSim.ClearRequests();
        EXPECT_NE(DownloadFile(siteUrl, client).find("Displaying"), std::string::npos);
        auto requests = fSim.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_FALSE(FromProgramClient(requests[0]));
    }
    test::TScopedEnv proxy("http_proxy", deadProxy);
    test::TScopedEnv noBypass("no_proxy", std::nullopt);
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=120"), nullptr), "") << "the environment's proxy is down";
    test::TScopedEnv bypass("no_proxy", "127.0.0.1");
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=120"), nullptr), std::string(120, 'x')) << "no_proxy goes direct";
}

TEST_F(DownloadTest, NeverRaisesAndRefusesOtherSchemes) {
    ICHTTPClient client = std::make_shared<TCHttpClient>(fSettings, false);
    const std::string deadPort = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/";
    for (const std::string& url : {std::string(), std::string("not a url"), std::string("file:///etc/hostname"),
                                   std::string("ftp://127.0.0.1/x"), deadPort}) {
        EXPECT_EQ(DownloadFile(url, client), "") << url;
        EXPECT_EQ(DownloadFile(url, nullptr), "") << url;
    }
}

TEST_F(DownloadTest, PostParamsSendsTheFormAndIgnoresTheAnswer) {
    std::string server = "127.0.0.1:" + std::to_string(fSim.Port());
    std::string params = "to=a%40b.c&text=caf\xE9+ok";
    EXPECT_EQ(PostParams(server, "/__sim/echo", params, "?id=7&x=1"), "") << "the answer has a body";
    EXPECT_EQ(PostParams(server, "/__sim/status", "", "?code=500"), "") << "an error status is not noticed";
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].url, "http://" + server + "/__sim/echo?id=7&x=1");
    EXPECT_EQ(requests[0].Header("User-Agent"), "VIZ2");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(requests[0].body, params) << "byte for byte";
}

TEST_F(DownloadTest, PostParamsReportsAnUnreachableServer) {
    std::string dead = "127.0.0.1:" + std::to_string(test::FreeLoopbackPort());
    for (const std::string& server : {dead, std::string("no host/")}) {
        try {
            PostParams(server, "/send_mail.php", "a=1", "");
            ADD_FAILURE() << "no error for " << server;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Unable to connect to server") << server;
        }
    }
}

}  // namespace
}  // namespace trawlix

namespace trawlix {
namespace {

// The command-line fetch goes through the same download path.
TEST_F(DownloadTest, CliFetchPrintsThePageOrFails) {
    test::TempDir profile;
    std::map<std::string, std::string> env = {{"http_proxy", fSim.Url("")}};
    auto page = test::RunCli(profile.Path(), {"fetch", "http://sfbay.craigslist.org/search/sss?query=count3"}, env);
    EXPECT_EQ(page.exitCode, 0) << page.err;
    EXPECT_NE(page.out.find("Displaying: 1 - 3 of 3"), std::string::npos);
    auto missing = test::RunCli(profile.Path(), {"fetch", fSim.Url("/__sim/status?code=404")}, env);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    auto badSite = test::RunCli(profile.Path(), {"fetch", "--site", "nowhere", fSim.Url("/")}, env);
    EXPECT_EQ(badSite.exitCode, 2);
    const std::string bomb = fSim.Url("/__sim/bomb?mb=32");
    auto tooLarge = test::RunCli(profile.Path(), {"fetch", "--site", "craigslist", bomb}, env);
    EXPECT_EQ(tooLarge.exitCode, 1);
    EXPECT_EQ(tooLarge.err, "Could not open URL " + bomb + ": the page at " + bomb + " is larger than 16 MB\n");
}

}  // namespace
}  // namespace trawlix
