#include "Line.h"

#include <cstdio>
#include <optional>

#include "ChipSession.h"
#include "Comparison.h"
#include "DeviceChoice.h"
#include "Family0Image.h"
#include "Files.h"
#include "Interrupt.h"
#include "LineLog.h"
#include "SerialSeries.h"
#include "UnitWatcher.h"

namespace
{
std::string Hex(size_t value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*x", digits, static_cast<unsigned>(value));
    return text;
}

// Ends the run rather than fails one unit: every later unit would fail too.
bool EndsTheRun(ExitStatus status)
{
    return status == ExitStatus::DriverLibrary || status == ExitStatus::FileError || status == ExitStatus::Unexpected;
}

std::string ShortReason(const Outcome& outcome, const std::string& firstDifference)
{
    switch (outcome.status)
    {
    case ExitStatus::VerifyDiffers:
        return "verify differs at " + firstDifference;
    case ExitStatus::TransferFailed:
        return "transfer failed";
    case ExitStatus::DeviceNotOpened:
        return "did not open";
    case ExitStatus::DeviceBusy:
        return "busy in another program";
    case ExitStatus::Interrupted:
        return "interrupted";
    case ExitStatus::DriverLibrary:
        return "no driver library";
    default:
        return "failed";
    }
}

class ProductionLine
{
public:
    ProductionLine(const Options& options, Console& console, HidPlatform& platform)
        : m_options(options), m_console(console), m_platform(platform)
    {
    }

    Outcome Run();

private:
    bool Serialised() const { return m_options.family == ChipFamily::A; }
    std::string UnitName(std::uint64_t number) const;
    std::optional<std::uint64_t> NumberOf(const std::string& unit) const;
    std::string Ranges(const std::vector<std::uint64_t>& numbers) const;
    Outcome Prepare();
    void Resume();
    Outcome ProgramUnit(std::uint64_t number, std::string& firstDifference);
    Outcome Record(std::uint64_t number, const Outcome& outcome, const std::string& firstDifference);
    void Tell(const std::string& text);
    void Summarise();

    const Options& m_options;
    Console& m_console;
    HidPlatform& m_platform;
    std::vector<BYTE> m_image;
    SerialSeries::Form m_form;
    DeviceKey m_device = 0;
    LineLog m_log;
    std::uint64_t m_next = 1;
    std::vector<std::uint64_t> m_passed;
    std::vector<std::uint64_t> m_failed;
};

std::string ProductionLine::UnitName(std::uint64_t number) const
{
    return Serialised() ? SerialSeries::SerialOf(m_form, number) : std::to_string(number);
}

std::optional<std::uint64_t> ProductionLine::NumberOf(const std::string& unit) const
{
    if (Serialised())
    {
        return SerialSeries::NumberOf(m_form, unit);
    }
    if (unit.empty() || unit.size() > 18 || unit.find_first_not_of("0123456789") != std::string::npos)
    {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    for (char digit : unit)
    {
        number = number * 10 + static_cast<std::uint64_t>(digit - '0');
    }
    return number;
}

// Runs of consecutive numbers as "a to b", joined by commas.
std::string ProductionLine::Ranges(const std::vector<std::uint64_t>& numbers) const
{
    std::string text;
    for (size_t first = 0; first < numbers.size();)
    {
        size_t last = first;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 1)
        {
            ++last;
        }
        text += (text.empty() ? "" : ", ") + UnitName(numbers[first]);
        if (last != first)
        {
            text += " to " + UnitName(numbers[last]);
        }
        first = last + 1;
    }
    return text.empty() ? "none" : text;
}

void ProductionLine::Tell(const std::string& text)
{
    if (!m_options.quiet)
    {
        m_console.Err(text + "\n");
    }
}

Outcome ProductionLine::Prepare()
{
    Outcome outcome = ReadImageFile(m_options.image, m_options.size, m_image);
    if (outcome.Succeeded() && Serialised())
    {
        if (!Family0Image::HasSignature(m_image.data()))
        {
            return Failure(ExitStatus::Usage, m_options.image + " carries no VT-A identity (header word " +
                                                  Hex(Family0Image::HeaderWord(m_image.data()), 4) +
                                                  "), so it has no serial number field to number units with.");
        }
        m_form = SerialSeries::ParseStart(m_options.start).Value();
    }
    DeviceIds ids{};
    if (outcome.Succeeded())
    {
        outcome = ChooseIdentifiers(m_options, m_console, ids);
    }
    m_device = KeyOf(ids);
    if (outcome.Succeeded())
    {
        outcome = m_log.Open(m_options.log, Serialised() ? "serial" : "unit");
    }
    return outcome;
}

// After the last unit that passed (with --skip-failed: the last one tried),
// and never before the start, so a serial that passed is never written again.
void ProductionLine::Resume()
{
    m_next = Serialised() ? m_form.number : 1;
    for (const LineRow& row : m_log.Rows())
    {
        const std::optional<std::uint64_t> number = NumberOf(row.unit);
        if (number && (row.result == "PASS" || m_options.skipFailed) && *number >= m_next)
        {
            m_next = *number + 1;
        }
    }
}

Outcome ProductionLine::ProgramUnit(std::uint64_t number, std::string& firstDifference)
{
    std::vector<BYTE> image = m_image;
    if (Serialised())
    {
        Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, UnitName(number));
    }
    ChipSession session(m_device, m_console, m_console.ErrIsConsole() && !m_options.quiet);
    session.FinishDespiteCtrlC();
    Outcome outcome = session.Begin();
    if (outcome.Succeeded())
    {
        outcome = session.Transfer(m_options.family, TransferDirection::BufferToEeprom, image.data(), m_options.size);
    }
    std::vector<BYTE> chip(m_options.size, 0);
    if (outcome.Succeeded())
    {
        outcome = session.Transfer(m_options.family, TransferDirection::EepromToBuffer, chip.data(), m_options.size);
    }
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    const Comparison comparison = Compare(image, chip);
    if (comparison.differing == 0)
    {
        return {};
    }
    firstDifference = Hex(comparison.firstOffset, 4);
    return Failure(ExitStatus::VerifyDiffers,
                   "the chip differs from the image in " + std::to_string(comparison.differing) + " of " +
                       std::to_string(m_options.size) + " bytes; the first at offset " + firstDifference +
                       ": the image has " + Hex(comparison.expected, 2) + ", the chip " + Hex(comparison.actual, 2));
}

