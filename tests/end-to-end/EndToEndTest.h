// The real Kelvra.exe in a folder of its own, with the emulated driver
// libraries beside it, started from another folder that holds its settings,
// with a chip state folder of its own, and driven from this process through
// its window as a person would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CallLog.h"
#include "EmulatedDriverFolders.h"
#include "IdentityImage.h"
#include "KelvraAutomation.h"
#include "TemporaryFolder.h"

namespace EndToEnd
{

// kelvra-automation.exe where it was built.
// Wine shows the build's host path under a drive letter.
std::string WindowsPathOf(const std::string& hostPath);

std::string AutomationProgram();

// A settings file's text: section KELVRA with VID, PID and AUTOVERIFY.
std::string SettingsFor(const std::string& vid, const std::string& pid, int autoVerify = 1);

// Presses Write or Verify and returns the message list once the operation,
// and a verify that follows a write, has ended. The list is read afresh then:
// a snapshot taken while it changes can mix a write's lines with a verify's.
std::vector<std::string> LinesAfter(const KelvraAutomation::KelvraWindow& kelvra, KelvraAutomation::OperationKind kind);

// length pseudo-random bytes; another seed gives another pattern.
std::string PatternBytes(size_t length, unsigned seed);

// Whether a process has loaded a library, e.g. "comdlg32.dll".
bool HasLoaded(DWORD processId, const std::string& library);

// One Kelvra process. If it is still running when this is destroyed (a test
// failed midway), Exit is pressed and, failing that, the process is ended.
class KelvraProcess
{
public:
    KelvraProcess(const std::string& executable, const std::string& workingFolder, const std::string& environment);
    ~KelvraProcess();
    KelvraProcess(const KelvraProcess&) = delete;
    KelvraProcess& operator=(const KelvraProcess&) = delete;

    const KelvraAutomation::KelvraWindow& Window() const { return *m_window; }
    // Presses Exit and waits for the process to end; throws if it does not.
    void Exit();
    // Ends the process at once, as a crash would.
    void Kill();

private:
    bool IsRunning() const;

    // Closes the handles, ending the process first if it still runs; a
    // member of its own so a failed start still cleans up.
    struct Handles
    {
        PROCESS_INFORMATION info{};
        ~Handles();
    } m_process;
    std::optional<KelvraAutomation::KelvraWindow> m_window;
};

class EndToEndTest : public testing::Test
{
protected:
    EndToEndTest();
    ~EndToEndTest() override;

    // Copies Kelvra.exe as <name>.exe and the three driver libraries of
    // the folder libraries into the program folder.
    void Install(const std::string& name = "Kelvra", const std::string& libraries = EmulatedDriversFolder);
    // Writes <name>.ini into the working folder, a folder of its own.
    void WriteSettings(const std::string& contents, const std::string& name = "Kelvra");
    // emulator.ini of the emulated libraries, read at each open.
    void SetEmulatorSettings(const std::string& contents) const;
    // Puts a folder first on the PATH of the Kelvras started after.
    void PrependToPath(const std::string& folder);
    // The environment a child process of this test gets: the state folder,
    // and pathPrefix before the PATH Kelvra gets.
    std::string ChildEnvironment(const std::string& pathPrefix = std::string()) const;
    // Starts <name>.exe from the program folder in the working folder and
    // waits for its window; several may run at once.
    const KelvraAutomation::KelvraWindow& Start(const std::string& name = "Kelvra");
    // Presses Exit in every Kelvra still running and waits for each to end.
    void ExitKelvra();
    // Ends one Kelvra at once, as a crash would.
    void KillKelvra(const KelvraAutomation::KelvraWindow& kelvra);

    // An image file outside the program folder; returns its Windows path.
    std::string WriteImage(const std::string& name, const std::string& bytes) const;

    // The emulated chip, e.g. "VT_HIDA-845E0001.bin".
    void SeedChip(const std::string& file, const std::string& bytes) const;
    std::string Chip(const std::string& file) const;
    std::vector<LoggedCall> Calls() const { return ReadCallLog(m_stateFolder); }

    const std::string& ProgramFolder() const { return m_programFolder; }
    const std::string& WorkingFolder() const { return m_workingFolder; }
    // A new empty folder of this test's own.
    std::string NewFolder(const std::string& name) const;

private:
    TemporaryFolder m_root{"kelvra-e2e"};
    std::string m_programFolder;
    std::string m_workingFolder;
    std::string m_stateFolder;
    std::string m_imageFolder;
    std::string m_pathPrefix;
    std::vector<std::unique_ptr<KelvraProcess>> m_kelvras;
};

// Names a test case by its library set: cdecl, stdcall.
std::string LibrarySetName(const testing::TestParamInfo<EmulatedDriverSet>& info);

}  // namespace EndToEnd
