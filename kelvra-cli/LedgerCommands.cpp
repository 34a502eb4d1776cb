#include "LedgerCommands.h"

#include <cstdlib>

#include "ChipFamily.h"
#include "CliCommands.h"
#include "ExitStatus.h"
#include "Files.h"
#include "ImageHash.h"
#include "Joined.h"
#include "Json.h"
#include "LedgerBook.h"
#include "LedgerConnection.h"
#include "LineLog.h"
#include "OptionParser.h"
#include "WideText.h"

namespace
{
using OptionParser::CommandBit;
using OptionParser::CommandRow;
using OptionParser::OptionRow;

enum Action : int
{
    Init,
    AddSeries,
    Status,
    Export,
    Void,
    Import,
};

enum OptionId : int
{
    LedgerOption,
    FamilyOption,
    SizeOption,
    StartOption,
    CountOption,
    OutputOption,
    ForceOption,
    StationOption,
    SeriesOption,
    JsonOption,
    HelpOption,
};

const CommandRow Actions[] = {
    {Init, "init", "", "creates the ledger's tables, or upgrades those of an older kelvra-cli; run it again safely"},
    {AddSeries, "add-series", "NAME IMAGE",
     "defines the series NAME once, for every station: IMAGE's family, size and SHA-256, and its serials (VT-A: "
     "--start and --count; VT-B, VT-C: units 1 to --count)"},
    {Status, "status", "NAME",
     "the series' serials that passed, failed, are void or reserved without a result, per station and in all; the "
     "serials left; each station's last event"},
    {Export, "export", "NAME", "the series' events into FILE, as a line's CSV log with a station column"},
    {Void, "void", "NAME",
     "makes void the open reservations of a station that will not come back (--station); refused while it runs"},
    {Import, "import", "LOG",
     "brings a line's CSV log into the series (--series), so a line moving to the ledger never reuses a serial"},
};

constexpr unsigned Every = CommandBit(Init) | CommandBit(AddSeries) | CommandBit(Status) | CommandBit(Export) |
                           CommandBit(Void) | CommandBit(Import);

const OptionRow Options[] = {
    {LedgerOption, "--ledger", nullptr, "CONN",
     "the ODBC connection string, e.g. DSN=kelvra-line (default: the variable KELVRA_LEDGER); the password comes "
     "from the DSN or KELVRA_LEDGER_PASSWORD",
     Every, 0},
    {FamilyOption, "--family", nullptr, "A|B|C", "add-series: the chip family", CommandBit(AddSeries),
     CommandBit(AddSeries)},
    {SizeOption, "--size", nullptr, "BYTES", "add-series, VT-C: 256, 512, 1024 or 2048 (default 256)",
     CommandBit(AddSeries), 0},
    {StartOption, "--start", nullptr, "SERIAL", "add-series, VT-A: the first serial, e.g. KV-000100",
     CommandBit(AddSeries), 0},
    {CountOption, "--count", nullptr, "N", "add-series: how many units the series holds", CommandBit(AddSeries),
     CommandBit(AddSeries)},
    {OutputOption, "-o", "--output", "FILE", "export: the CSV file to write", CommandBit(Export), CommandBit(Export)},
    {ForceOption, "--force", nullptr, nullptr, "export: replace FILE if it exists", CommandBit(Export), 0},
    {StationOption, "--station", nullptr, "NAME",
     "void: the station; import: the station the log's rows are "
     "given to (default: imported)",
     CommandBit(Void) | CommandBit(Import), CommandBit(Void)},
    {SeriesOption, "--series", nullptr, "NAME", "import: the series the log belongs to", CommandBit(Import),
     CommandBit(Import)},
    {JsonOption, "--json", nullptr, nullptr, "status: one JSON object on stdout", CommandBit(Status), 0},
    {HelpOption, "--help", "-h", nullptr, "this text", Every, 0},
};

const OptionParser::Table Table =
    OptionParser::MakeTable("kelvra-cli ledger",
                            "kelvra-cli ledger: the production line's ledger in a PostgreSQL database that many\n"
                            "stations share (kelvra-cli line --series NAME, KelvraStation.exe --series NAME).\n",
                            "\n"
                            "Exit status: 0 done; 2 usage error; 8 file error (an image or log that cannot be\n"
                            "read, an output that exists); 11 the ledger refuses (no such series, another\n"
                            "definition, a station that runs, a serial taken); 12 the ledger cannot be reached.\n",
                            Actions, Options, HelpOption);

struct Request
{
    int action = -1;
    std::vector<std::string> operands;
    std::string connection;
    std::string password;
    const OptionParser::Parsed* parsed = nullptr;

