#include "CommandLineArgument.h"

// Backslashes count only before a quote, so only those are doubled.
std::string CommandLineArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
    {
        return argument;
    }
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char character : argument)
    {
        if (character == '\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(character == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += character;
        backslashes = 0;
    }
    return quoted.append(2 * backslashes, '\\') + "\"";
}
