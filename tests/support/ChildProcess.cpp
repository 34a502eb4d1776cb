#include "ChildProcess.h"

#include <atomic>
#include <stdexcept>

#include "TemporaryFolder.h"
#include "WideText.h"

namespace
{
class OutputFile
{
public:
    explicit OutputFile(const std::string& path)
    {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        m_handle =
            CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                        CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (m_handle == INVALID_HANDLE_VALUE)
        {
            throw std::runtime_error("cannot create " + path);
        }
    }
    ~OutputFile() { CloseHandle(m_handle); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    HANDLE Handle() const { return m_handle; }
    std::string Contents() const
    {
        std::string contents;
        SetFilePointer(m_handle, 0, nullptr, FILE_BEGIN);
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(m_handle, buffer, sizeof buffer, &read, nullptr) && read > 0)
        {
            contents.append(buffer, read);
        }
        return contents;
    }

private:
    HANDLE m_handle;
};
std::atomic<bool> ctrlCArrived(false);

BOOL WINAPI NoteCtrlC(DWORD)
{
    ctrlCArrived = true;
    return TRUE;
}

// A console that passes control events, for this process and the programs it
// runs. The test runner's may be none, or Wine's for output that is no
// terminal, which passes none. The standard handles stay where they were.
void UseConsoleOfOwn()
{
    static bool done = false;
    if (done)
    {
        return;
    }
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    FreeConsole();
    if (!AllocConsole())
    {
        throw std::runtime_error("cannot make a console (error " + std::to_string(GetLastError()) + ")");
    }
    SetStdHandle(STD_INPUT_HANDLE, input);
    SetStdHandle(STD_OUTPUT_HANDLE, output);
    SetStdHandle(STD_ERROR_HANDLE, error);
    done = true;
}
}  // namespace

bool StartProcess(const std::string& executable, std::string& commandLine, BOOL inheritHandles, DWORD flags,
                  char* environment, const char* workingFolder, STARTUPINFOA& startup, PROCESS_INFORMATION& process)
{
    // The wide call, so a name outside the ANSI code page arrives as it was written.
    const std::vector<wchar_t> wideExecutable = WideFromUtf8(executable);
    std::vector<wchar_t> wideCommandLine = WideFromUtf8(commandLine);
    const std::vector<wchar_t> wideFolder = WideFromUtf8(workingFolder != nullptr ? workingFolder : "");
    STARTUPINFOW wideStartup = {};
    wideStartup.cb = sizeof wideStartup;
    wideStartup.dwFlags = startup.dwFlags;
    wideStartup.wShowWindow = startup.wShowWindow;
    wideStartup.hStdInput = startup.hStdInput;
    wideStartup.hStdOutput = startup.hStdOutput;
    wideStartup.hStdError = startup.hStdError;
    for (int attempt = 0; attempt < 3; ++attempt)
    {
        if (CreateProcessW(wideExecutable.data(), wideCommandLine.data(), nullptr, nullptr, inheritHandles, flags,
                           environment, workingFolder != nullptr ? wideFolder.data() : nullptr, &wideStartup, &process))
        {
            return true;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR)
        {
            return false;
        }
    }
    return false;
}

bool PressCtrlC()
{
    ctrlCArrived = false;
    SetConsoleCtrlHandler(NoteCtrlC, TRUE);
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
    // It reaches this process too, on a thread of its own: handled until then.
    const DWORD start = GetTickCount();
    while (sent && !ctrlCArrived && GetTickCount() - start < 10000)
    {
        Sleep(1);
    }
    SetConsoleCtrlHandler(NoteCtrlC, FALSE);
    return sent;
}

HANDLE SharedConsoleInput()
{
    UseConsoleOfOwn();
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                       OPEN_EXISTING, 0, nullptr);
}

ProcessRun RunProcess(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::string& workingFolder, const std::string& environment,
                      const std::function<void()>& whileRunning, DWORD timeoutMilliseconds, HANDLE input)
{
    const TemporaryFolder outputFolder("kelvra-run");
    ProcessRun run;
    {
        OutputFile out(outputFolder.PathOf("out"));
        OutputFile err(outputFolder.PathOf("err"));
        std::string commandLine = CommandLineArgument(executable);
        for (const std::string& argument : arguments)
        {
            commandLine += " " + CommandLineArgument(argument);
        }
        std::string environmentBlock = environment;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out.Handle();
        startup.hStdError = err.Handle();
        startup.hStdInput = input;
        PROCESS_INFORMATION process = {};
        // A test runner may have left this process without a console to share.
        if (whileRunning)
        {
            UseConsoleOfOwn();
        }
        const DWORD flags = whileRunning ? 0 : CREATE_NO_WINDOW;
        if (!StartProcess(executable, commandLine, TRUE, flags,
                          environmentBlock.empty() ? nullptr : &environmentBlock[0],
                          workingFolder.empty() ? nullptr : workingFolder.c_str(), startup, process))
        {
            throw std::runtime_error("cannot start " + executable + " (error " + std::to_string(GetLastError()) + ")");
        }
        CloseHandle(process.hThread);
        if (whileRunning)
        {
            whileRunning();
        }
        const bool ended = WaitForSingleObject(process.hProcess, timeoutMilliseconds) == WAIT_OBJECT_0;
        if (!ended)
        {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 10000);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hProcess);
        if (!ended)
        {
            throw std::runtime_error(executable + " did not end in time");
        }
        run.out = out.Contents();
        run.err = err.Contents();
    }
    return run;
}