    std::string Value(int option) const
    {
        const std::string* value = parsed->ValueOf(option);
        return value != nullptr ? *value : std::string();
    }
};

Outcome Usage(const std::string& message)
{
    return Failure(ExitStatus::Usage, message);
}

Outcome OutcomeOf(const BookOutcome& book, ExitStatus badInput = ExitStatus::Usage)
{
    switch (book.end)
    {
    case BookEnd::None:
        return {};
    case BookEnd::Unreachable:
        return Failure(ExitStatus::LedgerUnreachable, book.message);
    case BookEnd::Refused:
        return Failure(ExitStatus::LedgerRefused, book.message);
    case BookEnd::BadInput:
        break;
    }
    return Failure(badInput, book.message);
}

// A count from 1 to a trillion: a ledger's series may outgrow a log's.
bool ParseUnits(const std::string& text, std::uint64_t& count)
{
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
    {
        return false;
    }
    count = std::strtoull(text.c_str(), nullptr, 10);
    return count > 0;
}

Outcome SeriesSize(const Request& request, SeriesDefinition& series)
{
    const std::string size = request.Value(SizeOption);
    const ChipFamilyTraits& traits = TraitsOf(series.family);
    if (traits.fixedOperationSize != 0)
    {
        series.size = traits.fixedOperationSize;
        return size.empty() ? Outcome() : Usage("--size applies to VT-C");
    }
    series.size = size.empty() ? VtcEepromSizes[0] : static_cast<UINT>(std::strtoul(size.c_str(), nullptr, 10));
    for (UINT32 choice : VtcEepromSizes)
    {
        if (choice == series.size && (size.empty() || size == std::to_string(choice)))
        {
            return {};
        }
    }
    return Usage("--size " + size + " is not a VT-C EEPROM size: give 256, 512, 1024 or 2048");
}

Outcome SeriesSerials(const Request& request, SeriesDefinition& series)
{
    if (!ParseUnits(request.Value(CountOption), series.count))
    {
        return Usage("--count takes a number of units from 1, e.g. --count 300");
    }
    const std::string start = request.Value(StartOption);
    if (series.family != ChipFamily::A)
    {
        series.form = {"", 1, 0};
        return start.empty() ? Outcome() : Usage("--start applies to VT-A; VT-B and VT-C units are numbered from 1");
    }
    const Result<SerialSeries::Form> form = SerialSeries::ParseStart(start);
    if (start.empty() || !form.IsOk())
    {
        return Usage(start.empty() ? "add-series --family A needs --start SERIAL" : "--start: " + form.Error());
    }
    series.form = form.Value();
    if (series.count > SerialSeries::Limit(series.form) - series.form.number)
    {
        return Usage(Joined({"--count ", std::to_string(series.count), " from ", start,
                             " needs more digits than the start has: start with more digits"}));
    }
    return {};
}

Outcome AddSeriesCommand(const Request& request, LedgerBook& book, Console& console)
{
    SeriesDefinition series;
    series.name = request.operands[0];
    const std::string problem = NameProblem(series.name);
    if (!problem.empty())
    {
        return Usage(Joined({"the series' name ", problem}));
    }
    if (!ParseFamily(request.Value(FamilyOption), series.family))
    {
        return Usage("unknown chip family \"" + request.Value(FamilyOption) + "\": give --family A, B or C");
    }
    Outcome outcome = SeriesSize(request, series);
    if (outcome.Succeeded())
    {
        outcome = SeriesSerials(request, series);
    }
    std::vector<BYTE> image;
    if (outcome.Succeeded())
    {
        outcome = ReadImageFile(request.operands[1], series.size, image);
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    series.imageSha256 = Sha256Hex(image);
    outcome = OutcomeOf(book.Connect(true));
    bool same = false;
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.DefineSeries(series, same));
    }
    if (outcome.Succeeded())
    {
        console.Out(Joined({"ledger: series \"", series.name, "\" ", same ? "is defined so already" : "defined", ": ",
                            TraitsOf(series.family).name, ", ", std::to_string(series.count), " units, image SHA-256 ",
                            series.imageSha256, "\n"}));
    }
    return outcome;
}

