// Commands that only read leave the user's files as they found them: the database, its
// backup and the settings file keep their bytes and their modification times.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/test_support.h"

using trawlix::test::ReadFile;
using trawlix::test::RunCli;
using trawlix::test::TempDir;
namespace fs = std::filesystem;

namespace {

struct TFileState {
    fs::file_time_type modified;
    std::string bytes;
    bool operator==(const TFileState&) const = default;
};

TFileState StateOf(const fs::path& aFile) { return {fs::last_write_time(aFile), ReadFile(aFile)}; }

TEST(CliStorage, ReadingCommandsLeaveTheDatabaseItsBackupAndTheSettingsAlone) {
    TempDir profile;
    auto added = RunCli(profile.Path(), {"add-search", "--name", "Lamps", "--keywords", "lamp", "--location", "10011",
                                         "--category", "24", "--sites", "craigslist"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    // The first start of a command that may write refreshes the backup; reading ones never do.
    ASSERT_EQ(RunCli(profile.Path(), {"config", "DoNotify", "0"}).exitCode, 0);
    const fs::path files[] = {profile / "data/object_storage.cur", profile / "data/object_storage.tmp",
                              profile / "config/settings.conf"};
    std::vector<TFileState> before;
    for (const auto& file : files) before.push_back(StateOf(file));
    EXPECT_EQ(before[0].bytes, before[1].bytes) << "the backup is a copy of the database";

    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"info"}, {"info", "--json"}, {"searches"}, {"results", "Lamps"}}) {
        auto result = RunCli(profile.Path(), command);
        ASSERT_EQ(result.exitCode, 0) << command[0] << ": " << result.err;
        for (size_t i = 0; i < std::size(files); ++i)
            EXPECT_TRUE(StateOf(files[i]) == before[i]) << command[0] << " changed " << files[i];
    }
}

}  // namespace
