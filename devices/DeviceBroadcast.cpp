#include "DeviceBroadcast.h"

#include <cstring>

const GUID HidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
const GUID UsbDeviceInterfaceClass = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

WPARAM DeviceEventCode(DeviceEvent event)
{
    return event == DeviceEvent::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
}

DEV_BROADCAST_DEVICEINTERFACE_A MakeDeviceInterfaceRecord(const GUID& interfaceClass, DWORD deviceType)
{
    DEV_BROADCAST_DEVICEINTERFACE_A record;
    // Padding included: the receiver gets dbcc_size bytes, all of them defined.
    std::memset(&record, 0, sizeof record);
    record.dbcc_size = sizeof record;
    record.dbcc_devicetype = deviceType;
    record.dbcc_classguid = interfaceClass;
    return record;
}
