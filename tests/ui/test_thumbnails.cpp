// The thumbnail grid: pictures downloaded, scaled, kept and painted; the loading cells.

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QLabel>
#include <QPainter>
#include <QStringListModel>
#include <QCheckBox>
#include <QTableView>
#include <QTabWidget>
#include <QTest>

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/settings.h"
#include "engine/http_test_env.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "model/duplicate_folding.h"
#include "model/objects_storage.h"
#include "model/search.h"
#include "run/image_downloader.h"
#include "run/picture_server.h"
#include "support/test_support.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/results_list.h"
#include "ui/results_test_support.h"
#include "ui/thumbnail_downloads.h"
#include "ui/thumbnail_images.h"
#include "ui/thumbnail_view.h"
#include "ui/thumbnails_and_preview.h"
#include "ui/ui_test_support.h"
#include "ui/web_preview.h"
#include "ui_test_registry.h"

namespace fs = std::filesystem;

namespace trawlix {
namespace {

constexpr int cWaitMs = 10000;

std::string Encoded(const QImage& aImage, const char* aFormat) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    aImage.save(&buffer, aFormat);
    return bytes.toStdString();
}

QImage Solid(int aWidth, int aHeight, QColor aColour) {
    QImage image(aWidth, aHeight, QImage::Format_RGB32);
    image.fill(aColour);
    return image;
}

QImage Stripes(int aWidth, int aHeight) {
    QImage image = Solid(aWidth, aHeight, Qt::white);
    QPainter painter(&image);
    for (int x = 0; x < aWidth; x += 20) painter.fillRect(x, 0, 10, aHeight, Qt::darkBlue);
    return image;
}

// A picture with shapes as large as the hash sees them: light from the left, a dark block,
// a light round.
QImage Scene() {
    QImage image(300, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient light(0, 0, 300, 0);
    light.setColorAt(0, QColor(30, 40, 60));
    light.setColorAt(1, QColor(230, 220, 200));
    painter.fillRect(image.rect(), light);
    painter.fillRect(180, 20, 80, 70, QColor(20, 20, 20));
    painter.setBrush(QColor(250, 250, 240));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(30, 110, 90, 70);
    return image;
}

QImage Decoded(const TBlob& aBlob) {
    QImage image;
    image.loadFromData(aBlob.data(), int(aBlob.size()), "JPEG");
    return image;
}

IEntry Entry(const std::string& aName, const std::string& aImageUrl) {
    return std::make_shared<TEntry>(ssCraigslist, "Dec 10", aName, "https://city.craigslist.org/" + aName + ".html",
                                    10.0, "", "", !aImageUrl.empty(), 0, 0.0, "", "", aImageUrl);
}

}  // namespace

class TestThumbnails : public QObject {
    Q_OBJECT

    // Everything a grid needs: a queue served by Qt, a picture server and the pool.
    struct TGrid {
        test::TScopedEnv noProxy{"http_proxy", std::nullopt};
        TQtMainThreadBinding binding;
        test::TPictureServer server;
        TProxySettings proxy;
        TImageDownloader downloader{proxy};
        std::vector<IEntry> entries;
        std::vector<int> paintOrder;  // the index of each cell the first time it was painted
        int repaints = 0;
        std::function<void(const IEntry&)> onLanded;
        QStringListModel model;
        TThumbnailView view;
        TThumbnailDownloads downloads{downloader, [this] { ++repaints; },
                                      [this](const IEntry& aEntry) {
                                          if (onLanded) onLanded(aEntry);
                                      }};

