// Turns the identity texts from options and the profile into a checked
// Family0Image::Identity, refusing anything Kelvra or the chip would get wrong.
#pragma once

#include "Family0Image.h"
#include "Result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace IdentityInput
{

// The texts as given; an empty text counts as not given, so an empty option
// takes a profile's string out of the image.
struct IdentityTexts
{
    std::optional<std::string> vendorId;
    std::optional<std::string> productId;
    std::optional<std::string> product;
    std::optional<std::string> manufacturer;
    std::optional<std::string> serialNumber;
};

// The profile keys, in the order the help lists them.
std::vector<std::string> ProfileKeys();

IdentityTexts FromProfile(const std::map<std::string, std::string>& values);

// base with every text that overrides gives replaced.
IdentityTexts Overlay(IdentityTexts base, const IdentityTexts& overrides);

// 1 to 4 hexadecimal digits, no prefix, as Kelvra's settings file has them.
Result<std::uint16_t> ParseIdentifier(const std::string& text, const std::string& name);

// Why the text cannot go into the field: a character outside printable ASCII
// (0x20 to 0x7e) or more characters than fit before the next field.
// Nothing when it fits.
std::optional<std::string> StringProblem(const std::string& text, const Family0Image::StringField& field);

// What is wrong with the first text given that does not fit; empty when
// every one does. Texts not given are not checked.
std::string Problem(const IdentityTexts& texts);

// The identifier not given, as a message; empty when both are.
std::string Missing(const IdentityTexts& texts);

// Both identifiers are required; strings are optional.
Result<Family0Image::Identity> ToIdentity(const IdentityTexts& texts);

}  // namespace IdentityInput
