// Transfers under faults: servers that trickle, answers that are too large, a gzip bomb,
// transfers stopped by their thread or by the exit, and pages whose charset is declared only
// in the page itself. Every peer is the site simulator on loopback.
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/http_test_env.h"
#include "engine/threads.h"
#include "support/sitesim_test.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::TSiteSimulator;

constexpr std::size_t cMB = 1024 * 1024;

double SecondsSince(Clock::time_point aStart) {
    return std::chrono::duration<double>(Clock::now() - aStart).count();
}

class TransferLimitsTest : public test::TSiteSimulatorTest {
protected:
    void SetUp() override {
        TSiteSimulatorTest::SetUp();
        SetDownloadScratchFolder(fData.Path().string());
    }
    void TearDown() override {
        SetTransferLimits(fDefaults);
        AllowTransfers();
        SetDownloadScratchFolder("");
    }

    // Shorter waits than the program's, so that a test that shows them takes seconds.
    void UseLowSpeedSeconds(long aSeconds, long aTotalSeconds = 90) {
        TTransferLimits limits = fDefaults;
        limits.lowSpeedSeconds = aSeconds;
        limits.totalSeconds = aTotalSeconds;
        SetTransferLimits(limits);
    }

    std::vector<std::string> DataFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fData.Path())) names.push_back(entry.path().filename());
        return names;
    }

    // The simulator on the loopback is reached directly; anything else meets the closed
    // proxy every test program starts with.
    test::TScopedEnv fLoopbackDirect{"no_proxy", "127.0.0.1"};
    test::TempDir fData;
    TProxySettings fSettings;
    const TTransferLimits fDefaults = GetTransferLimits();
};

TEST_F(TransferLimitsTest, TheProgramsLimitsAreTheDocumentedOnes) {
    EXPECT_EQ(fDefaults.totalSeconds, 90);
    EXPECT_EQ(fDefaults.lowSpeedBytesPerSecond, 100);
    EXPECT_EQ(fDefaults.lowSpeedSeconds, 20);
    EXPECT_EQ(fDefaults.pageBytes, 16 * cMB);
    EXPECT_EQ(fDefaults.pictureBytes, 8 * cMB);
}

