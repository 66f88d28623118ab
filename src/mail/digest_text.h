#pragma once

#include <string>

#include "mail/notification_transport.h"

namespace trawlix {

// The texts the transports that are not e-mail share.

// "New results available for <name>".
std::string DigestTitle(const TAlertNotification& aNotification);
// "3 new" or "30 new, 20 listed".
std::string DigestCounts(const TAlertNotification& aNotification);
// The digest as plain text: a heading line (with the digest's id, so that a cut body keeps
// it), then each listed result with its link, then the price drops with both prices.
std::string DigestPlainText(const TAlertNotification& aNotification);
// The text of a test message of either kind.
std::string TestText(TTestMessageKind aKind);
// "1234.50".
std::string PlainPrice(double aPrice);

}  // namespace trawlix
