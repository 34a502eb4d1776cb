#include "OptionParser.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace OptionParser
{

namespace
{

const std::size_t HelpWidth = 80;

// One allocation for a message of several pieces: smaller than a chain of +.
std::string Concat(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (std::string_view piece : pieces)
    {
        text.append(piece.data(), piece.size());
    }
    return text;
}

// A program without command words has one nameless command.
bool TakesCommandWord(const Table& table)
{
    return !(table.commandCount == 1 && table.commands[0].name[0] == '\0');
}

// "-" alone is an operand, as it is for other tools.
bool IsOptionWord(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

const OptionRow* FindOption(const Table& table, const std::string& name)
{
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        if (name == row.name || (row.alias != nullptr && name == row.alias))
        {
            return &row;
        }
    }
    return nullptr;
}

const CommandRow* FindCommand(const Table& table, const std::string& name)
{
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        if (name == table.commands[index].name)
        {
            return &table.commands[index];
        }
    }
    return nullptr;
}

bool AsksForHelp(const Table& table, const std::vector<std::string>& arguments)
{
    for (const std::string& word : arguments)
    {
        if (word == "--")
        {
            return false;
        }
        const OptionRow* row = FindOption(table, word);
        if (word == "/?" || (row != nullptr && row->id == table.helpOption))
        {
            return true;
        }
    }
    return false;
}

// "list, read or show"
std::string CommandChoices(const Table& table)
{
    std::string choices;
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        choices += index == 0 ? "" : index + 1 == table.commandCount ? " or " : ", ";
        choices += table.commands[index].name;
    }
    return choices;
}

// The name that takes "=value".
const char* LongName(const OptionRow& row)
{
    return std::string_view(row.name).substr(0, 2) != "--" && row.alias != nullptr ? row.alias : row.name;
}

// The word at index in a list of words separated by spaces, or "" past its end.
std::string_view WordAt(std::string_view words, std::size_t index)
{
    for (; index > 0 && !words.empty(); --index)
    {
        const std::size_t space = words.find(' ');
        words = space == std::string_view::npos ? std::string_view() : words.substr(space + 1);
    }
    return words.substr(0, words.find(' '));
}

std::string TakeValue(const Table& table, const OptionRow& row, const std::vector<std::string>& arguments,
                      std::size_t& index, std::string& value)
{
    if (index + 1 >= arguments.size())
    {
        return table.wording->missingValue(row, nullptr);
    }
    const std::string& next = arguments[index + 1];
    if (!next.empty() && next[0] == '-')
    {
        return table.wording->missingValue(row, &next);
    }
    value = next;
    ++index;
    return {};
}

// A FILE or DIR given as "" would be taken for the current folder, or fail
// later with a puzzling system error.
std::string EmptyPathRefusal(const OptionRow& row)
{
    const std::string_view kind = row.value;
    if (kind != "FILE" && kind != "DIR")
    {
        return {};
    }
    return Concat({row.name, " \"\" names no ", kind == "DIR" ? "folder" : "file"});
}

// arguments[index] and, for an option with a separate value, the word after it.
std::string TakeOption(const Table& table, const CommandRow& command, const std::vector<std::string>& arguments,
                       std::size_t& index, Parsed& parsed)
{
    const std::string& word = arguments[index];
    const std::size_t equals = word.compare(0, 2, "--") == 0 ? word.find('=') : std::string::npos;
    const std::string name = word.substr(0, equals);
    const OptionRow* row = FindOption(table, name);
    if (row == nullptr)
    {
        return table.wording->unknownOption(name);
    }
    if ((row->appliesTo & CommandBit(command.id)) == 0)
    {
        return Concat({command.name, " does not take ", name});
    }
    if (parsed.Has(row->id))
    {
        return row->alias == nullptr ? Concat({row->name, " is given twice; give it once"})
                                     : Concat({row->name, " (", row->alias, ") is given twice; give it once"});
    }
    if (row->value == nullptr && equals != std::string::npos)
    {
        return name + " takes no value";
    }
    parsed.options.push_back({row->id, {}});
    std::string& value = parsed.options.back().value;
    if (row->value == nullptr)
    {
        return {};
    }
    if (equals != std::string::npos)
    {
        value = word.substr(equals + 1);
    }
    else
    {
        const std::string missing = TakeValue(table, *row, arguments, index, value);
        if (!missing.empty())
        {
            return missing;
        }
    }
    return value.empty() ? EmptyPathRefusal(*row) : std::string();
}

