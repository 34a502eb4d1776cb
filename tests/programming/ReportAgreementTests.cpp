// Kelvra's identity report and `kelvra-image show` must never disagree:
// the same image bytes, verified by Kelvra and shown by the tool, give the
// same lines.
#include "ProgrammingHarness.h"

namespace
{
using Lines = std::vector<std::string>;

// Runs the tool and returns its standard output; bounded.
std::string RunAndCapture(std::string commandLine)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return "";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started)
    {
        char buffer[4096];
        DWORD read = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
            output.append(buffer, read);
        if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    return output;
}

// The tool's lines without its warnings.
Lines ShownIdentity(const std::string& path)
{
    const std::string output = RunAndCapture(std::string("\"") + KELVRA_IMAGE_TOOL + "\" show --raw \"" + path + "\"");
    Lines lines;
    size_t start = 0;
    while (start < output.size())
    {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("warning: ", 0) != 0)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Kelvra's lines after its own KelvraText::VerifySuccess and empty line.
Lines ReportedIdentity(const Lines& verifyLines)
{
    if (verifyLines.size() < 3 || verifyLines[1] != KelvraText::VerifySuccess)
        return {"(verify failed)"};
    return Lines(verifyLines.begin() + 3, verifyLines.end());
}

TEST_F(ProgrammingTest, ImageToolShowsWhatKelvrasReportLists)
{
    std::string overrun = IdentityImage(0x6705, "Pad", "Maker", "");
    overrun[20] = 80;  // the product runs on into the manufacturer field
    std::string lengthOne = IdentityImage(0x6702, "", "", "ABC");
    lengthOne[6] = 1;
    std::string zeroInside = IdentityImage(0x6702, "", "", "ABC");
    zeroInside[8] = 0;
    std::string longManufacturer = IdentityImage(0x6704, "", std::string(75, 'M'), "");
    longManufacturer[52] = static_cast<char>(255);
    const std::string images[] = {
        IdentityImage(0x6707, "Vantrel Pad", "Vantrel Ltd", "SN0042"),
        IdentityImage(0x6708, "P", "M", "S"),
        IdentityImage(0x6810, "P", "M", "S"),
        overrun,
        lengthOne,
        zeroInside,
        longManufacturer,
    };
    Start();
    for (const std::string& image : images)
    {
        SeedChip("VT_HIDA", image);
        ChooseImage(image);
        const Lines reported = ReportedIdentity(Press(IDC_VERIFY));
        EXPECT_EQ(reported, ShownIdentity(folder.PathOf("image.hex")));
    }
}
}  // namespace
