#include <gtest/gtest.h>

#include "model/gsm_networks.h"
#include "model/ref_data_file.h"

using namespace trawlix;

namespace {

TGSMNetworks TwoCarriers() {
    TGSMNetworks networks;
    const std::tuple<int, const char*, const char*> rows[] = {{7, "AT&T", "txt.att.net"}, {-3, "", "x.example"}};
    for (const auto& [id, name, address] : rows) {
        auto network = std::make_unique<TGSMNetwork>();
        network->SetID(id);
        network->SetName(name);
        network->SetAddress(address);
        networks.Add(std::move(network));
    }
    return networks;
}

}  // namespace

TEST(GSMNetworks, RoundTripsTheBinaryLayout) {
    const std::string bytes = TwoCarriers().SaveToBytes("TRAWLIX8.53");
    ASSERT_EQ(bytes.size(), 11u + 4 + 2 * 156);
    EXPECT_EQ(bytes.substr(11, 4), std::string("\x02\0\0\0", 4));
    EXPECT_EQ(bytes.substr(15, 4), std::string("\x07\0\0\0", 4));
    EXPECT_EQ(bytes[19], 4);  // name length byte
    TGSMNetworks read;
    read.LoadFromBytes(bytes, "GSMNetworks.cur");
    ASSERT_EQ(read.Count(), 2);
    EXPECT_EQ(read.GetNetworkByID(7)->GetName(), "AT&T");
    EXPECT_EQ(read.GetNetworkByID(7)->GetAddress(), "txt.att.net");
    EXPECT_EQ(read.GetNetworkByID(-3)->GetAddress(), "x.example");
    EXPECT_EQ(read.GetNetworkByID(0), nullptr);
}

TEST(GSMNetworks, DamagedFilesRaise) {
    const std::string good = TwoCarriers().SaveToBytes("TRAWLIX8.53");
    std::string negative = good;
    negative[14] = '\x80';
    std::string longName = good;
    longName[19] = 51;
    const std::pair<std::string, const char*> cases[] = {
        {good.substr(0, 14), "shorter than its header"},
        {good.substr(0, good.size() - 1), "does not match its 2 records"},
        {good + "x", "does not match"},
        {negative, "does not match"},
        {longName, "record 1"},
    };
    for (const auto& [bytes, expected] : cases) {
        TGSMNetworks networks;
        try {
            networks.LoadFromBytes(bytes, "carriers.cur");
            ADD_FAILURE() << expected;
        } catch (const ERefDataError& e) {
            EXPECT_NE(std::string(e.what()).find("carriers.cur"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(TGSMNetworks("/nonexistent/GSMNetworks.cur"), ERefDataError);
}
