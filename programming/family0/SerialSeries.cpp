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

Result<std::vector<std::string>> Consecutive(const std::string& startText, std::uint64_t count)
{
    const Result<Form> start = ParseStart(startText);
    if (!start.IsOk())
    {
        return Result<std::vector<std::string>>::Failure(start.Error());
    }
    const Form& first = start.Value();
    const std::uint64_t limit = Limit(first);
    if (count == 0 || count > limit - first.number)
    {
        return Result<std::vector<std::string>>::Failure(std::to_string(count) + " serial numbers from " + startText +
                                                         " do not fit in " + std::to_string(first.width) + " digits");
    }
    std::vector<std::string> serials;
    serials.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t step = 0; step < count; ++step)
    {
        serials.push_back(SerialOf(first, first.number + step));
    }
    return Result<std::vector<std::string>>::Success(std::move(serials));
}

}  // namespace SerialSeries
