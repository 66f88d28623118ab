#include "ui/flow_layout.h"

#include <QWidget>

#include <algorithm>

namespace trawlix {

namespace {
// A widget takes its own preferred size: the layout item's view of it leaves out the style's
// margins, which cut a few pixels off some buttons.
QSize ItemSize(const QLayoutItem* aItem) {
    return aItem->widget() ? aItem->widget()->sizeHint().expandedTo(aItem->widget()->minimumSize()) : aItem->sizeHint();
}
}  // namespace

TFlowLayout::TFlowLayout(QWidget* aParent, int aSpacing) : QLayout(aParent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(aSpacing);
}

TFlowLayout::~TFlowLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void TFlowLayout::addItem(QLayoutItem* aItem) { fItems.append({aItem, -1}); }

void TFlowLayout::AddWidget(QWidget* aWidget, int aGapBefore) {
    addChildWidget(aWidget);
    fItems.append({new QWidgetItem(aWidget), aGapBefore});
    invalidate();
}

QLayoutItem* TFlowLayout::itemAt(int aIndex) const {
    return aIndex >= 0 && aIndex < fItems.size() ? fItems[aIndex].item : nullptr;
}

QLayoutItem* TFlowLayout::takeAt(int aIndex) {
    if (aIndex < 0 || aIndex >= fItems.size()) return nullptr;
    return fItems.takeAt(aIndex).item;
}

int TFlowLayout::heightForWidth(int aWidth) const { return DoLayout(QRect(0, 0, aWidth, 0), false); }

QSize TFlowLayout::minimumSize() const {
    // The widest single item: anything narrower would cut it.
    QSize size;
    for (const TItem& entry : fItems)
        if (!entry.item->isEmpty()) size = size.expandedTo(ItemSize(entry.item));
    const QMargins margins = contentsMargins();
    return size + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

QSize TFlowLayout::sizeHint() const {
    int width = 0;
    int height = 0;
    for (const TItem& entry : fItems) {
        if (entry.item->isEmpty()) continue;
        if (width > 0) width += std::max(entry.gapBefore, spacing());
        width += ItemSize(entry.item).width();
        height = std::max(height, ItemSize(entry.item).height());
    }
    const QMargins margins = contentsMargins();
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

void TFlowLayout::setGeometry(const QRect& aRect) {
    QLayout::setGeometry(aRect);
    DoLayout(aRect, true);
}

int TFlowLayout::DoLayout(const QRect& aRect, bool aApply) const {
    const QRect area = aRect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    bool lineEmpty = true;
    for (const TItem& entry : fItems) {
        // A hidden widget that keeps its place (retain size) still takes it.
        if (entry.item->isEmpty()) continue;
        const QSize size = ItemSize(entry.item);
        const int gap = lineEmpty ? 0 : std::max(entry.gapBefore, spacing());
        if (!lineEmpty && x + gap + size.width() > area.right() + 1) {
            x = area.x();
            y += lineHeight + spacing();
            lineHeight = 0;
            lineEmpty = true;
        }
        if (!lineEmpty) x += gap;
        if (aApply) {
            if (QWidget* widget = entry.item->widget())
                widget->setGeometry(QRect(QPoint(x, y), size));
            else
                entry.item->setGeometry(QRect(QPoint(x, y), size));
        }
        x += size.width();
        lineHeight = std::max(lineHeight, size.height());
        lineEmpty = false;
    }
    const QMargins margins = contentsMargins();
    return y + lineHeight - aRect.y() + margins.bottom();
}

}  // namespace trawlix
