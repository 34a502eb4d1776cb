#include "StationLine.h"

#include "LedgerConnection.h"
#include "WideText.h"

namespace
{
const DWORD LookAgainMilliseconds = 250;

LineEvent EventOf(LineEvent::Kind kind, const std::string& unit = std::string())
{
    LineEvent event;
    event.kind = kind;
    event.unit = unit;
    return event;
}

LineEvent ReportEvent(LineEvent::Kind kind, const UnitReport& report)
{
    LineEvent event = EventOf(kind, report.unit);
    event.text = report.detail;
    event.firstDifference = report.firstDifference;
    event.fault = report.fault;
    return event;
}

// Locks for one scope.
class Locked
{
public:
    explicit Locked(CRITICAL_SECTION& lock) : m_lock(lock) { EnterCriticalSection(&m_lock); }
    ~Locked() { LeaveCriticalSection(&m_lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    CRITICAL_SECTION& m_lock;
};
}  // namespace

StationLine::StationLine()
    : m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)), m_eventsWaiting(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    InitializeCriticalSection(&m_lock);
}

StationLine::~StationLine()
{
    StopNow();
    // Stop wakes every wait, and a transfer ends at its next word.
    Join(30000);
    if (m_thread != nullptr)
    {
        CloseHandle(m_thread);
    }
    CloseHandle(m_wake);
    CloseHandle(m_eventsWaiting);
    DeleteCriticalSection(&m_lock);
}

bool StationLine::Start(const StationSetup& setup, const std::vector<BYTE>& image, HWND window, UINT message)
{
    if (m_lineRunning)
    {
        return false;
    }
    // The thread holding a unit reads none of this until it is handed the line.
    m_stopBetweenUnits = false;
    m_stopNow = false;
    m_notify = window;
    m_message = message;
    m_setup = setup;
    m_logFile = WideFromUtf8(setup.log);
    m_lineSetup = LineSetup();
    m_lineSetup.family = setup.family;
    m_lineSetup.size = setup.size;
    m_lineSetup.image = image;
    m_lineSetup.imageName = m_setup.image;
    m_lineSetup.device = setup.device;
    m_lineSetup.logFile = m_logFile.data();
    m_lineSetup.logName = m_setup.log;
    m_lineSetup.series = setup.series;
    m_lineSetup.seriesLength = setup.count;
    m_lineSetup.window = window;
    m_lineSetup.program = "KelvraStation.exe";
    m_lineSetup.stopBetweenUnits = &m_stopBetweenUnits;
    m_lineSetup.stopNow = &m_stopNow;
    m_lineRunning = true;
    {
        Locked locked(m_lock);
        m_events.clear();
        m_scanWaiting = false;
        if (m_holding)
        {
            m_startWaiting = true;
            SetEvent(m_wake);
            return true;
        }
    }
    // A thread that let its unit go is ending, if it has not ended.
    if (!Join(30000))
    {
        m_lineRunning = false;
        return false;
    }
    if (m_thread != nullptr)
    {
        CloseHandle(m_thread);
    }
    m_thread = CreateThread(nullptr, 0, ThreadProcedure, this, 0, nullptr);
    m_lineRunning = m_thread != nullptr;
    return m_lineRunning;
}

void StationLine::Stop()
{
    m_stopBetweenUnits = true;
    SetEvent(m_wake);
}

void StationLine::StopNow()
{
    m_stopNow = true;
    Stop();
}

bool StationLine::Join(DWORD milliseconds) const
{
    return m_thread == nullptr || WaitForSingleObject(m_thread, milliseconds) == WAIT_OBJECT_0;
}

std::vector<LineEvent> StationLine::TakeEvents()
{
    Locked locked(m_lock);
    std::vector<LineEvent> events;
    events.swap(m_events);
    ResetEvent(m_eventsWaiting);
    return events;
}

void StationLine::Attached(size_t count)
{
    {
        Locked locked(m_lock);
        m_attached = count;
        m_unitDone = m_unitDone && count != 0;
    }
    SetEvent(m_wake);
}

void StationLine::Scanned(const std::string& serial)
{
    {
        Locked locked(m_lock);
        m_scanned = serial;
        m_scanWaiting = true;
    }
    SetEvent(m_wake);
}

DWORD WINAPI StationLine::ThreadProcedure(LPVOID line)
{
    static_cast<StationLine*>(line)->Work();
    return 0;
}

void StationLine::Work()
{
    do
    {
        RunLine();
    } while (HoldUntilRemoved());
    ReleaseDevice();
}

