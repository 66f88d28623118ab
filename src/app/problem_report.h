#pragma once

#include <filesystem>
#include <string>

namespace trawlix {

// The vendor's addresses for reports (error reports and problem reports go there).
inline constexpr const char* kSupportAddress = "support@velmorasolutions.com";
inline constexpr const char* kErrorReportSender = "errors@velmorasolutions.com";

// The name the user chose, with ".cur" added when it has no extension.
std::filesystem::path ProblemReportFile(const std::filesystem::path& aChosen);

// Writes a copy of the database aDatabase to aTarget (replacing it) with every stored
// password blanked: the user is about to mail it to someone. The copy is made by SQLite
// itself, so a database in use copies consistently, and blanked values leave nothing in
// the copy's free pages. The report is readable by the user only (0600): it still holds
// the accounts' hosts and user names, the addresses and the searches. A target inside the
// database's folder (the database itself, its backup, anything beside them), also through a
// link, is refused. Raises with the reason when it cannot.
void WriteProblemReport(const std::filesystem::path& aDatabase, const std::filesystem::path& aTarget);

// "The problem report was generated successfully." and where to send it.
std::string ProblemReportDoneText();

}  // namespace trawlix
