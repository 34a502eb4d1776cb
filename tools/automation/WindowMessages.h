// Talking to another process's windows with nothing but window messages.
// Every send is bounded; a window whose thread is busy simply does not
// answer in time, which callers tell apart from a refusal.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Deadline.h"

namespace KelvraAutomation
{

// The result of SendMessageTimeoutW, or nothing when the window's thread did
// not answer within the timeout (or the window is gone).
std::optional<LRESULT> SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Milliseconds timeout);

// The same in the ANSI form, for records whose layout is the A one.
std::optional<LRESULT> SendAnsiWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Milliseconds timeout);

// True when the window's thread answers WM_NULL within the timeout.
bool Answers(HWND window, Milliseconds timeout);

// Item texts of a list box or a combo box. Across processes Wine hands item
// texts back in UTF-16 only, so they are read wide and converted here.
std::optional<std::vector<std::string>> ReadListBoxLines(HWND listBox, Milliseconds timeoutPerMessage);
std::optional<std::vector<std::string>> ReadComboBoxEntries(HWND comboBox, Milliseconds timeoutPerMessage);

// WM_GETTEXT, read wide and converted.
std::optional<std::string> ReadWindowText(HWND window, Milliseconds timeoutPerMessage);

// WM_SETTEXT with the text widened; true when the window took it.
bool SetWindowTextWithin(HWND window, const std::string& text, Milliseconds timeout);

// Conversions through the ANSI code page, the one Kelvra's own texts use;
// ASCII passes through byte for byte.
std::string NarrowFromWide(const std::wstring& wide);
std::wstring WideFromNarrow(const std::string& narrow);

// Visible top-level dialogs (class "#32770") with this exact caption, of one
// process or, when processId is 0, of any.
std::vector<HWND> FindTopLevelDialogs(DWORD processId, const std::string& caption);

DWORD ProcessIdOf(HWND window);

}  // namespace KelvraAutomation
