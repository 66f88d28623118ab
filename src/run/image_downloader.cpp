#include "run/image_downloader.h"

#include <stdexcept>

#include "engine/http_client.h"

namespace trawlix {

// --- TImageDownloaderThread ---------------------------------------------------------------

TImageDownloaderThread::TImageDownloaderThread(TProxySettings& aProxySettings)
    // Pictures are compressed already; asking for gzip would only cost the server time.
    : fHttpCLient(std::make_unique<TCHttpClient>(aProxySettings, false)) {}

TImageDownloaderThread::~TImageDownloaderThread() {
    // A job running on this thread uses the client: it must end before the client goes.
    TerminateAndWait();
}

// --- TImageDownloaderJob ------------------------------------------------------------------

TImageDownloaderJob::TImageDownloaderJob(const std::string& aImageUrl, IEntry aEntry, TOnPoolJobDone aOnDone)
    : TPoolJob(nullptr, std::move(aOnDone)), fImageUrl(aImageUrl), fEntry(std::move(aEntry)) {}

void TImageDownloaderJob::Work(TPoolThread& aWorker) {
    auto* worker = dynamic_cast<TImageDownloaderThread*>(&aWorker);
    if (!worker) throw std::logic_error("A picture download needs a picture worker.");
    fResult.clear();
    worker->GetHttpClient().GetBytes(fImageUrl, fResult);
}

// --- TImageDownloader ---------------------------------------------------------------------

TImageDownloader::TImageDownloader(TProxySettings& aProxySettings) : TThreadPool(0, false, "TImageDownloader") {
    for (int i = 0; i < cWorkerCount; ++i) AddThread(std::make_unique<TImageDownloaderThread>(aProxySettings));
    Start();
}

TImageDownloader::~TImageDownloader() = default;

void TImageDownloader::StopDispatcher() { TerminateAndWait(); }

}  // namespace trawlix
