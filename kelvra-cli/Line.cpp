#include "Line.h"

#include "DatabaseLedger.h"
#include "LedgerConnection.h"
#include "DeviceChoice.h"
#include "Files.h"
#include "InputSerials.h"
#include "Interrupt.h"
#include "Joined.h"
#include "ProductionLine.h"
#include "Text.h"
#include "UnitWatcher.h"

namespace
{
// Of a line of the input, the characters a message quotes.
const size_t LongestQuote = 40;

// A line of the input as a message quotes it: escaped, and cut with its
// length said when it is long.
std::string QuotedInput(const std::string& line)
{
    const std::string quoted = Joined({"\"", Text::EscapedExcerpt(line, LongestQuote), "\""});
    return line.size() > LongestQuote ? Joined({quoted, " (", std::to_string(line.size()), " characters)"}) : quoted;
}

// The line's events as kelvra-cli prints them: one result per unit on
// stdout, prompts and reasons on stderr.
class ConsoleLineObserver final : public LineObserver
{
public:
    ConsoleLineObserver(const Options& options, Console& console)
        : m_options(options), m_console(console), m_bar(console),
          m_progressBar(console.ErrIsConsole() && !options.quiet)
    {
    }

    void Tell(const std::string& text)
    {
        if (!m_options.quiet)
        {
            m_console.Err(Joined({text, "\n"}));
        }
    }

    void Opened(bool newLog, const std::string& next) override
    {
        if (newLog)
        {
            Tell(Joined({"line: ", NewLogText(next, m_options.family)}));
        }
    }
    void WaitingForSerial() override { Tell("line: scan or type the next unit's serial"); }
    void Waiting(const std::string& unit) override
    {
        Tell(Joined(
            {"line: plug in the next unit (", m_options.family == ChipFamily::A ? "serial " : "unit ", unit, ")"}));
    }
    void Programming(const std::string&) override {}
    void Progress(bool writing, UINT wordsDone, UINT wordCount) override
    {
        if (m_progressBar)
        {
            m_bar.Show(writing ? "writing" : "reading", wordsDone, wordCount);
        }
    }
    void Passed(const UnitReport& report) override { Result("PASS", report); }
    void Failed(const UnitReport& report) override { Result("FAIL", report); }
    void Voided(const UnitReport& report) override { Result("VOID", report); }
    void AlreadyProgrammed(const std::string& unit) override
    {
        Say({"the unit attached holds ", unit, ", which passed in this log; it is not written again."});
    }
    void NotChecked(const UnitReport& report) override
    {
        Say({report.fault == UnitFault::None ? "the unit attached at the start is not written: "
                                             : "the attached unit could not be read, so it is not written: ",
             report.detail});
    }
    void SerialRefused(const std::string& serial, std::string_view why) override
    {
        Say({"serial ", QuotedInput(serial), " refused: it ", why, ". No unit was touched."});
    }
    void RemoveUnit() override { Tell("line: remove the unit"); }
    void SerialReplaced(const std::string& replaced, const std::string& serial) override
    {
        Say({"serial ", serial, " replaces ", replaced});
    }
    void SerialDropped(const std::string& dropped) override
    {
        Say({dropped, " is dropped too: scan this unit's label again."});
    }
    void Retrying(const std::string& unit) override
    {
        Say({"the unit attached holds ", unit, ", which failed in this log: it is tried again with it."});
    }

private:
    void Say(std::initializer_list<std::string_view> parts)
    {
        m_bar.Clear();
        m_console.Err(Joined({"kelvra-cli: ", Joined(parts), "\n"}));
    }

    void Result(const char* result, const UnitReport& report)
    {
        m_bar.Clear();
        m_console.Out(
            Joined({result, "  ", report.unit, "  ", report.device, report.fault == UnitFault::None ? "" : "  ",
                    ReasonOf(report.fault), report.firstDifference, "\n"}));
        if (report.fault != UnitFault::None)
        {
            Say({report.detail});
        }
    }

