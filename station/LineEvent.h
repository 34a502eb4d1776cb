// One thing the production line told, as the station's worker hands it to
// the window: the line's observer calls, copied, and the line's end.
#pragma once

#include <string>

#include "ProductionLine.h"

struct LineEvent
{
    enum class Kind
    {
        Opened,
        WaitingForSerial,
        Waiting,
        Programming,
        Passed,
        Failed,
        Voided,
        AlreadyProgrammed,
        NotChecked,
        SerialRefused,
        SerialDropped,
        RemoveUnit,
        // Not the line's: the unit it was done with is still attached at a
        // new Start, so it is not written again until removed.
        StillAttached,
        // Not the line's: the unit it was done with was removed after the line ended.
        Removed,
        Ended,
    };

    Kind kind = Kind::Ended;
    std::string unit;  // the serial or unit number, where there is one; SerialDropped: the one dropped
    // Passed, Failed, Voided, NotChecked: what happened; SerialRefused: why;
    // Ended: the message, if any.
    std::string text;
    std::string firstDifference;  // Failed, when the verify differed
    // Opened, Passed, Failed, Ended: what the next unit gets; empty when not known.
    std::string next;
    UnitFault fault = UnitFault::None;
    LineEnd end = LineEnd::Done;  // Ended
    bool opened = false;          // Ended: the line had opened, so units may have been touched
    bool newLog = false;          // Opened: the log held no row
};
