#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/settings.h"
#include "support/test_support.h"

using namespace trawlix;
using trawlix::test::ReadFile;
using trawlix::test::TempDir;
using trawlix::test::WriteFile;

namespace {

struct SettingsFiles {
    TempDir dir;
    std::filesystem::path settings = dir / "config/settings.conf";
    std::filesystem::path autostart = dir / "autostart/trawlix.desktop";
    std::string exe = "/opt/Trawlix/bin/trawlix";
    std::unique_ptr<TSettings> Open() { return std::make_unique<TSettings>(settings, autostart, exe); }
};

}  // namespace

TEST(Settings, FirstStartGivesDefaultsAndFirstSaveWritesEveryValue) {
    SettingsFiles files;
    {
        auto settings = files.Open();
        EXPECT_FALSE(settings->GetDoNotify());
        EXPECT_EQ(settings->GetGSMNetworkID(), -1);
        EXPECT_TRUE(settings->GetMsgBoxNewResults());
        EXPECT_TRUE(settings->GetShowSearchWizzard());
        EXPECT_EQ(settings->GetVisibleColumns().size(), 7u);
        EXPECT_EQ(settings->GetVisibleColumns().at("cbFoundOn"), "true");
        EXPECT_EQ(settings->GetColorSettings().GetNewBackgroundColor(), RGBColor(166, 202, 240));
        EXPECT_FALSE(settings->GetProxySettings().GetEnabled());
        EXPECT_FALSE(std::filesystem::exists(files.settings));
    }  // destroying the settings saves them
    TSettingsFile written(files.settings);
    for (const auto& info : TSettings::KnownValues()) {
        bool direct = info.name == "orientation" || info.name == "first_run" || info.name.rfind("gbResults", 0) == 0 ||
                      info.name == "lvResultsColumn3Width";
        if (direct) continue;
        auto value = written.GetValue(info.name);
        ASSERT_TRUE(value) << info.name;
        EXPECT_EQ(value->kind, info.kind) << info.name;
    }
    EXPECT_EQ(written.ReadInteger("GSMNetworkID"), -1);
    EXPECT_EQ(written.ReadInteger("MsgBoxNewResults"), 1);
    EXPECT_EQ(written.ReadString("ColorSettings"),
              "VisitedBackgroundColor=$00D1B499\r\nNewBackgroundColor=clSkyBlue\r\nHighlightedFontColor=$00602000\r\n");
    EXPECT_EQ(written.ReadString("ProxySettings"),
              "enabled=False\r\nhost=\r\nport=0\r\nusername=\r\npassword=\r\nsocks=False\r\nsocks_version=v4\r\n");
}

TEST(Settings, ValuesSurviveARestartAndForeignValuesAreKept) {
    SettingsFiles files;
    {
        auto settings = files.Open();
        settings->SetDoNotifySMS(true);
        settings->SetAlternativeGSMNetwork("sms.example.org");
        settings->SetCriteriaPanelWidth(321);
        settings->GetColumnsSettings().SetColumnWidth("lvResults", 3, 120);
        settings->GetColorSettings().SetVisitedBackgroundColor(RGBColor(1, 2, 3));
        settings->WriteDirectInteger("orientation", 1);
    }
    auto settings = files.Open();
    EXPECT_TRUE(settings->GetDoNotifySMS());
    EXPECT_EQ(settings->GetAlternativeGSMNetwork(), "sms.example.org");
    EXPECT_EQ(settings->GetCriteriaPanelWidth(), 321);
    EXPECT_EQ(settings->GetColumnsSettings().GetColumnWidth("lvResults", 3), 120);
    EXPECT_EQ(settings->GetColorSettings().GetVisitedBackgroundColor(), RGBColor(1, 2, 3));
    EXPECT_EQ(settings->ReadDirect("orientation", {}).integer, 1);
}

TEST(Settings, UnreadableOrGarbledFileLeavesDefaults) {
    SettingsFiles files;
    WriteFile(files.settings, "garbage without tabs\nGSMNetworkID\tinteger\tnot-a-number\n\x01\x02\x03");
    auto settings = files.Open();
    EXPECT_EQ(settings->GetGSMNetworkID(), -1);
    EXPECT_TRUE(settings->GetMsgBoxNewResults());
}

TEST(Settings, ReadOnlySettingsWriteNothing) {
    SettingsFiles files;
    {
        auto settings = files.Open();
        settings->SetReadOnly(true);
        settings->SetDoNotify(true);
        settings->WriteDirectInteger("orientation", 0);
    }
    EXPECT_FALSE(std::filesystem::exists(files.settings));
}

TEST(Settings, AutoStartEntryIsComparedWithoutLetterCase) {
    SettingsFiles files;
    struct Case {
        std::string exec;
        bool expected;
    } cases[] = {
        {"\"/opt/Trawlix/bin/trawlix\"", true},
        {"\"/OPT/trawlix/BIN/Trawlix\"", true},
        {"\"/usr/bin/other\"", false},
        {"/opt/Trawlix/bin/trawlix", false},  // not quoted
    };
    for (const auto& c : cases) {
        WriteFile(files.autostart, "[Desktop Entry]\nType=Application\nExec=" + c.exec + "\n");
        EXPECT_EQ(files.Open()->GetAutoStart(), c.expected) << c.exec;
    }
}

TEST(Settings, SetAutoStartWritesAndRemovesTheEntry) {
    SettingsFiles files;
    auto settings = files.Open();
    settings->SetAutoStart(true);
    EXPECT_NE(ReadFile(files.autostart).find("Exec=\"/opt/Trawlix/bin/trawlix\""), std::string::npos);
    EXPECT_TRUE(files.Open()->GetAutoStart());
    settings->SetAutoStart(false);
    EXPECT_FALSE(std::filesystem::exists(files.autostart));
}

