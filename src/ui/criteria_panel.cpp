#include "ui/criteria_panel.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>

#include <unordered_set>

#include "engine/synchronizator.h"
#include "model/categories.h"
#include "model/place_selection.h"
#include "model/search.h"
#include "model/zip_codes.h"
#include "ui/criteria_panel_parts.h"
#include "ui/date_range.h"
#include "ui/ext_edit.h"
#include "ui/map_location_picker.h"
#include "ui/keyword_patterns_dialog.h"
#include "ui/option_grid.h"
#include "ui/user_dialogs.h"

namespace trawlix {

using namespace criteria_panel;

namespace {

constexpr const char* cUntitled = "(Untitled)";

// Country names come in mixed case ("united states" beside "UK"): each word starts with a
// capital in the tree, so that they read alike; the rest of a word stays as it is.
QString CountryCaption(const QString& aName) {
    QString caption = aName;
    for (int at = 0; at < caption.size(); ++at)
        if (at == 0 || caption[at - 1] == ' ') caption[at] = caption[at].toUpper();
    return caption;
}
constexpr const char* cInvalidZIPCode = "The ZIP code you have entered is invalid. Please fix it or delete it.";
constexpr int cZIPCodeLength = 5;
constexpr int cKeywordsEditingHeight = 150;
constexpr int cLongKeywords = 100;
constexpr int cKeywordsResizeDelayMs = 500;

// UTF-16 positions of the keyword box to the byte offsets of the keyword functions, and back.
size_t ByteOffset(const QString& aText, int aPosition) { return aText.left(aPosition).toUtf8().size(); }
int CharPosition(const std::string& aText, size_t aOffset) {
    return QString::fromUtf8(aText.data(), static_cast<qsizetype>(std::min(aOffset, aText.size()))).size();
}

}  // namespace

// --- dates and ZIP codes ---------------------------------------------------------------

double DateTimeToDays(const QDateTime& aDateTime) {
    static const QDate cEpoch(1899, 12, 30);
    const QTime time = aDateTime.time();
    return static_cast<double>(cEpoch.daysTo(aDateTime.date())) + time.msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DaysToDateTime(double aDays) {
    static const QDate cEpoch(1899, 12, 30);
    const auto wholeDays = static_cast<qint64>(std::floor(aDays));
    const auto msecs = static_cast<int>(std::lround((aDays - static_cast<double>(wholeDays)) * 86400000.0));
    return QDateTime(cEpoch.addDays(wholeDays), QTime(0, 0).addMSecs(std::min(msecs, 86399999)));
}

std::string AddZerosAtStart(const std::string& aStr, size_t aTotalLength) {
    if (aStr.size() >= aTotalLength) return aStr;
    return std::string(aTotalLength - aStr.size(), '0') + aStr;
}

// --- reference data --------------------------------------------------------------------

void TCriteriaPanel::SetReferenceData(const TPlaceList& aCountries, const TPlaceList& aMainCategories,
                                      const TZIPCodes* aZIPCodes) {
    fZIPCodes = aZIPCodes;
    tvLocations->FillLocationsTreeView(aCountries);
    for (int country = 0; country < tvLocations->topLevelItemCount(); ++country) {
        QTreeWidgetItem* item = tvLocations->topLevelItem(country);
        item->setText(0, CountryCaption(item->text(0)));
    }
    tvCategories->FillLocationsTreeView(aMainCategories);
    fLocationHashes.clear();
}

void TCriteriaPanel::SetSiteCaptions(const std::array<std::string, cSiteSearchCount>& aCaptions) {
    for (int site = 0; site < cSiteSearchCount; ++site)
        if (!aCaptions[site].empty()) cbSearchIn[site]->setText(QString::fromStdString(aCaptions[site]));
}

// --- filling the panel from a search ---------------------------------------------------

void TCriteriaPanel::ShowSiteProblems(const TSearch& aSearch) {
    for (int site = 0; site < cSiteSearchCount; ++site) {
        const TBaseSiteSearch* siteSearch = aSearch.GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        const std::string problem = siteSearch ? siteSearch->GetHealth().problem : std::string();
        cbSearchIn[site]->setIcon(problem.empty() ? QIcon() : style()->standardIcon(QStyle::SP_MessageBoxWarning));
        cbSearchIn[site]->setToolTip(QString::fromStdString(problem));
    }
}

void TCriteriaPanel::FillControls(TSearch& aSearch) {
    fSearchChanging = true;
    fCurrentSearch = &aSearch;
    if (fGridSearch && fGridSearch != &aSearch) fGridSearch->GetPropertyContainer().SetValueListEditor(nullptr);
    fGridSearch = &aSearch;
    aSearch.GetPropertyContainer().SetValueListEditor(vleCustomOptions);
    vleCustomOptions->SetContainer(&aSearch.GetPropertyContainer());

    const QString name = QString::fromStdString(aSearch.GetName()).trimmed();
    if (!name.isEmpty() && OnCaptionChanged) OnCaptionChanged(name);
    edtSearchName->setText(QString::fromStdString(aSearch.GetName()));
    ShowKeywords({edtKeywords, cbHasImage, cbOnlyTitles, cbOnlyCatListing}, aSearch);
    ApplyRawCategoryRule();
    cbClearResults->setChecked(aSearch.GetClearOldResults());
    cbMapPreviewOnFinish->setChecked(false);

    FillLocationMarks(aSearch);
    edtZIPCode->setText(QString::fromStdString(aSearch.GetZIPCode()));
    tbRange->setValue(aSearch.GetDistance());
    gbRange->setTitle(RangeCaption(aSearch.GetDistance()));
    FillDates(aSearch);
    FillCategoryMarks(aSearch);

    HasSelectedLocationsAndCategories(&aSearch);
    edtPageCount->setValue(aSearch.GetPagesCount());
    fCanRenderCustomOptions = false;
    ShowSitesOfSearch(cbSearchIn, aSearch);
    ShowSiteProblems(aSearch);
    // Rendered once, with this search's own sites: rendering with the previous search's
    // boxes would drop this search's car-site options and their values.
    RenderCustomOptions(&aSearch);
    fCanRenderCustomOptions = true;
    fSearchChanging = false;
    ApplyIdleRules();
    SelectionChanged();
}

void TCriteriaPanel::FillLocationMarks(TSearch& aSearch) {
    tvLocations->setUpdatesEnabled(false);
    auto cached = fLocationHashes.find(&aSearch);
    if (cached != fLocationHashes.end()) {
        tvLocations->SetMarksFromHash(cached->second);
    } else {
        tvLocations->SetAllUnchecked();
        TLocationsTreeHash& hash = fLocationHashes[&aSearch];
        TCLock lock(aSearch.GetCriticalSection());
        const TPlaceWrapperList& locations = aSearch.GetSearchLocations();
        const auto& items = tvLocations->AllItems();
        for (auto item = items.rbegin(); item != items.rend(); ++item) {
            if (locations.GetPlaceWrapperByPlace(TSelectionTree::ItemPlace(*item)))
                tvLocations->ToggleSelectedStateIndex(*item, false, &hash, true);
        }
        tvLocations->collapseAll();
    }
    tvLocations->setUpdatesEnabled(true);
    if (tvLocations->topLevelItemCount() > 0) tvLocations->scrollToTop();
}

void TCriteriaPanel::FillCategoryMarks(TSearch& aSearch) {
    tvCategories->setUpdatesEnabled(false);
    tvCategories->SetAllUnchecked();
    TPlaceList expanded;
    GetCategoriesFromCompressed(aSearch.GetCategories(), expanded);
    const std::unordered_set<const TPlace*> chosen(expanded.begin(), expanded.end());
    const auto& items = tvCategories->AllItems();
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        if (chosen.count(TSelectionTree::ItemPlace(*item)))
            tvCategories->ToggleSelectedStateIndex(*item, false, nullptr, false);
    }
    tvCategories->collapseAll();
    tvCategories->setUpdatesEnabled(true);
}

void TCriteriaPanel::FillDates(const TSearch& aSearch) {
    ShowDates(fDates, aSearch);
}

bool TCriteriaPanel::SwapReversedDates() {
    return trawlix::SwapReversedDates(*fDates.fromChecked, *fDates.from, *fDates.toChecked, *fDates.to);
}

// --- copying the panel into the search -------------------------------------------------

void TCriteriaPanel::FillSearch(TSearch& aSearch, bool aFillTrees) {
    TCLock lock(aSearch.GetCriticalSection());
    const QString name = edtSearchName->text().trimmed();
    aSearch.SetName(name.isEmpty() ? cUntitled : name.toStdString());
    StoreKeywords({edtKeywords, cbHasImage, cbOnlyTitles, cbOnlyCatListing}, aSearch);
    aSearch.SetBackpageKeywords({});
    StorePlaces({tvLocations, tvCategories, edtZIPCode, tbRange}, aSearch, aFillTrees);
    StoreDates(fDates, aSearch);
    bool isNumber = false;
    const int pages = edtPageCount->text().toInt(&isNumber);
    aSearch.SetPagesCount(isNumber ? pages : cDefaultPagesCount);
    StoreSitesToSearch(cbSearchIn, aSearch);
    aSearch.SetClearOldResults(cbClearResults->isChecked());
    if (!name.isEmpty() && OnCaptionChanged) OnCaptionChanged(name);
}

void TCriteriaPanel::OnFillSearchTimer() {
    if (auto* binding = GetMainThreadBinding(); binding && binding->IsTerminating()) {
        fTimerFillSearch.stop();
        return;
    }
    if (!fCurrentSearch) return;
    try {
        FillSearch(*fCurrentSearch, false);
    } catch (...) {
        // The next tick copies again; a failed copy must not disturb the user.
    }
}

// --- selection -------------------------------------------------------------------------

bool TCriteriaPanel::HasSelectedLocationsAndCategories(const TSearch* aSearch, bool& aLocations,
                                                       bool& aCategories) {
    // The ZIP code as typed counts at once, before the next copy into the search.
    const bool zipCode = !edtZIPCode->text().trimmed().isEmpty() ||
                         (aSearch && !QString::fromStdString(aSearch->GetZIPCode()).trimmed().isEmpty());
    aLocations = tvLocations->HasAnyMark() || zipCode;
    aCategories = tvCategories->HasAnyMark();
    fHasSelectedLocationsAndCategories = aLocations && aCategories;
    return fHasSelectedLocationsAndCategories;
}

bool TCriteriaPanel::HasSelectedLocationsAndCategories(const TSearch* aSearch) {
    bool locations = false;
    bool categories = false;
    return HasSelectedLocationsAndCategories(aSearch, locations, categories);
}

bool TCriteriaPanel::HasSelectedSites() const {
    for (QCheckBox* box : cbSearchIn)
        if (box->isChecked()) return true;
    return false;
}

const TLocationsTreeHash* TCriteriaPanel::LocationsTreeHash(const TSearch* aSearch) const {
    auto found = fLocationHashes.find(aSearch);
    return found == fLocationHashes.end() ? nullptr : &found->second;
}

void TCriteriaPanel::ForgetSearch(const TSearch* aSearch) {
    fLocationHashes.erase(aSearch);
    if (fGridSearch == aSearch) {
        fGridSearch->GetPropertyContainer().SetValueListEditor(nullptr);
        fGridSearch = nullptr;
        vleCustomOptions->SetContainer(nullptr);
        vleCustomOptions->ClearRows();
    }
    if (fCurrentSearch == aSearch) fCurrentSearch = nullptr;
}

void TCriteriaPanel::SelectionChanged() {
    if (OnSelectionChanged) OnSelectionChanged();
}

void TCriteriaPanel::OnLocationToggled(QTreeWidgetItem* aItem) {
    if (!fCurrentSearch) return;  // no location click without a search
    tvLocations->ToggleSelectedStateIndex(aItem, true, &fLocationHashes[fCurrentSearch], false);
    HasSelectedLocationsAndCategories(fCurrentSearch);
    FillSearch(*fCurrentSearch, true);
    SelectionChanged();
}

void TCriteriaPanel::OnCategoryToggled(QTreeWidgetItem* aItem) {
    tvCategories->ToggleSelectedStateIndex(aItem, true, nullptr, false);
    if (fCurrentSearch) {
        HasSelectedLocationsAndCategories(fCurrentSearch);
        FillSearch(*fCurrentSearch, true);
    }
    RenderCustomOptions(fCurrentSearch);
    SelectionChanged();
    tvCategories->setFocus();
}

void FindInLocationTree(TCExtEdit& aBox, TSelectionTree& aTree) {
    if (aBox.IsEmpty()) return;
    QTreeWidgetItem* found = aTree.FindItemContaining(aBox.text().trimmed());
    QPalette palette = aBox.palette();
    palette.setColor(QPalette::Text, found ? QColor(Qt::black) : QColor(Qt::red));
    aBox.setPalette(palette);
    if (!found) return;
    aTree.scrollToItem(found);
    aTree.setCurrentItem(found);
}

void TCriteriaPanel::OnSearchLocationsChanged() { FindInLocationTree(*edtSearchLocations, *tvLocations); }

// --- check boxes and edits -------------------------------------------------------------

void TCriteriaPanel::ApplyRawCategoryRule() {
    const bool enabled = !cbOnlyCatListing->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{cbHasImage, cbOnlyTitles, edtKeywords, lblKeywords, sbtnPhrase,
                                                            sbtnNot, sbtnOR, sbtnGroup, sbtnPredefinedkeywordPatterns})
        control->setEnabled(enabled);
}

