#pragma once

#include <QDialog>

#include "run/csv_export.h"

class QCheckBox;
class QGridLayout;
class QPushButton;

namespace trawlix {

class IUserDialogs;

// "Export": which columns go into the CSV file. One dialog serves the whole run, so the
// boxes keep their state from one export to the next.
class TformExport : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* cSlowColumnsQuestion =
        "Including information about the contact, image URL or ad description in the exported file takes more "
        "time. Do you want to continue?";

    TformExport(IUserDialogs& aDialogs, QWidget* aParent = nullptr);

    // Before showing: "Note (for favorites)" is offered only in the favourites view.
    void PrepareFor(bool aFavouritesView);
    TExportColumns Columns() const;
    bool ExportOnlyNew() const;

    QCheckBox* cbDate;
    QCheckBox* cbCaption;
    QCheckBox* cbPrice;
    QCheckBox* cbLocation;
    QCheckBox* cbCategory;
    QCheckBox* cbAdURL;
    QCheckBox* cbDescription;
    QCheckBox* cbImageURL;
    QCheckBox* cbContact;
    QCheckBox* cbLongitude;
    QCheckBox* cbLatitude;
    QCheckBox* cbFavoriteNote;
    QCheckBox* cbExportOnlyNew;
    QPushButton* btnExport;

private:
    void btnExportClick();
    QCheckBox* AddBox(QGridLayout& aGrid, const char* aName, const char* aCaption, bool aChecked);

    IUserDialogs& fDialogs;
};

}  // namespace trawlix
