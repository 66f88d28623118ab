#include "ui/thumbnail_downloads.h"

#include <mutex>
#include <set>

#include "engine/synchronizator.h"
#include "run/image_downloader.h"
#include "ui/thumbnail_images.h"

namespace trawlix {

// Shared with the jobs in flight, which may outlive the grid.
struct TThumbnailDownloadState {
    mutable std::mutex mutex;
    std::set<std::string> unavailable;
    std::function<void()> repaint;  // main thread only; cleared when the grid goes
    std::function<void(const IEntry&)> landed;  // the same

    void MarkUnavailable(const std::string& aImageUrl) {
        std::lock_guard lock(mutex);
        unavailable.insert(aImageUrl);
    }
};

namespace {

// A failed download still reaches the completion handler, with nothing in it, so that
// the entry leaves its loading state.
class TThumbnailJob : public TImageDownloaderJob {
public:
    using TImageDownloaderJob::TImageDownloaderJob;
    void Work(TPoolThread& aWorker) override {
        try {
            TImageDownloaderJob::Work(aWorker);
        } catch (...) {
            fFailed = true;
        }
    }
    bool Failed() const { return fFailed; }

private:
    bool fFailed = false;
};

// The completion of a download (OnEntryImageDownloaded), on the worker thread: only the
// job's data and the entry's picture fields, which the entry guards, are touched here.
void OnEntryImageDownloaded(const std::shared_ptr<TThumbnailDownloadState>& aState, TThumbnailJob& aJob) {
    const IEntry& entry = aJob.GetEntry();
    TThumbnailImages images;
    try {
        if (!aJob.Failed()) images = MakeThumbnailImages(aJob.GetResult());
    } catch (...) {
        // A picture that cannot be read is treated like one that did not come.
    }
    const bool usable = images.Usable();
    if (usable) {
        entry->SetOriginalImage(std::move(images.original));
        entry->SetResizedImage(std::move(images.resized));
        entry->SetPictureHash(images.hash);
    } else {
        aState->MarkUnavailable(aJob.GetImageUrl());
    }
    entry->SetImageDownloading(false);
    Synch().SynchronizeNonBlocking(
        [aState, entry, usable](const std::string&) {
            if (aState->repaint) aState->repaint();
            if (usable && aState->landed) aState->landed(entry);
        },
        "");
}

}  // namespace

TThumbnailDownloads::TThumbnailDownloads(TImageDownloader& aDownloader, std::function<void()> aRepaint,
                                         std::function<void(const IEntry&)> aLanded)
    : fDownloader(aDownloader), fState(std::make_shared<TThumbnailDownloadState>()) {
    fState->repaint = std::move(aRepaint);
    fState->landed = std::move(aLanded);
}

TThumbnailDownloads::~TThumbnailDownloads() {
    fState->repaint = nullptr;
    fState->landed = nullptr;
}

std::string TThumbnailDownloads::NextPicture(const TEntry& aEntry) const {
    if (const std::string url = aEntry.GetImageUrl(); !url.empty() && !IsUnavailable(url)) return url;
    for (const std::string& url : aEntry.GetPictureUrls())
        if (!IsUnavailable(url)) return url;
    return {};
}

bool TThumbnailDownloads::IsUnavailable(const std::string& aImageUrl) const {
    std::lock_guard lock(fState->mutex);
    return fState->unavailable.count(aImageUrl) > 0;
}

void TThumbnailDownloads::Request(const IEntry& aEntry) {
    if (!aEntry || aEntry->GetImageDownloading() || aEntry->HasResizedImage()) return;
    const std::string url = NextPicture(*aEntry);
    if (url.empty()) return;
    aEntry->SetImageDownloading(true);
    auto state = fState;
    fDownloader.AddJob(std::make_unique<TThumbnailJob>(url, aEntry,
                                                       [state](TPoolJob& aJob) {
                                                           OnEntryImageDownloaded(state,
                                                                                  static_cast<TThumbnailJob&>(aJob));
                                                       }),
                       true);
}

}  // namespace trawlix