void StationLine::RunLine()
{
    LineEvent ended = EventOf(LineEvent::Kind::Ended);
    LineOutcome outcome;
    bool removed = false;
    {
        std::optional<DatabaseLedger> shared;
        outcome = m_setup.ledgerSeries.empty() ? LineOutcome() : OpenShared(shared);
        // Made and ended on this thread: the device lock belongs to the thread that took it.
        ProductionLine line(m_lineSetup, *this);
        m_running = &line;
        if (outcome.end == LineEnd::None)
        {
            outcome = line.Open();
        }
        ended.opened = outcome.end == LineEnd::None;
        if (ended.opened)
        {
            outcome = line.Run(*this, m_setup.scan ? this : nullptr);
        }
        // A series the ledger did not open has nothing to say.
        ended.next = ended.opened || m_setup.ledgerSeries.empty() ? line.NextUnit() : std::string();
        // Before the line lets the device go.
        removed = !KeepUnitInHand();
        m_running = nullptr;
    }
    ended.end = outcome.end;
    ended.text = outcome.message;
    // Scanned serials run out only when Stop ends the wait for one.
    if (m_setup.scan && ended.end == LineEnd::Done)
    {
        ended.end = LineEnd::StoppedBetweenUnits;
    }
    m_lineRunning = false;
    Push(std::move(ended));
    if (removed)
    {
        Push(EventOf(LineEvent::Kind::Removed));  // pulled out before the line ended
    }
}

bool StationLine::KeepUnitInHand()
{
    bool holding = false;
    bool attached = false;
    {
        Locked locked(m_lock);
        m_holding = m_unitDone && m_attached != 0;
        holding = m_holding;
        attached = m_attached != 0;
    }
    if (!holding)
    {
        ReleaseDevice();
    }
    else if (!m_deviceHeld)
    {
        // The same thread as the line's session: taken again, not waited for.
        m_deviceHeld = m_held.TryAcquire(m_setup.device);
    }
    return attached;
}

void StationLine::ReleaseDevice()
{
    if (m_deviceHeld)
    {
        m_held.Release();
        m_deviceHeld = false;
    }
}

bool StationLine::HoldUntilRemoved()
{
    for (;;)
    {
        bool holding = false;
        bool removed = false;
        {
            Locked locked(m_lock);
            if (m_holding && m_startWaiting)
            {
                m_startWaiting = false;
                m_holding = false;
                return true;
            }
            removed = m_holding && !m_unitDone;
            m_holding = m_holding && !removed && !m_stopNow;
            holding = m_holding;
        }
        if (!holding)
        {
            // Before the panel hears of the removal, so the unit is free once it says so.
            ReleaseDevice();
        }
        if (removed)
        {
            Push(EventOf(LineEvent::Kind::Removed));
        }
        if (!holding)
        {
            return false;
        }
        WaitForSingleObject(m_wake, LookAgainMilliseconds);
    }
}

LineOutcome StationLine::OpenShared(std::optional<DatabaseLedger>& shared)
{
    const DatabaseSetup database{m_setup.ledger.empty() ? LedgerFromEnvironment() : m_setup.ledger,
                                 PasswordFromEnvironment(), m_setup.ledgerSeries,
                                 m_setup.station.empty() ? ComputerName() : m_setup.station,
                                 m_lineSetup.allowDuplicateSerials};
    LineOutcome outcome = shared.emplace(database).Connect();
    if (outcome.end != LineEnd::None)
    {
        return outcome;
    }
    const SeriesDefinition& series = shared->Series();
    m_setup.family = series.family;
    m_setup.size = series.size;
    m_setup.series = series.family == ChipFamily::A ? std::optional<SerialSeries::Form>(series.form) : std::nullopt;
    m_setup.count = series.count;
    std::vector<BYTE> image;
    const std::string unread = ReadImage(m_setup, image);
    if (!unread.empty())
    {
        return {LineEnd::ImageRefused, unread};
    }
    m_lineSetup.family = series.family;
    m_lineSetup.size = series.size;
    m_lineSetup.image = image;
    m_lineSetup.series = m_setup.series;
    m_lineSetup.seriesLength = series.count;
    m_lineSetup.ledger = &*shared;
    return shared->CheckImage(image, m_setup.image);
}

void StationLine::Push(LineEvent event)
{
    bool first = false;
    {
        Locked locked(m_lock);
        first = m_events.empty();
        m_events.push_back(std::move(event));
        SetEvent(m_eventsWaiting);
    }
    // One message wakes the window for every event until it takes them.
    if (first && m_notify != nullptr)
    {
        PostMessageW(m_notify, m_message, 0, 0);
    }
}