void TCriteriaPanel::ApplyIdleRules() {
    fDates.from->setEnabled(fDates.fromChecked->isChecked());
    fDates.to->setEnabled(fDates.toChecked->isChecked());
    fDates.lastDays->setEnabled(fDates.lastDaysChecked->isChecked());
    const bool noOptions = vleCustomOptions->rowCount() == 0;
    pnlNoCustomOptions->setVisible(noOptions);
    vleCustomOptions->setVisible(!noOptions);
}

void TCriteriaPanel::OnRangeMoved(int aPosition) { gbRange->setTitle(RangeCaption(aPosition)); }

void TCriteriaPanel::OnSiteClicked() {
    if (fCanRenderCustomOptions) RenderCustomOptions(fCurrentSearch);
}

void TCriteriaPanel::OnZIPCodeLeft() {
    if (fCurrentSearch) RefreshCurrentSearchZIPCodeObject(fCurrentSearch, true);
}

void TCriteriaPanel::RefreshCurrentSearchZIPCodeObject(TSearch* aSearch, bool aValidate,
                                                       const std::string* aZIPCode) {
    if (!aSearch) return;
    {
        TCLock lock(aSearch->GetCriticalSection());
        aSearch->SetZIPCodeObject(nullptr);
    }
    if (aZIPCode) edtZIPCode->setText(QString::fromStdString(*aZIPCode));
    TZIPCodeLookup found = LookUpZIPCodeBox(*edtZIPCode, fZIPCodes, fDialogs, aValidate);
    if (found.code.empty() || (!found.object && aValidate)) return;
    TCLock lock(aSearch->GetCriticalSection());
    aSearch->SetZIPCode(found.code);
    aSearch->SetZIPCodeObject(std::move(found.object));
}

