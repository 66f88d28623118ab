#include "ui/filter_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "mail/filter.h"
#include "model/search.h"
#include "ui/ext_edit.h"

namespace trawlix {

namespace {
constexpr int cStripHeight = 25;
}

TFilterPanel::TFilterPanel(TFilterQuery& aQuery, QWidget* aParent) : QWidget(aParent), fFilterQuery(aQuery) {
    setFixedHeight(cStripHeight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    fButton = new QToolButton(this);
    fButton->setIcon(QIcon(":/pictures/remove_query.svg"));
    fButton->setAutoRaise(true);
    fButton->setToolTip("Remove this query");
    // The label shows the text as it is: undo the doubling meant for mnemonic labels.
    fCaptionLabel = new QLabel(QString::fromStdString(aQuery.GetCaption()).replace("&&", "&"), this);
    fCaptionLabel->setTextFormat(Qt::PlainText);
    layout->addWidget(fButton);
    layout->addWidget(fCaptionLabel, 1);
    connect(fButton, &QToolButton::clicked, this, [this] { emit CloseClicked(this); });
}

TFilterBar::TFilterBar(QWidget* aParent) : QWidget(aParent) {
    setObjectName("sbFilter");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // Many remembered queries must not push the results out of sight: past the window's
    // limit the strips scroll inside the bar.
    fScrollBox = new QScrollArea(this);
    fScrollBox->setFrameShape(QFrame::NoFrame);
    fScrollBox->setWidgetResizable(true);
    fScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gbFilter = new QGroupBox(fScrollBox);
    gbFilter->setObjectName("gbFilter");
    auto* layout = new QVBoxLayout(gbFilter);
    layout->setContentsMargins(4, 2, 4, 2);
    cbShowFilter = new QCheckBox("Show filter  ", gbFilter);
    cbShowFilter->setChecked(true);
    layout->addWidget(cbShowFilter);
    // Fixed gaps only: every strip then adds exactly its own height to the group.
    layout->setSpacing(0);
    layout->addSpacing(4);
    auto* header = new QWidget(gbFilter);
    header->setObjectName("pnlFilterHeader");
    pnlFilterHeader = header;
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    edtFilter = new TCExtEdit(header);
    edtFilter->setObjectName("edtFilter");
    edtFilter->SetSuggestionText("Enter query text here..");
    edtFilter->setToolTip("To use a regular expression just surround it in slashes. Example: /2007.*?toyota/");
    lblFilterBy = new QLabel("Filter by", header);
    cbFilterBy = new QComboBox(header);
    cbFilterBy->setObjectName("cbFilterBy");
    for (const char* field : cFilterByStr) cbFilterBy->addItem(field);
    cbFilterNOT = new QCheckBox("NOT", header);
    cbFilterNOT->setObjectName("cbFilterNOT");
    btnFilter = new QPushButton("Remember query", header);
    btnFilter->setObjectName("btnFilter");
    headerLayout->addWidget(edtFilter, 1);
    headerLayout->addWidget(lblFilterBy);
    headerLayout->addWidget(cbFilterBy);
    headerLayout->addWidget(cbFilterNOT);
    headerLayout->addWidget(btnFilter);
    layout->addWidget(header);
    fStripsLayout = new QVBoxLayout();
    fStripsLayout->setSpacing(0);
    layout->addLayout(fStripsLayout);
    fScrollBox->setWidget(gbFilter);
    outer->addWidget(fScrollBox);
    FitGroupHeight();

    connect(edtFilter, &QLineEdit::textEdited, this, &TFilterBar::edtFilterChange);
    connect(cbFilterBy, &QComboBox::activated, this, &TFilterBar::edtFilterChange);
    connect(cbFilterNOT, &QCheckBox::clicked, this, &TFilterBar::edtFilterChange);
    connect(btnFilter, &QPushButton::clicked, this, &TFilterBar::btnFilterClick);
    connect(cbShowFilter, &QCheckBox::clicked, this, &TFilterBar::cbShowFilterClick);
    edtFilter->installEventFilter(this);
}

void TFilterBar::Apply() {
    if (ApplyFilter) ApplyFilter();
}

void TFilterBar::SetSearch(TSearch* aSearch) {
    fSearch = aSearch;
    edtFilter->SetText(QString());
    cbFilterBy->setCurrentIndex(cFilterByAnyField);
    cbFilterNOT->setChecked(false);
    cbShowFilterClick();
    if (fSearch) fSearch->GetFilter().ClearTempQuery();
}

void TFilterBar::edtFilterChange() {
    if (!fSearch) return;
    TFilter& filter = fSearch->GetFilter();
    {
        TCLock lock(filter.GetCriticalSection());
        if (edtFilter->IsEmpty()) {
            filter.ClearTempQuery();
        } else {
            TFilterQuery& query = filter.TempQuery();
            query.SetText(edtFilter->text().toStdString());
            query.SetIsNOT(cbFilterNOT->isChecked());
            query.SetFilterBy(cbFilterBy->currentIndex());
        }
    }
    Apply();
    if (edtFilter->IsEmpty()) return;
    QPalette palette = edtFilter->palette();
    palette.setColor(QPalette::Text, filter.GetResultsCount() > 0 ? QColor(Qt::black) : QColor(Qt::red));
    edtFilter->setPalette(palette);
}

void TFilterBar::btnFilterClick() {
    if (!fSearch || edtFilter->IsEmpty()) return;
    TFilter& filter = fSearch->GetFilter();
    {
        TCLock lock(filter.GetCriticalSection());
        if (!filter.HasTempQuery()) return;
        if (cbShowFilter->isChecked()) AddStrip(filter.TempQuery());
        filter.PostTempQuery(false);
    }
    fSearch->MarkModified();  // the remembered queries are stored with the search
    Apply();
    edtFilter->SetText(QString());
    cbFilterBy->setCurrentIndex(cFilterByAnyField);
    cbFilterNOT->setChecked(false);
}

void TFilterBar::AddStrip(TFilterQuery& aQuery) {
    auto* strip = new TFilterPanel(aQuery, gbFilter);
    fStripsLayout->addWidget(strip);
    strip->show();  // counted in the group's height at once, not when the layout gets to it
    fStrips.push_back(strip);
    connect(strip, &TFilterPanel::CloseClicked, this, &TFilterBar::OnFilterPanelClose);
    FitGroupHeight();
}

void TFilterBar::FreeStrips() {
    for (TFilterPanel* strip : fStrips) delete strip;
    fStrips.clear();
    FitGroupHeight();
}

void TFilterBar::cbShowFilterClick() {
    FreeStrips();
    // Unticked, only the check box line stays; the remembered queries keep working.
    pnlFilterHeader->setVisible(cbShowFilter->isChecked());
    if (fSearch && cbShowFilter->isChecked()) {
        TFilter& filter = fSearch->GetFilter();
        TCLock lock(filter.GetCriticalSection());
        for (const auto& query : filter.GetQueries()) AddStrip(*query);
    }
    FitGroupHeight();
}

// The group is exactly as high as what it shows: the check box, the header and the strips.
void TFilterBar::FitGroupHeight() {
    gbFilter->layout()->invalidate();
    gbFilter->setFixedHeight(gbFilter->sizeHint().height());
    OnFilterResized();
}

void TFilterBar::OnFilterResized() {
    int height = gbFilter->height();
    if (HeightLimit) height = std::min(height, std::max(HeightLimit(), 0));
    setFixedHeight(height);
}

void TFilterBar::OnFilterPanelClose(TFilterPanel* aPanel) {
    if (fSearch) {
        fSearch->GetFilter().DeleteQuery(&aPanel->Query());
        fSearch->MarkModified();
    }
    std::erase(fStrips, aPanel);
    aPanel->deleteLater();
    aPanel->hide();
    fStripsLayout->removeWidget(aPanel);
    FitGroupHeight();
    Apply();
}

bool TFilterBar::eventFilter(QObject* aWatched, QEvent* aEvent) {
    if (aWatched == edtFilter && aEvent->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(aEvent)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !edtFilter->IsEmpty()) {
            btnFilterClick();
            return true;
        }
        if (key == Qt::Key_Escape) {
            edtFilter->clear();
            if (FocusAway) FocusAway();
            if (fSearch) fSearch->GetFilter().ClearTempQuery();
            Apply();
            return true;
        }
    }
    return QWidget::eventFilter(aWatched, aEvent);
}

}  // namespace trawlix