        TGrid() {
            view.setModel(&model);
            view.SetDownloads(&downloads);
            view.SetSource({[this](int aIndex) {
                                if (std::find(paintOrder.begin(), paintOrder.end(), aIndex) == paintOrder.end())
                                    paintOrder.push_back(aIndex);
                                return aIndex < int(entries.size()) ? entries[aIndex] : nullptr;
                            },
                            [](const std::string&) { return false; }, [] { return true; }});
            view.resize(700, 400);
        }
        void Show(std::vector<IEntry> aEntries) {
            entries = std::move(aEntries);
            model.setStringList(QStringList(int(entries.size()), QString()));
            view.grab();
        }
        QImage PaintCell(int aIndex) {
            QImage cell(TThumbnailView::cCellSize, TThumbnailView::cCellSize, QImage::Format_RGB32);
            cell.fill(Qt::white);
            QPainter painter(&cell);
            view.PaintCell(painter, cell.rect(), aIndex, false, false);
            return cell;
        }
    };

private slots:
    void aPictureIsScaledToAtMost125PixelsAndKeptWithTheEntry_data() {
        QTest::addColumn<QImage>("picture");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("thumbnail");
        QTest::newRow("wide JPEG") << Stripes(300, 200) << QByteArray("JPEG") << QSize(125, 83);
        QTest::newRow("small portrait PNG, enlarged") << Stripes(40, 80) << QByteArray("PNG") << QSize(63, 125);
        QTest::newRow("large square PNG") << Stripes(500, 500) << QByteArray("PNG") << QSize(125, 125);
    }
    void aPictureIsScaledToAtMost125PixelsAndKeptWithTheEntry() {
        QFETCH(QImage, picture);
        QFETCH(QByteArray, format);
        QFETCH(QSize, thumbnail);
        TGrid grid;
        const std::string bytes = Encoded(picture, format.constData());
        grid.server.Serve("/pic", bytes);
        IEntry entry = Entry("bike", grid.server.Url("/pic"));
        grid.Show({entry});
        QVERIFY(QTest::qWaitFor([&] { return entry->HasResizedImage(); }, cWaitMs));
        QVERIFY(QTest::qWaitFor([&] { return grid.repaints > 0; }, cWaitMs));

        QCOMPARE(Decoded(entry->GetResizedImage()).size(), thumbnail);
        QCOMPARE(Decoded(entry->GetOriginalImage()).size(), picture.size());
        if (format == "JPEG") QVERIFY(entry->GetOriginalImage() == TBlob(bytes.begin(), bytes.end()));
        QVERIFY(!entry->GetImageDownloading());

        // Kept with the results: the stored row gives the same pictures back.
        test::TempDir dir;
        fs::copy_file(trawlix::test::SourceDataDir() / "object_storage.cur", dir / "db.cur");
        TObjectsStorage storage((dir / "db.cur").string());
        entry->SaveToDBEntries(storage, 7, cEntryTypeSearchResult);
        TSQLiteQuery row = storage.SQLLiteDB().GetTable("select * from entries where search_id = ?", {7});
        QVERIFY(!row.Eof());
        TEntry stored(row);
        QVERIFY(stored.GetResizedImage() == entry->GetResizedImage());
        QVERIFY(stored.GetOriginalImage() == entry->GetOriginalImage());

        // The cell now shows the picture, not the loading animation or the no-image picture.
        const QImage cell = grid.PaintCell(0);
        const QRect picture125((TThumbnailView::cCellSize - thumbnail.width()) / 2, TThumbnailView::cPictureTop,
                               thumbnail.width(), thumbnail.height());
        const QImage shown = cell.copy(picture125);
        const QImage expected = Decoded(entry->GetResizedImage()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, expected);
        QCOMPARE(grid.server.Requests().size(), size_t(1));
    }

    void aOneColourPictureIsDroppedShownAsNoImageAndNotFetchedAgain_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("one colour") << "solid";
        QTest::newRow("not a picture") << "text";
        QTest::newRow("download failed") << "missing";
    }
    void aOneColourPictureIsDroppedShownAsNoImageAndNotFetchedAgain() {
        QFETCH(QString, kind);
        TGrid grid;
        if (kind == "solid") grid.server.Serve("/pic", Encoded(Solid(200, 120, QColor(200, 30, 30)), "JPEG"));
        if (kind == "text") grid.server.Serve("/pic", "<html>moved</html>");
        IEntry entry = Entry("bike", grid.server.Url("/pic"));
        IEntry withoutPicture = Entry("bike", "");
        grid.Show({entry, withoutPicture});
        QVERIFY(QTest::qWaitFor([&] { return grid.repaints > 0; }, cWaitMs));

        QVERIFY(!entry->HasResizedImage());
        QVERIFY(!entry->HasOriginalImage());
        QVERIFY(!entry->GetImageDownloading());
        QCOMPARE(entry->GetImageUrl(), grid.server.Url("/pic"));
        QCOMPARE(grid.PaintCell(0), grid.PaintCell(1));  // the no-image picture, as for an ad without one
        grid.view.grab();
        grid.view.viewport()->repaint();
        QCOMPARE(grid.server.Requests().size(), size_t(1));
    }

