// Image files as Windows and Wine hand them over, including files that are
// no image at all.
#include "ProgrammingHarness.h"

namespace
{
using Lines = std::vector<std::string>;

const Lines WriteFailed{"Writing ........", "Write Fail!"};
const Lines VerifyFailed{"Verifying ........", "Verify Fail!"};

bool Exists(const std::string& path)
{
    // Wine's GetFileAttributes refuses a FIFO; a search finds it.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
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
                              "image-bytes > $0 2>/dev/null; done' $0; rm -f $0\" " + unixPath;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string path = "Z:" + unixPath;
    for (char& character : path)
        if (character == '/')
            character = '\\';
    if (CreateProcessA("Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process))
    {
        PumpMessagesUntil(nullptr, [&] { return Exists(path); }, 10000);
        for (HANDLE handle : {process.hProcess, process.hThread})
            if (handle != nullptr)
                CloseHandle(handle);
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
        EXPECT_EQ(WriteFailed, Press(IDC_WRITE)) << entry.what;
        EXPECT_EQ(VerifyFailed, Press(IDC_VERIFY)) << entry.what;
        ExpectRestored();
    }
    EXPECT_TRUE(Calls().empty());
}
}  // namespace
