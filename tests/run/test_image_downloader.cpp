#include "run/image_downloader.h"

#include <gtest/gtest.h>

#include <atomic>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/http_test_env.h"
#include "engine/proxy_settings.h"
#include "engine/thread_test_support.h"
#include "run/picture_server.h"

namespace trawlix {
namespace {

using test::WaitUntil;

// What the completion handlers saw, in the order they ran.
struct TDoneLog {
    std::mutex mutex;
    std::vector<std::string> urls;
    std::vector<std::string> bodies;
    std::vector<IEntry> entries;

    void Add(TPoolJob& aJob) {
        auto& job = static_cast<TImageDownloaderJob&>(aJob);
        std::lock_guard lock(mutex);
        urls.push_back(job.GetImageUrl());
        bodies.emplace_back(job.GetResult().begin(), job.GetResult().end());
        entries.push_back(job.GetEntry());
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return urls.size();
    }
};

class ImageDownloaderTest : public ::testing::Test {
protected:
    std::unique_ptr<TImageDownloaderJob> Job(const std::string& aPath, IEntry aEntry = std::make_shared<TEntry>()) {
        return std::make_unique<TImageDownloaderJob>(fServer.Url(aPath), std::move(aEntry),
                                                     [this](TPoolJob& aJob) { fDone.Add(aJob); });
    }
    bool WaitForRequests(size_t aCount) {
        return WaitUntil([&] { return fServer.Requests().size() >= aCount; });
    }

