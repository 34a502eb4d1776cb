// The tool as users run it: exit status, one-line errors, and no file left
// behind by a refusal.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace
{

const std::vector<std::string> ExpectedLines{"VID:0x845e", "PID:0x0001", "Product String:Sensor Hub",
                                             "Manufacture String:Example Works", "Serial Number:SN0001"};

const std::string Profile = "[IMAGE]\n"
                            "VID=845e\n"
                            "PID=0001\n"
                            "PRODUCT=Sensor Hub\n"
                            "MANUFACTURER=Example Works\n"
                            "SERIAL=SN0099\n";

class ToolTest : public KelvraImageTest
{
protected:
    ToolRun Run(const std::vector<std::string>& arguments) { return RunTool(arguments, folder); }

    std::vector<std::string> BuildArguments(const std::string& output) const
    {
        return {"build",          "--vid",         "845e",     "--pid",  "0001", "--product",          "Sensor Hub",
                "--manufacturer", "Example Works", "--serial", "SN0001", "-o",   folder.PathOf(output)};
    }

    // The refusal contract: its status (1, or 2 for a bad option value), one line on stderr, no output file.
    void ExpectRefusal(const std::vector<std::string>& arguments, const std::string& file, const std::string& reason,
                       int status = 1)
    {
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, status) << run.err;
        EXPECT_EQ(SplitLines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_FALSE(Exists(folder.PathOf(file)));
    }
};

std::vector<std::string> With(std::vector<std::string> arguments, const std::string& option, const std::string& value)
{
    for (std::size_t index = 0; index + 1 < arguments.size(); ++index)
    {
        if (arguments[index] == option)
        {
            arguments[index + 1] = value;
        }
    }
    return arguments;
}

}  // namespace

TEST_F(ToolTest, HelpAndUsageErrors)
{
    const ToolRun help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("\nUsage:\n  kelvra-image show FILE"), std::string::npos) << help.out;
    EXPECT_EQ(Run({"build", "--help"}).exitCode, 0);

    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{},
                                               {"frobnicate"},
                                               {"show"},
                                               {"show", "a", "b"},
                                               {"build", "--vid"},
                                               {"build", "--colour", "red"},
                                               {"build", "--vid", "1", "--vid", "2", "-o", "x"},
                                               {"series", "--count", "2"},
                                               {"from-ihex", "in"},
                                               // Bad values, refused before any file is read.
                                               {"series", "--profile", "missing.ini", "--count", "0"},
                                               {"build", "--vid", "zz", "--pid", "1", "-o", "x"},
                                               {"build", "--vid", "1", "--pid", "1", "-o", ""}})
    {
        const ToolRun run = Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(SplitLines(run.err).size(), 1u) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
}

TEST_F(ToolTest, BuildThenShowListsWhatKelvraWould)
{
    const ToolRun build = Run(BuildArguments("id.hex"));
    ASSERT_EQ(build.exitCode, 0) << build.err;
    const std::vector<std::uint8_t> bytes = ReadBytes(folder.PathOf("id.hex"));
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(bytes[0], 0x07);
    EXPECT_EQ(bytes[1], 0x67);
    EXPECT_EQ(bytes[6], 2 + 2 * 6);

    const ToolRun show = Run({"show", folder.PathOf("id.hex")});
    EXPECT_EQ(show.exitCode, 0) << show.err;
    EXPECT_EQ(SplitLines(show.out), ExpectedLines);
    EXPECT_TRUE(show.err.empty());
}

TEST_F(ToolTest, BuildFromProfileWithOptionsOverriding)
{
    WriteText(folder.PathOf("p.ini"), Profile);
    const ToolRun build = Run({"build", "--profile", folder.PathOf("p.ini"), "--serial", "SN0001", "--product=", "-o",
                               folder.PathOf("id.hex")});
    ASSERT_EQ(build.exitCode, 0) << build.err;
    const ToolRun show = Run({"show", folder.PathOf("id.hex")});
    EXPECT_EQ(SplitLines(show.out),
              (std::vector<std::string>{"VID:0x845e", "PID:0x0001", "Manufacture String:Example Works",
                                        "Serial Number:SN0001"}));
}

