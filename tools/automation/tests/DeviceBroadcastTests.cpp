#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "DeviceBroadcast.h"

using namespace KelvraAutomation;

namespace {

// Kelvra reads the type at byte 4 and compares the 16 bytes from byte 12.
TEST(MakeDeviceInterfaceRecord, LaidOutAsWindowsSendsIt)
{
    const auto record = MakeDeviceInterfaceRecord(HidInterfaceClass, DBT_DEVTYP_DEVICEINTERFACE);
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);

    EXPECT_EQ(record.dbcc_size, 32u);
    EXPECT_EQ(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_devicetype), 4u);
    EXPECT_EQ(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid), 12u);
    EXPECT_EQ(record.dbcc_devicetype, 5u);
    EXPECT_EQ(record.dbcc_reserved, 0u);
    EXPECT_EQ(std::memcmp(bytes + 12, &HidInterfaceClass, 16), 0);
    EXPECT_EQ(record.dbcc_name[0], '\0');
}

TEST(MakeDeviceInterfaceRecord, PaddingIsZero)
{
    const auto record = MakeDeviceInterfaceRecord(UsbDeviceInterfaceClass, DBT_DEVTYP_VOLUME);
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    for (size_t index = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name); index < sizeof record; ++index)
        EXPECT_EQ(bytes[index], 0) << "byte " << index;
    EXPECT_EQ(record.dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_VOLUME));
}

TEST(HidInterfaceClass, IsTheHidGuid)
{
    const unsigned char expected[16] = {0xB2, 0x55, 0x1E, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                        0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30};
    EXPECT_EQ(std::memcmp(&HidInterfaceClass, expected, 16), 0);
}

TEST(DeviceEventCode, ArrivalAndRemoval)
{
    EXPECT_EQ(DeviceEventCode(DeviceEvent::Arrival), 0x8000u);
    EXPECT_EQ(DeviceEventCode(DeviceEvent::Removal), 0x8004u);
}

}  // namespace
