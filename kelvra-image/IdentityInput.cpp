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

Result<std::uint16_t> RequiredIdentifier(const std::optional<std::string>& text, const std::string& name,
                                         const std::string& option, const std::string& key)
{
    const std::optional<std::string> given = NonEmpty(text);
    if (!given)
    {
        return Result<std::uint16_t>::Failure("no " + name + ": give " + option + " or " + key + " in the profile");
    }
    return ParseIdentifier(*given, name);
}

std::string CheckedString(const std::optional<std::string>& text, const Family0Image::StringField& field,
                          std::optional<std::string>& target)
{
    target = NonEmpty(text);
    if (!target)
    {
        return {};
    }
    const std::optional<std::string> problem = StringProblem(*target, field);
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

Result<Family0Image::Identity> ToIdentity(const IdentityTexts& texts)
{
    const Result<std::uint16_t> vendorId = RequiredIdentifier(texts.vendorId, "vendor identifier", "--vid", "VID");
    if (!vendorId.IsOk())
    {
        return Result<Family0Image::Identity>::Failure(vendorId.Error());
    }
    const Result<std::uint16_t> productId = RequiredIdentifier(texts.productId, "product identifier", "--pid", "PID");
    if (!productId.IsOk())
    {
        return Result<Family0Image::Identity>::Failure(productId.Error());
    }
    Family0Image::Identity identity;
    identity.vendorId = vendorId.Value();
    identity.productId = productId.Value();
    std::string error = CheckedString(texts.product, Family0Image::ProductField, identity.product);
    if (error.empty())
    {
        error = CheckedString(texts.manufacturer, Family0Image::ManufacturerField, identity.manufacturer);
    }
    if (error.empty())
    {
        error = CheckedString(texts.serialNumber, Family0Image::SerialNumberField, identity.serialNumber);
    }
    if (!error.empty())
    {
        return Result<Family0Image::Identity>::Failure(error);
    }
    return Result<Family0Image::Identity>::Success(std::move(identity));
}

}  // namespace IdentityInput
