// The shared option parser for a program without command words whose values
// may also come from a settings file, as the station's: its own wording of
// refusals, an optional operand, the settings below the command line, and the
// help from the same table.
#include "OptionParser.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace
{

using Arguments = std::vector<std::string>;

enum
{
    FamilyOption,
    LogOption,
    ScanOption,
    TraceOption,
    HelpOption,
};

const OptionParser::CommandSet Only = OptionParser::CommandBit(0);
const OptionParser::CommandRow Commands[] = {{0, "", "[IMAGE]", ""}};
const OptionParser::OptionRow Options[] = {
    {FamilyOption, "--family", nullptr, "A|B|C", "the chip family", Only, 0, "FAMILY"},
    {LogOption, "--log", nullptr, "FILE", "the line's log", Only, Only},
    {ScanOption, "--scan", nullptr, nullptr, "scanned serials", Only, 0, "SCAN"},
    {TraceOption, "--trace", nullptr, nullptr, "no settings name: the command line only", Only, 0},
    {HelpOption, "--help", "-h", nullptr, "this text", Only, 0},
};
const OptionParser::Wording Wording = {[](const std::string& name) { return name + " is not an option"; },
                                       [](const std::string& word) { return word + " is a second image: give one"; },
                                       [](const OptionParser::OptionRow& row, const std::string* next)
                                       {
                                           return std::string(row.name) +
                                                  (next ? " is followed by an option" : " ends the line");
                                       }};
const OptionParser::Table Table =
    OptionParser::MakeTable("station", "about\n", "notes\n", Commands, Options, HelpOption, Wording);

class Settings final : public OptionParser::SettingSource
{
public:
    explicit Settings(std::map<std::string, std::string> values) : m_values(std::move(values)) {}
    bool Find(const char* name, std::string& value) const override
    {
        const auto found = m_values.find(name);
        value = found != m_values.end() ? found->second : "";
        return found != m_values.end();
    }

private:
    std::map<std::string, std::string> m_values;
};

TEST(OptionsWithoutCommands, RefusalsAreWordedByTheProgram)
{
    const struct
    {
        Arguments arguments;
        std::string refusal;
    } cases[] = {
        {{"a.hex"}, "no log: give --log FILE, the line's log"},
        {{"--log", "l.csv", "--serial", "1"}, "--serial is not an option"},
        {{"--log", "l.csv", "a.hex", "b.hex"}, "b.hex is a second image: give one"},
        {{"--log"}, "--log ends the line"},
        {{"--log", "--scan"}, "--log is followed by an option"},
        {{"--log", "l.csv", "--log", "m.csv"}, "--log is given twice; give it once"},
        {{"--log", "l.csv", "--scan=1"}, "--scan takes no value"},
        {{"--log", "l.csv", ""}, "IMAGE \"\" names no file"},
        {{"--log="}, "--log \"\" names no file"},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.refusal);
        OptionParser::Parsed parsed;
        EXPECT_EQ(OptionParser::ParseOptions(Table, test.arguments, parsed), test.refusal);
    }
}

TEST(OptionsWithoutCommands, TheOperandIsOptionalAndNoWordIsACommand)
{
    for (const Arguments& arguments : {Arguments{"--log", "l.csv"}, Arguments{"help", "--log", "l.csv"},
                                       Arguments{"--log=l.csv", "--", "-image.hex"}})
    {
        OptionParser::Parsed parsed;
        ASSERT_EQ(OptionParser::ParseOptions(Table, arguments, parsed), "") << arguments[0];
        EXPECT_FALSE(parsed.help);
        EXPECT_EQ(parsed.operands.size(), arguments.size() == 2 ? 0u : 1u);
        EXPECT_EQ(*parsed.ValueOf(LogOption), "l.csv");
    }
    OptionParser::Parsed parsed;
    EXPECT_EQ(OptionParser::ParseOptions(Table, {"/?"}, parsed), "");
    EXPECT_TRUE(parsed.help);
}

TEST(OptionsWithoutCommands, TheSettingsGiveWhatTheCommandLineDoesNot)
{
    const Settings settings({{"FAMILY", "C"}, {"SCAN", "0"}, {"LOG", "s.csv"}, {"TRACE", "1"}});
    OptionParser::Parsed parsed;
    ASSERT_EQ(OptionParser::ParseOptions(Table, {"--log", "l.csv", "--family", "A"}, parsed), "");
    OptionParser::AddSettings(Table, settings, parsed);
    // The command line wins; a setting is asked only under an option's own settings name.
    EXPECT_EQ(*parsed.ValueOf(FamilyOption), "A");
    EXPECT_FALSE(parsed.Given(FamilyOption)->fromSettings);
    EXPECT_EQ(*parsed.ValueOf(LogOption), "l.csv");
    EXPECT_FALSE(parsed.Has(TraceOption));
    ASSERT_TRUE(parsed.Has(ScanOption));
    EXPECT_EQ(*parsed.ValueOf(ScanOption), "0");
    EXPECT_TRUE(parsed.Given(ScanOption)->fromSettings);

    ASSERT_EQ(OptionParser::ParseOptions(Table, {"--log", "l.csv", "--scan"}, parsed), "");
    OptionParser::AddSettings(Table, settings, parsed);
    EXPECT_EQ(*parsed.ValueOf(FamilyOption), "C");
    EXPECT_TRUE(parsed.Given(FamilyOption)->fromSettings);
    EXPECT_EQ(*parsed.ValueOf(ScanOption), "");
    EXPECT_FALSE(parsed.Given(ScanOption)->fromSettings);
}

TEST(OptionsWithoutCommands, TheHelpHasOneUsageAndNamesEachSetting)
{
    const std::string help = OptionParser::HelpText(Table);
    EXPECT_NE(help.find("Usage:\n  station [IMAGE] [--family A|B|C] --log FILE [--scan] [--trace]\n"),
              std::string::npos)
        << help;
    EXPECT_EQ(help.find("Commands:"), std::string::npos) << help;
    EXPECT_NE(help.find("--family A|B|C  the chip family (settings file: FAMILY=)\n"), std::string::npos) << help;
    EXPECT_NE(help.find("--trace         no settings name: the command line only\n"), std::string::npos) << help;
}

}  // namespace
