#include <gtest/gtest.h>

#include "model/ref_data_file.h"
#include "model/zip_codes.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {
std::string Fixture(const std::string& aName) {
    return (test::TestsDir() / "model/fixtures/refdata" / aName).string();
}
}  // namespace

TEST(ZIPCodes, LookUpTrimsAndKeepsTheCodeAsGiven) {
    TZIPCodes codes(Fixture("zip_good.txt"));
    EXPECT_EQ(codes.Count(), 3);
    auto code = codes.GetCode(" 02134 ");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->GetCode(), " 02134 ");
    EXPECT_DOUBLE_EQ(code->GetLatitude(), 42.36);  // written 42,36;-71,06
    EXPECT_DOUBLE_EQ(code->GetLongitude(), -71.06);
    ASSERT_NE(codes.GetCode("10001"), nullptr);  // blanks around name and value, CR LF
    EXPECT_DOUBLE_EQ(codes.GetCode("10001")->GetLongitude(), -73.997293);
    EXPECT_NE(codes.GetCode("abc12"), nullptr);  // names compare without case
    EXPECT_EQ(codes.GetCode("2134"), nullptr);
    EXPECT_EQ(codes.GetCode(""), nullptr);
}

TEST(ZIPCodes, PaddingAsTheZIPBoxDoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"2134", "02134"}, {" 2134 ", "02134"}, {"1", "00001"}, {"", ""}, {"   ", ""}, {"123456", "123456"}};
    for (const auto& [text, padded] : cases)
        EXPECT_EQ(PadZIPCode(text), padded) << text;
    TZIPCodes codes(Fixture("zip_good.txt"));
    EXPECT_NE(codes.GetCode(PadZIPCode(" 2134")), nullptr);
}

TEST(ZIPCodes, LinesThatDoNotReadRaiseWithTheirLineNumber) {
    const std::pair<const char*, const char*> cases[] = {
        {"zip_no_equals.txt", "line 2"}, {"zip_no_semicolon.txt", "line 2"}, {"missing.txt", "missing"}};
    for (const auto& [file, expected] : cases) {
        try {
            TZIPCodes codes(Fixture(file));
            ADD_FAILURE() << file << " loaded";
        } catch (const ERefDataError& e) {
            EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
    TZIPCodes codes;
    EXPECT_THROW(codes.LoadFromText("=1;2\n", "x"), ERefDataError);
    EXPECT_THROW(codes.LoadFromText("1=;2\n", "x"), ERefDataError);
    EXPECT_THROW(codes.LoadFromText("1=a;b\n", "x"), ERefDataError);
    codes.LoadFromText("\xEF\xBB\xBF" "02134=1;2", "bom");
    EXPECT_NE(codes.GetCode("02134"), nullptr);
}
