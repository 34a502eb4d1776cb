// The command line of a Kelvra program: a command word (the station has
// none), then its options and operands, checked against one table per program
// that also prints the help, so what is accepted and what --help says cannot
// drift apart.
//
// The rules, the same for every tool:
// - an option is given at most once;
// - a value is the next word, or written --name=value; the next word is not
//   taken when it begins with '-', so a missing value never swallows the next
//   option (a value that begins with '-' is written --name=-x);
// - a FILE or DIR value, and an operand (each names a file), is never empty;
// - "--" ends the options: every word after it is an operand;
// - an option that does not apply to the command is refused.
// A settings file may give the values the command line does not.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace OptionParser
{

// The commands an option applies to: bit 1 << id of each CommandRow.
using CommandSet = unsigned;

constexpr CommandSet CommandBit(int id)
{
    return 1u << id;
}

struct CommandRow
{
    int id;
    const char* name;
    const char* operands;  // their names, e.g. "IMAGE" or "IN OUT", "[IMAGE]" when optional; "" for none
    const char* help;      // one paragraph, wrapped when printed
};

struct OptionRow
{
    int id;
    const char* name;   // as the help shows it, e.g. "--family" or "-o"
    const char* alias;  // the same option by another name, e.g. "--output"; or nullptr
    const char* value;  // what its value is, e.g. "A|B|C"; nullptr for a flag
    const char* help;   // one paragraph, wrapped when printed
    CommandSet appliesTo;
    CommandSet requiredBy;
    const char* setting = nullptr;  // its name in a settings file; nullptr: the command line only
};

// How a program words three refusals; the console tools' is the default.
struct Wording
{
    std::string (*unknownOption)(const std::string& name);
    std::string (*unexpectedOperand)(const std::string& word);
    // next: the option-like word that follows it, or nullptr when none does.
    std::string (*missingValue)(const OptionRow& row, const std::string* next);
};

extern const Wording ConsoleWording;

struct Table
{
    const char* program;
    const char* about;  // the text before the usage
    const char* notes;  // the text after the options
    const CommandRow* commands;
    std::size_t commandCount;
    const OptionRow* options;
    std::size_t optionCount;
    int helpOption;          // the row that asks for this text, wherever it is given
    const Wording* wording;  // never null
};

template <std::size_t CommandCount, std::size_t OptionCount>
constexpr Table MakeTable(const char* program, const char* about, const char* notes,
                          const CommandRow (&commands)[CommandCount], const OptionRow (&options)[OptionCount],
                          int helpOption, const Wording& wording = ConsoleWording)
{
    return {program, about, notes, commands, CommandCount, options, OptionCount, helpOption, &wording};
}

struct GivenOption
{
    int id;
    std::string value;  // empty for a flag given on the command line
    bool fromSettings = false;
};

struct Parsed
{
    bool help = false;
    int command = -1;  // the id of the command given, once it is known
    std::vector<std::string> operands;
    std::vector<GivenOption> options;  // in the order given

    bool Has(int option) const;
    const std::string* ValueOf(int option) const;
    const GivenOption* Given(int option) const;
};

// A second source of values, such as a settings file.
class SettingSource
{
public:
    virtual ~SettingSource() = default;
    // The value it holds under name; false when it holds none.
    virtual bool Find(const char* name, std::string& value) const = 0;
};

// Parses the words after the program name. Returns what is wrong with them,
// one sentence naming the word at fault; empty when they were accepted.
std::string Parse(const Table& table, const std::vector<std::string>& arguments, Parsed& parsed);
// The same for a program without command words, whose table's one command
// has an empty name.
std::string ParseOptions(const Table& table, const std::vector<std::string>& arguments, Parsed& parsed);

// Adds each option of the command that has a setting name, is not given on
// the command line and that source holds: the command line wins.
void AddSettings(const Table& table, const SettingSource& source, Parsed& parsed);

// The help: about, the usage of each command, the commands, the options, the notes.
std::string HelpText(const Table& table);

}  // namespace OptionParser
