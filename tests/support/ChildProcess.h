// Runs a console program as a script would: arguments quoted for the C
// runtime, a working folder and environment of the caller's choosing, stdout
// and stderr captured, the wait bounded.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "CommandLineArgument.h"

struct ProcessRun
{
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// CreateProcess with its strings in UTF-8 (the environment block as Windows
// takes an ANSI one), tried again up to twice when Wine loses the new process in
// its loader, which it reports as ERROR_INTERNAL_ERROR: the program's own
// code has not run then, so a second start changes nothing.
bool StartProcess(const std::string& executable, std::string& commandLine, BOOL inheritHandles, DWORD flags,
                  char* environment, const char* workingFolder, STARTUPINFOA& startup, PROCESS_INFORMATION& process);

// workingFolder: empty for this process's own. environment: a CreateProcess environment block, or empty for this
// process's own. whileRunning, if given, is called once the program has
// started; the program then shares a console with this process, so
// PressCtrlC reaches it. input: an inheritable handle for its standard input,
// or none. Throws when the program does not start or does not end within
// timeoutMilliseconds (it is then ended).
ProcessRun RunProcess(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::string& environment = std::string(),
                      const std::function<void()>& whileRunning = nullptr, DWORD timeoutMilliseconds = 60000,
                      HANDLE input = nullptr);

// The input of the console that programs run with whileRunning share, as an
// inheritable handle to close after use.
HANDLE SharedConsoleInput();

// Ctrl+C on that console, as a person presses it; this process ignores it.
bool PressCtrlC();
