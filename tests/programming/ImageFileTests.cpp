// Image files as Windows and Wine hand them over: names of any script and
// length, and files that are no image at all.
#include "ProgrammingHarness.h"

#include <thread>

#include "ImageFile.h"

namespace
{
using Lines = std::vector<std::string>;

const Lines WriteFailed{KelvraText::Writing, KelvraText::WriteFail};
const Lines VerifyFailed{KelvraText::Verifying, KelvraText::VerifyFail};

void WriteWideFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

bool Exists(const std::string& path)
{
    // Wine's GetFileAttributes refuses a FIFO; a search finds it.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    FindClose(search);
    return true;
}

// A Linux FIFO at a Z: path whose writer waits for each of two readers and
// sends each some bytes, then removes it; after 20 s it gives up. Wine runs a
// Linux program given by its path, but hands back no process to wait for,
// so the FIFO is awaited instead.
std::string MakeLinuxFifo()
{
    const std::string unixPath =
        "/tmp/kelvra-fifo-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    std::string commandLine = "sh -c \"mkfifo $0 && timeout 20 sh -c 'trap : PIPE; for reader in 1 2; do printf "
                              "image-bytes > $0 2>/dev/null; done' $0; rm -f $0\" " +
                              unixPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string path = "Z:" + unixPath;
    for (char& character : path)
    {
        if (character == '/')
        {
            character = '\\';
        }
    }
    if (CreateProcessA("Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process))
    {
        PumpMessagesUntil(
            nullptr, [&] { return Exists(path); }, 10000);
        for (HANDLE handle : {process.hProcess, process.hThread})
        {
            if (handle != nullptr)
            {
                CloseHandle(handle);
            }
        }
    }
    return path;
}

TEST_F(ProgrammingTest, FilesThatAreNoPlainImageFailWithoutADriverCall)
{
    Start();
    folder.WriteFile("empty.hex", "");
    const std::string fifo = MakeLinuxFifo();
    ASSERT_TRUE(Exists(fifo)) << "no FIFO was made";
    const struct
    {
        const char* what;
        std::string path;
    } cases[] = {
        {"an empty file", folder.PathOf("empty.hex")},
        {"a FIFO", fifo},
        // A regular file whose read fails: this process's memory from address 0, which is never mapped.
        {"a failing read", "Z:\\proc\\self\\mem"},
    };
    for (const auto& entry : cases)
    {
        dialog.ImagePath = entry.path.c_str();
        EXPECT_EQ(Press(IDC_WRITE), WriteFailed) << entry.what;
        EXPECT_EQ(Press(IDC_VERIFY), VerifyFailed) << entry.what;
        ExpectRestored();
    }
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ProgrammingTest, FileNamedOutsideTheAnsiCodePageIsChosenWrittenAndVerified)
{
    const std::wstring name = L"\u6620\u50cf.hex";
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr, &lost);
    ASSERT_TRUE(lost) << "the ANSI code page holds the name, so this proves nothing";
    const std::wstring path = std::wstring(CStringW(folder.Path().c_str())) + L"\\" + name;
    const std::string image = IdentityImage(0x6707, "P", "M", "S");
    WriteWideFile(path, image);
    WriteSettings(1);
    Start();

    std::thread user(
        [&]
        {
            HWND openDialog = WaitForProcessDialog("Open", 15000);
            if (openDialog == nullptr)
            {
                return;
            }
            SendMessageW(GetDlgItem(openDialog, 0x47C), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            PostMessageW(openDialog, WM_COMMAND, IDOK, 0);
        });
    harness->Click(IDC_BROWSE);
    user.join();

    // The path shows in the ANSI code page; the file read is the one chosen.
    EXPECT_EQ(harness->Text(IDC_IMAGE_PATH), std::string(CString(path.c_str())));
    EXPECT_EQ(Press(IDC_WRITE), VerifiedIdentity("P", "M", "S"));
    EXPECT_EQ(ChipContents("VT_HIDA"), image);
}

TEST_F(ProgrammingTest, FileBeyondMaxPathIsWrittenAndVerified)
{
    // The working folder's removal does not reach this deep: the test removes what it made.
    struct DeepFile
    {
        std::vector<std::wstring> folders;
        std::wstring path;
        ~DeepFile()
        {
            DeleteFileW(path.c_str());
            for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
            {
                RemoveDirectoryW(folder->c_str());
            }
        }
    } deep;
    std::wstring& path = deep.path;
    path = L"\\\\?\\" + std::wstring(CStringW(folder.Path().c_str()));
    while (path.size() < MAX_PATH + 40)
    {
        path += L"\\" + std::wstring(40, L'd');
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        deep.folders.push_back(path);
    }
    path += L"\\image.hex";
    const std::string image = IdentityImage(0x6707, "P", "M", "S");
    WriteWideFile(path, image);
    WriteSettings(1);
    Start();

    // Wine's Open dialog fails on paths this long: the choice is made as the dialog's would be.
    dialog.ChosenImagePath = path.substr(4).c_str();
    dialog.ImagePath = CString(dialog.ChosenImagePath);
    dialog.UpdateData(FALSE);
    EXPECT_EQ(Press(IDC_WRITE), VerifiedIdentity("P", "M", "S"));
    EXPECT_EQ(ChipContents("VT_HIDA"), image);
}
// Windows opens a path of MAX_PATH characters or more only in the extended
// form; Wine opens either, so the form is checked here, not through Wine.
TEST(ExtendedLengthPathTest, OnlyLongPathsTakeTheExtendedFormWhole)
{
    const std::wstring deep = std::wstring(150, L'd') + L"\\" + std::wstring(150, L'e') + L"\\image.hex";
    const struct
    {
        std::wstring given;
        std::wstring opened;
    } cases[] = {
        {L"C:\\images\\image.hex", L"C:\\images\\image.hex"},
        {L"C:\\" + deep, L"\\\\?\\C:\\" + deep},
        // The extended form takes no . or .. of its own: they are resolved first.
        {L"C:\\images\\..\\" + deep, L"\\\\?\\C:\\" + deep},
        {L"\\\\server\\share\\" + deep, L"\\\\?\\UNC\\server\\share\\" + deep},
        {L"\\\\?\\C:\\" + deep, L"\\\\?\\C:\\" + deep},
    };
    for (const auto& path : cases)
    {
        EXPECT_EQ(std::wstring(ExtendedLengthPath(path.given.c_str()).data()), path.opened);
    }
}
}  // namespace
