// Drives the real Kelvra dialog window the way Windows does for a person:
// button clicks, key presses, list selections and device notifications arrive
// as the messages Windows sends, and the controls are read back.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "KelvraDlg.h"

// Windows' own texts of a list box or combo box, in order.
std::vector<std::string> ListBoxLines(HWND listBox);
std::vector<std::string> ComboBoxEntries(HWND comboBox);

// Runs messages of this thread through the dialog manager until the
// condition holds or the time is up; true when the condition held.
bool PumpMessagesUntil(HWND dialog, const std::function<bool()>& condition, DWORD timeoutMilliseconds);

// A modeless instance of the dialog, created from the real template.
class DialogHarness
{
public:
    explicit DialogHarness(CKelvraDlg& dialog);
    ~DialogHarness();
    DialogHarness(const DialogHarness&) = delete;
    DialogHarness& operator=(const DialogHarness&) = delete;

    HWND Window() const { return m_dialog.m_hWnd; }
    HWND Control(int id) const { return GetDlgItem(m_dialog.m_hWnd, id); }

    // BM_CLICK: the button receives the mouse press and release of a click.
    void Click(int id);
    // What choosing a row of the size list does: the selection, then the
    // CBN_SELCHANGE notification the combo box sends its parent.
    void SelectSize(int index);
    // Runs the messages that are waiting.
    void Pump();
    bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds = 10000);
    // Closes the dialog the way the Exit button does, then destroys the window.
    void Close();

    std::vector<std::string> Messages() const { return ListBoxLines(Control(IDC_MESSAGES)); }
    std::vector<std::string> DeviceEntries() const { return ComboBoxEntries(Control(IDC_DEVICE_LIST)); }
    std::string Text(int id) const;
    bool IsChecked(int id) const;
    bool IsVisible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
    bool IsEnabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
    int CurrentSelection(int comboId) const;

private:
    CKelvraDlg& m_dialog;
};

// Runs the dialog modally while another thread acts on it as a user would;
// returns what DoModal returned. The action gets the dialog window and the
// dialog's thread id. Bounded: a dialog still open 20 s after the action is
// closed with WM_CLOSE.
INT_PTR RunModalWhile(CKelvraDlg& dialog, const std::function<void(HWND dialogWindow, DWORD threadId)>& action);

// Records the messages the calling thread's windows receive, sent and posted
// alike, while it lives; another thread may read it. One at a time.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    int Count(UINT message) const;
    int Count(UINT message, WPARAM wParam) const;

private:
    static LRESULT CALLBACK SentMessage(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PostedMessage(int code, WPARAM wParam, LPARAM lParam);
    void Record(UINT message, WPARAM wParam);

    HHOOK m_sentHook;
    HHOOK m_postedHook;
    mutable std::mutex m_lock;
    std::vector<std::pair<UINT, WPARAM>> m_messages;
};

// Finds a visible top-level dialog of this process with the given caption,
// waiting up to the timeout.
HWND WaitForProcessDialog(const char* caption, DWORD timeoutMilliseconds);

// Posts the key press and release of a virtual key to the focused window of a thread.
void PressKeyInThread(DWORD threadId, UINT virtualKey);

// Posts the mouse press and release of a click inside a control; unlike
// BM_CLICK it goes through the control's own handling, in its turn in the queue.
void PostClick(HWND control);
