#include "ui/form_map.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/platform.h"
#include "ui/view_list_lock.h"

namespace trawlix {

namespace {

constexpr int cMapWidth = 600;
constexpr int cMapHeight = 357;
// The least the box takes: half the map's own size, so that the map's tab never makes the
// main window taller than a small screen.
constexpr int cLeastMapWidth = cMapWidth / 2;
constexpr int cLeastMapHeight = cMapHeight / 2;
constexpr int cIdleRefreshMs = 1000;

}  // namespace

TMapPaintBox::TMapPaintBox(QWidget* aParent) : QWidget(aParent) {
    setObjectName("pbMap");
    setMouseTracking(true);
    setMinimumSize(cLeastMapWidth, cLeastMapHeight);
}

QSize TMapPaintBox::sizeHint() const { return {cMapWidth, cMapHeight}; }

QSize TMapPaintBox::MapSize() const {
    const QSize size = fMap ? fMap->GetSize() : QSize();
    return size.isEmpty() ? QSize(cMapWidth, cMapHeight) : size;
}

double TMapPaintBox::Scale() const {
    const QSize map = MapSize();
    return std::min(width() / static_cast<double>(map.width()), height() / static_cast<double>(map.height()));
}

QPointF TMapPaintBox::Offset() const {
    const QSize map = MapSize();
    const double scale = Scale();
    return {(width() - map.width() * scale) / 2, (height() - map.height() * scale) / 2};
}

QPointF TMapPaintBox::ToMap(const QPointF& aPoint) const { return (aPoint - Offset()) / Scale(); }

QPoint TMapPaintBox::FromMap(const QPoint& aPoint) const { return (QPointF(aPoint) * Scale() + Offset()).toPoint(); }

void TMapPaintBox::SetMap(TMap* aMap) {
    fMap = aMap;
    update();
}

void TMapPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!fMap) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(Offset());
    painter.scale(Scale(), Scale());
    fMap->Render(painter);
}

void TMapPaintBox::mouseMoveEvent(QMouseEvent* aEvent) {
    const QPoint at = ToMap(aEvent->position()).toPoint();
    if (fMap) fMap->OnMouseMove(at.x(), at.y());
}

void TMapPaintBox::mousePressEvent(QMouseEvent* aEvent) {
    if (!fMap || aEvent->button() != Qt::LeftButton) return;
    const QPoint at = ToMap(aEvent->position()).toPoint();
    fMap->OnMouseMove(at.x(), at.y());
    fMap->ToggleSelect();
}

void TMapPaintBox::mouseDoubleClickEvent(QMouseEvent* aEvent) {
    if (aEvent->button() == Qt::LeftButton) emit DoubleClicked();
}

TformMap::TformMap(const TPlaces* aPlaces, QWidget* aParent)
    : QDialog(aParent), MapsFolder(platform::MapsFolder()), fPlaces(aPlaces), fOwner(aParent) {
    setObjectName("formMap");
    ShowError = [this](const QString& aText) { QMessageBox::warning(this, "Map", aText); };
    CreateWidgets();
}

TformMap::~TformMap() = default;

void TformMap::CreateWidgets() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tbMap = new QToolBar(this);
    tbMap->setObjectName("tbMap");
    tbMap->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    actZoomIn = new QAction(style()->standardIcon(QStyle::SP_ArrowDown), "Zoom In", this);
    actZoomIn->setObjectName("actZoomIn");
    actZoomIn->setToolTip("Zoom In");
    actZoomIn->setShortcut(QKeySequence("Ctrl+PgDown"));
    actZoomOut = new QAction(style()->standardIcon(QStyle::SP_ArrowUp), "Zoom Out", this);
    actZoomOut->setObjectName("actZoomOut");
    actZoomOut->setToolTip("Zoom Out");
    actZoomOut->setShortcut(QKeySequence("Ctrl+-"));
    actOK = new QAction("OK", this);
    actOK->setObjectName("actOK");
    actClose = new QAction("Close", this);
    actClose->setObjectName("actClose");
    actClose->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(actClose);
    tbMap->addAction(actZoomIn);
    tbMap->addAction(actZoomOut);
    tbMap->addSeparator();
    tbMap->addAction(actOK);
    tbtnOK = qobject_cast<QToolButton*>(tbMap->widgetForAction(actOK));
    if (tbtnOK) tbtnOK->setObjectName("tbtnOK");
    layout->addWidget(tbMap);

    pbMap = new TMapPaintBox(this);
    layout->addWidget(pbMap, 1);
    lblHint = new QLabel(pbMap);
    lblHint->setObjectName("lblHint");
    lblHint->setAutoFillBackground(true);
    lblHint->setFrameShape(QFrame::Box);
    lblHint->setPalette(QPalette(palette().color(QPalette::ToolTipBase)));
    // The label never takes the mouse: moves over it keep highlighting the map below.
    lblHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblHint->hide();

    connect(actZoomIn, &QAction::triggered, this, [this] {
        if (fCurrMap) fCurrMap->ZoomIn(fCurrMap->GetLatestSelectedItem());
    });
    connect(actZoomOut, &QAction::triggered, this, [this] {
        if (fCurrMap) fCurrMap->ZoomOut();
    });
    connect(actOK, &QAction::triggered, this, [this] {
        if (!fEmbedded) accept();
    });
    connect(actClose, &QAction::triggered, this, [this] {
        if (!fEmbedded) reject();
    });
    connect(pbMap, &TMapPaintBox::DoubleClicked, this, [this] {
        if (fCurrMap) fCurrMap->ZoomIn();
    });
}

