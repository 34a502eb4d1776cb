#include "InputSerials.h"

#include <deque>

#include "Interrupt.h"

namespace
{
const char ByteOrderMark[] = "\xEF\xBB\xBF";
// A thread between two reads ends at once; one in a read may never return.
const DWORD ReaderEndMilliseconds = 1000;
}  // namespace

// The lines read and not yet taken, shared by the line and the thread.
class InputSerials::Lines
{
public:
    explicit Lines(Console& console) : m_console(console), m_waiting(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        InitializeCriticalSection(&m_lock);
    }
    ~Lines()
    {
        CloseHandle(m_waiting);
        DeleteCriticalSection(&m_lock);
    }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    HANDLE Waiting() const { return m_waiting; }

    // False once the input ended or the line no longer wants it.
    bool ReadOne(bool first)
    {
        if (!Reading(true))
        {
            return false;
        }
        std::string line;
        const bool read = m_console.InLine(line);
        if (first && line.compare(0, sizeof ByteOrderMark - 1, ByteOrderMark) == 0)
        {
            line.erase(0, sizeof ByteOrderMark - 1);
        }
        EnterCriticalSection(&m_lock);
        m_reading = false;
        if (read)
        {
            m_lines.push_back(line);
        }
        m_ended = !read;
        SetEvent(m_waiting);
        LeaveCriticalSection(&m_lock);
        return read;
    }

    enum class Taken
    {
        Line,
        None,
        Ended,
    };
    Taken Take(std::string& line)
    {
        EnterCriticalSection(&m_lock);
        Taken taken = m_ended ? Taken::Ended : Taken::None;
        if (!m_lines.empty())
        {
            line = m_lines.front();
            m_lines.pop_front();
            taken = Taken::Line;
        }
        if (m_lines.empty() && !m_ended)
        {
            ResetEvent(m_waiting);
        }
        LeaveCriticalSection(&m_lock);
        return taken;
    }

    // Tells the thread to read no more; true when it is not in a read.
    bool Stop() { return !Reading(false); }

private:
    // Marks a read as begun, unless the line no longer wants one; returns
    // whether one is under way.
    bool Reading(bool begin)
    {
        EnterCriticalSection(&m_lock);
        m_stopped = m_stopped || !begin;
        m_reading = m_reading || (begin && !m_stopped);
        const bool reading = m_reading;
        LeaveCriticalSection(&m_lock);
        return reading;
    }

    Console& m_console;
    CRITICAL_SECTION m_lock;
    HANDLE m_waiting;  // manual reset: set while a line or the input's end waits
    std::deque<std::string> m_lines;
    bool m_ended = false;
    bool m_stopped = false;
    bool m_reading = false;
};

InputSerials::InputSerials(Console& console) : m_lines(std::make_shared<Lines>(console)) {}

InputSerials::~InputSerials()
{
    if (m_begun && m_lines->Stop() && m_thread != nullptr)
    {
        WaitForSingleObject(m_thread, ReaderEndMilliseconds);
    }
    if (m_thread != nullptr)
    {
        CloseHandle(m_thread);
    }
}

void InputSerials::Begin()
{
    if (m_begun)
    {
        return;
    }
    m_begun = true;
    auto* shared = new std::shared_ptr<Lines>(m_lines);
    m_thread = CreateThread(nullptr, 0, Read, shared, 0, nullptr);
    if (m_thread == nullptr)
    {
        delete shared;
        m_readHere = true;
    }
}

DWORD WINAPI InputSerials::Read(LPVOID lines)
{
    const std::unique_ptr<std::shared_ptr<Lines>> shared(static_cast<std::shared_ptr<Lines>*>(lines));
    for (bool first = true; (*shared)->ReadOne(first); first = false)
    {
    }
    return 0;
}

bool InputSerials::Next(std::string& serial)
{
    Begin();
    const HANDLE wakes[] = {m_lines->Waiting(), InterruptEvent()};
    for (;;)
    {
        if (InterruptRequested())
        {
            return false;
        }
        if (m_readHere && !Waiting())
        {
            m_lines->ReadOne(m_first);
            m_first = false;
        }
        const Lines::Taken taken = m_lines->Take(serial);
        if (taken != Lines::Taken::None)
        {
            return taken == Lines::Taken::Line;
        }
        WaitForMultipleObjects(2, wakes, FALSE, INFINITE);
    }
}

bool InputSerials::Waiting()
{
    Begin();
    return WaitForSingleObject(m_lines->Waiting(), 0) == WAIT_OBJECT_0;
}

HANDLE InputSerials::WaitingEvent() const
{
    return m_lines->Waiting();
}
