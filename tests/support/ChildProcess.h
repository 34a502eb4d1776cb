// Runs a console program to its end, as a script would, with its standard
// output and error captured.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ProgramRun
{
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// Bounded: a program still running after the timeout is ended, and this throws.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      DWORD timeoutMilliseconds = 60000);
