#include "ProductionLine.h"

#include <cstdio>

#include "Comparison.h"
#include "Family0Image.h"
#include "HidEnumeration.h"
#include "Joined.h"

namespace
{
// A unit's firmware may refuse an open just after the unit arrives. A refused
// open is tried again every OpenRetryPause until OpenRetryWindow has passed
// since the first try (about 50 tries); then the unit fails with "did not open".
const DWORD OpenRetryPause = 20;
const DWORD OpenRetryWindow = 1000;

const char* const InterruptedReason = "interrupted";

std::string Hex(size_t value, int digits)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*x", digits, static_cast<unsigned>(value));
    return text;
}

std::string DeviceNameOf(DWORD device)
{
    char name[18];
    FormatDeviceName(device, name);
    return name;
}

bool IsSet(const std::atomic<bool>* flag)
{
    return flag != nullptr && flag->load();
}

UnitNaming NamingOf(const LineSetup& setup)
{
    if (setup.family != ChipFamily::A)
    {
        return UnitNaming::Numbers();
    }
    return setup.series ? UnitNaming::Series(*setup.series) : UnitNaming::Supplied();
}

UnitFault FaultOf(TransferStatus status)
{
    switch (status)
    {
    case TransferStatus::Done:
        return UnitFault::None;
    case TransferStatus::LibraryMissing:
    case TransferStatus::ExportMissing:
        return UnitFault::NoLibrary;
    case TransferStatus::OpenFailed:
        return UnitFault::DidNotOpen;
    case TransferStatus::Interrupted:
        return UnitFault::Interrupted;
    case TransferStatus::WordFailed:
    case TransferStatus::BurnFailed:
        break;
    }
    return UnitFault::TransferFailed;
}

const char* ReasonOf(UnitFault fault)
{
    switch (fault)
    {
    case UnitFault::None:
    case UnitFault::VerifyDiffers:
        break;
    case UnitFault::DidNotOpen:
        return "did not open";
    case UnitFault::TransferFailed:
        return "transfer failed";
    case UnitFault::Busy:
        return "busy in another program";
    case UnitFault::Interrupted:
        return InterruptedReason;
    case UnitFault::NoLibrary:
        return "no driver library";
    }
    return "";
}
}  // namespace

TransferOutcome LibraryTransfer(const TransferRequest& request, const TransferHooks& hooks)
{
    HMODULE library = nullptr;
    return TransferThroughLibrary(request, library, hooks);
}

ProductionLine::ProductionLine(const LineSetup& setup, LineObserver& observer)
    : m_setup(setup), m_observer(observer), m_deviceName(DeviceNameOf(setup.device)), m_naming(NamingOf(setup)),
      m_ledger(m_naming, setup.skipFailed)
{
}

bool ProductionLine::Open(LineOutcome& outcome)
{
    if (Serialised() && !Family0Image::HasSignature(m_setup.image.data()))
    {
        outcome = {LineEnd::ImageRefused, Joined({m_setup.imageName, " carries no VT-A identity (header word ",
                                                  Hex(Family0Image::HeaderWord(m_setup.image.data()), 4),
                                                  "), so it has no serial number field to number units with."})};
        return false;
    }
    const TransferOutcome probe = ProbeLibrary(m_setup.family);
    if (probe.status != TransferStatus::Done)
    {
        outcome = {LineEnd::NoLibrary, TransferEndText(probe, m_setup.family, TransferDirection::BufferToEeprom,
                                                       m_deviceName, m_setup.size, m_setup.program)};
        return false;
    }
    std::string problem;
    if (!m_log.Open(m_setup.logFile, m_setup.logName, m_setup.family, problem))
    {
        outcome = {LineEnd::LogRefused, problem};
        return false;
    }
    if (!m_ledger.Account(m_log.Rows(), problem))
    {
        outcome = {LineEnd::LogRefused,
                   Joined({"the log ", m_setup.logName, " is refused: ", problem,
                           ". A serial the line cannot account for could go to a second unit, so nothing was written "
                           "and the log was left as it is: mend that row, ",
                           m_setup.series ? "start from another serial, " : "", "or use another log."})};
        return false;
    }
    return VoidUnresolved(outcome);
}

bool ProductionLine::AppendRow(const std::string& unit, std::string_view device, std::string_view result,
                               std::string_view firstDifference, std::string_view detail, LineOutcome& outcome)
{
    std::string problem;
    if (!m_log.Append(unit, device, result, firstDifference, detail, problem))
    {
        outcome = {LineEnd::LogNotWritten, problem};
        return false;
    }
    m_ledger.Note(unit, result);
    return true;
}

