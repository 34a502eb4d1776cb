// The serials of a whole series, apart from the series' form: a program that
// numbers units one at a time does not carry this (the linker keeps every
// function of an object file it takes).
#include "SerialSeries.h"

namespace SerialSeries
{

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