bool TformMap::Execute(TMapMode aMode, TSearch* aSearch, QWidget* aParent) {
    if (!isHidden()) return false;  // already showing, free or in its tab
    fMode = aMode;
    fSearch = aSearch;
    fEmbedded = aParent != nullptr;
    setWindowTitle(aMode == mmResults ? "Map overlay of results" : "Select locations by map");
    actOK->setVisible(!fEmbedded);
    fCurrMap.reset();
    pbMap->SetMap(nullptr);
    if (!InitMap(cStartMapFile)) return false;
    if (fEmbedded) {
        setParent(aParent, Qt::Widget);
        if (!aParent->layout()) {
            auto* layout = new QVBoxLayout(aParent);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        aParent->layout()->addWidget(this);
        show();
        return true;
    }
    setParent(fOwner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    // The map's own size to start with (adjustSize would keep to two thirds of a small
    // screen); the map grows and shrinks with the window after that.
    resize(sizeHint());
    return exec() == QDialog::Accepted;
}

void TformMap::Detach() {
    if (!fEmbedded) return;
    hide();
    if (parentWidget() && parentWidget()->layout()) parentWidget()->layout()->removeWidget(this);
    setParent(fOwner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    fEmbedded = false;
    fSearch = nullptr;
}

bool TformMap::InitMap(const std::string& aFileName) {
    auto map = std::make_unique<TMap>(fMode, fPlaces);
    map->SetFlagBitmap(GreenFlagPicture());
    map->OnCursorChanged = [this](Qt::CursorShape aCursor) { pbMap->setCursor(aCursor); };
    map->OnHint = [this](const std::string& aText) { OnHint(aText); };
    // Queued: the map asking for the change is the one the change frees.
    map->OnMapChanged = [this](const std::string& aName) {
        QMetaObject::invokeMethod(this, [this, aName] { MapChanged(aName); }, Qt::QueuedConnection);
    };
    map->OnPaint = [this](TMap&) {
        pbMap->update();
        UpdateActions();
    };
    try {
        map->LoadFromFile(MapsFolder / aFileName);
    } catch (const EMapFileError& e) {
        ShowError(QString::fromStdString(e.what()));
        return false;
    }
    fCurrMap = std::move(map);
    pbMap->SetMap(fCurrMap.get());
    RefreshResults();
    UpdateActions();
    return true;
}

void TformMap::MapChanged(const std::string& aFileName) {
    lblHint->hide();
    InitMap(aFileName);
}

void TformMap::UpdateActions() {
    const bool loaded = fCurrMap != nullptr;
    actZoomIn->setEnabled(loaded && fCurrMap->CanZoomIn(fCurrMap->GetLatestSelectedItem()));
    actZoomOut->setEnabled(loaded && !fCurrMap->GetParentMap().empty());
    actOK->setEnabled(!fEmbedded);
    actClose->setEnabled(!fEmbedded);
}

int TformMap::RefreshResults() {
    if (!fSearch || !fCurrMap) return cIdleRefreshMs;
    TViewListLock lock(*fSearch);
    const TEntryList& results = fSearch->GetFilter().GetResults();
    fCurrMap->SetResults(results);
    return results.empty() ? cIdleRefreshMs : static_cast<int>(results.size());
}

void TformMap::OnHint(const std::string& aText) {
    const QPoint at = pbMap->mapFromGlobal(QCursor::pos());
    lblHint->move(at.x() + 10, at.y() - 10 - lblHint->height());
    if (aText.empty()) {
        lblHint->hide();
        return;
    }
    const QString caption = " " + QString::fromStdString(aText) + " ";
    if (lblHint->text() != caption) {
        lblHint->setText(caption);
        lblHint->adjustSize();
    }
    lblHint->show();
    lblHint->raise();
}

std::vector<int> TformMap::SelectedLocationIDs() const {
    std::vector<int> ids;
    if (!fCurrMap) return ids;
    for (const TColorMapItem* item : fCurrMap->GetSelectedItems())
        if (item->LocationID >= 0) ids.push_back(item->LocationID);
    return ids;
}

}  // namespace trawlix
