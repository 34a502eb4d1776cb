// Building an image from an identity, apart from reading one: a program
// that only reads images does not carry this (the linker keeps every
// function of an object file it takes).
#include "Family0Image.h"

namespace Family0Image
{

namespace
{

void WriteWord(Image& image, std::size_t byteOffset, std::uint16_t word)
{
    image[byteOffset] = static_cast<std::uint8_t>(word & 0xFF);
    image[byteOffset + 1] = static_cast<std::uint8_t>(word >> 8);
}

void WriteStringField(Image& image, const StringField& field, const std::string& text)
{
    const std::size_t lengthOffset = LengthByteOffset(field);
    image[lengthOffset] = LengthByteFor(text.size());
    for (std::size_t index = 0; index < text.size(); ++index)
    {
        image[lengthOffset + 1 + index] = static_cast<std::uint8_t>(text[index]);
    }
}

bool FitsItsField(const Identity& identity, const StringField& field)
{
    const std::optional<std::string>& text = StringFor(identity, field);
    return !text || text->size() <= field.capacity;
}

}  // namespace

const std::optional<std::string>& StringFor(const Identity& identity, const StringField& field)
{
    if (field.wordOffset == ProductField.wordOffset)
    {
        return identity.product;
    }
    if (field.wordOffset == ManufacturerField.wordOffset)
    {
        return identity.manufacturer;
    }
    return identity.serialNumber;
}

std::optional<Image> Encode(const Identity& identity)
{
    for (const StringField& field : StringFieldTable)
    {
        if (!FitsItsField(identity, field))
        {
            return std::nullopt;
        }
    }
    Image image{};
    std::uint16_t header = Signature;
    for (const StringField& field : StringFieldTable)
    {
        const std::optional<std::string>& text = StringFor(identity, field);
        if (text)
        {
            header = static_cast<std::uint16_t>(header | field.presenceBit);
            WriteStringField(image, field, *text);
        }
    }
    WriteWord(image, 0, header);
    WriteWord(image, VendorIdOffset, identity.vendorId);
    WriteWord(image, ProductIdOffset, identity.productId);
    return image;
}

}  // namespace Family0Image
