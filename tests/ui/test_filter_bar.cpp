// The filter bar over a search's results and the virtual list that shows them.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "model/filter.h"
#include "model/search.h"
#include "ui/ext_edit.h"
#include "ui/filter_bar.h"
#include "ui/results_model.h"
#include "ui_test_registry.h"

using namespace trawlix;

class TestFilterBar : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TSearch> fSearch;
    std::unique_ptr<TFilterBar> fBar;
    std::unique_ptr<TResultsModel> fModel;
    std::unique_ptr<QLabel> fLabel;
    std::unique_ptr<TViewHelper> fHelper;

    void Add(TSiteSearchEnum aSite, const char* aName, double aPrice, bool aImage = false) {
        static int link = 0;
        fSearch->AddSearchResult(std::make_shared<TEntry>(aSite, "Mar 12", aName, "http://x/" + std::to_string(++link),
                                                          aPrice, "boston", "cars", aImage, 0, 0.0, "", "", ""));
    }
    QStringList Captions() const {
        QStringList captions;
        for (int row = 0; row < fModel->rowCount(); ++row) captions << fModel->index(row, 3).data().toString();
        return captions;
    }
    void Type(const QString& aText) {
        fBar->edtFilter->setFocus();
        fBar->edtFilter->selectAll();
        if (aText.isEmpty())
            QTest::keyClick(fBar->edtFilter, Qt::Key_Backspace);
        else
            QTest::keyClicks(fBar->edtFilter, aText);
    }
    void ChooseField(int aField) {
        fBar->cbFilterBy->setCurrentIndex(aField);
        emit fBar->cbFilterBy->activated(aField);  // as a choice in the drop-down does
    }

