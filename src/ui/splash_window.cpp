#include "ui/splash_window.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/site_search_enum.h"
#include "model/version.h"

namespace trawlix {

TformSplash::TformSplash(QWidget* aParent) : QDialog(aParent, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName("formSplash");
    setModal(true);
    setStyleSheet("QDialog#formSplash { background: white; border: 2px solid rgb(166,202,240); }");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    auto* logo = new QLabel(this);
    logo->setPixmap(QPixmap(":/pictures/trawlix.svg").scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);
    auto* thanks = new QLabel("Thank you for using Trawlix!", this);
    QFont big = thanks->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    thanks->setFont(big);
    thanks->setAlignment(Qt::AlignCenter);
    layout->addWidget(thanks);
    auto* version = new QLabel(QString("version: %1 ").arg(kVersion), this);
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(version);
    QStringList sites;
    for (const std::string& site : cSiteSearchStr) sites << QString::fromStdString(site);
    auto* searchIn = new QLabel(
        QString("Search in: <span style='color: rgb(0,128,0)'>%1</span>").arg(sites.join(", ")), this);
    searchIn->setAlignment(Qt::AlignCenter);
    layout->addWidget(searchIn);
    auto* escape = new QLabel("(ESC to close)", this);
    escape->setAlignment(Qt::AlignCenter);
    layout->addWidget(escape);
}

void TformSplash::Execute(int aMilliseconds) {
    if (aMilliseconds > 0) QTimer::singleShot(aMilliseconds, this, &QDialog::accept);
    exec();
}

void TformSplash::mousePressEvent(QMouseEvent* /*aEvent*/) { accept(); }

}  // namespace trawlix
