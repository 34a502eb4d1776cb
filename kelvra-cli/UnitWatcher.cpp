#include "UnitWatcher.h"

#include "DeviceChoice.h"
#include "HidNotification.h"
#include "Interrupt.h"
#include "Joined.h"

namespace
{
const wchar_t* const WindowClass = L"KelvraCliUnitWatcher";
const DWORD LookAgainMilliseconds = 1000;
}  // namespace

UnitWatcher::UnitWatcher(HidPlatform& platform, DeviceKey device, Console& console)
    : m_platform(platform), m_device(device), m_console(console),
      m_window(WindowClass, WindowProcedure, L"kelvra-cli line")
{
}

UnitWatcher::~UnitWatcher()
{
    RegisterHidNotification(0, m_window.Handle(), &m_notification, m_hidClass, m_platform);
}

bool UnitWatcher::Begin()
{
    if (m_window.Handle() == nullptr)
    {
        return false;
    }
    SetWindowLongPtrW(m_window.Handle(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_platform.GetHidGuid(&m_hidClass);
    RegisterHidNotification(1, m_window.Handle(), &m_notification, m_hidClass, m_platform);
    return true;
}

LRESULT CALLBACK UnitWatcher::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* watcher = reinterpret_cast<UnitWatcher*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (watcher != nullptr && IsHidInterfaceChange(message, wParam, lParam, watcher->m_hidClass))
    {
        watcher->m_changed = true;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

size_t UnitWatcher::Attached()
{
    return CountAttached(m_device, m_platform);
}

// No settle: the line tries a refused open again for a moment.
bool UnitWatcher::WaitForArrival()
{
    return WaitFor(1, nullptr) == Arrival::Attached;
}

Arrival UnitWatcher::WaitForArrivalOrSerial(SerialSource& serials)
{
    return WaitFor(1, &serials);
}

bool UnitWatcher::WaitForRemoval()
{
    return WaitFor(0, nullptr) != Arrival::Stopped;
}

// Arrival::Attached once wanted interfaces are attached.
Arrival UnitWatcher::WaitFor(size_t wanted, SerialSource* serials)
{
    bool warned = false;
    for (;;)
    {
        m_changed = false;
        if (InterruptRequested())
        {
            return Arrival::Stopped;
        }
        if (serials != nullptr && serials->Waiting())
        {
            return Arrival::SerialWaiting;
        }
        const size_t attached = Attached();
        if (attached == wanted)
        {
            return Arrival::Attached;
        }
        if (attached > 1 && !warned)
        {
            m_console.Err(Joined({"kelvra-cli: ", std::to_string(attached), " interfaces carry ", DeviceName(m_device),
                                  "; the driver libraries cannot tell them apart. Leave one unit plugged in.\n"}));
            warned = true;
        }
        if (!Pump(LookAgainMilliseconds, serials != nullptr ? m_serialWaiting : nullptr))
        {
            return Arrival::Stopped;
        }
    }
}

bool UnitWatcher::Pump(DWORD milliseconds, HANDLE serialWaiting)
{
    const HANDLE wakes[] = {InterruptEvent(), serialWaiting};
    const DWORD wakeCount = serialWaiting != nullptr ? 2 : 1;
    const DWORD start = GetTickCount();
    for (;;)
    {
        MSG message;
        // A notification is looked at before any other message is run.
        while (!m_changed && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (InterruptRequested())
        {
            return false;
        }
        const DWORD elapsed = GetTickCount() - start;
        if (m_changed || elapsed >= milliseconds)
        {
            return true;
        }
        if (MsgWaitForMultipleObjects(wakeCount, wakes, FALSE, milliseconds - elapsed, QS_ALLINPUT) ==
            WAIT_OBJECT_0 + 1)
        {
            return true;
        }
    }
}
