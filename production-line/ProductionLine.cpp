#include "ProductionLine.h"

#include "Comparison.h"
#include "Digits.h"
#include "Family0Image.h"
#include "HidEnumeration.h"
#include "Joined.h"

namespace
{
// A unit's firmware may refuse an open just after the unit arrives. A refused
// open is tried again until OpenRetryWindow has passed since the first try
// (about 50 tries); then the unit fails with "did not open".
const DWORD OpenRetryWindow = 1000;

const char* const InterruptedReason = "interrupted";

std::string Hex(size_t value, int digits)
{
    return "0x" + Digits::Hex(value, digits);
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

// An Enter on its own, or with spaces before it.
bool IsBlank(const std::string& line)
{
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The serial a VT-A chip carries; empty when it carries none.
std::string SerialOnChip(const BYTE* chip)
{
    const bool named =
        Family0Image::HasSignature(chip) && Family0Image::IsPresent(chip, Family0Image::SerialNumberField);
    return named ? Family0Image::FieldBytes(chip, Family0Image::SerialNumberField) : "";
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

}  // namespace

const char* ReasonOf(UnitFault fault)
{
    switch (fault)
    {
    case UnitFault::None:
        break;
    case UnitFault::VerifyDiffers:
        return "verify differs at ";
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

std::string NewLogText(const std::string& next, ChipFamily family)
{
    const char* const named = family == ChipFamily::A ? "" : "unit ";
    return next.empty() ? "a new log: no serial was given in it yet"
                        : Joined({"a new log: the series starts at ", named, next});
}

ProductionLine::ProductionLine(const LineSetup& setup, LineObserver& observer)
    : m_setup(setup), m_observer(observer), m_deviceName(DeviceNameOf(setup.device)),
      m_naming(setup.family, setup.series), m_ledger(setup.ledger), m_progress(observer)
{
    if (m_ledger == nullptr)
    {
        m_ledger = &m_log.emplace(setup, m_naming);
    }
}

LineOutcome ProductionLine::Open()
{
    if (Serialised() && !Family0Image::HasSignature(m_setup.image.data()))
    {
        return {LineEnd::ImageRefused, Joined({m_setup.imageName, " carries no VT-A identity (header word ",
                                               Hex(Family0Image::HeaderWord(m_setup.image.data()), 4),
                                               "), so it has no serial number field to number units with."})};
    }
    const TransferOutcome probe = ProbeLibrary(m_setup.family);
    if (probe.status != TransferStatus::Done)
    {
        return {LineEnd::NoLibrary, TransferEndText(probe, m_setup.family, TransferDirection::BufferToEeprom,
                                                    m_deviceName, m_setup.size, m_setup.program)};
    }
    LineOutcome outcome = VoidUnresolved();
    if (outcome.end == LineEnd::None)
    {
        // Told, so a log gone missing never starts a series again unnoticed.
        m_observer.Opened(m_ledger->HeldNothing(), NextUnit());
    }
    return outcome;
}

std::string ProductionLine::NextUnit() const
{
    const bool left = m_naming.Counts() && !StopAfterReached() && SeriesLeft().end == LineEnd::None;
    return left ? m_naming.NameOf(m_ledger->NextNumber()) : std::string();
}

// Reservations left without a result are made void by the ledger as it
// opens; each is counted and told here.
LineOutcome ProductionLine::VoidUnresolved()
{
    std::vector<UnitReport> voided;
    const LineOutcome outcome = m_ledger->Open(voided);
    for (const UnitReport& report : voided)
    {
        m_tally.voided.push_back(report.unit);
        m_observer.Voided(report);
    }
    return outcome;
}

LineOutcome ProductionLine::Run(UnitDock& dock, SerialSource* serials)
{
    BeginSession();
    // A series with no serial left ends before any unit is read.
    LineOutcome outcome = SeriesLeft();
    if (outcome.end == LineEnd::None && IsSet(m_setup.stopBetweenUnits))
    {
        outcome = {LineEnd::StoppedBetweenUnits, ""};
    }
    if (outcome.end == LineEnd::None && dock.UnitAttached())
    {
        outcome = Serialised() ? CheckAttachedUnit(dock) : AskToAttachAgain(dock);
    }
    while (outcome.end == LineEnd::None)
    {
        outcome = Turn(dock, serials);
    }
    return outcome;
}

bool ProductionLine::SeriesEnded() const
{
    return m_naming.Counts() && m_setup.seriesLength &&
           m_ledger->NextNumber() >= m_naming.First() + *m_setup.seriesLength;
}

LineOutcome ProductionLine::SeriesLeft() const
{
    const std::uint64_t next = m_ledger->NextNumber();
    const bool ended = SeriesEnded();
    if (!m_naming.Counts() || (next < m_naming.Limit() && !ended))
    {
        return {};
    }
    return {LineEnd::SeriesExhausted,
            Joined({"the series has no serial after ", m_naming.NameOf(next - 1),
                    ended ? ": all it holds were given; set up the next one" : ": start a new one with more digits"})};
}

// One unit: its name, its arrival, its programming and its removal.
LineOutcome ProductionLine::Turn(UnitDock& dock, SerialSource* serials)
{
    // Lines that share a ledger may find their series done by another.
    if (StopAfterReached() || SeriesEnded())
    {
        return {LineEnd::Done, ""};
    }
    LineOutcome outcome = SeriesLeft();
    std::string unit;
    if (outcome.end == LineEnd::None)
    {
        outcome = m_naming.Counts() ? LineOutcome() : TakeSupplied(*serials, unit);
    }
    if (outcome.end != LineEnd::None)
    {
        return outcome;
    }
    if (m_naming.Counts())
    {
        unit = m_naming.NameOf(m_ledger->NextNumber());
    }
    outcome = AwaitUnit(dock, m_naming.Counts() ? nullptr : serials, unit);
    if (outcome.end == LineEnd::None)
    {
        outcome = Hold() ? ProgramUnit(unit) : Busy(unit);
    }
    if (outcome.end != LineEnd::None)
    {
        return outcome;
    }
    if (IsSet(m_setup.stopBetweenUnits))
    {
        return {LineEnd::StoppedAfterUnit, ""};
    }
    return StopAfterReached() || SeriesEnded() ? LineOutcome{LineEnd::Done, ""} : Remove(dock);
}

LineOutcome ProductionLine::Remove(UnitDock& dock)
{
    m_observer.RemoveUnit();
    if (IsSet(m_setup.stopBetweenUnits) || !dock.WaitForRemoval())
    {
        return {LineEnd::StoppedBetweenUnits, ""};
    }
    m_session->Unlock();
    return {};
}

// A unit attached at the start may be one that passed before the line was
// restarted: it is read first, and never written again if it did.
LineOutcome ProductionLine::CheckAttachedUnit(UnitDock& dock)
{
    if (!Hold())
    {
        return {};  // the first unit's turn tells that it is busy
    }
    std::vector<BYTE> chip(m_setup.size, 0);
    const TransferOutcome read = Transfer(TransferDirection::EepromToBuffer, chip.data());
    const UnitReport report = Report("", read, TransferDirection::EepromToBuffer);
    if (report.fault == UnitFault::NoLibrary)
    {
        return {LineEnd::NoLibrary, report.detail};
    }
    if (report.fault != UnitFault::None)
    {
        m_observer.NotChecked(report);
        return Remove(dock);
    }
    const std::string serial = SerialOnChip(chip.data());
    const LedgerAnswer passed = m_ledger->Passed(serial);
    if (passed == LedgerAnswer::Unknown)
    {
        m_observer.NotChecked(
            {serial, m_deviceName, UnitFault::None, "", Joined({"the ledger cannot say whether ", serial, " passed"})});
        return Remove(dock);
    }
    if (passed == LedgerAnswer::No)
    {
        m_retryPossible = m_ledger->FailedLeft(serial);
        return {};  // the first unit, still held
    }
    m_observer.AlreadyProgrammed(serial);
    return Remove(dock);
}

// A VT-B or VT-C unit's number cannot be read back, so one attached at the
// start may have passed before the line was started again: it is written
// only once it was removed and attached again.
LineOutcome ProductionLine::AskToAttachAgain(UnitDock& dock)
{
    m_observer.NotChecked(
        {"", m_deviceName, UnitFault::None, "",
         Joined({"a ", TraitsOf(m_setup.family).name,
                 " unit's number cannot be read back, so a unit that passed cannot be told from a new "
                 "one: remove it and attach it again to have it programmed"})});
    return Remove(dock);
}

LineOutcome ProductionLine::TakeSupplied(SerialSource& serials, std::string& unit)
{
    for (;;)
    {
        m_observer.WaitingForSerial();
        const bool given = serials.Next(unit);
        if (IsSet(m_setup.stopBetweenUnits))
        {
            return {LineEnd::StoppedBetweenUnits, ""};
        }
        if (!given)
        {
            return {LineEnd::Done, ""};
        }
        if (Acceptable(unit))
        {
            return {};
        }
    }
}

// Whether serial may go to the next unit; a refusal is counted and told.
bool ProductionLine::Acceptable(const std::string& serial)
{
    if (IsBlank(serial))
    {
        return false;
    }
    const char* const malformed = SerialProblem(serial);
    const std::string why = *malformed != '\0' ? std::string(malformed) : m_ledger->Refusal(serial);
    if (why.empty())
    {
        return true;
    }
    ++m_tally.serialsRefused;
    m_observer.SerialRefused(serial, why);
    return false;
}

// Until the unit arrives. Every serial supplied before it arrives replaces
// unit, so the serial given last is the one it gets, and none waits for a
// later unit. A refused one drops unit too: the unit in hand is not the one
// unit was given for, so a serial is awaited again.
LineOutcome ProductionLine::AwaitUnit(UnitDock& dock, SerialSource* serials, std::string& unit)
{
    m_observer.Waiting(unit);
    for (;;)
    {
        while (serials != nullptr && serials->Waiting())
        {
            if (!TakeReplacement(*serials, unit))
            {
                serials = nullptr;  // no more: the unit awaited still gets unit
            }
            else if (unit.empty())
            {
                LineOutcome outcome = TakeSupplied(*serials, unit);
                if (outcome.end != LineEnd::None)
                {
                    return outcome;
                }
                m_observer.Waiting(unit);
            }
        }
        const Arrival arrival = serials != nullptr      ? dock.WaitForArrivalOrSerial(*serials)
                                : dock.WaitForArrival() ? Arrival::Attached
                                                        : Arrival::Stopped;
        if (arrival == Arrival::Stopped)
        {
            return {LineEnd::StoppedBetweenUnits, ""};
        }
        if (arrival == Arrival::Attached)
        {
            return {};
        }
    }
}

// False once the serials ended; unit is left empty when it was dropped.
bool ProductionLine::TakeReplacement(SerialSource& serials, std::string& unit)
{
    std::string serial;
    if (!serials.Next(serial))
    {
        return false;
    }
    if (IsBlank(serial) || serial == unit)
    {
        return true;
    }
    if (!Acceptable(serial))
    {
        m_observer.SerialDropped(unit);
        unit.clear();
        return true;
    }
    m_observer.SerialReplaced(unit, serial);
    unit = serial;
    m_observer.Waiting(unit);
    return true;
}

LineOutcome ProductionLine::Busy(const std::string& unit)
{
    m_tally.failed.push_back(unit);
    m_observer.Failed({unit, m_deviceName, UnitFault::Busy, "",
                       Joined({m_deviceName, " is busy in another Kelvra program; the unit was not touched."})});
    return {};
}

// A unit that failed and is attached again may have its serial back: a VT-A
// unit whose serial field holds a serial that failed in this log, and went
// to no unit since, is that unit. The read costs a few words, so only the
// unit after a failed one, or one attached at the start, is read; a failed
// unit retried later gets the next serial, and its own goes to no unit.
std::string ProductionLine::RetriedSerial()
{
    const bool possible = m_retryPossible;
    m_retryPossible = false;
    if (!possible || !Serialised() || !m_naming.Counts() || m_setup.allowDuplicateSerials)
    {
        return "";
    }
    std::vector<BYTE> chip(Family0Image::ImageSize, 0);
    const UINT head = static_cast<UINT>(Family0Image::RoomEnd(Family0Image::SerialNumberField));
    const TransferOutcome read =
        m_session->Transfer(m_setup.family, TransferDirection::EepromToBuffer, chip.data(), head);
    const std::string serial = read.status == TransferStatus::Done ? SerialOnChip(chip.data()) : "";
    return m_ledger->FailedLeft(serial) ? serial : "";
}

LineOutcome ProductionLine::ProgramUnit(const std::string& next)
{
    const std::string retried = RetriedSerial();
    // A shared ledger may give another name than the one expected.
    std::string unit = retried.empty() ? next : retried;
    // Looked at last before the reservation: a stop until then touches nothing.
    if (IsSet(m_setup.stopBetweenUnits))
    {
        return {LineEnd::StoppedBetweenUnits, ""};
    }
    if (!retried.empty())
    {
        m_observer.Retrying(unit);
    }
    // On record before the first write call: a unit written but never logged
    // still keeps its serial from every other unit.
    const LineOutcome reserved = m_ledger->Reserve(unit, m_deviceName, !retried.empty());
    if (reserved.end != LineEnd::None)
    {
        return reserved;
    }
    std::vector<BYTE> image = m_setup.image;
    if (Serialised())
    {
        Family0Image::ReplaceStringField(image.data(), Family0Image::SerialNumberField, unit);
    }
    m_observer.Programming(unit);
    TransferOutcome transfer = Transfer(TransferDirection::BufferToEeprom, image.data());
    Comparison comparison;
    const bool written = transfer.status == TransferStatus::Done;
    if (written)
    {
        transfer = m_session->ReadBack(m_setup.family, image, comparison);
    }
    const UnitReport report = Judge(
        unit, transfer, written ? TransferDirection::EepromToBuffer : TransferDirection::BufferToEeprom, comparison);
    if (report.fault == UnitFault::NoLibrary)
    {
        // Gone since the line started: nothing was called, and the
        // reservation stays for the next start to make void.
        return {LineEnd::NoLibrary, report.detail};
    }
    return Record(report);
}

UnitReport ProductionLine::Judge(const std::string& unit, const TransferOutcome& transfer, TransferDirection direction,
                                 const Comparison& comparison) const
{
    if (transfer.status != TransferStatus::Done || comparison.differing == 0)
    {
        return Report(unit, transfer, direction);
    }
    const std::string at = Hex(comparison.firstOffset, 4);
    return {unit, m_deviceName, UnitFault::VerifyDiffers, at,
            Joined({"the chip differs from the image in ", std::to_string(comparison.differing), " of ",
                    std::to_string(m_setup.size), " bytes; the first at offset ", at, ": the image has ",
                    Hex(comparison.expected, 2), ", the chip ", Hex(comparison.actual, 2)})};
}

void ProductionLine::BeginSession()
{
    SessionSetup session;
    session.device = m_setup.device;
    session.window = m_setup.window;
    session.progress = &m_progress;
    session.interrupt = m_setup.stopNow;
    session.transfer = m_setup.transfer;
    session.openRetryWindow = OpenRetryWindow;
    m_session.emplace(session);
}

TransferOutcome ProductionLine::Transfer(TransferDirection direction, BYTE* buffer)
{
    return m_session->Transfer(m_setup.family, direction, buffer, m_setup.size);
}

UnitReport ProductionLine::Report(const std::string& unit, const TransferOutcome& transfer,
                                  TransferDirection direction) const
{
    return {unit, m_deviceName, FaultOf(transfer.status), "",
            TransferEndText(transfer, m_setup.family, direction, m_deviceName, m_setup.size, m_setup.program,
                            AfterPartialWrite::PutUnitAside)};
}

LineOutcome ProductionLine::Record(const UnitReport& report)
{
    const bool passed = report.fault == UnitFault::None;
    const LineOutcome recorded = m_ledger->Record(report, passed ? PassResult : FailResult);
    if (recorded.end != LineEnd::None)
    {
        return recorded;
    }
    (passed ? m_tally.passed : m_tally.failed).push_back(report.unit);
    m_retryPossible = !passed;
    if (passed)
    {
        m_observer.Passed(report);
    }
    else
    {
        m_observer.Failed(report);
    }
    return {};
}
