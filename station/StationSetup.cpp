#include "StationSetup.h"

#include <algorithm>

#include "DatabaseLedger.h"
#include "ImageFile.h"
#include "LedgerConnection.h"
#include "Joined.h"
#include "OptionParser.h"
#include "WideText.h"

namespace
{
enum Option
{
    FamilyOption,
    SizeOption,
    DeviceOption,
    LogOption,
    StartOption,
    CountOption,
    ScanOption,
    LedgerOption,
    SeriesOption,
    StationOption,
    HelpOption,
};

const OptionParser::CommandSet Station = OptionParser::CommandBit(0);

const OptionParser::CommandRow Commands[] = {{0, "", "[IMAGE]", ""}};

const OptionParser::OptionRow Options[] = {
    {FamilyOption, "--family", nullptr, "A|B|C", "VT-A, VT-B or VT-C", Station, 0, "FAMILY"},
    {SizeOption, "--size", nullptr, "BYTES", "VT-C: 256 (default), 512, 1024 or 2048", Station, 0, "SIZE"},
    {DeviceOption, "--device", nullptr, "VID:PID", "the units' identifiers", Station, 0, "DEVICE"},
    {LogOption, "--log", nullptr, "FILE",
     "the line's CSV log; the rest of the set-up may be in the file of the same name with .ini beside it (without "
     "--log: KelvraStation.ini in the current folder)",
     Station, 0},
    {StartOption, "--start", nullptr, "SERIAL", "VT-A: the first serial, e.g. KV-000100", Station, 0, "START"},
    {CountOption, "--count", nullptr, "N", "the series' length (VT-B, VT-C: units 1 to N)", Station, 0, "COUNT"},
    {ScanOption, "--scan", nullptr, nullptr, "VT-A: each unit's serial scanned", Station, 0, "SCAN"},
    {LedgerOption, "--ledger", nullptr, "CONN",
     "the shared ledger's ODBC connection string, e.g. DSN=kelvra-line (default: the variable KELVRA_LEDGER)", Station,
     0, "LEDGER"},
    {SeriesOption, "--series", nullptr, "NAME",
     "a series on the shared ledger instead of --log: it gives the family, the size and the serials", Station, 0,
     "SERIES"},
    {StationOption, "--station", nullptr, "NAME", "this station's name on the ledger (default: the computer's)",
     Station, 0, "STATION"},
    {HelpOption, "--help", "-h", nullptr, "this text", Station, 0},
};

// As the station has always worded them.
const OptionParser::Wording StationWording = {
    [](const std::string& name) { return name + " is not an option"; },
    // A file name is given as typed, never as the start of a sentence.
    [](const std::string& word) { return "the file " + word + " is a second image: give one image"; },
    [](const OptionParser::OptionRow& row, const std::string*)
    {
        return std::string(row.name) + " needs a value (write it --option=VALUE if it starts with '-')";
    }};

const OptionParser::Table Table = OptionParser::MakeTable(
    "KelvraStation", "KelvraStation: a production line's window.\n",
    "\nIMAGE= in the settings file is relative to it; SCAN=1 or 0.\n", Commands, Options, HelpOption, StationWording);

const char* const ImageSetting = "IMAGE";
const wchar_t* const SettingsSection = L"STATION";

// The [STATION] section of the settings file.
class SettingsFile final : public OptionParser::SettingSource
{
public:
    explicit SettingsFile(const std::string& file) : m_file(WideFromUtf8(file)) {}

    bool Find(const char* name, std::string& value) const override
    {
        const std::vector<wchar_t> wideName = WideFromUtf8(name);
        wchar_t text[1024];
        // A value absent from the file reads as the default, which no file holds
        // (Windows strips blanks from the end of a default, so it is none).
        GetPrivateProfileStringW(SettingsSection, wideName.data(), L"\x01", text, 1024, m_file.data());
        value = text[0] != L'\x01' ? Utf8FromWide(text) : std::string();
        return text[0] != L'\x01';
    }

private:
    std::vector<wchar_t> m_file;
};

// The values given, on the command line or in the settings file, and where.
struct Values
{
    OptionParser::Parsed parsed;
    std::string image;
    bool imageFromSettings = false;
    std::string settingsFile;
    const std::string none;

