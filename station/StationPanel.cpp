#include "StationPanel.h"

#include <cstdio>
#include <cstdlib>

#include "Joined.h"

namespace
{
const char Ellipsis[] = "\xE2\x80\xA6";

// A message of the line's, as a sentence.
std::string Sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
    {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    if (!text.empty() && text.back() != '.')
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

// A scanned text as the panel can show it: control bytes as '?', and not
// so long that it crowds out the reason.
std::string Shown(const std::string& text)
{
    std::string shown = text.substr(0, 20);
    for (char& character : shown)
    {
        character = character < 0x20 || character > 0x7E ? '?' : character;
    }
    return text.size() > shown.size() ? shown + Ellipsis : shown;
}

bool AsksForRemoval(PanelState state)
{
    return state == PanelState::Pass || state == PanelState::Fail || state == PanelState::AlreadyProgrammed ||
           state == PanelState::NotChecked;
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
}

std::string StationPanel::Named(const std::string& unit) const
{
    return m_family == ChipFamily::A ? unit : Joined({"unit ", unit});
}

std::string StationPanel::Detail() const
{
    const std::string crowd =
        m_crowd == 0 ? ""
                     : Joined({std::to_string(m_crowd), " units are attached, and the driver libraries cannot tell "
                                                        "them apart: leave one attached.\n"});
    return Joined({crowd, m_notice, m_notice.empty() || m_detail.empty() ? "" : "\n", m_detail});
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
    Set(PanelState::Starting, PanelTone::Neutral, Joined({"Starting", Ellipsis}), "");
}

void StationPanel::Stopping(bool closing)
{
    m_detail = Joined(
        {closing ? "Closing" : "Stopping", m_state == PanelState::Programming ? " once this unit is done." : "."});
}

void StationPanel::ScanIgnored()
{
    if (m_state != PanelState::NotStarted)
    {
        m_detail = "The line is not running: press Start, then scan.";
    }
}

PanelSound StationPanel::Apply(const LineEvent& event)
{
    using Kind = LineEvent::Kind;
    switch (event.kind)
    {
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
        m_awaitingRemoval = false;
        m_next = event.unit;
        m_progress = 0;
        Set(PanelState::AttachUnit, PanelTone::Neutral, "Attach a unit",
            event.unit == m_lastFailed
                ? Joined({"It gets ", Named(event.unit), " again: only for the unit that failed with it."})
                : Joined({"It gets ", Named(event.unit), "."}));
        break;
    case Kind::Programming:
        m_notice.clear();
        m_next.clear();
        m_progress = 0;
        Set(PanelState::Programming, PanelTone::Working, Joined({"Programming ", Named(event.unit), Ellipsis}),
            "Writing, then reading back: leave the unit attached.");
        break;
    case Kind::Voided:
        // The last one said in full; how many there are, under the bar.
        ++m_void;
        m_notice = Joined({"Void: ", Sentence(event.text)});
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
    case Kind::SerialRefused:
        Set(PanelState::SerialRefused, PanelTone::Warning, Joined({"Refused: ", Shown(event.unit)}),
            Joined({"The serial \"", Shown(event.unit), "\" ", event.text, ". No unit was touched: scan another."}));
        return PanelSound::Refused;
    case Kind::RemoveUnit:
        m_awaitingRemoval = true;
        break;
    case Kind::Passed:
    case Kind::Failed:
        return Result(event);
    case Kind::Ended:
        return Ended(event);
    }
    return PanelSound::None;
}

PanelSound StationPanel::Result(const LineEvent& event)
{
    const std::string unit = Named(event.unit);
    if (event.kind == LineEvent::Kind::Passed)
    {
        ++m_passed;
        m_progress = m_progressRange;
        m_lastFailed.clear();
        Set(PanelState::Pass, PanelTone::Good, Joined({"PASS ", unit, ": remove the unit"}),
            Joined({unit, " is written, read back and logged."}));
        return PanelSound::Pass;
    }
    ++m_failed;
    m_lastFailed = event.unit;
    const bool differs = event.fault == UnitFault::VerifyDiffers;
    const std::string reason = Joined({ReasonOf(event.fault), differs ? ShortOffset(event.firstDifference) : ""});
    Set(PanelState::Fail, PanelTone::Bad, Joined({"FAIL: ", reason, ": remove the unit"}),
        Joined({unit, ": ", Sentence(event.text), " Put the unit aside."}));
    return PanelSound::Fail;
}

PanelSound StationPanel::Ended(const LineEvent& event)
{
    m_awaitingRemoval = false;
    m_next.clear();
    switch (event.end)
    {
    case LineEnd::Done:
        m_detail = Joined({m_detail, " The series is done."});
        return PanelSound::None;
    case LineEnd::StoppedBetweenUnits:
    case LineEnd::StoppedAfterUnit:
        if (AsksForRemoval(m_state))
        {
            m_detail = Joined({m_detail, " The line is stopped: press Start to go on."});
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
    Set(event.opened ? PanelState::Halted : PanelState::NotStarted, PanelTone::Bad,
        event.opened ? "Line stopped by a fault" : "Not started", Sentence(event.text));
    return PanelSound::Fail;
}
