// A log whose last row was cut short, by a power cut while it was written,
// mended without editing it by hand. That row can only be a result, or a
// reservation whose unit was never written: a reservation is on disk before
// the first write. So the row is cut off, the log as it was kept in a copy
// beside it, and each reservation left without a result made void, as the
// next start would; every other row stays as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DriverLibrary.h"
#include "LineLog.h"

struct LogMend
{
    std::string cutShort;         // the row cut off; empty when the last row was whole
    std::string copyName;         // the copy of the log as it was, as the messages name it
    std::vector<LineRow> voided;  // each reservation made void, in the order of the rows
};

// Mends the log of family by windowsName, shown as shownName: empty, or what
// went wrong; nothing is changed when the log cannot be opened, is refused,
// or its last row is whole.
std::string MendCutShortLog(const wchar_t* windowsName, std::string_view shownName, ChipFamily family, LogMend& mend);
