#include "engine/proxy_settings.h"

#include <gtest/gtest.h>

namespace trawlix {
namespace {

TEST(ProxySettingsTest, DefaultsAndStoredText) {
    TProxySettings settings;
    EXPECT_FALSE(settings.GetEnabled());
    EXPECT_EQ(settings.GetHost(), "");
    EXPECT_EQ(settings.GetPort(), 0);
    EXPECT_FALSE(settings.GetIsSOCKS());
    EXPECT_EQ(settings.GetSOCKSVersion(), "v4");
    EXPECT_EQ(settings.ToText(),
              "enabled=False\r\nhost=\r\nport=0\r\nusername=\r\npassword=\r\nsocks=False\r\nsocks_version=v4\r\n");
}

TEST(ProxySettingsTest, EveryFieldSurvivesSaveAndLoad) {
    TProxySettings saved;
    saved.SetEnabled(true);
    saved.SetHost("proxy.example.net");
    saved.SetPort(3128);
    saved.SetUsername("scout");
    saved.SetPassword("a=b==c");
    saved.SetIsSOCKS(true);
    saved.SetSOCKSVersion("v5");
    TProxySettings loaded;
    loaded.FromText(saved.ToText());
    EXPECT_TRUE(loaded.GetEnabled());
    EXPECT_EQ(loaded.GetHost(), "proxy.example.net");
    EXPECT_EQ(loaded.GetPort(), 3128);
    EXPECT_EQ(loaded.GetUsername(), "scout");
    EXPECT_EQ(loaded.GetPassword(), "a=b==c");
    EXPECT_TRUE(loaded.GetIsSOCKS());
    EXPECT_EQ(loaded.GetSOCKSVersion(), "v5");
    EXPECT_EQ(loaded.ToText(), saved.ToText());
}

TEST(ProxySettingsTest, MissingLinesReadAsEmpty) {
    TProxySettings settings;
    settings.SetPort(8080);
    settings.SetIsSOCKS(true);
    settings.FromText("host=h\r\nenabled=True");
    EXPECT_TRUE(settings.GetEnabled());
    EXPECT_EQ(settings.GetHost(), "h");
    EXPECT_EQ(settings.GetPort(), 0);
    EXPECT_FALSE(settings.GetIsSOCKS());
    EXPECT_EQ(settings.GetSOCKSVersion(), "") << "neither v4 nor v5";
    EXPECT_EQ(settings.GetUsername(), "");
}

TEST(ProxySettingsTest, ReadsBooleansAndPorts) {
    struct TCase {
        const char* text;
        bool value;
    };
    for (TCase c : {TCase{"True", true}, TCase{"tRUE", true}, TCase{"1", true}, TCase{"-1", true},
                    TCase{"42", true}, TCase{"False", false}, TCase{"0", false}, TCase{"yes", false},
                    TCase{"", false}, TCase{"True ", false}}) {
        TProxySettings settings;
        settings.FromText(std::string("enabled=") + c.text + "\r\nsocks=" + c.text + "\r\n");
        EXPECT_EQ(settings.GetEnabled(), c.value) << "'" << c.text << "'";
        EXPECT_EQ(settings.GetIsSOCKS(), c.value) << "'" << c.text << "'";
    }
    struct TPortCase {
        const char* text;
        int value;
    };
    for (TPortCase c : {TPortCase{"1080", 1080}, TPortCase{"+81", 81}, TPortCase{"abc", 0}, TPortCase{"80x", 0},
                        TPortCase{"", 0}, TPortCase{"99999999999", 0}}) {
        TProxySettings settings;
        settings.FromText(std::string("port=") + c.text);
        EXPECT_EQ(settings.GetPort(), c.value) << "'" << c.text << "'";
    }
}

TEST(ProxySettingsTest, LinesInAnyOrderWithPlainLineFeeds) {
    TProxySettings settings;
    settings.FromText("socks_version=v5\nsocks=true\nport=1080\nhost=127.0.0.1\nenabled=true\n");
    EXPECT_TRUE(settings.GetEnabled());
    EXPECT_TRUE(settings.GetIsSOCKS());
    EXPECT_EQ(settings.GetPort(), 1080);
    EXPECT_EQ(settings.GetHost(), "127.0.0.1");
    EXPECT_EQ(settings.GetSOCKSVersion(), "v5");
}

}  // namespace
}  // namespace trawlix
