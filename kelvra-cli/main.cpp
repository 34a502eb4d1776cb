#include <windows.h>

#include "CliCommands.h"
#include "DriverLibrary.h"
#include "ExitStatus.h"
#include "Interrupt.h"

int wmain(int argc, wchar_t** argv)
{
    ExcludeCurrentFolderFromLibrarySearch();
    CatchInterrupts();
    WindowsConsole console;
    try
    {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
        {
            arguments.push_back(Utf8FromWide(argv[index]));
        }
        return RunKelvraCli(arguments, console, WindowsHidPlatform::Instance());
    }
    catch (...)
    {
        console.Err("kelvra-cli: out of memory\n");
        return static_cast<int>(ExitStatus::Unexpected);
    }
}
