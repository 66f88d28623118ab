// The ad preview: which navigations it makes, the deferred loading, the page archives.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/http_test_env.h"
#include "engine/text_functions.h"
#include "run/picture_server.h"
#include "support/test_support.h"
#include "ui/page_cache.h"
#include "ui/preview_navigation.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/web_preview.h"
#include "ui_test_registry.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace trawlix {
namespace {

constexpr int cLoadWaitMs = 30000;

const char* const cAdPage =
    "<html><head><title>Oak table</title><link rel=\"stylesheet\" href=\"/style.css\"></head><body><h2>Oak table</h2>"
    "<img src=\"/table.png\"><p>Reply to: <a href=\"mailto:seller@example.com\">seller@example.com</a></p>"
    "</body></html>";

std::string PngPicture() {
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// An archive as the browser writes it: the page, then its picture and style sheet.
std::string Archive(const std::string& aBoundaryParameter, const std::string& aBoundary) {
    return "From: <Saved by Blink>\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
           "\t" + aBoundaryParameter + "\r\n\r\n\r\n"
           "--" + aBoundary + "\r\nContent-Type: text/html\r\nContent-Location: http://a/1.html\r\n\r\n<html>ad</html>\r\n"
           "--" + aBoundary + "\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0K\r\n"
           "--" + aBoundary + "\r\nContent-Type: text/css\r\n\r\nh2 { color: red }\r\n"
           "--" + aBoundary + "--\r\n";
}

IEntry Ad(const std::string& aLink) {
    return std::make_shared<TEntry>(ssCraigslist, "Dec 10", "Oak table", aLink, 40.0, "", "", false, 0, 0.0, "", "",
                                    "");
}

}  // namespace

class TestWebPreview : public QObject {
    Q_OBJECT

    // A preview over a data folder, with the selection and the default browser in the test's hands.
    struct TPreview {
        test::TScopedEnv noProxy{"http_proxy", std::nullopt};
        test::TempDir data;
        TQtMainThreadBinding binding;
        test::TPictureServer server;
        IEntry selected;
        std::vector<QUrl> openedOutside;
        TWebPreview preview{{data.Path(), "craigslist.org", "velmorasolutions.com"}};

        TPreview() {
            preview.SelectedEntry = [this] { return selected; };
            preview.OpenExternally = [this](const QUrl& aUrl) { openedOutside.push_back(aUrl); };
            preview.resize(800, 600);
            preview.show();
        }
        void Select(const IEntry& aEntry) {
            selected = aEntry;
            preview.ShowEntry(aEntry);
        }
        int PageRequests(const std::string& aPath) const {
            int count = 0;
            for (const auto& target : server.Targets()) count += target == aPath;
            return count;
        }
        bool Shows(const QString& aUrl) const {
            return preview.Browser() && preview.Browser()->url().toString() == aUrl;
        }
    };

private slots:
    void navigationPolicy_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("current");
        QTest::addColumn<int>("secondsSinceActivity");
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<bool>("openedOutside");
        const QString ad = "http://127.0.0.1:8080/ad/1.html";
        QTest::newRow("first page") << "http://example.com/x" << "" << 1 << true << false;
        QTest::newRow("the page that was sent") << ad << ad << 1 << true << false;
        QTest::newRow("same page, slashes aside") << ad + "/" << ad << 1 << true << false;
        QTest::newRow("blank") << "about:blank" << ad << 30 << true << false;
        QTest::newRow("mail link") << "mailto:seller@example.com" << ad << 30 << true << false;
        QTest::newRow("redirect within 12 s is dropped") << "http://ads.example.com/track" << ad << 11 << false << false;
        QTest::newRow("link clicked 13 s after the page settled") << "http://example.com/elsewhere" << ad << 13 << false
                                                                  << true;
        QTest::newRow("another Craigslist page opens inside") << "https://city.craigslist.org/bik/2.html" << ad << 13
                                                              << true << false;
        QTest::newRow("the vendor's pages open outside at once") << "https://WWW.VelmoraSolutions.com/news" << ad << 1
                                                                 << false << true;
    }
    void navigationPolicy() {
        QFETCH(QString, address);
        QFETCH(QString, current);
        QFETCH(int, secondsSinceActivity);
        QFETCH(bool, allowed);
        QFETCH(bool, openedOutside);
        TPreviewNavigationPolicy policy("craigslist.org", "velmorasolutions.com");
        const auto settledAt = TPreviewNavigationPolicy::TClock::now();
        policy.NoteLoadActivity(settledAt);
        const auto now = settledAt + std::chrono::seconds(secondsSinceActivity);
        const auto decision = policy.Decide(address.toStdString(), current.toStdString(), now);
        QCOMPARE(decision.allow, allowed);
        QCOMPARE(decision.openExternally, openedOutside);
        // An allowed navigation is load activity: a redirect right after it is dropped quietly.
        QCOMPARE(policy.LastLoadActivity() == now, allowed);
    }

