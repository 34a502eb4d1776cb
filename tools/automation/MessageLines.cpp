#include "MessageLines.h"

#include <algorithm>

namespace KelvraAutomation
{

namespace
{

// Both operations refuse to start with the same two lines.
bool IsRefusal(const std::string& line)
{
    return line == KelvraText::NoDevice || line == KelvraText::NoImage;
}

bool EndsOperation(OperationKind kind, const std::string& line)
{
    if (IsRefusal(line))
    {
        return true;
    }
    switch (kind)
    {
    case OperationKind::Write:
        return line == KelvraText::WriteSuccess || line == KelvraText::WriteFail;
    case OperationKind::Verify:
        return line == KelvraText::VerifySuccess || line == KelvraText::VerifyFail;
    case OperationKind::WriteThenVerify:
        // A failed write arms no verify; a successful one is only half of it.
        return line == KelvraText::WriteFail || line == KelvraText::VerifySuccess || line == KelvraText::VerifyFail;
    }
    return false;
}

}  // namespace

const char* OperationName(OperationKind kind)
{
    switch (kind)
    {
    case OperationKind::Write:
        return "write";
    case OperationKind::Verify:
        return "verify";
    case OperationKind::WriteThenVerify:
        return "write and its verify";
    }
    return "operation";
}

std::optional<std::string> FinalLineOf(OperationKind kind, const std::vector<std::string>& lines)
{
    const auto found =
        std::find_if(lines.begin(), lines.end(), [kind](const std::string& line) { return EndsOperation(kind, line); });
    if (found == lines.end())
    {
        return std::nullopt;
    }
    return *found;
}

}  // namespace KelvraAutomation