// A reservation without a result: its unit was perhaps written, perhaps
// passed, when the line was killed or the power failed. No unit gets it again.
bool ProductionLine::VoidUnresolved(LineOutcome& outcome)
{
    for (const LineRow* unresolved : m_ledger.Unresolved())
    {
        const LineRow& reserved = *unresolved;
        if (!AppendRow(reserved.unit, reserved.device, VoidResult, "", InterruptedReason, outcome))
        {
            return false;
        }
        m_tally.voided.push_back(reserved.unit);
        m_observer.Voided(
            {reserved.unit, reserved.device, UnitFault::Interrupted, "", InterruptedReason,
             Joined({reserved.unit, " was reserved in row ", std::to_string(reserved.row), " at ", reserved.time,
                     " and has no result: the line was interrupted. It is now void and no unit gets "
                     "it again; the unit it was meant for may hold it."})});
    }
    return true;
}

LineOutcome ProductionLine::Run(UnitDock& dock, SerialSource* serials)
{
    LineOutcome outcome;
    std::string unit;
    // A series with no serial left ends before any unit is read.
    if (m_naming.Counts() && !NextUnit(serials, unit, outcome))
    {
        return outcome;
    }
    if (Serialised() && dock.UnitAttached() && !CheckAttachedUnit(dock, outcome))
    {
        return outcome;
    }
    for (;;)
    {
        if (CountReached() || !NextUnit(serials, unit, outcome))
        {
            return outcome;
        }
        m_observer.Waiting(unit);
        if (!dock.WaitForArrival())
        {
            return {LineEnd::StoppedBetweenUnits, ""};
        }
        UnitReport report;
        if (!Hold())
        {
            report = {unit,
                      m_deviceName,
                      UnitFault::Busy,
                      "",
                      ReasonOf(UnitFault::Busy),
                      Joined({m_deviceName, " is busy: another Kelvra program is using it. The unit was not touched; "
                                            "try it again once the other program has finished."})};
            m_tally.failed.push_back(unit);
            m_observer.Failed(report);
        }
        else if (!ProgramUnit(unit, report, outcome))
        {
            return outcome;
        }
        if (IsSet(m_setup.stopBetweenUnits))
        {
            return {LineEnd::StoppedAfterUnit, ""};
        }
        if (CountReached())
        {
            return {LineEnd::Done, ""};
        }
        m_observer.RemoveUnit();
        if (!dock.WaitForRemoval())
        {
            return {LineEnd::StoppedBetweenUnits, ""};
        }
        m_lock.Release();
        m_holding = false;
    }
}

bool ProductionLine::CountReached() const
{
    return m_setup.count && m_tally.passed.size() >= *m_setup.count;
}

// A unit attached at the start may be one that passed before the line was
// restarted: it is read first, and never written again if it did.
bool ProductionLine::CheckAttachedUnit(UnitDock& dock, LineOutcome& outcome)
{
    if (!Hold())
    {
        return true;  // the first unit's turn tells that it is busy
    }
    std::vector<BYTE> chip(m_setup.size, 0);
    const TransferOutcome read = Transfer(TransferDirection::EepromToBuffer, chip.data());
    if (read.status == TransferStatus::Done)
    {
        const bool named = Family0Image::HasSignature(chip.data()) &&
                           Family0Image::IsPresent(chip.data(), Family0Image::SerialNumberField);
        const std::string serial = named ? Family0Image::FieldBytes(chip.data(), Family0Image::SerialNumberField) : "";
        if (!m_ledger.Passed(serial))
        {
            return true;  // the first unit, still held
        }
        m_observer.AlreadyProgrammed(serial);
    }
    else
    {
        const UnitReport report = Report("", read, TransferDirection::EepromToBuffer);
        if (report.fault == UnitFault::NoLibrary)
        {
            outcome = {LineEnd::NoLibrary, report.detail};
            return false;
        }
        m_observer.NotChecked(report);
    }
    m_observer.RemoveUnit();
    if (IsSet(m_setup.stopBetweenUnits) || !dock.WaitForRemoval())
    {
        outcome = {LineEnd::StoppedBetweenUnits, ""};
        return false;
    }
    m_lock.Release();
    m_holding = false;
    return true;
}

bool ProductionLine::NextUnit(SerialSource* serials, std::string& unit, LineOutcome& outcome)
{
    if (!m_naming.Counts())
    {
        return TakeSupplied(*serials, unit, outcome);
    }
    const std::uint64_t next = m_ledger.NextNumber();
    if (next >= m_naming.Limit())
    {
        outcome = {LineEnd::SeriesExhausted, Joined({"the series has no serial after ", m_naming.NameOf(next - 1),
                                                     ": start a new one with more digits"})};
        return false;
    }
    unit = m_naming.NameOf(next);
    return true;
}

