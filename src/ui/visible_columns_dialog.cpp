#include "ui/visible_columns_dialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/settings.h"

namespace trawlix {

TformVisibleColumns::TformVisibleColumns(QWidget* aParent) : QDialog(aParent) {
    setObjectName("formVisibleColumns");
    setWindowTitle("Visible columns");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Select the visible columns:", this));
    const auto addBox = [&](const char* aName, const char* aCaption) {
        auto* box = new QCheckBox(aCaption, this);
        box->setObjectName(aName);
        box->setChecked(true);
        layout->addWidget(box);
        return box;
    };
    cbImage = addBox("cbImage", "Image");
    cbDate = addBox("cbDate", "Date");
    cbCaption = addBox("cbCaption", "Caption");
    cbCaption->setEnabled(false);
    cbPrice = addBox("cbPrice", "Price");
    cbLocation = addBox("cbLocation", "Location");
    cbCategory = addBox("cbCategory", "Category");
    cbFoundOn = addBox("cbFoundOn", "Found on");
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnClose");
    layout->addWidget(btnClose);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);  // Esc rejects; both store
}

const std::vector<TformVisibleColumns::TColumnKey>& TformVisibleColumns::OptionalColumns() {
    static const std::vector<TColumnKey> columns = {{"Image", "cbImage"},       {"Date", "cbDate"},
                                                    {"Price", "cbPrice"},       {"Location", "cbLocation"},
                                                    {"Category", "cbCategory"}, {"Found on", "cbFoundOn"}};
    return columns;
}

std::vector<QCheckBox*> TformVisibleColumns::Boxes() const {
    return {cbImage, cbDate, cbCaption, cbPrice, cbLocation, cbCategory, cbFoundOn};
}

void TformVisibleColumns::LoadFrom(TSettings& aSettings) {
    for (QCheckBox* box : Boxes()) box->setChecked(true);
    TCLock lock(aSettings.GetCriticalSection());
    const std::map<std::string, std::string> stored = aSettings.GetVisibleColumns();
    if (stored.empty()) return;
    for (QCheckBox* box : Boxes()) {
        const auto found = stored.find(box->objectName().toStdString());
        box->setChecked(found != stored.end() && !found->second.empty());
    }
    cbCaption->setChecked(true);
}

void TformVisibleColumns::StoreTo(TSettings& aSettings) const {
    {
        TCLock lock(aSettings.GetCriticalSection());
        std::map<std::string, std::string> stored = aSettings.GetVisibleColumns();
        for (QCheckBox* box : Boxes()) stored.erase(box->objectName().toStdString());
        stored["cbCaption"] = "true";
        for (QCheckBox* box : Boxes())
            if (box->isChecked()) stored[box->objectName().toStdString()] = "true";
        aSettings.SetVisibleColumns(stored);
    }
    aSettings.SaveSettings();
}

void TformVisibleColumns::Execute(TSettings& aSettings, QWidget* aParent) {
    TformVisibleColumns dialog(aParent);
    dialog.LoadFrom(aSettings);
    dialog.exec();
    try {
        dialog.StoreTo(aSettings);
    } catch (const std::exception& e) {
        // A full disk must not end the program from inside the event loop.
        QMessageBox::warning(aParent, "Trawlix", QString("The settings could not be saved: ") + e.what());
    }
}

}  // namespace trawlix
