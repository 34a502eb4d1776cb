// Drives a running KelvraStation.exe from another process as an operator
// would: Start, Stop, a scanner's keystrokes into the focused serial field,
// the window closed; and reads back the panel, the run's figures and the
// log's rows in the list. Every call is bounded; a failure is an
// AutomationError saying what did not happen.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "AutomationError.h"
#include "Deadline.h"
#include "DeviceBroadcast.h"

namespace KelvraAutomation
{

class StationWindow
{
public:
    // Waits for the station window of the process.
    static StationWindow Find(DWORD processId, Milliseconds timeout = Milliseconds(20000));

    explicit StationWindow(HWND window) : m_window(window) {}

    HWND Handle() const { return m_window; }

    // Until the window is shown and its thread answers.
    void WaitUntilReady(Milliseconds timeout = Milliseconds(20000)) const;

    // A control's text, e.g. IDC_PANEL, IDC_DETAIL, IDC_PASSED, in UTF-8.
    std::string Text(int id) const;
    // Until the panel's text satisfies wanted; returns that text.
    std::string WaitForPanel(const std::function<bool(const std::string&)>& wanted,
                             Milliseconds timeout = Milliseconds(60000)) const;
    std::string WaitForPanel(const std::string& text, Milliseconds timeout = Milliseconds(60000)) const;
    bool IsEnabled(int id) const;
    // Until the line has ended: Start can be pressed again.
    void WaitUntilStopped(Milliseconds timeout = Milliseconds(60000)) const;

    // The list's rows, the newest first, each its cells.
    std::vector<std::vector<std::string>> LogRows() const;

    void Click(int id) const;
    // A scanner's keystrokes: each character, then Enter, to the control that
    // has the keyboard focus, which must be the serial field.
    void Scan(const std::string& text) const;
    void SendDeviceChange(DeviceEvent event) const;
    // What the close box sends; returns at once.
    void Close() const;

private:
    HWND Control(int id) const;

    HWND m_window;
};

}  // namespace KelvraAutomation
