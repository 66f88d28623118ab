#include "app/problem_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

#include "model/alert.h"
#include "model/sqlite_db.h"

namespace trawlix {

namespace {

// Every stored value whose name speaks of a password: accounts' "password", the profile's
// pass and whatever is stored the same way later; and the alerts' notification URLs, which
// carry the services' tokens.
void BlankPasswords(TSQLiteDB& aCopy) {
    aCopy.ExecSQL("PRAGMA secure_delete = ON");
    if (aCopy.TableExists("props"))
        aCopy.ExecSQL("UPDATE props SET value = '' WHERE lower(name) LIKE '%pass%' OR name = ?",
                      {std::string(cAlertDestinationsProp)});
    if (aCopy.TableExists("global_props"))
        aCopy.ExecSQL("UPDATE global_props SET value = '' WHERE lower(name) LIKE '%pass%'");
}

void RemoveIfPresent(const std::filesystem::path& aFile) {
    std::error_code ignored;
    std::filesystem::remove(aFile, ignored);
}

// Whether aPath, with its links followed, is aFolder or lies inside it.
bool IsInsideFolder(const std::filesystem::path& aPath, const std::filesystem::path& aFolder) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(aFolder, error);
    if (error) return false;
    const std::filesystem::path path = std::filesystem::weakly_canonical(aPath, error);
    if (error) return false;
    const auto folderEnd = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first;
    return folderEnd == folder.end() || (std::next(folderEnd) == folder.end() && folderEnd->empty());
}

// The report would replace or sit beside the live data: the database, its backup, the
// crash reports. A report written over the database leaves the user without passwords.
void RefuseTargetInDataFolder(const std::filesystem::path& aDataFolder, const std::filesystem::path& aTarget) {
    if (IsInsideFolder(aTarget, aDataFolder))
        throw std::runtime_error("The problem report cannot be written to " + aTarget.string() +
                                 ": it is inside the data folder " + aDataFolder.string() +
                                 "; choose a file elsewhere");
}

// An empty file only the user may read, for the copy to go into: the report holds addresses,
// hosts, user names and searches.
void CreatePrivateFile(const std::filesystem::path& aFile) {
    const int fd = ::open(aFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), aFile.string());
    const bool tightened = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ::close(fd);
    if (!tightened) throw std::runtime_error("cannot keep " + aFile.string() + " private");
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
    RefuseTargetInDataFolder(aDatabase.parent_path(), aTarget);
    // Made beside the target and renamed over it, so a failure leaves no half report.
    std::filesystem::path scratch = aTarget;
    scratch += ".part";
    RemoveIfPresent(scratch);
    try {
        CreatePrivateFile(scratch);
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