TZIPCodeLookup LookUpZIPCodeBox(QLineEdit& aBox, const TZIPCodes* aZIPCodes, IUserDialogs& aDialogs, bool aValidate) {
    const QString typed = aBox.text().trimmed();
    if (typed.isEmpty()) return {};
    TZIPCodeLookup found;
    found.code = AddZerosAtStart(typed.toStdString(), cZIPCodeLength);
    aBox.setText(QString::fromStdString(found.code));
    found.object = aZIPCodes ? aZIPCodes->GetCode(found.code) : nullptr;
    if (!found.object && aValidate) aDialogs.Warning(cInvalidZIPCode);
    return found;
}

void TCriteriaPanel::ClearAllFields() {
    edtKeywords->clear();
    cbHasImage->setChecked(false);
    cbOnlyTitles->setChecked(false);
    cbOnlyCatListing->setChecked(false);
    ApplyRawCategoryRule();
    edtSearchLocations->SetText(QString());
    tvLocations->SetAllUnchecked();
    tvCategories->SetAllUnchecked();
    // The mark cache stands for the tree; left behind it would bring the old marks back.
    if (fCurrentSearch) fLocationHashes[fCurrentSearch].clear();
    RenderCustomOptions(fCurrentSearch);
    SelectionChanged();
    HasSelectedLocationsAndCategories(fCurrentSearch);
}