std::string CheckComplete(const Table& table, const CommandRow& command, const Parsed& parsed)
{
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        if ((row.requiredBy & CommandBit(command.id)) == 0 || parsed.Has(row.id))
        {
            continue;
        }
        const char* const space = row.value ? " " : "";
        const char* const value = row.value ? row.value : "";
        // "no log: give --log FILE, the line's log" where no command word says what needs it.
        return TakesCommandWord(table)
                   ? Concat({command.name, " needs ", row.name, space, value})
                   : Concat({"no ", row.name + 2, ": give ", row.name, space, value, ", ", row.help});
    }
    const std::string_view missing = WordAt(command.operands, parsed.operands.size());
    return missing.empty() || missing[0] == '[' ? std::string() : Concat({command.name, " needs ", missing});
}

CommandSet EveryCommand(const Table& table)
{
    CommandSet every = 0;
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        every |= CommandBit(table.commands[index].id);
    }
    return every;
}

// Text that wraps before the width: each part goes after a space, or on a
// new line indented by indent when it would pass the width.
class Paragraph
{
public:
    Paragraph(std::string& text, std::string_view lead, std::size_t indent)
        : m_text(text), m_indent(indent), m_lineLength(lead.size())
    {
        m_text.append(lead.data(), lead.size());
    }
    ~Paragraph() { m_text += '\n'; }
    Paragraph(const Paragraph&) = delete;
    Paragraph& operator=(const Paragraph&) = delete;

    void Add(std::string_view part)
    {
        if (m_lineLength + 1 + part.size() > HelpWidth && m_lineLength > m_indent)
        {
            m_text += '\n';
            m_text.append(m_indent, ' ');
            m_lineLength = m_indent;
        }
        else
        {
            m_text += ' ';
            ++m_lineLength;
        }
        m_text.append(part.data(), part.size());
        m_lineLength += part.size();
    }
    // Each word of text, so a long help wraps between words.
    void AddWords(std::string_view text)
    {
        while (!text.empty())
        {
            const std::size_t space = text.find(' ');
            if (space != 0)
            {
                Add(text.substr(0, space));
            }
            text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        }
    }

private:
    std::string& m_text;
    std::size_t m_indent;
    std::size_t m_lineLength;
};

std::string OptionUsage(const OptionRow& row, bool required)
{
    const std::string usage = row.value == nullptr ? row.name : Concat({row.name, " ", row.value});
    return required ? usage : "[" + usage + "]";
}

void AddUsage(const Table& table, const CommandRow& command, std::string& text)
{
    const std::string lead = Concat({"  ", table.program, TakesCommandWord(table) ? " " : "", command.name});
    Paragraph usage(text, lead, lead.size() + 1);
    if (command.operands[0] != '\0')
    {
        usage.Add(command.operands);
    }
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        // Options of every command are written once, below.
        const bool everywhere = TakesCommandWord(table) && row.appliesTo == EveryCommand(table);
        if ((row.appliesTo & CommandBit(command.id)) != 0 && !everywhere && row.id != table.helpOption)
        {
            usage.Add(OptionUsage(row, (row.requiredBy & CommandBit(command.id)) != 0));
        }
    }
}

void AddUsages(const Table& table, std::string& text)
{
    text += "Usage:\n";
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        AddUsage(table, table.commands[index], text);
    }
    std::string everywhere;
    for (std::size_t index = 0; TakesCommandWord(table) && index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        if (row.appliesTo == EveryCommand(table) && row.id != table.helpOption)
        {
            everywhere += " " + OptionUsage(row, false);
        }
    }
    if (!everywhere.empty())
    {
        Paragraph(text, "Every command also takes", 2).AddWords(everywhere);
    }
}

std::string OptionLabel(const OptionRow& row)
{
    return Concat({row.name, row.alias ? ", " : "", row.alias ? row.alias : "", row.value ? " " : "",
                   row.value ? row.value : ""});
}

// A label in a column of width, its help wrapped beside it, and where a
// settings file gives it.
void AddEntry(std::string& text, std::string_view label, std::size_t width, const char* help,
              const char* setting = nullptr)
{
    const std::string lead = Concat({"  ", label, std::string(width - label.size() + 1, ' ')});
    Paragraph entry(text, lead, 2 + width + 2);
    entry.AddWords(help);
    if (setting != nullptr)
    {
        entry.AddWords(Concat({"(settings file: ", setting, "=)"}));
    }
}

void AddCommands(const Table& table, std::string& text)
{
    if (!TakesCommandWord(table))
    {
        return;
    }
    std::size_t width = 0;
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        width = std::max(width, std::string_view(table.commands[index].name).size());
    }
    text += "\nCommands:\n";
    for (std::size_t index = 0; index < table.commandCount; ++index)
    {
        AddEntry(text, table.commands[index].name, width, table.commands[index].help);
    }
}

