#include "LogMend.h"

#include "FileHandle.h"
#include "Joined.h"
#include "LineLedger.h"
#include "ProductionLine.h"

namespace
{
const wchar_t CopySuffix[] = L".before-mend";
// Copies of earlier mends are kept: the next free number is taken.
const int MostCopies = 100;

// A new file beside the log for its copy, named name, shown as shownName.
// The name is built without a wide string, whose code would be a sixth of a program.
HANDLE CreateCopy(const wchar_t* logName, std::string_view logShown, std::vector<wchar_t>& name, std::string& shownName)
{
    for (int number = 1; number <= MostCopies; ++number)
    {
        const std::string count = number == 1 ? "" : "-" + std::to_string(number);
        name.assign(logName, logName + lstrlenW(logName));
        name.insert(name.end(), CopySuffix, CopySuffix + lstrlenW(CopySuffix));
        name.insert(name.end(), count.begin(), count.end());
        name.push_back(L'\0');
        const HANDLE copy =
            CreateFileW(name.data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (copy != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
        {
            shownName = Joined({logShown, ".before-mend", count});
            return copy;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

std::string SetAside(LineLog& log, const wchar_t* windowsName, std::string_view shownName, LogMend& mend)
{
    std::vector<wchar_t> copyName;
    FileHandle copy(CreateCopy(windowsName, shownName, copyName, mend.copyName));
    if (!copy.IsValid())
    {
        return Joined({"the log ", shownName, " was left as it is: no copy of it can be made beside it (",
                       WindowsErrorText(GetLastError()), ")"});
    }
    const std::string problem = log.SetAsideCutShortRow(copy.Get());
    if (!copy.Close() || !problem.empty())
    {
        DeleteFileW(copyName.data());
        return problem.empty() ? Joined({"the log ", shownName, " was left as it is: its copy cannot be closed"})
                               : problem;
    }
    return std::string();
}
}  // namespace

std::string MendCutShortLog(const wchar_t* windowsName, std::string_view shownName, ChipFamily family, LogMend& mend)
{
    // Opening makes a missing log; there is nothing to mend in one.
    if (GetFileAttributesW(windowsName) == INVALID_FILE_ATTRIBUTES)
    {
        return Joined({"the log ", shownName, " does not exist (", WindowsErrorText(GetLastError()), ")"});
    }
    LineLog log;
    std::string problem = log.Open(windowsName, shownName, family, CutShortRow::Keep);
    if (!problem.empty() || log.CutShort().empty())
    {
        return problem;
    }
    // Supplied names: a mend needs no series, only which unit each row is for.
    const UnitNaming naming(family, std::nullopt);
    LineLedger ledger(naming, false);
    problem = ledger.Account(log.Rows());
    if (!problem.empty())
    {
        return Joined({"the log ", shownName, " is refused: ", problem, "; it was left as it is"});
    }
    mend.cutShort = log.CutShort();
    problem = SetAside(log, windowsName, shownName, mend);
    if (!problem.empty())
    {
        return problem;
    }
    problem = ledger.VoidUnresolved(log, ReasonOf(UnitFault::Interrupted), mend.voided);
    return problem.empty() ? problem
                           : Joined({problem, ". The row cut short was set aside in ", mend.copyName,
                                     "; the next start of the line makes its reservation void"});
}
