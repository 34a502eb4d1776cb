#include "StationPanel.h"

#include <cstdio>
#include <cstdlib>

#include "Joined.h"
#include "ProductionLine.h"

namespace
{
const char Ellipsis[] = "\xE2\x80\xA6";
const size_t ShownCharacters = 20;

// A first word of lower-case letters alone: never a file name, a serial or an option.
bool StartsWithPlainWord(const std::string& text)
{
    const size_t end = text.find_first_of(" ,:;");
    if (text.empty() || end == 0)
    {
        return false;
    }
    for (size_t index = 0; index < text.size() && index < end; ++index)
    {
        if (text[index] < 'a' || text[index] > 'z')
        {
            return false;
        }
    }
    return true;
}

// A message of the line's, as a sentence.
std::string Sentence(std::string text)
{
    if (StartsWithPlainWord(text))
    {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    if (!text.empty() && text.find_last_of(".?!") != text.size() - 1)
    {
        text += '.';
    }
    return text;
}

// 0x0007 as 0x07: as short as the offset allows, two digits at least.
std::string ShortOffset(const std::string& offset)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02lx", std::strtoul(offset.c_str(), nullptr, 16));
    return text;
}

// A scanned text as typed, so the operator sees what was refused: control
// characters as '?', and not so long that it crowds out the reason.
std::string Shown(const std::string& text)
{
    std::string shown;
    size_t characters = 0;
    size_t index = 0;
    for (; index < text.size(); ++index)
    {
        const auto byte = static_cast<unsigned char>(text[index]);
        const bool continues = (byte & 0xC0) == 0x80;
        if (!continues && characters++ == ShownCharacters)
        {
            break;
        }
        shown += byte < 0x20 || byte == 0x7F ? '?' : text[index];
    }
    return index < text.size() ? shown + Ellipsis : shown;
}

bool AsksForRemoval(PanelState state)
{
    return state == PanelState::Pass || state == PanelState::Fail || state == PanelState::AlreadyProgrammed ||
           state == PanelState::NotChecked || state == PanelState::StillAttached;
}
}  // namespace

StationPanel::StationPanel(ChipFamily family) : m_family(family)
{
    Set(PanelState::Ready, PanelTone::Neutral, "Press Start", "The line starts with the first unit attached.");
}

void StationPanel::Set(PanelState state, PanelTone tone, std::string text, std::string detail)
{
    m_state = state;
    m_tone = tone;
    m_text = std::move(text);
    m_detail = std::move(detail);
    m_note.clear();
}

std::string StationPanel::Named(const std::string& unit) const
{
    return m_family == ChipFamily::A ? unit : Joined({"unit ", unit});
}

std::string StationPanel::Detail() const
{
    const std::string crowd = m_crowd == 0
                                  ? ""
                                  : Joined({std::to_string(m_crowd),
                                            " units are attached: leave one. The libraries cannot tell them apart.\n"});
    const char* const noteGap = m_note.empty() || m_detail.empty() ? "" : " ";
    return Joined({crowd, m_notice, m_notice.empty() || m_detail.empty() ? "" : "\n", m_detail, noteGap, m_note});
}

void StationPanel::Moved(unsigned words, unsigned inAll)
{
    if (m_state == PanelState::Programming && inAll != 0)
    {
        m_progress = words;
        m_progressRange = inAll;
    }
}

bool StationPanel::Attached(size_t count)
{
    const size_t crowd = count > 1 ? count : 0;
    const bool changed = crowd != m_crowd;
    m_crowd = crowd;
    return changed;
}

void StationPanel::Refuse(const std::string& why)
{
    Set(PanelState::NotStarted, PanelTone::Bad, "Not started", Sentence(why));
}

void StationPanel::Begin()
{
    m_passed = m_failed = m_void = 0;
    m_notice.clear();
    m_lastFailed.clear();
    m_next.clear();
    m_progress = 0;
    m_awaitingRemoval = false;
    m_running = true;
    m_stopping = false;
    m_seriesDone = false;
    Set(PanelState::Starting, PanelTone::Neutral, Joined({"Starting", Ellipsis}), "");
}

