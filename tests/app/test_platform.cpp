#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/platform.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::ReadFile;
using trawlix::test::TempDir;
using trawlix::test::WriteFile;
namespace fs = std::filesystem;

// Where a program finds its installed files, from where its executable lies.
TEST(InstalledDataFolderTest, FoundBesideTheProgramWhereverTheInstallWasPut) {
    TempDir stage;  // as a DESTDIR install lays it out: <stage>/usr/bin, <stage>/usr/share/trawlix
    fs::create_directories(stage / "usr/bin");
    fs::create_directories(stage / "usr/share/trawlix");
    const fs::path expected = stage / "usr/share/trawlix";
    for (const fs::path& programs : {stage / "usr/bin", stage / "usr/bin/", stage / "usr/./bin/"})
        EXPECT_EQ(platform::InstalledDataFolderBeside(programs), expected) << programs;
}

TEST(InstalledDataFolderTest, BuildTreeUsesTheSourceData) {
    TempDir build;
    EXPECT_EQ(platform::InstalledDataFolderBeside(build.Path()), trawlix::test::SourceDataDir());
    // A "share" folder beside a build tree without our files in it is not an installation.
    fs::create_directories(build / "share/other");
    EXPECT_EQ(platform::InstalledDataFolderBeside(build / "bin"), trawlix::test::SourceDataDir());
}

TEST(CopyMissingInstalledFilesTest, CopiesTheProgramsDataOnlyAndKeepsTheUsers) {
    TempDir installed, data;
    WriteFile(installed / "Places.cur", "installed places");
    WriteFile(installed / "news/news.html", "installed news");
    WriteFile(installed / "maps/usa.cur", "installed map");
    WriteFile(installed / "object_storage.cur", "installed database");
    WriteFile(installed / "object_storage.sql", "schema");
    WriteFile(installed / "sources/places.tsv", "public source");
    WriteFile(installed / "systemd/trawlix-watch.service", "[Service]");
    WriteFile(data / "object_storage.cur", "the user's database");

    platform::CopyMissingInstalledFiles(installed.Path(), data.Path());

    EXPECT_EQ(ReadFile(data / "Places.cur"), "installed places");
    EXPECT_EQ(ReadFile(data / "object_storage.cur"), "the user's database");
    // The maps and the news are read where they are installed.
    for (const char* left : {"object_storage.sql", "sources", "systemd", "maps", "news"})
        EXPECT_FALSE(fs::exists(data / left)) << left;
}