    void archivesAreNamedByTheAddressAndEmptyFilesDoNotCount() {
        test::TempDir data;
        TPageCache cache(data.Path());
        const std::string address = "https://city.craigslist.org/bik/1.html";
        QCOMPARE(cache.ArchivePath(address), data.Path() / "Temp" / (MD5(address) + ".mht"));
        QVERIFY(!cache.HasArchive(address));
        fs::create_directories(data.Path() / "Temp");
        test::WriteFile(cache.ArchivePath(address), "");
        QVERIFY(!cache.HasArchive(address));
        test::WriteFile(cache.ArchivePath(address), "MIME-Version: 1.0\r\n");
        QVERIFY(cache.HasArchive(address));
        QVERIFY(TPageCache::IsArchiveAddress("file:///tmp/Temp/abc.MHT"));
        QVERIFY(!TPageCache::IsArchiveAddress("https://city.craigslist.org/bik/1.html"));
        QVERIFY(!TPageCache::IsArchiveAddress("mht"));
    }

    void archivesKeepThePageWithItsPicturesWithinTheLimit_data() {
        QTest::addColumn<QString>("parameter");
        QTest::addColumn<int>("limit");
        QTest::addColumn<bool>("picture");
        QTest::addColumn<bool>("styleSheet");
        QTest::newRow("quoted boundary") << "boundary=\"----MultipartBoundary--x7----\"" << int(TPageCache::cArchiveLimit)
                                         << true << true;
        QTest::newRow("bare boundary") << "boundary=----MultipartBoundary--x7----" << int(TPageCache::cArchiveLimit)
                                       << true << true;
        // Parts that would pass the limit are left out; the page itself always stays.
        QTest::newRow("room for the picture only") << "boundary=b7" << 320 << true << false;
        QTest::newRow("room for the page only") << "boundary=b7" << 100 << false << false;
    }
    void archivesKeepThePageWithItsPicturesWithinTheLimit() {
        QFETCH(QString, parameter);
        QFETCH(int, limit);
        QFETCH(bool, picture);
        QFETCH(bool, styleSheet);
        const std::string boundary = parameter.section('=', 1).remove('"').toStdString();
        const std::string source = Archive(parameter.toStdString(), boundary);
        // A sound is never needed to show the ad.
        const std::string withSound = source.substr(0, source.rfind("--" + boundary + "--")) + "--" + boundary +
                                      "\r\nContent-Type: audio/midi\r\n\r\nMThd\r\n--" + boundary + "--\r\n";
        const std::string kept = TPageCache::TrimArchive(withSound, static_cast<size_t>(limit));
        const std::string head = source.substr(0, source.find("--" + boundary));
        std::string expected = head + "--" + boundary +
                               "\r\nContent-Type: text/html\r\nContent-Location: http://a/1.html\r\n\r\n<html>ad</html>\r\n";
        if (picture)
            expected += "--" + boundary + "\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0K\r\n";
        if (styleSheet) expected += "--" + boundary + "\r\nContent-Type: text/css\r\n\r\nh2 { color: red }\r\n";
        expected += "--" + boundary + "--\r\n";
        QCOMPARE(QString::fromStdString(kept), QString::fromStdString(expected));
        QVERIFY(kept.size() <= static_cast<size_t>(limit) || (!picture && !styleSheet));
    }

