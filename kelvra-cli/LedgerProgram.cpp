#include "LedgerProgram.h"

#include <windows.h>

#include "CommandLineArgument.h"
#include "ExitStatus.h"
#include "Joined.h"

namespace
{
// name in this program's folder; a wide string would cost a sixth of the program.
std::vector<wchar_t> Beside(const wchar_t* name)
{
    std::vector<wchar_t> path(MAX_PATH * 4 + 32, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH * 4);
    DWORD folder = length < MAX_PATH * 4 ? length : 0;
    while (folder > 0 && path[folder - 1] != L'\\' && path[folder - 1] != L'/')
    {
        --folder;
    }
    for (size_t index = 0; name[index] != L'\0'; ++index)
    {
        path[folder++] = name[index];
    }
    path[folder] = L'\0';
    return path;
}

// The standard handles, passed on as they are.
void ShareStandardHandles(STARTUPINFOW& startup)
{
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    {
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
}
}  // namespace

int RunLedgerProgram(const std::vector<std::string>& arguments, Console& console)
{
    const std::vector<wchar_t> program = Beside(L"kelvra-ledger.exe");
    std::string line = "kelvra-ledger";
    for (size_t index = 1; index < arguments.size(); ++index)
    {
        line += " " + CommandLineArgument(arguments[index]);
    }
    std::vector<wchar_t> commandLine = WideFromUtf8(line);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    ShareStandardHandles(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.data(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
    {
        console.Err(Joined({"kelvra-cli: the ledger's commands are kelvra-ledger.exe, which cannot be started (Windows "
                            "error ",
                            std::to_string(GetLastError()), "): put it beside kelvra-cli.exe, as the ZIP has it\n"}));
        return static_cast<int>(ExitStatus::Unexpected);
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = static_cast<DWORD>(ExitStatus::Unexpected);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
