#include "CommandLine.h"

#include <cstdlib>

#include "Family0Image.h"
#include "SerialSeries.h"
#include "Text.h"

const char* const HelpText = "kelvra-cli: reads, writes and verifies the configuration EEPROM of a USB device's\n"
                             "controller chip through the chip family's driver library, as Kelvra does.\n"
                             "\n"
                             "Usage:\n"
                             "  kelvra-cli list [--all] [--json]\n"
                             "  kelvra-cli read --family A|B|C [--size BYTES] -o FILE [--force]\n"
                             "  kelvra-cli show [--hex] [--json]\n"
                             "  kelvra-cli write IMAGE --family A|B|C [--size BYTES] [--verify]\n"
                             "                         [--serial TEXT | --keep-serial]\n"
                             "  kelvra-cli verify IMAGE --family A|B|C [--size BYTES] [--json]\n"
                             "  kelvra-cli line IMAGE --family A|B|C [--size BYTES] --log FILE\n"
                             "                        [--start SERIAL | --serials-from-input] [--count N]\n"
                             "                        [--skip-failed]\n"
                             "\n"
                             "Commands:\n"
                             "  list    the attached HID devices with the chosen identifiers (--all: every one)\n"
                             "  read    copies the chip into FILE, exactly as many bytes as a transfer moves;\n"
                             "          an existing FILE is replaced only with --force\n"
                             "  show    reads a VT-A chip and prints the identity it carries, as Kelvra lists it\n"
                             "          (--hex adds the 128 bytes)\n"
                             "  write   writes IMAGE to the chip; --verify reads it back and compares\n"
                             "  verify  reads the chip and compares it with IMAGE\n"
                             "  line    production line: waits for each unit, writes IMAGE (VT-A: with the next\n"
                             "          serial of the series), verifies it, logs a row to FILE, prints PASS or\n"
                             "          FAIL, and waits for the unit to be removed. Started again with the same\n"
                             "          log, it goes on after the last serial that passed\n"
                             "\n"
                             "Options:\n"
                             "  --device VID:PID  the device, e.g. 845e:0001. Without it, VID and PID of\n"
                             "                    Kelvra.ini in the current folder, as Kelvra reads them\n"
                             "  --family A|B|C    VT-A (128 bytes, about 1.3 s), VT-B (256 bytes) or VT-C\n"
                             "  --size BYTES      VT-C only: 256, 512, 1024 or 2048 (default 256)\n"
                             "  --serial TEXT     VT-A write: the image with this serial number, at most 13\n"
                             "                    printable ASCII characters; the file itself is not changed\n"
                             "  --keep-serial     VT-A write: the image with the serial number the chip has now\n"
                             "  --json            list, show, verify: one JSON object on stdout\n"
                             "  --log FILE        line: the CSV log, created if missing, appended to otherwise\n"
                             "  --start SERIAL    line, VT-A: the first serial, letters, '-' or '_' then digits\n"
                             "                    whose width is kept, e.g. KV-000100\n"
                             "  --serials-from-input  line, VT-A: each unit's serial from a line of stdin\n"
                             "  --count N         line: end once N units have passed (default: at Ctrl+C)\n"
                             "  --skip-failed     line: a failed unit's serial is not used again (default: the\n"
                             "                    next unit retries it)\n"
                             "  --quiet           no progress bar and no summary line\n"
                             "  --help            this text\n"
                             "An image is raw bytes: a shorter one counts as padded with zeros, a longer one is cut.\n"
                             "The driver libraries VT_HIDA.dll, VT_HIDB.dll and VT_HIDC.dll are loaded from the\n"
                             "program's folder, the system folders or PATH, never from the current folder.\n"
                             "\n"
                             "Exit status:\n"
                             "   0  success\n"
                             "   1  unexpected failure\n"
                             "   2  usage error: an unknown command, option, family or size, a serial that\n"
                             "      does not fit, or an option that does not apply\n"
                             "   3  no matching device, or several that the libraries cannot tell apart\n"
                             "   4  a driver library missing, or lacking an export\n"
                             "   5  the device did not open\n"
                             "   6  a transfer failed\n"
                             "   7  verify found the chip differing from the image\n"
                             "   8  file error: an image missing, unreadable, empty or not a file; an output\n"
                             "      that exists or cannot be written\n"
                             "   9  the device is busy: another Kelvra program is using it\n"
                             "  10  interrupted (Ctrl+C); the device was closed\n"
                             "line ends with 0 once --count units have passed, 10 at Ctrl+C, 2 when the series\n"
                             "runs out of serials; a failed unit is logged and the line goes on.\n";