    void somethingThatIsNotAnArchiveIsLeftAlone_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain page") << "<html>ad</html>";
        QTest::newRow("no HTML part") << "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: image/png\r\n\r\nxx\r\n--b--\r\n";
        QTest::newRow("empty") << "";
    }
    void somethingThatIsNotAnArchiveIsLeftAlone() {
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(TPageCache::TrimArchive(text.toStdString())), text);
    }

    void aSecondSelectionShowsTheArchiveWithoutDownloadingOrArchivingAgain() {
        TPreview t;
        t.server.Serve("/ad/1.html", cAdPage, "text/html");
        t.server.Serve("/table.png", PngPicture(), "image/png");
        t.server.Serve("/style.css", "h2 { color: #123456 }", "text/css");
        IEntry ad = Ad(t.server.Url("/ad/1.html"));
        int updates = 0;
        t.preview.OnEntryUpdated = [&](const IEntry& aEntry) { updates += aEntry == ad; };
        QSignalSpy archived(&t.preview, &TWebPreview::PageArchived);

        t.Select(ad);
        QVERIFY(archived.wait(cLoadWaitMs) || archived.count() > 0);
        const fs::path archive = t.preview.Cache().ArchivePath(ad->GetLink());
        QCOMPARE(archived.first().first().toString().toStdString(), archive.string());
        QVERIFY(t.preview.Cache().HasArchive(ad->GetLink()));
        const std::string saved = test::ReadFile(archive);
        QVERIFY(saved.find("Oak table") != std::string::npos);
        QVERIFY(QString::fromStdString(saved).contains("Content-Type: text/html", Qt::CaseInsensitive));
        // The picture goes into the archive with the page: the ad shows it every time.
        QVERIFY(QString::fromStdString(saved).contains("Content-Type: image/png", Qt::CaseInsensitive));
        QVERIFY(t.PageRequests("/table.png") == 1);  // the live page did show its picture
        QVERIFY(ad->GetVisited());
        QVERIFY(QTest::qWaitFor([&] { return ad->GetContact() == "seller@example.com"; }, cLoadWaitMs));
        QVERIFY(updates > 0);
        const auto writtenAt = fs::last_write_time(archive);

        t.Select(nullptr);
        QVERIFY(QTest::qWaitFor([&] { return t.Shows("about:blank"); }, cLoadWaitMs));
        t.Select(ad);
        const QString archiveUrl = QUrl::fromLocalFile(QString::fromStdString(archive.string())).toString();
        QVERIFY(QTest::qWaitFor([&] { return t.Shows(archiveUrl); }, cLoadWaitMs));
        QSignalSpy completed(&t.preview, &TWebPreview::DocumentCompleted);
        QVERIFY(completed.wait(cLoadWaitMs) || completed.count() > 0);

        QCOMPARE(t.PageRequests("/ad/1.html"), 1);
        // The archive shows the picture, without fetching it again.
        // (An archive runs no scripts: the picture is looked for on the screen.)
        const auto showsThePicture = [&] {
            const QImage shown = t.preview.Browser()->grab().toImage();
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    if (shown.pixelColor(x, y) == QColor(Qt::darkGreen)) return true;
            return false;
        };
        QVERIFY(QTest::qWaitFor(showsThePicture, cLoadWaitMs));
        QCOMPARE(t.PageRequests("/table.png"), 1);
        QCOMPARE(fs::last_write_time(archive), writtenAt);
        QCOMPARE(archived.count(), 1);
        QCOMPARE(t.preview.CurrentPreviewURL(), archiveUrl.toStdString());
        QVERIFY(t.openedOutside.empty());
    }

    void selectionsInQuickSuccessionLoadOnlyTheLast() {
        TPreview t;
        for (const char* path : {"/ad/1.html", "/ad/2.html", "/ad/3.html"}) t.server.Serve(path, cAdPage, "text/html");
        IEntry first = Ad(t.server.Url("/ad/1.html"));
        IEntry second = Ad(t.server.Url("/ad/2.html"));
        IEntry third = Ad(t.server.Url("/ad/3.html"));
        // All three before the queue runs anything: the deferred loads of the first two find
        // the selection moved on.
        t.Select(first);
        t.Select(second);
        t.Select(third);
        QVERIFY(QTest::qWaitFor([&] { return t.Shows(QString::fromStdString(third->GetLink())); }, cLoadWaitMs));
        QVERIFY(QTest::qWaitFor([&] { return Synch().GetQueueCount() == 0; }, cLoadWaitMs));
        QCOMPARE(t.PageRequests("/ad/1.html"), 0);
        QCOMPARE(t.PageRequests("/ad/2.html"), 0);
        QCOMPARE(t.PageRequests("/ad/3.html"), 1);
    }

    void anInactivePreviewLoadsNothing() {
        TPreview t;
        t.server.Serve("/ad/1.html", cAdPage, "text/html");
        t.preview.IsActive = [] { return false; };
        t.Select(Ad(t.server.Url("/ad/1.html")));
        QCOMPARE(Synch().GetQueueCount(), 0);
        QVERIFY(t.preview.Browser() == nullptr);
    }
};

}  // namespace trawlix

TRAWLIX_UI_TEST(trawlix::TestWebPreview)

#include "test_web_preview.moc"
