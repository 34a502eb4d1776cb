#include "EndToEndTest.h"

#include <tlhelp32.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ChildProcess.h"
#include "EmulatedDriverFolders.h"
#include "KelvraProgramLocation.h"

namespace EndToEnd
{

namespace
{

using KelvraAutomation::Milliseconds;

void RequireCopy(const std::string& from, const std::string& to)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
    {
        throw std::runtime_error("cannot copy " + from + " to " + to);
    }
}

void RequireFolder(const std::string& path)
{
    if (!CreateDirectoryA(path.c_str(), nullptr))
    {
        throw std::runtime_error("cannot create " + path);
    }
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush())
    {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// This process's environment with the emulator's state folder set, so the
// child, and only the child, finds its own, and with a prefix to its PATH.
std::string EnvironmentFor(const std::string& stateFolder, const std::string& pathPrefix)
{
    const std::string stateName = "KELVRA_EMULATOR_DIR=";
    const std::string pathName = "PATH=";
    std::string path = pathName + pathPrefix;
    std::string block;
    LPCH current = GetEnvironmentStringsA();
    for (const char* entry = current; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1)
    {
        if (_strnicmp(entry, pathName.c_str(), pathName.size()) == 0)
        {
            path.append(entry + pathName.size());
        }
        else if (_strnicmp(entry, stateName.c_str(), stateName.size()) != 0)
        {
            block.append(entry).push_back('\0');
        }
    }
    if (current != nullptr)
    {
        FreeEnvironmentStringsA(current);
    }
    block.append(stateName + stateFolder).push_back('\0');
    block.append(path).push_back('\0');
    block.push_back('\0');
    return block;
}

}  // namespace

std::string WindowsPathOf(const std::string& hostPath)
{
    std::string path = KelvraHostDrive + hostPath;
    for (char& character : path)
    {
        if (character == '/')
        {
            character = '\\';
        }
    }
    return path;
}

std::string AutomationProgram()
{
    return WindowsPathOf(AutomationHostPath);
}

std::string SettingsFor(const std::string& vid, const std::string& pid, int autoVerify)
{
    return "[KELVRA]\r\nVID=" + vid + "\r\nPID=" + pid + "\r\nAUTOVERIFY=" + std::to_string(autoVerify) + "\r\n";
}

std::vector<std::string> LinesAfter(const KelvraAutomation::KelvraWindow& kelvra, KelvraAutomation::OperationKind kind)
{
    kelvra.RunOperation(kind);
    return kelvra.Messages();
}

std::string PatternBytes(size_t length, unsigned seed)
{
    std::string bytes(length, '\0');
    unsigned value = seed;
    for (char& byte : bytes)
    {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 16);
    }
    return bytes;
}

bool HasLoaded(DWORD processId, const std::string& library)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
    {
        throw std::runtime_error("cannot list the libraries of process " + std::to_string(processId));
    }
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    bool found = false;
    for (BOOL more = Module32First(snapshot, &module); more && !found; more = Module32Next(snapshot, &module))
    {
        found = _stricmp(module.szModule, library.c_str()) == 0;
    }
    CloseHandle(snapshot);
    return found;
}

KelvraProcess::Handles::~Handles()
{
    if (info.hProcess != nullptr)
    {
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
        {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hProcess);
    }
    if (info.hThread != nullptr)
    {
        CloseHandle(info.hThread);
    }
}

KelvraProcess::KelvraProcess(const std::string& executable, const std::string& workingFolder,
                             const std::string& environment)
{
    std::string commandLine = "\"" + executable + "\"";
    std::string environmentBlock = environment;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!StartProcess(executable, commandLine, FALSE, 0, &environmentBlock[0], workingFolder.c_str(), startup,
                      m_process.info))
    {
        throw std::runtime_error("cannot start " + executable + " (error " + std::to_string(GetLastError()) + ")");
    }
    try
    {
        m_window.emplace(KelvraAutomation::KelvraWindow::Find(m_process.info.dwProcessId));
        m_window->WaitUntilReady();
    }
    catch (const KelvraAutomation::AutomationError& error)
    {
        // Tells a crash at start from a hang.
        DWORD exitCode = 0;
        const std::string state = IsRunning() ? "it is still running"
                                  : GetExitCodeProcess(m_process.info.hProcess, &exitCode)
                                      ? "it ended with code " + std::to_string(exitCode)
                                      : "its state is unknown";
        throw std::runtime_error(std::string(error.what()) + "; " + state);
    }
}

