#include "IdentityInput.h"
#include "Profile.h"

#include <gtest/gtest.h>

using IdentityInput::IdentityTexts;

namespace
{

std::map<std::string, std::string> ParsedProfile(const std::string& text)
{
    const auto result = Profile::Parse(text, IdentityInput::ProfileKeys());
    EXPECT_TRUE(result.IsOk()) << result.Error();
    return result.IsOk() ? result.Value() : std::map<std::string, std::string>{};
}

std::string ProfileError(const std::string& text)
{
    const auto result = Profile::Parse(text, IdentityInput::ProfileKeys());
    return result.IsOk() ? "accepted" : result.Error();
}

IdentityTexts Texts(const std::string& vid, const std::string& pid)
{
    IdentityTexts texts;
    texts.vendorId = vid;
    texts.productId = pid;
    return texts;
}

std::string IdentityError(const IdentityTexts& texts)
{
    const Result<Family0Image::Identity> identity = IdentityInput::ToIdentity(texts);
    return identity.IsOk() ? "accepted" : identity.Error();
}

}  // namespace

TEST(ProfileParse, ReadsTheImageSectionLikeAProfileFunction)
{
    const auto values = ParsedProfile("\xEF\xBB\xBF; made by hand\r\n"
                                      "[KELVRA]\r\n"
                                      "VID=1111\r\n"
                                      "[ image ]\r\n"
                                      "  vid = 845e \r\n"
                                      "Product=\"  Sensor Hub \"\r\n"
                                      "# comment\r\n"
                                      "SERIAL=SN=01\r\n");
    EXPECT_EQ(values,
              (std::map<std::string, std::string>{{"VID", "845e"}, {"PRODUCT", "  Sensor Hub "}, {"SERIAL", "SN=01"}}));
}

TEST(ProfileParse, RefusesWhatWouldBeSilentlyLost)
{
    EXPECT_EQ(ProfileError("[IMAGE]\nVID=1\nSERIALNO=5\n"), "line 3: unknown key 'SERIALNO' in [IMAGE]");
    EXPECT_EQ(ProfileError("[IMAGE]\nPID=1\n\npid=2\n"), "line 4: key PID given again (first on line 2)");
    EXPECT_EQ(ProfileError("[IMAGE]\nPRODUCT\n"), "line 2: expected KEY=VALUE in [IMAGE]");
    EXPECT_EQ(ProfileError("[IMAGE\nPID=1\n"), "line 1: section header without ']'");
    EXPECT_EQ(ProfileError("[KELVRA]\nVID=1\n"), "no [IMAGE] section");
    EXPECT_EQ(ProfileError("[OTHER]\nanything goes\n[IMAGE]\n"), "accepted");
}

TEST(ProfileParse, ASemicolonAfterABlankStartsACommentOnEveryKeyAlike)
{
    struct Case
    {
        const char* line;
        const char* value;  // or the refusal
    };
    const Case cases[] = {
        {"VID=845e         ; vendor identifier", "845e"},
        {"PRODUCT=Widget ; the product", "Widget"},
        {"PRODUCT=Widget\t;tab", "Widget"},
        {"PRODUCT= ; none", ""},
        {"PRODUCT=;none", ""},
        {"PRODUCT=Widget;Mk 2", "Widget;Mk 2"},
        {"PRODUCT=\" Widget ; Mk 2 \" ; quoted", " Widget ; Mk 2 "},
        {"PRODUCT=\"Widget", "line 2: the quote that opens the value is not closed"},
        {"PRODUCT=\"Wid\"get", "line 2: text follows the value's closing quote; a comment starts with ';'"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.line);
        const auto result = Profile::Parse(std::string("[IMAGE]\n") + test.line + "\n", IdentityInput::ProfileKeys());
        EXPECT_EQ(result.IsOk() ? result.Value().begin()->second : result.Error(), test.value);
    }
}

TEST(IdentityInputIdentifier, AcceptsOneToFourHexDigitsOnly)
{
    for (const auto& [text, value] : std::vector<std::pair<std::string, unsigned>>{
             {"1", 1}, {"845e", 0x845e}, {"FFFF", 0xffff}, {"0001", 1}, {"aB", 0xab}})
    {
        const Result<std::uint16_t> parsed = IdentityInput::ParseIdentifier(text, "vendor identifier");
        ASSERT_TRUE(parsed.IsOk()) << text;
        EXPECT_EQ(parsed.Value(), value) << text;
    }
    for (const std::string text : {"", "12345", "0x12", "g1", " 12", "-1"})
    {
        EXPECT_FALSE(IdentityInput::ParseIdentifier(text, "vendor identifier").IsOk()) << text;
    }
}

TEST(IdentityInputStrings, RefuseWhatDoesNotFitOrPrint)
{
    for (const Family0Image::StringField& field : Family0Image::StringFieldTable)
    {
        EXPECT_FALSE(IdentityInput::StringProblem(std::string(field.capacity, '~'), field)) << field.label;
        EXPECT_TRUE(IdentityInput::StringProblem(std::string(field.capacity + 1, ' '), field)) << field.label;
    }
    const Family0Image::StringField& serial = Family0Image::SerialNumberField;
    EXPECT_EQ(*IdentityInput::StringProblem("AB\tC", serial),
              "serial number character 3 (0x09) is not printable ASCII (0x20 to 0x7e)");
    EXPECT_TRUE(IdentityInput::StringProblem("\x7f", serial));
    EXPECT_TRUE(IdentityInput::StringProblem("caf\xc3\xa9", serial));
}

TEST(IdentityInputMerge, OptionsOverrideAndEmptyTextsLeaveStringsOut)
{
    IdentityTexts profile = Texts("1111", "2222");
    profile.product = "From Profile";
    profile.serialNumber = "0001";
    IdentityTexts options;
    options.vendorId = "845e";
    options.serialNumber = "";
    const Result<Family0Image::Identity> identity = IdentityInput::ToIdentity(IdentityInput::Overlay(profile, options));
    ASSERT_TRUE(identity.IsOk()) << identity.Error();
    EXPECT_EQ(identity.Value().vendorId, 0x845e);
    EXPECT_EQ(identity.Value().productId, 0x2222);
    EXPECT_EQ(identity.Value().product, "From Profile");
    EXPECT_FALSE(identity.Value().serialNumber);
    EXPECT_FALSE(identity.Value().manufacturer);
}

TEST(IdentityInputMerge, BothIdentifiersAreRequired)
{
    EXPECT_EQ(IdentityError(Texts("", "1")), "no vendor identifier: give --vid or VID in the profile");
    IdentityTexts noProduct;
    noProduct.vendorId = "1";
    EXPECT_EQ(IdentityError(noProduct), "no product identifier: give --pid or PID in the profile");
    EXPECT_EQ(IdentityError(Texts("1", "12345")),
              "product identifier '12345' is not 1 to 4 hexadecimal digits (no 0x prefix)");
}