    test::TScopedEnv fNoHttpProxy{"http_proxy", std::nullopt};
    test::TPictureServer fServer;
    TProxySettings fProxy;
    TDoneLog fDone;
};

TEST_F(ImageDownloaderTest, APictureArrivesUnchangedForItsEntryAndUncompressed) {
    TImageDownloader downloader(fProxy);
    const std::string picture("\xFF\xD8\x00\x01picture\xFF\xD9", 13);
    fServer.Serve("/a.jpg", picture);
    auto entry = std::make_shared<TEntry>();
    downloader.AddJob(Job("/a.jpg", entry), true);
    ASSERT_TRUE(WaitUntil([&] { return fDone.Count() == 1; }));

    EXPECT_EQ(fDone.bodies[0], picture) << "bytes arrive unchanged, zero bytes included";
    EXPECT_EQ(fDone.entries[0], entry) << "the handler gets the entry the picture belongs to";
    EXPECT_EQ(fServer.Requests()[0].headers.find("accept-encoding"), std::string::npos)
        << "pictures are asked for without compression";
}

TEST_F(ImageDownloaderTest, AllFiveWorkersDownloadAtOnce) {
    TImageDownloader downloader(fProxy);
    fServer.Hold();
    for (int i = 0; i < 6; ++i) downloader.AddJob(Job("/p" + std::to_string(i) + ".jpg"), false);
    ASSERT_TRUE(WaitForRequests(5));
    EXPECT_EQ(downloader.GetJobCount(), 1) << "the sixth waits for a free worker";
    EXPECT_EQ(fServer.Requests().size(), 5u) << "five workers, no more";
    fServer.ReleaseAll();
    ASSERT_TRUE(WaitForRequests(6));
}

TEST_F(ImageDownloaderTest, FailedDownloadsSkipTheHandlerAndKeepEveryWorker) {
    TImageDownloader downloader(fProxy);
    for (int i = 0; i < 5; ++i) downloader.AddJob(Job("/missing.jpg"), false);
    ASSERT_TRUE(WaitUntil([&] { return fServer.Answered() == 5 && downloader.GetJobCount() == 0; }));

    fServer.Serve("/ok.jpg", "ok");
    fServer.Hold();
    for (int i = 0; i < 5; ++i) downloader.AddJob(Job("/ok.jpg"), false);
    ASSERT_TRUE(WaitForRequests(10)) << "five workers still download side by side after five failures";
    fServer.ReleaseAll();
    ASSERT_TRUE(WaitUntil([&] { return fDone.Count() == 5; }));
    for (const auto& url : fDone.urls) EXPECT_EQ(url, fServer.Url("/ok.jpg")) << "no handler for a failed picture";
}

TEST_F(ImageDownloaderTest, LatestRequestIsFetchedFirst) {
    TImageDownloader downloader(fProxy);
    fServer.Hold();
    for (int i = 0; i < 5; ++i) downloader.AddJob(Job("/busy.jpg"), true);
    ASSERT_TRUE(WaitForRequests(5));
    for (const char* path : {"/first.jpg", "/second.jpg", "/third.jpg"}) downloader.AddJob(Job(path), true);

    // One worker at a time comes free, so the server sees the waiting jobs in dispatch order.
    for (size_t seen = 5; seen < 8; ++seen) {
        fServer.Release();
        ASSERT_TRUE(WaitForRequests(seen + 1));
    }
    const auto targets = fServer.Targets();
    EXPECT_EQ(std::vector<std::string>(targets.begin() + 5, targets.end()),
              (std::vector<std::string>{"/third.jpg", "/second.jpg", "/first.jpg"}));
    fServer.ReleaseAll();
}

TEST_F(ImageDownloaderTest, StoppedDispatcherHandsOutNothingAndWaitingJobsAreFreedUnrun) {
    auto entry = std::make_shared<TEntry>();
    {
        TImageDownloader downloader(fProxy);
        fServer.Serve("/late.jpg", "late");
        downloader.StopDispatcher();
        downloader.StopDispatcher();  // a second stop is harmless
        downloader.AddJob(Job("/late.jpg", entry), true);
        EXPECT_EQ(downloader.GetJobCount(), 1);
        EXPECT_EQ(entry.use_count(), 2) << "the waiting job holds the entry";
    }
    EXPECT_EQ(entry.use_count(), 1) << "the waiting job was freed with the pool";
    EXPECT_EQ(fDone.Count(), 0u);
    EXPECT_TRUE(fServer.Requests().empty()) << "nothing was fetched";
}

TEST_F(ImageDownloaderTest, FreeingThePoolEndsADownloadUnderWayAtOnce) {
    fServer.Serve("/slow.jpg", "slow");
    fServer.Hold();
    auto downloader = std::make_unique<TImageDownloader>(fProxy);
    downloader->AddJob(Job("/slow.jpg"), true);
    ASSERT_TRUE(WaitForRequests(1));

    // The exit frees the pool while the server still holds the answer: it must not wait
    // for the network.
    std::atomic<bool> freed{false};
    std::thread freeing([&] {
        downloader.reset();
        freed = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return freed.load(); })) << "freeing waited for the held download";
    fServer.ReleaseAll();
    freeing.join();
    EXPECT_EQ(fDone.Count(), 0u) << "the abandoned download has no completion";
}

TEST_F(ImageDownloaderTest, PicturesGoThroughTheProxySettings) {
    // The server doubles as an HTTP proxy: a proxied request names the whole address.
    fServer.Serve("/via-proxy.jpg", "proxied");
    fProxy.SetEnabled(true);
    fProxy.SetHost("127.0.0.1");
    fProxy.SetPort(fServer.Port());
    TImageDownloader downloader(fProxy);
    downloader.AddJob(std::make_unique<TImageDownloaderJob>("http://pictures.example.invalid/via-proxy.jpg",
                                                            std::make_shared<TEntry>(),
                                                            [this](TPoolJob& aJob) { fDone.Add(aJob); }),
                      true);
    ASSERT_TRUE(WaitUntil([&] { return fDone.Count() == 1; }));
    EXPECT_EQ(fServer.Targets()[0], "http://pictures.example.invalid/via-proxy.jpg");
    EXPECT_EQ(fDone.bodies[0], "proxied");
}

}  // namespace
}  // namespace trawlix
