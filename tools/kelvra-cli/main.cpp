#include <windows.h>

#include <cstdlib>

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

// Every exception ends in wmain above, so nothing is left for the runtime's
// own handler to name; it would bring 46 KB of name demangling to do it.
namespace __gnu_cxx
{
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
