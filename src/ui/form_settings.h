#pragma once

#include <QColor>
#include <QDialog>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTreeWidget;

namespace trawlix {

class IUserDialogs;
class TNotificationTests;
class TSession;
class TSettings;
class TformNotificationSettings;
class TformProxy;

// The "General" page: start with the computer, the proxy, the tray and two switches.
class TformGeneralSettings : public QWidget {
    Q_OBJECT
public:
    TformGeneralSettings(TSettings& aSettings, IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    void Init();
    void Save();
    TformProxy* Proxy() const { return fProxy; }
    // "Proxy settings": runs the proxy window, which saves on its own. Tests replace it.
    std::function<void()> ShowProxy;

    QCheckBox* cbAutoStart;
    QPushButton* btnProxySettings;
    QCheckBox* cbMinimizeToTray;
    QCheckBox* cbShowUnreachableURLErrors;
    QCheckBox* cbShowSearchWizzard;

private:
    TSettings& fSettings;
    TformProxy* fProxy;
};

// The "Colors" page: the three colours of the result list.
class TformColorSettings : public QWidget {
    Q_OBJECT
public:
    TformColorSettings(TSettings& aSettings, QWidget* aParent = nullptr);
    void Init();
    void Save();
    QColor SwatchColor(QFrame* aSwatch) const;
    // Asks for a colour starting from the given one; none when cancelled. Tests answer it.
    std::function<std::optional<QColor>(const QColor&)> ChooseColor;
    // The result list must show the colours held in memory now.
    std::function<void()> OnColorsRestored;

    QFrame* pnlVisitedBackgroundColor;
    QFrame* pnlNewBackgroundColor;
    QFrame* pnlHighlightedBackgroundColor;
    QPushButton* btnChangeVisited;
    QPushButton* btnChangeNew;
    QPushButton* btnChangeHighlighted;
    QPushButton* btnRestoreDefaults;

private:
    QWidget* MakeGroup(const char* aCaption, QFrame*& aSwatch, QPushButton*& aChange);
    void SetSwatchColor(QFrame* aSwatch, const QColor& aColor);
    void RestoreDefaultsClick();

    TSettings& fSettings;
};

// "Preferences": the pages in a tree, saved together with "Save", dropped with "Close".
class TformSettings : public QDialog {
    Q_OBJECT
public:
    enum TPage { pgGeneral = 0, pgColors = 1, pgAlerts = 2 };

    TformSettings(TSession& aSession, IUserDialogs& aDialogs, TNotificationTests& aTests, QWidget* aParent = nullptr);
    // Fills every page from the settings, shows aPage and runs the window modally (only
    // switches the page when it is open already).
    void Execute(int aPage);
    // As Execute, without waiting (tests answer the window themselves).
    void Prepare(int aPage);
    int CurrentPage() const;

    // Told after the settings were saved and whenever the result colours changed.
    std::function<void()> OnSettingsChanged;

    QTreeWidget* tvSettings;
    QStackedWidget* pnlMain;
    QLabel* pnlWait;
    QPushButton* btnSave;
    QPushButton* btnClose;
    TformGeneralSettings* General;
    TformColorSettings* Colors;
    TformNotificationSettings* Alerts;

private:
    void InitPages(int aPage);
    void ShowSelectedPage();
    void SaveClick();
    void SavePages();

    TSession& fSession;
    IUserDialogs& fDialogs;
};

}  // namespace trawlix
