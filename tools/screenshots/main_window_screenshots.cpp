// trawlix-screenshots: draws the main window, offscreen, with a search of sample results,
// and saves it with the preview below the results and beside them, the pages of the
// preferences window and the search wizard's three steps, as the pictures of the README
// show them: trawlix-screenshots FOLDER
// (run with QT_QPA_PLATFORM=offscreen).
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <iostream>
#include <memory>
#include <string>

#include "model/entry.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/criteria_controls.h"
#include "ui/form_search_wizard.h"
#include "ui/form_settings.h"
#include "ui/ui_test_support.h"

namespace {

using namespace trawlix;

void FillSampleSearch(TSearch& aSearch) {
    aSearch.SetName("Antiques in the SF bay area");
    const char* titles[] = {"Oak dresser, 1920s", "Brass table lamp", "Victorian mirror", "Tiffany style lamp"};
    for (int r = 0; r < 40; ++r)
        aSearch.AddSearchResult(std::make_shared<TEntry>(
            ssCraigslist, "Mar " + std::to_string(12 - r / 10), titles[r % 4],
            "http://sfbay.craigslist.org/" + std::to_string(r) + ".html", 20.0 * (r + 1), "SF bay area", "antiques",
            r % 3 == 0, 0, 0.0, "", "", ""));
}

// Saves each page of the preferences window, as it opens on it.
bool SavePreferencesPictures(test::TRun& aRun, const QString& aFolder) {
    TformSettings& window = aRun.window->PreferencesWindow();
    bool saved = true;
    const std::pair<int, const char*> pages[] = {{TformSettings::pgGeneral, "/preferences_general.png"},
                                                 {TformSettings::pgColors, "/preferences_colors.png"},
                                                 {TformSettings::pgAlerts, "/preferences_alerts.png"}};
    for (const auto& [page, name] : pages) {
        window.Prepare(page);
        if (!QTest::qWaitForWindowExposed(&window)) return false;
        QTest::qWait(50);
        const QString file = aFolder + name;
        if (!window.grab().save(file)) {
            std::cerr << "trawlix-screenshots: could not write " << file.toStdString() << "\n";
            saved = false;
        }
    }
    window.reject();
    return saved;
}

// Saves each step of the search wizard, opened on the current search once the panel holds
// an antiques search: the wizard is modal, so the pictures are taken while it runs.
bool SaveWizardPictures(test::TRun& aRun, const QString& aFolder) {
    test::FillAntiquesSearch(aRun.window->Criteria(), "oak dresser OR brass lamp", 3);
    bool saved = false;
    QTimer::singleShot(0, [&] {
        auto* wizard = aRun.window->findChild<TformSearchWizard*>();
        if (!wizard || !QTest::qWaitForWindowExposed(wizard)) {
            std::cerr << "trawlix-screenshots: the search wizard was never shown\n";
            if (wizard) wizard->reject();
            return;
        }
        auto* next = wizard->findChild<QPushButton*>("btnNext");
        saved = true;
        for (int step = 1; step <= TformSearchWizard::cPageCount; ++step) {
            QTest::qWait(50);
            const QString file = aFolder + QString("/search_wizard_%1.png").arg(step);
            if (!wizard->grab().save(file)) {
                std::cerr << "trawlix-screenshots: could not write " << file.toStdString() << "\n";
                saved = false;
            }
            if (next && next->isEnabled()) QTest::mouseClick(next, Qt::LeftButton);
        }
        wizard->reject();
    });
    aRun.window->actWizzard->trigger();
    return saved;
}

// Saves the window in both orientations; false with the reason on standard error.
bool SavePictures(const QString& aFolder) {
    test::TempDir profile;
    test::TRun run(profile.Path());
    TSearch& search = *run.window->CurrentSearch();
    FillSampleSearch(search);
    run.window->Criteria()->FillControls(search);
    run.window->actNewTab->trigger();
    run.window->actPreviousSearch->trigger();
    run.window->resize(1280, 800);
    run.window->show();
    if (!QTest::qWaitForWindowExposed(run.window.get())) {
        std::cerr << "trawlix-screenshots: the window was never shown\n";
        return false;
    }
    bool saved = true;
    for (TOrientation orientation : {orPortrait, orLandscape}) {
        run.window->SetOrientation(orientation);
        run.window->SetSplitterHeightsAndWidths();
        QTest::qWait(50);
        const QString file =
            aFolder + (orientation == orPortrait ? "/main_window_portrait.png" : "/main_window_landscape.png");
        if (!run.window->grab().save(file)) {
            std::cerr << "trawlix-screenshots: could not write " << file.toStdString() << "\n";
            saved = false;
        }
    }
    saved = SavePreferencesPictures(run, aFolder) && saved;
    saved = SaveWizardPictures(run, aFolder) && saved;
    return run.ExitAndWait() && saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: trawlix-screenshots FOLDER\n";
        return 2;
    }
    return SavePictures(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
