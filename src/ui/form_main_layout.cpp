#include "ui/form_main.h"

#include <QToolButton>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTableView>

#include <algorithm>
#include <cmath>

#include "app/registry.h"
#include "app/session.h"
#include "app/settings.h"
#include "ui/criteria_panel.h"
#include "ui/filter_bar.h"
#include "ui/form_main_parts.h"
#include "ui/results_model.h"
#include "ui/whisper_splitter.h"

namespace trawlix {

using namespace form_main;

// --- orientation and panel sizes, kept in the settings ---------------------------------

void TformMain::CheckOrientation(bool aChange) {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const TRegistry::TValue stored = settings.ReadDirect("orientation", {TRegistry::TKind::Integer, -1, {}});
    TOrientation orientation = stored.integer == orLandscape ? orLandscape : orPortrait;
    if (aChange || stored.kind != TRegistry::TKind::Integer || stored.integer < 0) {
        if (OrientationChooser) orientation = OrientationChooser(fOrientation, !aChange);
        settings.SetDirectInteger("orientation", orientation);
        fSession->SaveSettings();
    }
    SetOrientation(orientation);
    fOrientationChecked = true;
    SetGBResultsDimensions();
}

int TformMain::ResultsAreaLength() const {
    const QSize area = splitterPreview->size();
    return (fOrientation == orLandscape ? area.width() : area.height()) - splitterPreview->handleWidth();
}

void TformMain::SetPreviewLength(int aPreviewLength) {
    const int area = ResultsAreaLength();
    aPreviewLength = std::clamp(aPreviewLength, 0, std::max(area, 0));
    splitterPreview->setSizes({area - aPreviewLength, aPreviewLength});
}

void TformMain::SetOrientation(TOrientation aOrientation) {
    if (aOrientation == fOrientation && fOrientationChecked) return;
    const QList<int> before = splitterPreview->sizes();
    const int total = before.value(0) + before.value(1);
    const double previewShare = total > 0 ? static_cast<double>(before.value(1)) / total : 0.5;
    fOrientation = aOrientation;
    setUpdatesEnabled(false);
    splitterPreview->setOrientation(aOrientation == orLandscape ? Qt::Horizontal : Qt::Vertical);
    // The preview keeps its share of the results area when it moves.
    SetPreviewLength(static_cast<int>(std::lround(ResultsAreaLength() * previewShare)));
    setUpdatesEnabled(true);
    sbFilter->OnFilterResized();
}

void TformMain::SetSplitterHeightsAndWidths() {
    if (!fOrientationChecked || !fSession) return;
    TSettings& settings = fSession->GetSettings();
    const int criteriaWidth = settings.GetCriteriaPanelWidth();
    if (criteriaWidth >= TCriteriaPanel::cDesignedWidth && !CriteriaCollapsed())
        splitterCriteria->setSizes({criteriaWidth, splitterCriteria->width() - criteriaWidth});
    const int area = ResultsAreaLength();
    int preview = fOrientation == orLandscape ? settings.GetPreviewPanelWidth() : settings.GetPreviewPanelHeight();
    // A stored size that no longer fits (a smaller screen) gives way to half the area.
    if (preview <= 0 || preview > 0.9 * area) preview = static_cast<int>(std::lround(area / 2.0));
    SetPreviewLength(preview);
}

void TformMain::SetGBResultsDimensions() {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const char* name = fOrientation == orLandscape ? "gbResultsWidth" : "gbResultsHeight";
    const TRegistry::TValue stored = settings.ReadDirect(name, {TRegistry::TKind::Integer, -1, {}});
    const int area = ResultsAreaLength();
    const int results = stored.integer > 0 ? static_cast<int>(stored.integer) : area / 2;
    SetPreviewLength(area - results);
}

void TformMain::SaveResultsDimensions() {
    if (!fSession) return;
    TSettings& settings = fSession->GetSettings();
    const int results = splitterPreview->sizes().value(0);
    settings.SetDirectInteger(fOrientation == orLandscape ? "gbResultsWidth" : "gbResultsHeight", results);
    settings.SetDirectInteger("lvResultsColumn3Width", lvResults->columnWidth(3));
    fSession->SaveSettings();
}

void TformMain::FitCaptionColumn() {
    QHeaderView* header = lvResults->horizontalHeader();
    int others = 0;
    for (int column = 0; column < header->count(); ++column)
        if (column != TResultsModel::cCaptionColumn && !header->isSectionHidden(column))
            others += header->sectionSize(column);
    const int width = std::max(cCaptionMinimumWidth, lvResults->viewport()->width() - others);
    if (header->sectionSize(TResultsModel::cCaptionColumn) != width)
        header->resizeSection(TResultsModel::cCaptionColumn, width);
}

// --- criteria panel frame --------------------------------------------------------------

bool TformMain::CriteriaCollapsed() const { return pnlLeft->Collapsed(); }

void TformMain::OnCriteriaHideShow(int aShortcutTab) {
    const bool collapse = !CriteriaCollapsed();
    if (collapse) {
        fCriteriaOpenWidth = pnlLeft->width();
        pnlLeft->SetCollapsed(true);
        splitterCriteria->setSizes({cCollapsedWidth, splitterCriteria->width()});
    } else {
        const int width = fCriteriaOpenWidth < 50 ? TCriteriaPanel::cDesignedWidth : fCriteriaOpenWidth;
        fCriteriaOpenWidth = 0;
        pnlLeft->SetCollapsed(false, aShortcutTab);
        splitterCriteria->setSizes({width, splitterCriteria->width()});
    }
    if (fSession) {
        fSession->GetSettings().SetCriteriaHidden(collapse);
        fSession->SaveSettings();
    }
}

}  // namespace trawlix
