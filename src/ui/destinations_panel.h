#pragma once

#include <QGroupBox>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace trawlix {

class IUserDialogs;
class TAlert;

inline constexpr const char* cNoDestinationsText =
    "None: notifications go through the global alerts settings.";

// The notification URLs of one alert: listed without their tokens, each with a button that
// sends it a test message; added (checked first) and removed here, written to the alert at once.
class TDestinationsPanel : public QGroupBox {
    Q_OBJECT
public:
    TDestinationsPanel(IUserDialogs& aDialogs, QWidget* aParent);

    // The alert to show and edit; none empties and disables the panel.
    void SetAlert(TAlert* aAlert);

    // Asks for a line of text (caption, prompt, proposed text); none when cancelled.
    std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> AskText;
    // Sends a test message to one URL.
    std::function<void(const std::string& aURL)> TestDestination;

    QTreeWidget* lvDestinations;
    QLabel* lblNoDestinations;
    QPushButton* btnAddDestination;
    QPushButton* btnRemoveDestination;

private:
    void Refill();
    void AddClick();
    void RemoveClick();

    IUserDialogs& fDialogs;
    TAlert* fAlert = nullptr;
};

}  // namespace trawlix
