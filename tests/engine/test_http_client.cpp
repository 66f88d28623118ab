#include "engine/http_client.h"
#include "engine/proxy_bypass.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "engine/download.h"
#include "engine/host_budget.h"
#include "engine/poll_cache.h"
#include "engine/http_test_env.h"
#include "engine/text_functions.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

using test::TSiteSimulator;

constexpr const char* cCraigslistQuery = "http://sfbay.craigslist.org/search/sss?query=red+bike+count40";

class HttpClientTest : public test::TSiteSimulatorTest {
protected:
    // No proxy from the test runner's environment may leak into these requests.
    test::TScopedEnv fNoHttpProxy{"http_proxy", std::nullopt};
    TProxySettings fSettings;

    void UseHttpProxy(int aPort, const std::string& aUser = {}, const std::string& aPassword = {}) {
        fSettings.SetEnabled(true);
        fSettings.SetIsSOCKS(false);
        fSettings.SetHost("127.0.0.1");
        fSettings.SetPort(aPort);
        fSettings.SetUsername(aUser);
        fSettings.SetPassword(aPassword);
        // The proxies here are checked against the simulator, which listens on this machine.
        SetLoopbackBypassesProxy(false);
    }
    void TearDown() override { SetLoopbackBypassesProxy(true); }

    void UseSocks(int aPort, const std::string& aVersion, const std::string& aUser = {},
                  const std::string& aPassword = {}) {
        UseHttpProxy(aPort, aUser, aPassword);
        fSettings.SetIsSOCKS(true);
        fSettings.SetSOCKSVersion(aVersion);
    }

    // The address the simulator saw the last request come from.
    std::string LastPeer() {
        auto requests = fSim.Requests();
        return requests.empty() ? std::string("<none>") : requests.back().peer;
    }
};

TEST_F(HttpClientTest, SendsTheBrowserIdentityAndKeepsTheConnection) {
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get(fSim.Url("/__sim/bytes?n=3"), body);
    client.Get(fSim.Url("/__sim/bytes?n=4"), body);
    EXPECT_EQ(body, "xxxx");
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.Header("User-Agent"), cHttpUserAgent);
        EXPECT_EQ(request.Header("Connection"), "keep-alive");
        EXPECT_EQ(request.Header("Keep-Alive"), "115");
        EXPECT_EQ(request.Header("Accept-Encoding"), "") << "nothing advertised without compression";
        EXPECT_EQ(request.peer, "127.0.0.1");
    }
    EXPECT_EQ(requests[0].connection, requests[1].connection) << "the second request reuses the connection";
}

TEST_F(HttpClientTest, CompressedPageIsDecodedAndOnlyAskedForWhenWanted) {
    UseHttpProxy(fSim.Port());
    TCHttpClient compressing(fSettings, true);
    TCHttpClient plain(fSettings, false);
    std::string decoded, uncompressed;
    compressing.Get(cCraigslistQuery, decoded);
    plain.Get(cCraigslistQuery, uncompressed);
    EXPECT_NE(decoded.find("Displaying: 1 - 40 of 40"), std::string::npos);
    EXPECT_EQ(decoded, uncompressed);
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_NE(requests[0].Header("Accept-Encoding").find("gzip"), std::string::npos);
    EXPECT_EQ(requests[1].Header("Accept-Encoding"), "");
    EXPECT_EQ(requests[0].url, cCraigslistQuery) << "asked through the simulator as a proxy";
}

TEST_F(HttpClientTest, HttpProxyGetsEmptyCredentialsToo) {
    UseHttpProxy(fSim.Port());
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get("http://www.cars.com/for-sale/searchresults.action?zc=94110&rd=30&kw=count3&rpp=250", body);
    EXPECT_NE(body.find("vehicleInfoColumn"), std::string::npos);
    EXPECT_EQ(fSim.Requests().at(0).Header("Proxy-Authorization"), "Basic Og==");
}