std::string Range(const SeriesDefinition& series)
{
    if (series.family != ChipFamily::A)
    {
        return Joined({"units 1 to ", std::to_string(series.count)});
    }
    return Joined({SerialSeries::SerialOf(series.form, series.form.number), " to ",
                   SerialSeries::SerialOf(series.form, series.form.number + series.count - 1)});
}

std::string Cell(std::uint64_t value, size_t width)
{
    std::string text = std::to_string(value);
    return std::string(text.size() < width ? width - text.size() : 0, ' ') + text;
}

std::string StatusLine(const SerialCounts& counts)
{
    std::string name = counts.station;
    name.resize(std::max<size_t>(name.size(), 16), ' ');
    return Joined({name, Cell(counts.passed, 8), Cell(counts.failed, 8), Cell(counts.voided, 8), Cell(counts.open, 8),
                   counts.lastResult.empty() ? "" : "   ", counts.lastSerial, counts.lastResult.empty() ? "" : " ",
                   counts.lastResult, counts.lastResult.empty() ? "" : " ", counts.lastTime, "\n"});
}

std::string CountFields(const SerialCounts& counts)
{
    return JsonField("passed", std::to_string(counts.passed)) + JsonField("failed", std::to_string(counts.failed)) +
           JsonField("void", std::to_string(counts.voided)) + JsonField("open", std::to_string(counts.open));
}

std::string StatusJson(const SeriesStatus& status)
{
    std::string stations;
    for (const SerialCounts& counts : status.stations)
    {
        const std::string last =
            JsonObject(JsonField("serial", JsonText(counts.lastSerial)) +
                       JsonField("result", JsonText(counts.lastResult)) + JsonField("time", JsonText(counts.lastTime)));
        stations += Joined({stations.empty() ? "" : ",", JsonObject(JsonField("station", JsonText(counts.station)) +
                                                                    CountFields(counts) + JsonField("last", last))});
    }
    const SeriesDefinition& series = status.series;
    return JsonField("series", JsonText(series.name)) + JsonField("family", JsonText(TraitsOf(series.family).name)) +
           JsonField("serials", std::to_string(series.count)) +
           JsonField("image_sha256", JsonText(series.imageSha256)) + CountFields(status.all) +
           JsonField("given", std::to_string(status.all.Given())) + JsonField("left", std::to_string(status.left)) +
           JsonField("stations", "[" + stations + "]");
}

Outcome StatusCommand(const Request& request, LedgerBook& book, Console& console, std::string& json)
{
    SeriesStatus status;
    Outcome outcome = OutcomeOf(book.Connect(true));
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.Status(request.operands[0], status));
    }
    if (!outcome.Succeeded() || request.parsed->Has(JsonOption))
    {
        json = outcome.Succeeded() ? StatusJson(status) : std::string();
        return outcome;
    }
    const SeriesDefinition& series = status.series;
    std::string text = Joined({"series \"", series.name, "\": ", TraitsOf(series.family).name, ", ", Range(series),
                               " (", std::to_string(series.count), "), image SHA-256 ", series.imageSha256, "\n",
                               "station             PASS    FAIL    VOID    open   last event\n"});
    for (const SerialCounts& counts : status.stations)
    {
        text += StatusLine(counts);
    }
    text += StatusLine(status.all);
    text += Joined({"given: ", std::to_string(status.all.Given()), ", left: ", std::to_string(status.left), "\n"});
    console.Out(text);
    return outcome;
}

Outcome ExportCommand(const Request& request, LedgerBook& book, Console& console)
{
    const std::string output = request.Value(OutputOption);
    const bool force = request.parsed->Has(ForceOption);
    Outcome outcome =
        output.empty() ? Usage("-o \"\" names no file: give the CSV file to write") : CheckOutputFile(output, force);
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.Connect(true));
    }
    SeriesDefinition series;
    std::vector<LedgerEvent> events;
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.Export(request.operands[0], series, events));
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    std::string text = LineLogHeader(series.family) + ",station\r\n";
    for (const LedgerEvent& event : events)
    {
        text += Joined({CsvField(event.time), ",", CsvField(event.serial), ",", CsvField(event.device), ",",
                        event.result, ",", CsvField(event.firstDifference), ",", CsvField(event.detail), ",",
                        CsvField(event.station), "\r\n"});
    }
    outcome = WriteOutputFile(output, std::vector<BYTE>(text.begin(), text.end()), force);
    if (outcome.Succeeded())
    {
        console.Out(
            Joined({"ledger: ", std::to_string(events.size()), " events of \"", series.name, "\" in ", output, "\n"}));
    }
    return outcome;
}

