#include "TestProcesses.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "EmulatedDriverFolders.h"

namespace {

constexpr DWORD ToolTimeoutMilliseconds = 60000;
constexpr DWORD EndTimeoutMilliseconds = 10000;

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// Quoted as the C runtime splits a command line: backslashes count only before a quote.
std::string QuotedArgument(const std::string& argument)
{
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char character : argument)
    {
        if (character == '\\')
        {
            ++backslashes;
            continue;
        }
        quoted.append(character == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

HANDLE InheritableFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path);
    return file;
}

// This process's environment with KELVRA_EMULATOR_DIR set and the emulated
// driver libraries' folder first on PATH, as a CreateProcess environment block.
std::string EnvironmentForKelvra(const std::string& emulatorFolder)
{
    const std::string emulatorName = "KELVRA_EMULATOR_DIR=";
    const std::string pathName = "PATH=";
    std::string path = pathName + EmulatedDriversFolder;
    std::string block;
    char* const strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1)
    {
        if (_strnicmp(entry, pathName.c_str(), pathName.size()) == 0)
            path += ";" + std::string(entry + pathName.size());
        else if (_strnicmp(entry, emulatorName.c_str(), emulatorName.size()) != 0)
            block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(strings);
    block.append(emulatorName + emulatorFolder).push_back('\0');
    block.append(path).push_back('\0');
    block.push_back('\0');
    return block;
}

void RemoveFolderWithFiles(const std::string& path)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((path + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

}  // namespace

std::string WindowsPathOf(const std::string& hostPath)
{
    std::string path = hostPath;
    if (!path.empty() && path[0] == '/')
        path = KELVRA_WINE_HOST_DRIVE + path;
    for (char& character : path)
    {
        if (character == '/')
            character = '\\';
    }
    return path;
}

std::string KelvraExecutable()
{
    return WindowsPathOf(KELVRA_EXE);
}

std::string AutomationExecutable()
{
    return WindowsPathOf(KELVRA_AUTOMATION_EXE);
}

TemporaryFolder::TemporaryFolder()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::string candidate = std::string(base) + "kelvra-automation-" + std::to_string(GetCurrentProcessId()) +
                                      "-" + std::to_string(++serial);
        if (CreateDirectoryA(candidate.c_str(), nullptr))
        {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TemporaryFolder::~TemporaryFolder()
{
    RemoveFolderWithFiles(m_path);
}

void TemporaryFolder::WriteFile(const std::string& name, const std::string& contents) const
{
    std::ofstream file(PathOf(name), std::ios::binary);
    file << contents;
    if (!file)
        throw std::runtime_error("cannot write " + PathOf(name));
}

KelvraProcess::KelvraProcess(const std::string& settings)
{
    m_folder.WriteFile("Kelvra.ini", settings);
    // Kelvra loads the libraries by name, from PATH among others but never
    // from its working folder.
    std::string environment = EnvironmentForKelvra(m_folder.Path());
    std::string commandLine = QuotedArgument(KelvraExecutable());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, &environment[0],
                        m_folder.Path().c_str(), &startup, &m_process))
        throw std::runtime_error("cannot start " + KelvraExecutable());
    CloseHandle(m_process.hThread);
}

KelvraProcess::~KelvraProcess()
{
    if (!HasEnded())
    {
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, EndTimeoutMilliseconds);
    }
    CloseHandle(m_process.hProcess);
}

ToolRun RunAutomationTool(const std::vector<std::string>& arguments)
{
    TemporaryFolder folder;
    const std::string outPath = folder.PathOf("out.txt");
    const std::string errPath = folder.PathOf("err.txt");
    std::string commandLine = QuotedArgument(AutomationExecutable());
    for (const auto& argument : arguments)
        commandLine += " " + QuotedArgument(argument);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = InheritableFile(outPath);
    startup.hStdError = InheritableFile(errPath);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    if (!started)
        throw std::runtime_error("cannot start " + AutomationExecutable());
    CloseHandle(process.hThread);

    ToolRun run = {};
    if (WaitForSingleObject(process.hProcess, ToolTimeoutMilliseconds) != WAIT_OBJECT_0)
    {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, EndTimeoutMilliseconds);
        CloseHandle(process.hProcess);
        throw std::runtime_error("kelvra-automation did not end within a minute");
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    return run;
}