private slots:
    void init() {
        fSearch = std::make_unique<TSearch>();
        Add(ssCraigslist, "Honda Civic 2007", 1500, true);
        Add(ssEBay, "Toyota Corolla", 215);
        Add(ssOodle, "honda accord", 0);
        Add(ssCarsCom, "Ford Focus a&b edition", 15);
        fModel = std::make_unique<TResultsModel>();
        fLabel = std::make_unique<QLabel>();
        fHelper = std::make_unique<TViewHelper>(*fModel, *fLabel);
        fBar = std::make_unique<TFilterBar>();
        fBar->ApplyFilter = [this] { fHelper->RebuildViewList(*fSearch); };
        fBar->show();
        QVERIFY(QTest::qWaitForWindowExposed(fBar.get()));
        fBar->SetSearch(fSearch.get());
        fHelper->RebuildViewList(*fSearch);
    }
    void cleanup() {
        fBar.reset();
        fHelper.reset();
        fModel.reset();
        fSearch.reset();
    }

    void withoutQueriesEveryResultShowsWithItsCells() {
        QCOMPARE(fModel->rowCount(), 4);
        QCOMPARE(fLabel->text(), QString("Results (4 found) "));
        QCOMPARE(fModel->index(0, 1).data().toString(), QString("yes"));
        QCOMPARE(fModel->index(1, 1).data().toString(), QString("-"));
        QCOMPARE(fModel->index(0, 2).data().toString(), QString("Mar 12"));
        QCOMPARE(fModel->index(0, 4).data().toString(), QString("1500"));
        QCOMPARE(fModel->index(2, 4).data().toString(), QString("---"));
        QCOMPARE(fModel->index(1, 7).data().toString(), QString("EBayClassifieds"));
        QCOMPARE(fModel->index(3, 7).data().toString(), QString("Cars.com"));
        QCOMPARE(fModel->headerData(3, Qt::Horizontal).toString(), QString("Caption"));
        QCOMPARE(fModel->headerData(7, Qt::Horizontal).toString(), QString("Found on"));
        // A row the view list no longer holds shows the error text instead of failing.
        QCOMPARE(TResultsModel::CellText(nullptr, 3), QString("---ERROR---"));
        QCOMPARE(TResultsModel::CellText(nullptr, 5), QString("-"));
    }

    void typingFiltersAtOnceAndNotInverts() {
        ChooseField(2);  // caption
        Type("Honda");
        QCOMPARE(Captions(), (QStringList{"Honda Civic 2007", "honda accord"}));
        QTest::mouseClick(fBar->cbFilterNOT, Qt::LeftButton);
        QCOMPARE(Captions(), (QStringList{"Toyota Corolla", "Ford Focus a&b edition"}));
        Type("zzz");
        QCOMPARE(fModel->rowCount(), 4);  // NOT of nothing found: everything
        QTest::mouseClick(fBar->cbFilterNOT, Qt::LeftButton);
        QCOMPARE(fModel->rowCount(), 0);
        QCOMPARE(fBar->edtFilter->palette().color(QPalette::Text), QColor(Qt::red));
        QCOMPARE(fLabel->text(), QString("Results (0 found) "));
    }

    void priceAndSiteMatchTheirTexts() {
        ChooseField(3);  // price
        Type("15");
        QCOMPARE(Captions(), (QStringList{"Honda Civic 2007", "Toyota Corolla", "Ford Focus a&b edition"}));
        ChooseField(6);  // site
        Type("ebay");
        QCOMPARE(Captions(), QStringList{"Toyota Corolla"});
    }

    void aRememberedQueryStaysWhileAnotherIsTyped() {
        ChooseField(2);
        Type("honda");
        QTest::mouseClick(fBar->btnFilter, Qt::LeftButton);
        QCOMPARE(fBar->StripCount(), 1);
        QCOMPARE(fBar->Strip(0)->fCaptionLabel->text(), QString("having \"honda\" in caption"));
        QVERIFY(fBar->edtFilter->IsEmpty());
        QCOMPARE(fBar->cbFilterBy->currentIndex(), 0);
        Type("civic");
        QCOMPARE(Captions(), QStringList{"Honda Civic 2007"});
        // Escape drops the typed query; the remembered one still applies.
        QTest::keyClick(fBar->edtFilter, Qt::Key_Escape);
        QCOMPARE(Captions(), (QStringList{"Honda Civic 2007", "honda accord"}));
        QCOMPARE(fSearch->GetFilter().GetQueriesCount(), 1);
    }

    void aNegatedQueryWithAnAmpersandShowsItOnceAndRemovingItReapplies() {
        Type("a&b");
        QTest::mouseClick(fBar->cbFilterNOT, Qt::LeftButton);
        QTest::keyClick(fBar->edtFilter, Qt::Key_Return);  // Enter remembers the query
        QCOMPARE(fBar->StripCount(), 1);
        QCOMPARE(fBar->Strip(0)->fCaptionLabel->text(), QString("not having \"a&b\" in any field"));
        QCOMPARE(fModel->rowCount(), 3);
        QTest::mouseClick(fBar->Strip(0)->fButton, Qt::LeftButton);
        QCOMPARE(fBar->StripCount(), 0);
        QCOMPARE(fModel->rowCount(), 4);
        QCOMPARE(fSearch->GetFilter().GetQueriesCount(), 0);
    }

    void rememberingAnEmptyBarDoesNothing() {
        QTest::mouseClick(fBar->btnFilter, Qt::LeftButton);
        QCOMPARE(fBar->StripCount(), 0);
        QCOMPARE(fSearch->GetFilter().GetQueriesCount(), 0);
    }

    void anotherSearchBringsItsOwnStrips() {
        Type("honda");
        QTest::mouseClick(fBar->btnFilter, Qt::LeftButton);
        Type("typed only");
        TSearch other;
        fBar->SetSearch(&other);
        QCOMPARE(fBar->StripCount(), 0);
        QVERIFY(fBar->edtFilter->IsEmpty());
        fBar->SetSearch(fSearch.get());
        QCOMPARE(fBar->StripCount(), 1);
        QVERIFY(!fSearch->GetFilter().HasTempQuery());
        // Hiding the strips keeps their queries working.
        QTest::mouseClick(fBar->cbShowFilter, Qt::LeftButton, {}, QPoint(6, fBar->cbShowFilter->height() / 2));
        QCOMPARE(fBar->StripCount(), 0);
        fHelper->RebuildViewList(*fSearch);
        QCOMPARE(fModel->rowCount(), 2);
    }

    void theBarTakesTheHeightOfItsStripsUpToItsLimit() {
        int limit = 1000;
        fBar->HeightLimit = [&limit] { return limit; };
        fBar->OnFilterResized();
        const int empty = fBar->height();
        QCOMPARE(empty, fBar->gbFilter->height());
        Type("honda");
        QTest::mouseClick(fBar->btnFilter, Qt::LeftButton);
        Type("civic");
        QTest::mouseClick(fBar->btnFilter, Qt::LeftButton);
        QCOMPARE(fBar->height(), empty + 2 * fBar->Strip(0)->height());
        limit = empty;  // as a smaller window gives it
        fBar->OnFilterResized();
        QCOMPARE(fBar->height(), empty);
        QVERIFY(fBar->gbFilter->height() > empty);
        // Unticked, only the check box line is left, however many queries are remembered.
        limit = 1000;
        QTest::mouseClick(fBar->cbShowFilter, Qt::LeftButton, {}, QPoint(6, fBar->cbShowFilter->height() / 2));
        QVERIFY(fBar->height() < empty);
        QVERIFY(!fBar->pnlFilterHeader->isVisible());
        QTest::mouseClick(fBar->cbShowFilter, Qt::LeftButton, {}, QPoint(6, fBar->cbShowFilter->height() / 2));
        QCOMPARE(fBar->height(), empty + 2 * fBar->Strip(0)->height());
    }
};

TRAWLIX_UI_TEST(TestFilterBar)
#include "test_filter_bar.moc"