TEST_F(ToolTest, BuildRefusesBadInputWithoutWritingAFile)
{
    const std::vector<std::string> good = BuildArguments("id.hex");
    const int usage = 2;
    ExpectRefusal(With(good, "--serial", "SN000000000001"), "id.hex", "at most 13", usage);
    ExpectRefusal(With(good, "--product", std::string(32, 'p')), "id.hex", "at most 31", usage);
    ExpectRefusal(With(good, "--manufacturer", std::string(76, 'm')), "id.hex", "at most 75", usage);
    ExpectRefusal(With(good, "--product", "Caf\xc3\xa9"), "id.hex", "not printable ASCII", usage);
    ExpectRefusal(With(good, "--serial", "A\tB"), "id.hex", "not printable ASCII", usage);
    ExpectRefusal(With(good, "--vid", "12345"), "id.hex", "not 1 to 4 hexadecimal digits", usage);
    ExpectRefusal(With(good, "--vid", "0x12"), "id.hex", "not 1 to 4 hexadecimal digits", usage);
    ExpectRefusal(With(good, "--pid", "xyz"), "id.hex", "not 1 to 4 hexadecimal digits", usage);
    ExpectRefusal(With(good, "--pid", ""), "id.hex", "no product identifier", usage);
    // A profile's content is refused as a file's is.
    WriteText(folder.PathOf("bad.ini"), "[IMAGE]\nSERIALNO=1\n");
    WriteText(folder.PathOf("long.ini"), "[IMAGE]\nPRODUCT=" + std::string(32, 'p') + "\n");
    for (const auto& [profile, reason] :
         {std::pair{"bad.ini", "line 2: unknown key 'SERIALNO'"}, std::pair{"long.ini", "at most 31"}})
    {
        ExpectRefusal(
            {"build", "--vid", "1", "--pid", "1", "--profile", folder.PathOf(profile), "-o", folder.PathOf("id.hex")},
            "id.hex", reason);
    }
}

TEST_F(ToolTest, NoCommandReplacesItsOwnInputWhateverNameItIsGivenBy)
{
    const std::string hex = ":0400000007674584C5\r\n:00000001FF\r\n";
    WriteText(folder.PathOf("x.hex"), hex);
    WriteText(folder.PathOf("SN0099.hex"), Profile);
    ASSERT_EQ(link(folder.PathOf("x.hex").c_str(), folder.PathOf("linked.hex").c_str()), 0);
    ASSERT_EQ(mkdir(folder.PathOf("sub").c_str(), 0700), 0);
    const std::vector<std::vector<std::string>> commands = {
        {"from-ihex", folder.PathOf("x.hex"), folder.PathOf("x.hex")},
        {"from-ihex", folder.PathOf("x.hex"), folder.PathOf("sub/../x.hex")},
        {"from-ihex", folder.PathOf("x.hex"), folder.PathOf("linked.hex")},
        {"build", "--profile", folder.PathOf("SN0099.hex"), "-o", folder.PathOf("SN0099.hex")},
        // The series' first image would be named as the profile is.
        {"series", "--profile", folder.PathOf("SN0099.hex"), "--count", "2", "--output-dir", folder.Path()},
    };
    for (std::vector<std::string> command : commands)
    {
        SCOPED_TRACE(command[0] + " " + command.back());
        command.push_back("--force");
        ExpectRefusal(command, "SN0100.hex", "is the input");
        EXPECT_EQ(ReadBytes(folder.PathOf("x.hex")), std::vector<std::uint8_t>(hex.begin(), hex.end()));
        EXPECT_EQ(ReadBytes(folder.PathOf("SN0099.hex")), std::vector<std::uint8_t>(Profile.begin(), Profile.end()));
    }
}

TEST_F(ToolTest, ExistingFilesAreReplacedOnlyWithForce)
{
    WriteText(folder.PathOf("id.hex"), "keep");
    ExpectRefusal(BuildArguments("id.hex"), "missing.hex", "already exists");
    EXPECT_EQ(ReadBytes(folder.PathOf("id.hex")).size(), 4u);

    std::vector<std::string> forced = BuildArguments("id.hex");
    forced.push_back("--force");
    EXPECT_EQ(Run(forced).exitCode, 0);
    EXPECT_EQ(ReadBytes(folder.PathOf("id.hex")).size(), 128u);
}

