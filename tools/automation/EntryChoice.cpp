#include "EntryChoice.h"

namespace KelvraAutomation
{

namespace
{

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<int> FindEntry(const std::vector<std::string>& entries, const std::string& wanted)
{
    for (size_t index = 0; index < entries.size(); ++index)
    {
        if (entries[index] == wanted)
        {
            return static_cast<int>(index);
        }
    }
    if (wanted.empty())
    {
        return std::nullopt;
    }
    std::optional<int> onlyMatch;
    for (size_t index = 0; index < entries.size(); ++index)
    {
        if (!StartsWith(entries[index], wanted))
        {
            continue;
        }
        if (onlyMatch)
        {
            return std::nullopt;
        }
        onlyMatch = static_cast<int>(index);
    }
    return onlyMatch;
}

std::string QuotedList(const std::vector<std::string>& entries)
{
    std::string list;
    for (const auto& entry : entries)
    {
        if (!list.empty())
        {
            list += ", ";
        }
        list += "\"" + entry + "\"";
    }
    return list;
}

}  // namespace KelvraAutomation