void AddOptions(const Table& table, std::string& text)
{
    std::size_t width = 0;
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        width = std::max(width, OptionLabel(table.options[index]).size());
    }
    text += "\nOptions:\n";
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        AddEntry(text, OptionLabel(row), width, row.help, row.setting);
    }
}

// Parsed as new, in place: the station has no room for the code of a move.
void Empty(Parsed& parsed)
{
    parsed.help = false;
    parsed.command = -1;
    parsed.operands.clear();
    parsed.options.clear();
}

// IMAGE for an operand written "IMAGE" or, optional, "[IMAGE]".
std::string_view OperandName(const CommandRow& command, std::size_t index)
{
    const std::string_view name = WordAt(command.operands, index);
    return name[0] == '[' ? name.substr(1, name.size() - 2) : name;
}

// The words from first on, as options and operands of command.
std::string ParseWords(const Table& table, const CommandRow& command, const std::vector<std::string>& arguments,
                       std::size_t first, Parsed& parsed)
{
    parsed.command = command.id;
    bool optionsEnded = false;
    for (std::size_t index = first; index < arguments.size(); ++index)
    {
        const std::string& word = arguments[index];
        std::string refusal;
        if (!optionsEnded && word == "--")
        {
            optionsEnded = true;
        }
        else if (!optionsEnded && IsOptionWord(word))
        {
            refusal = TakeOption(table, command, arguments, index, parsed);
        }
        else if (!WordAt(command.operands, parsed.operands.size()).empty())
        {
            // Every operand names a file, and "" names none.
            refusal = word.empty() ? Concat({OperandName(command, parsed.operands.size()), " \"\" names no file"})
                                   : std::string();
            parsed.operands.push_back(word);
        }
        else
        {
            refusal = table.wording->unexpectedOperand(word);
        }
        if (!refusal.empty())
        {
            return refusal;
        }
    }
    return CheckComplete(table, command, parsed);
}

std::string UnknownOption(const std::string& name)
{
    return "unknown option " + name;
}

std::string UnexpectedOperand(const std::string& word)
{
    return Concat({"unexpected argument \"", word, "\""});
}

std::string MissingValue(const OptionRow& row, const std::string* next)
{
    if (next == nullptr)
    {
        return Concat({row.name, " needs a value (", row.value, ")"});
    }
    return Concat({row.name, " needs a value (", row.value, "), but \"", *next,
                   "\" follows it; to give a value that begins with '-', write ", LongName(row), "=", *next});
}

}  // namespace

const Wording ConsoleWording = {UnknownOption, UnexpectedOperand, MissingValue};

bool Parsed::Has(int option) const
{
    return Given(option) != nullptr;
}

const std::string* Parsed::ValueOf(int option) const
{
    const GivenOption* given = Given(option);
    return given != nullptr ? &given->value : nullptr;
}

const GivenOption* Parsed::Given(int option) const
{
    for (const GivenOption& given : options)
    {
        if (given.id == option)
        {
            return &given;
        }
    }
    return nullptr;
}

std::string Parse(const Table& table, const std::vector<std::string>& arguments, Parsed& parsed)
{
    Empty(parsed);
    if ((!arguments.empty() && arguments[0] == "help") || AsksForHelp(table, arguments))
    {
        parsed.help = true;
        return {};
    }
    if (arguments.empty())
    {
        return "no command given: give " + CommandChoices(table);
    }
    const CommandRow* command = FindCommand(table, arguments[0]);
    if (command == nullptr)
    {
        return Concat({"unknown command \"", arguments[0], "\": give ", CommandChoices(table)});
    }
    return ParseWords(table, *command, arguments, 1, parsed);
}

std::string ParseOptions(const Table& table, const std::vector<std::string>& arguments, Parsed& parsed)
{
    Empty(parsed);
    parsed.help = AsksForHelp(table, arguments);
    return parsed.help ? std::string() : ParseWords(table, table.commands[0], arguments, 0, parsed);
}

void AddSettings(const Table& table, const SettingSource& source, Parsed& parsed)
{
    for (std::size_t index = 0; index < table.optionCount; ++index)
    {
        const OptionRow& row = table.options[index];
        const bool applies = parsed.command >= 0 && (row.appliesTo & CommandBit(parsed.command)) != 0;
        std::string value;
        if (row.setting != nullptr && applies && !parsed.Has(row.id) && source.Find(row.setting, value))
        {
            parsed.options.push_back({row.id, value, true});
        }
    }
}

std::string HelpText(const Table& table)
{
    std::string text = table.about;
    text += '\n';
    AddUsages(table, text);
    AddCommands(table, text);
    AddOptions(table, text);
    return text + table.notes;
}

}  // namespace OptionParser
