#pragma once

#include <QLocalServer>
#include <QObject>

#include <filesystem>
#include <functional>

namespace trawlix {

inline constexpr const char* cBringToFrontMessage = "BringTrawlixToFront";

// The first instance's ear: a local socket on which a second start says
// "BringTrawlixToFront". The lock file decides who is first; this only listens.
class TBringToFrontServer : public QObject {
    Q_OBJECT
public:
    TBringToFrontServer(const std::filesystem::path& aSocketPath, std::function<void()> aOnBringToFront,
                        QObject* aParent = nullptr);
    bool IsListening() const { return fServer.isListening(); }

private:
    void OnNewConnection();

    QLocalServer fServer;
    std::function<void()> fOnBringToFront;
};

}  // namespace trawlix