void StationPanel::Stopping(bool closing)
{
    m_stopping = true;
    m_note = Joined(
        {closing ? "Closing" : "Stopping", m_state == PanelState::Programming ? " once this unit is done." : "."});
}

bool StationPanel::TakesScans() const
{
    return m_running && !m_stopping &&
           (m_state == PanelState::ScanSerial || m_state == PanelState::AttachUnit ||
            m_state == PanelState::SerialRefused);
}

PanelSound StationPanel::ScanRefused()
{
    if (m_state == PanelState::NotStarted)
    {
        return PanelSound::None;  // its reason stays up
    }
    m_note = !m_running   ? "The line is not running: press Start, then scan."
             : m_stopping ? "The line is stopping: scan again once Start is pressed."
                          : "Scan refused: a unit is in hand. Scan the next unit's label once this one is removed.";
    return PanelSound::Refused;
}

PanelSound StationPanel::Apply(const LineEvent& event)
{
    using Kind = LineEvent::Kind;
    switch (event.kind)
    {
    case Kind::Opened:
        m_next = event.next;
        m_notice = event.newLog ? Sentence(NewLogText(event.next, m_family)) : m_notice;
        break;
    case Kind::WaitingForSerial:
        m_awaitingRemoval = false;
        m_next.clear();
        m_progress = 0;
        // A refusal stays up until a serial is taken: the operator must see why.
        if (m_state != PanelState::SerialRefused)
        {
            Set(PanelState::ScanSerial, PanelTone::Neutral, "Scan the unit's serial",
                "Scan its label, or type the serial and press Enter.");
        }
        break;
    case Kind::Waiting:
        Waiting(event.unit);
        break;
    case Kind::Programming:
        m_notice.clear();
        m_next.clear();  // known once this unit's result is
        m_progress = 0;
        Set(PanelState::Programming, PanelTone::Working, Joined({"Programming ", Named(event.unit), Ellipsis}),
            "Writing, then reading back: leave the unit attached.");
        break;
    case Kind::Voided:
        // The last one said; how many there are, under the bar; why, in the log.
        ++m_void;
        m_notice = Joined({"Void: ", Named(event.unit), ", reserved without a result; no unit gets it again."});
        break;
    case Kind::AlreadyProgrammed:
        m_progress = 0;
        Set(PanelState::AlreadyProgrammed, PanelTone::Warning,
            Joined({"Unit already programmed as ", event.unit, ": remove it"}),
            "It passed in this log, so it is not written again.");
        return PanelSound::Warning;
    case Kind::NotChecked:
        m_progress = 0;
        Set(PanelState::NotChecked, PanelTone::Warning, "Unit not checked: remove it",
            Joined({Sentence(event.text), " It was attached when the line started, and is not written."}));
        return PanelSound::Warning;
    case Kind::StillAttached:
        m_awaitingRemoval = true;
        m_progress = 0;
        Set(PanelState::StillAttached, PanelTone::Warning, "Remove the unit first",
            Sentence(Joined({Named(event.unit), " is still attached since its result, and is not written again"})));
        return PanelSound::Warning;
    case Kind::SerialRefused:
        m_notice.clear();
        m_refusal = Joined({"The serial \"", Shown(event.unit), "\" ", event.text, "."});
        Set(PanelState::SerialRefused, PanelTone::Warning, Joined({"Refused: ", Shown(event.unit)}),
            Joined({m_refusal, " No unit was touched: scan another."}));
        return PanelSound::Refused;
    case Kind::SerialDropped:
        m_next.clear();
        m_detail = Joined({m_refusal, " ", event.unit, " is dropped too: scan this unit's label again."});
        break;
    case Kind::RemoveUnit:
        m_awaitingRemoval = true;
        break;
    case Kind::Passed:
    case Kind::Failed:
        return Result(event);
    case Kind::Removed:
        Removed();
        break;
    case Kind::Ended:
        return Ended(event);
    }
    return PanelSound::None;
}

