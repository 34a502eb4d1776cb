// kelvra-ledger.exe: the shared ledger's commands, run by kelvra-cli ledger
// or on their own; the same words follow either name.
#include <windows.h>

#include "Console.h"
#include "ExitStatus.h"
#include "LedgerCommands.h"

int wmain(int argc, wchar_t** argv)
{
    WindowsConsole console;
    try
    {
        std::vector<std::string> arguments;
        for (int index = 1; index < argc; ++index)
        {
            arguments.push_back(Utf8FromWide(argv[index]));
        }
        return RunLedgerCommand(arguments, console);
    }
    catch (...)
    {
        console.Err("kelvra-cli: out of memory\n");
        return static_cast<int>(ExitStatus::Unexpected);
    }
}