    bool Has(Option option) const { return parsed.Has(option); }
    const std::string& Value(Option option) const
    {
        const std::string* value = parsed.ValueOf(option);
        return value != nullptr ? *value : none;
    }
    bool FromSettings(Option option) const
    {
        const OptionParser::GivenOption* given = parsed.Given(option);
        return given != nullptr && given->fromSettings;
    }
};

const OptionParser::OptionRow& RowOf(Option option)
{
    return Options[option];
}

std::string FullPath(const std::string& path)
{
    const std::vector<wchar_t> wide = WideFromUtf8(path);
    wchar_t full[MAX_PATH * 4];
    const DWORD length = GetFullPathNameW(wide.data(), MAX_PATH * 4, full, nullptr);
    return length == 0 || length >= MAX_PATH * 4 ? path : Utf8FromWide(full);
}

size_t NameStart(const std::string& path)
{
    const size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? 0 : separator + 1;
}

// widget-line.csv gives widget-line.ini, beside it.
std::string SettingsFileOf(const std::string& log)
{
    const size_t dot = log.find_last_of('.');
    return Joined({log.substr(0, dot != std::string::npos && dot >= NameStart(log) ? dot : log.size()), ".ini"});
}

// What is wrong with a value, saying where it came from.
std::string Wrong(const Values& values, Option option, const char* what)
{
    const bool inSettings = values.FromSettings(option);
    return Joined({inSettings ? RowOf(option).setting : RowOf(option).name, inSettings ? "= in " : "",
                   inSettings ? values.settingsFile.c_str() : "", " is \"", values.Value(option), "\", ", what});
}

// image: the image, which is the command line's one operand.
std::string Missing(const OptionParser::OptionRow* row, const std::string& settingsFile, const char* example)
{
    return Joined({"no ", row == nullptr ? "image" : row->name + 2, ": give ",
                   row == nullptr ? "the image file" : row->name, " on the command line, or ",
                   row == nullptr ? ImageSetting : row->setting, "=", example, " in ", settingsFile});
}

std::string ReadFamily(const Values& values, StationSetup& setup)
{
    if (!values.Has(FamilyOption))
    {
        return Missing(&RowOf(FamilyOption), values.settingsFile, "A");
    }
    const std::string& family = values.Value(FamilyOption);
    if (family.size() != 1 || !ChipFamilyFromIndex(family[0] - 'A', setup.family))
    {
        return Wrong(values, FamilyOption, "not A, B or C");
    }
    UINT size = VtcEepromSizes[0];
    if (values.Has(SizeOption))
    {
        size = 0;
        for (UINT choice : VtcEepromSizes)
        {
            size = values.Value(SizeOption) == std::to_string(choice) ? choice : size;
        }
        if (setup.family != ChipFamily::C || size == 0)
        {
            return Wrong(values, SizeOption, "not a size: one is for VT-C only, and 256, 512, 1024 or 2048");
        }
    }
    setup.size = OperationSizeOf(setup.family, size);
    return std::string();
}

std::string ReadSerials(const Values& values, StationSetup& setup)
{
    // A flag on the command line; 1 or 0 in the settings file.
    const std::string scan = values.FromSettings(ScanOption) ? values.Value(ScanOption) : "1";
    setup.scan = values.Has(ScanOption) && scan != "0";
    if (values.Has(ScanOption) && scan != "0" && scan != "1")
    {
        return Wrong(values, ScanOption, "not 1 or 0");
    }
    if (values.Has(CountOption))
    {
        const Result<std::uint64_t> count = SerialSeries::ParseCount(values.Value(CountOption));
        if (!count.IsOk())
        {
            return Wrong(values, CountOption, "not a whole number from 1 to 100000");
        }
        setup.count = count.Value();
    }
    if (setup.family != ChipFamily::A)
    {
        return setup.scan || values.Has(StartOption) ? "VT-B and VT-C units are numbered 1, 2, 3 and so on: a start "
                                                       "serial, or a scanned one, is for VT-A"
                                                     : "";
    }
    if (setup.scan == values.Has(StartOption))
    {
        return Joined({"VT-A serials come from a series or from a scan of each unit: give --start or --scan (START= "
                       "or SCAN=1 in ",
                       values.settingsFile, "), not ", setup.scan ? "both" : "neither"});
    }
    if (setup.scan)
    {
        return setup.count ? "--count is for a series; scanned serials go on until Stop" : "";
    }
    const Result<SerialSeries::Form> start = SerialSeries::ParseStart(values.Value(StartOption));
    if (!start.IsOk())
    {
        return Wrong(values, StartOption, "not letters, '-' or '_' then digits, 13 characters at most");
    }
    setup.series = start.Value();
    if (setup.count && setup.series->number + *setup.count > SerialSeries::Limit(*setup.series))
    {
        return Wrong(values, CountOption, "more serials than the start's digits can number");
    }
    return std::string();
}

// What keeps a file from being opened, named rather than guessed at.
std::string WhyNotOpened(const wchar_t* path, DWORD error)
{
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    {
        return " is a folder: give the image file in it";
    }
    switch (error)
    {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return " does not exist";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return " is in use by another program that keeps others from reading it: close it there";
    case ERROR_ACCESS_DENIED:
        return " may not be read by this user";
    default:
        return Joined({" cannot be opened (Windows error ", std::to_string(error), ")"});
    }
}

std::string Located(const Values& values, const StationSetup& setup)
{
    const std::string& image = values.image;
    const bool relative = !(image.size() >= 2 && image[1] == ':') && image.find_first_of("\\/") != 0;
    if (values.imageFromSettings && relative)
    {
        return FullPath(setup.settingsFile.substr(0, NameStart(setup.settingsFile)) + image);
    }
    return FullPath(image);
}

// The settings file's values below the command line's.
void AddSettings(const std::string& file, Values& values)
{
    const SettingsFile settings(file);
    values.settingsFile = file;
    OptionParser::AddSettings(Table, settings, values.parsed);
    if (!values.parsed.operands.empty())
    {
        values.image = values.parsed.operands[0];
    }
    else
    {
        values.imageFromSettings = settings.Find(ImageSetting, values.image);
    }
}

std::string ReadDevice(const Values& values, StationSetup& setup)
{
    if (!values.Has(DeviceOption))
    {
        return Missing(&RowOf(DeviceOption), values.settingsFile, "845e:0001");
    }
    if (!ParseDeviceText(values.Value(DeviceOption), setup.device))
    {
        return Wrong(values, DeviceOption, "not VID:PID of 1 to 4 hexadecimal digits each");
    }
    return values.image.empty() ? Missing(nullptr, values.settingsFile, "widget.hex") : std::string();
}
}  // namespace

