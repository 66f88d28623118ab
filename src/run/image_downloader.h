#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/thread_pool.h"
#include "model/entry.h"

namespace trawlix {

class TCHttpClient;
class TProxySettings;

// A picture worker: its own HTTP client, so that the workers download side by side.
class TImageDownloaderThread : public TPoolThread {
public:
    explicit TImageDownloaderThread(TProxySettings& aProxySettings);
    ~TImageDownloaderThread() override;

    TCHttpClient& GetHttpClient() { return *fHttpCLient; }

private:
    std::unique_ptr<TCHttpClient> fHttpCLient;
};

// Fetches one entry's picture. The completion handler runs on the worker thread and must
// copy what it needs: the job and its bytes are freed as soon as it returns.
class TImageDownloaderJob : public TPoolJob {
public:
    TImageDownloaderJob(const std::string& aImageUrl, IEntry aEntry, TOnPoolJobDone aOnDone);

    // Fills Result; raises when the picture cannot be fetched (the pool then skips OnDone).
    void Work(TPoolThread& aWorker) override;

    const std::string& GetImageUrl() const { return fImageUrl; }
    const IEntry& GetEntry() const { return fEntry; }
    // The picture's bytes as they came; empty until Work has run.
    const std::vector<std::uint8_t>& GetResult() const { return fResult; }

private:
    std::string fImageUrl;
    IEntry fEntry;
    std::vector<std::uint8_t> fResult;
};

// The thumbnail downloads of a run: five workers fed newest request first by the caller.
class TImageDownloader : public TThreadPool {
public:
    static constexpr int cWorkerCount = 5;

    explicit TImageDownloader(TProxySettings& aProxySettings);
    // Stops the dispatcher, waits for every worker (a download under way finishes), and
    // frees the jobs still waiting without running them.
    ~TImageDownloader() override;

    // No job is handed out after this returns; jobs already running go on to their end.
    // Safe to call more than once.
    void StopDispatcher();
};

}  // namespace trawlix
