// Picking a row of a list by what a person reads in it.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace KelvraAutomation
{

// The index of the entry equal to wanted; failing that, of the only entry
// that starts with it (so "24C08" picks "24C08 ->  1024 bytes"). Nothing
// when no entry, or more than one, fits.
std::optional<int> FindEntry(const std::vector<std::string>& entries, const std::string& wanted);

// The entries quoted and comma-separated, for an error line.
std::string QuotedList(const std::vector<std::string>& entries);

}  // namespace KelvraAutomation
