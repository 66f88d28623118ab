#pragma once

#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "model/entry.h"
#include "ui/page_cache.h"
#include "ui/preview_navigation.h"

class QWebEngineProfile;
class QWebEngineView;
class QVBoxLayout;

namespace trawlix {

class TPreviewPage;

// The ad preview (tab "Web Preview"): shows the selected ad's page, archives each page once
// and shows the archive from then on. The browser starts with the first page it shows.
class TWebPreview : public QWidget {
    Q_OBJECT
public:
    // Shown when nothing is selected.
    static constexpr const char* cBlankPreviewURL = "about:blank";
    static constexpr int cNavigationDelayMs = 500;

    struct TOptions {
        std::filesystem::path dataFolder;
        std::string craigslistDomain = "craigslist.org";
        std::string vendorDomain;
    };

    TWebPreview(const TOptions& aOptions, QWidget* aParent = nullptr);
    ~TWebPreview() override;

    // The entry selected now, or null.
    std::function<IEntry()> SelectedEntry;
    // False while another tab of the preview pane is in front: nothing is loaded then.
    std::function<bool()> IsActive;
    // The window is closing.
    std::function<bool()> Exiting;
    // The loaded page gave the entry its contact (or marked it visited): show it again.
    std::function<void(const IEntry& aEntry)> OnEntryUpdated;
    // The ad's page, loaded and shown: what it tells of the ad goes into the result.
    std::function<void(const IEntry& aEntry, const std::string& aPage)> OnAdPage;
    // Opens an address in the user's default browser.
    std::function<void(const QUrl& aAddress)> OpenExternally;

    // The selection changed (null: nothing selected). The page follows after a short
    // delay, and only if the selection has not moved on meanwhile.
    void ShowEntry(const IEntry& aEntry);
    // At once, without waiting: the blank page (a tab was selected, results cleared).
    void ShowBlank();

    const std::string& CurrentPreviewURL() const { return fCurrentPreviewURL; }
    TPageCache& Cache() { return fCache; }
    TPreviewNavigationPolicy& Policy() { return fPolicy; }
    // wbPreview; null until the first page is shown.
    QWebEngineView* Browser() const { return fBrowser; }

    // Called by the browser page before every navigation; false cancels it.
    bool AcceptNavigation(const QUrl& aAddress);

signals:
    // The page is in its archive (aPath), or could not be archived (empty).
    void PageArchived(const QString& aPath);
    void DocumentCompleted(const QUrl& aAddress);

private:
    void EnsureBrowser();
    void NavigateIfStillSelected(const std::string& aLink);
    void Navigate(const std::string& aAddress);
    std::string SelectedLink() const;
    void OnLoadFinished(bool aOk);
    void ReadShownPage(const IEntry& aEntry);
    void ArchivePage(const std::string& aAddress);
    void NoteLoadActivity();

    TOptions fOptions;
    TPageCache fCache;
    TPreviewNavigationPolicy fPolicy;
    std::string fCurrentPreviewURL;
    QVBoxLayout* fLayout;
    std::unique_ptr<QWebEngineProfile> fProfile;
    QWebEngineView* fBrowser = nullptr;
    TPreviewPage* fPage = nullptr;
};

}  // namespace trawlix
