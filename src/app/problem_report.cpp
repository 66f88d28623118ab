#include "app/problem_report.h"

#include <stdexcept>
#include <system_error>

#include "model/sqlite_db.h"

namespace trawlix {

namespace {

// Every stored value whose name speaks of a password: accounts' "password", the profile's
// pass and whatever is stored the same way later.
void BlankPasswords(TSQLiteDB& aCopy) {
    aCopy.ExecSQL("PRAGMA secure_delete = ON");
    if (aCopy.TableExists("props")) aCopy.ExecSQL("UPDATE props SET value = '' WHERE lower(name) LIKE '%pass%'");
    if (aCopy.TableExists("global_props"))
        aCopy.ExecSQL("UPDATE global_props SET value = '' WHERE lower(name) LIKE '%pass%'");
}

void RemoveIfPresent(const std::filesystem::path& aFile) {
    std::error_code ignored;
    std::filesystem::remove(aFile, ignored);
}

}  // namespace

std::filesystem::path ProblemReportFile(const std::filesystem::path& aChosen) {
    if (aChosen.filename().string().find('.') != std::string::npos) return aChosen;
    std::filesystem::path file = aChosen;
    file += ".cur";
    return file;
}

void WriteProblemReport(const std::filesystem::path& aDatabase, const std::filesystem::path& aTarget) {
    if (!std::filesystem::exists(aDatabase)) throw std::runtime_error("there is no database at " + aDatabase.string());
    // Made beside the target and renamed over it, so a failure leaves no half report.
    std::filesystem::path scratch = aTarget;
    scratch += ".part";
    RemoveIfPresent(scratch);
    try {
        {
            TSQLiteDB source(aDatabase.string());
            source.ExecSQL("VACUUM INTO ?", {scratch.string()});
        }
        {
            TSQLiteDB copy(scratch.string());
            BlankPasswords(copy);
        }
        std::filesystem::rename(scratch, aTarget);
    } catch (const std::exception& error) {
        RemoveIfPresent(scratch);
        throw std::runtime_error("The problem report could not be written to " + aTarget.string() + ": " +
                                 error.what());
    }
}

std::string ProblemReportDoneText() {
    return std::string("The problem report was generated successfully.\nYou can now attach it to an email and send it to ") +
           kSupportAddress + "\nThanks!";
}

}  // namespace trawlix
