#include "ProgrammingHarness.h"

#include <fstream>
#include <thread>
#include <sstream>

#include "EmulatedDriverFolders.h"

namespace
{
const char* const FinalLines[] = {KelvraText::NoDevice, KelvraText::NoImage, KelvraText::WriteFail,
                                  KelvraText::VerifySuccess, KelvraText::VerifyFail};

bool HasFinalLine(const std::vector<std::string>& lines, bool writeEndsIt)
{
    for (const std::string& line : lines)
    {
        for (const char* final : FinalLines)
            if (line == final)
                return true;
        if (writeEndsIt && line == KelvraText::WriteSuccess)
            return true;
    }
    return false;
}

void PutField(std::string& image, size_t offset, const std::string& text)
{
    image[offset] = static_cast<char>(2 + 2 * text.size());
    image.replace(offset + 1, text.size(), text);
}
}  // namespace

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
    std::ofstream chip(stateFolder + "\\" + library + "-845E0001.bin", std::ios::binary | std::ios::trunc);
    chip << bytes;
}

std::string ProgrammingTest::ChipContents(const char* library) const
{
    std::ifstream chip(stateFolder + "\\" + library + "-845E0001.bin", std::ios::binary);
    std::ostringstream contents;
    contents << chip.rdbuf();
    return contents.str();
}

void ProgrammingTest::UseLibrariesFrom(const std::string& libraryFolder)
{
    SetDllDirectoryA(libraryFolder.c_str());
}

std::vector<std::string> ProgrammingTest::Press(int buttonId)
{
    const bool writeEndsIt = buttonId == IDC_WRITE && dialog.AutoVerify == 0;
    SendMessageA(harness->Control(IDC_MESSAGES), LB_RESETCONTENT, 0, 0);
    harness->Click(buttonId);
    const bool ended = harness->PumpUntil(
        [&] {
            const auto lines = harness->Messages();
            // A write that verifies next ends with the verify's lines.
            const bool verifyPending = buttonId == IDC_WRITE && !writeEndsIt && !lines.empty() &&
                                       lines.back() == KelvraText::WriteSuccess;
            return !verifyPending && HasFinalLine(lines, writeEndsIt);
        },
        20000);
    EXPECT_TRUE(ended) << "the operation did not end";
    return harness->Messages();
}

void ProgrammingTest::ExpectRestored()
{
    EXPECT_FALSE(dialog.BusyFlag);
    EXPECT_TRUE(harness->IsEnabled(IDC_WRITE));
    EXPECT_TRUE(harness->IsEnabled(IDC_VERIFY));
    EXPECT_EQ(nullptr, dialog.DriverLibrary);
    for (const char* library : {"VT_HIDA.dll", "VT_HIDB.dll", "VT_HIDC.dll"})
        EXPECT_EQ(nullptr, GetModuleHandleA(library)) << library;
    // The lock is free: another thread can take it.
    bool entered = false;
    std::thread other([&] {
        entered = TryEnterCriticalSection(&dialog.OperationLock) != FALSE;
        if (entered)
            LeaveCriticalSection(&dialog.OperationLock);
    });
    other.join();
    EXPECT_TRUE(entered);
}

std::string IdentityImage(WORD header, const std::string& product, const std::string& manufacturer,
                          const std::string& serial)
{
    std::string image(128, '\0');
    image[0] = static_cast<char>(header & 0xFF);
    image[1] = static_cast<char>(header >> 8);
    image[2] = '\x5E';
    image[3] = '\x84';
    image[4] = '\x01';
    image[5] = '\x00';
    PutField(image, 6, serial);
    PutField(image, 20, product);
    PutField(image, 52, manufacturer);
    return image;
}

std::string CountingBytes(size_t length)
{
    std::string bytes(length, '\0');
    for (size_t index = 0; index < length; ++index)
        bytes[index] = static_cast<char>(index * 7 + 1);
    return bytes;
}
