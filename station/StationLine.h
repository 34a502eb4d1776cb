// The production line on a thread of its own, so the station's window stays
// responsive while a unit is written. The window tells it how many units are
// attached and which serial was scanned; it hands the line's events back to
// the window, which it wakes with a posted message. Every wait of the thread
// wakes at least four times a second to look for Stop.
// A unit the line was done with stays its own until it is removed: once the
// line has ended, the thread keeps the device lock until then, and a Start
// meanwhile is run on the same thread, which never writes that unit again.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "DatabaseLedger.h"
#include "DeviceLock.h"
#include "LineEvent.h"
#include "ProductionLine.h"
#include "StationSetup.h"

class StationLine final : private LineObserver, private UnitDock, private SerialSource
{
public:
    StationLine();
    ~StationLine() override;
    StationLine(const StationLine&) = delete;
    StationLine& operator=(const StationLine&) = delete;

    // Starts a line on a copy of setup with image. window, when not null, is
    // posted message whenever events wait, and is handed to the driver
    // library's open. False while a line runs.
    bool Start(const StationSetup& setup, const std::vector<BYTE>& image, HWND window, UINT message);
    // Ends the line between units: the unit in hand is finished and logged first.
    void Stop();
    // Ends even the unit in hand, between words, and lets the device go: the session is ending.
    void StopNow();
    // A line runs: from Start until its Ended event.
    bool Running() const { return m_lineRunning; }
    // Until the line's thread has ended, for at most milliseconds; true when it has.
    // After StopNow it ends with the unit in hand.
    bool Join(DWORD milliseconds) const;

    // The events since the last call, in order.
    std::vector<LineEvent> TakeEvents();
    // Signalled while events wait to be taken.
    HANDLE EventsWaiting() const { return m_eventsWaiting; }
    // Of the unit in hand, the words moved so far, written then read, and of
    // how many: read as often as the bar is drawn, rather than told per word,
    // which would hold up the line's thread.
    unsigned WordsMoved() const { return m_wordsMoved; }
    unsigned WordsInAll() const { return m_wordsInAll; }

    // How many attached interfaces carry the units' identifiers.
    void Attached(size_t count);
    // A serial scanned for the next unit; a later scan before the line takes it replaces it.
    void Scanned(const std::string& serial);

private:
    static DWORD WINAPI ThreadProcedure(LPVOID line);
    void Work();
    void RunLine();
    // Once a line has ended: the unit it was done with, when still attached,
    // is kept from other programs until it is removed, or until Start hands
    // over the next line (true).
    bool HoldUntilRemoved();
    // False when no unit is attached.
    bool KeepUnitInHand();
    void ReleaseDevice();
    // A unit attached since a line was done with it is removed first; false on Stop.
    bool UnitInHandRemoved();
    // Connects to the shared ledger, and takes the series' family, size and
    // serials with the image read again at that size.
    LineOutcome OpenShared(std::optional<DatabaseLedger>& shared);
    void Push(LineEvent event);
    // Until ready() holds (true) or Stop (false).
    template <class Ready> bool WaitUntil(Ready ready);

    void Opened(bool newLog, const std::string& next) override;
    void WaitingForSerial() override;
    void Waiting(const std::string& unit) override;
    void Programming(const std::string& unit) override;
    void Progress(bool writing, UINT wordsDone, UINT wordCount) override;
    void Passed(const UnitReport& report) override;
    void Failed(const UnitReport& report) override;
    void Voided(const UnitReport& report) override;
    void AlreadyProgrammed(const std::string& unit) override;
    void NotChecked(const UnitReport& report) override;
    void SerialRefused(const std::string& serial, std::string_view why) override;
    void SerialDropped(const std::string& dropped) override;
    void RemoveUnit() override;

    bool UnitAttached() override;
    bool WaitForArrival() override;
    Arrival WaitForArrivalOrSerial(SerialSource& serials) override;
    bool WaitForRemoval() override;

    bool Next(std::string& serial) override;
    bool Waiting() override;
    void UnitDone(const std::string& unit);
    void Result(LineEvent::Kind kind, const UnitReport& report);

    HWND m_notify = nullptr;
    UINT m_message = 0;
    CRITICAL_SECTION m_lock;
    HANDLE m_wake;           // auto-reset: the units, a scan or Stop changed
    HANDLE m_eventsWaiting;  // manual-reset
    HANDLE m_thread = nullptr;
    std::atomic<bool> m_stopBetweenUnits{false};
    std::atomic<bool> m_stopNow{false};
    std::atomic<bool> m_lineRunning{false};
    std::atomic<unsigned> m_wordsMoved{0};
    std::atomic<unsigned> m_wordsInAll{0};

    // Under m_lock.
    std::vector<LineEvent> m_events;
    size_t m_attached = 0;
    bool m_scanWaiting = false;
    std::string m_scanned;
    // The line told a unit's result and that unit has not been seen removed.
    bool m_unitDone = false;
    std::string m_doneUnit;
    bool m_holding = false;       // the thread waits for that unit's removal after its line ended
    bool m_startWaiting = false;  // Start handed the holding thread the next line

    // The line's thread's own.
    DeviceLock m_held;
    bool m_deviceHeld = false;
    std::string m_awaited;                      // the unit the line waits for
    const ProductionLine* m_running = nullptr;  // while its calls come

    // The line's own, set before its thread starts.
    StationSetup m_setup;
    std::vector<wchar_t> m_logFile;
    LineSetup m_lineSetup;
};
