#include "ui/web_preview.h"

#include <QAuthenticator>
#include <QDesktopServices>
#include <QDir>
#include <QNetworkProxy>
#include <QPointer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <system_error>

#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "sites/posting_scrapers.h"

namespace trawlix {

namespace fs = std::filesystem;

// The preview's page: asks the preview before every navigation and keeps script dialogs
// and console noise of the ad sites away from the user.
class TPreviewPage : public QWebEnginePage {
public:
    TPreviewPage(QWebEngineProfile* aProfile, TWebPreview& aPreview) : QWebEnginePage(aProfile, &aPreview), fPreview(aPreview) {}

protected:
    bool acceptNavigationRequest(const QUrl& aUrl, NavigationType, bool) override {
        return fPreview.AcceptNavigation(aUrl);
    }
    // A link meant for a new window goes to the default browser.
    QWebEnginePage* createWindow(WebWindowType) override {
        auto* page = new TNewWindowPage(profile(), fPreview);
        return page;
    }
    void javaScriptAlert(const QUrl&, const QString&) override {}
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int, const QString&) override {}

private:
    // Lives for one navigation: hands the address to the default browser and goes.
    class TNewWindowPage : public QWebEnginePage {
    public:
        TNewWindowPage(QWebEngineProfile* aProfile, TWebPreview& aPreview)
            : QWebEnginePage(aProfile, &aPreview), fPreview(aPreview) {}

    protected:
        bool acceptNavigationRequest(const QUrl& aUrl, NavigationType, bool) override {
            if (fPreview.OpenExternally) fPreview.OpenExternally(aUrl);
            deleteLater();
            return false;
        }

    private:
        TWebPreview& fPreview;
    };

    TWebPreview& fPreview;
};

TWebPreview::TWebPreview(const TOptions& aOptions, QWidget* aParent)
    : QWidget(aParent),
      fOptions(aOptions),
      fCache(aOptions.dataFolder),
      fPolicy(aOptions.craigslistDomain, aOptions.vendorDomain),
      fLayout(new QVBoxLayout(this)) {
    setObjectName("tsWebPreview");
    fLayout->setContentsMargins(0, 0, 0, 0);
    OpenExternally = [](const QUrl& aAddress) { QDesktopServices::openUrl(aAddress); };
}

TWebPreview::~TWebPreview() {
    // Every page must go before the profile it was made with.
    delete fBrowser;
    for (QWebEnginePage* page : findChildren<QWebEnginePage*>()) delete page;
    fProfile.reset();
}

namespace {

// The preview's browser goes through the program's proxy, as every other request does. The
// engine takes only the type, host and port of the application proxy; the credentials are
// given when the proxy asks for them.
TProxySettings* ProgramProxy() {
    if (!Session()) return nullptr;
    TProxySettings& proxy = Session()->GetSettings().GetProxySettings();
    return proxy.GetEnabled() && !proxy.GetHost().empty() ? &proxy : nullptr;
}

void ApplyProgramProxy() {
    const TProxySettings* proxy = ProgramProxy();
    if (!proxy) return;
    const auto type = proxy->GetIsSOCKS() ? QNetworkProxy::Socks5Proxy : QNetworkProxy::HttpProxy;
    QNetworkProxyFactory::setUseSystemConfiguration(false);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(type, QString::fromStdString(proxy->GetHost()),
                                                     static_cast<quint16>(proxy->GetPort())));
}

void AnswerProxyAuthentication(QAuthenticator* aAuthenticator) {
    const TProxySettings* proxy = ProgramProxy();
    if (!proxy) return;
    aAuthenticator->setUser(QString::fromStdString(proxy->GetUsername()));
    aAuthenticator->setPassword(QString::fromStdString(proxy->GetPassword()));
}

}  // namespace

void TWebPreview::EnsureBrowser() {
    if (fBrowser) return;
    ApplyProgramProxy();
    // Off the record: the ad sites' cookies and cache stay out of the user's files.
    fProfile = std::make_unique<QWebEngineProfile>();
    fPage = new TPreviewPage(fProfile.get(), *this);
    fBrowser = new QWebEngineView(this);
    fBrowser->setObjectName("wbPreview");
    fBrowser->setPage(fPage);
    fLayout->addWidget(fBrowser);
    connect(fPage, &QWebEnginePage::proxyAuthenticationRequired, this,
            [](const QUrl&, QAuthenticator* aAuthenticator, const QString&) { AnswerProxyAuthentication(aAuthenticator); });
    connect(fPage, &QWebEnginePage::loadStarted, this, [this] { NoteLoadActivity(); });
    connect(fPage, &QWebEnginePage::loadFinished, this, [this](bool aOk) { OnLoadFinished(aOk); });
    connect(fProfile.get(), &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest* aDownload) {
        NoteLoadActivity();
        connect(aDownload, &QWebEngineDownloadRequest::isFinishedChanged, this, [this] { NoteLoadActivity(); });
    });
}

