// The small windows and widgets: the edit with a suggestion, the pattern dialog, the
// splash, the busy window and the orientation chooser.
#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QScreen>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QElapsedTimer>

#include "ui/ask_line.h"
#include "ui/balloon_hint.h"
#include "ui/ext_edit.h"
#include "ui/form_first_run.h"
#include "ui/info_window.h"
#include "ui/keyword_patterns_dialog.h"
#include "ui/splash_window.h"
#include "ui_test_registry.h"

using namespace trawlix;

class TestSmallWindows : public QObject {
    Q_OBJECT

private slots:
    void theSuggestionShowsGreyWhileTheEditIsEmpty() {
        QWidget holder;
        auto* other = new QLineEdit(&holder);  // first, so that it takes the focus when shown
        auto* edit = new TCExtEdit(&holder);
        edit->move(0, 40);
        edit->SetSuggestionText("Search in locations");
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        QCOMPARE(edit->text(), QString("Search in locations"));
        QVERIFY(edit->IsEmpty());
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(128, 128, 128));
        edit->setFocus();
        QCOMPARE(edit->text(), QString());  // entering clears the suggestion
        QTest::keyClicks(edit, "boston");
        QVERIFY(!edit->IsEmpty());
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(Qt::black));
        edit->selectAll();
        QTest::keyClicks(edit, "   ");
        other->setFocus();  // leaving a blank edit brings the suggestion back
        QCOMPARE(edit->text(), QString("Search in locations"));
        edit->SetText("  ");
        QVERIFY(edit->IsEmpty());
    }

    void thePatternDialogBuildsItsLineFromTheBoxesAsTyped() {
        TformKeywordPatterns dialog;
        QCOMPARE(dialog.windowTitle(), QString("Predefined keyword patterns"));
        QTest::keyClicks(dialog.edtAllThese, "bike");
        QTest::keyClicks(dialog.edtPhrase, "mountain bike");
        QTest::keyClicks(dialog.edtOR1, "red");
        QTest::keyClicks(dialog.edtOR3, "blue");
        QTest::keyClicks(dialog.edtNoneOfThese, "kids used");
        QCOMPARE(dialog.BuildKeywordsFromPattern(), std::string("bike \"mountain bike\" (red | blue) -kids -used"));
        dialog.SetPattern({"", "", "", "only", "", ""});
        QCOMPARE(dialog.BuildKeywordsFromPattern(), std::string("only"));
    }

    // A one-line question is wide enough for its whole title ("Send t… Email" was cut), and
    // answers what was typed, or nothing when cancelled.
    void aOneLineQuestionShowsItsWholeTitle() {
        for (bool accept : {true, false}) {
            int width = 0;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                width = dialog->width();
                dialog->setTextValue("me@example.org");
                accept ? dialog->accept() : dialog->reject();
            });
            const auto answer = AskLine(nullptr, "Send test Email", "Email address", "");
            const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
            QVERIFY2(width >= metrics.horizontalAdvance("Send test Email") + 120, qPrintable(QString::number(width)));
            QCOMPARE(answer, accept ? std::optional<std::string>("me@example.org") : std::nullopt);
        }
    }

    // A balloon pointing at a control at the screen's edge stays whole on the screen.
    void aBalloonAtTheScreensEdgeStaysOnTheScreen() {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        for (const QPoint& at : {available.topLeft() + QPoint(2, 2), available.topRight() + QPoint(-2, 2),
                                 available.center()}) {
            TBalloonHint balloon("Set up alerts for your searches here, and be told of new results.");
            balloon.ShowAt(at);
            QVERIFY2(available.contains(balloon.frameGeometry()),
                     qPrintable(QString("%1,%2 %3x%4").arg(balloon.x()).arg(balloon.y()).arg(balloon.width()).arg(balloon.height())));
        }
    }

    void theSplashClosesOnEscapeOrAClick() {
        TformSplash splash;
        QTimer::singleShot(50, &splash, [&splash] { QTest::keyClick(&splash, Qt::Key_Escape); });
        QElapsedTimer clock;
        clock.start();
        splash.Execute(5000);
        QVERIFY(clock.elapsed() < 4000);
        QTimer::singleShot(50, &splash, [&splash] { QTest::mouseClick(&splash, Qt::LeftButton); });
        clock.restart();
        splash.Execute(5000);
        QVERIFY(clock.elapsed() < 4000);
    }

    void theBusyWindowRunsUntilItReportsProgress() {
        TfrmInfo info;
        info.Execute();
        QVERIFY(info.isVisible());
        QCOMPARE(info.ProgressBar()->maximum(), 0);  // running, no position
        info.ReportProgress(0.426);
        QCOMPARE(info.ProgressBar()->value(), 43);
        info.Finish();
        QVERIFY(!info.isVisible());
    }

    void theChooserTakesTheOrientationFromThePictureUnderTheMouse() {
        TformFirstRun chooser(orPortrait, true);
        QCOMPARE(chooser.windowTitle(), QString("Running for the first time?"));
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        QVERIFY(chooser.rbPortrait->isChecked());
        QWidget* landscapePicture = chooser.childAt(chooser.rbLandscape->geometry().center() - QPoint(0, 60));
        QVERIFY(landscapePicture);
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(landscapePicture, &enter);
        QCOMPARE(chooser.Orientation(), orLandscape);
        QVERIFY(chooser.rbLandscape->isChecked());
        QTest::mouseClick(chooser.rbPortrait, Qt::LeftButton);
        QCOMPARE(chooser.Orientation(), orPortrait);
        // Asked again later from the "Tools" menu, it says what it is for.
        TformFirstRun change(orLandscape, false);
        QCOMPARE(change.windowTitle(), QString("Change Orientation"));
        QVERIFY(change.rbLandscape->isChecked());
    }
};

TRAWLIX_UI_TEST(TestSmallWindows)
#include "test_small_windows.moc"
