#include "StationSetup.h"

#include <algorithm>

#include "DatabaseLedger.h"
#include "ImageFile.h"
#include "LedgerConnection.h"
#include "Joined.h"
#include "WideText.h"

namespace
{
enum Key
{
    Image,
    Family,
    Size,
    Device,
    Log,
    Start,
    Count,
    Scan,
    LedgerKey,
    SeriesKey,
    StationKey,
    KeyCount,
};

struct Option
{
    const char* name;     // on the command line; none for the image, which is the one plain argument
    const char* setting;  // in the settings file; none for the log, which leads to the file
    bool takesValue;
};

const Option Options[KeyCount] = {
    {nullptr, "IMAGE", true},     {"--family", "FAMILY", true},   {"--size", "SIZE", true},
    {"--device", "DEVICE", true}, {"--log", nullptr, true},       {"--start", "START", true},
    {"--count", "COUNT", true},   {"--scan", "SCAN", false},      {"--ledger", "LEDGER", true},
    {"--series", "SERIES", true}, {"--station", "STATION", true},
};

const wchar_t* const SettingsSection = L"STATION";

struct Values
{
    std::string value[KeyCount];
    unsigned given = 0;         // a bit per key
    unsigned fromSettings = 0;  // a bit per key

    bool Has(Key key) const { return (given >> key & 1) != 0; }
    void Set(Key key, const std::string& text, bool inSettings)
    {
        value[key] = text;
        given |= 1u << key;
        fromSettings |= (inSettings ? 1u : 0u) << key;
    }
};

// --name or --name=value: the option's key, or KeyCount.
Key KeyOf(const std::string& argument)
{
    const std::string name = argument.substr(0, argument.find('='));
    for (int key = 0; key < KeyCount; ++key)
    {
        if (Options[key].name != nullptr && name == Options[key].name)
        {
            return static_cast<Key>(key);
        }
    }
    return KeyCount;
}

std::string ParseArguments(const std::vector<std::string>& arguments, Values& values)
{
    bool optionsEnded = false;
    for (size_t index = 0; index < arguments.size(); ++index)
    {
        const std::string& argument = arguments[index];
        const bool option = !optionsEnded && !argument.empty() && argument[0] == '-';
        if (option && argument == "--")
        {
            optionsEnded = true;
            continue;
        }
        const Key key = option ? KeyOf(argument) : Image;
        const size_t equals = option ? argument.find('=') : std::string::npos;
        const char* const name = Options[key].name;
        // A value that looks like an option is far more likely a forgotten value.
        const bool valueFollows = index + 1 < arguments.size() && arguments[index + 1].compare(0, 1, "-") != 0;
        const char* const problem = key == KeyCount   ? "is not an option"
                                    : values.Has(key) ? (option ? "is given twice" : "is a second image: give one")
                                    : !option         ? nullptr
                                    : !Options[key].takesValue && equals != std::string::npos ? "takes no value"
                                    : Options[key].takesValue && equals == std::string::npos && !valueFollows
                                        ? "needs a value (write it --option=VALUE if it starts with '-')"
                                        : nullptr;
        if (problem != nullptr)
        {
            return Joined({name != nullptr && key != KeyCount ? name : argument.c_str(), " ", problem});
        }
        const bool separate = option && Options[key].takesValue && equals == std::string::npos;
        values.Set(key,
                   !option                    ? argument
                   : !Options[key].takesValue ? std::string("1")
                   : separate                 ? arguments[++index]
                                              : argument.substr(equals + 1),
                   false);
    }
    return std::string();
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

void ReadSettings(const std::string& file, Values& values)
{
    const std::vector<wchar_t> wideFile = WideFromUtf8(file);
    for (int key = 0; key < KeyCount; ++key)
    {
        if (Options[key].setting == nullptr || values.Has(static_cast<Key>(key)))
        {
            continue;
        }
        const std::vector<wchar_t> name = WideFromUtf8(Options[key].setting);
        wchar_t text[1024];
        // A value absent from the file reads as the default, which no file holds
        // (Windows strips blanks from the end of a default, so it is none).
        GetPrivateProfileStringW(SettingsSection, name.data(), L"\x01", text, 1024, wideFile.data());
        if (text[0] != L'\x01')
        {
            values.Set(static_cast<Key>(key), Utf8FromWide(text), true);
        }
    }
}

// What is wrong with a value, saying where it came from.
std::string Wrong(const Values& values, Key key, const std::string& settingsFile, const char* what)
{
    const bool inSettings = (values.fromSettings >> key & 1) != 0;
    return Joined({inSettings ? Options[key].setting : Options[key].name, inSettings ? "= in " : "",
                   inSettings ? settingsFile.c_str() : "", " is \"", values.value[key], "\", ", what});
}

std::string Missing(Key key, const std::string& settingsFile, const char* example)
{
    return Joined({"no ", key == Image ? "image" : Options[key].name + 2, ": give ",
                   key == Image ? "the image file" : Options[key].name, " on the command line, or ",
                   Options[key].setting, "=", example, " in ", settingsFile});
}

std::string ReadFamily(const Values& values, const std::string& settingsFile, StationSetup& setup)
{
    if (!values.Has(Family))
    {
        return Missing(Family, settingsFile, "A");
    }
    const std::string& family = values.value[Family];
    if (family.size() != 1 || !ChipFamilyFromIndex(family[0] - 'A', setup.family))
    {
        return Wrong(values, Family, settingsFile, "not A, B or C");
    }
    UINT size = VtcEepromSizes[0];
    if (values.Has(Size))
    {
        size = 0;
        for (UINT choice : VtcEepromSizes)
        {
            size = values.value[Size] == std::to_string(choice) ? choice : size;
        }
        if (setup.family != ChipFamily::C || size == 0)
        {
            return Wrong(values, Size, settingsFile, "not a size: one is for VT-C only, and 256, 512, 1024 or 2048");
        }
    }
    setup.size = OperationSizeOf(setup.family, size);
    return std::string();
}

std::string ReadSerials(const Values& values, const std::string& settingsFile, StationSetup& setup)
{
    const std::string& scan = values.value[Scan];
    setup.scan = values.Has(Scan) && scan != "0";
    if (values.Has(Scan) && scan != "0" && scan != "1")
    {
        return Wrong(values, Scan, settingsFile, "not 1 or 0");
    }
    if (values.Has(Count))
    {
        const Result<std::uint64_t> count = SerialSeries::ParseCount(values.value[Count]);
        if (!count.IsOk())
        {
            return Wrong(values, Count, settingsFile, "not a whole number from 1 to 100000");
        }
        setup.count = count.Value();
    }
    if (setup.family != ChipFamily::A)
    {
        return setup.scan || values.Has(Start) ? "VT-B and VT-C units are numbered 1, 2, 3 and so on: a start "
                                                 "serial, or a scanned one, is for VT-A"
                                               : "";
    }
    if (setup.scan == values.Has(Start))
    {
        return Joined({"VT-A serials come from a series or from a scan of each unit: give --start or --scan (START= "
                       "or SCAN=1 in ",
                       settingsFile, "), not ", setup.scan ? "both" : "neither"});
    }
    if (setup.scan)
    {
        return setup.count ? "--count is for a series; scanned serials go on until Stop" : "";
    }
    const Result<SerialSeries::Form> start = SerialSeries::ParseStart(values.value[Start]);
    if (!start.IsOk())
    {
        return Wrong(values, Start, settingsFile, "not letters, '-' or '_' then digits, 13 characters at most");
    }
    setup.series = start.Value();
    if (setup.count && setup.series->number + *setup.count > SerialSeries::Limit(*setup.series))
    {
        return Wrong(values, Count, settingsFile, "more serials than the start's digits can number");
    }
    return std::string();
}

std::string Located(const Values& values, const StationSetup& setup)
{
    const std::string& image = values.value[Image];
    const bool relative = !(image.size() >= 2 && image[1] == ':') && image.find_first_of("\\/") != 0;
    if ((values.fromSettings >> Image & 1) != 0 && relative)
    {
        return FullPath(setup.settingsFile.substr(0, NameStart(setup.settingsFile)) + image);
    }
    return FullPath(image);
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
    for (Key key : {Family, Size, Start, Count, Scan, Log})
    {
        if (values.Has(key))
        {
            return Joined({Options[key].name, " is for a line of its own: the series \"", values.value[SeriesKey],
                           "\" brings the family, the size and the serials from the ledger"});
        }
    }
    setup.ledger = values.value[LedgerKey];
    setup.ledgerSeries = values.value[SeriesKey];
    setup.station = values.value[StationKey];
    return std::string();
}

std::string ReadSetup(const std::vector<std::string>& arguments, StationSetup& setup)
{
    Values values;
    std::string problem = ParseArguments(arguments, values);
    if (!problem.empty())
    {
        return problem;
    }
    // Without a log, the settings are KelvraStation.ini in the folder the station starts in.
    setup.settingsFile =
        values.value[Log].empty() ? FullPath("KelvraStation.ini") : SettingsFileOf(FullPath(values.value[Log]));
    ReadSettings(setup.settingsFile, values);
    const bool shared = values.Has(SeriesKey);
    if (!shared && values.value[Log].empty())
    {
        return "no log: give --log FILE, the line's CSV log; the rest of the set-up may be in the file of the same "
               "name with .ini beside it. Or --series NAME on a shared ledger";
    }
    if (!shared && (values.Has(LedgerKey) || values.Has(StationKey)))
    {
        return "--ledger and --station go with --series NAME";
    }
    setup.log = shared ? std::string() : FullPath(values.value[Log]);
    problem = shared ? ReadLedger(values, setup) : ReadFamily(values, setup.settingsFile, setup);
    if (problem.empty() && !values.Has(Device))
    {
        problem = Missing(Device, setup.settingsFile, "845e:0001");
    }
    if (problem.empty() && !ParseDeviceText(values.value[Device], setup.device))
    {
        problem = Wrong(values, Device, setup.settingsFile, "not VID:PID of 1 to 4 hexadecimal digits each");
    }
    if (problem.empty() && values.value[Image].empty())
    {
        problem = Missing(Image, setup.settingsFile, "widget.hex");
    }
    if (!problem.empty())
    {
        return problem;
    }
    setup.image = Located(values, setup);
    return shared ? std::string() : ReadSerials(values, setup.settingsFile, setup);
}

std::string ReadImage(const StationSetup& setup, std::vector<BYTE>& image)
{
    const std::vector<wchar_t> path = ExtendedLengthPath(WideFromUtf8(setup.image).data());
    HANDLE file =
        CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return Joined({"the image ", setup.image,
                       missing ? " does not exist" : " cannot be opened: is it a folder, or held by another program?"});
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
                   setup.image.substr(NameStart(setup.image)), ", ", serials, "; log ", setup.log});
}
