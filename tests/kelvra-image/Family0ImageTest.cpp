#include "Digits.h"
#include "Family0Image.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Family0Image;

namespace
{

const std::string ProductLabel = "Product String:";
const std::string ManufacturerLabel = "Manufacture String:";
const std::string SerialLabel = "Serial Number:";

std::vector<std::string> Lines(const Image& image)
{
    return IdentityLines(image.data());
}

Image WellFormedImage()
{
    Image image = ImageWithHeader(0x6707);
    image[2] = 0x5e;
    image[3] = 0x84;
    image[4] = 0x01;
    image[5] = 0x00;
    PutField(image, SerialNumberField, 8, "S01");
    PutField(image, ProductField, 10, "Prod");
    PutField(image, ManufacturerField, 6, "Mf");
    return image;
}

Identity IdentityWith(const StringField& field, const std::string& text)
{
    Identity identity;
    if (&field == &ProductField)
    {
        identity.product = text;
    }
    else if (&field == &ManufacturerField)
    {
        identity.manufacturer = text;
    }
    else
    {
        identity.serialNumber = text;
    }
    return identity;
}

}  // namespace

TEST(Family0ImageSignature, AcceptsOnlyHeaderWords6700To670F)
{
    for (unsigned low = 0; low <= 0x0F; ++low)
    {
        EXPECT_TRUE(HasSignature(ImageWithHeader(static_cast<std::uint16_t>(0x6700 | low)).data())) << low;
    }
    EXPECT_FALSE(HasSignature(ImageWithHeader(0x6710).data()));  // upper nibble of byte 0
    EXPECT_FALSE(HasSignature(ImageWithHeader(0x67F7).data()));
    EXPECT_FALSE(HasSignature(ImageWithHeader(0x6607).data()));
    EXPECT_FALSE(HasSignature(ImageWithHeader(0x0067).data()));  // bytes swapped
    EXPECT_FALSE(HasSignature(nullptr));
}

TEST(Family0ImageLines, ListsIdentifiersThenStringsInTableOrder)
{
    EXPECT_EQ(Lines(WellFormedImage()), (std::vector<std::string>{"VID:0x845e", "PID:0x0001", ProductLabel + "Prod",
                                                                  ManufacturerLabel + "Mf", SerialLabel + "S01"}));
}

TEST(Family0ImageLines, PresenceBitsChooseTheStringLines)
{
    Image image = WellFormedImage();
    image[0] = 0x00;
    EXPECT_EQ(Lines(image), (std::vector<std::string>{"VID:0x845e", "PID:0x0001"}));
    image[0] = 0x08;  // bit 3 means nothing here
    EXPECT_EQ(Lines(image).size(), 2u);
    image[0] = 0x02;
    EXPECT_EQ(Lines(image).back(), SerialLabel + "S01");
    image[0] = 0x17;
    EXPECT_TRUE(Lines(image).empty());
    EXPECT_TRUE(IdentityLines(nullptr).empty());
}

TEST(Family0ImageLines, IdentifiersAreFourLowerCaseDigits)
{
    Image image = ImageWithHeader(0x6700);
    image[2] = 0x1b;
    image[3] = 0x0a;
    image[4] = 0xff;
    image[5] = 0xff;
    EXPECT_EQ(Lines(image), (std::vector<std::string>{"VID:0x0a1b", "PID:0xffff"}));
}

TEST(Family0ImageFields, LengthByteCountsTwoPlusTwoPerCharacter)
{
    Image image = ImageWithHeader(0x6702);
    PutField(image, SerialNumberField, 8, "ABCDEF");
    EXPECT_EQ(Lines(image).back(), SerialLabel + "ABC");
    image[6] = 9;  // odd counts as one less
    EXPECT_EQ(Lines(image).back(), SerialLabel + "ABC");
    for (const std::uint8_t shortLength : {0, 1, 2, 3})
    {
        image[6] = shortLength;
        EXPECT_EQ(Lines(image).back(), SerialLabel) << int(shortLength);
    }
}

TEST(Family0ImageFields, CharacterCountRule)
{
    EXPECT_EQ(CharacterCount(0), 0u);
    EXPECT_EQ(CharacterCount(1), 0u);  // mended: would be -1
    EXPECT_EQ(CharacterCount(4), 1u);
    EXPECT_EQ(CharacterCount(5), 1u);
    EXPECT_EQ(CharacterCount(254), 126u);
    EXPECT_EQ(CharacterCount(255), 126u);
    EXPECT_EQ(LengthByteFor(0), 2);
    EXPECT_EQ(LengthByteFor(75), 152);
}

