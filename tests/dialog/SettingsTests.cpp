// The settings file "./<program name>.ini", read once when the dialog starts.
#include <gtest/gtest.h>

#include "DialogHarness.h"
#include "WorkingFolder.h"

namespace
{
TEST(Settings, AreReadFromSectionKelvraInAnyCase)
{
    WorkingFolder folder;
    const std::string fileName = std::string(AfxGetApp()->m_pszAppName) + ".ini";
    const struct
    {
        const char* file;  // null: no settings file
        const char* vid;
        const char* pid;
        UINT autoVerify;
    } cases[] = {
        {nullptr, "", "", 0},
        {"[KELVRA]\r\nVID=0A1B\r\nPID=2c3d\r\nAUTOVERIFY=1\r\n", "0A1B", "2c3d", 1},
        {"[KELVRA]\nVID=845e\n", "845e", "", 0},
        {"[KELVRA]\nVID=\nPID=\nAUTOVERIFY=\n", "", "", 0},
        {"[kelvra]\nvid=a1b2\nPid=0c3d\nAutoVerify=1\n", "a1b2", "0c3d", 1},
        {"[OTHER]\nVID=1111\nPID=2222\nAUTOVERIFY=1\n", "", "", 0},
        // Read as a number: its leading digits, if any.
        {"[KELVRA]\nAUTOVERIFY=2\n", "", "", 2},
        {"[KELVRA]\nAUTOVERIFY=0\n", "", "", 0},
        {"[KELVRA]\nAUTOVERIFY=junk\n", "", "", 0},
        {"[KELVRA]\nAUTOVERIFY=x1\n", "", "", 0},
        {"[KELVRA]\nAUTOVERIFY=7abc\n", "", "", 7},
    };
    for (const auto& entry : cases)
    {
        if (entry.file != nullptr)
        {
            folder.WriteFile(fileName, entry.file);
        }
        CKelvraDlg dialog;
        DialogHarness harness(dialog);
        EXPECT_EQ(std::string(dialog.VidText), entry.vid) << (entry.file ? entry.file : "no file");
        EXPECT_EQ(std::string(dialog.PidText), entry.pid) << (entry.file ? entry.file : "no file");
        EXPECT_EQ(dialog.AutoVerify, entry.autoVerify) << (entry.file ? entry.file : "no file");
    }
}

TEST(Settings, ValueOver259CharactersIsCutTo259)
{
    WorkingFolder folder;
    folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=" + std::string(400, 'a') + "\n");
    CKelvraDlg dialog;
    DialogHarness harness(dialog);
    EXPECT_EQ(std::string(dialog.VidText), std::string(259, 'a'));
}
}  // namespace
