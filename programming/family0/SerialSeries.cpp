#include "SerialSeries.h"

#include "Family0Image.h"

namespace SerialSeries
{

namespace
{

bool IsPrefixCharacter(char character)
{
    const bool letter = (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z');
    return letter || character == '-' || character == '_';
}

std::uint64_t PowerOfTen(std::size_t exponent)
{
    std::uint64_t power = 1;
    for (std::size_t step = 0; step < exponent; ++step)
    {
        power *= 10;
    }
    return power;
}

// Digits only; the caller bounds the length so the value fits.
std::uint64_t DecimalValue(const std::string& digits)
{
    std::uint64_t value = 0;
    for (const char digit : digits)
    {
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return value;
}

std::string ZeroPadded(std::uint64_t number, std::size_t width)
{
    std::string digits = std::to_string(number);
    if (digits.size() < width)
    {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

bool AllDecimalDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

Result<Form> ParseStart(const std::string& text)
{
    const std::size_t maxLength = Family0Image::SerialNumberField.capacity;
    if (text.size() > maxLength)
    {
        return Result<Form>::Failure("start serial '" + text + "' is longer than " + std::to_string(maxLength) +
                                     " characters");
    }
    std::size_t digitsBegin = 0;
    while (digitsBegin < text.size() && IsPrefixCharacter(text[digitsBegin]))
    {
        ++digitsBegin;
    }
    const std::string digits = text.substr(digitsBegin);
    if (!AllDecimalDigits(digits))
    {
        return Result<Form>::Failure("start serial '" + text +
                                     "' is not decimal digits after an optional prefix of letters, '-' or '_'");
    }
    Form start;
    start.prefix = text.substr(0, digitsBegin);
    start.number = DecimalValue(digits);
    start.width = digits.size();
    return Result<Form>::Success(std::move(start));
}

std::uint64_t Limit(const Form& form)
{
    return PowerOfTen(form.width);
}

std::string SerialOf(const Form& form, std::uint64_t number)
{
    return form.prefix + ZeroPadded(number, form.width);
}

std::optional<std::uint64_t> NumberOf(const Form& form, const std::string& serial)
{
    if (serial.size() != form.prefix.size() + form.width || serial.compare(0, form.prefix.size(), form.prefix) != 0)
    {
        return std::nullopt;
    }
    const std::string digits = serial.substr(form.prefix.size());
    if (!AllDecimalDigits(digits))
    {
        return std::nullopt;
    }
    return DecimalValue(digits);
}

Result<std::uint64_t> ParseCount(const std::string& text)
{
    const std::string limit = std::to_string(MaxCount);
    const bool inRange = AllDecimalDigits(text) && text.size() <= limit.size() && DecimalValue(text) >= 1 &&
                         DecimalValue(text) <= MaxCount;
    if (!inRange)
    {
        return Result<std::uint64_t>::Failure("count '" + text + "' is not a number from 1 to " + limit);
    }
    return Result<std::uint64_t>::Success(DecimalValue(text));
}

}  // namespace SerialSeries
