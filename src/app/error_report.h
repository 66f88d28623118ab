#pragma once

#include <string>

#include "mail/notification_transports.h"

namespace trawlix {

class TProxySettings;

inline constexpr const char* kReportSentText = "The report was sent successfully.\r\nThanks for your cooperation!";
inline constexpr const char* kReportNotSentText =
    "The report was NOT sent successfully. \r\nThe following error occurred: \r\n";

// The HTML mail of an error report: the user's note, then the debug text line by line.
std::string ErrorReportBody(const std::string& aNote, const std::string& aDebugInfo);

// The request to the vendor's mail service that carries an error report to support.
TVendorMailRequest ErrorReportRequest(const std::string& aNote, const std::string& aDebugInfo);

// Sends an error report through the vendor's mail service; raises ENotificationError with
// the reason when it did not go out.
void SendErrorReport(const std::string& aVendorHost, TProxySettings& aProxySettings, const std::string& aNote,
                     const std::string& aDebugInfo);

}  // namespace trawlix
