#pragma once

// Small map files made by the tests: a 40 x 20 map with three regions.
//   red   (255,0,0)  "Alabama", place 100, x 0..9, with a sub-map "alabama.cur"
//   green (0,255,0)  "Alaska", place 101, two parts: x 12..15 and x 30..33, two ranges
//   blue  (0,0,255)  "Arizona", place 102, x 20..25, its hint line without a line end
// Everything else is black (no region).

#include <QBuffer>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <string>

namespace trawlix::test {

inline std::string BmpBytes(const QImage& aPicture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    aPicture.save(&buffer, "BMP");
    return bytes.toStdString();
}

inline QImage ThreeRegionPicture() {
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(Qt::black);
    for (int y = 2; y < 18; ++y) {
        for (int x = 0; x <= 9; ++x) picture.setPixel(x, y, qRgb(255, 0, 0));
        for (int x = 12; x <= 15; ++x) picture.setPixel(x, y, qRgb(0, 255, 0));
        for (int x = 30; x <= 33; ++x) picture.setPixel(x, y, qRgb(0, 255, 0));
        for (int x = 20; x <= 25; ++x) picture.setPixel(x, y, qRgb(0, 0, 255));
    }
    return picture;
}

inline const char* ThreeRegionProperties() {
    return "id(255,0,0)=100\r\n"
           "range(255,0,0)=(0,2,9,17)\r\n"
           "hint(255,0,0)=Alabama\r\n"
           "map(255,0,0)=alabama.cur\r\n"
           "id(0,255,0)=101\r\n"
           "range(0,255,0)=(12,2,15,17)\r\n"
           "range(0,255,0)=(30,2,33,17)\r\n"
           "hint(0,255,0)=Alaska\r\n"
           "map(0,255,0)=alaska.cur\r\n"
           "id(0,0,255)=102\r\n"
           "range(0,0,255)=(20,2,25,17)\r\n"
           "hint(0,0,255)=Arizona";
}

inline void WriteMapFile(const std::filesystem::path& aPath, const QImage& aRegions, const std::string& aProperties) {
    QImage visible(aRegions.size(), QImage::Format_RGB32);
    visible.fill(qRgb(240, 236, 222));
    std::ofstream out(aPath, std::ios::binary);
    out << BmpBytes(visible) << BmpBytes(aRegions) << aProperties;
}

// usa.cur with the three regions; alabama.cur (one region, place 1127) below it. The
// sub-map of Alaska is not written.
inline void WriteThreeRegionMaps(const std::filesystem::path& aFolder) {
    std::filesystem::create_directories(aFolder);
    WriteMapFile(aFolder / "usa.cur", ThreeRegionPicture(), ThreeRegionProperties());
    QImage area(40, 20, QImage::Format_RGB32);
    area.fill(qRgb(9, 9, 9));
    WriteMapFile(aFolder / "alabama.cur", area,
                 "parent_map=usa.cur\r\nid(9,9,9)=1127\r\nrange(9,9,9)=(0,0,39,19)\r\nhint(9,9,9)=birmingham\r\n");
}

}  // namespace trawlix::test
