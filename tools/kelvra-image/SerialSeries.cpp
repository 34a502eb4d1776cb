#include "SerialSeries.h"

#include "Family0Image.h"
#include "Text.h"

namespace SerialSeries
{

namespace
{

struct SerialStart
{
    std::string prefix;
    std::uint64_t number = 0;
    std::size_t width = 0;
};

bool IsPrefixCharacter(char character)
{
    return Text::IsAsciiLetter(character) || character == '-' || character == '_';
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

Result<SerialStart> ParseStart(const std::string& text)
{
    const std::size_t maxLength = Family0Image::SerialNumberField.capacity;
    if (text.size() > maxLength)
    {
        return Result<SerialStart>::Failure("start serial '" + text + "' is longer than " + std::to_string(maxLength) +
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
        return Result<SerialStart>::Failure("start serial '" + text +
                                            "' is not decimal digits after an optional prefix of letters, '-' or '_'");
    }
    SerialStart start;
    start.prefix = text.substr(0, digitsBegin);
    start.number = DecimalValue(digits);
    start.width = digits.size();
    return Result<SerialStart>::Success(std::move(start));
}

} // namespace

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

Result<std::vector<std::string>> Consecutive(const std::string& startText, std::uint64_t count)
{
    const Result<SerialStart> start = ParseStart(startText);
    if (!start.IsOk())
    {
        return Result<std::vector<std::string>>::Failure(start.Error());
    }
    const SerialStart& first = start.Value();
    const std::uint64_t limit = PowerOfTen(first.width);
    if (count == 0 || count > limit - first.number)
    {
        return Result<std::vector<std::string>>::Failure(std::to_string(count) + " serial numbers from " + startText +
                                                         " do not fit in " + std::to_string(first.width) + " digits");
    }
    std::vector<std::string> serials;
    serials.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t step = 0; step < count; ++step)
    {
        serials.push_back(first.prefix + ZeroPadded(first.number + step, first.width));
    }
    return Result<std::vector<std::string>>::Success(std::move(serials));
}

} // namespace SerialSeries
