#include "Profile.h"

#include "Text.h"

#include <algorithm>

namespace Profile
{

namespace
{

using Values = std::map<std::string, std::string>;

constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

struct ParserState
{
    Values values;
    std::map<std::string, std::size_t> keyLines;
    bool inSection = false;
    bool sectionSeen = false;
};

bool IsComment(std::string_view line)
{
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

std::string ReadSectionHeader(std::string_view line, ParserState& state)
{
    if (line.back() != ']')
    {
        return "section header without ']'";
    }
    const std::string name = Text::ToUpperAscii(Text::TrimBlanks(line.substr(1, line.size() - 2)));
    state.inSection = name == SectionName;
    state.sectionSeen = state.sectionSeen || state.inSection;
    return {};
}

std::string ReadKeyValue(std::string_view line, std::size_t lineNumber, const std::vector<std::string>& allowedKeys,
                         ParserState& state)
{
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
    {
        return "expected KEY=VALUE in [" + std::string(SectionName) + "]";
    }
    const std::string key = Text::ToUpperAscii(Text::TrimBlanks(line.substr(0, equals)));
    if (std::find(allowedKeys.begin(), allowedKeys.end(), key) == allowedKeys.end())
    {
        return "unknown key '" + key + "' in [" + SectionName + "]";
    }
    const auto earlier = state.keyLines.find(key);
    if (earlier != state.keyLines.end())
    {
        return "key " + key + " given again (first on line " + std::to_string(earlier->second) + ")";
    }
    state.keyLines[key] = lineNumber;
    return Text::IniValue(line.substr(equals + 1), state.values[key]);
}

std::string ReadLine(std::string_view line, std::size_t lineNumber, const std::vector<std::string>& allowedKeys,
                     ParserState& state)
{
    if (line.empty() || IsComment(line))
    {
        return {};
    }
    if (line.front() == '[')
    {
        return ReadSectionHeader(line, state);
    }
    if (!state.inSection)
    {
        return {};
    }
    return ReadKeyValue(line, lineNumber, allowedKeys, state);
}

std::string_view TrimmedLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
    {
        line.remove_suffix(1);
    }
    return Text::TrimBlanks(line);
}

}  // namespace

Result<Values> Parse(std::string_view text, const std::vector<std::string>& allowedKeys)
{
    if (text.substr(0, Utf8ByteOrderMark.size()) == Utf8ByteOrderMark)
    {
        text.remove_prefix(Utf8ByteOrderMark.size());
    }
    ParserState state;
    std::size_t lineNumber = 0;
    while (!text.empty())
    {
        const std::size_t lineEnd = text.find('\n');
        const std::string_view line = TrimmedLine(text.substr(0, lineEnd));
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        ++lineNumber;
        const std::string error = ReadLine(line, lineNumber, allowedKeys, state);
        if (!error.empty())
        {
            return Result<Values>::Failure("line " + std::to_string(lineNumber) + ": " + error);
        }
    }
    if (!state.sectionSeen)
    {
        return Result<Values>::Failure(std::string("no [") + SectionName + "] section");
    }
    return Result<Values>::Success(std::move(state.values));
}

}  // namespace Profile
