#include "CommandLine.h"

#include <optional>

namespace CommandLine
{

namespace
{

const OptionDefinition* FindLong(const std::vector<OptionDefinition>& definitions, const std::string& name)
{
    for (const OptionDefinition& definition : definitions)
    {
        if (definition.longName == name)
        {
            return &definition;
        }
    }
    return nullptr;
}

const OptionDefinition* FindShort(const std::vector<OptionDefinition>& definitions, char name)
{
    for (const OptionDefinition& definition : definitions)
    {
        if (definition.shortName != '\0' && definition.shortName == name)
        {
            return &definition;
        }
    }
    return nullptr;
}

struct OptionWord
{
    const OptionDefinition* definition = nullptr;
    std::optional<std::string> inlineValue;  // from "--name=value"
};

Result<OptionWord> IdentifyOption(const std::string& word, const std::vector<OptionDefinition>& definitions)
{
    OptionWord option;
    if (word.compare(0, 2, "--") == 0)
    {
        const std::size_t equals = word.find('=');
        option.definition =
            FindLong(definitions, word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
        if (equals != std::string::npos)
        {
            option.inlineValue = word.substr(equals + 1);
        }
    }
    else if (word.size() == 2)
    {
        option.definition = FindShort(definitions, word[1]);
    }
    if (option.definition == nullptr)
    {
        return Result<OptionWord>::Failure("unknown option '" + word + "'");
    }
    if (option.inlineValue && !option.definition->takesValue)
    {
        return Result<OptionWord>::Failure("option --" + option.definition->longName + " takes no value");
    }
    return Result<OptionWord>::Success(option);
}

bool IsOptionWord(const std::string& word)
{
    return word.size() > 1 && word[0] == '-';
}

bool AlreadyGiven(const ParsedArguments& parsed, const std::string& longName)
{
    return parsed.values.count(longName) != 0 || parsed.flags.count(longName) != 0;
}

}  // namespace

bool ParsedArguments::HasFlag(const std::string& longName) const
{
    return flags.count(longName) != 0;
}

const std::string* ParsedArguments::ValueOf(const std::string& longName) const
{
    const auto found = values.find(longName);
    return found == values.end() ? nullptr : &found->second;
}

Result<ParsedArguments> Parse(const std::vector<std::string>& arguments,
                              const std::vector<OptionDefinition>& definitions)
{
    ParsedArguments parsed;
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index)
    {
        const std::string& word = arguments[index];
        if (optionsEnded || !IsOptionWord(word))
        {
            parsed.positionals.push_back(word);
            continue;
        }
        if (word == "--")
        {
            optionsEnded = true;
            continue;
        }
        const Result<OptionWord> option = IdentifyOption(word, definitions);
        if (!option.IsOk())
        {
            return Result<ParsedArguments>::Failure(option.Error());
        }
        const OptionDefinition& definition = *option.Value().definition;
        if (AlreadyGiven(parsed, definition.longName))
        {
            return Result<ParsedArguments>::Failure("option --" + definition.longName + " given twice");
        }
        if (!definition.takesValue)
        {
            parsed.flags.insert(definition.longName);
        }
        else if (option.Value().inlineValue)
        {
            parsed.values[definition.longName] = *option.Value().inlineValue;
        }
        else if (index + 1 < arguments.size())
        {
            parsed.values[definition.longName] = arguments[++index];
        }
        else
        {
            return Result<ParsedArguments>::Failure("option --" + definition.longName + " needs a value");
        }
    }
    return Result<ParsedArguments>::Success(std::move(parsed));
}

}  // namespace CommandLine
