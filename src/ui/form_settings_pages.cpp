// The pages of the preferences window that belong to it alone: "General" and "Colors".
#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings.h"
#include "ui/form_proxy.h"
#include "ui/form_settings.h"

namespace trawlix {

namespace {

QCheckBox* MakeCheckBox(QWidget* aParent, const char* aName, const char* aCaption) {
    auto* box = new QCheckBox(aCaption, aParent);
    box->setObjectName(aName);
    return box;
}

QPushButton* MakeButton(QWidget* aParent, const char* aName, const char* aCaption) {
    auto* button = new QPushButton(aCaption, aParent);
    button->setObjectName(aName);
    button->setAutoDefault(false);  // Enter belongs to the window's "Save"
    return button;
}

QColor ToQColor(TColor aColor) { return QColor(aColor & 0xff, aColor >> 8 & 0xff, aColor >> 16 & 0xff); }

TColor FromQColor(const QColor& aColor) { return RGBColor(aColor.red(), aColor.green(), aColor.blue()); }

}  // namespace

// --- General ---------------------------------------------------------------------------

TformGeneralSettings::TformGeneralSettings(TSettings& aSettings, IUserDialogs& aDialogs, QWidget* aParent)
    : QWidget(aParent), fSettings(aSettings) {
    setObjectName("formGeneralSettings");
    cbAutoStart = MakeCheckBox(this, "cbAutoStart", "&Start Trawlix when computer starts");
    btnProxySettings = MakeButton(this, "btnProxySettings", "&Proxy settings");
    cbMinimizeToTray = MakeCheckBox(this, "cbMinimizeToTray", "&Minimize to tray");
    cbShowUnreachableURLErrors =
        MakeCheckBox(this, "cbShowUnreachableURLErrors", "Show &errors for unreachable search URLs");
    cbShowSearchWizzard =
        MakeCheckBox(this, "cbShowSearchWizzard", "Show search &wizard when a new search is created");
    fProxy = new TformProxy(aSettings, aDialogs, this);
    ShowProxy = [this] { fProxy->Execute(); };
    connect(btnProxySettings, &QPushButton::clicked, this, [this] { ShowProxy(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cbAutoStart);
    auto* proxyRow = new QHBoxLayout;
    proxyRow->addWidget(btnProxySettings);
    proxyRow->addStretch();
    layout->addLayout(proxyRow);
    layout->addWidget(cbMinimizeToTray);
    layout->addWidget(cbShowUnreachableURLErrors);
    layout->addWidget(cbShowSearchWizzard);
    layout->addStretch();
}

void TformGeneralSettings::Init() {
    cbAutoStart->setChecked(fSettings.GetAutoStart());
    cbMinimizeToTray->setChecked(fSettings.GetMinimizeToTray());
    cbShowUnreachableURLErrors->setChecked(fSettings.GetShowUnreachableURLErrors());
    cbShowSearchWizzard->setChecked(fSettings.GetShowSearchWizzard());
}

void TformGeneralSettings::Save() {
    // Only on a change: rewriting the entry would undo what the user did to it by hand.
    if (cbAutoStart->isChecked() != fSettings.GetAutoStart()) fSettings.SetAutoStart(cbAutoStart->isChecked());
    fSettings.SetMinimizeToTray(cbMinimizeToTray->isChecked());
    fSettings.SetShowUnreachableURLErrors(cbShowUnreachableURLErrors->isChecked());
    fSettings.SetShowSearchWizzard(cbShowSearchWizzard->isChecked());
}

// --- Colors ----------------------------------------------------------------------------

TformColorSettings::TformColorSettings(TSettings& aSettings, QWidget* aParent)
    : QWidget(aParent), fSettings(aSettings) {
    setObjectName("formColorSettings");
    setWindowTitle("Color Settings");
    ChooseColor = [this](const QColor& aStart) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(aStart, this);
        if (!chosen.isValid()) return std::nullopt;
        return chosen;
    };
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeGroup("Visited results background color", pnlVisitedBackgroundColor, btnChangeVisited));
    layout->addWidget(MakeGroup("New results background color", pnlNewBackgroundColor, btnChangeNew));
    layout->addWidget(
        MakeGroup("Highlighted results font color", pnlHighlightedBackgroundColor, btnChangeHighlighted));
    pnlVisitedBackgroundColor->setObjectName("pnlVisitedBackgroundColor");
    pnlNewBackgroundColor->setObjectName("pnlNewBackgroundColor");
    pnlHighlightedBackgroundColor->setObjectName("pnlHighlightedBackgroundColor");
    btnChangeVisited->setObjectName("btnChangeVisited");
    btnChangeNew->setObjectName("btnChangeNew");
    btnChangeHighlighted->setObjectName("btnChangeHighlighted");
    btnRestoreDefaults = MakeButton(this, "btnRestoreDefaults", "&Restore default colors");
    auto* restoreRow = new QHBoxLayout;
    restoreRow->addWidget(btnRestoreDefaults);
    restoreRow->addStretch();
    layout->addLayout(restoreRow);
    layout->addStretch();
    connect(btnRestoreDefaults, &QPushButton::clicked, this, &TformColorSettings::RestoreDefaultsClick);
}

QWidget* TformColorSettings::MakeGroup(const char* aCaption, QFrame*& aSwatch, QPushButton*& aChange) {
    auto* group = new QGroupBox(aCaption, this);
    aSwatch = new QFrame(group);
    aSwatch->setFrameShape(QFrame::Box);
    aSwatch->setAutoFillBackground(true);
    aSwatch->setMinimumSize(120, 24);
    aChange = MakeButton(group, "", "C&hange");
    QFrame* swatch = aSwatch;
    connect(aChange, &QPushButton::clicked, this, [this, swatch] {
        if (const std::optional<QColor> chosen = ChooseColor(SwatchColor(swatch))) SetSwatchColor(swatch, *chosen);
    });
    auto* row = new QHBoxLayout(group);
    row->addWidget(aSwatch, 1);
    row->addWidget(aChange);
    return group;
}

QColor TformColorSettings::SwatchColor(QFrame* aSwatch) const { return aSwatch->palette().color(QPalette::Window); }

void TformColorSettings::SetSwatchColor(QFrame* aSwatch, const QColor& aColor) {
    QPalette palette = aSwatch->palette();
    palette.setColor(QPalette::Window, aColor);
    aSwatch->setPalette(palette);
}

void TformColorSettings::Init() {
    const TColorSettings& colors = fSettings.GetColorSettings();
    SetSwatchColor(pnlVisitedBackgroundColor, ToQColor(colors.GetVisitedBackgroundColor()));
    SetSwatchColor(pnlNewBackgroundColor, ToQColor(colors.GetNewBackgroundColor()));
    SetSwatchColor(pnlHighlightedBackgroundColor, ToQColor(colors.GetHighlightedFontColor()));
}

void TformColorSettings::Save() {
    TColorSettings& colors = fSettings.GetColorSettings();
    colors.SetVisitedBackgroundColor(FromQColor(SwatchColor(pnlVisitedBackgroundColor)));
    colors.SetNewBackgroundColor(FromQColor(SwatchColor(pnlNewBackgroundColor)));
    colors.SetHighlightedFontColor(FromQColor(SwatchColor(pnlHighlightedBackgroundColor)));
}

void TformColorSettings::RestoreDefaultsClick() {
    // At once and in memory: the list shows them even when the window is then closed.
    fSettings.GetColorSettings().RestoreDefaults();
    Init();
    if (OnColorsRestored) OnColorsRestored();
}

}  // namespace trawlix