TEST(Family0ImageFields, ZeroBytesAppendNothingButLaterBytesCount)
{
    Image image = ImageWithHeader(0x6702);
    PutField(image, SerialNumberField, 8, std::string("A\0C", 3));
    EXPECT_EQ(Lines(image).back(), SerialLabel + "AC");
}

TEST(Family0ImageFields, BytesAreTakenUnchanged)
{
    Image image = ImageWithHeader(0x6701);
    PutField(image, ProductField, 8, "\x07\xe9\x7f");
    EXPECT_EQ(Lines(image).back(), ProductLabel + "\x07\xe9\x7f");
}

TEST(Family0ImageFields, LengthRunsIntoNextFieldIncludingItsLengthByte)
{
    Image image = ImageWithHeader(0x6701);
    PutField(image, ProductField, 2 + 2 * 34, std::string(31, 'p'));
    PutField(image, ManufacturerField, 'M', "xy");
    EXPECT_EQ(Lines(image).back(), ProductLabel + std::string(31, 'p') + "Mxy");

    Image serial = ImageWithHeader(0x6702);
    PutField(serial, SerialNumberField, 2 + 2 * 15, std::string(13, 's'));
    serial[20] = 0;  // an empty length byte adds nothing
    serial[21] = 'P';
    EXPECT_EQ(Lines(serial).back(), SerialLabel + std::string(13, 's') + "P");
}

TEST(Family0ImageFields, ManufacturerWithLength255StopsAtImageEnd)
{
    Image image = ImageWithHeader(0x6704);
    PutField(image, ManufacturerField, 255, std::string(75, 'm'));
    EXPECT_EQ(Lines(image).back(), ManufacturerLabel + std::string(75, 'm'));
}

TEST(Family0ImageFields, DecoderReadsNoByteBeyondTheImage)
{
    // Exactly 128 heap bytes: AddressSanitizer reports any read past them.
    const auto exact = std::make_unique<std::uint8_t[]>(ImageSize);
    Image image = ImageWithHeader(0x6707);
    PutField(image, ManufacturerField, 255, std::string(75, 'm'));
    image[6] = 255;
    image[20] = 255;
    std::copy(image.begin(), image.end(), exact.get());
    const std::vector<std::string> lines = IdentityLines(exact.get());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], ManufacturerLabel + std::string(75, 'm'));
}

TEST(Family0ImageEncode, WritesTheLayoutAndNothingElse)
{
    Identity identity;
    identity.vendorId = 0x845e;
    identity.productId = 0x0001;
    identity.product = "Prod";
    identity.manufacturer = "Mf";
    identity.serialNumber = "S01";
    const std::optional<Image> encoded = Encode(identity);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, WellFormedImage());
}

TEST(Family0ImageEncode, AbsentStringsLeaveTheirBitAndFieldClear)
{
    Identity identity;
    identity.vendorId = 1;
    identity.productId = 2;
    identity.manufacturer = "";
    const std::optional<Image> encoded = Encode(identity);
    ASSERT_TRUE(encoded);
    EXPECT_EQ(HeaderWord(encoded->data()), 0x6704);
    EXPECT_EQ((*encoded)[52], 2);
    EXPECT_EQ(Lines(*encoded).back(), ManufacturerLabel);
}

TEST(Family0ImageEncode, RefusesStringsLongerThanTheirRoom)
{
    for (const StringField& field : StringFieldTable)
    {
        const std::optional<Image> encoded = Encode(IdentityWith(field, std::string(field.capacity, 'x')));
        ASSERT_TRUE(encoded) << field.label;
        EXPECT_EQ(FieldCharacters(encoded->data(), field), std::string(field.capacity, 'x'));
        EXPECT_FALSE(Encode(IdentityWith(field, std::string(field.capacity + 1, 'x')))) << field.label;
    }
}

// Every fixed-width number in the tools' texts and the device lock's name.
TEST(Digits, PadToTheWidthAndNeverCutAValue)
{
    EXPECT_EQ(Digits::Hex(0, 4), "0000");
    EXPECT_EQ(Digits::Hex(0x845e, 4), "845e");
    EXPECT_EQ(Digits::Hex(0x7, 2), "07");
    EXPECT_EQ(Digits::Hex(0x12345, 4), "12345");
    EXPECT_EQ(Digits::Hex(0x845e0001, 8, true), "845E0001");
    EXPECT_EQ(Digits::Decimal(0, 2), "00");
    EXPECT_EQ(Digits::Decimal(2026, 4), "2026");
    EXPECT_EQ(Digits::Decimal(123, 2), "123");
}
