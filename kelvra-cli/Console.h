// Where kelvra-cli's output goes: results to stdout, messages and the
// progress bar to stderr. Text is UTF-8; a console shows it as such.
#pragma once

#include <string>
#include <vector>

#include "WideText.h"

class Console
{
public:
    virtual ~Console() = default;

    virtual void Out(const std::string& text) = 0;
    virtual void Err(const std::string& text) = 0;
    // True when stderr shows on a console, where a line can redraw itself.
    virtual bool ErrIsConsole() const = 0;
    // The next line of standard input without its line end; false at its end.
    virtual bool InLine(std::string& line)
    {
        (void)line;
        return false;
    }
};

// The process's own standard output and standard error.
class WindowsConsole final : public Console
{
public:
    WindowsConsole();

    void Out(const std::string& text) override;
    void Err(const std::string& text) override;
    bool ErrIsConsole() const override { return m_errIsConsole; }
    bool InLine(std::string& line) override;

private:
    bool m_errIsConsole;
};

// A bar on stderr that redraws itself in place, as "writing [###...] 12/64 words".
class ProgressBar
{
public:
    explicit ProgressBar(Console& console) : m_console(console) {}

    void Show(const char* verb, unsigned done, unsigned count);
    // Wipes the bar, if one is shown.
    void Clear();

private:
    Console& m_console;
    bool m_shown = false;
};
