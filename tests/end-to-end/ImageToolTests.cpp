// kelvra-image.exe on Windows, run as a script runs it, with file names
// outside the ANSI code page: each is used as it was typed, never turned
// into another file's name.
#include <gtest/gtest.h>

#include <set>

#include "ChildProcess.h"
#include "EndToEndTest.h"
#include "KelvraProgramLocation.h"
#include "WideText.h"

namespace EndToEnd
{
namespace
{

void WriteNamed(const std::string& path, const std::string& bytes)
{
    const HANDLE file =
        CreateFileW(WideFromUtf8(path).data(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The names in a folder and its folders, as UTF-8, relative to it.
std::set<std::string> NamesIn(const std::string& folder, const std::string& prefix = "")
{
    std::set<std::string> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW(WideFromUtf8(folder + "\\*").data(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    {
        const std::string name = Utf8FromWide(found.cFileName);
        if (name == "." || name == "..")
        {
            continue;
        }
        names.insert(prefix + name);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        {
            const std::set<std::string> inner = NamesIn(folder + "\\" + name, prefix + name + "\\");
            names.insert(inner.begin(), inner.end());
        }
    }
    if (search != INVALID_HANDLE_VALUE)
    {
        FindClose(search);
    }
    return names;
}

TEST(ImageToolOnWindows, NamesOutsideTheAnsiCodePageAreUsedAsTyped)
{
    const TemporaryFolder temporary("kelvra-image-names");
    // Not PathOf: std::filesystem's narrow paths are not UTF-8 both ways.
    const std::string folder = temporary.Path();
    const auto in = [&folder](const std::string& name)
    {
        return folder + "\\" + name;
    };
    const std::string omega = "\xCE\xA9";    // Greek capital omega
    const std::string aMacron = "\xC4\x81";  // Latin small a with macron
    const std::string hex = in(aMacron + ".hex");
    const std::string image = in(omega + ".bin");
    const std::string profile = in(omega + ".ini");
    WriteNamed(hex, ":0400000007674584C5\r\n:00000001FF\r\n");
    WriteNamed(profile, "[IMAGE]\r\nVID=845e ; the vendor\r\nPID=0001\r\nSERIAL=SN1\r\n");
    ASSERT_TRUE(CreateDirectoryW(WideFromUtf8(in(omega)).data(), nullptr));
    struct Step
    {
        std::vector<std::string> arguments;
        DWORD status;
        std::string gist;  // of stderr
    };
    const Step steps[] = {
        {{"from-ihex", hex, image}, 0, ""},
        {{"from-ihex", hex, image}, 1, "\\" + omega + ".bin: already exists"},
        {{"show", image}, 0, ""},
        {{"build", "--profile", profile, "-o", in(aMacron + "-id.bin")}, 0, ""},
        {{"series", "--profile", profile, "--count", "1", "--output-dir", in(omega)}, 0, ""},
        // The input by another name.
        {{"from-ihex", image, in(omega + ".BIN"), "--force"}, 1, "is the input"},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.arguments.front() + " " + step.arguments.back());
        const ProcessRun run = RunProcess(WindowsPathOf(KelvraImageHostPath), step.arguments, folder);
        EXPECT_EQ(run.exitCode, step.status) << run.err;
        EXPECT_NE(run.err.find(step.gist), std::string::npos) << run.err;
    }
    const std::set<std::string> made = {aMacron + ".hex",    omega + ".bin",     omega + ".ini", omega,
                                        aMacron + "-id.bin", omega + "\\SN1.hex"};
    EXPECT_EQ(NamesIn(folder), made);
}

}  // namespace
}  // namespace EndToEnd
