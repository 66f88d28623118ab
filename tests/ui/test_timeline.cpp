// The timeline window: bars from a result list, zoom by dragging and back out, the
// perspective view; and in the main window, the "Timeline Preview" tab following a run.
#include <algorithm>
#include <cmath>

#include <QAction>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGraphicsView>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QValueAxis>

#include "app/settings.h"
#include "engine/proxy_settings.h"
#include "model/filter.h"
#include "model/search.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/form_timeline.h"
#include "ui/timeline_preview.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

// Thirty days with a result each, ending today.
TTimelineBars ThirtyDays() {
    TTimelineBars bars;
    for (int day = 1; day <= 30; ++day) bars.push_back({"Jun-" + std::to_string(day), day % 4});
    return bars;
}

// The x pixel of a bar's middle in the chart's view.
int BarX(TformTimeline& aForm, int aBar) {
    const QPointF inChart = aForm.chartTimeline->mapToPosition(QPointF(aBar, 0), aForm.seriesResults);
    return aForm.viewTimeline->mapFromScene(aForm.chartTimeline->mapToScene(inChart)).x();
}

QBarCategoryAxis* XAxis(TformTimeline& aForm) {
    return qobject_cast<QBarCategoryAxis*>(aForm.chartTimeline->axes(Qt::Horizontal).value(0));
}

// The texts the chart shows (axis labels, title), with where each sits in the view.
std::vector<std::pair<QString, QRect>> ChartTexts(TformTimeline& aForm) {
    std::vector<std::pair<QString, QRect>> texts;
    for (QGraphicsItem* item : aForm.viewTimeline->scene()->items()) {
        auto* text = qgraphicsitem_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible() || text->toPlainText().isEmpty()) continue;
        const QRect inView = aForm.viewTimeline->mapFromScene(text->sceneBoundingRect()).boundingRect();
        texts.push_back({text->toPlainText(), inView});
    }
    return texts;
}

void Drag(QWidget* aView, int aFromX, int aToX, int aY) {
    QTest::mousePress(aView, Qt::LeftButton, {}, QPoint(aFromX, aY));
    QTest::mouseMove(aView, QPoint((aFromX + aToX) / 2, aY));
    QTest::mouseMove(aView, QPoint(aToX, aY));
    QTest::mouseRelease(aView, Qt::LeftButton, {}, QPoint(aToX, aY));
}

}  // namespace

class TestTimeline : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TformTimeline> ShownForm() {
        auto form = std::make_unique<TformTimeline>();
        form->resize(900, 400);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) return nullptr;
        return form;
    }