// --- keywords --------------------------------------------------------------------------

void TCriteriaPanel::OnKeywordOperator(int aOperator) {
    ApplyKeywordOperator(*edtKeywords, static_cast<TKeywordOperator>(aOperator));
}

namespace criteria_panel {

void ShowKeywords(const TKeywordControls& aControls, const TSearch& aSearch) {
    aControls.keywords->setPlainText(QString::fromStdString(aSearch.GetKeywords()));
    aControls.hasImage->setChecked(aSearch.GetHasImage());
    aControls.onlyTitles->setChecked(aSearch.GetOnlySearchTitles());
    aControls.onlyCatListings->setChecked(aSearch.GetOnlyCatListings());
}

void StoreKeywords(const TKeywordControls& aControls, TSearch& aSearch) {
    aSearch.SetKeywords(aControls.keywords->toPlainText().toStdString());
    aSearch.SetHasImage(aControls.hasImage->isChecked());
    aSearch.SetOnlySearchTitles(aControls.onlyTitles->isChecked());
    aSearch.SetOnlyCatListings(aControls.onlyCatListings->isChecked());
}

void ShowDates(const TDateControls& aControls, const TSearch& aSearch) {
    const QDateTime now = QDateTime::currentDateTime();
    const double from = aSearch.GetDateFrom();
    const double to = aSearch.GetDateTo();
    aControls.fromChecked->setChecked(from > 0);
    aControls.from->setDateTime(from > 0 ? DaysToDateTime(from) : now);
    aControls.toChecked->setChecked(to > 0);
    aControls.to->setDateTime(to > 0 ? DaysToDateTime(to) : now);
    aControls.lastDaysChecked->setChecked(aSearch.GetDoSearchLastDays());
    aControls.lastDays->setValue(aSearch.GetNumberOfLastDaysToSearch());
}

void StoreDates(const TDateControls& aControls, TSearch& aSearch) {
    aSearch.SetDateFrom(aControls.fromChecked->isChecked() ? DateTimeToDays(aControls.from->dateTime()) : 0);
    aSearch.SetDateTo(aControls.toChecked->isChecked() ? DateTimeToDays(aControls.to->dateTime()) : 0);
    aSearch.SetDoSearchLastDays(aControls.lastDaysChecked->isChecked());
    aSearch.SetNumberOfLastDaysToSearch(aControls.lastDays->value());
}

void ConnectDateRules(const TDateControls& aControls, QObject* aContext) {
    QObject::connect(aControls.fromChecked, &QCheckBox::clicked, aContext, [aControls](bool aChecked) {
        if (!aChecked) return;
        aControls.lastDaysChecked->setChecked(false);
        aControls.from->setDateTime(QDateTime::currentDateTime());
    });
    QObject::connect(aControls.toChecked, &QCheckBox::clicked, aContext, [aControls](bool aChecked) {
        if (!aChecked) return;
        aControls.lastDaysChecked->setChecked(false);
        aControls.to->setDateTime(QDateTime::currentDateTime());
    });
    QObject::connect(aControls.lastDaysChecked, &QCheckBox::clicked, aContext, [aControls](bool aChecked) {
        if (!aChecked) return;
        aControls.fromChecked->setChecked(false);
        aControls.toChecked->setChecked(false);
    });
}

void StorePlaces(const TPlaceControls& aControls, TSearch& aSearch, bool aWithTrees) {
    if (aWithTrees) {
        aSearch.SetCompressedLocations(aControls.locations->GetCompressed());
        aSearch.SetLocationsChanged(true);
        aSearch.SetCategories(aControls.categories->GetCompressed());
    }
    aSearch.SetZIPCode(aControls.zipCode->text().toStdString());
    aSearch.SetDistance(aControls.range->value());
}

void ShowSitesOfSearch(const std::array<QCheckBox*, cSiteSearchCount>& aBoxes, TSearch& aSearch) {
    for (int site = 0; site < cSiteSearchCount; ++site) {
        TBaseSiteSearch* siteSearch = aSearch.GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        aBoxes[site]->setChecked(siteSearch && siteSearch->GetDoSearch());
    }
}

void StoreSitesToSearch(const std::array<QCheckBox*, cSiteSearchCount>& aBoxes, TSearch& aSearch) {
    for (int site = 0; site < cSiteSearchCount; ++site) {
        TBaseSiteSearch* siteSearch = aSearch.GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        if (!siteSearch || siteSearch->GetDoSearch() == aBoxes[site]->isChecked()) continue;
        siteSearch->SetDoSearch(aBoxes[site]->isChecked());
        aSearch.MarkModified();
    }
}

void ApplyKeywordOperator(QPlainTextEdit& aBox, TKeywordOperator aOperator) {
    QTextCursor cursor = aBox.textCursor();
    const QString text = aBox.toPlainText();
    TKeywordEdit edit;
    edit.text = text.toStdString();
    edit.selStart = ByteOffset(text, cursor.selectionStart());
    edit.selLength = ByteOffset(text, cursor.selectionEnd()) - edit.selStart;
    TKeywordEdit result;
    switch (aOperator) {
        case koOr: result = ApplyOrOperator(edit); break;
        case koNot: result = ApplyNotOperator(edit); break;
        case koPhrase: result = ApplyPhraseOperator(edit); break;
        default: result = ApplyGroupOperator(edit); break;
    }
    aBox.setPlainText(QString::fromStdString(result.text));
    QTextCursor caret = aBox.textCursor();
    caret.setPosition(CharPosition(result.text, result.selStart));
    aBox.setTextCursor(caret);
    aBox.setFocus();
}

}  // namespace criteria_panel

