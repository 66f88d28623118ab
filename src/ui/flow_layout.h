#pragma once

#include <QLayout>
#include <QList>
#include <QRect>

namespace trawlix {

// Lays its widgets out left to right and wraps to a new line where the width runs out, so
// that a narrow window shows every control whole instead of cutting them off. A widget
// may ask for a wider gap before it, which is dropped when it starts a line.
class TFlowLayout : public QLayout {
public:
    explicit TFlowLayout(QWidget* aParent, int aSpacing = 6);
    ~TFlowLayout() override;

    void addItem(QLayoutItem* aItem) override;
    void AddWidget(QWidget* aWidget, int aGapBefore = -1);
    int count() const override { return static_cast<int>(fItems.size()); }
    QLayoutItem* itemAt(int aIndex) const override;
    QLayoutItem* takeAt(int aIndex) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int aWidth) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& aRect) override;

private:
    // Places the items in aRect (or only measures when aApply is false); answers the height used.
    int DoLayout(const QRect& aRect, bool aApply) const;

    struct TItem {
        QLayoutItem* item;
        int gapBefore;
    };
    QList<TItem> fItems;
};

}  // namespace trawlix
