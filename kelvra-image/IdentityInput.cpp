#include "IdentityInput.h"

#include "Text.h"

namespace IdentityInput
{

namespace
{

constexpr std::size_t MaxIdentifierDigits = 4;

std::optional<std::string> ProfileValue(const std::map<std::string, std::string>& values, const std::string& key)
{
    const auto found = values.find(key);
    if (found == values.end())
    {
        return std::nullopt;
    }
    return found->second;
}

void OverlayText(std::optional<std::string>& base, const std::optional<std::string>& override)
{
    if (override)
    {
        base = override;
    }
}

std::optional<std::string> NonEmpty(const std::optional<std::string>& text)
{
    if (!text || text->empty())
    {
        return std::nullopt;
    }
    return text;
}

std::string Describe(const Family0Image::StringField& field)
{
    if (field.wordOffset == Family0Image::ProductField.wordOffset)
    {
        return "product string";
    }
    if (field.wordOffset == Family0Image::ManufacturerField.wordOffset)
    {
        return "manufacturer string";
    }
    return "serial number";
}

std::string IdentifierProblem(const std::optional<std::string>& text, const std::string& name)
{
    const std::optional<std::string> given = NonEmpty(text);
    return given ? ParseIdentifier(*given, name).Error() : std::string();
}

std::string StringProblemOf(const std::optional<std::string>& text, const Family0Image::StringField& field)
{
    const std::optional<std::string> given = NonEmpty(text);
    const std::optional<std::string> problem = given ? StringProblem(*given, field) : std::nullopt;
    return problem ? *problem : std::string();
}

}  // namespace

std::vector<std::string> ProfileKeys()
{
    return {"VID", "PID", "PRODUCT", "MANUFACTURER", "SERIAL"};
}

IdentityTexts FromProfile(const std::map<std::string, std::string>& values)
{
    IdentityTexts texts;
    texts.vendorId = ProfileValue(values, "VID");
    texts.productId = ProfileValue(values, "PID");
    texts.product = ProfileValue(values, "PRODUCT");
    texts.manufacturer = ProfileValue(values, "MANUFACTURER");
    texts.serialNumber = ProfileValue(values, "SERIAL");
    return texts;
}

IdentityTexts Overlay(IdentityTexts base, const IdentityTexts& overrides)
{
    OverlayText(base.vendorId, overrides.vendorId);
    OverlayText(base.productId, overrides.productId);
    OverlayText(base.product, overrides.product);
    OverlayText(base.manufacturer, overrides.manufacturer);
    OverlayText(base.serialNumber, overrides.serialNumber);
    return base;
}

Result<std::uint16_t> ParseIdentifier(const std::string& text, const std::string& name)
{
    const bool allHex = !text.empty() && text.size() <= MaxIdentifierDigits &&
                        text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (!allHex)
    {
        return Result<std::uint16_t>::Failure(name + " '" + text + "' is not 1 to 4 hexadecimal digits (no 0x prefix)");
    }
    unsigned value = 0;
    for (const char digit : text)
    {
        value = value * 16 + Text::HexDigitValue(digit);
    }
    return Result<std::uint16_t>::Success(static_cast<std::uint16_t>(value));
}

std::optional<std::string> StringProblem(const std::string& text, const Family0Image::StringField& field)
{
    for (std::size_t index = 0; index < text.size(); ++index)
    {
        const auto value = static_cast<unsigned char>(text[index]);
        if (!Text::IsPrintableAscii(value))
        {
            return Describe(field) + " character " + std::to_string(index + 1) + " (" + Text::HexByte(value) +
                   ") is not printable ASCII (0x20 to 0x7e)";
        }
    }
    if (text.size() > field.capacity)
    {
        return Describe(field) + " '" + text + "' has " + std::to_string(text.size()) + " characters; at most " +
               std::to_string(field.capacity) + " fit in its field";
    }
    return std::nullopt;
}

std::string Problem(const IdentityTexts& texts)
{
    const std::string problems[] = {
        IdentifierProblem(texts.vendorId, "vendor identifier"),
        IdentifierProblem(texts.productId, "product identifier"),
        StringProblemOf(texts.product, Family0Image::ProductField),
        StringProblemOf(texts.manufacturer, Family0Image::ManufacturerField),
        StringProblemOf(texts.serialNumber, Family0Image::SerialNumberField),
    };
    for (const std::string& problem : problems)
    {
        if (!problem.empty())
        {
            return problem;
        }
    }
    return {};
}

std::string Missing(const IdentityTexts& texts)
{
    if (!NonEmpty(texts.vendorId))
    {
        return "no vendor identifier: give --vid or VID in the profile";
    }
    return NonEmpty(texts.productId) ? std::string() : "no product identifier: give --pid or PID in the profile";
}

Result<Family0Image::Identity> ToIdentity(const IdentityTexts& texts)
{
    std::string error = Missing(texts);
    if (error.empty())
    {
        error = Problem(texts);
    }
    if (!error.empty())
    {
        return Result<Family0Image::Identity>::Failure(error);
    }
    Family0Image::Identity identity;
    identity.vendorId = ParseIdentifier(*texts.vendorId, "").Value();
    identity.productId = ParseIdentifier(*texts.productId, "").Value();
    identity.product = NonEmpty(texts.product);
    identity.manufacturer = NonEmpty(texts.manufacturer);
    identity.serialNumber = NonEmpty(texts.serialNumber);
    return Result<Family0Image::Identity>::Success(std::move(identity));
}

}  // namespace IdentityInput
