// timeline: the bars of a search's results per day, as text, JSON and a picture.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>

#include "support/sitesim_fixture.h"
#include "support/test_support.h"

using trawlix::test::RunCli;
using trawlix::test::TempDir;

namespace {

// "Dec-9": a day's bar label, aDaysBack days before today.
std::string DayLabel(int aDaysBack) {
    std::time_t when = std::time(nullptr) - static_cast<std::time_t>(aDaysBack) * 86400;
    std::tm local{};
    localtime_r(&when, &local);
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return std::string(kMonths[local.tm_mon]) + "-" + std::to_string(local.tm_mday);
}

class CliTimeline : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RunCli(fProfile.Path(), {"proxy", "--enable", "--host", "127.0.0.1", "--port",
                                           std::to_string(fSim.Port())})
                      .exitCode,
                  0);
        // The simulator dates forty ads a day back from today: 100 ads fall on three days.
        ASSERT_EQ(RunCli(fProfile.Path(), {"add-search", "--name", "Lamps", "--keywords", "lamp count100",
                                           "--location", "10011", "--category", "24", "--sites", "craigslist"})
                      .exitCode,
                  0);
        auto run = RunCli(fProfile.Path(), {"run", "Lamps"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }

    trawlix::test::TSiteSimulator fSim;
    TempDir fProfile;
};

TEST_F(CliTimeline, BarsRunInDateOrderAsTextAndJson) {
    auto text = RunCli(fProfile.Path(), {"timeline", "Lamps"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, DayLabel(2) + "\t20\n" + DayLabel(1) + "\t40\n" + DayLabel(0) + "\t40\n");

    auto json = RunCli(fProfile.Path(), {"timeline", "Lamps", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out, "[{\"label\":\"" + DayLabel(2) + "\",\"count\":20},{\"label\":\"" + DayLabel(1) +
                            "\",\"count\":40},{\"label\":\"" + DayLabel(0) + "\",\"count\":40}]\n");
}

TEST_F(CliTimeline, FilteredOutResultsAreNotCounted) {
    ASSERT_EQ(RunCli(fProfile.Path(), {"filter", "Lamps", "add", "no ad has this text"}).exitCode, 0);
    auto text = RunCli(fProfile.Path(), {"timeline", "Lamps"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "");
}

TEST_F(CliTimeline, RenderWritesAPicture) {
    const auto picture = fProfile / "timeline.png";
    auto rendered = RunCli(fProfile.Path(), {"timeline", "Lamps", "--render", picture.string()});
    ASSERT_EQ(rendered.exitCode, 0) << rendered.err;
    const std::string bytes = trawlix::test::ReadFile(picture);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_FALSE(std::filesystem::exists(fProfile / "timeline.png.part"));

    auto failed = RunCli(fProfile.Path(), {"timeline", "Lamps", "--render", (fProfile / "no/such/dir.png").string()});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find("The picture could not be written to"), std::string::npos) << failed.err;

    // A program whose pictures module is missing says so and writes nothing; the commands
    // that draw nothing still work.
    const auto alone = fProfile / "bin" / "trawlix-cli";
    std::filesystem::create_directories(alone.parent_path());
    std::filesystem::copy_file(trawlix::test::CliPath(), alone);
    const std::map<std::string, std::string> env{{"TRAWLIX_DATA_DIR", (fProfile / "data").string()},
                                                 {"TRAWLIX_CONFIG_DIR", (fProfile / "config").string()},
                                                 {"XDG_RUNTIME_DIR", (fProfile / "run").string()}};
    auto noModule = trawlix::test::RunProcess({alone.string(), "timeline", "Lamps", "--render",
                                               (fProfile / "alone.png").string()}, env);
    EXPECT_EQ(noModule.exitCode, 1);
    EXPECT_NE(noModule.err.find("Pictures cannot be drawn: trawlix-pictures.so could not be loaded"),
              std::string::npos) << noModule.err;
    EXPECT_FALSE(std::filesystem::exists(fProfile / "alone.png"));
    EXPECT_EQ(trawlix::test::RunProcess({alone.string(), "timeline", "Lamps"}, env).exitCode, 0);

    auto unknown = RunCli(fProfile.Path(), {"timeline", "Chairs"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_EQ(RunCli(fProfile.Path(), {"timeline"}).exitCode, 2);
}

}  // namespace
