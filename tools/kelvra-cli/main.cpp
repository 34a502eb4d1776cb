#include <windows.h>

#include "Commands.h"
#include "Interrupt.h"

int wmain(int argc, wchar_t** argv)
{
    CatchInterrupts();
    std::vector<std::string> arguments;
    for (int index = 1; index < argc; ++index)
        arguments.push_back(Utf8FromWide(argv[index]));
    WindowsConsole console;
    return RunKelvraCli(arguments, console, WindowsHidPlatform::Instance());
}
