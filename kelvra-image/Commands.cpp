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

namespace Commands
{

namespace
{

using namespace CommandLine;
using IdentityInput::IdentityTexts;
using OptionParser::Parsed;

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

std::optional<std::string> OptionalValue(const Parsed& arguments, OptionId option)
{
    const std::string* value = arguments.ValueOf(option);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

IdentityTexts TextsFromOptions(const Parsed& arguments)
{
    IdentityTexts texts;
    texts.vendorId = OptionalValue(arguments, VidOption);
    texts.productId = OptionalValue(arguments, PidOption);
    texts.product = OptionalValue(arguments, ProductOption);
    texts.manufacturer = OptionalValue(arguments, ManufacturerOption);
    texts.serialNumber = OptionalValue(arguments, SerialOption);
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
Result<IdentityTexts> GatherTexts(const Parsed& arguments)
{
    IdentityTexts texts;
    if (const std::string* profile = arguments.ValueOf(ProfileOption))
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

// An output that is the input, by whatever name, would be replaced by what
// was made from it.
std::string ReplacesTheInput(const std::string& output, const Parsed& arguments)
{
    const std::string* input =
        arguments.command == FromIntelHexCommand ? &arguments.operands[0] : arguments.ValueOf(ProfileOption);
    if (input == nullptr || !FileAccess::SameFile(*input, output))
    {
        return {};
    }
    return output + ": is the input " + *input + "; give the output another name";
}

// Raw: the identity lines byte for byte, as Kelvra puts them in its list;
// otherwise bytes a terminal would act on are shown as \xNN.
void PrintReport(const ImageReport::Report& report, bool raw, std::string& out)
{
    for (const std::string& line : report.identityLines)
    {
        out += (raw ? line : Text::EscapeBytes(line)) + '\n';
    }
    for (const std::string& warning : report.warnings)
    {
        out += "warning: " + Text::EscapeNonPrintable(warning) + '\n';
    }
}

Outcome Show(const Parsed& arguments, std::string& out)
{
    const Result<FileAccess::FileHead> head = FileAccess::ReadHead(arguments.operands[0], ShowHeadBytes);
    if (!head.IsOk())
    {
        return Refused(head.Error());
    }
    const std::vector<std::uint8_t>& bytes = head.Value().bytes;
    PrintReport(ImageReport::Analyze(bytes.data(), bytes.size(), head.Value().totalSize), arguments.Has(RawOption),
                out);
    return Done();
}

Outcome Build(const Parsed& arguments, std::string&)
{
    const std::string* output = arguments.ValueOf(OutputOption);
    const std::string sameFile = ReplacesTheInput(*output, arguments);
    if (!sameFile.empty())
    {
        return Refused(sameFile);
    }
    const Result<IdentityTexts> texts = GatherTexts(arguments);
    if (!texts.IsOk())
    {
        return Refused(texts.Error());
    }
    const std::string missing = IdentityInput::Missing(texts.Value());
    if (!missing.empty())
    {
        return Misused(missing);
    }
    const Result<Family0Image::Image> image = ImageFor(texts.Value());
    if (!image.IsOk())
    {
        return Refused(image.Error());
    }
    const std::string error = FileAccess::WriteFile(*output, BytesOf(image.Value()), arguments.Has(ForceOption));
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

Result<std::string> StartSerial(const Parsed& arguments, const IdentityTexts& texts)
{
    if (const std::string* start = arguments.ValueOf(StartOption))
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
std::string FirstBlockedTarget(const SeriesPlan& plan, const Parsed& arguments)
{
    const bool overwrite = arguments.Has(ForceOption);
    for (const std::string& path : plan.paths)
    {
        const std::string sameFile = ReplacesTheInput(path, arguments);
        if (!sameFile.empty())
        {
            return sameFile;
        }
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

// The series' serials: a usage error for what the command line lacks or a
// --count the digits cannot hold, a refusal for a profile's malformed SERIAL
// (--start was checked with the other options).
Outcome SeriesSerials(const Parsed& arguments, const IdentityTexts& texts, std::vector<std::string>& serials)
{
    const std::string missing = IdentityInput::Missing(texts);
    const Result<std::string> start = StartSerial(arguments, texts);
    if (!missing.empty() || !start.IsOk())
    {
        return Misused(missing.empty() ? start.Error() : missing);
    }
    const Result<SerialSeries::Form> form = SerialSeries::ParseStart(start.Value());
    if (!form.IsOk())
    {
        return Refused(form.Error());
    }
    const std::uint64_t count = SerialSeries::ParseCount(*arguments.ValueOf(CountOption)).Value();
    Result<std::vector<std::string>> consecutive = SerialSeries::Consecutive(start.Value(), count);
    if (!consecutive.IsOk())
    {
        return Misused(consecutive.Error());
    }
    serials = std::move(consecutive.Value());
    return Done();
}

Outcome Series(const Parsed& arguments, std::string&)
{
    const Result<IdentityTexts> texts = GatherTexts(arguments);
    if (!texts.IsOk())
    {
        return Refused(texts.Error());
    }
    std::vector<std::string> serials;
    const Outcome numbered = SeriesSerials(arguments, texts.Value(), serials);
    if (numbered.exitCode != ExitSuccess)
    {
        return numbered;
    }
    const std::string* directoryOption = arguments.ValueOf(OutputDirOption);
    const std::string directory = directoryOption ? *directoryOption : ".";
    if (FileAccess::KindOf(directory) != FileAccess::PathKind::Directory)
    {
        return Refused(directory + ": no such directory");
    }
    const Result<SeriesPlan> plan = PlanSeries(serials, texts.Value(), directory);
    if (!plan.IsOk())
    {
        return Refused(plan.Error());
    }
    const std::string blocked = FirstBlockedTarget(plan.Value(), arguments);
    if (!blocked.empty())
    {
        return Refused(blocked);
    }
    return WriteSeries(plan.Value(), arguments.Has(ForceOption));
}

Outcome FromIntelHex(const Parsed& arguments, std::string&)
{
    const std::string& input = arguments.operands[0];
    const std::string& output = arguments.operands[1];
    const std::string sameFile = ReplacesTheInput(output, arguments);
    if (!sameFile.empty())
    {
        return Refused(sameFile);
    }
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
    const std::string error = FileAccess::WriteFile(output, image.Value(), arguments.Has(ForceOption));
    if (!error.empty())
    {
        return Refused(error);
    }
    return Done("wrote " + output + " (" + std::to_string(image.Value().size()) + " bytes)");
}

// Each value given on the command line, checked before any file is read:
// a bad one is a usage error, as a missing one is.
std::string OptionValueProblem(const Parsed& arguments)
{
    const std::string identity = IdentityInput::Problem(TextsFromOptions(arguments));
    if (!identity.empty())
    {
        return identity;
    }
    const std::string* count = arguments.ValueOf(CountOption);
    const std::string countProblem = count ? SerialSeries::ParseCount(*count).Error() : std::string();
    if (!countProblem.empty())
    {
        return "--count: " + countProblem;
    }
    const std::string* start = arguments.ValueOf(StartOption);
    const std::string startProblem = start ? SerialSeries::ParseStart(*start).Error() : std::string();
    return startProblem.empty() ? std::string() : "--start: " + startProblem;
}

using CommandFunction = Outcome (*)(const Parsed&, std::string&);

// By command id.
const CommandFunction CommandFunctions[] = {Show, Build, Series, FromIntelHex};

Outcome Dispatch(const std::vector<std::string>& arguments, std::string& out)
{
    Parsed parsed;
    const std::string refusal = OptionParser::Parse(CommandLine::Table, arguments, parsed);
    if (!refusal.empty())
    {
        return Misused(refusal);
    }
    if (parsed.help)
    {
        out += UsageText();
        return Done();
    }
    const std::string problem = OptionValueProblem(parsed);
    if (!problem.empty())
    {
        return Misused(problem);
    }
    return CommandFunctions[parsed.command](parsed, out);
}

}  // namespace

int Run(const std::vector<std::string>& arguments, std::string& out, std::string& err)
{
    const Outcome outcome = Dispatch(arguments, out);
    if (outcome.exitCode == ExitSuccess)
    {
        if (!outcome.message.empty())
        {
            out += Text::EscapeKeepingUtf8(outcome.message) + '\n';
        }
    }
    else
    {
        err += "kelvra-image: " + Text::EscapeKeepingUtf8(outcome.message);
        if (outcome.exitCode == ExitUsage)
        {
            err += " (see kelvra-image --help)";
        }
        err += '\n';
    }
    return outcome.exitCode;
}

std::string UsageText()
{
    return OptionParser::HelpText(CommandLine::Table);
}

}  // namespace Commands
