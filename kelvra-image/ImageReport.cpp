#include "ImageReport.h"

#include "Family0Image.h"
#include "IntelHex.h"
#include "Text.h"

#include <algorithm>
#include <cstring>

namespace ImageReport
{

namespace
{

using Family0Image::Image;
using Family0Image::StringField;

Image ImageAsKelvraReadsIt(const std::uint8_t* fileHead, std::size_t headSize)
{
    Image image{};
    if (fileHead != nullptr)
    {
        std::memcpy(image.data(), fileHead, std::min(headSize, image.size()));
    }
    return image;
}

std::string LabelName(const StringField& field)
{
    std::string name = field.label;
    if (!name.empty() && name.back() == ':')
    {
        name.pop_back();
    }
    return name;
}

std::string WhatEndsTheRoom(const StringField& field)
{
    const std::size_t end = Family0Image::RoomEnd(field);
    for (const StringField& other : Family0Image::StringFieldTable)
    {
        if (Family0Image::LengthByteOffset(other) == end)
        {
            return "the " + LabelName(other) + " field (byte " + std::to_string(end) + ")";
        }
    }
    return "the end of the image (byte " + std::to_string(end) + ")";
}

void WarnAboutLengthByte(const StringField& field, std::uint8_t lengthByte, std::vector<std::string>& warnings)
{
    const std::string prefix = std::string(field.label) + " ";
    if (lengthByte == 1)
    {
        warnings.push_back(prefix + "length byte 1 is no valid length (2 plus 2 per character); "
                                    "Kelvra lists the label alone");
    }
    else if (lengthByte % 2 != 0)
    {
        warnings.push_back(prefix + "odd length byte " + std::to_string(lengthByte) + " counts as " +
                           std::to_string(lengthByte - 1));
    }
    const std::size_t count = Family0Image::CharacterCount(lengthByte);
    if (count > field.capacity)
    {
        warnings.push_back(prefix + "length byte " + std::to_string(lengthByte) + " counts " + std::to_string(count) +
                           " characters, but only " + std::to_string(field.capacity) + " fit before " +
                           WhatEndsTheRoom(field) + "; Kelvra lists the bytes beyond as characters");
    }
}

// Kelvra drops zero bytes silently, so the device and the report disagree.
// Only the field's own room is checked: past it, the length warning says it.
void WarnAboutZeroBytes(const Image& image, const StringField& field, std::size_t count,
                        std::vector<std::string>& warnings)
{
    const std::size_t first = Family0Image::LengthByteOffset(field) + 1;
    const std::size_t end = first + std::min(count, field.capacity);
    for (std::size_t offset = first; offset < end; ++offset)
    {
        if (image[offset] == 0)
        {
            warnings.push_back(std::string(field.label) + " zero byte inside the string at byte " +
                               std::to_string(offset) + "; Kelvra skips it");
            return;
        }
    }
}

void WarnAboutNonPrintable(const Image& image, const StringField& field, std::size_t count,
                           std::vector<std::string>& warnings)
{
    const std::size_t first = Family0Image::LengthByteOffset(field) + 1;
    std::size_t found = 0;
    std::size_t firstOffset = 0;
    for (std::size_t offset = first; offset < first + count; ++offset)
    {
        const std::uint8_t value = Family0Image::ByteAt(image.data(), offset);
        if (value != 0 && !Text::IsPrintableAscii(value))
        {
            if (found == 0)
            {
                firstOffset = offset;
            }
            ++found;
        }
    }
    if (found > 0)
    {
        warnings.push_back(std::string(field.label) + " " + std::to_string(found) +
                           " character(s) outside printable ASCII, the first " + Text::HexByte(image[firstOffset]) +
                           " at byte " + std::to_string(firstOffset) + " (shown as \\xNN)");
    }
}

void WarnAboutField(const Image& image, const StringField& field, std::vector<std::string>& warnings)
{
    const std::uint8_t lengthByte = image[Family0Image::LengthByteOffset(field)];
    const std::size_t count = Family0Image::CharacterCount(lengthByte);
    WarnAboutLengthByte(field, lengthByte, warnings);
    WarnAboutZeroBytes(image, field, count, warnings);
    WarnAboutNonPrintable(image, field, count, warnings);
}

void WarnAboutFileSize(std::uint64_t fileSize, std::vector<std::string>& warnings)
{
    const std::string size = "file is " + std::to_string(fileSize) + " bytes";
    if (fileSize < Family0Image::ImageSize)
    {
        warnings.push_back(size + ", shorter than 128; Kelvra pads it with zeros");
    }
    else if (fileSize > Family0Image::ImageSize)
    {
        warnings.push_back(size + ", longer than 128; a VT-A write uses only the first 128");
    }
}

void WarnAboutMissingSignature(const Image& image, std::vector<std::string>& warnings)
{
    warnings.push_back("no VT-A signature: header word is " + Text::HexWord(Family0Image::HeaderWord(image.data())) +
                       ", not 0x6700 to 0x670f; Kelvra lists no identity");
}

}  // namespace

Report Analyze(const std::uint8_t* fileHead, std::size_t headSize, std::uint64_t fileSize)
{
    const Image image = ImageAsKelvraReadsIt(fileHead, headSize);
    Report report;
    report.identityLines = Family0Image::IdentityLines(image.data());
    if (IntelHex::LooksLikeIntelHex(fileHead, headSize))
    {
        report.warnings.push_back(
            "file looks like Intel HEX text; Kelvra writes a file's bytes unchanged and would put "
            "these characters into the EEPROM; convert it with 'kelvra-image from-ihex'");
    }
    WarnAboutFileSize(fileSize, report.warnings);
    if (!Family0Image::HasSignature(image.data()))
    {
        WarnAboutMissingSignature(image, report.warnings);
        return report;
    }
    for (const StringField& field : Family0Image::StringFieldTable)
    {
        if (Family0Image::IsPresent(image.data(), field))
        {
            WarnAboutField(image, field, report.warnings);
        }
    }
    return report;
}

}  // namespace ImageReport