void StationPanel::Waiting(const std::string& unit)
{
    // Told again with another serial: a scan replaced the one waiting.
    const bool replaced = m_state == PanelState::AttachUnit && !m_next.empty() && m_next != unit;
    const std::string replacedText = replaced ? Joined({unit, " replaces ", m_next, ". "}) : "";
    m_awaitingRemoval = false;
    m_next = unit;
    m_progress = 0;
    Set(PanelState::AttachUnit, PanelTone::Neutral, "Attach a unit",
        unit == m_lastFailed ? Joined({"It gets ", Named(unit), " again: only for the unit that failed with it."})
                             : Joined({replacedText, "It gets ", Named(unit), "."}));
}

PanelSound StationPanel::Result(const LineEvent& event)
{
    const std::string unit = Named(event.unit);
    m_next = event.next;
    if (event.kind == LineEvent::Kind::Passed)
    {
        ++m_passed;
        m_progress = m_progressRange;
        m_lastFailed.clear();
        Set(PanelState::Pass, PanelTone::Good, Joined({"PASS ", unit, ": remove the unit"}),
            Sentence(Joined({unit, " is written, read back and logged"})));
        return PanelSound::Pass;
    }
    ++m_failed;
    m_lastFailed = event.unit;
    const bool differs = event.fault == UnitFault::VerifyDiffers;
    const std::string reason = Joined({ReasonOf(event.fault), differs ? ShortOffset(event.firstDifference) : ""});
    Set(PanelState::Fail, PanelTone::Bad, Joined({"FAIL: ", reason, ": remove the unit"}),
        Joined({Sentence(Joined({unit, ": ", Sentence(event.text)})), " Put the unit aside."}));
    return PanelSound::Fail;
}

PanelSound StationPanel::Ended(const LineEvent& event)
{
    m_running = false;
    m_stopping = false;
    m_awaitingRemoval = AsksForRemoval(m_state);
    m_next = event.next;
    switch (event.end)
    {
    case LineEnd::Done:
        m_seriesDone = true;
        m_note = "The series is done.";
        return PanelSound::None;
    case LineEnd::StoppedBetweenUnits:
    case LineEnd::StoppedAfterUnit:
        if (m_awaitingRemoval)
        {
            m_note = "The line is stopped: press Start to go on.";
        }
        else
        {
            Set(PanelState::Stopped, PanelTone::Neutral, "Stopped", "Press Start to go on.");
        }
        return PanelSound::None;
    case LineEnd::SeriesExhausted:
        Set(PanelState::Stopped, PanelTone::Warning, "Series used up", Sentence(event.text));
        return PanelSound::Warning;
    case LineEnd::ResultNotLogged:
        Set(PanelState::Halted, PanelTone::Bad, "Not logged: put the unit aside", Sentence(event.text));
        return PanelSound::Fail;
    case LineEnd::LedgerLostBeforeUnit:
        Set(PanelState::Halted, PanelTone::Bad, "Ledger lost: the unit was not touched", Sentence(event.text));
        return PanelSound::Fail;
    default:
        break;
    }
    m_awaitingRemoval = false;
    Set(event.opened ? PanelState::Halted : PanelState::NotStarted, PanelTone::Bad,
        event.opened ? "Line stopped by a fault" : "Not started", Sentence(event.text));
    return PanelSound::Fail;
}

void StationPanel::Removed()
{
    if (m_running || !AsksForRemoval(m_state))
    {
        return;
    }
    m_awaitingRemoval = false;
    Set(PanelState::Stopped, PanelTone::Neutral, m_seriesDone ? "Series done" : "Stopped",
        m_seriesDone ? "The series is done: set up the next one to go on." : "Press Start to go on.");
}