TEST_F(TransferLimitsTest, ATricklingServerIsGivenUpOnByEveryPath) {
    UseLowSpeedSeconds(2);
    // 4 bytes a second is far below 100 a second, but above the old 1 byte a second.
    const std::string url = fSim.Url("/__sim/trickle?n=2000&bps=4");
    TCHttpClient client(fSettings, false);
    auto start = Clock::now();
    std::string body;
    EXPECT_THROW(client.Get(url, body), EHttpError);
    EXPECT_LT(SecondsSince(start), 8.0) << "the client waited for the trickle";
    start = Clock::now();
    EXPECT_EQ(DownloadFile(url, nullptr), "");
    EXPECT_LT(SecondsSince(start), 8.0) << "the fall-back waited for the trickle";
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(TransferLimitsTest, TheTotalLimitEndsATransferThatIsFastEnoughButEndless) {
    UseLowSpeedSeconds(20, 2);
    TCHttpClient client(fSettings, false);
    const auto start = Clock::now();
    std::string body;
    EXPECT_THROW(client.Get(fSim.Url("/__sim/trickle?n=100000&bps=300"), body), EHttpError);
    EXPECT_LT(SecondsSince(start), 8.0);
}

// A search thread that fetches one page, as a site's search does.
class TFetchThread : public TcThread {
public:
    explicit TFetchThread(std::string aUrl, ICHTTPClient aClient) : fUrl(std::move(aUrl)), fClient(std::move(aClient)) {}
    ~TFetchThread() override { TerminateAndWait(); }
    std::string page = "not run";

protected:
    void Execute() override { page = DownloadFile(fUrl, fClient); }

private:
    std::string fUrl;
    ICHTTPClient fClient;
};

TEST_F(TransferLimitsTest, StoppingAThreadEndsItsTransferAtOnce) {
    for (bool withClient : {true, false}) {
        auto client = withClient ? std::make_shared<TCHttpClient>(fSettings, false) : nullptr;
        TFetchThread thread(fSim.Url("/__sim/trickle?n=1000&bps=20"), client);
        thread.Start();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto stop = Clock::now();
        thread.Terminate();
        thread.WaitFor();
        EXPECT_LT(SecondsSince(stop), 3.0) << (withClient ? "client" : "fall-back");
        EXPECT_EQ(thread.page, "");
    }
    EXPECT_TRUE(DataFiles().empty());
}

TEST_F(TransferLimitsTest, TheExitEndsEveryTransferAndRefusesNewOnesUntilAllowed) {
    TCHttpClient client(fSettings, false);
    std::string body;
    bool failed = false;
    std::thread transfer([&] {
        try {
            client.Get(fSim.Url("/__sim/trickle?n=1000&bps=20"), body);
        } catch (const EHttpError&) {
            failed = true;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto stop = Clock::now();
    AbortAllTransfers();
    transfer.join();
    EXPECT_LT(SecondsSince(stop), 3.0);
    EXPECT_TRUE(failed);
    EXPECT_EQ(DownloadFile(fSim.Url("/__sim/bytes?n=120"), nullptr), "") << "no new transfer during the exit";
    AllowTransfers();
    client.Get(fSim.Url("/__sim/bytes?n=5"), body);
    EXPECT_EQ(body, "xxxxx") << "the same client works afterwards";
}

TEST_F(TransferLimitsTest, AGzipBombIsStoppedAtThePageLimitWithoutFillingMemoryOrDisk) {
    const std::string url = fSim.Url("/__sim/bomb?mb=512");
    // The Craigslist client asks for compressed pages; the fall-back takes any encoding.
    auto client = std::make_shared<TCHttpClient>(fSettings, true);
    std::string body;
    try {
        client->Get(url, body);
        ADD_FAILURE() << "a 512 MB page was accepted";
    } catch (const EHttpTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "the page at " + url + " is larger than 16 MB");
    }
    TDownloadFailure failure;
    EXPECT_EQ(DownloadFile(url, client, failure), "");
    EXPECT_TRUE(failure.tooLarge);
    EXPECT_EQ(failure.text, "the page at " + url + " is larger than 16 MB");
    EXPECT_EQ(fSim.Requests().size(), 2u) << "an oversized page is not fetched again by the fall-back";
    EXPECT_EQ(DownloadFile(url, nullptr, failure), "");
    EXPECT_TRUE(failure.tooLarge) << failure.text;
    EXPECT_TRUE(DataFiles().empty()) << "nothing is left in the data folder";
    client->Get(fSim.Url("/__sim/bytes?n=5"), body);
    EXPECT_EQ(body, "xxxxx") << "the shared client stays usable";
}

TEST_F(TransferLimitsTest, AGzipBombTakesLittleMemory) {
    // In a fresh process of its own, so that the peak is this download's, not an earlier test's.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string bomb = fSim.Url("/__sim/bomb?mb=512");
    EXPECT_EXIT(
        {
            TCHttpClient client(fSettings, true);
            std::string body;
            try {
                client.Get(bomb, body);
            } catch (const EHttpTooLarge&) {
            }
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const long peakMB = usage.ru_maxrss / 1024;
            std::fprintf(stderr, "peak memory %ld MB\n", peakMB);
            std::exit(peakMB < 200 && body.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "peak memory [0-9]+ MB");
}

TEST_F(TransferLimitsTest, PagesAndPicturesHaveTheirOwnLimits) {
    TCHttpClient client(fSettings, false);
    std::vector<std::uint8_t> picture;
    const std::string bigPicture = fSim.Url("/__sim/bytes?n=" + std::to_string(8 * cMB + 1));
    try {
        client.GetBytes(bigPicture, picture);
        ADD_FAILURE() << "an oversized picture was accepted";
    } catch (const EHttpTooLarge& e) {
        EXPECT_EQ(std::string(e.what()), "the picture at " + bigPicture + " is larger than 8 MB");
    }
    client.GetBytes(fSim.Url("/__sim/bytes?n=" + std::to_string(8 * cMB)), picture);
    EXPECT_EQ(picture.size(), 8 * cMB) << "exactly the limit is allowed";
    std::string page;
    client.Get(bigPicture, page);
    EXPECT_EQ(page.size(), 8 * cMB + 1) << "a page may be larger than a picture";
    EXPECT_THROW(client.Get(fSim.Url("/__sim/bytes?n=" + std::to_string(16 * cMB + 1)), page), EHttpTooLarge);
}

TEST_F(TransferLimitsTest, AnAllocationFailureInsideTheTransferLeavesTheClientUsable) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit below allows";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string bomb = fSim.Url("/__sim/bomb?mb=512");
    const std::string small = fSim.Url("/__sim/bytes?n=5");
    EXPECT_EXIT(
        {
            // Room for 1 GB pages, but not for the memory one would take.
            TTransferLimits limits = GetTransferLimits();
            limits.pageBytes = 1024 * cMB;
            SetTransferLimits(limits);
            TCHttpClient client(fSettings, true);
            std::ifstream statm("/proc/self/statm");
            long pages = 0;
            statm >> pages;
            rlimit original{};
            getrlimit(RLIMIT_AS, &original);
            rlimit cap = original;
            cap.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + 300 * cMB;
            setrlimit(RLIMIT_AS, &cap);
            std::string body;
            bool outOfMemory = false;
            try {
                client.Get(bomb, body);
            } catch (const EHttpError& e) {
                outOfMemory = std::string(e.what()).find("Not enough memory") != std::string::npos;
            }
            setrlimit(RLIMIT_AS, &original);
            if (!outOfMemory) std::exit(2);
            client.Get(small, body);
            std::exit(body == "xxxxx" ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(TransferLimitsTest, EachFallBackTransferHasItsOwnPrivateFileRemovedAfterwards) {
    std::string first, second;
    std::thread a([&] { first = DownloadFile(fSim.Url("/__sim/trickle?n=150&bps=150"), nullptr); });
    std::thread b([&] { second = DownloadFile(fSim.Url("/__sim/bytes?n=300"), nullptr); });
    // While the slow one runs, its file is there, readable by its owner only.
    std::vector<fs::path> seen;
    for (int i = 0; i < 100 && seen.empty(); ++i) {
        for (const auto& entry : fs::directory_iterator(fData.Path())) seen.push_back(entry.path());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    a.join();
    b.join();
    EXPECT_EQ(first, std::string(150, 'x'));
    EXPECT_EQ(second, std::string(300, 'x')) << "the two transfers did not wait for each other nor mix";
    ASSERT_FALSE(seen.empty());
    for (const auto& path : seen) {
        EXPECT_EQ(path.filename().string().rfind("urlmon_temp-", 0), 0u) << path;
        EXPECT_EQ(path.extension(), ".cur") << path;
    }
    EXPECT_TRUE(DataFiles().empty()) << "no file is left behind";
}

// Bytes as hex for the simulator's raw answer.
std::string Hex(const std::string& aBytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : aBytes) {
        hex += digits[c >> 4];
        hex += digits[c & 15];
    }
    return hex;
}

TEST_F(TransferLimitsTest, ACharsetDeclaredOnlyInTheMetaTagIsUsed) {
    struct TCase {
        std::string head;  // the page's head, declaring the charset
        std::string body;  // bytes in that charset
        std::string expected;
    };
    const TCase cases[] = {
        {"<meta charset=\"windows-1251\">", "\xcf\xf0\xe8\xe2\xe5\xf2", "Привет"},
        {"<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=koi8-r\">", "\xf0\xd2\xc9\xd7\xc5\xd4",
         "Привет"},
        {"<meta name=viewport content=\"width=device-width\"><meta charset=shift_jis>", "\x93\xfa\x96\x7b", "日本"},
    };
    TCHttpClient client(fSettings, false);
    for (const auto& c : cases) {
        const std::string page = "<html><head>" + c.head + "</head><body>" + c.body + "</body></html>";
        std::string text;
        client.Get(fSim.Url("/__sim/raw?type=text/html&hex=" + Hex(page)), text);
        EXPECT_NE(text.find("<body>" + c.expected + "</body>"), std::string::npos) << c.head << ": " << text;
    }
    // The header's charset wins over the page's own.
    const std::string page = "<meta charset=\"koi8-r\"><p>\xcf\xf0\xe8\xe2\xe5\xf2</p>";
    EXPECT_NE(DecodeHttpBody({page.begin(), page.end()}, "text/html; charset=windows-1251").find("<p>Привет</p>"),
              std::string::npos);
}

TEST_F(TransferLimitsTest, OneInvalidByteInAMultiByteCharsetIsTheOnlyOneReplaced) {
    const std::string page = "<html><head><meta charset=\"Shift_JIS\"></head><body>\x93\xfa\x96\x7b\xff\x8c\xea</body>"
                             "</html>";
    TCHttpClient client(fSettings, false);
    std::string text;
    client.Get(fSim.Url("/__sim/raw?type=text/html&hex=" + Hex(page)), text);
    EXPECT_NE(text.find("<body>日本\xEF\xBF\xBD語</body></html>"), std::string::npos) << text;
    // Cut off in the middle of a character at the very end: only that piece is replaced.
    const std::string cut = "\x93\xfa\x96";
    EXPECT_EQ(DecodeHttpBody({cut.begin(), cut.end()}, "text/html; charset=shift_jis"), "日\xEF\xBF\xBD");
}

}  // namespace
}  // namespace trawlix
