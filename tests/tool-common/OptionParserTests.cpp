// The shared option parser, through kelvra-image's table and entry point:
// each refusal with its status and message, each accepted form, and the help
// printed from the table. kelvra-cli's own table is tried in its CLI tests.
#include "CommandLine.h"
#include "Commands.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace
{

using Arguments = std::vector<std::string>;
using namespace CommandLine;

struct Refusal
{
    Arguments arguments;
    std::string message;
};

TEST(OptionParser, EachRefusalSaysWhatIsWrongWithTheUsageStatus)
{
    const std::string valueHint = "; to give a value that begins with '-', write ";
    const Refusal refusals[] = {
        {{}, "no command given: give show, build, series or from-ihex"},
        {{"frobnicate"}, "unknown command \"frobnicate\": give show, build, series or from-ihex"},
        {{"build", "--colour", "red"}, "unknown option --colour"},
        {{"show", "--force", "a.hex"}, "show does not take --force"},
        {{"build", "--vid", "1", "--vid", "2", "-o", "x"}, "--vid is given twice; give it once"},
        {{"build", "-o", "a", "--output=b"}, "-o (--output) is given twice; give it once"},
        {{"build", "--serial", "--force", "-o", "x"},
         "--serial needs a value (TEXT), but \"--force\" follows it" + valueHint + "--serial=--force"},
        {{"build", "-o", "-x.hex"},
         "-o needs a value (FILE), but \"-x.hex\" follows it" + valueHint + "--output=-x.hex"},
        {{"build", "--pid", "-", "-o", "x"}, "--pid needs a value (HEX), but \"-\" follows it" + valueHint + "--pid=-"},
        {{"build", "--vid"}, "--vid needs a value (HEX)"},
        {{"show", "--raw=yes", "a.hex"}, "--raw takes no value"},
        {{"show"}, "show needs FILE"},
        {{"show", "a.hex", "b.hex"}, "unexpected argument \"b.hex\""},
        {{"show", "--", "--raw", "a.hex"}, "unexpected argument \"a.hex\""},
        {{"from-ihex", "in.hex"}, "from-ihex needs OUT"},
        {{"build", "--vid", "1"}, "build needs -o FILE"},
        {{"build", "-o", ""}, "-o \"\" names no file"},
        {{"from-ihex", "in.hex", ""}, "OUT \"\" names no file"},
        {{"series", "--profile", "p.ini", "--count", "1", "--output-dir="}, "--output-dir \"\" names no folder"},
        {{"series", "--count", "2"}, "series needs --profile FILE"},
    };
    for (const Refusal& refusal : refusals)
    {
        SCOPED_TRACE(refusal.message);
        std::string out;
        std::string err;
        EXPECT_EQ(Commands::Run(refusal.arguments, out, err), Commands::ExitUsage);
        EXPECT_EQ(err, "kelvra-image: " + refusal.message + " (see kelvra-image --help)\n");
        EXPECT_EQ(out, "");
    }
}

struct Accepted
{
    Arguments arguments;
    int command;
    Arguments operands;
    std::vector<std::pair<int, std::string>> options;
};

TEST(OptionParser, ValuesComeFromTheNextWordOrAfterAnEqualsSignAndOperandsFromAnywhere)
{
    const Accepted accepted[] = {
        {{"build", "--vid", "845e", "-o", "a.hex", "--force"},
         BuildCommand,
         {},
         {{VidOption, "845e"}, {OutputOption, "a.hex"}, {ForceOption, ""}}},
        {{"build", "--vid=845e", "--output=a.hex"}, BuildCommand, {}, {{VidOption, "845e"}, {OutputOption, "a.hex"}}},
        {{"build", "--serial=-7", "--product=", "-o", "a=b"},
         BuildCommand,
         {},
         {{SerialOption, "-7"}, {ProductOption, ""}, {OutputOption, "a=b"}}},
        {{"from-ihex", "in.hex", "--force", "out.bin"},
         FromIntelHexCommand,
         {"in.hex", "out.bin"},
         {{ForceOption, ""}}},
        {{"show", "--", "-x.hex"}, ShowCommand, {"-x.hex"}, {}},
        {{"show", "--raw", "--", "--help"}, ShowCommand, {"--help"}, {{RawOption, ""}}},
        {{"show", "-"}, ShowCommand, {"-"}, {}},
    };
    for (const Accepted& expected : accepted)
    {
        SCOPED_TRACE(expected.arguments.front() + " " + std::to_string(expected.arguments.size()));
        OptionParser::Parsed parsed;
        ASSERT_EQ(OptionParser::Parse(Table, expected.arguments, parsed), "");
        EXPECT_FALSE(parsed.help);
        EXPECT_EQ(parsed.command, expected.command);
        EXPECT_EQ(parsed.operands, expected.operands);
        std::vector<std::pair<int, std::string>> options;
        for (const OptionParser::GivenOption& given : parsed.options)
        {
            options.emplace_back(given.id, given.value);
        }
        EXPECT_EQ(options, expected.options);
    }
}

TEST(OptionParser, HelpWinsWhereverItIsAskedForBeforeTheEndOfTheOptions)
{
    for (const Arguments& arguments :
         {Arguments{"--help"}, Arguments{"help"}, Arguments{"build", "--vid", "-h"}, Arguments{"frobnicate", "/?"}})
    {
        std::string out;
        std::string err;
        EXPECT_EQ(Commands::Run(arguments, out, err), Commands::ExitSuccess);
        EXPECT_EQ(out, Commands::UsageText());
        EXPECT_EQ(err, "");
    }
}

TEST(OptionParser, TheHelpListsEveryCommandAndOptionFromTheTableWithinEightyColumns)
{
    const std::string help = Commands::UsageText();
    EXPECT_NE(help.find("\n  kelvra-image show FILE [--raw]\n"), std::string::npos) << help;
    EXPECT_NE(help.find("\n  kelvra-image from-ihex IN OUT [--force]\n"), std::string::npos) << help;
    EXPECT_NE(help.find("\n  kelvra-image build [--vid HEX] [--pid HEX] [--product TEXT]\n"
                        "                     [--manufacturer TEXT] [--serial TEXT] [--profile FILE]\n"
                        "                     -o FILE [--force]\n"),
              std::string::npos)
        << help;
    EXPECT_NE(help.find("\n  -o, --output FILE    build: the image file to write\n"), std::string::npos) << help;
    for (std::size_t row = 0; row < Table.optionCount; ++row)
    {
        // Its first words, before the help wraps it.
        const std::string rowHelp = Table.options[row].help;
        EXPECT_NE(help.find(rowHelp.substr(0, 20)), std::string::npos) << Table.options[row].name;
    }
    std::size_t lineStart = 0;
    for (std::size_t end = help.find('\n'); end != std::string::npos; end = help.find('\n', lineStart))
    {
        EXPECT_LE(end - lineStart, 80u) << help.substr(lineStart, end - lineStart);
        lineStart = end + 1;
    }
}

}  // namespace
