// The station's set-up as an engineer gives it: on the command line of a
// shortcut, in the settings file beside the log, or both; every refusal says
// what is wrong before anything is opened.
#include <gtest/gtest.h>

#include "StationSetup.h"
#include "WorkingFolder.h"

namespace
{
using Arguments = std::vector<std::string>;

TEST(StationCommandLine, SplitsAsTheCRuntimeDoes)
{
    struct Case
    {
        const wchar_t* line;
        Arguments arguments;
    };
    const Case cases[] = {
        {L"\"C:\\Program Files\\KelvraStation.exe\" --log \"D:\\line one\\log.csv\"",
         {"--log", "D:\\line one\\log.csv"}},
        {L"KelvraStation.exe \"ab\\\"c\" \"\\\\\" d", {"ab\"c", "\\", "d"}},
        {L"KelvraStation.exe a\\\\\\b d\"e f\"g h", {"a\\\\\\b", "de fg", "h"}},
        {L"KelvraStation.exe a\\\\\\\"b c", {"a\\\"b", "c"}},
        {L"KelvraStation.exe a\\\\\\\\\"b c\" d", {"a\\\\b c", "d"}},
        {L"KelvraStation.exe \"\" \"a\"\"b\"", {"", "a\"b"}},
        {L"KelvraStation.exe caf\u00e9.hex  ", {"caf\xC3\xA9.hex"}},
        {L"KelvraStation.exe", {}},
    };
    for (const Case& test : cases)
    {
        EXPECT_EQ(SplitCommandLine(test.line), test.arguments);
    }
}

class StationSetupTest : public testing::Test
{
protected:
    std::string Read(const Arguments& arguments)
    {
        setup = StationSetup();
        return ReadSetup(arguments, setup);
    }

