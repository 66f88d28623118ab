#include "ui/thumbnail_images.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <cmath>

namespace trawlix {

QImage ResizeImage(const QImage& aImage, int aNewHeight, int aNewWidth) {
    if (aImage.isNull() || aImage.width() <= 0 || aImage.height() <= 0) return {};
    const bool portrait = aImage.height() > aImage.width();
    const double scale = portrait ? double(aNewHeight) / aImage.height() : double(aNewWidth) / aImage.width();
    const int width = std::max(1, int(std::lround(aImage.width() * scale)));
    const int height = std::max(1, int(std::lround(aImage.height() * scale)));
    return aImage.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool IsBlankImage(const QImage& aImage) {
    if (aImage.isNull()) return true;
    const QImage pixels = aImage.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = pixels.pixel(0, 0);
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            if (line[x] != first) return false;
    }
    return true;
}

std::uint64_t PictureHash(const QImage& aImage) {
    if (aImage.isNull()) return 0;
    const QImage grey = aImage.convertToFormat(QImage::Format_Grayscale8)
                            .scaled(9, 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::uint64_t hash = 0;
    for (int y = 0; y < 8; ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < 8; ++x) hash = (hash << 1) | (line[x] < line[x + 1] ? 1u : 0u);
    }
    // A picture whose rows all fall from left to right has every bit clear: one bit set keeps
    // it apart from "no hash" and moves its distance to others by one.
    return hash == 0 ? 1 : hash;
}

TBlob EncodeJpeg(const QImage& aImage) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // JPEG has no alpha: a transparent picture is laid on white rather than on black.
    QImage opaque(aImage.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, aImage);
    }
    if (aImage.isNull() || !opaque.save(&buffer, "JPEG", 90)) return {};
    return TBlob(bytes.begin(), bytes.end());
}

TThumbnailImages MakeThumbnailImages(const std::vector<std::uint8_t>& aDownloaded) {
    if (aDownloaded.empty()) return {};
    QByteArray bytes(reinterpret_cast<const char*>(aDownloaded.data()), qsizetype(aDownloaded.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    const QImage image = reader.read();
    const QImage resized = ResizeImage(image, cThumbnailSide, cThumbnailSide);
    if (IsBlankImage(resized)) return {};
    TThumbnailImages images;
    images.resized = EncodeJpeg(resized);
    if (images.resized.empty()) return {};
    images.hash = PictureHash(resized);
    // Pictures are kept as JPEG; one that came as JPEG is kept byte for byte.
    images.original = format == "jpeg" ? TBlob(aDownloaded) : EncodeJpeg(image);
    return images;
}

}  // namespace trawlix
