#include "MendLog.h"

#include "Files.h"
#include "Joined.h"
#include "LogMend.h"
#include "ProductionLine.h"
#include "Text.h"

namespace
{
// Enough of a row cut short to recognise it; the copy holds all of it.
const size_t LongestShown = 80;

std::string Shown(const std::string& row)
{
    const bool cut = row.size() > LongestShown;
    return Text::EscapeNonPrintable(cut ? row.substr(0, LongestShown) : row) + (cut ? "..." : "");
}
}  // namespace

Outcome RunMendLog(const Options& options, Console& console)
{
    const std::vector<wchar_t> name = WindowsName(options.log);
    LogMend mend;
    const std::string problem = MendCutShortLog(name.data(), options.log, options.family, mend);
    if (!problem.empty())
    {
        return Failure(ExitStatus::FileError, problem);
    }
    if (mend.cutShort.empty())
    {
        console.Out(Joined({"mend-log: the last row of ", options.log, " is whole; nothing was changed\n"}));
        return {};
    }
    console.Out(Joined({"mend-log: the row cut short \"", Shown(mend.cutShort),
                        "\" was cut off; the log as it was is in ", mend.copyName, "\n"}));
    for (const LineRow& row : mend.voided)
    {
        console.Out(Joined({"VOID  ", row.unit, "  ", row.device, "  ", ReasonOf(UnitFault::Interrupted), "\n"}));
    }
    return {};
}
