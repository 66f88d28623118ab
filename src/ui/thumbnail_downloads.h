#pragma once

#include <functional>
#include <memory>
#include <string>

#include "model/entry.h"

namespace trawlix {

class TImageDownloader;

// Starts the picture download of a grid cell and lands the result in its entry.
//
// A picture that cannot be used (failed download, not a picture, one colour) is not asked
// for again in this run: its cell shows the no-image picture instead of loading forever.
class TThumbnailDownloads {
public:
    // aRepaint runs on the main thread after a picture has landed, then aLanded with the
    // entry whose picture (and its hash) it now holds.
    TThumbnailDownloads(TImageDownloader& aDownloader, std::function<void()> aRepaint,
                        std::function<void(const IEntry&)> aLanded = {});
    // Jobs still queued may finish later; they then neither touch this object nor repaint.
    ~TThumbnailDownloads();
    TThumbnailDownloads(const TThumbnailDownloads&) = delete;
    TThumbnailDownloads& operator=(const TThumbnailDownloads&) = delete;

    // Asks for the entry's picture (NextPicture), ahead of the earlier requests; nothing when it is
    // already on its way, already here or known to be unusable.
    void Request(const IEntry& aEntry);
    // The picture at this address turned out unusable in this run.
    bool IsUnavailable(const std::string& aImageUrl) const;
    // The picture to ask for: the thumbnail, else the ad's next picture, passing over those
    // found unusable; empty when none is left.
    std::string NextPicture(const TEntry& aEntry) const;

private:
    TImageDownloader& fDownloader;
    std::shared_ptr<struct TThumbnailDownloadState> fState;
};

}  // namespace trawlix