TEST_F(HttpClientTest, TinyproxyWithCredentials) {
    test::TTinyProxy proxy("scout", "s3cret", "127.0.0.4");
    TCHttpClient client(fSettings, false);
    std::string body;
    UseHttpProxy(proxy.Port(), "scout", "wrong");
    EXPECT_THROW(client.Get(fSim.Url("/__sim/bytes?n=5"), body), EHttpError);
    UseHttpProxy(proxy.Port(), "scout", "s3cret");
    client.Get(fSim.Url("/__sim/bytes?n=5"), body);
    EXPECT_EQ(body, "xxxxx");
    EXPECT_EQ(LastPeer(), "127.0.0.4") << "the request came through tinyproxy";
}

struct TSocksCase {
    const char* name;
    const char* user;
    const char* password;
    const char* configuredUser;  // what microsocks demands ("" for no authentication)
    bool works;
};

class MicroSocksTest : public HttpClientTest, public ::testing::WithParamInterface<TSocksCase> {};

TEST_P(MicroSocksTest, Socks5) {
    const TSocksCase& c = GetParam();
    test::TMicroSocks proxy(c.configuredUser, "pw", "127.0.0.3");
    UseSocks(proxy.Port(), "v5", c.user, c.password);
    TCHttpClient client(fSettings, false);
    std::string body;
    if (!c.works) {
        EXPECT_THROW(client.Get(fSim.Url("/__sim/bytes?n=2"), body), EHttpError);
        EXPECT_TRUE(fSim.Requests().empty());
        return;
    }
    client.Get(fSim.Url("/__sim/bytes?n=2"), body);
    EXPECT_EQ(body, "xx");
    EXPECT_EQ(LastPeer(), "127.0.0.3") << "the request came through microsocks";
}

