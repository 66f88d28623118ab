#include "app/error_report.h"

#include "app/problem_report.h"
#include "engine/text_functions.h"

namespace trawlix {

std::string ErrorReportBody(const std::string& aNote, const std::string& aDebugInfo) {
    return "<html><head></head><body><div></div><p>Custom note: " + EscapeHTML(aNote) + "</p><p>" +
           ReplaceAll(EscapeHTML(aDebugInfo), "\r\n", "<br/>") + "</p></body></html>";
}

TVendorMailRequest ErrorReportRequest(const std::string& aNote, const std::string& aDebugInfo) {
    TVendorMailRequest request;
    request.to = kSupportAddress;
    request.subject = "Error report: ";
    request.encodeSubject = false;
    request.isHTML = true;
    request.message = ErrorReportBody(aNote, aDebugInfo);
    request.from = std::string("Error report <") + kErrorReportSender + ">";
    return request;
}

void SendErrorReport(const std::string& aVendorHost, TProxySettings& aProxySettings, const std::string& aNote,
                     const std::string& aDebugInfo) {
    PostVendorMail(aVendorHost, aProxySettings, ErrorReportRequest(aNote, aDebugInfo));
}

}  // namespace trawlix
