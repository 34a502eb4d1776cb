// Splits a command's arguments into options and positional arguments.
// "--name value", "--name=value" and "-x value" are accepted; "--" ends the
// options so a file name may start with '-'.
#pragma once

#include "Result.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace CommandLine
{

struct OptionDefinition
{
    std::string longName;  // without the dashes
    char shortName;        // '\0' for none
    bool takesValue;
};

struct ParsedArguments
{
    std::map<std::string, std::string> values;  // by long name
    std::set<std::string> flags;                // by long name
    std::vector<std::string> positionals;

    bool HasFlag(const std::string& longName) const;
    const std::string* ValueOf(const std::string& longName) const;
};

// Refuses an unknown option, an option given twice and a missing value.
Result<ParsedArguments> Parse(const std::vector<std::string>& arguments,
                              const std::vector<OptionDefinition>& definitions);

}  // namespace CommandLine