INSTANTIATE_TEST_SUITE_P(Users, MicroSocksTest,
                         ::testing::Values(TSocksCase{"NoUser", "", "", "", true},
                                           TSocksCase{"User", "scout", "pw", "scout", true},
                                           TSocksCase{"WrongPassword", "scout", "nope", "scout", false},
                                           TSocksCase{"MissingUser", "", "", "scout", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpClientTest, Socks4ThroughDante) {
    test::TDanteSocks proxy("127.0.0.5");
    UseSocks(proxy.Port(), "v4");
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get(fSim.Url("/__sim/bytes?n=1"), body);
    EXPECT_EQ(body, "x");
    EXPECT_EQ(LastPeer(), "127.0.0.5") << "the request came through dante";
}

TEST_F(HttpClientTest, UnknownSocksVersionKeepsThePreviousOne) {
    // microsocks speaks only SOCKS 5, so a SOCKS 4 request through it fails.
    test::TMicroSocks proxy;
    std::string body;
    TCHttpClient five(fSettings, false);
    UseSocks(proxy.Port(), "v5");
    five.Get(fSim.Url("/__sim/bytes?n=1"), body);
    fSettings.SetSOCKSVersion("");
    EXPECT_NO_THROW(five.Get(fSim.Url("/__sim/bytes?n=1"), body));

    TCHttpClient four(fSettings, false);
    fSettings.SetSOCKSVersion("v4");
    EXPECT_THROW(four.Get(fSim.Url("/__sim/bytes?n=1"), body), EHttpError);
    fSettings.SetSOCKSVersion("v6");
    EXPECT_THROW(four.Get(fSim.Url("/__sim/bytes?n=1"), body), EHttpError) << "still SOCKS 4";
}

TEST_F(HttpClientTest, SwitchingFromSocksToHttpProxyBetweenRequests) {
    test::TMicroSocks socks;
    test::TTinyProxy http("", "", "127.0.0.4");
    TCHttpClient client(fSettings, false);
    std::string body;
    UseSocks(socks.Port(), "v5");
    client.Get(fSim.Url("/__sim/bytes?n=1"), body);
    EXPECT_EQ(LastPeer(), "127.0.0.3");
    UseHttpProxy(http.Port());
    client.Get(fSim.Url("/__sim/bytes?n=1"), body);
    EXPECT_EQ(LastPeer(), "127.0.0.4") << "only the HTTP proxy carried the second request";
    fSettings.SetEnabled(false);
    client.Get(fSim.Url("/__sim/bytes?n=1"), body);
    EXPECT_EQ(LastPeer(), "127.0.0.1") << "no proxy at all once switched off";
}

TEST_F(HttpClientTest, ProgramClientIgnoresTheProxyEnvironment) {
    test::TScopedEnv deadProxy("http_proxy", "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()));
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get(fSim.Url("/__sim/bytes?n=2"), body);
    EXPECT_EQ(body, "xx");
}

// A web hook or service on this machine is reached directly: a proxy elsewhere cannot reach
// it, and its failure would be blamed on the receiver.
TEST_F(HttpClientTest, LoopbackHostsGoAroundTheProxy) {
    UseHttpProxy(test::FreeLoopbackPort());  // a proxy that is down
    SetLoopbackBypassesProxy(true);
    TCHttpClient client(fSettings, false);
    const std::string port = std::to_string(fSim.Port());
    for (const std::string host : {"127.0.0.1", "localhost", "LocalHost"}) {
        std::string body;
        EXPECT_NO_THROW(client.Get("http://" + host + ":" + port + "/__sim/bytes?n=2", body)) << host;
        EXPECT_EQ(body, "xx") << host;
        EXPECT_EQ(client.Post("http://" + host + ":" + port + "/hook/x", "application/json", "{}"), 200) << host;
    }
    std::string body;
    try {
        client.Get(cCraigslistQuery, body);
        ADD_FAILURE() << "a site goes through the proxy, which is down";
    } catch (const EHttpError& error) {
        EXPECT_NE(std::string(error.what()).find("through the proxy 127.0.0.1:" + std::to_string(fSettings.GetPort())),
                  std::string::npos)
            << error.what();
    }
}

// The answer may be the proxy's: the failure names it beside the address.
TEST_F(HttpClientTest, FailuresThroughTheProxyNameIt) {
    UseHttpProxy(fSim.Port());
    SetLoopbackBypassesProxy(true);
    TCHttpClient client(fSettings, false);
    const std::string proxy = "through the proxy 127.0.0.1:" + std::to_string(fSim.Port());
    std::string body;
    try {
        client.Get("http://hooks.example.test/__sim/status?code=502", body);
        ADD_FAILURE() << "502 raises";
    } catch (const EHttpStatus& error) {
        EXPECT_EQ(error.GetStatus(), 502);
        EXPECT_NE(std::string(error.what()).find(proxy), std::string::npos) << error.what();
    }
    try {
        client.Post("http://hooks.example.test/__sim/status?code=404", "application/json", "{}");
        ADD_FAILURE() << "404 raises";
    } catch (const EHttpError& error) {
        EXPECT_NE(std::string(error.what()).find(proxy), std::string::npos) << error.what();
    }
    fSettings.SetEnabled(false);
    try {
        client.Get(fSim.Url("/__sim/status?code=404"), body);
        ADD_FAILURE() << "404 raises";
    } catch (const EHttpError& error) {
        EXPECT_EQ(std::string(error.what()).find("proxy"), std::string::npos) << "no proxy: " << error.what();
    }
}

TEST_F(HttpClientTest, FailuresRaise) {
    TCHttpClient client(fSettings, false);
    std::string body;
    EXPECT_THROW(client.Get(fSim.Url("/__sim/status?code=404"), body), EHttpError);
    EXPECT_THROW(client.Get(fSim.Url("/__sim/status?code=503"), body), EHttpError);
    fSim.AddFault("/__sim/bytes?n=10", 0, 0, true);
    EXPECT_THROW(client.Get(fSim.Url("/__sim/bytes?n=10"), body), EHttpError) << "connection reset";
    fSim.AddFault("craigslist", 0, 0, false, true);
    UseHttpProxy(fSim.Port());
    EXPECT_THROW(client.Get(cCraigslistQuery, body), EHttpError) << "truncated body";
    UseHttpProxy(test::FreeLoopbackPort());
    EXPECT_THROW(client.Get(fSim.Url("/__sim/bytes?n=1"), body), EHttpError) << "refused proxy";
    fSettings.SetEnabled(false);
    EXPECT_THROW(client.Get("file:///etc/hostname", body), EHttpError) << "only http and https";
    try {
        client.Get(fSim.Url("/__sim/status?code=404"), body);
    } catch (const EHttpError& e) {
        EXPECT_NE(std::string(e.what()).find("404"), std::string::npos) << e.what();
    }
}

TEST_F(HttpClientTest, FollowsRedirects) {
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get(fSim.Url("/__sim/redirect?to=/__sim/bytes%3Fn%3D6"), body);
    EXPECT_EQ(body, "xxxxxx");
}

TEST_F(HttpClientTest, BodiesAreHandedOnAsUtf8) {
    struct TCase {
        const char* type;
        const char* hex;
        std::string text;
    };
    const TCase cases[] = {
        {"text/html; charset=iso-8859-1", "636166e9", "caf\xC3\xA9"},
        {"text/html; charset=utf-8", "e2809c6f6be2809d", "\xE2\x80\x9Cok\xE2\x80\x9D"},
        {"text/html; charset=utf-8", "93c3a994", "\xE2\x80\x9C\xC3\xA9\xE2\x80\x9D"},  // stray 1252 quotes
        {"text/html", "80", "\xE2\x82\xAC"},
        {"text/html; charset=\"KOI8-R\"", "f0d2c9", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"text/html; charset=no-such-charset", "41e9", "A\xC3\xA9"},
    };
    TCHttpClient client(fSettings, false);
    for (const TCase& c : cases) {
        std::string body;
        std::string type = c.type;
        for (char& ch : type)
            if (ch == ' ') ch = '+';
        client.Get(fSim.Url("/__sim/raw?type=" + type + "&hex=" + c.hex), body);
        EXPECT_EQ(body, c.text) << c.type << " " << c.hex;
    }
}

TEST_F(HttpClientTest, BytesComeUnchanged) {
    TCHttpClient client(fSettings, false);
    std::vector<std::uint8_t> bytes;
    client.GetBytes(fSim.Url("/__sim/raw?type=image/gif&hex=4749460089ff00"), bytes);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x47, 0x49, 0x46, 0x00, 0x89, 0xff, 0x00}));
}

