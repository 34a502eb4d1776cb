// The identity report after a VT-A verify, and `kelvra-image show` on the
// same bytes, against lines written out by hand: the header's presence bits
// and each field's length byte decide what is listed.
#include "ProgrammingHarness.h"

#include "ChildProcess.h"

namespace
{
using Lines = std::vector<std::string>;

// The tool's lines without its warnings.
Lines ShownIdentity(const std::string& path)
{
    const ProcessRun run = RunProcess(KELVRA_IMAGE_TOOL, {"show", "--raw", path}, "");
    Lines lines;
    size_t start = 0;
    while (start < run.out.size())
    {
        size_t end = run.out.find('\n', start);
        if (end == std::string::npos)
        {
            end = run.out.size();
        }
        std::string line = run.out.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
        {
            line.pop_back();
        }
        if (line.rfind("warning: ", 0) != 0)
        {
            lines.push_back(line);
        }
        start = end + 1;
    }
    return lines;
}

TEST_F(ProgrammingTest, ReportAndImageToolListWhatTheHeaderBitsAndLengthBytesSay)
{
    std::string lengthOne = IdentityImage(0x6702, "", "", "ABC");
    lengthOne[6] = 1;
    // The product's length byte counts 39 characters: on past the manufacturer's length byte and text.
    std::string overrun = IdentityImage(0x6705, "Pad", "Maker", "");
    overrun[20] = 80;
    // 126 characters counted, 75 inside the image; beyond it the bytes read as zero.
    std::string pastTheEnd = IdentityImage(0x6704, "", std::string(75, 'M'), "");
    pastTheEnd[52] = static_cast<char>(255);
    const struct
    {
        std::string image;
        Lines report;
    } cases[] = {
        {IdentityImage(0x6708, "P", "M", "S"), {"VID:0x845e", "PID:0x0001"}},
        {lengthOne, {"VID:0x845e", "PID:0x0001", "Serial Number:"}},
        {overrun, {"VID:0x845e", "PID:0x0001", "Product String:Pad\x0cMaker", "Manufacture String:Maker"}},
        {pastTheEnd, {"VID:0x845e", "PID:0x0001", "Manufacture String:" + std::string(75, 'M')}},
        {IdentityImage(0x6717, "P", "M", "S"), {}},
    };
    Start();
    for (const auto& entry : cases)
    {
        SeedChip("VT_HIDA", entry.image);
        ChooseImage(entry.image);
        Lines verified{KelvraText::Verifying, KelvraText::VerifySuccess, ""};
        verified.insert(verified.end(), entry.report.begin(), entry.report.end());
        EXPECT_EQ(Press(IDC_VERIFY), verified);
        EXPECT_EQ(ShownIdentity(folder.PathOf("image.hex")), entry.report);
    }
}
}  // namespace
