// Painting a screen of thumbnails: a 1280 by 800 grid full of cells with their pictures,
// hot and selected frames and captions, as a repaint during scrolling or animation does.
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QStringListModel>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/thumbnail_images.h"
#include "ui/thumbnail_view.h"

namespace {

using namespace trawlix;

constexpr int cEntries = 10000;

// A striped picture, different for each seed, as the downloader would have kept it.
TBlob ResizedPicture(int aSeed) {
    QImage image(125, 94, QImage::Format_RGB32);
    image.fill(QColor::fromHsv(aSeed * 37 % 360, 120, 230));
    QPainter painter(&image);
    for (int x = aSeed % 7; x < image.width(); x += 9) painter.fillRect(x, 0, 4, image.height(), Qt::darkGray);
    painter.end();
    return EncodeJpeg(image);
}

struct TGrid {
    std::vector<IEntry> entries;
    QStringListModel model;
    TThumbnailView view;

    explicit TGrid(bool aWithPictures) {
        for (int i = 0; i < cEntries; ++i) {
            auto entry = std::make_shared<TEntry>(ssCraigslist, "Dec 10", "Mountain bike, barely used, size " + std::to_string(i),
                                                  "https://city.craigslist.org/bik/" + std::to_string(i) + ".html",
                                                  100.0 + i, "", "", true, 0, 0.0, "", "", "");
            if (aWithPictures) entry->SetResizedImage(ResizedPicture(i % 500));
            entry->SetChecked(i % 11 == 0);
            entries.push_back(entry);
        }
        model.setStringList(QStringList(cEntries, QString()));
        view.setModel(&model);
        view.SetSource({[this](int aIndex) { return aIndex < int(entries.size()) ? entries[aIndex] : nullptr; },
                        [](const std::string& aLink) { return aLink.size() % 5 == 0; }, [] { return true; }});
        view.resize(1280, 800);
        view.show();
        QApplication::processEvents();
    }
};

void BM_PaintScreenOfThumbnails(benchmark::State& aState) {
    TGrid grid(aState.range(0) != 0);
    QImage screen(grid.view.viewport()->size(), QImage::Format_RGB32);
    grid.view.viewport()->render(&screen);  // the first paint fills the picture cache
    for (auto _ : aState) {
        grid.view.viewport()->render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
    const int columns = grid.view.viewport()->width() / grid.view.gridSize().width();
    const int rows = (grid.view.viewport()->height() + grid.view.gridSize().height() - 1) / grid.view.gridSize().height();
    aState.counters["cells"] = columns * rows;
}
BENCHMARK(BM_PaintScreenOfThumbnails)->Arg(1)->ArgName("pictures")->Unit(benchmark::kMillisecond);

// Cells without pictures: the no-image picture for every cell.
BENCHMARK(BM_PaintScreenOfThumbnails)->Arg(0)->ArgName("pictures")->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