TEST_F(HttpClientTest, ConcurrentCallersShareOneClient) {
    UseHttpProxy(fSim.Port());
    TCHttpClient client(fSettings, true);
    std::vector<std::thread> threads;
    std::atomic<int> pages{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5; ++i) {
                std::string body;
                client.Get(cCraigslistQuery, body);
                if (body.find("Displaying: 1 - 40") != std::string::npos) ++pages;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(pages.load(), 20);
    auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 20u);
    for (const auto& request : requests) EXPECT_EQ(request.connection, requests[0].connection);
}

TEST(HttpsTest, VerifiesAgainstTheConfiguredCA) {
    TSiteSimulator::TOptions options;
    options.tls = true;
    TSiteSimulator sim(options);
    TProxySettings settings;
    std::string url = "https://localhost:" + std::to_string(sim.TlsPort()) + "/__sim/bytes?n=3";
    std::string body;
    {
        test::TScopedEnv noBundle(cCABundleVariable, std::nullopt);
        TCHttpClient client(settings, false);
        EXPECT_THROW(client.Get(url, body), EHttpError) << "the test CA is not in the system store";
    }
    test::TScopedEnv bundle(cCABundleVariable, TSiteSimulator::CACertificate().string());
    TCHttpClient client(settings, false);
    client.Get(url, body);
    EXPECT_EQ(body, "xxx");
    std::string wrongName = "https://127.0.0.2:" + std::to_string(sim.TlsPort()) + "/__sim/bytes?n=3";
    EXPECT_THROW(client.Get(wrongName, body), EHttpError) << "the certificate does not name 127.0.0.2";
}

