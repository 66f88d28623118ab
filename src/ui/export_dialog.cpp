#include "ui/export_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/user_dialogs.h"

namespace trawlix {

TformExport::TformExport(IUserDialogs& aDialogs, QWidget* aParent) : QDialog(aParent), fDialogs(aDialogs) {
    setObjectName("formExport");
    setWindowTitle("Export");
    auto* layout = new QVBoxLayout(this);
    auto* columns = new QGroupBox("Columns included into the exported file", this);
    auto* grid = new QGridLayout(columns);
    cbDate = AddBox(*grid, "cbDate", "Date", true);
    cbCaption = AddBox(*grid, "cbCaption", "Caption", true);
    cbPrice = AddBox(*grid, "cbPrice", "Price", true);
    cbLocation = AddBox(*grid, "cbLocation", "Location", true);
    cbCategory = AddBox(*grid, "cbCategory", "Category", true);
    cbAdURL = AddBox(*grid, "cbAdURL", "Ad URL", true);
    cbDescription = AddBox(*grid, "cbDescription", "Description", false);
    cbImageURL = AddBox(*grid, "cbImageURL", "Image URL", false);
    cbContact = AddBox(*grid, "cbContact", "Contact", false);
    cbLongitude = AddBox(*grid, "cbLongitude", "Longitude", false);
    cbLatitude = AddBox(*grid, "cbLatitude", "Latitude", false);
    cbFavoriteNote = AddBox(*grid, "cbFavoriteNote", "Note (for favorites)", false);
    layout->addWidget(columns);
    auto* bottom = new QHBoxLayout;
    cbExportOnlyNew = new QCheckBox("Export only new results", this);
    cbExportOnlyNew->setObjectName("cbExportOnlyNew");
    btnExport = new QPushButton("Export", this);
    btnExport->setObjectName("btnExport");
    btnExport->setDefault(true);
    bottom->addWidget(cbExportOnlyNew);
    bottom->addStretch(1);
    bottom->addWidget(btnExport);
    layout->addLayout(bottom);
    connect(btnExport, &QPushButton::clicked, this, &TformExport::btnExportClick);
}

QCheckBox* TformExport::AddBox(QGridLayout& aGrid, const char* aName, const char* aCaption, bool aChecked) {
    auto* box = new QCheckBox(aCaption, this);
    box->setObjectName(aName);
    box->setChecked(aChecked);
    const int index = aGrid.count();
    aGrid.addWidget(box, index % 6, index / 6);
    return box;
}

void TformExport::PrepareFor(bool aFavouritesView) {
    cbFavoriteNote->setVisible(aFavouritesView);
    if (!aFavouritesView) cbFavoriteNote->setChecked(false);
}

TExportColumns TformExport::Columns() const {
    TExportColumns columns;
    columns.date = cbDate->isChecked();
    columns.caption = cbCaption->isChecked();
    columns.price = cbPrice->isChecked();
    columns.location = cbLocation->isChecked();
    columns.latitude = cbLatitude->isChecked();
    columns.longitude = cbLongitude->isChecked();
    columns.category = cbCategory->isChecked();
    columns.description = cbDescription->isChecked();
    columns.contact = cbContact->isChecked();
    columns.adURL = cbAdURL->isChecked();
    columns.imageURL = cbImageURL->isChecked();
    columns.favoriteNote = cbFavoriteNote->isChecked();
    return columns;
}

bool TformExport::ExportOnlyNew() const { return cbExportOnlyNew->isChecked(); }

void TformExport::btnExportClick() {
    const bool slow = cbContact->isChecked() || cbDescription->isChecked() || cbImageURL->isChecked();
    if (slow && !fDialogs.Confirm(cSlowColumnsQuestion)) return;
    accept();
}

}  // namespace trawlix
