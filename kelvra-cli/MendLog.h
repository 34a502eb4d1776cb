// kelvra-cli mend-log: a line's log whose last row was cut short made whole
// again, so the line starts on it; see LogMend.h.
#pragma once

#include "CommandLine.h"
#include "Console.h"

Outcome RunMendLog(const Options& options, Console& console);
