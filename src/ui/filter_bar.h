#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

namespace trawlix {

class TCExtEdit;
class TFilterQuery;
class TSearch;

// One remembered query under the filter bar: a remove button and the query's caption.
class TFilterPanel : public QWidget {
    Q_OBJECT
public:
    TFilterPanel(TFilterQuery& aQuery, QWidget* aParent);
    TFilterQuery& Query() const { return fFilterQuery; }
    QToolButton* fButton;
    QLabel* fCaptionLabel;

signals:
    void CloseClicked(TFilterPanel* aPanel);

private:
    TFilterQuery& fFilterQuery;
};

// The filter bar above the results: the typed query applies at once; "Remember query"
// keeps it as a strip; the strips' queries are saved with the search.
class TFilterBar : public QWidget {
    Q_OBJECT
public:
    explicit TFilterBar(QWidget* aParent = nullptr);

    // The search becomes the current one: empty edit, "any field", strips of its queries.
    void SetSearch(TSearch* aSearch);
    TSearch* Search() const { return fSearch; }
    // Runs the filter and refreshes the list; the window provides it.
    std::function<void()> ApplyFilter;
    // Where Escape sends the focus.
    std::function<void()> FocusAway;
    // The most height the bar may take; past it the strips scroll. The window provides it.
    std::function<int()> HeightLimit;
    // The bar takes the height of its strips, up to HeightLimit.
    void OnFilterResized();
    int StripCount() const { return static_cast<int>(fStrips.size()); }
    TFilterPanel* Strip(int aIndex) const { return fStrips.at(aIndex); }

    QScrollArea* fScrollBox;
    QGroupBox* gbFilter;
    QWidget* pnlFilterHeader;
    QCheckBox* cbShowFilter;
    TCExtEdit* edtFilter;
    QLabel* lblFilterBy;
    QComboBox* cbFilterBy;
    QCheckBox* cbFilterNOT;
    QPushButton* btnFilter;

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    void edtFilterChange();
    void btnFilterClick();
    void cbShowFilterClick();
    void OnFilterPanelClose(TFilterPanel* aPanel);
    void AddStrip(TFilterQuery& aQuery);
    void FreeStrips();
    void Apply();
    void FitGroupHeight();

    TSearch* fSearch = nullptr;
    QVBoxLayout* fStripsLayout;
    std::vector<TFilterPanel*> fStrips;
};

}  // namespace trawlix
