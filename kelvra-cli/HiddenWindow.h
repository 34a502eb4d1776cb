// A window of the program's own that is never shown: the libraries take a
// window handle when they open a device, and device notifications come to a
// window.
#pragma once

#include <windows.h>

class HiddenWindow
{
public:
    // Registers the class on first use; Handle() is null when the window
    // cannot be made.
    HiddenWindow(LPCWSTR className, WNDPROC procedure, LPCWSTR title);
    ~HiddenWindow();
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    HWND Handle() const { return m_window; }

private:
    HWND m_window;
};