TEST(Settings, CanSendSMS) {
    SettingsFiles files;
    auto settings = files.Open();
    struct Case {
        bool alternative;
        int networkID;
        std::string domain;
        bool expected;
    } cases[] = {
        {false, -1, "", false}, {false, 0, "", true}, {false, 7, "", true},
        {true, 7, "", false},   {true, -1, "sms.example.org", true},
    };
    for (const auto& c : cases) {
        settings->SetUseAlternativeGSMNetwork(c.alternative);
        settings->SetGSMNetworkID(c.networkID);
        settings->SetAlternativeGSMNetwork(c.domain);
        EXPECT_EQ(settings->CanSendSMS(), c.expected) << c.alternative << " " << c.networkID << " " << c.domain;
    }
}

TEST(ColumnsSettings, MissingIndexesAreUnknownAndNotWritten) {
    TColumnsSettings columns;
    columns.SetColumnWidth("lvResults", 0, 250);
    columns.SetColumnWidth("lvResults", 1, 80);
    columns.SetColumnWidth("lvResults", 3, 120);
    EXPECT_EQ(columns.GetColumnWidth("lvResults", 2), -1);
    EXPECT_EQ(columns.GetColumnWidth("lvOther", 0), -1);
    EXPECT_EQ(columns.ToText(), "lvResults=0_250;1_80;3_120\r\n");

    TColumnsSettings read;
    read.FromText("lvResults=0_250;1_80 3_120\r\nlvFavs=2_9;2_10\r\n");
    EXPECT_EQ(read.GetColumnWidth("lvResults", 3), 120);
    EXPECT_EQ(read.GetColumnWidth("lvFavs", 2), 10);  // a later width replaces an earlier one
    EXPECT_THROW(read.FromText("lvResults=0_abc"), std::runtime_error);
}

TEST(ColorSettings, TextsRoundTripAndDefaultsComeBack) {
    struct Case {
        TColor color;
        const char* text;
    } cases[] = {{0xF0CAA6, "clSkyBlue"}, {0x000000, "clBlack"}, {0xFFFFFF, "clWhite"}, {0xD1B499, "$00D1B499"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ColorToString(c.color), c.text);
        EXPECT_EQ(StringToColor(c.text), c.color);
    }
    EXPECT_EQ(StringToColor("255"), 255u);
    EXPECT_THROW(StringToColor("$zz"), std::runtime_error);

    TColorSettings colors;
    colors.FromText("NewBackgroundColor=clRed\r\n");
    EXPECT_EQ(colors.GetNewBackgroundColor(), 0x0000FFu);
    EXPECT_EQ(colors.GetVisitedBackgroundColor(), RGBColor(153, 180, 209));  // untouched
    colors.RestoreDefaults();
    EXPECT_EQ(colors.GetNewBackgroundColor(), RGBColor(166, 202, 240));
    EXPECT_EQ(colors.GetHighlightedFontColor(), RGBColor(0, 32, 96));
}

namespace {

// WCAG 2's relative luminance of a 0x00BBGGRR colour, and the contrast of two.
double Luminance(TColor aColor) {
    const auto channel = [](unsigned aValue) {
        const double v = aValue / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(aColor & 0xFF) + 0.7152 * channel(aColor >> 8 & 0xFF) + 0.0722 * channel(aColor >> 16 & 0xFF);
}

double Contrast(TColor aOne, TColor aOther) {
    const double one = Luminance(aOne), other = Luminance(aOther);
    return (std::max(one, other) + 0.05) / (std::min(one, other) + 0.05);
}

}  // namespace

// Visited rows draw their text in the highlighted font colour on their own background: the
// defaults are readable (WCAG AA: 4.5:1 for ordinary text).
TEST(Settings, DefaultVisitedRowsMeetTheContrastOfWcagAA) {
    const TColorSettings colors;
    EXPECT_GE(Contrast(colors.GetVisitedBackgroundColor(), colors.GetHighlightedFontColor()), 4.5);
    EXPECT_NEAR(Contrast(RGBColor(255, 255, 255), RGBColor(0, 0, 0)), 21.0, 1e-9);
}

TEST(SettingsFile, MultiLineTextsAndKindsRoundTrip) {
    TempDir dir;
    TSettingsFile settingsFile(dir / "key.conf");
    settingsFile.WriteString("ProxySettings", "enabled=True\r\nhost=h\tx\\y\r\n");
    settingsFile.WriteInteger("GSMNetworkID", -5);
    settingsFile.Save();
    TSettingsFile read(dir / "key.conf");
    EXPECT_EQ(read.ReadString("ProxySettings"), "enabled=True\r\nhost=h\tx\\y\r\n");
    EXPECT_EQ(read.ReadInteger("GSMNetworkID"), -5);
    EXPECT_THROW(read.ReadInteger("ProxySettings"), std::runtime_error);
    EXPECT_THROW(read.ReadString("Missing"), std::runtime_error);
}

TEST(SettingsFile, FailedWriteRaisesAndLeavesNoTemporaryFile) {
    TempDir dir;
    // A non-empty folder in the file's place cannot be replaced, whoever runs the test.
    WriteFile(dir / "key.conf/blocker", "x");
    TSettingsFile settingsFile(dir / "key.conf");
    settingsFile.WriteInteger("A", 2);
    EXPECT_THROW(settingsFile.Save(), std::runtime_error);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(ReadFile(dir / "key.conf/blocker"), "x");
}
