#include "CliCommands.h"

#include "Digits.h"
#include <optional>

#include "CliSession.h"
#include "Comparison.h"
#include "DeviceChoice.h"
#include "Family0Image.h"
#include "Files.h"
#include "Json.h"
#include "LedgerProgram.h"
#include "Line.h"
#include "MendLog.h"
#include "Text.h"

namespace
{
struct Context
{
    const Options& options;
    Console& console;
    HidPlatform& platform;
    // With --json: the fields of the one object printed once the command has ended.
    std::string& json;
};

std::string Plural(size_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// A summary on stdout, unless the output is JSON or asked to be quiet.
void Summarise(const Context& context, const std::string& line)
{
    if (!context.options.quiet && !context.options.json)
    {
        context.console.Out(line + "\n");
    }
}

std::string ChipName(const Context& context, DeviceKey device)
{
    return std::string(TraitsOf(context.options.family).name) + " device " + DeviceName(device);
}

Outcome FindChosenDevice(const Context& context, DeviceKey& device)
{
    DeviceIds ids{};
    const Outcome chosen = ChooseIdentifiers(context.options, context.console, ids);
    if (!chosen.Succeeded())
    {
        return chosen;
    }
    return FindDevice(ids, context.platform, device);
}

// The chosen device, and a session begun on it: its lock is then held.
Outcome BeginOnChosenDevice(const Context& context, DeviceKey& device, std::optional<CliSession>& session)
{
    const Outcome found = FindChosenDevice(context, device);
    if (!found.Succeeded())
    {
        return found;
    }
    session.emplace(device, context.console, context.console.ErrIsConsole() && !context.options.quiet);
    return session->Begin();
}

std::string HexDump(const std::vector<BYTE>& bytes)
{
    std::string dump;
    for (size_t offset = 0; offset < bytes.size(); offset += 16)
    {
        dump += Digits::Hex(offset, 4) + ":";
        for (size_t index = offset; index < offset + 16 && index < bytes.size(); ++index)
        {
            dump += " " + Digits::Hex(bytes[index], 2);
        }
        dump += "\n";
    }
    return dump;
}

std::string HexString(const std::vector<BYTE>& bytes)
{
    std::string text;
    for (BYTE byte : bytes)
    {
        text += Digits::Hex(byte, 2);
    }
    return text;
}

Outcome List(const Context& context)
{
    std::vector<DeviceKey> devices = AttachedDevices(context.platform);
    DeviceIds ids{};
    if (!context.options.all)
    {
        const Outcome chosen = ChooseIdentifiers(context.options, context.console, ids);
        if (!chosen.Succeeded())
        {
            return chosen;
        }
        std::vector<DeviceKey> matching;
        for (DeviceKey device : devices)
        {
            if (device == KeyOf(ids))
            {
                matching.push_back(device);
            }
        }
        devices.swap(matching);
    }
    std::string json;
    for (DeviceKey device : devices)
    {
        if (!context.options.json)
        {
            context.console.Out(DeviceName(device) + "\n");
        }
        json += "," + JsonObject(JsonField("name", JsonString(DeviceName(device))) +
                                 JsonField("vid", JsonString(Text::HexWord(device >> 16))) +
                                 JsonField("pid", JsonString(Text::HexWord(device & 0xFFFF))));
    }
    context.json = JsonField("devices", "[" + (json.empty() ? json : json.substr(1)) + "]");
    if (devices.empty() && !context.options.all)
    {
        return Failure(ExitStatus::NoDevice, "no attached device carries " + DeviceName(KeyOf(ids)) +
                                                 " (kelvra-cli list --all shows every HID device)");
    }
    return {};
}

Outcome Read(const Context& context)
{
    const Options& options = context.options;
    Outcome outcome = CheckOutputFile(options.output, options.force);
    DeviceKey device = 0;
    std::optional<CliSession> session;
    if (outcome.Succeeded())
    {
        outcome = BeginOnChosenDevice(context, device, session);
    }
    std::vector<BYTE> chip(options.size, 0);
    if (outcome.Succeeded())
    {
        outcome = session->Transfer(options.family, TransferDirection::EepromToBuffer, chip.data(), options.size);
    }
    if (outcome.Succeeded())
    {
        outcome = WriteOutputFile(options.output, chip, options.force);
    }
    if (outcome.Succeeded())
    {
        Summarise(context, "read " + Plural(chip.size(), "byte") + " of " + ChipName(context, device) + " into " +
                               options.output);
    }
    return outcome;
}

void PrintIdentity(const Context& context, DeviceKey device, const std::vector<BYTE>& chip)
{
    using namespace Family0Image;
    const bool signature = HasSignature(chip.data());
    if (!context.options.json)
    {
        for (const std::string& line : IdentityLines(chip.data()))
        {
            context.console.Out(Text::EscapeBytes(line) + "\n");
        }
        if (context.options.hex)
        {
            context.console.Out(HexDump(chip));
        }
        if (!signature)
        {
            context.console.Err("kelvra-cli: " + DeviceName(device) + " carries no VT-A identity: its header word " +
                                Text::HexWord(HeaderWord(chip.data())) +
                                " lacks the signature 0x6700 to 0x670f, so there is nothing to list.\n");
        }
        return;
    }
    std::string fields = JsonField("device", JsonString(DeviceName(device))) +
                         JsonField("signature", signature ? "true" : "false") +
                         JsonField("header", JsonString(Text::HexWord(HeaderWord(chip.data()))));
    if (signature)
    {
        fields += JsonField("vid", JsonString(Text::HexWord(WordAt(chip.data(), VendorIdOffset)))) +
                  JsonField("pid", JsonString(Text::HexWord(WordAt(chip.data(), ProductIdOffset))));
        const char* const names[] = {"product", "manufacturer", "serial"};
        for (size_t row = 0; row < 3; ++row)
        {
            fields += JsonField(names[row], IsPresent(chip.data(), StringFieldTable[row])
                                                ? JsonString(FieldCharacters(chip.data(), StringFieldTable[row]))
                                                : "null");
        }
    }
    if (context.options.hex)
    {
        fields += JsonField("bytes", JsonString(HexString(chip)));
    }
    context.json = fields;
}

Outcome Show(const Context& context)
{
    DeviceKey device = 0;
    std::optional<CliSession> session;
    Outcome outcome = BeginOnChosenDevice(context, device, session);
    std::vector<BYTE> chip(Family0Image::ImageSize, 0);
    if (outcome.Succeeded())
    {
        outcome = session->Transfer(ChipFamily::A, TransferDirection::EepromToBuffer, chip.data(), chip.size());
    }
    if (outcome.Succeeded())
    {
        PrintIdentity(context, device, chip);
    }
    return outcome;
}

Outcome CheckHasIdentity(const std::string& what, const std::vector<BYTE>& bytes)
{
    if (Family0Image::HasSignature(bytes.data()))
    {
        return {};
    }
    return Failure(ExitStatus::Usage, what + " carries no VT-A identity (header word " +
                                          Text::HexWord(Family0Image::HeaderWord(bytes.data())) +
                                          "), so it has no serial number field to set; nothing was written.");
}

// --keep-serial: the serial number field of the chip, as it is now.
Outcome ReadChipSerial(CliSession& session, std::string& serial)
{
    using namespace Family0Image;
    std::vector<BYTE> chip(ImageSize, 0);
    Outcome outcome = session.Transfer(ChipFamily::A, TransferDirection::EepromToBuffer, chip.data(), chip.size());
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    if (!HasSignature(chip.data()) || !IsPresent(chip.data(), SerialNumberField))
    {
        return Failure(ExitStatus::Usage, "the chip carries no serial number to keep (header word " +
                                              Text::HexWord(HeaderWord(chip.data())) +
                                              "); nothing was written. Give --serial TEXT instead.");
    }
    serial = FieldBytes(chip.data(), SerialNumberField);
    if (serial.size() > SerialNumberField.capacity)
    {
        return Failure(ExitStatus::Usage, "the chip's serial number field counts " +
                                              Plural(serial.size(), "character") +
                                              ", more than the field holds; nothing was written. Give --serial TEXT.");
    }
    return {};
}

Outcome CompareChip(const Context& context, CliSession& session, const std::vector<BYTE>& image, DeviceKey device)
{
    const Options& options = context.options;
    Comparison comparison;
    const Outcome outcome = session.ReadBack(options.family, image, comparison);
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    if (options.json)
    {
        std::string fields = JsonField("device", JsonString(DeviceName(device))) +
                             JsonField("family", JsonString(TraitsOf(options.family).name)) +
                             JsonField("size", std::to_string(options.size)) +
                             JsonField("match", comparison.differing == 0 ? "true" : "false") +
                             JsonField("differing", std::to_string(comparison.differing));
        const std::string first = JsonField("offset", std::to_string(comparison.firstOffset)) +
                                  JsonField("expected", JsonString(Text::HexByte(comparison.expected))) +
                                  JsonField("actual", JsonString(Text::HexByte(comparison.actual)));
        if (comparison.differing != 0)
        {
            fields += JsonField("first", JsonObject(first));
        }
        context.json = fields;
    }
    if (comparison.differing == 0)
    {
        return {};
    }
    return Failure(ExitStatus::VerifyDiffers,
                   "the chip differs from " + options.image + " in " + Plural(comparison.differing, "byte") + " of " +
                       std::to_string(options.size) + "; the first at offset " +
                       Text::HexWord(static_cast<unsigned>(comparison.firstOffset)) + ": the image has " +
                       Text::HexByte(comparison.expected) + ", the chip " + Text::HexByte(comparison.actual) + ".");
}

Outcome Write(const Context& context)
{
    const Options& options = context.options;
    std::vector<BYTE> image;
    Outcome outcome = ReadImageFile(options.image, options.size, image);
    if (outcome.Succeeded() && (options.serial || options.keepSerial))
    {
        outcome = CheckHasIdentity(options.image, image);
    }
    if (outcome.Succeeded() && options.serial)
    {
        Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, *options.serial);
    }
    DeviceKey device = 0;
    std::optional<CliSession> session;
    if (outcome.Succeeded())
    {
        outcome = BeginOnChosenDevice(context, device, session);
    }
    std::string keptSerial;
    if (outcome.Succeeded() && options.keepSerial)
    {
        outcome = ReadChipSerial(*session, keptSerial);
        if (outcome.Succeeded())
        {
            Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, keptSerial);
        }
    }
    if (outcome.Succeeded())
    {
        outcome = session->Transfer(options.family, TransferDirection::BufferToEeprom, image.data(), options.size);
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    std::string summary =
        "wrote " + Plural(options.size, "byte") + " of " + options.image + " to " + ChipName(context, device);
    if (options.serial || options.keepSerial)
    {
        summary += " with serial number " + Text::EscapeNonPrintable(options.serial ? *options.serial : keptSerial);
    }
    if (options.verify)
    {
        outcome = CompareChip(context, *session, image, device);
        if (!outcome.Succeeded())
        {
            return outcome;
        }
        summary += ", and verified it";
    }
    Summarise(context, summary);
    return {};
}

Outcome Verify(const Context& context)
{
    std::vector<BYTE> image;
    Outcome outcome = ReadImageFile(context.options.image, context.options.size, image);
    DeviceKey device = 0;
    std::optional<CliSession> session;
    if (outcome.Succeeded())
    {
        outcome = BeginOnChosenDevice(context, device, session);
    }
    if (outcome.Succeeded())
    {
        outcome = CompareChip(context, *session, image, device);
    }
    if (outcome.Succeeded())
    {
        Summarise(context, ChipName(context, device) + " matches " + context.options.image + " (" +
                               Plural(context.options.size, "byte") + ")");
    }
    return outcome;
}

Outcome Run(const Context& context)
{
    switch (context.options.command)
    {
    case Command::List:
        return List(context);
    case Command::Read:
        return Read(context);
    case Command::Show:
        return Show(context);
    case Command::Write:
        return Write(context);
    case Command::Verify:
        return Verify(context);
    case Command::Line:
        return RunLine(context.options, context.console, context.platform);
    case Command::MendLog:
        return RunMendLog(context.options, context.console);
    case Command::Ledger:
        break;  // taken before the command line is parsed
    case Command::Help:
        break;
    }
    context.console.Out(HelpText());
    return {};
}
}  // namespace

// One object whatever the outcome, so a script's parser always has one to read.
void AnswerInJson(std::string fields, const Outcome& outcome, Console& console)
{
    if (!outcome.Succeeded())
    {
        fields += JsonField("error", JsonText(outcome.message)) +
                  JsonField("status", std::to_string(static_cast<int>(outcome.status)));
    }
    console.Out(JsonObject(fields) + "\n");
}

int RunKelvraCli(const std::vector<std::string>& arguments, Console& console, HidPlatform& platform)
{
    if (!arguments.empty() && arguments[0] == "ledger")
    {
        return RunLedgerProgram(arguments, console);
    }
    Options options;
    Outcome outcome = ParseCommandLine(arguments, options);
    // list's answer names its devices, none when it could not look for them.
    std::string json = options.command == Command::List ? JsonField("devices", "[]") : std::string();
    if (outcome.Succeeded())
    {
        outcome = Run(Context{options, console, platform, json});
    }
    if (!outcome.Succeeded())
    {
        console.Err("kelvra-cli: " + outcome.message + "\n");
    }
    if (options.json)
    {
        AnswerInJson(json, outcome, console);
    }
    return static_cast<int>(outcome.status);
}