Outcome ProductionLine::Record(std::uint64_t number, const Outcome& outcome, const std::string& firstDifference)
{
    const bool passed = outcome.Succeeded();
    const LineRow row = {LocalTimeIso8601(),       UnitName(number), DeviceName(m_device),
                         passed ? "PASS" : "FAIL", firstDifference,  outcome.message};
    const Outcome logged = m_log.Append(row);
    if (!logged.Succeeded())
    {
        return Failure(ExitStatus::FileError,
                       logged.message + ". Unit " + UnitName(number) + (passed ? " passed" : " failed") +
                           " but is not logged; count " + UnitName(number) +
                           " as used and give it to no other unit. Mend the log, then start again.");
    }
    std::string line = std::string(passed ? "PASS" : "FAIL") + "  " + UnitName(number) + "  " + row.device;
    if (!passed)
    {
        line += "  " + ShortReason(outcome, firstDifference);
    }
    m_console.Out(line + "\n");
    if (!passed)
    {
        m_console.Err("kelvra-cli: " + outcome.message + "\n");
    }
    (passed ? m_passed : m_failed).push_back(number);
    return {};
}

void ProductionLine::Summarise()
{
    m_console.Out("line: " + std::to_string(m_passed.size()) + " passed, " + std::to_string(m_failed.size()) +
                  " failed; " + (Serialised() ? "serials" : "unit numbers") + " passed: " + Ranges(m_passed) + "\n");
    if (!m_failed.empty())
    {
        m_console.Out(std::string("line: failed attempts: ") + Ranges(m_failed) +
                      (m_options.skipFailed ? " (not used again)" : "") + "\n");
    }
}

Outcome ProductionLine::Run()
{
    Outcome outcome = Prepare();
    if (!outcome.Succeeded())
    {
        return outcome;
    }
    Resume();
    UnitWatcher watcher(m_platform, m_device, m_console);
    if (!watcher.Begin())
    {
        return Failure(ExitStatus::Unexpected, "cannot create the window that device notifications come to");
    }
    Tell("line: " + std::string(TraitsOf(m_options.family).name) + " units " + DeviceName(m_device) + ", log " +
         m_options.log + ". Ctrl+C ends the line between units.");
    outcome = {};
    while (!m_options.count || m_passed.size() < *m_options.count)
    {
        if (Serialised() && m_next >= SerialSeries::Limit(m_form))
        {
            outcome = Failure(ExitStatus::Usage, "the series has no serial after " + UnitName(m_next - 1) +
                                                     ": start a new one with more digits");
            break;
        }
        Tell("line: plug in the next unit (" + std::string(Serialised() ? "serial " : "unit ") + UnitName(m_next) +
             ")");
        if (!watcher.WaitForArrival())
        {
            outcome = Failure(ExitStatus::Interrupted, "the line was ended with Ctrl+C between units");
            break;
        }
        std::string firstDifference;
        const Outcome unit = ProgramUnit(m_next, firstDifference);
        outcome = Record(m_next, unit, firstDifference);
        if (!outcome.Succeeded())
        {
            break;
        }
        if (unit.Succeeded() || m_options.skipFailed)
        {
            ++m_next;
        }
        if (EndsTheRun(unit.status) || ConsoleClosing())
        {
            outcome = unit;
            break;
        }
        if (InterruptRequested())
        {
            outcome = Failure(ExitStatus::Interrupted, "the line was ended with Ctrl+C; the last unit was finished");
            break;
        }
        if (m_options.count && m_passed.size() >= *m_options.count)
        {
            break;
        }
        Tell("line: remove the unit");
        if (!watcher.WaitForRemoval())
        {
            outcome = Failure(ExitStatus::Interrupted, "the line was ended with Ctrl+C between units");
            break;
        }
    }
    Summarise();
    return outcome;
}
}  // namespace

Outcome RunLine(const Options& options, Console& console, HidPlatform& platform)
{
    return ProductionLine(options, console, platform).Run();
}