KelvraProcess::~KelvraProcess()
{
    if (m_window && IsRunning())
    {
        try
        {
            m_window->PressExit();
            m_window->WaitUntilClosed(m_process.info.hProcess, Milliseconds(10000));
        }
        catch (const std::exception&)
        {
            // An Open dialog or a hung operation: Handles ends the process.
        }
    }
}

bool KelvraProcess::IsRunning() const
{
    return WaitForSingleObject(m_process.info.hProcess, 0) == WAIT_TIMEOUT;
}

void KelvraProcess::Exit()
{
    m_window->PressExit();
    m_window->WaitUntilClosed(m_process.info.hProcess);
}

void KelvraProcess::Kill()
{
    TerminateProcess(m_process.info.hProcess, 1);
    if (WaitForSingleObject(m_process.info.hProcess, 10000) != WAIT_OBJECT_0)
    {
        throw std::runtime_error("Kelvra did not end when killed");
    }
}

EndToEndTest::EndToEndTest()
{
    m_programFolder = NewFolder("program");
    m_workingFolder = NewFolder("work");
    m_stateFolder = NewFolder("emulator");
    m_imageFolder = NewFolder("images");
}

EndToEndTest::~EndToEndTest()
{
    // Kelvra first: its files cannot go while it runs.
    m_kelvras.clear();
}

std::string EndToEndTest::NewFolder(const std::string& name) const
{
    const std::string path = m_root.PathOf(name);
    RequireFolder(path);
    return path;
}

void EndToEndTest::Install(const std::string& name, const std::string& libraries)
{
    RequireCopy(WindowsPathOf(KelvraHostPath), m_programFolder + "\\" + name + ".exe");
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
    {
        RequireCopy(libraries + "\\" + library, m_programFolder + "\\" + library);
    }
}

void EndToEndTest::WriteSettings(const std::string& contents, const std::string& name)
{
    WriteBytes(m_workingFolder + "\\" + name + ".ini", contents);
}

void EndToEndTest::SetEmulatorSettings(const std::string& contents) const
{
    WriteBytes(m_stateFolder + "\\emulator.ini", contents);
}

void EndToEndTest::PrependToPath(const std::string& folder)
{
    m_pathPrefix = folder + ";" + m_pathPrefix;
}

std::string EndToEndTest::ChildEnvironment(const std::string& pathPrefix) const
{
    return EnvironmentFor(m_stateFolder, pathPrefix.empty() ? m_pathPrefix : pathPrefix + ";" + m_pathPrefix);
}

const KelvraAutomation::KelvraWindow& EndToEndTest::Start(const std::string& name)
{
    m_kelvras.push_back(
        std::make_unique<KelvraProcess>(m_programFolder + "\\" + name + ".exe", m_workingFolder, ChildEnvironment()));
    return m_kelvras.back()->Window();
}

void EndToEndTest::ExitKelvra()
{
    if (m_kelvras.empty())
    {
        throw std::logic_error("Kelvra is not running");
    }
    for (const auto& kelvra : m_kelvras)
    {
        kelvra->Exit();
    }
    m_kelvras.clear();
}

void EndToEndTest::KillKelvra(const KelvraAutomation::KelvraWindow& kelvra)
{
    for (auto running = m_kelvras.begin(); running != m_kelvras.end(); ++running)
    {
        if (&(*running)->Window() == &kelvra)
        {
            (*running)->Kill();
            m_kelvras.erase(running);
            return;
        }
    }
    throw std::logic_error("no such Kelvra in this test");
}

std::string EndToEndTest::WriteImage(const std::string& name, const std::string& bytes) const
{
    const std::string path = m_imageFolder + "\\" + name;
    WriteBytes(path, bytes);
    return path;
}

void EndToEndTest::SeedChip(const std::string& file, const std::string& bytes) const
{
    WriteBytes(m_stateFolder + "\\" + file, bytes);
}

std::string EndToEndTest::Chip(const std::string& file) const
{
    return ReadBytes(m_stateFolder + "\\" + file);
}

std::string LibrarySetName(const testing::TestParamInfo<EmulatedDriverSet>& info)
{
    return info.param.name;
}

}  // namespace EndToEnd
