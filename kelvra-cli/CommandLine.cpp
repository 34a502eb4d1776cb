#include "CommandLine.h"

#include <cstdlib>

#include "Family0Image.h"
#include "HidEnumeration.h"
#include "Joined.h"
#include "DatabaseLedger.h"
#include "OptionParser.h"
#include "SerialSeries.h"
#include "Text.h"

namespace
{
using OptionParser::CommandBit;
using OptionParser::CommandRow;
using OptionParser::CommandSet;
using OptionParser::OptionRow;

enum OptionId : int
{
    DeviceOption,
    FamilyOption,
    SizeOption,
    OutputOption,
    ForceOption,
    AllOption,
    HexOption,
    VerifyOption,
    SerialOption,
    KeepSerialOption,
    JsonOption,
    LogOption,
    StartOption,
    SerialsFromInputOption,
    CountOption,
    StopAfterOption,
    SkipFailedOption,
    AllowDuplicateSerialsOption,
    LedgerOption,
    SeriesOption,
    StationOption,
    QuietOption,
    HelpOption,
};

constexpr CommandSet On(Command command)
{
    return CommandBit(static_cast<int>(command));
}

const CommandRow CommandTable[] = {
    {static_cast<int>(Command::List), "list", "",
     "the attached HID devices with the chosen identifiers (--all: every one)"},
    {static_cast<int>(Command::Read), "read", "",
     "copies the chip into FILE, exactly as many bytes as a transfer moves; an existing FILE is replaced only with "
     "--force"},
    {static_cast<int>(Command::Show), "show", "",
     "reads a VT-A chip and prints the identity it carries, as Kelvra lists it (--hex adds the 128 bytes)"},
    {static_cast<int>(Command::Write), "write", "IMAGE",
     "writes IMAGE to the chip; --verify reads it back and compares"},
    {static_cast<int>(Command::Verify), "verify", "IMAGE", "reads the chip and compares it with IMAGE"},
    {static_cast<int>(Command::Line), "line", "IMAGE",
     "production line: waits for each unit, writes IMAGE (VT-A: with the next serial of the series), verifies it, "
     "logs a row to FILE, prints PASS or FAIL, and waits for the unit to be removed. Started again with the same log, "
     "it goes on after the last serial that passed"},
    {static_cast<int>(Command::MendLog), "mend-log", "LOG",
     "a line's log whose last row was cut short (a power cut while it was written): saves the log as it was in "
     "LOG.before-mend, cuts that row off, and logs each reservation left without a result as VOID, keeping every "
     "other row. A log whose last row is whole is left as it is"},
    {static_cast<int>(Command::Ledger), "ledger", "ACTION",
     "the production line's ledger in a database shared by many stations: init, add-series, status, export, void, "
     "import (kelvra-cli ledger --help)"},
};

const CommandSet Transfers = On(Command::Read) | On(Command::Write) | On(Command::Verify) | On(Command::Line);
// A line on a shared ledger takes its family from the series.
const CommandSet FamilyNeeded = On(Command::Read) | On(Command::Write) | On(Command::Verify) | On(Command::MendLog);
const CommandSet JsonCommands = On(Command::List) | On(Command::Show) | On(Command::Verify);
const CommandSet Everywhere = Transfers | On(Command::List) | On(Command::Show);
const CommandSet FamilyCommands = Transfers | On(Command::MendLog);

const OptionRow OptionTable[] = {
    {DeviceOption, "--device", nullptr, "VID:PID",
     "the device, e.g. 845e:0001. Without it, VID and PID of Kelvra.ini in the current folder, as Kelvra reads them",
     Everywhere, 0},
    {FamilyOption, "--family", nullptr, "A|B|C", "VT-A (128 bytes, about 1.3 s), VT-B (256 bytes) or VT-C",
     FamilyCommands, FamilyNeeded},
    {SizeOption, "--size", nullptr, "BYTES", "VT-C only: 256, 512, 1024 or 2048 (default 256)", Transfers, 0},
    {OutputOption, "-o", "--output", "FILE", "read: the file to save the chip into", On(Command::Read),
     On(Command::Read)},
    {ForceOption, "--force", nullptr, nullptr, "read: replace FILE if it exists", On(Command::Read), 0},
    {AllOption, "--all", nullptr, nullptr, "list: every HID device, whatever its identifiers", On(Command::List), 0},
    {HexOption, "--hex", nullptr, nullptr, "show: the 128 bytes too", On(Command::Show), 0},
    {VerifyOption, "--verify", nullptr, nullptr, "write: then read the chip back and compare it with the image",
     On(Command::Write), 0},
    {SerialOption, "--serial", nullptr, "TEXT",
     "VT-A write: the image with this serial number, 1 to 13 printable ASCII characters; the file itself is not "
     "changed",
     On(Command::Write), 0},
    {KeepSerialOption, "--keep-serial", nullptr, nullptr,
     "VT-A write: the image with the serial number the chip has now (not with --serial)", On(Command::Write), 0},
    {JsonOption, "--json", nullptr, nullptr,
     "list, show, verify: one JSON object on stdout, whatever the outcome; a failure adds \"error\" (the message) "
     "and \"status\" (the exit status)",
     JsonCommands, 0},
    // line
    {LogOption, "--log", nullptr, "FILE", "line: the CSV log, created if missing, appended to otherwise",
     On(Command::Line), 0},
    {StartOption, "--start", nullptr, "SERIAL",
     "line, VT-A: the first serial, letters, '-' or '_' then digits whose width is kept, e.g. KV-000100",
     On(Command::Line), 0},
    {SerialsFromInputOption, "--serials-from-input", nullptr, nullptr,
     "line, VT-A: each unit's serial from a line of standard input, e.g. from a barcode scanner; the serial given "
     "last before a unit arrives is the one it gets",
     On(Command::Line), 0},
    {CountOption, "--count", nullptr, "N",
     "line: the series holds N serials (VT-B, VT-C: units 1 to N); the line ends once its last has passed, however "
     "often it is started again",
     On(Command::Line), 0},
    {StopAfterOption, "--stop-after", nullptr, "N",
     "line: end this run once N units have passed, without waiting for the last one's removal", On(Command::Line), 0},
    {SkipFailedOption, "--skip-failed", nullptr, nullptr,
     "line: a failed unit's serial goes to no other unit; the default, kept for older scripts", On(Command::Line), 0},
    {AllowDuplicateSerialsOption, "--allow-duplicate-serials", nullptr, nullptr,
     "line: a failed unit's serial or number goes to the next unit too, though the failed unit may carry it: two "
     "units may then carry one serial (default: no other unit gets it; the unit that failed may, attached again)",
     On(Command::Line), 0},
    {LedgerOption, "--ledger", nullptr, "CONN",
     "line: the shared ledger's ODBC connection string, e.g. DSN=kelvra-line (default: the variable KELVRA_LEDGER); "
     "a password comes from the DSN or KELVRA_LEDGER_PASSWORD",
     On(Command::Line), 0},
    {SeriesOption, "--series", nullptr, "NAME",
     "line: the series on the shared ledger, which gives the family, size, serials and image's SHA-256 (instead of "
     "--log)",
     On(Command::Line), 0},
    {StationOption, "--station", nullptr, "NAME", "line: this station's name on the ledger (default: the computer's)",
     On(Command::Line), 0},
    // every command
    {QuietOption, "--quiet", nullptr, nullptr, "no progress bar and no summary line", Everywhere, 0},
    {HelpOption, "--help", "-h", nullptr, "this text", Everywhere | On(Command::MendLog), 0},
};

const OptionParser::Table Table =
    OptionParser::MakeTable("kelvra-cli",
                            "kelvra-cli: reads, writes and verifies the configuration EEPROM of a USB device's\n"
                            "controller chip through the chip family's driver library, as Kelvra does.\n",
                            "\n"
                            "Each option is given once. A value that begins with '-' is written\n"
                            "--option=value; -- ends the options.\n"
                            "An image is raw bytes: a shorter one counts as padded with zeros, a longer one is\n"
                            "cut.\n"
                            "The driver libraries VT_HIDA.dll, VT_HIDB.dll and VT_HIDC.dll are loaded from the\n"
                            "program's folder, the system folders or PATH, never from the current folder.\n"
                            "\n"
                            "Exit status:\n"
                            "   0  success\n"
                            "   1  unexpected failure\n"
                            "   2  usage error: an unknown command, option, family or size, an option given\n"
                            "      twice or without its value, a serial that does not fit, or an option that\n"
                            "      does not apply\n"
                            "   3  no matching device, or several that the libraries cannot tell apart\n"
                            "   4  a driver library missing, or lacking an export\n"
                            "   5  the device did not open\n"
                            "   6  a transfer failed\n"
                            "   7  verify found the chip differing from the image\n"
                            "   8  file error: an image missing, unreadable, empty or not a file; an output\n"
                            "      that exists, is read-only or cannot be written\n"
                            "   9  the device is busy: another Kelvra program is using it\n"
                            "  10  interrupted (Ctrl+C); the device was closed\n"
                            "  11  the shared ledger refuses: no such series, another image, a station\n"
                            "      name in use, a schema of another version\n"
                            "  12  the shared ledger cannot be reached at the start\n"
                            "  13  the shared ledger was lost when a unit arrived; the unit was not touched\n"
                            "  14  the shared ledger was lost after a unit's write: that unit is not\n"
                            "      logged, put it aside\n"
                            "line ends with 0 once the series' last serial or --stop-after units have passed,\n"
                            "10 at Ctrl+C, 2 when the series has no serial left; a failed unit is logged and\n"
                            "the line goes on.\n"
                            "mend-log ends with 0 once the log's last row is whole, mended or as it was, and 8\n"
                            "when the log is refused or cannot be mended.\n",
                            CommandTable, OptionTable, HelpOption);

const char* const SeeHelp = " (see kelvra-cli --help)";

bool ParseDevice(const std::string& text, DeviceIds& ids)
{
    DeviceKey key = 0;
    if (!ParseDeviceText(text, key))
    {
        return false;
    }
    ids.vendorId = HIWORD(key);
    ids.productId = LOWORD(key);
    return true;
}

bool ParseDecimal(const std::string& text, UINT& value)
{
    if (text.empty() || text.size() > 9)
    {
        return false;
    }
    for (char character : text)
    {
        if (character < '0' || character > '9')
        {
            return false;
        }
    }
    value = static_cast<UINT>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

bool IsVtcSize(UINT size)
{
    for (UINT32 choice : VtcEepromSizes)
    {
        if (choice == size)
        {
            return true;
        }
    }
    return false;
}

// A refused command line still answers in JSON when it asks for JSON.
bool AsksForJson(const OptionParser::Parsed& parsed, const std::vector<std::string>& arguments)
{
    if (parsed.command < 0 || (JsonCommands & CommandBit(parsed.command)) == 0)
    {
        return false;
    }
    for (const std::string& argument : arguments)
    {
        if (argument == "--")
        {
            return false;
        }
        if (argument == "--json")
        {
            return true;
        }
    }
    return false;
}

Outcome Usage(const std::string& message)
{
    return Failure(ExitStatus::Usage, message);
}

Outcome CheckSerial(const std::string& serial)
{
    if (serial.empty())
    {
        return Usage("--serial \"\" is empty: give the serial number to write, or leave --serial out to write the "
                     "image as it is");
    }
    for (char character : serial)
    {
        if (character < 0x20 || character > 0x7E)
        {
            return Usage("--serial takes printable ASCII characters only");
        }
    }
    const size_t capacity = Family0Image::SerialNumberField.capacity;
    if (serial.size() > capacity)
    {
        return Usage("--serial \"" + serial + "\" has " + std::to_string(serial.size()) +
                     " characters; the serial number field holds at most " + std::to_string(capacity));
    }
    return {};
}

void SetFlag(int option, Options& options)
{
    switch (option)
    {
    case AllOption:
        options.all = true;
        break;
    case ForceOption:
        options.force = true;
        break;
    case HexOption:
        options.hex = true;
        break;
    case KeepSerialOption:
        options.keepSerial = true;
        break;
    case VerifyOption:
        options.verify = true;
        break;
    case QuietOption:
        options.quiet = true;
        break;
    case SkipFailedOption:
        options.skipFailed = true;
        break;
    case AllowDuplicateSerialsOption:
        options.allowDuplicateSerials = true;
        break;
    case SerialsFromInputOption:
        options.serialsFromInput = true;
        break;
    default:
        break;
    }
}

Outcome ParseUnits(const char* option, const std::string& value, std::optional<std::uint64_t>& units)
{
    const Result<std::uint64_t> count = SerialSeries::ParseCount(value);
    if (!count.IsOk())
    {
        return Usage(option + count.Error());
    }
    units = count.Value();
    return {};
}

// One option given: a value checked and kept, or a flag set.
Outcome Apply(int option, const std::string& value, Options& options, std::string& sizeText)
{
    switch (option)
    {
    case DeviceOption:
    {
        DeviceIds ids{};
        if (!ParseDevice(value, ids))
        {
            return Usage("--device takes VID:PID, each 1 to 4 hexadecimal digits, e.g. --device 845e:0001; not \"" +
                         value + "\"");
        }
        options.device = ids;
        return {};
    }
    case FamilyOption:
        if (!ParseFamily(value, options.family))
        {
            return Usage("unknown chip family \"" + value + "\": give --family A, B or C");
        }
        return {};
    case SizeOption:
        sizeText = value;
        return {};
    case OutputOption:
        options.output = value;
        return {};
    case SerialOption:
        options.serial = value;
        return CheckSerial(value);
    case StartOption:
    {
        options.start = value;
        const Result<SerialSeries::Form> form = SerialSeries::ParseStart(value);
        return form.IsOk() ? Outcome() : Usage("--start: " + form.Error());
    }
    case CountOption:
        return ParseUnits("--count: ", value, options.count);
    case StopAfterOption:
        return ParseUnits("--stop-after: ", value, options.stopAfter);
    case LogOption:
        options.log = value;
        return {};
    case LedgerOption:
        options.ledger = value;
        return value.empty() ? Usage("--ledger \"\" names no database: give an ODBC connection string") : Outcome();
    case SeriesOption:
    case StationOption:
    {
        const std::string problem = NameProblem(value);
        (option == SeriesOption ? options.series : options.station) = value;
        return problem.empty() ? Outcome()
                               : Usage(Joined({option == SeriesOption ? "--series " : "--station ", problem}));
    }
    default:
        SetFlag(option, options);
        return {};
    }
}

// The operation size: the family's own, or for VT-C the --size given.
Outcome SettleSize(const std::string& sizeText, bool sizeGiven, Options& options)
{
    const ChipFamilyTraits& traits = TraitsOf(options.family);
    UINT size = 0;
    if (sizeGiven && !ParseDecimal(sizeText, size))
    {
        return Usage("--size takes a number of bytes: 256, 512, 1024 or 2048; not \"" + sizeText + "\"");
    }
    if (traits.fixedOperationSize != 0)
    {
        if (sizeGiven && size != traits.fixedOperationSize)
        {
            return Usage(std::string(traits.name) + " always transfers " + std::to_string(traits.fixedOperationSize) +
                         " bytes; --size applies to VT-C");
        }
        options.size = traits.fixedOperationSize;
        return {};
    }
    if (sizeGiven && !IsVtcSize(size))
    {
        return Usage("--size " + sizeText + " is not a VT-C EEPROM size: give 256, 512, 1024 or 2048");
    }
    options.size = sizeGiven ? size : VtcEepromSizes[0];
    return {};
}

// A line runs on its own log, or on a series of a shared ledger, which
// brings the family, the size and the serials.
Outcome CheckLedger(const Options& options, bool familyGiven, bool sizeGiven)
{
    if (options.command != Command::Line)
    {
        return {};
    }
    if (options.series.empty())
    {
        if (!options.ledger.empty() || !options.station.empty())
        {
            return Usage("--ledger and --station go with --series NAME");
        }
        if (options.log.empty())
        {
            return Usage("line needs --log FILE, or --series NAME on a shared ledger" + std::string(SeeHelp));
        }
        return familyGiven ? Outcome() : Usage("line needs --family A|B|C" + std::string(SeeHelp));
    }
    if (!options.log.empty())
    {
        return Usage("give --log FILE for a line of its own, or --series NAME on a shared ledger, not both");
    }
    if (familyGiven || sizeGiven || !options.start.empty() || options.count || options.serialsFromInput)
    {
        return Usage("--series brings the family, the size, the serials and the series' length from the ledger: leave "
                     "out --family, --size, --start, --count and --serials-from-input");
    }
    return {};
}

Outcome CheckCombination(const Options& options)
{
    if (options.serial && options.keepSerial)
    {
        return Usage("give --serial or --keep-serial, not both");
    }
    if ((options.serial || options.keepSerial) && options.family != ChipFamily::A)
    {
        return Usage("--serial and --keep-serial apply to VT-A images only");
    }
    if (options.serialsFromInput && (options.family != ChipFamily::A || !options.start.empty()))
    {
        return Usage("--serials-from-input applies to VT-A, and replaces --start");
    }
    if (options.serialsFromInput && options.count)
    {
        return Usage("--count is the series' length, and serials from input have none: give --stop-after N to end "
                     "after N units");
    }
    const Result<SerialSeries::Form> start = SerialSeries::ParseStart(options.start);
    if (options.count && start.IsOk() && start.Value().number + *options.count > SerialSeries::Limit(start.Value()))
    {
        return Usage("--count " + std::to_string(*options.count) + " from " + options.start +
                     ": more serials than the start's digits can number");
    }
    if (options.command == Command::Line && options.series.empty() && options.family == ChipFamily::A &&
        options.start.empty() && !options.serialsFromInput)
    {
        return Usage("line --family A needs --start SERIAL, the first serial number to write, or "
                     "--serials-from-input" +
                     std::string(SeeHelp));
    }
    if (options.allowDuplicateSerials && options.skipFailed)
    {
        return Usage("give --skip-failed or --allow-duplicate-serials, not both");
    }
    if (options.allowDuplicateSerials && options.serialsFromInput)
    {
        return Usage("--allow-duplicate-serials applies to --start and unit numbers: a scanned serial may always be "
                     "scanned again for the unit that failed");
    }
    if (!options.start.empty() && options.family != ChipFamily::A)
    {
        return Usage("--start applies to VT-A, whose images carry a serial number; VT-B and VT-C units are numbered");
    }
    return {};
}
}  // namespace

bool IsHexIdentifier(const std::string& text)
{
    if (text.empty() || text.size() > 4)
    {
        return false;
    }
    for (char character : text)
    {
        if (!Text::IsHexDigit(character))
        {
            return false;
        }
    }
    return true;
}

Outcome ParseCommandLine(const std::vector<std::string>& arguments, Options& options)
{
    options = Options();
    OptionParser::Parsed parsed;
    const std::string refusal = OptionParser::Parse(Table, arguments, parsed);
    if (parsed.command >= 0)
    {
        options.command = static_cast<Command>(parsed.command);
    }
    if (!refusal.empty())
    {
        options.json = AsksForJson(parsed, arguments);
        return Usage(refusal + SeeHelp);
    }
    if (parsed.help)
    {
        options.command = Command::Help;
        return {};
    }
    // Before any value is checked, so a refusal of one still answers in JSON.
    options.json = parsed.Has(JsonOption);
    if (!parsed.operands.empty())
    {
        (options.command == Command::MendLog ? options.log : options.image) = parsed.operands.front();
    }
    std::string sizeText;
    for (const OptionParser::GivenOption& given : parsed.options)
    {
        const Outcome applied = Apply(given.id, given.value, options, sizeText);
        if (!applied.Succeeded())
        {
            return applied;
        }
    }
    Outcome combination = CheckLedger(options, parsed.Has(FamilyOption), parsed.Has(SizeOption));
    if (combination.Succeeded())
    {
        combination = CheckCombination(options);
    }
    if (!combination.Succeeded())
    {
        return combination;
    }
    if (options.command == Command::Show)
    {
        options.family = ChipFamily::A;
    }
    return SettleSize(sizeText, parsed.Has(SizeOption), options);
}

std::string HelpText()
{
    return OptionParser::HelpText(Table);
}
