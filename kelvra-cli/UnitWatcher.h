// Waits for the production line's units to come and go: device-interface
// notifications of the HID class on a hidden window of its own wake it, and
// an enumeration confirms what is attached. Every wait also wakes for Ctrl+C,
// which ends it even with the unit attached, and looks again at least once a
// second, in case a notification is lost.
#pragma once

#include "Console.h"
#include "HidEnumeration.h"
#include "HiddenWindow.h"
#include "ProductionLine.h"

class UnitWatcher final : public UnitDock
{
public:
    UnitWatcher(HidPlatform& platform, DeviceKey device, Console& console);
    ~UnitWatcher();
    UnitWatcher(const UnitWatcher&) = delete;
    UnitWatcher& operator=(const UnitWatcher&) = delete;

    // False when the window cannot be made. A failed registration leaves
    // the once-a-second look.
    bool Begin();
    // Also the window the driver libraries are given.
    HWND Window() const { return m_window.Handle(); }
    // What WaitForArrivalOrSerial wakes for besides the units: an event
    // signalled while a serial waits.
    void AlsoWakeFor(HANDLE serialWaiting) { m_serialWaiting = serialWaiting; }
    bool UnitAttached() override { return Attached() == 1; }
    // Until exactly one interface with the identifiers is attached. False
    // when interrupted first.
    bool WaitForArrival() override;
    Arrival WaitForArrivalOrSerial(SerialSource& serials) override;
    // Until none is attached. False when interrupted first.
    bool WaitForRemoval() override;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    size_t Attached();
    Arrival WaitFor(size_t wanted, SerialSource* serials);
    // Runs messages until a notification, a serial, the time is up (true) or
    // Ctrl+C (false).
    bool Pump(DWORD milliseconds, HANDLE serialWaiting);

    HidPlatform& m_platform;
    DeviceKey m_device;
    Console& m_console;
    HiddenWindow m_window;
    HDEVNOTIFY m_notification = nullptr;
    GUID m_hidClass{};
    bool m_changed = false;
    HANDLE m_serialWaiting = nullptr;
};
