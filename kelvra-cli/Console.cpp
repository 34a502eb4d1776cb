#include "Console.h"

#include <windows.h>

#include "Joined.h"

namespace
{
const unsigned ProgressBarWidth = 32;
// Wider than any bar, then back to its start.
const char BlankBar[] = "\r                                                        \r";
static_assert(sizeof BlankBar == ProgressBarWidth + 24 + 3, "as wide as a bar");

bool IsConsole(HANDLE handle)
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}
}  // namespace

WindowsConsole::WindowsConsole() : m_errIsConsole(IsConsole(GetStdHandle(STD_ERROR_HANDLE))) {}

void WindowsConsole::Out(const std::string& text)
{
    WriteStandard(STD_OUTPUT_HANDLE, text);
}

void WindowsConsole::Err(const std::string& text)
{
    WriteStandard(STD_ERROR_HANDLE, text);
}

bool WindowsConsole::InLine(std::string& line)
{
    // Byte by byte, so nothing past the line is taken from a pipe; a line is
    // a serial or two, typed or scanned.
    line.clear();
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char character = 0;
    DWORD read = 0;
    bool any = false;
    for (;;)
    {
        SetLastError(ERROR_SUCCESS);
        if (ReadFile(input, &character, 1, &read, nullptr) && read == 1)
        {
            any = true;
            if (character == '\n')
            {
                break;
            }
            line += character;
            continue;
        }
        // Ctrl+C cuts a console read short; the input has not ended, and the
        // Ctrl+C itself reaches the program through its handler.
        if (GetLastError() != ERROR_OPERATION_ABORTED)
        {
            break;
        }
    }
    if (!line.empty() && line.back() == '\r')
    {
        line.pop_back();
    }
    return any;
}

void ProgressBar::Show(const char* verb, unsigned done, unsigned count)
{
    m_shown = true;
    const unsigned filled = count == 0 ? 0 : done * ProgressBarWidth / count;
    std::string bar(ProgressBarWidth, '.');
    bar.replace(0, filled, filled, '#');
    m_console.Err(Joined({"\r", verb, " [", bar, "] ", std::to_string(done), "/", std::to_string(count), " words"}));
}

void ProgressBar::Clear()
{
    if (m_shown)
    {
        m_console.Err(BlankBar);
        m_shown = false;
    }
}