namespace
{
enum OptionBit : unsigned
{
    AllOption = 1u << 0,
    JsonOption = 1u << 1,
    DeviceOption = 1u << 2,
    FamilyOption = 1u << 3,
    SizeOption = 1u << 4,
    OutputOption = 1u << 5,
    ForceOption = 1u << 6,
    HexOption = 1u << 7,
    SerialOption = 1u << 8,
    KeepSerialOption = 1u << 9,
    VerifyOption = 1u << 10,
    QuietOption = 1u << 11,
    StartOption = 1u << 12,
    CountOption = 1u << 13,
    LogOption = 1u << 14,
    SkipFailedOption = 1u << 15,
    SerialsFromInputOption = 1u << 16,
};

struct OptionSpec
{
    const char* name;
    OptionBit bit;
    const char* value;  // what the value is, or null for a flag
};

const OptionSpec OptionTable[] = {
    {"--all", AllOption, nullptr},
    {"--json", JsonOption, nullptr},
    {"--device", DeviceOption, "VID:PID"},
    {"--family", FamilyOption, "A|B|C"},
    {"--size", SizeOption, "BYTES"},
    {"-o", OutputOption, "FILE"},
    {"--output", OutputOption, "FILE"},
    {"--force", ForceOption, nullptr},
    {"--hex", HexOption, nullptr},
    {"--serial", SerialOption, "TEXT"},
    {"--keep-serial", KeepSerialOption, nullptr},
    {"--verify", VerifyOption, nullptr},
    {"--quiet", QuietOption, nullptr},
    {"--start", StartOption, "SERIAL"},
    {"--count", CountOption, "N"},
    {"--log", LogOption, "FILE"},
    {"--skip-failed", SkipFailedOption, nullptr},
    {"--serials-from-input", SerialsFromInputOption, nullptr},
};

struct CommandSpec
{
    const char* name;
    Command command;
    unsigned allowed;
    unsigned required;
    bool takesImage;
};

const unsigned Everywhere = DeviceOption | QuietOption;
const CommandSpec CommandTable[] = {
    {"list", Command::List, Everywhere | AllOption | JsonOption, 0, false},
    {"read", Command::Read, Everywhere | FamilyOption | SizeOption | OutputOption | ForceOption,
     FamilyOption | OutputOption, false},
    {"show", Command::Show, Everywhere | HexOption | JsonOption, 0, false},
    {"write", Command::Write, Everywhere | FamilyOption | SizeOption | VerifyOption | SerialOption | KeepSerialOption,
     FamilyOption, true},
    {"verify", Command::Verify, Everywhere | FamilyOption | SizeOption | JsonOption, FamilyOption, true},
    {"line", Command::Line,
     Everywhere | FamilyOption | SizeOption | StartOption | CountOption | LogOption | SkipFailedOption |
         SerialsFromInputOption,
     FamilyOption | LogOption, true},
};

const char* const SeeHelp = " (kelvra-cli --help lists them)";

const OptionSpec* FindOption(const std::string& name)
{
    for (const OptionSpec& option : OptionTable)
    {
        if (name == option.name)
        {
            return &option;
        }
    }
    return nullptr;
}

const CommandSpec* FindCommand(const std::string& name)
{
    for (const CommandSpec& command : CommandTable)
    {
        if (name == command.name)
        {
            return &command;
        }
    }
    return nullptr;
}

bool ParseDevice(const std::string& text, DeviceIds& ids)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos)
    {
        return false;
    }
    const std::string vendor = text.substr(0, colon);
    const std::string product = text.substr(colon + 1);
    if (!IsHexIdentifier(vendor) || !IsHexIdentifier(product))
    {
        return false;
    }
    ids.vendorId = static_cast<WORD>(std::strtoul(vendor.c_str(), nullptr, 16));
    ids.productId = static_cast<WORD>(std::strtoul(product.c_str(), nullptr, 16));
    return true;
}