Outcome VoidCommand(const Request& request, LedgerBook& book, Console& console)
{
    const std::string station = request.Value(StationOption);
    Outcome outcome = OutcomeOf(book.Connect(true));
    std::vector<std::string> voided;
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.VoidStation(request.operands[0], station, voided));
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    std::string text;
    for (const std::string& serial : voided)
    {
        text += Joined({"VOID  ", serial, "  ", station, "  station voided\n"});
    }
    console.Out(text + Joined({"ledger: ", std::to_string(voided.size()), " open reservations of station \"", station,
                               "\" made void; no unit gets them again\n"}));
    return outcome;
}

Outcome ImportCommand(const Request& request, LedgerBook& book, Console& console)
{
    const std::string& logName = request.operands[0];
    const std::vector<wchar_t> logFile = WindowsName(logName);
    if (GetFileAttributesW(logFile.data()) == INVALID_FILE_ATTRIBUTES)
    {
        return Failure(ExitStatus::FileError, Joined({"the log ", logName, " cannot be found: give a line's CSV log"}));
    }
    Outcome outcome = OutcomeOf(book.Connect(true));
    SeriesDefinition series;
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.FindSeries(request.Value(SeriesOption), series));
    }
    LineLog log;
    const std::string refused = outcome.Succeeded() ? log.Open(logFile.data(), logName, series.family) : "";
    if (!refused.empty())
    {
        return Failure(ExitStatus::FileError, refused);
    }
    const std::string station = request.parsed->Has(StationOption) ? request.Value(StationOption) : "imported";
    std::string done;
    if (outcome.Succeeded())
    {
        outcome = OutcomeOf(book.Import(series.name, log.Rows(), station, done), ExitStatus::FileError);
    }
    if (outcome.Succeeded())
    {
        console.Out(Joined(
            {"ledger: ", done, " from ", logName, " into \"", series.name, "\" as station \"", station, "\"\n"}));
    }
    return outcome;
}

Outcome Perform(const Request& request, Console& console, std::string& json)
{
    if (request.connection.empty())
    {
        return Usage("give the ledger with --ledger CONN, or the variable KELVRA_LEDGER");
    }
    for (int option : {StationOption, SeriesOption})
    {
        const std::string problem = request.parsed->Has(option) ? NameProblem(request.Value(option)) : "";
        if (!problem.empty())
        {
            return Usage(Joined({option == StationOption ? "--station " : "--series ", problem}));
        }
    }
    LedgerBook book(request.connection, request.password);
    switch (request.action)
    {
    case Init:
    {
        std::string done;
        Outcome outcome = OutcomeOf(book.Connect(false));
        if (outcome.Succeeded())
        {
            outcome = OutcomeOf(book.Init(done));
        }
        if (outcome.Succeeded())
        {
            console.Out("ledger: " + done + "\n");
        }
        return outcome;
    }
    case AddSeries:
        return AddSeriesCommand(request, book, console);
    case Status:
        return StatusCommand(request, book, console, json);
    case Export:
        return ExportCommand(request, book, console);
    case Void:
        return VoidCommand(request, book, console);
    default:
        return ImportCommand(request, book, console);
    }
}
}  // namespace

int RunLedgerCommand(const std::vector<std::string>& arguments, Console& console)
{
    OptionParser::Parsed parsed;
    const std::string refusal = OptionParser::Parse(Table, arguments, parsed);
    if (parsed.help)
    {
        console.Out(OptionParser::HelpText(Table));
        return 0;
    }
    Request request;
    request.action = parsed.command;
    request.operands = parsed.operands;
    request.parsed = &parsed;
    request.connection = parsed.Has(LedgerOption) ? request.Value(LedgerOption) : LedgerFromEnvironment();
    request.password = PasswordFromEnvironment();
    std::string json;
    const Outcome outcome =
        refusal.empty() ? Perform(request, console, json) : Usage(refusal + " (see kelvra-cli ledger --help)");
    const bool asJson = refusal.empty() && parsed.Has(JsonOption);
    if (!outcome.Succeeded() && !asJson)
    {
        console.Err("kelvra-cli: " + outcome.message + "\n");
    }
    if (asJson)
    {
        AnswerInJson(json, outcome, console);
    }
    return static_cast<int>(outcome.status);
}
