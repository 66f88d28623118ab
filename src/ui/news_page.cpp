#include "ui/news_page.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace trawlix {

TNewsPage::TNewsPage(QWidget* aParent) : QWidget(aParent) {
    setObjectName("pnlNews");
    browserNews = new QTextBrowser(this);
    browserNews->setObjectName("browserNews");
    // The news links to the vendor's pages: they belong in the user's browser.
    browserNews->setOpenExternalLinks(true);
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnCloseNews");
    connect(btnClose, &QPushButton::clicked, this, [this] {
        if (OnClose) OnClose();
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browserNews, 1);
    layout->addLayout(buttons);
}

void TNewsPage::Load(const std::filesystem::path& aPage) {
    const QString file = QString::fromStdString(aPage.string());
    browserNews->setSource(QUrl::fromLocalFile(file));
    if (browserNews->toPlainText().trimmed().isEmpty())
        browserNews->setPlainText("The news page was not found at " + file);
}

}  // namespace trawlix
