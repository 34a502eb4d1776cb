// What the station's large panel says, and the run's figures beside it, as
// the line's events arrive. A plain class: the window draws it, tests read it.
// Each state has a text of its own, so its colour is never the only signal,
// and each result a sound of its own, for an operator who is not looking.
#pragma once

#include <string>

#include "DriverLibrary.h"
#include "LineEvent.h"

enum class PanelState
{
    Ready,              // press Start
    NotStarted,         // the set-up or the log was refused; nothing was touched
    Starting,           // Start was pressed
    ScanSerial,         // the line waits for a scanned serial
    AttachUnit,         // the line waits for a unit
    Programming,        // a unit is written and read back
    Pass,               // remove the unit
    Fail,               // remove the unit
    AlreadyProgrammed,  // the unit attached passed before: remove it
    StillAttached,      // the unit the last line was done with is still attached: remove it
    NotChecked,         // the unit attached could not be read: remove it
    SerialRefused,      // a scanned serial no unit may have: scan another
    Stopped,            // press Start to go on
    Halted,             // a fault ended the line
};

// Colours paired with the states' texts.
enum class PanelTone
{
    Neutral,
    Working,
    Good,
    Bad,
    Warning,
};

enum class PanelSound
{
    None,
    Pass,
    Fail,
    Warning,
    Refused,
};

class StationPanel
{
public:
    explicit StationPanel(ChipFamily family);

    // The set-up cannot be used: nothing can start.
    void Refuse(const std::string& why);
    // Start was pressed: a new run, counted from zero.
    void Begin();
    // Stop was pressed, or the window is closing, while the line runs.
    void Stopping(bool closing);
    // A scan now goes to the line: it runs, is not stopping, and has no unit in hand.
    bool TakesScans() const;
    // A serial was scanned while the panel takes none: it says why. A scan
    // while a unit is in hand could be that unit's label, so it is never
    // kept for the next one.
    PanelSound ScanRefused();
    // How many attached interfaces carry the units' identifiers; true when
    // that changes what the panel says (more than one cannot be programmed).
    bool Attached(size_t count);
    PanelSound Apply(const LineEvent& event);
    // The words moved of the unit being programmed, and of how many.
    void Moved(unsigned words, unsigned inAll);

    PanelState State() const { return m_state; }
    PanelTone Tone() const { return m_tone; }
    const std::string& Text() const { return m_text; }
    // The state's detail, after a notice (serials made void, a new log) and
    // before a note (the line stopping, a scan refused).
    std::string Detail() const;
    // The serial, or unit number, the next unit gets; empty when not known yet.
    const std::string& NextUnit() const { return m_next; }
    unsigned Passed() const { return m_passed; }
    unsigned Failed() const { return m_failed; }
    unsigned Voided() const { return m_void; }
    unsigned Progress() const { return m_progress; }
    unsigned ProgressRange() const { return m_progressRange; }
    // A unit is awaited, or its removal: the devices are worth a look.
    bool WaitsForDevices() const { return m_state == PanelState::AttachUnit || m_awaitingRemoval; }

private:
    void Set(PanelState state, PanelTone tone, std::string text, std::string detail);
    std::string Named(const std::string& unit) const;
    void Waiting(const std::string& unit);
    PanelSound Result(const LineEvent& event);
    PanelSound Ended(const LineEvent& event);
    void Removed();

    ChipFamily m_family;
    PanelState m_state = PanelState::Ready;
    PanelTone m_tone = PanelTone::Neutral;
    std::string m_text;
    std::string m_detail;
    std::string m_notice;
    std::string m_note;
    std::string m_next;
    std::string m_lastFailed;
    std::string m_refusal;  // why the last scan was refused
    unsigned m_passed = 0;
    unsigned m_failed = 0;
    unsigned m_void = 0;
    unsigned m_progress = 0;
    unsigned m_progressRange = 1;
    size_t m_crowd = 0;  // more than one unit attached
    bool m_awaitingRemoval = false;
    bool m_running = false;
    bool m_stopping = false;
    bool m_seriesDone = false;
};
