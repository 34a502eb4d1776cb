#include "Commands.h"

#include "CommandLine.h"
#include "Family0Image.h"
#include "FileAccess.h"
#include "IdentityInput.h"
#include "ImageReport.h"
#include "IntelHex.h"
#include "Profile.h"
#include "SerialSeries.h"
#include "Text.h"

#include <ostream>

namespace Commands
{

namespace
{

using CommandLine::OptionDefinition;
using CommandLine::ParsedArguments;
using IdentityInput::IdentityTexts;

// Enough for the 128-byte image and the first line of an Intel HEX text.
constexpr std::size_t ShowHeadBytes = 4096;
constexpr std::size_t MaxProfileBytes = 64 * 1024;
// A full 2048-byte image in Intel HEX is under 6 KiB; more is not a HEX
// image for Kelvra.
constexpr std::size_t MaxIntelHexBytes = 1024 * 1024;

struct Outcome
{
    int exitCode;
    std::string message;  // the error line, or what was done
};

Outcome Done(std::string message = {})
{
    return {ExitSuccess, std::move(message)};
}

Outcome Refused(std::string message)
{
    return {ExitRefused, std::move(message)};
}

Outcome Misused(std::string message)
{
    return {ExitUsage, std::move(message)};
}

const OptionDefinition HelpOption{"help", 'h', false};
const OptionDefinition ForceOption{"force", '\0', false};

std::vector<OptionDefinition> IdentityOptions()
{
    return {{"vid", '\0', true},
            {"pid", '\0', true},
            {"product", '\0', true},
            {"manufacturer", '\0', true},
            {"profile", '\0', true}};
}

std::vector<OptionDefinition> BuildOptions()
{
    std::vector<OptionDefinition> options = IdentityOptions();
    options.insert(options.end(), {{"serial", '\0', true}, {"output", 'o', true}, ForceOption, HelpOption});
    return options;
}

std::vector<OptionDefinition> SeriesOptions()
{
    std::vector<OptionDefinition> options = IdentityOptions();
    options.insert(options.end(),
                   {{"count", '\0', true}, {"start", '\0', true}, {"output-dir", '\0', true}, ForceOption, HelpOption});
    return options;
}

std::optional<std::string> OptionalValue(const ParsedArguments& arguments, const std::string& name)
{
    const std::string* value = arguments.ValueOf(name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

IdentityTexts TextsFromOptions(const ParsedArguments& arguments)
{
    IdentityTexts texts;
    texts.vendorId = OptionalValue(arguments, "vid");
    texts.productId = OptionalValue(arguments, "pid");
    texts.product = OptionalValue(arguments, "product");
    texts.manufacturer = OptionalValue(arguments, "manufacturer");
    texts.serialNumber = OptionalValue(arguments, "serial");
    return texts;
}

Result<IdentityTexts> TextsFromProfile(const std::string& path)
{
    const Result<std::vector<std::uint8_t>> bytes = FileAccess::ReadAll(path, MaxProfileBytes);
    if (!bytes.IsOk())
    {
        return Result<IdentityTexts>::Failure(bytes.Error());
    }
    const std::string text(bytes.Value().begin(), bytes.Value().end());
    const auto values = Profile::Parse(text, IdentityInput::ProfileKeys());
    if (!values.IsOk())
    {
        return Result<IdentityTexts>::Failure(path + ": " + values.Error());
    }
    return Result<IdentityTexts>::Success(IdentityInput::FromProfile(values.Value()));
}

// The profile's texts with the options laid over them.
Result<IdentityTexts> GatherTexts(const ParsedArguments& arguments)
{
    IdentityTexts texts;
    if (const std::string* profile = arguments.ValueOf("profile"))
    {
        Result<IdentityTexts> fromProfile = TextsFromProfile(*profile);
        if (!fromProfile.IsOk())
        {
            return fromProfile;
        }
        texts = fromProfile.Value();
    }
    return Result<IdentityTexts>::Success(IdentityInput::Overlay(texts, TextsFromOptions(arguments)));
}

Result<Family0Image::Image> ImageFor(const IdentityTexts& texts)
{
    const Result<Family0Image::Identity> identity = IdentityInput::ToIdentity(texts);
    if (!identity.IsOk())
    {
        return Result<Family0Image::Image>::Failure(identity.Error());
    }
    const std::optional<Family0Image::Image> image = Family0Image::Encode(identity.Value());
    if (!image)
    {
        return Result<Family0Image::Image>::Failure("a string does not fit its field");
    }
    return Result<Family0Image::Image>::Success(*image);
}

std::vector<std::uint8_t> BytesOf(const Family0Image::Image& image)
{
    return std::vector<std::uint8_t>(image.begin(), image.end());
}

// Raw: the identity lines byte for byte, as Kelvra puts them in its list;
// otherwise bytes a terminal would act on are shown as \xNN.
void PrintReport(const ImageReport::Report& report, bool raw, std::ostream& out)
{
    for (const std::string& line : report.identityLines)
    {
        out << (raw ? line : Text::EscapeNonPrintable(line)) << '\n';
    }
    for (const std::string& warning : report.warnings)
    {
        out << "warning: " << Text::EscapeNonPrintable(warning) << '\n';
    }
}

Outcome Show(const ParsedArguments& arguments, std::ostream& out)
{
    if (arguments.positionals.size() != 1)
    {
        return Misused("show takes one FILE");
    }
    const Result<FileAccess::FileHead> head = FileAccess::ReadHead(arguments.positionals[0], ShowHeadBytes);
    if (!head.IsOk())
    {
        return Refused(head.Error());
    }
    const std::vector<std::uint8_t>& bytes = head.Value().bytes;
    PrintReport(ImageReport::Analyze(bytes.data(), bytes.size(), head.Value().totalSize), arguments.HasFlag("raw"),
                out);
    return Done();
}

Outcome Build(const ParsedArguments& arguments, std::ostream&)
{
    if (!arguments.positionals.empty())
    {
        return Misused("build takes no FILE argument; name the image with -o FILE");
    }
    const std::string* output = arguments.ValueOf("output");
    if (output == nullptr)
    {
        return Misused("build needs -o FILE");
    }
    const Result<IdentityTexts> texts = GatherTexts(arguments);
    if (!texts.IsOk())
    {
        return Refused(texts.Error());
    }
    const Result<Family0Image::Image> image = ImageFor(texts.Value());
    if (!image.IsOk())
    {
        return Refused(image.Error());
    }
    const std::string error = FileAccess::WriteFile(*output, BytesOf(image.Value()), arguments.HasFlag("force"));
    if (!error.empty())
    {
        return Refused(error);
    }
    return Done("wrote " + *output);
}

struct SeriesPlan
{
    std::vector<std::string> paths;
    std::vector<Family0Image::Image> images;
};

Result<std::string> StartSerial(const ParsedArguments& arguments, const IdentityTexts& texts)
{
    if (const std::string* start = arguments.ValueOf("start"))
    {
        return Result<std::string>::Success(*start);
    }
    if (texts.serialNumber && !texts.serialNumber->empty())
    {
        return Result<std::string>::Success(*texts.serialNumber);
    }
    return Result<std::string>::Failure("series needs --start SERIAL or SERIAL in the profile");
}

Result<SeriesPlan> PlanSeries(const std::vector<std::string>& serials, IdentityTexts texts,
                              const std::string& directory)
{
    SeriesPlan plan;
    for (const std::string& serial : serials)
    {
        texts.serialNumber = serial;
        const Result<Family0Image::Image> image = ImageFor(texts);
        if (!image.IsOk())
        {
            return Result<SeriesPlan>::Failure(image.Error());
        }
        plan.images.push_back(image.Value());
        plan.paths.push_back(FileAccess::JoinPath(directory, serial + ".hex"));
    }
    return Result<SeriesPlan>::Success(std::move(plan));
}

// Checked before anything is written, so a refusal leaves no partial series.
std::string FirstBlockedTarget(const SeriesPlan& plan, bool overwrite)
{
    for (const std::string& path : plan.paths)
    {
        const FileAccess::PathKind kind = FileAccess::KindOf(path);
        if (kind == FileAccess::PathKind::Directory)
        {
            return path + ": is a directory";
        }
        if (kind != FileAccess::PathKind::Missing && !overwrite)
        {
            return path + ": already exists (use --force to replace it); nothing written";
        }
    }
    return {};
}

Outcome WriteSeries(const SeriesPlan& plan, bool overwrite)
{
    for (std::size_t index = 0; index < plan.paths.size(); ++index)
    {
        const std::string error = FileAccess::WriteFile(plan.paths[index], BytesOf(plan.images[index]), overwrite);
        if (!error.empty())
        {
            return Refused(error + " (" + std::to_string(index) + " of " + std::to_string(plan.paths.size()) +
                           " images written)");
        }
    }
    return Done("wrote " + std::to_string(plan.paths.size()) + " images: " + plan.paths.front() + " to " +
                plan.paths.back());
}

Outcome Series(const ParsedArguments& arguments, std::ostream&)
{
    if (!arguments.positionals.empty())
    {
        return Misused("series takes no FILE argument; choose the folder with --output-dir DIR");
    }
    if (arguments.ValueOf("profile") == nullptr || arguments.ValueOf("count") == nullptr)
    {
        return Misused("series needs --profile FILE and --count N");
    }
    const Result<std::uint64_t> count = SerialSeries::ParseCount(*arguments.ValueOf("count"));
    if (!count.IsOk())
    {
        return Refused(count.Error());
    }
    const Result<IdentityTexts> texts = GatherTexts(arguments);
    if (!texts.IsOk())
    {
        return Refused(texts.Error());
    }
    const Result<std::string> start = StartSerial(arguments, texts.Value());
    if (!start.IsOk())
    {
        return Misused(start.Error());
    }
    const Result<std::vector<std::string>> serials = SerialSeries::Consecutive(start.Value(), count.Value());
    if (!serials.IsOk())
    {
        return Refused(serials.Error());
    }
    const std::string* directoryOption = arguments.ValueOf("output-dir");
    const std::string directory = directoryOption ? *directoryOption : ".";
    if (FileAccess::KindOf(directory) != FileAccess::PathKind::Directory)
    {
        return Refused(directory + ": no such directory");
    }
    const Result<SeriesPlan> plan = PlanSeries(serials.Value(), texts.Value(), directory);
    if (!plan.IsOk())
    {
        return Refused(plan.Error());
    }
    const std::string blocked = FirstBlockedTarget(plan.Value(), arguments.HasFlag("force"));
    if (!blocked.empty())
    {
        return Refused(blocked);
    }
    return WriteSeries(plan.Value(), arguments.HasFlag("force"));
}

Outcome FromIntelHex(const ParsedArguments& arguments, std::ostream&)
{
    if (arguments.positionals.size() != 2)
    {
        return Misused("from-ihex takes IN and OUT");
    }
    const std::string& input = arguments.positionals[0];
    const std::string& output = arguments.positionals[1];
    const Result<std::vector<std::uint8_t>> text = FileAccess::ReadAll(input, MaxIntelHexBytes);
    if (!text.IsOk())
    {
        return Refused(text.Error());
    }
    const std::string_view hexText(reinterpret_cast<const char*>(text.Value().data()), text.Value().size());
    const Result<std::vector<std::uint8_t>> image = IntelHex::Parse(hexText);
    if (!image.IsOk())
    {
        return Refused(input + ": " + image.Error());
    }
    const std::string error = FileAccess::WriteFile(output, image.Value(), arguments.HasFlag("force"));
    if (!error.empty())
    {
        return Refused(error);
    }
    return Done("wrote " + output + " (" + std::to_string(image.Value().size()) + " bytes)");
}

using CommandFunction = Outcome (*)(const ParsedArguments&, std::ostream&);

struct Command
{
    const char* name;
    std::vector<OptionDefinition> options;
    CommandFunction run;
};

std::vector<Command> AllCommands()
{
    return {
        {"show", {{"raw", '\0', false}, HelpOption}, Show},
        {"build", BuildOptions(), Build},
        {"series", SeriesOptions(), Series},
        {"from-ihex", {ForceOption, HelpOption}, FromIntelHex},
    };
}

bool IsHelpWord(const std::string& word)
{
    return word == "--help" || word == "-h" || word == "help";
}

Outcome RunCommand(const Command& command, const std::vector<std::string>& arguments, std::ostream& out)
{
    const Result<ParsedArguments> parsed = CommandLine::Parse(arguments, command.options);
    if (!parsed.IsOk())
    {
        return Misused(std::string(command.name) + ": " + parsed.Error());
    }
    if (parsed.Value().HasFlag("help"))
    {
        out << UsageText();
        return Done();
    }
    return command.run(parsed.Value(), out);
}

Outcome Dispatch(const std::vector<std::string>& arguments, std::ostream& out)
{
    if (arguments.empty())
    {
        return Misused("missing command");
    }
    if (IsHelpWord(arguments[0]))
    {
        out << UsageText();
        return Done();
    }
    const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
    for (const Command& command : AllCommands())
    {
        if (arguments[0] == command.name)
        {
            return RunCommand(command, rest, out);
        }
    }
    return Misused("unknown command '" + arguments[0] + "'");
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    const Outcome outcome = Dispatch(arguments, out);
    if (outcome.exitCode == ExitSuccess)
    {
        if (!outcome.message.empty())
        {
            out << Text::EscapeNonPrintable(outcome.message) << '\n';
        }
    }
    else
    {
        err << "kelvra-image: " << Text::EscapeNonPrintable(outcome.message);
        if (outcome.exitCode == ExitUsage)
        {
            err << " (see kelvra-image --help)";
        }
        err << '\n';
    }
    out.flush();
    return outcome.exitCode;
}

std::string UsageText()
{
    return R"(usage: kelvra-image COMMAND [OPTIONS]

Makes and checks VT-A (family-0) EEPROM image files for Kelvra.

  show FILE [--raw]
      Print the identity as Kelvra lists it after a successful VT-A verify,
      then "warning: " lines. Bytes outside printable ASCII show as \xNN;
      with --raw the identity lines carry the image's bytes unchanged.

  build --vid HEX --pid HEX [--product TEXT] [--manufacturer TEXT]
        [--serial TEXT] [--profile FILE] -o FILE [--force]
      Write a 128-byte image. HEX is 1 to 4 hexadecimal digits without 0x.
      TEXT is printable ASCII, at most 31 (product), 75 (manufacturer) or
      13 (serial) characters; an empty TEXT leaves that string out.

  series --profile FILE --count N [--start SERIAL] [--output-dir DIR]
         [--vid HEX] [--pid HEX] [--product TEXT] [--manufacturer TEXT]
         [--force]
      Write N images named DIR/<serial>.hex (DIR defaults to the current
      folder) with consecutive serial numbers from SERIAL, by default the
      profile's SERIAL. SERIAL is an optional prefix of letters, '-' or '_'
      followed by decimal digits; the digits keep their width: SN0099,
      SN0100, ... N is at most 100000.

  from-ihex IN OUT [--force]
      Convert Intel HEX text to the raw bytes Kelvra writes (it writes files
      unchanged, whatever their extension). Bytes no record sets become 0,
      as Kelvra pads a short file; addresses end at 2048.

Profile: an INI file with the section [IMAGE] and the keys VID, PID,
PRODUCT, MANUFACTURER and SERIAL; options override it.

No command replaces an existing file unless --force is given.
Exit status: 0 success, 1 refused or failed, 2 usage error.
)";
}

}  // namespace Commands