    void loadingCellsAreFetchedNewestFirst() {
        TGrid grid;
        grid.server.Hold();
        // Every worker busy, so that the cells' requests wait in the queue.
        std::vector<IEntry> busy;
        for (int i = 0; i < TImageDownloader::cWorkerCount; ++i) {
            busy.push_back(Entry("busy" + std::to_string(i), grid.server.Url("/busy" + std::to_string(i))));
            grid.downloads.Request(busy.back());
        }
        QVERIFY(QTest::qWaitFor([&] { return grid.server.Requests().size() == 5; }, cWaitMs));

        std::vector<IEntry> cells;
        for (int i = 0; i < 4; ++i) cells.push_back(Entry("cell" + std::to_string(i), grid.server.Url("/cell" + std::to_string(i))));
        grid.Show(cells);
        QCOMPARE(grid.paintOrder.size(), size_t(4));
        for (const IEntry& cell : cells) QVERIFY(cell->GetImageDownloading());
        QVERIFY(Synch().ExistsInQueue(TThumbnailView::cRepaintCallName, true));
        const int queued = Synch().GetQueueCount();
        grid.view.grab();  // painting the loading cells again asks for no second repaint or download
        QCOMPARE(Synch().GetQueueCount(), queued);
        QCOMPARE(grid.downloader.GetJobCount(), 4);

        for (size_t seen = 5; seen < 9; ++seen) {
            grid.server.Release();
            QVERIFY(QTest::qWaitFor([&] { return grid.server.Requests().size() == seen + 1; }, cWaitMs));
        }
        const auto targets = grid.server.Targets();
        std::vector<std::string> expected;
        for (auto it = grid.paintOrder.rbegin(); it != grid.paintOrder.rend(); ++it)
            expected.push_back("/cell" + std::to_string(*it));
        QCOMPARE(std::vector<std::string>(targets.begin() + 5, targets.end()), expected);
        grid.server.ReleaseAll();
    }

