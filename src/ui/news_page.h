#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>

class QPushButton;
class QTextBrowser;

namespace trawlix {

// "What's new": the news of this version, shown in the main window's place of the search
// criteria and results while its tab is selected.
class TNewsPage : public QWidget {
    Q_OBJECT
public:
    explicit TNewsPage(QWidget* aParent = nullptr);

    // Shows aPage; a page that cannot be read says where it was looked for.
    void Load(const std::filesystem::path& aPage);

    // The close button: the window closes the tab as it closes any tab.
    std::function<void()> OnClose;

    QTextBrowser* browserNews;
    QPushButton* btnClose;
};

}  // namespace trawlix
