// Arbitrary file contents through the image report, plus the properties that
// Kelvra relies on: the decoder stays inside 128 bytes, a report never lists
// more than five lines, and an identity that fits its fields survives an
// encode and decode unchanged.
#include "Family0Image.h"
#include "ImageReport.h"
#include "Text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace
{

constexpr std::size_t LongestLine = sizeof "Manufacture String:" - 1 + Family0Image::MaxCharacterCount;

void Require(bool condition)
{
    if (!condition)
    {
        std::abort();
    }
}

// Exactly 128 heap bytes, so AddressSanitizer catches any read past them.
std::vector<std::uint8_t> ExactImage(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> image(Family0Image::ImageSize, 0);
    std::memcpy(image.data(), data, size < image.size() ? size : image.size());
    return image;
}

bool FitsEveryField(const std::uint8_t* image)
{
    for (const Family0Image::StringField& field : Family0Image::StringFieldTable)
    {
        if (Family0Image::FieldCharacters(image, field).size() > field.capacity)
        {
            return false;
        }
    }
    return true;
}

Family0Image::Identity DecodedIdentity(const std::uint8_t* image)
{
    Family0Image::Identity identity;
    identity.vendorId = Family0Image::WordAt(image, Family0Image::VendorIdOffset);
    identity.productId = Family0Image::WordAt(image, Family0Image::ProductIdOffset);
    if (Family0Image::IsPresent(image, Family0Image::ProductField))
    {
        identity.product = Family0Image::FieldCharacters(image, Family0Image::ProductField);
    }
    if (Family0Image::IsPresent(image, Family0Image::ManufacturerField))
    {
        identity.manufacturer = Family0Image::FieldCharacters(image, Family0Image::ManufacturerField);
    }
    if (Family0Image::IsPresent(image, Family0Image::SerialNumberField))
    {
        identity.serialNumber = Family0Image::FieldCharacters(image, Family0Image::SerialNumberField);
    }
    return identity;
}

void CheckRoundTrip(const std::uint8_t* image, const std::vector<std::string>& lines)
{
    if (!Family0Image::HasSignature(image) || !FitsEveryField(image))
    {
        return;
    }
    const std::optional<Family0Image::Image> encoded = Family0Image::Encode(DecodedIdentity(image));
    Require(encoded.has_value());
    Require(Family0Image::IdentityLines(encoded->data()) == lines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ImageReport::Report report = ImageReport::Analyze(data, size, size);
    const std::vector<std::uint8_t> image = ExactImage(data, size);
    const std::vector<std::string> lines = Family0Image::IdentityLines(image.data());
    Require(lines == report.identityLines);
    Require(lines.empty() == !Family0Image::HasSignature(image.data()));
    Require(lines.size() <= 5);
    for (const std::string& line : lines)
    {
        Require(line.size() <= LongestLine);
        Require(Text::EscapeNonPrintable(line).size() >= line.size());
    }
    CheckRoundTrip(image.data(), lines);
    return 0;
}