    void framesFollowTheCellState_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<QColor>("outline");
        QTest::addColumn<QColor>("top");
        QTest::addColumn<QColor>("bottom");
        QTest::addColumn<QColor>("shade");
        using namespace thumbnail_colors;
        QTest::newRow("selected, focused") << cCellSelected << true << cSelected << cGSelectedEnd << cGSelectedStart
                                           << cShadeSelect;
        QTest::newRow("selected, unfocused") << cCellSelected << false << cSelected << cGSelectedEnd
                                             << cGSelectedStart << cShadeDisabled;
        QTest::newRow("hot") << cCellHot << true << cHot << cGHotEnd << cGHotStart << cShadeSelect;
    }
    void framesFollowTheCellState() {
        QFETCH(int, state);
        QFETCH(bool, focused);
        QFETCH(QColor, outline);
        QFETCH(QColor, top);
        QFETCH(QColor, bottom);
        QFETCH(QColor, shade);
        QImage canvas = Solid(150, 150, Qt::black);
        QPainter painter(&canvas);
        ThumbnailPaintBasic(painter, QRect(0, 0, 150, 150), state, focused);
        painter.end();
        QCOMPARE(canvas.pixelColor(75, 0), outline);
        QCOMPARE(canvas.pixelColor(0, 75), outline);
        QCOMPARE(canvas.pixelColor(149, 75), outline);
        QCOMPARE(canvas.pixelColor(1, 75), shade);    // the inner line down the left
        QCOMPARE(canvas.pixelColor(75, 148), shade);  // and along the bottom
        for (QPoint corner : {QPoint(0, 0), QPoint(149, 0), QPoint(0, 149), QPoint(149, 149)})
            QCOMPARE(canvas.pixelColor(corner), shade);
        auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
                   std::abs(a.blue() - b.blue()) <= 3;
        };
        QVERIFY(near(canvas.pixelColor(75, 3), top));
        QVERIFY(near(canvas.pixelColor(75, 146), bottom));
    }

    void aPlainCellHasNoFrame() {
        QImage canvas = Solid(150, 150, Qt::black);
        QPainter painter(&canvas);
        ThumbnailPaintBasic(painter, canvas.rect(), 0, true);
        painter.end();
        QCOMPARE(canvas, Solid(150, 150, Qt::black));
    }

    void iconsAndCaptionOfACell() {
        TGrid grid;
        // Favourites are found by link, which each entry takes from its name.
        IEntry plain = Entry("Tom & Jerry", "");
        IEntry favourite = Entry("Tom & Jerry 2", "");
        IEntry replied = Entry("Tom & Jerry 3", "");
        IEntry both = Entry("Tom & Jerry 4", "");
        replied->SetReplied(true);
        both->SetReplied(true);
        grid.entries = {plain, favourite, replied, both};
        grid.view.SetSource({[&](int aIndex) { return grid.entries[aIndex]; },
                             [&](const std::string& aLink) {
                                 return aLink == favourite->GetLink() || aLink == both->GetLink();
                             },
                             [] { return true; }});
        const QRect corner(0, 0, TThumbnailView::cIconWidth, TThumbnailView::cIconWidth);
        const QRect second = corner.translated(TThumbnailView::cIconWidth, 0);
        const QImage plainCell = grid.PaintCell(0), favouriteCell = grid.PaintCell(1), repliedCell = grid.PaintCell(2),
                     bothCell = grid.PaintCell(3);
        QVERIFY(favouriteCell.copy(corner) != plainCell.copy(corner));
        QVERIFY(repliedCell.copy(corner) != plainCell.copy(corner));
        QVERIFY(repliedCell.copy(corner) != favouriteCell.copy(corner));
        QCOMPARE(bothCell.copy(corner), favouriteCell.copy(corner));
        // With a favourite icon the replied one moves one icon width to the right.
        QVERIFY(bothCell.copy(second) != favouriteCell.copy(second));
        QCOMPARE(repliedCell.copy(second), plainCell.copy(second));

        // The caption sits in the bottom 16 pixels, in black, "&" drawn as a character.
        const QRect captionBand(0, 150 - TThumbnailView::cCaptionHeight, 150, TThumbnailView::cCaptionHeight);
        const QImage band = plainCell.copy(captionBand);
        bool black = false;
        for (int y = 0; y < band.height() && !black; ++y)
            for (int x = 0; x < band.width() && !black; ++x) black = band.pixelColor(x, y) == QColor(Qt::black);
        QVERIFY(black);
    }

    void aLongCaptionIsCutWithAnEllipsis() {
        TGrid grid;
        IEntry entry = Entry(std::string(200, 'W'), "");
        grid.entries = {entry};
        QImage cell = grid.PaintCell(0);
        // Nothing is drawn outside the cell's own width (the right-most column stays white).
        bool drawn = false;
        for (int y = 150 - TThumbnailView::cCaptionHeight; y < 150; ++y) {
            QCOMPARE(cell.pixelColor(0, y), QColor(Qt::white));
            QCOMPARE(cell.pixelColor(149, y), QColor(Qt::white));
            for (int x = 2; x < 148; ++x) drawn = drawn || cell.pixelColor(x, y) != QColor(Qt::white);
        }
        QVERIFY(drawn);
    }

    void togglingShowsOneViewAndClearsBothSelections() {
        TGrid grid;
        grid.Show({Entry("a", ""), Entry("b", "")});
        QTableView list;
        list.setModel(&grid.model);
        list.show();
        grid.view.show();
        list.selectRow(0);
        grid.view.selectionModel()->select(grid.model.index(1, 0), QItemSelectionModel::Select);

        ToggleView(list, grid.view, true);
        QVERIFY(grid.view.isVisible());
        QVERIFY(!list.isVisible());
        QVERIFY(!list.selectionModel()->hasSelection());
        QVERIFY(!grid.view.selectionModel()->hasSelection());
        ToggleView(list, grid.view, false);
        QVERIFY(!grid.view.isVisible());
        QVERIFY(list.isVisible());
    }
    void theWindowSwitchesToThumbnailsAndRemembersIt() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            TThumbnailsAndPreview& views = *run.window->ThumbnailsAndPreview();
            QVERIFY(!views.cbViewAsThumbnails->isChecked());
            QVERIFY(run.window->lvResults->isVisibleTo(run.window.get()));
            QVERIFY(!views.rkvThumbnailedResults->isVisibleTo(run.window.get()));
            QCOMPARE(run.window->pcPreview->widget(0), static_cast<QWidget*>(views.wbPreview));
            QCOMPARE(run.window->pcPreview->tabText(0), QString("Web Preview"));

            views.cbViewAsThumbnails->click();
            QVERIFY(views.rkvThumbnailedResults->isVisibleTo(run.window.get()));
            QVERIFY(!run.window->lvResults->isVisibleTo(run.window.get()));
            QVERIFY(run.session->GetSettings().GetResultsAsThumbnails());
        }
        test::TRun again(profile.Path());
        TThumbnailsAndPreview& views = *again.window->ThumbnailsAndPreview();
        QVERIFY(views.cbViewAsThumbnails->isChecked());
        QVERIFY(views.rkvThumbnailedResults->isVisibleTo(again.window.get()));
        QVERIFY(!again.window->lvResults->isVisibleTo(again.window.get()));
    }
    void theGridTakesTheListsPlaceBelowTheCountAndToolbar() {
        test::TResultsWindow window({{"sofa"}, {"table"}, {"lamp"}});
        TformMain& form = *window.run.window;
        TThumbnailsAndPreview& views = *form.ThumbnailsAndPreview();
        views.wbPreview->IsActive = [] { return false; };
        form.resize(1000, 760);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCoreApplication::processEvents();
        const QRect listPlace(form.lvResults->mapTo(&form, QPoint(0, 0)), form.lvResults->size());
        QVERIFY(listPlace.height() > 150);  // what the toolbar leaves; at this width it takes two lines

        views.cbViewAsThumbnails->click();
        QCoreApplication::processEvents();
        QWidget& grid = *views.rkvThumbnailedResults;
        QVERIFY(grid.isVisible());
        const QRect gridPlace(grid.mapTo(&form, QPoint(0, 0)), grid.size());
        QCOMPARE(gridPlace, listPlace);
        const QWidget& toolbar = *form.ResultsList()->Panel15;
        QVERIFY(gridPlace.top() >= form.lblResultsCount->mapTo(&form, QPoint(0, form.lblResultsCount->height())).y());
        QVERIFY(gridPlace.top() >= toolbar.mapTo(&form, QPoint(0, toolbar.height())).y());

        views.cbViewAsThumbnails->click();  // and the list comes back to the same place
        QCoreApplication::processEvents();
        QCOMPARE(QRect(form.lvResults->mapTo(&form, QPoint(0, 0)), form.lvResults->size()), listPlace);
    }
    // The thumbnail missing and the ad's first picture of one colour: its next picture is shown.
    void anUnusableThumbnailGivesWayToTheAdsNextPicture() {
        TGrid grid;
        grid.server.Serve("/blank", Encoded(Solid(200, 120, QColor(20, 30, 200)), "JPEG"));
        grid.server.Serve("/pic", Encoded(Stripes(300, 200), "JPEG"));
        IEntry entry = Entry("bike", grid.server.Url("/missing"));
        entry->SetPictureUrls({grid.server.Url("/blank"), grid.server.Url("/pic")});
        grid.Show({entry});
        QVERIFY(QTest::qWaitFor(
            [&] {
                grid.view.grab();  // each paint of the loading cell asks for the next picture
                return entry->HasResizedImage();
            },
            cWaitMs));
        QCOMPARE(Decoded(entry->GetResizedImage()).size(), QSize(125, 83));
        QVERIFY(entry->GetPictureHash() != 0);
        QCOMPARE(grid.server.Requests().size(), size_t(3));
    }

    // The same picture scaled, recompressed or slightly cropped keeps nearly its hash; another
    // picture does not.
    void thePictureHashKnowsAPictureAgain() {
        const QImage picture = Scene();
        const struct {
            const char* what;
            QImage other;
            bool alike;
        } cases[] = {
            {"scaled", picture.scaled(120, 80, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), true},
            {"recompressed", Decoded(EncodeJpeg(picture)), true},
            {"a frame cut off", picture.copy(4, 3, 292, 194), true},
            {"mirrored", picture.mirrored(true, false), false},
            {"another picture", Stripes(300, 200), false},
            {"turned", picture.transformed(QTransform().rotate(90)), false},
        };
        const std::uint64_t hash = PictureHash(picture);
        QVERIFY(hash != 0);
        for (const auto& c : cases)
            QVERIFY2(PicturesLookAlike(hash, PictureHash(c.other)) == c.alike, c.what);
        QCOMPARE(PictureHash(QImage()), std::uint64_t(0));
    }

    // An ad posted in two cities uploads its picture twice, under two names: once both pictures
    // are here, the later ad folds under the first.
    void crossPostedAdsWithTheSamePictureFoldOnceBothPicturesAreHere() {
        TGrid grid;
        grid.server.Serve("/one.jpg", Encoded(Scene(), "JPEG"));
        grid.server.Serve("/two.png", Encoded(Scene().scaled(600, 400), "PNG"), "image/png");
        IEntry first = Entry("oak-table", grid.server.Url("/one.jpg"));
        IEntry second = std::make_shared<TEntry>(ssCraigslist, "Dec 10", "oak-table",
                                                 "https://other.craigslist.org/oak-table.html", 10.0, "", "", true, 0,
                                                 0.0, "", "", grid.server.Url("/two.png"));
        TSearch search;
        search.AddSearchResult(first);
        search.AddSearchResult(second);
        int folds = 0;
        grid.onLanded = [&](const IEntry& aEntry) { folds += search.FoldWhenDetailsAgree(aEntry) ? 1 : 0; };
        grid.Show({first, second});
        QVERIFY(QTest::qWaitFor([&] { return folds == 1; }, cWaitMs));
        QVERIFY(first->GetPictureHash() != 0 && second->GetPictureHash() != 0);
        QCOMPARE(second->GetDuplicateOf(), first->GetLink());
        QVERIFY(!first->IsFolded());
    }

    void aCellClickedInTheGridIsTheSelectedResult() {
        test::TResultsWindow window({{"sofa"}, {"table"}, {"lamp"}});
        TThumbnailsAndPreview& views = *window.run.window->ThumbnailsAndPreview();
        views.wbPreview->IsActive = [] { return false; };  // no page of the real site is loaded here
        views.cbViewAsThumbnails->click();
        TThumbnailView& grid = *views.rkvThumbnailedResults;
        QVERIFY(QTest::qWaitForWindowExposed(window.run.window.get()));

        const int row = window.RowOf("table");
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(window.model().index(row, 0)).center());
        QCOMPARE(window.list().GetSelectedEntry(), window.Entry("table"));
        QVERIFY(window.Entry("table")->GetChecked());  // the selection is mirrored into the checked entries
        QVERIFY(!window.Entry("sofa")->GetChecked());

        views.cbViewAsThumbnails->click();  // back to the list: nothing stays selected
        QVERIFY(!window.list().GetSelectedEntry());
        QVERIFY(!window.Entry("table")->GetChecked());
    }
};

}  // namespace trawlix

TRAWLIX_UI_TEST(trawlix::TestThumbnails)
#include "test_thumbnails.moc"