    const Options& m_options;
    Console& m_console;
    ProgressBar m_bar;
    bool m_progressBar;
};

// Runs of consecutive numbers as "a to b", joined by commas; supplied serials one by one.
std::string Ranges(const UnitNaming& naming, const std::vector<std::string>& units)
{
    std::string text;
    for (size_t first = 0; first < units.size();)
    {
        size_t last = first;
        while (naming.Counts() && last + 1 < units.size() &&
               naming.NumberOf(units[last + 1]) == naming.NumberOf(units[last]) + 1)
        {
            ++last;
        }
        text += Joined(
            {text.empty() ? "" : ", ", units[first], last != first ? " to " : "", last != first ? units[last] : ""});
        first = last + 1;
    }
    return text.empty() ? "none" : text;
}

void Summarise(const Options& options, Console& console, const ProductionLine& line)
{
    const LineTally& tally = line.Tally();
    console.Out(Joined({"line: ", std::to_string(tally.passed.size()), " passed, ", std::to_string(tally.failed.size()),
                        " failed; ", options.family == ChipFamily::A ? "serials" : "unit numbers",
                        " passed: ", Ranges(line.Naming(), tally.passed), "\n"}));
    if (!tally.failed.empty())
    {
        console.Out(Joined({"line: failed attempts: ", Ranges(line.Naming(), tally.failed), "\n"}));
    }
}

ExitStatus StatusOf(const LineOutcome& outcome, const LineTally& tally)
{
    switch (outcome.end)
    {
    case LineEnd::None:
    case LineEnd::Done:
        return tally.serialsRefused == 0 ? ExitStatus::Success : ExitStatus::Usage;
    case LineEnd::StoppedBetweenUnits:
    case LineEnd::StoppedAfterUnit:
        return ExitStatus::Interrupted;
    case LineEnd::SeriesExhausted:
    case LineEnd::ImageRefused:
        return ExitStatus::Usage;
    case LineEnd::LogRefused:
    case LineEnd::LogNotWritten:
        return ExitStatus::FileError;
    case LineEnd::NoLibrary:
        return ExitStatus::DriverLibrary;
    case LineEnd::LedgerRefused:
        return ExitStatus::LedgerRefused;
    case LineEnd::LedgerUnreachable:
        return ExitStatus::LedgerUnreachable;
    case LineEnd::LedgerLostBeforeUnit:
        return ExitStatus::LedgerLostBeforeUnit;
    case LineEnd::ResultNotLogged:
        return ExitStatus::ResultNotLogged;
    }
    return ExitStatus::Unexpected;
}

std::string MessageOf(const LineOutcome& outcome, const LineTally& tally)
{
    switch (outcome.end)
    {
    case LineEnd::StoppedBetweenUnits:
        return "the line was ended with Ctrl+C between units";
    case LineEnd::StoppedAfterUnit:
        return "the line was ended with Ctrl+C; the last unit was finished";
    case LineEnd::Done:
        return tally.serialsRefused == 0 ? "" : "a serial of the input was refused";
    default:
        return outcome.message;
    }
}

// A line on a series of the shared ledger: connected, its station name
// taken, and the series' family, size and first serial adopted.
Outcome ConnectShared(Options& options, std::optional<DatabaseLedger>& shared)
{
    DatabaseSetup database;
    database.connection = options.ledger.empty() ? LedgerFromEnvironment() : options.ledger;
    if (database.connection.empty())
    {
        return Failure(ExitStatus::Usage, "--series needs --ledger CONN, or the variable KELVRA_LEDGER");
    }
    database.password = PasswordFromEnvironment();
    database.series = options.series;
    database.station = options.station.empty() ? ComputerName() : options.station;
    database.failedGivenAgain = options.allowDuplicateSerials;
    options.station = database.station;
    const LineOutcome connected = shared.emplace(database).Connect();
    if (connected.end != LineEnd::None)
    {
        return Failure(StatusOf(connected, LineTally()), connected.message);
    }
    const SeriesDefinition& series = shared->Series();
    options.family = series.family;
    options.size = series.size;
    if (series.family == ChipFamily::A)
    {
        options.start = SerialSeries::SerialOf(series.form, series.form.number);
    }
    return {};
}

Outcome AdoptSeries(DatabaseLedger& shared, LineSetup& setup)
{
    setup.seriesLength = shared.Series().count;
    setup.ledger = &shared;
    const LineOutcome image = shared.CheckImage(setup.image, setup.imageName);
    return image.end == LineEnd::None ? Outcome() : Failure(StatusOf(image, LineTally()), image.message);
}

// The setup from the command line: the image, its units' identifiers and the serials.
Outcome Prepare(const Options& options, Console& console, LineSetup& setup)
{
    Outcome outcome = ReadImageFile(options.image, options.size, setup.image);
    DeviceIds ids{};
    if (outcome.Succeeded())
    {
        outcome = ChooseIdentifiers(options, console, ids);
    }
    setup.family = options.family;
    setup.size = options.size;
    setup.imageName = options.image;
    setup.device = KeyOf(ids);
    setup.logName = options.log;
    if (!options.start.empty())
    {
        setup.series = SerialSeries::ParseStart(options.start).Value();
    }
    setup.seriesLength = options.count;
    setup.stopAfter = options.stopAfter;
    setup.allowDuplicateSerials = options.allowDuplicateSerials;
    setup.program = "kelvra-cli.exe";
    setup.transfer = MarkedTransfer;
    setup.stopBetweenUnits = &InterruptRequested();
    setup.stopNow = &ConsoleClosing();
    return outcome;
}
}  // namespace

Outcome RunLine(const Options& given, Console& console, HidPlatform& platform)
{
    Options options = given;
    std::optional<DatabaseLedger> shared;
    Outcome outcome = options.series.empty() ? Outcome() : ConnectShared(options, shared);
    LineSetup setup;
    if (outcome.Succeeded())
    {
        outcome = Prepare(options, console, setup);
    }
    if (outcome.Succeeded() && shared)
    {
        outcome = AdoptSeries(*shared, setup);
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    const std::vector<wchar_t> logFile = WindowsName(options.log);
    setup.logFile = logFile.data();
    ConsoleLineObserver observer(options, console);
    ProductionLine line(setup, observer);
    LineOutcome ended = line.Open();
    if (ended.end == LineEnd::None)
    {
        UnitWatcher watcher(platform, setup.device, console);
        if (!watcher.Begin())
        {
            return Failure(ExitStatus::Unexpected, "cannot create the window that device notifications come to");
        }
        setup.window = watcher.Window();
        observer.Tell(Joined({"line: ", TraitsOf(options.family).name, " units ", DeviceName(setup.device),
                              shared ? ", series " : ", log ", shared ? options.series : options.log,
                              shared ? " as station " : "", shared ? options.station : "",
                              ". Ctrl+C ends the line between units."}));
        InputSerials serials(console);
        watcher.AlsoWakeFor(serials.WaitingEvent());
        ended = line.Run(watcher, &serials);
        if (!options.quiet)
        {
            Summarise(options, console, line);
        }
    }
    return Failure(StatusOf(ended, line.Tally()), MessageOf(ended, line.Tally()));
}