bool ParseFamily(std::string text, ChipFamily& family)
{
    if (text.size() == 4 && (text[0] == 'v' || text[0] == 'V') && (text[1] == 't' || text[1] == 'T') && text[2] == '-')
    {
        text = text.substr(3);
    }
    if (text.size() != 1)
    {
        return false;
    }
    const char letter = static_cast<char>(text[0] & ~0x20);
    return letter >= 'A' && letter <= 'C' && ChipFamilyFromIndex(letter - 'A', family);
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

Outcome Usage(const std::string& message)
{
    return Failure(ExitStatus::Usage, message);
}

Outcome CheckSerial(const std::string& serial)
{
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

Outcome ApplyValue(const OptionSpec& option, const std::string& value, Options& options, std::string& sizeText)
{
    switch (option.bit)
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
    {
        const Result<std::uint64_t> count = SerialSeries::ParseCount(value);
        if (!count.IsOk())
        {
            return Usage("--count: " + count.Error());
        }
        options.count = count.Value();
        return {};
    }
    case LogOption:
        options.log = value;
        return {};
    default:
        return {};
    }
}

void ApplyFlag(OptionBit bit, Options& options)
{
    switch (bit)
    {
    case AllOption:
        options.all = true;
        break;
    case JsonOption:
        options.json = true;
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
    case SerialsFromInputOption:
        options.serialsFromInput = true;
        break;
    default:
        break;
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

Outcome CheckCombination(const CommandSpec& command, unsigned given, const Options& options)
{
    for (const OptionSpec& option : OptionTable)
    {
        if ((given & option.bit) != 0 && (command.allowed & option.bit) == 0)
        {
            return Usage(std::string(command.name) + " does not take " + option.name + SeeHelp);
        }
        if ((command.required & option.bit) != 0 && (given & option.bit) == 0)
        {
            return Usage(std::string(command.name) + " needs " + option.name + " " + option.value + SeeHelp);
        }
    }
    if (command.takesImage && options.image.empty())
    {
        return Usage(std::string(command.name) + " needs an IMAGE file" + SeeHelp);
    }
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
    if (command.command == Command::Line && options.family == ChipFamily::A && options.start.empty() &&
        !options.serialsFromInput)
    {
        return Usage("line --family A needs --start SERIAL, the first serial number to write, or "
                     "--serials-from-input" +
                     std::string(SeeHelp));
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
    for (const std::string& argument : arguments)
    {
        if (argument == "--help" || argument == "-h" || argument == "/?")
        {
            return {};
        }
    }
    if (arguments.empty())
    {
        return Usage("no command given" + std::string(SeeHelp));
    }
    if (arguments[0] == "help")
    {
        return {};
    }
    const CommandSpec* command = FindCommand(arguments[0]);
    if (command == nullptr)
    {
        return Usage("unknown command \"" + arguments[0] + "\": give list, read, show, write, verify or line");
    }
    options.command = command->command;

    unsigned given = 0;
    std::string sizeText;
    for (size_t index = 1; index < arguments.size(); ++index)
    {
        std::string name = arguments[index];
        std::string value;
        bool valueAttached = false;
        const size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos)
        {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            valueAttached = true;
        }
        const OptionSpec* option = FindOption(name);
        if (option == nullptr)
        {
            if (name.size() > 1 && name[0] == '-')
            {
                return Usage("unknown option " + name + SeeHelp);
            }
            if (!command->takesImage || !options.image.empty())
            {
                return Usage("unexpected argument \"" + name + "\"" + SeeHelp);
            }
            options.image = name;
            continue;
        }
        if (option->value == nullptr && valueAttached)
        {
            return Usage(std::string(option->name) + " takes no value");
        }
        if (option->value != nullptr && !valueAttached)
        {
            if (index + 1 >= arguments.size())
            {
                return Usage(std::string(option->name) + " needs " + option->value + SeeHelp);
            }
            value = arguments[++index];
        }
        given |= option->bit;
        if (option->value != nullptr)
        {
            const Outcome applied = ApplyValue(*option, value, options, sizeText);
            if (!applied.Succeeded())
            {
                return applied;
            }
        }
        else
        {
            ApplyFlag(option->bit, options);
        }
    }
    const Outcome combination = CheckCombination(*command, given, options);
    if (!combination.Succeeded())
    {
        return combination;
    }
    if (options.command == Command::Show)
    {
        options.family = ChipFamily::A;
    }
    return SettleSize(sizeText, (given & SizeOption) != 0, options);
}
