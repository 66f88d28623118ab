#pragma once

// What the main window's source files share: its pictures, its timings and its texts.

#include <QIcon>
#include <QString>

#include <functional>

namespace trawlix {

class TformMain;

namespace form_main {

constexpr int cSplashMs = 3000;
constexpr int cTabPicturesMs = 50;
constexpr int cAnimateMs = 20;
constexpr int cTrayBalloonMs = 3000;
constexpr int cEmptySearchHintMs = 4000;
constexpr int cNewOptionsBalloonMs = 2000;
constexpr int cBalloonAboveControl = 20;
constexpr int cStartTipMs = 9000;
constexpr int cCaptionMinimumWidth = 250;
constexpr const char* cCriteriaSplitterTip =
    "When you have your search criteria ready, you might want to click on this blue splitter and Hide/Show the left "
    "criteria panel.";
constexpr const char* cAlertsTip =
    "Once you make sure you get the correct search results, you can setup an alert and be automatically notified "
    "for new hits.";
constexpr int cIdleMs = 100;
constexpr int cAnimationFrames = 31;
constexpr int cCriteriaGripCopies = 40;
constexpr int cProgressMaximum = 1000;
constexpr int cTabSearchRole = Qt::UserRole + 1;
constexpr const char* cUntitled = "(Untitled)";
constexpr const char* cNewsTabCaption = "What's new";
constexpr const char* cNewsTabKey = "news";  // the news tab's data, where a search tab has its search
constexpr const char* cNoLocations = "You must select some locations and categories to search in.";
constexpr const char* cNoSites =
    "You must select at least one website to search in (from the \"Websites to search\" panel in the \"Search "
    "settings\")";
constexpr const char* cSaveManually =
    "Searches are saved automatically when closing the program. Are you sure you want to save them manually now?";
// The widest a search's name is shown on its tab and in the Searches menu.
constexpr int cTabCaptionPixels = 220;
constexpr int cMenuCaptionPixels = 420;
constexpr const char* cNewResultsBalloon = "There are new results available.";
constexpr const char* cNewResultsMessage =
    "There are new results available for one or more of your searches.\r\n\r\nYou can disable this message from "
    "\"Tools\" -> \"Preferences\" -> \"Alerts\".";
constexpr const char* cMinimizedBalloon =
    "Trawlix was minimized to tray.\r\nDouble-click the binocular icon to bring it back to front.";

inline QIcon Picture(const QString& aName) { return QIcon(":/pictures/" + aName + ".svg"); }

inline QIcon FramePicture(int aFrame) { return Picture(QString("tab_frame_%1").arg(aFrame, 2, 10, QChar('0'))); }

// Runs aWork on the main thread for aWindow: at once there, queued from a worker thread.
// A queued call finds the window gone when the program ended in between: it then does nothing.
void OnMainThread(TformMain* aWindow, std::function<void()> aWork);

}  // namespace form_main

}  // namespace trawlix