bool ProductionLine::TakeSupplied(SerialSource& serials, std::string& unit, LineOutcome& outcome)
{
    for (;;)
    {
        m_observer.WaitingForSerial();
        if (!serials.Next(unit))
        {
            outcome = {LineEnd::Done, ""};
            return false;
        }
        if (IsSet(m_setup.stopBetweenUnits))
        {
            outcome = {LineEnd::StoppedBetweenUnits, ""};
            return false;
        }
        if (unit.empty())
        {
            continue;  // an Enter on its own
        }
        std::string why = SerialProblem(unit);
        if (why.empty())
        {
            why = m_ledger.Refusal(unit);
        }
        if (why.empty())
        {
            return true;
        }
        ++m_tally.serialsRefused;
        m_observer.SerialRefused(unit, why);
    }
}

bool ProductionLine::Hold()
{
    if (!m_holding)
    {
        m_holding = m_lock.TryAcquire(m_setup.device);
    }
    return m_holding;
}

bool ProductionLine::ProgramUnit(const std::string& unit, UnitReport& report, LineOutcome& outcome)
{
    std::vector<BYTE> image = m_setup.image;
    if (Serialised())
    {
        Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, unit);
    }
    // On disk before the first write call: a unit written but never logged
    // still keeps its serial from every other unit.
    if (!AppendRow(unit, m_deviceName, ReservedResult, "", "", outcome))
    {
        outcome.message += ". The unit was not written.";
        return false;
    }
    m_observer.Programming(unit);
    TransferDirection direction = TransferDirection::BufferToEeprom;
    TransferOutcome transfer = Transfer(direction, image.data());
    std::vector<BYTE> chip(m_setup.size, 0);
    if (transfer.status == TransferStatus::Done)
    {
        direction = TransferDirection::EepromToBuffer;
        transfer = IsSet(m_setup.stopNow) ? TransferOutcome{TransferStatus::Interrupted, 0, nullptr}
                                          : Transfer(direction, chip.data());
    }
    report = Report(unit, transfer, direction);
    if (report.fault == UnitFault::NoLibrary)
    {
        // Gone since the line started: nothing was called, and the
        // reservation stays for the next start to make void.
        outcome = {LineEnd::NoLibrary, report.detail};
        return false;
    }
    const Comparison comparison = Compare(image, chip);
    if (report.fault == UnitFault::None && comparison.differing != 0)
    {
        report.fault = UnitFault::VerifyDiffers;
        report.firstDifference = Hex(comparison.firstOffset, 4);
        report.reason = Joined({"verify differs at ", report.firstDifference});
        report.detail =
            Joined({"the chip differs from the image in ", std::to_string(comparison.differing), " of ",
                    std::to_string(m_setup.size), " bytes; the first at offset ", report.firstDifference,
                    ": the image has ", Hex(comparison.expected, 2), ", the chip ", Hex(comparison.actual, 2)});
    }
    return Record(report, outcome);
}

TransferOutcome ProductionLine::Transfer(TransferDirection direction, BYTE* buffer)
{
    m_writing = direction == TransferDirection::BufferToEeprom;
    TransferHooks hooks;
    hooks.progress = OnProgress;
    hooks.context = this;
    hooks.cancel = m_setup.stopNow;
    const TransferRequest request = {m_setup.family, direction, m_setup.device, m_setup.window, buffer, m_setup.size};
    const DWORD firstTry = GetTickCount();
    for (;;)
    {
        const TransferOutcome outcome = m_setup.transfer(request, hooks);
        if (outcome.status != TransferStatus::OpenFailed || GetTickCount() - firstTry >= OpenRetryWindow ||
            IsSet(m_setup.stopNow))
        {
            return outcome;
        }
        Sleep(OpenRetryPause);
    }
}

void ProductionLine::OnProgress(void* line, UINT wordsDone, UINT wordCount)
{
    auto& self = *static_cast<ProductionLine*>(line);
    self.m_observer.Progress(self.m_writing, wordsDone, wordCount);
}

UnitReport ProductionLine::Report(const std::string& unit, const TransferOutcome& transfer,
                                  TransferDirection direction) const
{
    const UnitFault fault = FaultOf(transfer.status);
    return {unit,
            m_deviceName,
            fault,
            "",
            ReasonOf(fault),
            TransferEndText(transfer, m_setup.family, direction, m_deviceName, m_setup.size, m_setup.program)};
}

bool ProductionLine::Record(const UnitReport& report, LineOutcome& outcome)
{
    const bool passed = report.fault == UnitFault::None;
    if (!AppendRow(report.unit, report.device, passed ? PassResult : FailResult, report.firstDifference, report.detail,
                   outcome))
    {
        outcome.message += Joined({". Unit ", report.unit, passed ? " passed" : " failed",
                                   ", but its row is not in the log; its reservation is, so the next start makes ",
                                   report.unit, " void. Mend the log, then start again."});
        return false;
    }
    if (passed)
    {
        m_tally.passed.push_back(report.unit);
        m_observer.Passed(report);
    }
    else
    {
        m_tally.failed.push_back(report.unit);
        m_observer.Failed(report);
    }
    return true;
}
