// The desktop program's two speed goals: start-up to a shown window with the real
// reference data and 20 searches of 5,000 results, and a run delivering 10,000 results
// to the shown search without stalling the window (the longest delay of a 5 ms timer of the
// event loop).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/proxy_settings.h"
#include "model/categories.h"
#include "model/searches.h"
#include "support/sitesim_fixture.h"
#include "ui/criteria_controls.h"
#include "ui/criteria_panel.h"
#include "ui/form_main.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/results_model.h"
#include "ui/user_dialogs.h"

namespace {

using namespace trawlix;

constexpr int cSearches = 20;
constexpr int cResultsPerSearch = 5000;

// Message boxes would wait for a click: here they only go to standard error.
class TSilentDialogs : public IUserDialogs {
public:
    void Information(const std::string& aMessage) override { std::fprintf(stderr, "info: %s\n", aMessage.c_str()); }
    void Warning(const std::string& aMessage) override { std::fprintf(stderr, "warning: %s\n", aMessage.c_str()); }
    bool Confirm(const std::string&) override { return true; }
};

// One start of the program on a profile folder.
struct TProgram {
    explicit TProgram(const QString& aProfile, bool aReadOnly) {
        setenv("TRAWLIX_DATA_DIR", (aProfile + "/data").toUtf8().constData(), 1);
        setenv("TRAWLIX_CONFIG_DIR", (aProfile + "/config").toUtf8().constData(), 1);
        binding = std::make_unique<TQtMainThreadBinding>();
        TSession::TOptions options;
        options.dataFolder = platform::DataFolder();
        options.settingsFile = platform::SettingsFile();
        options.autostartFile = (aProfile + "/autostart/trawlix.desktop").toStdString();
        options.installedFiles = platform::InstalledDataFolder();
        options.readOnly = aReadOnly;
        session = std::make_unique<TSession>(options, notifier);
        SetSession(session.get());
    }
    void ShowWindow() {
        window = std::make_unique<TformMain>(session.get(), dialogs);
        window->OrientationChooser = [](TOrientation aCurrent, bool) { return aCurrent; };
        window->Init();
        window->LoginSuccess({false, false});
        while (!window->isVisible()) QApplication::processEvents();
        QApplication::processEvents();
    }
    void Exit() {
        if (window) {
            window->close();
            while (!binding->IsTerminating()) QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        window.reset();
        session.reset();
        SetSession(nullptr);
        binding.reset();
    }

    TSilentDialogs dialogs;
    TStdErrNotifier notifier;
    std::unique_ptr<TQtMainThreadBinding> binding;
    std::unique_ptr<TSession> session;
    std::unique_ptr<TformMain> window;
};

// A profile with 20 searches over a few states and a main category, 5,000 results each.
void FillProfile(const QString& aProfile) {
    TProgram program(aProfile, false);
    program.session->InitSession();
    program.session->WaitUntilIdle();
    TSearches& searches = *program.session->GetMySearches();
    const TPlace* country = program.session->GetPlaces()->GetCountries().front();
    const TPlace* category = program.session->GetCategories()->GetMainCategories().front();
    for (int s = 0; s < cSearches; ++s) {
        auto search = std::make_unique<TSearch>();
        search->SetName("search " + std::to_string(s));
        search->SetCompressedLocations({country->GetChildren().at(s % country->GetChildren().size())});
        search->SetCategories({const_cast<TPlace*>(category)});
        for (int r = 0; r < cResultsPerSearch; ++r)
            search->AddSearchResult(std::make_shared<TEntry>(
                ssCraigslist, "Mar 12", "result " + std::to_string(r) + " of search " + std::to_string(s),
                "http://x.craigslist.org/" + std::to_string(s) + "/" + std::to_string(r) + ".html", r % 900, "boston",
                "cars", r % 3 == 0, 0, 0.0, "", "", ""));
        searches.AddSearch(std::move(search));
    }
    searches.SaveMySearches();
    program.session->FinishSession(false);
}

void BM_StartUpToShownWindow(benchmark::State& aState) {
    QTemporaryDir profile;
    FillProfile(profile.path());
    for (auto _ : aState) {
        // Read-only, so that leaving does not save 100,000 results each round.
        TProgram program(profile.path(), true);
        program.ShowWindow();
        aState.PauseTiming();
        if (program.session->GetMySearches()->GetAllSearches().size() != cSearches) aState.SkipWithError("searches missing");
        if (program.window->ResultsModel()->rowCount() != cResultsPerSearch) aState.SkipWithError("results missing");
        program.window.reset();
        program.Exit();
        aState.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// How late the event loop serves a 5 ms timer: the longest gap between two of its ticks,
// less the interval, is the longest time the window could not react.
class TStallMeter {
public:
    TStallMeter() {
        fTimer.setTimerType(Qt::PreciseTimer);
        fTimer.setInterval(cIntervalMs);
        QObject::connect(&fTimer, &QTimer::timeout, [this] {
            if (fClock.isValid()) fLongest = std::max(fLongest, fClock.elapsed() - cIntervalMs);
            fClock.restart();
        });
        fTimer.start();
    }
    qint64 Longest() const { return fLongest; }

private:
    static constexpr int cIntervalMs = 5;
    QTimer fTimer;
    QElapsedTimer fClock;
    qint64 fLongest = 0;
};

void BM_RunOf10000ResultsIntoTheShownSearch(benchmark::State& aState) {
    test::TSiteSimulator simulator;
    for (auto _ : aState) {
        QTemporaryDir profile;
        TProgram program(profile.path(), false);
        program.ShowWindow();
        TProxySettings& proxy = program.session->GetSettings().GetProxySettings();
        proxy.SetEnabled(true);
        proxy.SetHost("127.0.0.1");
        proxy.SetPort(simulator.Port());
        TCriteriaPanel* panel = program.window->Criteria();
        const test::TCriteriaControls ui(panel);
        ui.edtKeywords->setPlainText("count10000 lamp");
        for (QTreeWidgetItem* item : ui.tvLocations->AllItems())
            if (item->text(0) == "birmingham, AL") ui.tvLocations->OnUserToggled(item);
        for (QTreeWidgetItem* item : ui.tvCategories->AllItems())
            if (item->text(0) == "antiques") ui.tvCategories->OnUserToggled(item);
        for (QCheckBox* box : ui.cbSearchIn) box->setChecked(false);
        ui.cbSearchIn[ssCraigslist]->setChecked(true);
        ui.edtPageCount->setValue(100);
        TSearch* search = program.window->CurrentSearch();
        TStallMeter meter;
        program.window->actSearch->trigger();
        // The event loop runs as it does for the user until the run has ended.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!search->GetSearching()) loop.quit();
        });
        poll.start(20);
        loop.exec();
        aState.PauseTiming();
        aState.counters["results"] = program.window->ResultsModel()->rowCount();
        aState.counters["longest_stall_ms"] = static_cast<double>(meter.Longest());
        program.Exit();
        aState.ResumeTiming();
    }
}
BENCHMARK(BM_RunOf10000ResultsIntoTheShownSearch)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TRAWLIX_INSTALLED_DATA_DIR", TRAWLIX_SOURCE_DATA_DIR, 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
