// kelvra-cli line --serials-from-input: one serial a line of standard input,
// read on a thread of its own so that Ctrl+C ends a wait for the next serial
// at once, whether the input is a console, a pipe or a file. The thread reads
// ahead; the line takes every line read, so a serial given while a unit is
// awaited replaces the one it was to get. A read that never returns keeps the
// thread until the process ends.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Console.h"
#include "ProductionLine.h"

class InputSerials final : public SerialSource
{
public:
    explicit InputSerials(Console& console);
    ~InputSerials() override;
    InputSerials(const InputSerials&) = delete;
    InputSerials& operator=(const InputSerials&) = delete;

    // The next line, without a byte order mark before the first; false at
    // the input's end, or at Ctrl+C.
    bool Next(std::string& serial) override;
    bool Waiting() override;
    // Signalled while Waiting holds, for a wait that also wakes for a serial.
    HANDLE WaitingEvent() const;

private:
    class Lines;
    static DWORD WINAPI Read(LPVOID lines);
    void Begin();

    std::shared_ptr<Lines> m_lines;
    bool m_begun = false;
    HANDLE m_thread = nullptr;
    // Without a thread of their own, lines are read as they are asked for.
    bool m_readHere = false;
    bool m_first = true;
};
