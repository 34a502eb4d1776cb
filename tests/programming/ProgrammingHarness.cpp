#include "ProgrammingHarness.h"

#include <thread>

#include "EmulatedDriverFolders.h"
#include "MessageLines.h"

void ProgrammingTest::SetUp()
{
    stateFolder = folder.PathOf("chips");
    CreateDirectoryA(stateFolder.c_str(), nullptr);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", stateFolder.c_str());
    UseLibrariesFrom(EmulatedDriversFolder);
    WriteSettings(0);
}

void ProgrammingTest::TearDown()
{
    harness.reset();
    SetDllDirectoryA(nullptr);
    SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
}

void ProgrammingTest::WriteSettings(UINT autoVerify)
{
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini",
                     "[KELVRA]\nVID=845e\nPID=0001\nAUTOVERIFY=" + std::to_string(autoVerify) + "\n");
}

void ProgrammingTest::Start()
{
    harness = std::make_unique<DialogHarness>(dialog);
}

void ProgrammingTest::ChooseImage(const std::string& bytes)
{
    folder.WriteFile("image.hex", bytes);
    dialog.ImagePath = folder.PathOf("image.hex").c_str();
    dialog.UpdateData(FALSE);
}

void ProgrammingTest::ChooseFamily(int family)
{
    harness->Click(IDC_CHIP_A + family);
}

void ProgrammingTest::SetEmulator(const char* section, const char* key, const std::string& value)
{
    WritePrivateProfileStringA(section, key, value.c_str(), (stateFolder + "\\emulator.ini").c_str());
}

void ProgrammingTest::SeedChip(const char* library, const std::string& bytes)
{
    folder.WriteFile(std::string("chips\\") + library + "-845E0001.bin", bytes);
}

std::string ProgrammingTest::ChipContents(const char* library) const
{
    return folder.ReadFile(std::string("chips\\") + library + "-845E0001.bin");
}

void ProgrammingTest::UseLibrariesFrom(const std::string& libraryFolder)
{
    SetDllDirectoryA(libraryFolder.c_str());
}

std::vector<std::string> ProgrammingTest::Press(int buttonId)
{
    using KelvraAutomation::OperationKind;
    // A write that verifies next ends with the verify's lines.
    const OperationKind kind = buttonId == IDC_VERIFY   ? OperationKind::Verify
                               : dialog.AutoVerify != 0 ? OperationKind::WriteThenVerify
                                                        : OperationKind::Write;
    SendMessageA(harness->Control(IDC_MESSAGES), LB_RESETCONTENT, 0, 0);
    harness->Click(buttonId);
    const bool ended =
        harness->PumpUntil([&] { return KelvraAutomation::FinalLineOf(kind, harness->Messages()).has_value(); }, 20000);
    EXPECT_TRUE(ended) << "the operation did not end";
    return harness->Messages();
}

void ProgrammingTest::ExpectRestored()
{
    EXPECT_FALSE(dialog.BusyFlag);
    EXPECT_TRUE(harness->IsEnabled(IDC_WRITE));
    EXPECT_TRUE(harness->IsEnabled(IDC_VERIFY));
    EXPECT_EQ(dialog.DriverLibrary, nullptr);
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
    {
        EXPECT_EQ(GetModuleHandleA(library), nullptr) << library;
    }
    // The lock is free: another thread can take it.
    bool entered = false;
    std::thread other(
        [&]
        {
            entered = TryEnterCriticalSection(&dialog.OperationLock) != FALSE;
            if (entered)
            {
                LeaveCriticalSection(&dialog.OperationLock);
            }
        });
    other.join();
    EXPECT_TRUE(entered);
}

std::string CountingBytes(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t index = 0; index < length; ++index)
    {
        bytes[index] = static_cast<char>(index * 7 + 1);
    }
    return bytes;
}
