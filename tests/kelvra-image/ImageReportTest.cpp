#include "ImageReport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using Family0Image::Image;

namespace
{

ImageReport::Report Analyze(const Image& image)
{
    return ImageReport::Analyze(image.data(), image.size(), image.size());
}

ImageReport::Report Analyze(const std::string& file)
{
    return ImageReport::Analyze(reinterpret_cast<const std::uint8_t*>(file.data()), file.size(), file.size());
}

Image CleanImage()
{
    Family0Image::Identity identity;
    identity.vendorId = 0x845e;
    identity.productId = 1;
    identity.product = "Sensor Hub";
    identity.manufacturer = "Example Works";
    identity.serialNumber = "SN0001";
    return *Family0Image::Encode(identity);
}

testing::AssertionResult HasWarningContaining(const ImageReport::Report& report, const std::string& text)
{
    for (const std::string& warning : report.warnings)
    {
        if (warning.find(text) != std::string::npos)
        {
            return testing::AssertionSuccess();
        }
    }
    testing::AssertionResult failure = testing::AssertionFailure();
    failure << "no warning contains '" << text << "'; warnings:";
    for (const std::string& warning : report.warnings)
    {
        failure << "\n  " << warning;
    }
    return failure;
}

}  // namespace

TEST(ImageReportAnalyze, CleanImageHasKelvrasLinesAndNoWarnings)
{
    const ImageReport::Report report = Analyze(CleanImage());
    EXPECT_EQ(report.identityLines, Family0Image::IdentityLines(CleanImage().data()));
    EXPECT_TRUE(report.warnings.empty());
}

TEST(ImageReportAnalyze, FileSizeOtherThan128IsReported)
{
    const Image image = CleanImage();
    const auto shortReport = ImageReport::Analyze(image.data(), 100, 100);
    EXPECT_TRUE(HasWarningContaining(shortReport, "100 bytes, shorter than 128"));
    EXPECT_EQ(shortReport.identityLines.size(), 5u);  // padded with zeros like Kelvra

    EXPECT_TRUE(HasWarningContaining(ImageReport::Analyze(image.data(), image.size(), 300), "longer than 128"));
    EXPECT_TRUE(HasWarningContaining(ImageReport::Analyze(nullptr, 0, 0), "0 bytes"));
}

TEST(ImageReportAnalyze, MissingSignatureGivesNoLinesAndNoFieldWarnings)
{
    Image image = ImageWithHeader(0x6817);
    PutField(image, Family0Image::SerialNumberField, 1, "");
    const ImageReport::Report report = Analyze(image);
    EXPECT_TRUE(report.identityLines.empty());
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_TRUE(HasWarningContaining(report, "no VT-A signature: header word is 0x6817"));
}

TEST(ImageReportAnalyze, LengthByteProblemsOfPresentFields)
{
    Image image = ImageWithHeader(0x6707);
    PutField(image, Family0Image::SerialNumberField, 1, "");
    PutField(image, Family0Image::ProductField, 2 + 2 * 32, std::string(31, 'p'));
    PutField(image, Family0Image::ManufacturerField, 255, "M");
    const ImageReport::Report report = Analyze(image);
    EXPECT_TRUE(HasWarningContaining(report, "Serial Number: length byte 1 is no valid length"));
    EXPECT_TRUE(HasWarningContaining(report, "counts 32 characters, but only 31 fit before the Manufacture String "
                                             "field (byte 52)"));
    EXPECT_TRUE(HasWarningContaining(report, "Manufacture String: odd length byte 255"));
    EXPECT_TRUE(HasWarningContaining(report, "126 characters, but only 75 fit before the end of the image (byte 128)"));
}

TEST(ImageReportAnalyze, AbsentFieldsAreNotChecked)
{
    Image image = ImageWithHeader(0x6700);
    PutField(image, Family0Image::SerialNumberField, 255, "\x01");
    EXPECT_TRUE(Analyze(image).warnings.empty());
}

TEST(ImageReportAnalyze, CharactersKelvraWouldShowOddly)
{
    Image image = ImageWithHeader(0x6703);
    PutField(image, Family0Image::SerialNumberField, 8, std::string("A\0C", 3));
    PutField(image, Family0Image::ProductField, 8, "a\x07\xe9");
    const ImageReport::Report report = Analyze(image);
    EXPECT_TRUE(HasWarningContaining(report, "Serial Number: zero byte inside the string at byte 8"));
    EXPECT_TRUE(HasWarningContaining(report, "Product String: 2 character(s) outside printable ASCII, the first 0x07 "
                                             "at byte 22"));
}

TEST(ImageReportAnalyze, IntelHexTextIsCaught)
{
    const ImageReport::Report report = Analyze(std::string(":10000000076745840100000000000000000000001D\n"));
    EXPECT_TRUE(HasWarningContaining(report, "looks like Intel HEX"));
    EXPECT_TRUE(HasWarningContaining(report, "no VT-A signature"));
    EXPECT_FALSE(HasWarningContaining(Analyze(std::string(":0000")), "Intel HEX"));
}
