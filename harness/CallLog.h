// Reader of calls.log, the log the emulated chip-family driver libraries append one line to per
// export call (format in emulated-drivers/README.md):
//   <microseconds> <library> <export> <argument>... -> <result>
// CMake target: kelvra_call_log_reader.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

struct LoggedCall
{
    long long microseconds = 0;
    std::string library;
    std::string function;
    std::vector<std::string> arguments;
    int result = 0;

    // Argument index as a number, whether logged in decimal or 0x-hex; throws when absent.
    unsigned long long ArgumentValue(std::size_t index) const
    {
        const std::string& text = arguments.at(index);
        char* end = nullptr;
        errno = 0;
        const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || errno != 0 || *end != '\0')
        {
            throw std::invalid_argument("not a number: " + text);
        }
        return value;
    }
};

namespace call_log_detail
{

inline bool ParseInteger(const std::string& text, long long& value)
{
    if (text.empty())
    {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0';
}

inline std::vector<std::string> SplitOnSpaces(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> tokens;
    for (std::string token; stream >> token;)
    {
        tokens.push_back(token);
    }
    return tokens;
}

}  // namespace call_log_detail

// False for a line that does not have the log's shape.
inline bool ParseCallLogLine(std::string line, LoggedCall& call)
{
    if (!line.empty() && line.back() == '\r')
    {
        line.pop_back();
    }
    const std::vector<std::string> tokens = call_log_detail::SplitOnSpaces(line);
    // Timestamp, library, export, "->", result at the least; "->" second to last.
    if (tokens.size() < 5 || tokens[tokens.size() - 2] != "->")
    {
        return false;
    }
    LoggedCall parsed;
    long long result = 0;
    if (!call_log_detail::ParseInteger(tokens[0], parsed.microseconds) ||
        !call_log_detail::ParseInteger(tokens.back(), result))
    {
        return false;
    }
    parsed.library = tokens[1];
    parsed.function = tokens[2];
    parsed.arguments.assign(tokens.begin() + 3, tokens.end() - 2);
    parsed.result = static_cast<int>(result);
    call = parsed;
    return true;
}

// Every call logged in stateFolder\calls.log, in the order they were appended; none when the log
// does not exist yet. A line of another shape throws std::runtime_error naming it.
inline std::vector<LoggedCall> ReadCallLog(const std::string& stateFolder)
{
    std::string path = stateFolder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
    {
        path += '\\';
    }
    path += "calls.log";
    std::ifstream log(path, std::ios::binary);
    std::vector<LoggedCall> calls;
    for (std::string line; std::getline(log, line);)
    {
        if (line.empty() || line == "\r")
        {
            continue;
        }
        LoggedCall call;
        if (!ParseCallLogLine(line, call))
        {
            throw std::runtime_error("malformed call log line: " + line);
        }
        calls.push_back(call);
    }
    return calls;
}

// The calls of one export, in order.
inline std::vector<LoggedCall> CallsOf(const std::vector<LoggedCall>& calls, const std::string& function)
{
    std::vector<LoggedCall> matching;
    for (const LoggedCall& call : calls)
    {
        if (call.function == function)
        {
            matching.push_back(call);
        }
    }
    return matching;
}
