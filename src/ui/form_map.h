#pragma once

// The map window: a free "Map overlay of results" window (or "Select locations by map"),
// or embedded in the "Map Preview" tab of the preview pane, where it refreshes itself.

#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "draw/map.h"

class QLabel;
class QToolBar;
class QToolButton;

namespace trawlix {

class TPlaces;
class TSearch;

// The paint box: shows the map and hands the mouse to it.
class TMapPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TMapPaintBox(QWidget* aParent);
    void SetMap(TMap* aMap);
    // The map is drawn as large as the box allows, keeping its shape, centred: a point of
    // the box on the map's own pixels and back.
    QPointF ToMap(const QPointF& aPoint) const;
    QPoint FromMap(const QPoint& aPoint) const;
    QSize sizeHint() const override;

signals:
    void DoubleClicked();

protected:
    void paintEvent(QPaintEvent* aEvent) override;
    void mouseMoveEvent(QMouseEvent* aEvent) override;
    void mousePressEvent(QMouseEvent* aEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* aEvent) override;

private:
    QSize MapSize() const;
    double Scale() const;
    QPointF Offset() const;

    TMap* fMap = nullptr;
};

class TformMap : public QDialog {
    Q_OBJECT
public:
    // aPlaces finds the regions' places for counting; it outlives the window.
    TformMap(const TPlaces* aPlaces, QWidget* aParent = nullptr);
    ~TformMap() override;

    // Shows the map of aSearch's results (or for choosing places in mmSelect). With
    // aParent the window fills that control and shows without blocking (true); without
    // it, it is a free window shown modally, true only when closed with OK. False at once
    // when the window is already showing, or when the start map cannot be read.
    bool Execute(TMapMode aMode, TSearch* aSearch, QWidget* aParent);
    // Loads a map of the maps folder; a file that cannot be read is reported and the
    // current map stays. True when loaded.
    bool InitMap(const std::string& aFileName);
    // Recounts the search's listed results; the milliseconds until the next refresh.
    int RefreshResults();
    // The search whose results are counted (none once the embedded map is let go).
    void SetSearch(TSearch* aSearch) { fSearch = aSearch; }
    // The places for counting; they are loaded after the windows are made.
    void SetPlaces(const TPlaces* aPlaces) { fPlaces = aPlaces; }
    TSearch* GetSearch() const { return fSearch; }
    // Takes the map out of the control it was placed in and hides it.
    void Detach();
    bool IsEmbedded() const { return fEmbedded; }

    TMap* CurrentMap() const { return fCurrMap.get(); }
    // The places of the regions selected when the window closed with OK.
    std::vector<int> SelectedLocationIDs() const;

    // Where the maps lie (platform::MapsFolder() unless changed).
    std::filesystem::path MapsFolder;
    // Tells the user about a map that cannot be read; a message box unless replaced.
    std::function<void(const QString&)> ShowError;

    TMapPaintBox* pbMap;
    QLabel* lblHint;
    QToolBar* tbMap;
    QAction* actZoomIn;
    QAction* actZoomOut;
    QAction* actOK;
    QAction* actClose;
    QToolButton* tbtnOK;

private:
    void CreateWidgets();
    void OnHint(const std::string& aText);
    void MapChanged(const std::string& aFileName);
    void UpdateActions();

    const TPlaces* fPlaces;
    TSearch* fSearch = nullptr;
    TMapMode fMode = mmResults;
    std::unique_ptr<TMap> fCurrMap;
    bool fEmbedded = false;
    QWidget* fOwner;
};

}  // namespace trawlix
