// A production line: units plugged in one after another, each given the same
// image with its own serial (VT-A) or running number (VT-B, VT-C), written,
// read back, compared and logged. Its rules hold for every program that
// drives it (kelvra-cli line, a station window):
// - a serial is reserved in the log, on disk, before the first write call,
//   and its result follows in a row of its own;
// - a serial is given to one unit only: a start refuses a log it cannot
//   account for, a reservation left without a result is void, and a failed
//   unit's serial goes to no other unit (unless allowed), though the unit
//   that failed may get it again;
// - the device lock is held from a unit's arrival to its removal, and a unit
//   attached at the start that already passed is not written again;
// - nothing is reserved or written once the line is to stop.
// What the program shows, and what ends the line, come in through the
// narrow interfaces below.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ChipSession.h"
#include "Comparison.h"
#include "DriverLibrary.h"
#include "CsvLedger.h"
#include "Ledger.h"
#include "LineLedger.h"
#include "LineLog.h"

enum class UnitFault
{
    None,
    DidNotOpen,
    TransferFailed,
    VerifyDiffers,
    Busy,
    Interrupted,
    NoLibrary,
};

struct UnitReport
{
    std::string unit;    // the serial or unit number
    std::string device;  // VID_xxxx&PID_xxxx
    UnitFault fault = UnitFault::None;
    std::string firstDifference;  // 0x-hex offset, when the verify differed
    std::string detail;           // what happened and what to do
};

// A few words for the fault, to show beside the unit: "did not open", or
// "verify differs at " to be followed by the first difference; empty for none.
const char* ReasonOf(UnitFault fault);

// "a new log: the series starts at KV-000100", for a log that held no row:
// said wherever the line runs, so a log gone missing never passes unnoticed.
// next: what the first unit gets, a serial or (VT-B, VT-C) a unit number;
// empty when serials are supplied.
std::string NewLogText(const std::string& next, ChipFamily family);

// What the line tells the person at it, as it happens.
class LineObserver
{
public:
    virtual ~LineObserver() = default;

    // The log is open and accounted for. newLog: it held no row, so nothing
    // before this run is known to it. next: what the first unit gets; empty
    // when supplied.
    virtual void Opened(bool newLog, const std::string& next) = 0;
    // The next serial is awaited from the serial source.
    virtual void WaitingForSerial() = 0;
    // A unit is awaited; it will be given unit. Told again, with another
    // unit, when a serial supplied meanwhile replaces it.
    virtual void Waiting(const std::string& unit) = 0;
    // The unit has arrived and is being given unit.
    virtual void Programming(const std::string& unit) = 0;
    // wordsDone of wordCount moved, writing or reading (VT-A, word by word).
    virtual void Progress(bool writing, UINT wordsDone, UINT wordCount) = 0;
    // Logged before it is told.
    virtual void Passed(const UnitReport& report) = 0;
    // Logged before it is told, unless the unit was never touched (busy).
    virtual void Failed(const UnitReport& report) = 0;
    // A reservation left without a result, now logged as void: no unit gets it again.
    virtual void Voided(const UnitReport& report) = 0;
    // The unit attached at the start holds unit, which passed in this log: it is not written.
    virtual void AlreadyProgrammed(const std::string& unit) = 0;
    // The unit attached at the start could not be read, so it is not written.
    virtual void NotChecked(const UnitReport& report) = 0;
    // A supplied serial that no unit may be given; nothing was touched.
    virtual void SerialRefused(const std::string& serial, std::string_view why) = 0;
    // The unit is done with: it should be removed.
    virtual void RemoveUnit() = 0;
    // serial, supplied while a unit was awaited, replaces the one it was to get.
    virtual void SerialReplaced(const std::string& replaced, const std::string& serial)
    {
        (void)replaced;
        (void)serial;
    }
    // The unit attached holds unit, which failed in this log: it is tried again with it.
    virtual void Retrying(const std::string& unit) { (void)unit; }
    // A serial supplied while a unit was awaited was refused, so the one
    // awaited, dropped, is no longer given: it may be another unit's label.
    virtual void SerialDropped(const std::string& dropped) { (void)dropped; }
};

// Serials supplied one per unit, e.g. scanned from each unit's label.
class SerialSource
{
public:
    virtual ~SerialSource() = default;

    // The next serial as given, after waiting for it; false once there are
    // no more, or when the line is to stop first.
    virtual bool Next(std::string& serial) = 0;
    // Next would answer without waiting.
    virtual bool Waiting() { return false; }
};

enum class Arrival
{
    Attached,
    Stopped,
    SerialWaiting,
};

// Where the units are plugged in: one at a time, with the line's identifiers.
class UnitDock
{
public:
    virtual ~UnitDock() = default;

    // Exactly one unit is attached now.
    virtual bool UnitAttached() = 0;
    // Until one unit is attached; false when the line is to stop first.
    virtual bool WaitForArrival() = 0;
    // As WaitForArrival, but ends too once serials has one waiting.
    virtual Arrival WaitForArrivalOrSerial(SerialSource& serials)
    {
        (void)serials;
        return WaitForArrival() ? Arrival::Attached : Arrival::Stopped;
    }
    // Until none is; false when the line is to stop first.
    virtual bool WaitForRemoval() = 0;
};

// UnitTransfer and LibraryTransfer, the whole transfer through the family's
// driver library that a program may wrap, come with ChipSession.h.

