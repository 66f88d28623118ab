#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace trawlix {

// A notification that could not be delivered; the message says why.
class ENotificationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One result as a digest lists it.
struct TDigestResult {
    std::string title;
    std::string link;
    double price = -1;  // -1 when the ad gave none
    std::string location;
    std::string email;  // the advertiser's address when the ad shows one
    double priceWas = -1;  // the price before it dropped; -1 for a new result
};

// Everything one digest says, in the forms each transport needs. A part with an empty
// address is not sent.
struct TAlertNotification {
    std::string searchName;
    int count = 0;                        // new results counted
    std::vector<TDigestResult> results;   // the ones listed
    std::vector<TDigestResult> priceDrops;  // results seen before whose price dropped
    // Names the digest: the same results told again carry the same id, so a receiver can
    // drop a repeat (a digest sent again after the program was killed before it noted it).
    std::string digestId;
    std::string emailTo;
    std::string emailSubject;             // "New results available for <name>"
    std::string emailHTML;
    std::string smsTo;                    // the carrier's e-mail-to-SMS address
    std::string smsText;
    // Set for a notice that is not a digest (a site that turned bad or works again): web
    // hooks carry these instead of the results.
    std::string noticeTitle;
    std::string noticeText;
};

// The test messages of the notification settings.
enum class TTestMessageKind { Email, SMS };
inline constexpr const char* cTestEmailSubject = "Notifications Test Email";
inline constexpr const char* cTestSMSSubject = "Test message";
inline constexpr const char* cTestSMSText = "This is a test notifications email that you have requested.";
extern const char* const cTestEmailHTML;

// How notifications leave the program: the vendor's mail service, one of the user's own
// SMTP accounts, or a web hook. Sending blocks until the peer answered; each call raises
// ENotificationError when the message did not go out.
class INotificationTransport {
public:
    virtual ~INotificationTransport() = default;
    // The transport as the settings name it: "vendor", "smtp:<account id>", "webhook".
    virtual std::string GetName() const = 0;
    // Sends the digest's SMS and e-mail parts (a web hook gets the digest once).
    virtual void SendAlert(const TAlertNotification& aNotification) = 0;
    virtual void SendTest(TTestMessageKind aKind, const std::string& aTo) = 0;
};
using INotificationTransportPtr = std::shared_ptr<INotificationTransport>;

}  // namespace trawlix
