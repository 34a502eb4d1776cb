#include "Family0Image.h"

#include <cstdio>

namespace Family0Image
{

namespace
{

std::string FormatIdentifierLine(const char* format, std::uint16_t identifier)
{
    char line[16];
    std::snprintf(line, sizeof line, format, static_cast<unsigned>(identifier));
    return line;
}

}  // namespace

std::uint8_t ByteAt(const std::uint8_t* image128, std::size_t offset)
{
    if (image128 == nullptr || offset >= ImageSize)
    {
        return 0;
    }
    return image128[offset];
}

std::uint16_t WordAt(const std::uint8_t* image128, std::size_t byteOffset)
{
    const unsigned low = ByteAt(image128, byteOffset);
    const unsigned high = ByteAt(image128, byteOffset + 1);
    return static_cast<std::uint16_t>(low | (high << 8));
}

std::uint16_t HeaderWord(const std::uint8_t* image128)
{
    return WordAt(image128, 0);
}

bool HasSignature(const std::uint8_t* image128)
{
    return (HeaderWord(image128) & SignatureMask) == Signature;
}

bool IsPresent(const std::uint8_t* image128, const StringField& field)
{
    return (HeaderWord(image128) & field.presenceBit) != 0;
}

std::size_t CharacterCount(std::uint8_t lengthByte)
{
    if (lengthByte < 2)
    {
        return 0;
    }
    return lengthByte / 2u - 1u;
}

std::uint8_t LengthByteFor(std::size_t characterCount)
{
    if (characterCount > MaxCharacterCount)
    {
        return 0xFF;
    }
    return static_cast<std::uint8_t>(2 + 2 * characterCount);
}

std::string FieldCharacters(const std::uint8_t* image128, const StringField& field)
{
    const std::size_t lengthOffset = LengthByteOffset(field);
    const std::size_t count = CharacterCount(ByteAt(image128, lengthOffset));
    std::string characters;
    for (std::size_t position = 1; position <= count; ++position)
    {
        const std::uint8_t value = ByteAt(image128, lengthOffset + position);
        if (value != 0)
        {
            characters.push_back(static_cast<char>(value));
        }
    }
    return characters;
}

std::string FieldBytes(const std::uint8_t* image128, const StringField& field)
{
    const std::size_t lengthOffset = LengthByteOffset(field);
    const std::size_t count = CharacterCount(ByteAt(image128, lengthOffset));
    std::string bytes;
    for (std::size_t position = 1; position <= count; ++position)
    {
        bytes.push_back(static_cast<char>(ByteAt(image128, lengthOffset + position)));
    }
    return bytes;
}

bool ReplaceStringField(std::uint8_t* image128, const StringField& field, const std::string& characters)
{
    if (characters.size() > field.capacity)
    {
        return false;
    }
    const std::size_t lengthOffset = LengthByteOffset(field);
    image128[lengthOffset] = LengthByteFor(characters.size());
    for (std::size_t index = 0; index < field.capacity; ++index)
    {
        image128[lengthOffset + 1 + index] =
            index < characters.size() ? static_cast<std::uint8_t>(characters[index]) : 0;
    }
    const std::uint16_t header = static_cast<std::uint16_t>(HeaderWord(image128) | field.presenceBit);
    image128[0] = static_cast<std::uint8_t>(header & 0xFF);
    image128[1] = static_cast<std::uint8_t>(header >> 8);
    return true;
}

std::vector<std::string> IdentityLines(const std::uint8_t* image128)
{
    std::vector<std::string> lines;
    if (!HasSignature(image128))
    {
        return lines;
    }
    lines.push_back(FormatIdentifierLine("VID:0x%04x", WordAt(image128, VendorIdOffset)));
    lines.push_back(FormatIdentifierLine("PID:0x%04x", WordAt(image128, ProductIdOffset)));
    for (const StringField& field : StringFieldTable)
    {
        if (IsPresent(image128, field))
        {
            lines.push_back(field.label + FieldCharacters(image128, field));
        }
    }
    return lines;
}

}  // namespace Family0Image
