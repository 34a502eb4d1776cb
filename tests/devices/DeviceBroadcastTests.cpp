#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "DeviceBroadcast.h"

namespace
{

// Wine copies the whole record into Kelvra: every byte of it is defined.
TEST(MakeDeviceInterfaceRecord, HoldsTheTypeAndClassAndZeroesTheRest)
{
    const auto record = MakeDeviceInterfaceRecord(UsbDeviceInterfaceClass, DBT_DEVTYP_VOLUME);
    EXPECT_EQ(record.dbcc_size, sizeof record);
    EXPECT_EQ(record.dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_VOLUME));
    EXPECT_EQ(record.dbcc_reserved, 0u);
    EXPECT_EQ(std::memcmp(&record.dbcc_classguid, &UsbDeviceInterfaceClass, sizeof(GUID)), 0);
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    for (size_t index = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name); index < sizeof record; ++index)
    {
        EXPECT_EQ(bytes[index], 0) << "byte " << index;
    }
}

}  // namespace