void TWebPreview::NoteLoadActivity() { fPolicy.NoteLoadActivity(TPreviewNavigationPolicy::TClock::now()); }

bool TWebPreview::AcceptNavigation(const QUrl& aAddress) {
    const auto decision =
        fPolicy.Decide(aAddress.toString().toStdString(), fCurrentPreviewURL, TPreviewNavigationPolicy::TClock::now());
    if (decision.openExternally && OpenExternally) OpenExternally(aAddress);
    return decision.allow;
}

std::string TWebPreview::SelectedLink() const {
    const IEntry entry = SelectedEntry ? SelectedEntry() : nullptr;
    return entry ? entry->GetLink() : cBlankPreviewURL;
}

void TWebPreview::ShowEntry(const IEntry& aEntry) {
    const std::string link = aEntry ? aEntry->GetLink() : cBlankPreviewURL;
    const std::string shown = fBrowser ? fBrowser->url().toString().toStdString() : std::string();
    if (shown == link || (IsActive && !IsActive())) return;
    QPointer<TWebPreview> self(this);
    Synch().SynchronizeNonBlocking(
        [self, link](const std::string&) {
            if (self) self->NavigateIfStillSelected(link);
        },
        "", cNavigationDelayMs, true);
}

// Selections that follow each other quickly load only the last one.
void TWebPreview::NavigateIfStillSelected(const std::string& aLink) {
    if (Exiting && Exiting()) return;
    if (SelectedLink() != aLink) return;
    if (aLink != cBlankPreviewURL && fCache.HasArchive(aLink))
        Navigate(QUrl::fromLocalFile(QString::fromStdString(fCache.ArchivePath(aLink).string())).toString().toStdString());
    else
        Navigate(aLink);
}

void TWebPreview::ShowBlank() { Navigate(cBlankPreviewURL); }

void TWebPreview::Navigate(const std::string& aAddress) {
    EnsureBrowser();
    fCurrentPreviewURL = aAddress;
    fBrowser->load(QUrl(QString::fromStdString(aAddress)));
}

void TWebPreview::OnLoadFinished(bool aOk) {
    NoteLoadActivity();
    const QUrl address = fBrowser->url();
    const IEntry entry = SelectedEntry ? SelectedEntry() : nullptr;
    if (aOk && entry && fCurrentPreviewURL != cBlankPreviewURL && address.toString() != cBlankPreviewURL) {
        entry->SetVisited(true);
        if (entry->GetContact().empty() || OnAdPage)
            ReadShownPage(entry);
        else if (OnEntryUpdated)
            OnEntryUpdated(entry);
        // Named by the ad's own address, so that the next selection of the ad finds it.
        if (!TPageCache::IsArchiveAddress(fCurrentPreviewURL) && fCurrentPreviewURL == entry->GetLink())
            ArchivePage(fCurrentPreviewURL);
    }
    emit DocumentCompleted(address);
}

void TWebPreview::ReadShownPage(const IEntry& aEntry) {
    QPointer<TWebPreview> self(this);
    const TPostingSource source = aEntry->GetFromSite() == ssCraigslist ? TPostingSource::Craigslist
                                                                         : TPostingSource::OtherSite;
    fPage->toHtml([self, aEntry, source](const QString& aHtml) {
        if (!self) return;
        const std::string page = aHtml.toStdString();
        try {
            if (aEntry->GetContact().empty()) aEntry->SetContact(GetEntryEmail(source, page));
            if (self->OnAdPage) self->OnAdPage(aEntry, page);
        } catch (...) {
            // A page the scrapers cannot read leaves the result as it was.
        }
        if (self->OnEntryUpdated) self->OnEntryUpdated(aEntry);
    });
}

void TWebPreview::ArchivePage(const std::string& aAddress) {
    if (fCache.HasArchive(aAddress)) return;
    const fs::path path = fCache.ArchivePath(aAddress);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) {
        emit PageArchived({});
        return;
    }
    const QString file = QString::fromStdString(path.string());
    // The save runs in the background as a download; tell once the file is complete.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(fProfile.get(), &QWebEngineProfile::downloadRequested, this,
                          [this, file, connection](QWebEngineDownloadRequest* aDownload) {
                              if (QDir(aDownload->downloadDirectory()).filePath(aDownload->downloadFileName()) != file)
                                  return;
                              disconnect(*connection);
                              connect(aDownload, &QWebEngineDownloadRequest::isFinishedChanged, this,
                                      [this, file, aDownload] {
                                          if (!aDownload->isFinished()) return;
                                          const bool saved =
                                              aDownload->state() == QWebEngineDownloadRequest::DownloadCompleted &&
                                              TPageCache::TrimArchive(fs::path(file.toStdString()));
                                          emit PageArchived(saved ? file : QString());
                                      });
                          });
    fPage->save(file, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
}

}  // namespace trawlix
