// Reporting checked ads to Craigslist from the results list, fetched for real through the
// site simulator (as the system's proxy): only Craigslist ads are reported, each once.
#include <QAction>
#include <QTest>

#include <cstdlib>

#include "results_test_support.h"
#include "support/sitesim_fixture.h"
#include "ui_test_registry.h"

using namespace trawlix;
using test::TResultsWindow;
using test::TTestAd;

class TestResultsReports : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TSiteSimulator> fSim;

    std::vector<std::string> RequestedUrls() const {
        std::vector<std::string> urls;
        for (const test::TSimRequest& request : fSim->Requests()) urls.push_back(request.url);
        return urls;
    }

    static std::vector<TTestAd> Ads() {
        return {{.name = "checked craigslist", .link = "http://sfbay.craigslist.org/bik/5001.html"},
                {.name = "unchecked craigslist", .link = "http://sfbay.craigslist.org/bik/5002.html"},
                {.name = "checked oodle", .link = "http://www.oodle.com/bikes/7003.html", .site = ssOodle}};
    }

private slots:
    void initTestCase() {
        fSim = std::make_unique<test::TSiteSimulator>();
        // Reports go out like the system's own downloads: through the proxy of the environment.
        qputenv("http_proxy", QByteArray(("http://127.0.0.1:" + std::to_string(fSim->Port())).c_str()));
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");
    }
    void cleanupTestCase() {
        qunsetenv("http_proxy");
        fSim.reset();
    }

    void eachReportSendsOnlyTheCheckedCraigslistAds() {
        TResultsWindow window(Ads());
        window.ClickMark(window.RowOf("checked craigslist"));
        window.ClickMark(window.RowOf("checked oodle"));
        TResultsList& list = window.list();
        const std::pair<QAction*, int> reports[] = {
            {list.actSelectionSpam, 15}, {list.actSelectionMiscat, 16}, {list.actSelectionProhibited, 28},
            {list.actSelectionBest, 9}};
        for (const auto& [action, code] : reports) {
            fSim->ClearRequests();
            action->trigger();
            const std::string expected =
                "http://sfbay.craigslist.org/flag/?flagCode=" + std::to_string(code) + "&postingID=5001";
            QCOMPARE(RequestedUrls(), std::vector<std::string>{expected});
        }
        QVERIFY(window.run.dialogs.informations.empty() && window.run.dialogs.warnings.empty());
    }

    void aReportOnAnOodleAdAloneSendsNothing() {
        TResultsWindow window(Ads());
        window.ClickMark(window.RowOf("checked oodle"));
        fSim->ClearRequests();
        window.list().actSelectionSpam->trigger();
        QVERIFY(RequestedUrls().empty());
        // The simulator does hear what the list sends: a Craigslist ad checked now goes out.
        window.ClickMark(window.RowOf("unchecked craigslist"));
        window.list().actSelectionSpam->trigger();
        QCOMPARE(RequestedUrls().size(), size_t(1));
    }
};

TRAWLIX_UI_TEST(TestResultsReports)
#include "test_results_reports.moc"
