// kelvra-cli line: programs a run of units, one after another, each with the
// next serial of a series (VT-A) or the same image (VT-B, VT-C), verified and
// logged, and safe to start again on the same log.
#pragma once

#include "CommandLine.h"
#include "Console.h"
#include "HidPlatform.h"

Outcome RunLine(const Options& options, Console& console, HidPlatform& platform);