template <class Ready> bool StationLine::WaitUntil(Ready ready)
{
    for (;;)
    {
        if (m_stopBetweenUnits)
        {
            return false;
        }
        {
            Locked locked(m_lock);
            if (ready())
            {
                return true;
            }
        }
        WaitForSingleObject(m_wake, LookAgainMilliseconds);
    }
}

void StationLine::Opened(bool newLog, const std::string& next)
{
    LineEvent event = EventOf(LineEvent::Kind::Opened);
    event.newLog = newLog;
    event.next = next;
    Push(std::move(event));
}

void StationLine::UnitDone(const std::string& unit)
{
    Locked locked(m_lock);
    m_unitDone = true;
    m_doneUnit = unit;
}

void StationLine::WaitingForSerial()
{
    Push(EventOf(LineEvent::Kind::WaitingForSerial));
}

void StationLine::Waiting(const std::string& unit)
{
    m_awaited = unit;
    Push(EventOf(LineEvent::Kind::Waiting, unit));
}

void StationLine::Programming(const std::string& unit)
{
    m_wordsMoved = 0;
    Push(EventOf(LineEvent::Kind::Programming, unit));
}

void StationLine::Progress(bool writing, UINT wordsDone, UINT wordCount)
{
    m_wordsInAll = 2 * wordCount;
    m_wordsMoved = writing ? wordsDone : wordCount + wordsDone;
}

void StationLine::Passed(const UnitReport& report)
{
    Result(LineEvent::Kind::Passed, report);
}

void StationLine::Failed(const UnitReport& report)
{
    Result(LineEvent::Kind::Failed, report);
}

void StationLine::Result(LineEvent::Kind kind, const UnitReport& report)
{
    UnitDone(report.unit);
    LineEvent event = ReportEvent(kind, report);
    // Told once the result is logged, so the line knows what comes next.
    event.next = m_running->NextUnit();
    Push(std::move(event));
}

void StationLine::Voided(const UnitReport& report)
{
    Push(ReportEvent(LineEvent::Kind::Voided, report));
}

void StationLine::AlreadyProgrammed(const std::string& unit)
{
    UnitDone(unit);
    Push(EventOf(LineEvent::Kind::AlreadyProgrammed, unit));
}

void StationLine::NotChecked(const UnitReport& report)
{
    UnitDone(report.unit);
    Push(ReportEvent(LineEvent::Kind::NotChecked, report));
}

void StationLine::SerialRefused(const std::string& serial, std::string_view why)
{
    LineEvent event = EventOf(LineEvent::Kind::SerialRefused, serial);
    event.text = std::string(why);
    Push(std::move(event));
}

void StationLine::SerialDropped(const std::string& dropped)
{
    Push(EventOf(LineEvent::Kind::SerialDropped, dropped));
}

void StationLine::RemoveUnit()
{
    Push(EventOf(LineEvent::Kind::RemoveUnit));
}

bool StationLine::UnitAttached()
{
    Locked locked(m_lock);
    return m_attached == 1;
}

bool StationLine::WaitForArrival()
{
    return UnitInHandRemoved() && WaitUntil([this] { return m_attached == 1; });
}

// A scan wakes the wait too: it replaces the serial the unit awaited gets.
Arrival StationLine::WaitForArrivalOrSerial(SerialSource& /*serials*/)
{
    if (!UnitInHandRemoved() || !WaitUntil([this] { return m_attached == 1 || m_scanWaiting; }))
    {
        return Arrival::Stopped;
    }
    Locked locked(m_lock);
    return m_scanWaiting ? Arrival::SerialWaiting : Arrival::Attached;
}

bool StationLine::UnitInHandRemoved()
{
    std::string unit;
    {
        Locked locked(m_lock);
        if (!m_unitDone)
        {
            return true;
        }
        unit = m_doneUnit;
    }
    Push(EventOf(LineEvent::Kind::StillAttached, unit));
    if (!WaitForRemoval())
    {
        return false;
    }
    // The line told its wait before this one.
    Push(EventOf(LineEvent::Kind::Waiting, m_awaited));
    return true;
}

bool StationLine::WaitForRemoval()
{
    // Attached(0) clears it, however soon a unit follows.
    if (!WaitUntil([this] { return !m_unitDone; }))
    {
        return false;
    }
    ReleaseDevice();
    return true;
}

bool StationLine::Next(std::string& serial)
{
    if (!WaitUntil([this] { return m_scanWaiting; }))
    {
        return false;
    }
    Locked locked(m_lock);
    serial = m_scanned;
    m_scanWaiting = false;
    return true;
}

bool StationLine::Waiting()
{
    Locked locked(m_lock);
    return m_scanWaiting;
}