// An answer over http could come from anyone in the path: a transfer that began on https
// never follows a redirect to anything else, whether the program's client or the system
// transfer carries it, and a handle that fetched over http before keeps to the rule.
TEST(HttpsTest, ARedirectFromHttpsGoesToHttpsOnly) {
    test::TScopedEnv loopbackDirect("no_proxy", "localhost,127.0.0.1");
    test::TScopedEnv bundle(cCABundleVariable, TSiteSimulator::CACertificate().string());
    TSiteSimulator::TOptions options;
    options.tls = true;
    TSiteSimulator sim(options);
    const std::string plain = "http://localhost:" + std::to_string(sim.Port());
    const std::string secure = "https://localhost:" + std::to_string(sim.TlsPort());
    const auto redirect = [](const std::string& aFrom, const std::string& aTo) {
        return aFrom + "/__sim/redirect?to=" + URLEncode(aTo + "/__sim/bytes?n=6");
    };
    struct TCase {
        std::string url;
        bool followed;
    };
    const TCase cases[] = {
        {redirect(plain, plain), true},
        {redirect(secure, plain), false},
        {redirect(secure, "HTTP://localhost:" + std::to_string(sim.Port())), false},
        {redirect(secure, secure), true},
        {redirect(plain, secure), true},
        {redirect(plain, plain), true},
        {redirect("HTTPS://localhost:" + std::to_string(sim.TlsPort()), plain), false},
    };
    TProxySettings settings;
    TCHttpClient client(settings, false);
    test::TempDir scratch;
    SetDownloadScratchFolder(scratch.Path().string());
    for (const TCase& c : cases) {
        sim.ClearRequests();
        std::string body;
        if (c.followed) {
            EXPECT_NO_THROW(client.Get(c.url, body)) << c.url;
            EXPECT_EQ(body, "xxxxxx") << c.url;
        } else {
            EXPECT_THROW(client.Get(c.url, body), EHttpError) << c.url;
        }
        TDownloadFailure failure;
        const std::string fallback = DownloadFile(c.url, nullptr, failure);
        EXPECT_EQ(fallback, c.followed ? "xxxxxx" : "") << c.url << " " << failure.text;
        if (c.followed) continue;
        for (const auto& request : sim.Requests())
            EXPECT_EQ(request.url.find("/__sim/bytes"), std::string::npos) << "went on to " << request.url;
    }
    SetDownloadScratchFolder({});
}

TEST(SiteDownloadersTest, SevenSharedClients) {
    test::TScopedEnv noHttpProxy("http_proxy", std::nullopt);
    TSiteSimulator sim;
    TProxySettings settings;
    settings.SetEnabled(true);
    settings.SetHost("127.0.0.1");
    settings.SetPort(sim.Port());
    CreateSiteDownloaders(settings);
    std::set<TCHttpClient*> distinct;
    for (int site = ssCraigslist; site <= ssAutotrader; ++site) {
        ICHTTPClient client = GetSiteDownloader(static_cast<TSiteSearchEnum>(site));
        ASSERT_TRUE(client) << cSiteSearchStr[site];
        EXPECT_EQ(client, GetSiteDownloader(static_cast<TSiteSearchEnum>(site))) << "one shared client";
        distinct.insert(client.get());
        std::string body;
        client->Get("http://www.example-" + std::to_string(site) + ".test/__sim/bytes?n=1", body);
    }
    ASSERT_TRUE(GetVendorDownloader());
    distinct.insert(GetVendorDownloader().get());
    EXPECT_EQ(distinct.size(), 7u);
    EXPECT_FALSE(GetSiteDownloader(static_cast<TSiteSearchEnum>(6)));
    EXPECT_FALSE(GetSiteDownloader(static_cast<TSiteSearchEnum>(-1)));

    auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_NE(requests[ssCraigslist].Header("Accept-Encoding").find("gzip"), std::string::npos);
    for (int site = ssBackpage; site <= ssAutotrader; ++site)
        EXPECT_EQ(requests[site].Header("Accept-Encoding"), "") << cSiteSearchStr[site];

    ReleaseSiteDownloaders();
    EXPECT_FALSE(GetSiteDownloader(ssCraigslist));
    EXPECT_FALSE(GetVendorDownloader());
}

}  // namespace
}  // namespace trawlix

