#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

#include "model/sqlite_db.h"

namespace trawlix {

// The longest side of a thumbnail as the grid keeps it.
inline constexpr int cThumbnailSide = 125;

// Scales so that the longer side becomes the new size (height for a portrait picture,
// width otherwise); small pictures are enlarged too. A null picture stays null.
QImage ResizeImage(const QImage& aImage, int aNewHeight, int aNewWidth);

// A picture of one colour carries nothing worth showing (a placeholder or a broken file).
bool IsBlankImage(const QImage& aImage);

// A difference hash: the picture in grey at 9 by 8 pixels, one bit per pair of neighbours
// in a row (the left one darker). The same picture uploaded again, scaled or recompressed
// differs in a few bits (PicturesLookAlike). Never 0, which stands for "no hash"; 0 for a
// null picture.
std::uint64_t PictureHash(const QImage& aImage);

// JPEG bytes of the picture; empty when it cannot be written.
TBlob EncodeJpeg(const QImage& aImage);

// What a downloaded picture becomes: both blobs empty when it is not worth keeping
// (not a picture, one colour, or not writable).
struct TThumbnailImages {
    TBlob original;
    TBlob resized;
    std::uint64_t hash = 0;  // PictureHash of the picture
    bool Usable() const { return !resized.empty(); }
};
TThumbnailImages MakeThumbnailImages(const std::vector<std::uint8_t>& aDownloaded);

}  // namespace trawlix