// The setup, and the names and log file it points to, outlive the line.
struct LineSetup
{
    ChipFamily family = ChipFamily::A;
    UINT size = 0;                 // bytes each unit gets
    std::vector<BYTE> image;       // size bytes
    std::string_view imageName;    // for messages
    DWORD device = 0;              // the units' DeviceKey
    const wchar_t* logFile = L"";  // the name to open the log by
    std::string_view logName;      // as the person gave it
    // A ledger the program opened, e.g. a database shared with other lines;
    // none: the log above.
    Ledger* ledger = nullptr;
    // VT-A: the series the serials come from; none for serials supplied per unit.
    std::optional<SerialSeries::Form> series;
    std::optional<std::uint64_t> stopAfter;  // end once this many have passed in this run
    // The series holds this many names from its first (VT-B, VT-C: from 1);
    // the line ends once the last was given. None: as many as its width holds.
    std::optional<std::uint64_t> seriesLength;
    // A failed unit's serial goes to the next unit too, though the failed
    // unit may hold it: two units may then carry one serial.
    bool allowDuplicateSerials = false;
    HWND window = nullptr;     // handed to the library's open
    const char* program = "";  // the file the libraries belong beside, for messages
    UnitTransfer transfer = LibraryTransfer;
    // Set to end the line between units; the unit in hand is finished first.
    const std::atomic<bool>* stopBetweenUnits = nullptr;
    // Set to end even a unit in hand, between words: the program is closing.
    const std::atomic<bool>* stopNow = nullptr;
};

enum class LineEnd
{
    None,                  // the line goes on
    Done,                  // stopAfter units passed, the series' last name was given, or the serials supplied ran out
    StoppedBetweenUnits,   // stopBetweenUnits, while no unit was in hand
    StoppedAfterUnit,      // stopBetweenUnits, once the unit in hand was finished
    SeriesExhausted,       // the series holds no further name, at the start: its width or its length is used up
    ImageRefused,          // a VT-A image without an identity, so without a serial field
    LogRefused,            // the log cannot be opened, read or accounted for; it was left as it was
    LogNotWritten,         // a row could not be added
    NoLibrary,             // the family's driver library is missing or lacks an export
    LedgerRefused,         // the shared ledger refuses this line: its series, its image, its station name
    LedgerUnreachable,     // the shared ledger cannot be reached at the start
    LedgerLostBeforeUnit,  // the shared ledger was lost when a unit arrived; the unit was not touched
    ResultNotLogged,       // the shared ledger was lost after the write: the unit is not logged, put it aside
};

struct LineOutcome
{
    LineEnd end = LineEnd::None;
    std::string message;
};

// This run's units, in order.
struct LineTally
{
    std::vector<std::string> passed;
    std::vector<std::string> failed;
    std::vector<std::string> voided;
    size_t serialsRefused = 0;
};

class ProductionLine
{
public:
    ProductionLine(const LineSetup& setup, LineObserver& observer);
    ProductionLine(const ProductionLine&) = delete;
    ProductionLine& operator=(const ProductionLine&) = delete;

    // Checks the image and the driver library, opens the log and accounts
    // for its rows, and voids the reservations left without a result. No
    // unit is touched. On failure the log is as it was. LineEnd::None: open.
    LineOutcome Open();
    // Programs units until the line ends. serials: required when the setup
    // names no series for VT-A.
    LineOutcome Run(UnitDock& dock, SerialSource* serials);

    const LineTally& Tally() const { return m_tally; }
    // What the next unit gets: empty when serials are supplied or none is left.
    std::string NextUnit() const;
    const UnitNaming& Naming() const { return m_naming; }

private:
    bool Serialised() const { return m_setup.family == ChipFamily::A; }
    bool StopAfterReached() const { return m_setup.stopAfter && m_tally.passed.size() >= *m_setup.stopAfter; }
    // The series' length is given and its last name was given.
    bool SeriesEnded() const;
    LineOutcome VoidUnresolved();
    LineOutcome SeriesLeft() const;
    LineOutcome Turn(UnitDock& dock, SerialSource* serials);
    LineOutcome Remove(UnitDock& dock);
    LineOutcome CheckAttachedUnit(UnitDock& dock);
    LineOutcome AskToAttachAgain(UnitDock& dock);
    LineOutcome TakeSupplied(SerialSource& serials, std::string& unit);
    bool Acceptable(const std::string& serial);
    LineOutcome AwaitUnit(UnitDock& dock, SerialSource* serials, std::string& unit);
    bool TakeReplacement(SerialSource& serials, std::string& unit);
    bool Hold() { return m_session->Lock(); }
    LineOutcome Busy(const std::string& unit);
    std::string RetriedSerial();
    LineOutcome ProgramUnit(const std::string& next);
    UnitReport Judge(const std::string& unit, const TransferOutcome& transfer, TransferDirection direction,
                     const Comparison& comparison) const;
    TransferOutcome Transfer(TransferDirection direction, BYTE* buffer);
    void BeginSession();
    UnitReport Report(const std::string& unit, const TransferOutcome& transfer, TransferDirection direction) const;
    LineOutcome Record(const UnitReport& report);

    // The session's progress, told to the observer.
    class ObservedProgress final : public TransferProgress
    {
    public:
        explicit ObservedProgress(LineObserver& observer) : m_observer(observer) {}
        void Progress(TransferDirection direction, UINT wordsDone, UINT wordCount) override
        {
            m_observer.Progress(direction == TransferDirection::BufferToEeprom, wordsDone, wordCount);
        }

    private:
        LineObserver& m_observer;
    };

    const LineSetup& m_setup;
    LineObserver& m_observer;
    std::string m_deviceName;
    UnitNaming m_naming;
    std::optional<CsvLedger> m_log;
    Ledger* m_ledger;
    ObservedProgress m_progress;
    // From Run on: the window the libraries are given is known only then.
    std::optional<ChipSession> m_session;
    LineTally m_tally;
    // The unit after one that failed may be that unit again: it is read first.
    bool m_retryPossible = false;
};
