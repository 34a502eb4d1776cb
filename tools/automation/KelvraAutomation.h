// Drives a running Kelvra from another process the way a person at the
// keyboard would: it finds Kelvra's window, clicks its buttons, picks list
// rows, fills in the Open dialog and reads back what the dialog shows. It
// uses only window messages and the window lookups any process may make.
//
// Every call is bounded by a timeout; a failure is an AutomationError whose
// text is one line saying what did not happen.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "AutomationError.h"
#include "ChipFamily.h"
#include "Deadline.h"
#include "DeviceBroadcast.h"
#include "MessageLines.h"

namespace KelvraAutomation
{

namespace DefaultTimeout
{
// A single exchange with Kelvra's window; longer than a VT-A operation, so a
// read that comes while one runs still gets its answer.
inline constexpr Milliseconds Answer{10000};
// Finding Kelvra's window, and the Open dialog appearing or closing.
inline constexpr Milliseconds Window{20000};
// A write or verify from the press to its last line.
inline constexpr Milliseconds Operation{120000};
// Kelvra ending after Exit.
inline constexpr Milliseconds Exit{15000};
}  // namespace DefaultTimeout

using ::ChipFamily;

struct DeviceList
{
    std::vector<std::string> entries;
    int selected = -1;  // -1 when no entry is selected
};

struct EepromSizeList
{
    std::vector<std::string> entries;
    int selected = -1;
    bool shown = false;  // Kelvra shows the list for VT-C only
};

struct OperationResult
{
    std::string finalLine;           // the line that ended it, e.g. "Write Success!"
    std::vector<std::string> lines;  // the whole message list at that moment
};

// A press of Write or Verify whose end has not been waited for yet.
struct PendingOperation
{
    OperationKind kind;
    // The press found lines in the list and selected the last one; the
    // operation's emptying of the list clears that selection.
    bool listWasMarked;
};

class KelvraWindow
{
public:
    // Waits for Kelvra's main dialog of the process, or of any process when
    // processId is 0 (then there must be just one).
    static KelvraWindow Find(DWORD processId, Milliseconds timeout = DefaultTimeout::Window);

    explicit KelvraWindow(HWND dialog);

    HWND Handle() const { return m_dialog; }
    DWORD ProcessId() const { return m_processId; }

    // Until the dialog is shown and its thread answers messages.
    void WaitUntilReady(Milliseconds timeout = DefaultTimeout::Window) const;
    bool Answers(Milliseconds timeout) const;

    DeviceList Devices() const;

    // Clicks the radio button "VT-A", "VT-B" or "VT-C".
    void ChooseFamily(ChipFamily family) const;
    std::optional<ChipFamily> CheckedFamily() const;

    EepromSizeList EepromSizes() const;
    // Picks a row of the EEPROM size list, which must be shown, by index or
    // by its text (or the unique row starting with the text).
    void ChooseEepromSize(int index) const;
    void ChooseEepromSize(const std::string& text) const;

    // Presses "...", types the path into the Open dialog and confirms it;
    // returns once Kelvra has taken the choice.
    void Browse(const std::string& path, Milliseconds timeout = DefaultTimeout::Window) const;
    // Presses "..." and cancels the Open dialog.
    void CancelBrowse(Milliseconds timeout = DefaultTimeout::Window) const;

    // The text of the image path box.
    std::string ImagePath() const;

    std::vector<std::string> Messages() const;

    bool IsWriteEnabled() const;
    bool IsVerifyEnabled() const;

    // Presses Write (Write and WriteThenVerify) or Verify and returns at once.
    PendingOperation StartOperation(OperationKind kind) const;
    // Until the list shows the line that ends the operation and Kelvra
    // answers again.
    OperationResult WaitForOperationEnd(const PendingOperation& pending,
                                        Milliseconds timeout = DefaultTimeout::Operation) const;
    OperationResult RunOperation(OperationKind kind, Milliseconds timeout = DefaultTimeout::Operation) const;

    // Sends the notification Windows sends when a device interface of the
    // class arrives or is removed; returns once Kelvra has handled it.
    void SendDeviceChange(DeviceEvent event, const GUID& interfaceClass,
                          DWORD deviceType = DBT_DEVTYP_DEVICEINTERFACE) const;

    // Clicks Exit; returns at once.
    void PressExit() const;
    // Until Kelvra's process has ended, or, without a process handle, until
    // its window is gone.
    void WaitUntilClosed(HANDLE process, Milliseconds timeout = DefaultTimeout::Exit) const;

private:
    HWND Control(int id) const;
    void RequireWindow() const;
    void RequireClickable(int buttonId, const char* caption) const;
    void Click(int buttonId) const;
    bool MarkMessageList() const;
    std::optional<bool> HasOperationStarted(const PendingOperation& pending) const;
    bool IsOperationRunning() const;
    HWND PressBrowseAndFindOpenDialog(Milliseconds timeout, ULONG_PTR& click) const;
    void CloseOpenDialog(HWND openDialog, int buttonId, ULONG_PTR click, Milliseconds timeout,
                         const std::string& failure) const;

    HWND m_dialog;
    DWORD m_processId;
};

}  // namespace KelvraAutomation
