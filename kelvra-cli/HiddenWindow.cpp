#include "HiddenWindow.h"

HiddenWindow::HiddenWindow(LPCWSTR className, WNDPROC procedure, LPCWSTR title) : m_window(nullptr)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    m_window = CreateWindowExW(0, className, title, WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance,
                               nullptr);
}

HiddenWindow::~HiddenWindow()
{
    if (m_window != nullptr)
    {
        DestroyWindow(m_window);
    }
}