void TCriteriaPanel::OnPredefinedKeywordPatterns() {
    if (!fCurrentSearch) return;
    TKeywordPattern pattern{fCurrentSearch->GetAllThese(), fCurrentSearch->GetExact(), fCurrentSearch->GetOR1(),
                            fCurrentSearch->GetOR2(),      fCurrentSearch->GetOR3(),   fCurrentSearch->GetNoneOfThese()};
    if (!KeywordPatternsDialog || !KeywordPatternsDialog(pattern)) return;
    const TKeywordPattern stored = PatternToStore(pattern);
    fCurrentSearch->SetAllThese(stored.allThese);
    fCurrentSearch->SetExact(stored.exact);
    fCurrentSearch->SetOR1(stored.or1);
    fCurrentSearch->SetOR2(stored.or2);
    fCurrentSearch->SetOR3(stored.or3);
    fCurrentSearch->SetNoneOfThese(stored.noneOfThese);
    fCurrentSearch->SetKeywords(BuildKeywordsFromPattern(pattern));
    edtKeywords->setPlainText(QString::fromStdString(fCurrentSearch->GetKeywords()));
}

// The keyword box grows while it is being edited or holds a long line, and shrinks back
// half a second after the focus leaves it (so that a click on an operator button lands).
void TCriteriaPanel::RefreshKeywordsHeight(int aTextLength) {
    const bool large = edtKeywords->hasFocus() || aTextLength > cLongKeywords;
    const int height = large ? cKeywordsEditingHeight : cKeywordsHeight;
    if (edtKeywords->height() == height) return;
    edtKeywords->setFixedHeight(height);
    edtKeywords->setVerticalScrollBarPolicy(large ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

bool TCriteriaPanel::eventFilter(QObject* aWatched, QEvent* aEvent) {
    if (aWatched == edtKeywords && (aEvent->type() == QEvent::FocusIn || aEvent->type() == QEvent::FocusOut)) {
        QTimer::singleShot(cKeywordsResizeDelayMs, this,
                           [this] { RefreshKeywordsHeight(static_cast<int>(edtKeywords->toPlainText().size())); });
    }
    return QWidget::eventFilter(aWatched, aEvent);
}

// --- options ---------------------------------------------------------------------------

void TCriteriaPanel::RenderCustomOptions(TSearch* aSearch) {
    if (!aSearch) {
        vleCustomOptions->ClearRows();
        ApplyIdleRules();
        return;
    }
    // An open cell editor would write into rows that are about to go.
    if (vleCustomOptions->IsEditing()) vleCustomOptions->setFocus();
    vleCustomOptions->setCurrentItem(nullptr);
    TPropertyContainer& container = aSearch->GetPropertyContainer();
    container.SetOnFillWithProperties([this](TPropertyContainer& aContainer) { FillPropertiesOf(aContainer); });
    if (fGridSearch == aSearch) container.Render();
    ApplyIdleRules();
}

void TCriteriaPanel::FillPropertiesOf(TPropertyContainer& aContainer) {
    const TPropertySelection selection = TPropertySelection::FromCategoryNames(
        tvCategories->MarkedTopLevelNames(), cbSearchIn[ssCarsCom]->isChecked(), cbSearchIn[ssAutotrader]->isChecked());
    const TFillPropertiesResult result = FillProperties(aContainer, selection);
    if (result.NewOptionsAvailable() && !fSearchChanging && OnNewOptionsAvailable) OnNewOptionsAvailable();
}

}  // namespace trawlix