namespace trawlix {
namespace {

TEST_F(HttpClientTest, ABrowserLikeClientSendsABrowsersHeadersAndKeepsTheSitesCookie) {
    TCHttpClient client(fSettings, true);
    client.ActAsBrowser();
    std::string body;
    client.Get(fSim.Url("/__sim/setcookie?cookie=cl_b%3D4%7Cabc"), body);
    client.Get(fSim.Url("/__sim/bytes?n=2"), body);
    const auto requests = fSim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.Header("User-Agent"), cBrowserUserAgent);
        EXPECT_NE(request.Header("Accept").find("text/html"), std::string::npos);
        EXPECT_NE(request.Header("Accept-Language").find("en-US"), std::string::npos);
    }
    EXPECT_EQ(requests[0].Header("Cookie"), "") << "no cookie before the site set one";
    EXPECT_EQ(requests[1].Header("Cookie"), "cl_b=4|abc");

    TCHttpClient plain(fSettings, false);
    plain.Get(fSim.Url("/__sim/bytes?n=2"), body);
    EXPECT_EQ(fSim.Requests().back().Header("Cookie"), "") << "another client keeps no cookie of this one";
}


// A watcher's polling installed for one test: a budget generous enough that no request
// waits for its turn, and the cache with the share window given.
class PolledHttpClientTest : public HttpClientTest {
protected:
    std::shared_ptr<TPollCache> fCache;

    void Poll(std::chrono::milliseconds aShareWindow) {
        fCache = std::make_shared<TPollCache>(aShareWindow);
        SetSitePolling(std::make_shared<THostBudget>(60000), fCache);
    }
    void TearDown() override {
        SetSitePolling(nullptr, nullptr);
        HttpClientTest::TearDown();
    }
    std::string Page() const { return fSim.Url("/__sim/raw?hex=3c703e6c616d703c2f703e"); }
};

TEST_F(PolledHttpClientTest, SearchesAskingForOnePageMeanwhileShareOneRequest) {
    Poll(std::chrono::minutes(1));
    TCHttpClient client(fSettings, false);
    std::string first, second;
    client.Get(Page(), first);
    client.Get(Page(), second);
    EXPECT_EQ(second, "<p>lamp</p>");
    EXPECT_EQ(fSim.Requests().size(), 1u);
    EXPECT_EQ(fCache->Figures().served, 1);
}

TEST_F(PolledHttpClientTest, ALaterPollAsksConditionallyAndAnUnchangedPageComesFromTheCache) {
    Poll(std::chrono::milliseconds(0));
    TCHttpClient client(fSettings, false);
    std::string first, second;
    client.Get(Page(), first);
    EXPECT_EQ(fSim.Requests().back().Header("If-None-Match"), "");
    client.Get(Page(), second);
    ASSERT_EQ(fSim.Requests().size(), 2u);
    EXPECT_NE(fSim.Requests().back().Header("If-None-Match"), "");
    EXPECT_EQ(second, first);
    EXPECT_EQ(fCache->Figures().notModified, 1);
}

TEST_F(PolledHttpClientTest, AFailedPollIsToldAlikeToTheSearchesAskingMeanwhile) {
    Poll(std::chrono::minutes(1));
    TCHttpClient client(fSettings, false);
    std::string body;
    for (int search = 0; search < 2; ++search) {
        try {
            client.Get(fSim.Url("/__sim/status?code=503"), body);
            ADD_FAILURE() << "a 503 answer raises";
        } catch (const EHttpStatus& e) {
            EXPECT_EQ(e.GetStatus(), 503);
        }
    }
    EXPECT_EQ(fSim.Requests().size(), 1u);
}

TEST_F(PolledHttpClientTest, WithoutPollingEveryRequestGoesOut) {
    TCHttpClient client(fSettings, false);
    std::string body;
    client.Get(Page(), body);
    client.Get(Page(), body);
    EXPECT_EQ(fSim.Requests().size(), 2u);
    EXPECT_EQ(fSim.Requests().back().Header("If-None-Match"), "");
}

}  // namespace
}  // namespace trawlix
