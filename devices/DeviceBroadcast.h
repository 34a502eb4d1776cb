// The WM_DEVICECHANGE records Windows sends when a device interface arrives
// or is removed: the filter that registers for them, and a notification made
// as Windows makes it, for the tests and the automation client to send.
#pragma once

#include <windows.h>

#include <dbt.h>

#include <cstring>

enum class DeviceEvent
{
    Arrival,
    Removal
};

// The interface class of HID devices, {4D1E55B2-F16F-11CF-88CB-001111000030}.
extern const GUID HidInterfaceClass;
// The interface class of USB devices, {A5DCBF10-6530-11D2-901F-00C04FB951ED}:
// a real class that is not HID.
extern const GUID UsbDeviceInterfaceClass;

// DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE.
WPARAM DeviceEventCode(DeviceEvent event);

// A device-interface record with an empty name, as a registration filter is
// laid out; deviceType is normally DBT_DEVTYP_DEVICEINTERFACE. Inline, so
// a program that only registers a filter carries nothing more.
inline DEV_BROADCAST_DEVICEINTERFACE_A MakeDeviceInterfaceRecord(const GUID& interfaceClass, DWORD deviceType)
{
    DEV_BROADCAST_DEVICEINTERFACE_A record;
    // Padding included: the receiver gets dbcc_size bytes, all of them defined.
    std::memset(&record, 0, sizeof record);
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = deviceType;
    record.dbcc_classguid = interfaceClass;
    return record;
}