    WorkingFolder folder;
    StationSetup setup;
};

TEST_F(StationSetupTest, TakesTheCommandLineAndTheSettingsBesideTheLogTheCommandLineFirst)
{
    ASSERT_EQ(Read({"widget.hex", "--family", "A", "--device=1209:00aB", "--log", "line.csv", "--start", "KV-000100",
                    "--count", "300"}),
              "");
    EXPECT_EQ(setup.family, ChipFamily::A);
    EXPECT_EQ(setup.size, 128u);
    EXPECT_EQ(setup.device, 0x120900ABu);
    EXPECT_EQ(setup.image, folder.PathOf("widget.hex"));
    EXPECT_EQ(setup.log, folder.PathOf("line.csv"));
    EXPECT_EQ(setup.settingsFile, folder.PathOf("line.ini"));
    ASSERT_TRUE(setup.series);
    EXPECT_EQ(SerialSeries::SerialOf(*setup.series, setup.series->number), "KV-000100");
    EXPECT_EQ(setup.count, 300u);
    EXPECT_FALSE(setup.scan);

    // A shortcut that names the log alone; the image is found beside the settings.
    CreateDirectoryA(folder.PathOf("line").c_str(), nullptr);
    folder.WriteFile("line\\widget.log.ini", "[STATION]\r\nIMAGE=images\\vt-c.bin\r\nFAMILY=C\r\nSIZE=1024\r\n"
                                             "DEVICE=845e:0001\r\nCOUNT=50\r\n");
    ASSERT_EQ(Read({"--log", "line\\widget.log.csv"}), "");
    EXPECT_EQ(setup.family, ChipFamily::C);
    EXPECT_EQ(setup.size, 1024u);
    EXPECT_EQ(setup.image, folder.PathOf("line\\images\\vt-c.bin"));
    EXPECT_FALSE(setup.series);
    EXPECT_EQ(setup.count, 50u);

    ASSERT_EQ(Read({"--log", "line\\widget.log.csv", "--size", "2048", "--", "-other.bin"}), "")
        << "the command line wins";
    EXPECT_EQ(setup.size, 2048u);
    EXPECT_EQ(setup.image, folder.PathOf("-other.bin"));

    ASSERT_EQ(Read({"w.hex", "--family", "A", "--device", "845e:1", "--log", "scan.csv", "--scan"}), "");
    EXPECT_TRUE(setup.scan);
    EXPECT_FALSE(setup.series);
}

TEST_F(StationSetupTest, RefusesWhatCannotBeUsedAndSaysWhy)
{
    folder.WriteFile("set.ini", "[STATION]\r\nFAMILY=X\r\n");
    const Arguments base = {"w.hex", "--device", "845e:0001", "--log", "line.csv"};
    struct Case
    {
        Arguments arguments;
        const char* problem;
    };
    const auto with = [&base](Arguments more)
    {
        Arguments arguments = base;
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    const Case cases[] = {
        {{"w.hex", "--family", "A"}, "no log: give --log FILE"},
        {{"--log", "--start", "KV-1"}, "--log needs a value (write it --option=VALUE if it starts with '-')"},
        {with({"--family", "A", "--family", "B"}), "--family is given twice"},
        {with({"--serial", "KV-1"}), "--serial is not an option"},
        {with({"--family", "A", "--scan=1"}), "--scan takes no value"},
        {with({"x.hex"}), "the file x.hex is a second image: give one image"},
        {{"--log", "set.csv", "w.hex"}, "set.ini is \"X\", not A, B or C"},
        {with({"--family", "D"}), "--family is \"D\", not A, B or C"},
        {with({"--family", "A", "--size", "512", "--start", "K1"}), "--size is \"512\", not a size: one is for VT-C"},
        {with({"--family", "C", "--size", "300"}), "--size is \"300\", not a size"},
        {{"w.hex", "--family", "A", "--device", "845e0001", "--log", "l.csv"}, "--device is \"845e0001\", not VID:PID"},
        {{"w.hex", "--family", "A", "--log", "l.csv"}, "no device: give --device on the command line, or DEVICE="},
        {{"--family", "A", "--device", "1:2", "--log", "l.csv"}, "no image: give the image file"},
        {with({"--family", "A"}), "give --start or --scan (START= or SCAN=1 in "},
        {with({"--family", "A", "--start", "K1", "--scan"}), "not both"},
        {with({"--family", "B", "--start", "K1"}), "VT-B and VT-C units are numbered 1, 2, 3"},
        {with({"--family", "A", "--start", "KV-12AB"}), "--start is \"KV-12AB\", not letters, '-' or '_' then digits"},
        {with({"--family", "A", "--start", "K1", "--count", "0"}), "--count is \"0\", not a whole number"},
        {with({"--family", "A", "--start", "KV-98", "--count", "3"}),
         "more serials than the start's digits can number"},
        {with({"--family", "A", "--scan", "--count", "3"}), "--count is for a series"},
    };
    for (const Case& test : cases)
    {
        std::string joined;
        for (const std::string& argument : test.arguments)
        {
            joined += argument + " ";
        }
        SCOPED_TRACE(joined);
        const std::string problem = Read(test.arguments);
        EXPECT_NE(problem.find(test.problem), std::string::npos) << problem;
    }
}

TEST_F(StationSetupTest, HelpComesFromTheTableWithEachSettingAndWithinEightyColumns)
{
    EXPECT_EQ(Read({"--log", "l.csv", "--family", "X", "/?"}), "");
    EXPECT_TRUE(setup.help);
    const std::string help = StationHelp();
    EXPECT_NE(help.find("\n  KelvraStation [IMAGE] [--family A|B|C] [--size BYTES] [--device VID:PID]\n"),
              std::string::npos)
        << help;
    for (const char* setting : {"FAMILY=", "SIZE=", "DEVICE=", "START=", "COUNT=", "SCAN="})
    {
        EXPECT_NE(help.find(setting), std::string::npos) << setting;
    }
    std::size_t lineStart = 0;
    for (std::size_t end = help.find('\n'); end != std::string::npos; end = help.find('\n', lineStart))
    {
        EXPECT_LE(end - lineStart, 80u) << help.substr(lineStart, end - lineStart);
        lineStart = end + 1;
    }
}

TEST_F(StationSetupTest, ReadsTheImagePaddedAndRefusesOneThatCannotServe)
{
    folder.WriteFile("short.bin", "\x07\x67");
    folder.WriteFile("empty.bin", "");
    ASSERT_EQ(Read({"short.bin", "--family", "B", "--device", "1:2", "--log", "l.csv"}), "");
    std::vector<BYTE> image;
    ASSERT_EQ(ReadImage(setup, image), "");
    std::vector<BYTE> expected(256, 0);
    expected[0] = 0x07;
    expected[1] = 0x67;
    EXPECT_EQ(image, expected);

    const char* const refused[][2] = {
        {"empty.bin", "is empty"}, {"none.bin", "does not exist"}, {".", "is a folder: give the image file in it"}};
    for (const auto& test : refused)
    {
        SCOPED_TRACE(test[0]);
        setup.image = folder.PathOf(test[0]);
        EXPECT_NE(ReadImage(setup, image).find(test[1]), std::string::npos) << ReadImage(setup, image);
    }
}
}  // namespace

namespace
{
TEST_F(StationSetupTest, ASeriesOnASharedLedgerTakesItsSettingsFromTheStartFolder)
{
    folder.WriteFile("KelvraStation.ini",
                     "[STATION]\r\nIMAGE=widget.hex\r\nDEVICE=845e:0001\r\nLEDGER=DSN=kelvra-line\r\n"
                     "SERIES=widget-2026\r\n");
    ASSERT_EQ(Read({"--station", "bench-4"}), "");
    EXPECT_EQ(setup.settingsFile, folder.PathOf("KelvraStation.ini"));
    EXPECT_EQ(setup.image, folder.PathOf("widget.hex"));
    EXPECT_EQ(setup.ledger, "DSN=kelvra-line");
    EXPECT_EQ(setup.ledgerSeries, "widget-2026");
    EXPECT_EQ(setup.station, "bench-4");
    EXPECT_TRUE(setup.log.empty());

    struct Case
    {
        Arguments arguments;
        const char* problem;
    };
    const Case refusals[] = {
        {{"--family", "A"}, "--family is for a line of its own: the series \"widget-2026\" brings the family"},
        {{"--log", "line.csv", "--station", "x"}, "--ledger and --station go with --series NAME"},
        {{"--series=b", "--start", "KV-1"}, "--start is for a line of its own: the series \"b\""},
    };
    folder.WriteFile("KelvraStation.ini",
                     "[STATION]\r\nIMAGE=widget.hex\r\nDEVICE=845e:0001\r\nSERIES=widget-2026\r\n");
    for (const Case& test : refusals)
    {
        EXPECT_EQ(Read(test.arguments).find(test.problem), 0u) << Read(test.arguments);
    }
}
}  // namespace