TEST_F(ToolTest, SeriesWritesOneImagePerSerial)
{
    WriteText(folder.PathOf("p.ini"), Profile);
    const ToolRun run =
        Run({"series", "--profile", folder.PathOf("p.ini"), "--count", "3", "--output-dir", folder.Path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const std::string serial : {"SN0099", "SN0100", "SN0101"})
    {
        const ToolRun show = Run({"show", folder.PathOf(serial + ".hex")});
        ASSERT_EQ(SplitLines(show.out).size(), 5u) << serial;
        EXPECT_EQ(SplitLines(show.out).back(), "Serial Number:" + serial);
    }
    EXPECT_FALSE(Exists(folder.PathOf("SN0102.hex")));
}

TEST_F(ToolTest, SeriesRefusesBeforeWritingAnything)
{
    WriteText(folder.PathOf("p.ini"), Profile);
    const std::vector<std::string> base{"series", "--profile", folder.PathOf("p.ini"), "--output-dir", folder.Path()};
    std::vector<std::string> overflow = base;
    overflow.insert(overflow.end(), {"--start", "98", "--count", "3"});
    ExpectRefusal(overflow, "98.hex", "do not fit in 2 digits", 2);

    WriteText(folder.PathOf("SN0101.hex"), "keep");
    std::vector<std::string> blocked = base;
    blocked.insert(blocked.end(), {"--count", "3"});
    ExpectRefusal(blocked, "SN0099.hex", "SN0101.hex: already exists");
    EXPECT_FALSE(Exists(folder.PathOf("SN0100.hex")));

    std::vector<std::string> badStart = base;
    badStart.insert(badStart.end(), {"--start", "S/N01", "--count", "1"});
    ExpectRefusal(badStart, "S/N01.hex", "not decimal digits", 2);

    ExpectRefusal(
        {"series", "--profile", folder.PathOf("p.ini"), "--count", "1", "--output-dir", folder.PathOf("none")}, "none",
        "no such directory");
}

TEST_F(ToolTest, FromIntelHexConvertsAndReportsTheFaultyLine)
{
    WriteText(folder.PathOf("good.hex"), ":0400000007674584C5\r\n:00000001FF\r\n");
    const ToolRun good = Run({"from-ihex", folder.PathOf("good.hex"), folder.PathOf("good.bin")});
    ASSERT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(ReadBytes(folder.PathOf("good.bin")), (std::vector<std::uint8_t>{0x07, 0x67, 0x45, 0x84}));
    ExpectRefusal({"from-ihex", folder.PathOf("good.hex"), folder.PathOf("good.bin")}, "none", "already exists");

    WriteText(folder.PathOf("bad.hex"), ":0400000007674584C5\n:0100000055AB\n:00000001FF\n");
    ExpectRefusal({"from-ihex", folder.PathOf("bad.hex"), folder.PathOf("bad.bin")}, "bad.bin",
                  "bad.hex: line 2: checksum");
    ExpectRefusal({"from-ihex", folder.PathOf("none.hex"), folder.PathOf("x.bin")}, "x.bin", "no such file");
    // A name shows as typed, in any script, with its control bytes escaped.
    ExpectRefusal({"from-ihex", folder.PathOf("\xCE\xA9\x1b.hex"), folder.PathOf("x.bin")}, "x.bin",
                  "\xCE\xA9\\x1b.hex: no such file");
}

TEST_F(ToolTest, ShowWarnsAboutIntelHexAndEscapesControlBytes)
{
    WriteText(folder.PathOf("text.hex"), ":0400000007674584C5\n:00000001FF\n");
    const ToolRun hex = Run({"show", folder.PathOf("text.hex")});
    EXPECT_EQ(hex.exitCode, 0);
    const std::vector<std::string> lines = SplitLines(hex.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("warning: file looks like Intel HEX", 0), 0u) << hex.out;

    Family0Image::Image image = ImageWithHeader(0x6702);
    PutField(image, Family0Image::SerialNumberField, 8,
             "A\x1b"
             "B");
    WriteBytes(folder.PathOf("esc.bin"), std::vector<std::uint8_t>(image.begin(), image.end()));
    const ToolRun escaped = Run({"show", folder.PathOf("esc.bin")});
    EXPECT_EQ(SplitLines(escaped.out).at(2), "Serial Number:A\\x1bB");
    EXPECT_EQ(SplitLines(escaped.out).at(3).rfind("warning: ", 0), 0u);
}

namespace
{

TEST(ToolRawShow, ControlBytesAreEscapedUnlessRawIsAsked)
{
    TemporaryFolder folder;
    std::vector<std::uint8_t> image(128, 0);
    image[0] = 0x02;  // serial present
    image[1] = 0x67;
    image[6] = 10;  // four characters
    image[7] = 'A';
    image[8] = '\\';
    image[9] = 0x07;
    image[10] = 'C';
    WriteBytes(folder.PathOf("bell.hex"), image);

    // The backslash escaped too: otherwise A, \ and 0x07 show as A\\x07, which reads two ways.
    const ToolRun escaped = RunTool({"show", folder.PathOf("bell.hex")}, folder);
    EXPECT_NE(escaped.out.find("Serial Number:A\\\\\\x07C\n"), std::string::npos) << escaped.out;
    const ToolRun raw = RunTool({"show", "--raw", folder.PathOf("bell.hex")}, folder);
    EXPECT_NE(raw.out.find("Serial Number:A\\\x07"
                           "C\n"),
              std::string::npos)
        << raw.out;
    // Warnings stay escaped either way.
    EXPECT_EQ(raw.out.find("warning: ") == std::string::npos, escaped.out.find("warning: ") == std::string::npos);
}

}  // namespace
