// The kelvra-image commands: show, build, series and from-ihex.
#pragma once

#include <string>
#include <vector>

namespace Commands
{

constexpr int ExitSuccess = 0;
constexpr int ExitRefused = 1;  // a file missing or in the way, a profile refused, an I/O failure
constexpr int ExitUsage = 2;    // unknown command or option, a value missing or bad

// Runs one command line, the program name left out. Results are appended to
// out; an error is one line appended to err.
int Run(const std::vector<std::string>& arguments, std::string& out, std::string& err);

std::string UsageText();

}  // namespace Commands
