// The processes the end-to-end tests start: Kelvra itself, in a folder of
// its own, and the kelvra-automation program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A host path made into one Windows (or Wine) can open.
std::string WindowsPathOf(const std::string& hostPath);

std::string KelvraExecutable();
std::string AutomationExecutable();

// A new empty folder under the temporary folder, removed with its files.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const { return m_path + "\\" + name; }
    void WriteFile(const std::string& name, const std::string& contents) const;

private:
    std::string m_path;
};

// Kelvra.exe running in a temporary folder with the given settings file, and
// the emulated driver libraries on its PATH, which keep their chips in that folder.
// Ended on destruction if a test left it open.
class KelvraProcess
{
public:
    explicit KelvraProcess(const std::string& settings);
    ~KelvraProcess();
    KelvraProcess(const KelvraProcess&) = delete;
    KelvraProcess& operator=(const KelvraProcess&) = delete;

    DWORD Id() const { return m_process.dwProcessId; }
    HANDLE Handle() const { return m_process.hProcess; }
    bool HasEnded() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_OBJECT_0; }
    const TemporaryFolder& Folder() const { return m_folder; }
    // emulator.ini of the emulated libraries, read at each open.
    void SetEmulatorSettings(const std::string& contents) const { m_folder.WriteFile("emulator.ini", contents); }

private:
    TemporaryFolder m_folder;
    PROCESS_INFORMATION m_process = {};
};

struct ToolRun
{
    DWORD exitCode;
    std::string out;
    std::string err;
};

// Runs kelvra-automation with the arguments and waits for it, at most a minute.
ToolRun RunAutomationTool(const std::vector<std::string>& arguments);