std::vector<std::string> SplitCommandLine(const wchar_t* commandLine)
{
    // Quotes, backslashes and blanks are ASCII, so the UTF-8 form splits alike.
    const std::string line = Utf8FromWide(commandLine);
    std::vector<std::string> arguments;
    size_t at = 0;
    // The program's name: quoted, or up to the first blank; no escapes.
    at = line.compare(0, 1, "\"") == 0 ? line.find('"', 1) : line.find_first_of(" \t");
    at = at == std::string::npos ? line.size() : at + 1;
    for (;;)
    {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string::npos)
        {
            return arguments;
        }
        std::string argument;
        bool quoted = false;
        for (;;)
        {
            const size_t end = std::min(line.find_first_not_of('\\', at), line.size());
            const size_t backslashes = end - at;
            at = end;
            if (at < line.size() && line[at] == '"')
            {
                // 2n backslashes and a quote: n backslashes, and the quote
                // opens or closes; 2n+1: n backslashes and a quote character.
                argument.append(backslashes / 2, '\\');
                const bool literal = backslashes % 2 == 1 || (quoted && line.compare(at + 1, 1, "\"") == 0);
                argument.append(literal ? 1 : 0, '"');
                quoted = quoted != !literal;
                at += literal && backslashes % 2 == 0 ? 2 : 1;
                continue;
            }
            argument.append(backslashes, '\\');
            if (at >= line.size() || (!quoted && (line[at] == ' ' || line[at] == '\t')))
            {
                break;
            }
            argument += line[at++];
        }
        arguments.push_back(std::move(argument));
    }
}