private slots:
    void barsFollowTheResultsAndEmptyMeansNone() {
        auto form = ShownForm();
        QVERIFY(form);
        form->SetBars(ThirtyDays());
        QVERIFY(form->Series1);
        QCOMPARE(form->Series1->count(), 30);
        QCOMPARE(form->Series1->at(6), 3.0);
        QCOMPARE(form->Series1->label(), QString("Results"));
        QCOMPARE(form->chartTimeline->title(), QString("Results vs Time"));
        // A count that changes on a day already charted changes that bar in place.
        TTimelineBars raised = ThirtyDays();
        raised[6].fCount = 9;
        QBarSet* before = form->Series1;
        form->SetBars(raised);
        QCOMPARE(form->Series1, before);
        QCOMPARE(form->Series1->at(6), 9.0);
        // A new day widens the chart to show it.
        raised.push_back({"Jul-1", 1});
        form->SetBars(raised);
        QCOMPARE(XAxis(*form)->min(), QString("Jun-1"));
        QCOMPARE(XAxis(*form)->max(), QString("Jul-1"));
        form->SetBars({});
        QVERIFY(!form->Series1);
        // Without a search there is nothing to count: the next look comes after a second.
        QCOMPARE(form->RefreshResults(), TformTimeline::cEmptyRefreshMs);
    }

    void draggingZoomsIntoTheDaysAndTheButtonZoomsOut() {
        auto form = ShownForm();
        QVERIFY(form);
        form->SetBars(ThirtyDays());
        QCoreApplication::processEvents();
        const int y = static_cast<int>(form->chartTimeline->plotArea().center().y());
        Drag(form->viewTimeline->viewport(), BarX(*form, 10), BarX(*form, 16), y);
        QVERIFY(form->IsZoomed());
        QCOMPARE(form->VisibleBars(), std::make_pair(10, 16));
        QBarCategoryAxis* axis = XAxis(*form);
        QCOMPARE(axis->min(), QString("Jun-11"));
        QCOMPARE(axis->max(), QString("Jun-17"));

        // A count arriving for a zoomed day keeps the zoom; a new day does too.
        TTimelineBars more = ThirtyDays();
        more.push_back({"Jul-1", 2});
        form->SetBars(more);
        QCOMPARE(form->VisibleBars(), std::make_pair(10, 16));
        QCOMPARE(axis->min(), QString("Jun-11"));
        QCOMPARE(axis->max(), QString("Jun-17"));

        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QCOMPARE(form->VisibleBars(), std::make_pair(7, 20));
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QTest::mouseClick(form->Button2, Qt::LeftButton);
        QVERIFY(!form->IsZoomed());
        QCOMPARE(form->VisibleBars(), std::make_pair(0, 30));
    }

    // Counts that grow from one to hundreds: the value axis's labels are whole numbers, never
    // cut to "...", and neither the perspective box nor the zoom-out button covers one.
    void theValueAxisReadsInFullAndTheControlsCoverNoLabel() {
        auto form = ShownForm();
        QVERIFY(form);
        form->SetBars({{"Jun-1", 1}});
        QCoreApplication::processEvents();
        form->SetBars({{"Jun-1", 1}, {"Jun-2", 480}, {"Jun-3", 1250}});
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        int numbers = 0;
        for (const auto& [text, where] : ChartTexts(*form)) {
            QVERIFY2(!text.contains(QChar(0x2026)) && !text.contains("..."), qPrintable(text));
            bool isNumber = false;
            text.toInt(&isNumber);
            if (!isNumber) continue;
            ++numbers;
            for (QWidget* control : std::initializer_list<QWidget*>{form->cb3DView, form->Button2})
                QVERIFY2(!control->geometry().intersects(where),
                         qPrintable(QString("%1 covers the label %2").arg(control->objectName(), text)));
        }
        QVERIFY2(numbers >= 3, qPrintable(QString::number(numbers)));
    }

    // Counts growing run by run, in the sizes the window takes: the value axis shows exactly
    // its ticks, in full, while "Perspective View" was never touched (the box once had to be
    // toggled before the labels read right); the top label stays clear of the zoom-out button
    // and of the box.
    void theValueAxisIsRightBeforeThePerspectiveViewIsToggled_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("hiddenWhileCounting");
        QTest::newRow("wide") << QSize(900, 400) << false;
        QTest::newRow("the preview tab at 1024 by 700") << QSize(600, 260) << false;
        QTest::newRow("narrow") << QSize(420, 220) << false;
        QTest::newRow("counted behind another tab") << QSize(600, 260) << true;
    }
    void theValueAxisIsRightBeforeThePerspectiveViewIsToggled() {
        QFETCH(QSize, size);
        QFETCH(bool, hiddenWhileCounting);
        auto form = ShownForm();
        QVERIFY(form);
        form->resize(size);
        const std::vector<TTimelineBars> runs = {
            {{"Jun-1", 1}}, {{"Jun-1", 1}, {"Jun-2", 9}}, {{"Jun-1", 1}, {"Jun-2", 98}, {"Jun-3", 7}},
            {{"Jun-1", 1}, {"Jun-2", 480}, {"Jun-3", 1250}}, {{"Jun-1", 1}, {"Jun-2", 480}, {"Jun-3", 12500}}};
        auto* axis = qobject_cast<QValueAxis*>(form->chartTimeline->axes(Qt::Vertical).value(0));
        QVERIFY(axis);
        for (const TTimelineBars& bars : runs) {
            if (hiddenWhileCounting) form->hide();
            form->SetBars(bars);
            QCoreApplication::processEvents();
            if (hiddenWhileCounting) {
                form->show();
                QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            }
            QVERIFY(!form->cb3DView->isChecked());
            // Whole steps from 0 to the top, each label once.
            QCOMPARE(axis->min(), 0.0);
            const double step = axis->tickInterval();
            QVERIFY(step >= 1 && step == std::floor(step));
            QStringList expected;
            for (double tick = 0; tick <= axis->max() + step / 2; tick += step)
                expected << QString::number(qRound64(tick));
            QVERIFY2(expected.size() >= 2 && expected.size() <= 8, qPrintable(expected.join(' ')));
            QCOMPARE(axis->max(), expected.last().toDouble());
            QStringList shown;
            QRect top;
            for (const auto& [text, where] : ChartTexts(*form)) {
                QVERIFY2(!text.contains(QChar(0x2026)) && !text.contains("..."), qPrintable(text));
                bool isNumber = false;
                text.toLongLong(&isNumber);
                if (!isNumber) continue;
                shown << text;
                if (text == expected.last()) top = where;
            }
            std::sort(shown.begin(), shown.end(), [](const QString& a, const QString& b) {
                return a.toLongLong() < b.toLongLong();
            });
            QCOMPARE(shown, expected);
            QVERIFY2(top.isValid(), qPrintable(expected.last()));
            QVERIFY2(!form->Button2->geometry().intersects(top), qPrintable("the zoom-out button covers " + expected.last()));
            QVERIFY2(!form->cb3DView->geometry().intersects(top), qPrintable("the box covers " + expected.last()));
        }
    }

    void aClickShowsHalfTheDaysAroundIt() {
        auto form = ShownForm();
        QVERIFY(form);
        form->SetBars(ThirtyDays());
        QCoreApplication::processEvents();
        const int y = static_cast<int>(form->chartTimeline->plotArea().center().y());
        QTest::mouseClick(form->viewTimeline->viewport(), Qt::LeftButton, {}, QPoint(BarX(*form, 20), y));
        QCOMPARE(form->VisibleBars(), std::make_pair(13, 27));
        // The right button zooms back out.
        QTest::mouseClick(form->viewTimeline->viewport(), Qt::RightButton, {}, QPoint(BarX(*form, 20), y));
        QVERIFY(!form->IsZoomed());
    }

    void thePerspectiveViewDrawsDepth() {
        auto form = ShownForm();
        QVERIFY(form);
        form->SetBars(ThirtyDays());
        QCoreApplication::processEvents();
        QVERIFY(!form->cb3DView->isChecked());
        QCOMPARE(form->cb3DView->text(), QString("Perspective View"));
        const QImage flat = form->Picture();
        QTest::mouseClick(form->cb3DView, Qt::LeftButton);
        QVERIFY(form->cb3DView->isChecked());
        const QImage deep = form->Picture();
        QVERIFY(flat != deep);
        QTest::mouseClick(form->cb3DView, Qt::LeftButton);
        QCOMPARE(form->Picture(), flat);
    }

    // A run of three slow pages: the tab, in front while the run goes on, shows the days
    // as their results arrive, and at the end exactly the days of the results the list shows;
    // closed and opened again, it shows them all, unzoomed.
    // Also writes the README's picture of it when TRAWLIX_SCREENSHOT_DIR names a folder.
    void theTabShowsTheBarsGrowDuringARun() {
        test::TSiteSimulator sim;
        test::TempDir profile;
        test::TRun run(profile.Path());
        TProxySettings& proxy = run.session->GetSettings().GetProxySettings();
        proxy.SetEnabled(true);
        proxy.SetHost("127.0.0.1");
        proxy.SetPort(sim.Port());
        // Forty ads a day back from today, a hundred a page: each page brings older days.
        sim.AddFault("craigslist", 0, 400, false, false, 1000);  // slow pages, whole
        run.window->resize(1100, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        test::FillAntiquesSearch(run.window->Criteria(), "count250 lamp", 3);

        TTimelinePreview& timeline = run.window->TimelinePreview();
        run.window->pcPreview->setCurrentWidget(timeline.tsTimelinePreview);
        TformTimeline* form = timeline.formTimeline;
        QVERIFY(form->isVisible());
        run.window->actSearch->trigger();
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search->GetSearching());
        std::vector<size_t> barCounts;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (barCounts.empty() || barCounts.back() != form->Bars().size())
                    barCounts.push_back(form->Bars().size());
                return !search->GetSearching();
            },
            60000));
        QString seen;
        for (size_t count : barCounts) seen += QString::number(count) + " ";
        QVERIFY2(barCounts.size() >= 3, qPrintable("the bars grew at least twice while the run went on: " + seen));
        QVERIFY(std::is_sorted(barCounts.begin(), barCounts.end()));
        TTimelineBars expected;
        {
            TCLock lock(search->GetCriticalSection());
            TCLock filterLock(search->GetFilter().GetCriticalSection());
            expected = CountResultsPerDay(search->GetFilter().GetResults(), LocalToday());
        }
        QCOMPARE(expected.size(), size_t(7));
        QTRY_VERIFY(form->Bars() == expected);
        QCOMPARE(XAxis(*form)->min().toStdString(), expected.front().fLabel);
        QCOMPARE(XAxis(*form)->max().toStdString(), expected.back().fLabel);

        form->cb3DView->setChecked(true);
        const QString folder = qEnvironmentVariable("TRAWLIX_SCREENSHOT_DIR");
        if (!folder.isEmpty()) QVERIFY(run.window->grab().save(folder + "/timeline_preview.png"));
        // Another page of the pane closes the timeline.
        run.window->pcPreview->setCurrentIndex(0);
        QVERIFY(!form->isVisible());
        // Opened again, it shows the current search's days, all of them.
        form->ZoomToBars(2, 3);
        run.window->pcPreview->setCurrentWidget(timeline.tsTimelinePreview);
        QVERIFY(form->isVisible());
        QVERIFY(!form->IsZoomed());
        QVERIFY(form->Bars() == expected);
        QCOMPARE(XAxis(*form)->min().toStdString(), expected.front().fLabel);
        QCOMPARE(XAxis(*form)->max().toStdString(), expected.back().fLabel);
        sim.ClearFaults();
        QVERIFY(run.ExitAndWait());
    }
};

TRAWLIX_UI_TEST(TestTimeline)
#include "test_timeline.moc"
