// A dialog wired to the emulated driver libraries, with a chip state folder
// of its own, on Wine's own HID device 845e/0001.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CallLog.h"
#include "DialogHarness.h"
#include "DriverLibrary.h"
#include "IdentityImage.h"
#include "KelvraTexts.h"
#include "WorkingFolder.h"

constexpr DWORD WineDeviceKey = 0x845E0001;

// For a test that looks at the VT-A pacing: the chip's own, where the other
// tests run at a short one; the short one again after.
class RealChipPacing
{
public:
    RealChipPacing() : m_before(CurrentFamily0Pacing()) { SetFamily0Pacing(ChipPacing); }
    ~RealChipPacing() { SetFamily0Pacing(m_before); }
    RealChipPacing(const RealChipPacing&) = delete;
    RealChipPacing& operator=(const RealChipPacing&) = delete;

private:
    Family0Pacing m_before;
};

class ProgrammingTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Settings for Wine's device; call before Start.
    void WriteSettings(UINT autoVerify);
    void Start();
    // Chooses an image file with these bytes, as the file dialog would leave it.
    void ChooseImage(const std::string& bytes);
    void ChooseFamily(int family);
    void SetEmulator(const char* section, const char* key, const std::string& value);
    void SeedChip(const char* library, const std::string& bytes);
    std::string ChipContents(const char* library) const;
    // Where Kelvra finds the driver libraries.
    void UseLibrariesFrom(const std::string& folder);

    // Clicks Write or Verify and runs messages until the operation, and a
    // verify that follows it, have reported their outcome.
    std::vector<std::string> Press(int buttonId);
    std::vector<LoggedCall> Calls() const { return ReadCallLog(stateFolder); }

    // After any operation: lock free, not busy, buttons enabled, no library loaded.
    void ExpectRestored();

    WorkingFolder folder;
    std::string stateFolder;
    CKelvraDlg dialog;
    std::unique_ptr<DialogHarness> harness;
};

// Bytes 1, 8, 15... (index * 7 + 1, wrapping at 256) of the given length.
std::string CountingBytes(size_t length);