// A series of a shared ledger brings the family, the size and the serials.
std::string ReadLedger(const Values& values, StationSetup& setup)
{
    for (Option option : {FamilyOption, SizeOption, StartOption, CountOption, ScanOption, LogOption})
    {
        if (values.Has(option))
        {
            return Joined({RowOf(option).name, " is for a line of its own: the series \"", values.Value(SeriesOption),
                           "\" brings the family, the size and the serials from the ledger"});
        }
    }
    setup.ledger = values.Value(LedgerOption);
    setup.ledgerSeries = values.Value(SeriesOption);
    setup.station = values.Value(StationOption);
    return std::string();
}

std::string ReadSetup(const std::vector<std::string>& arguments, StationSetup& setup)
{
    Values values;
    std::string problem = OptionParser::ParseOptions(Table, arguments, values.parsed);
    setup.help = values.parsed.help;
    if (!problem.empty() || setup.help)
    {
        return problem;
    }
    // Without a log, the settings are KelvraStation.ini in the folder the station starts in.
    const bool logGiven = values.Has(LogOption);
    setup.settingsFile = logGiven ? SettingsFileOf(FullPath(values.Value(LogOption))) : FullPath("KelvraStation.ini");
    AddSettings(setup.settingsFile, values);
    const bool shared = values.Has(SeriesOption);
    if (!shared && !logGiven)
    {
        return "no log: give --log FILE, the line's CSV log; the rest of the set-up may be in the file of the same "
               "name with .ini beside it. Or --series NAME on a shared ledger";
    }
    if (!shared && (values.Has(LedgerOption) || values.Has(StationOption)))
    {
        return "--ledger and --station go with --series NAME";
    }
    setup.log = shared ? std::string() : FullPath(values.Value(LogOption));
    problem = shared ? ReadLedger(values, setup) : ReadFamily(values, setup);
    if (problem.empty())
    {
        problem = ReadDevice(values, setup);
    }
    if (!problem.empty())
    {
        return problem;
    }
    setup.image = Located(values, setup);
    return shared ? std::string() : ReadSerials(values, setup);
}

std::string StationHelp()
{
    return OptionParser::HelpText(Table);
}

std::string ReadImage(const StationSetup& setup, std::vector<BYTE>& image)
{
    const std::vector<wchar_t> path = ExtendedLengthPath(WideFromUtf8(setup.image).data());
    HANDLE file =
        CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        return Joined({"the image ", setup.image, WhyNotOpened(path.data(), GetLastError())});
    }
    // Before a shared ledger gives the size, the file is only looked at.
    const UINT size = std::max<UINT>(setup.size, 1);
    std::vector<BYTE> bytes(size, 0);
    const ImageRead read = ::ReadImage(file, bytes.data(), size);
    CloseHandle(file);
    switch (read)
    {
    case ImageRead::Read:
        image.swap(bytes);
        return std::string();
    case ImageRead::NotRegular:
        return Joined({"the image ", setup.image, " is not a file"});
    case ImageRead::ReadFailed:
        return Joined({"the image ", setup.image, " cannot be read"});
    case ImageRead::Empty:
        break;
    }
    return Joined({"the image ", setup.image, " is empty: give the image's bytes"});
}

std::string DescribeSetup(const StationSetup& setup)
{
    char device[18];
    FormatDeviceName(setup.device, device);
    if (!setup.ledgerSeries.empty())
    {
        return Joined({"units ", device, ", ", setup.image.substr(NameStart(setup.image)), ", series ",
                       setup.ledgerSeries, " on the ledger at ",
                       LedgerPlace(setup.ledger.empty() ? LedgerFromEnvironment() : setup.ledger), " as station ",
                       setup.station.empty() ? ComputerName() : setup.station});
    }
    std::string serials;
    if (setup.scan)
    {
        serials = "serials scanned from each unit";
    }
    else
    {
        const bool numbered = !setup.series;
        const SerialSeries::Form form = numbered ? SerialSeries::Form{"", 1, 1} : *setup.series;
        serials = Joined({numbered ? "unit numbers from " : "serials from ", SerialSeries::SerialOf(form, form.number),
                          setup.count ? " to " : " on",
                          setup.count ? SerialSeries::SerialOf(form, form.number + *setup.count - 1) : ""});
    }
    return Joined({TraitsOf(setup.family).name, " units ", device, ", ", std::to_string(setup.size), " bytes of ",
                   setup.image.substr(NameStart(setup.image)), ", ", serials});
}
