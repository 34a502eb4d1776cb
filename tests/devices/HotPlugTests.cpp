// Arrival and removal notifications, sent to the real dialog window as
// Windows sends them, rebuild the device list exactly when they should.
#include <gtest/gtest.h>

#include <cstring>

#include "DeviceBroadcast.h"
#include "DialogHarness.h"
#include "FakeHidPlatform.h"
#include "KelvraTexts.h"
#include "WorkingFolder.h"

namespace
{
DEV_BROADCAST_DEVICEINTERFACE_A InterfaceRecord(const GUID& classGuid)
{
    return MakeDeviceInterfaceRecord(classGuid, DBT_DEVTYP_DEVICEINTERFACE);
}

class HotPlugTest : public testing::Test
{
protected:
    void SetUp() override
    {
        folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini", "[KELVRA]\nVID=a1b2\nPID=0c3d\n");
        platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0xA1B2, 0x0C3D)};
        dialog.DevicePlatform = &platform;
    }

    // Sends the notification; true when it rebuilt the list (each rebuild is two passes).
    bool Notify(DialogHarness& harness, WPARAM event, const void* record)
    {
        SendMessageA(harness.Control(IDC_MESSAGES), LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(KelvraText::WriteSuccess));
        const int passesBefore = platform.passesEnded;
        SendMessageA(harness.Window(), WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record));
        harness.Pump();
        const bool rebuilt = platform.passesEnded == passesBefore + 2;
        EXPECT_EQ(harness.Messages().empty(), rebuilt) << "the message list is emptied exactly on a rebuild";
        return rebuilt;
    }

    WorkingFolder folder;
    FakeHidPlatform platform;
    CKelvraDlg dialog;
};

TEST_F(HotPlugTest, RegistersForHidInterfacesAndWithdrawsOnDestroy)
{
    {
        DialogHarness harness(dialog);
        EXPECT_EQ(platform.registrations, 1);
        EXPECT_NE(dialog.DeviceNotifyHandle, nullptr);
        EXPECT_EQ(platform.lastFilter.dbcc_size, 32u);
        EXPECT_EQ(platform.lastFilter.dbcc_devicetype, static_cast<DWORD>(DBT_DEVTYP_DEVICEINTERFACE));
        EXPECT_EQ(std::memcmp(&platform.lastFilter.dbcc_classguid, &dialog.HidClassGuid, sizeof(GUID)), 0);
        EXPECT_EQ(platform.lastRegistrationFlags, static_cast<DWORD>(DEVICE_NOTIFY_WINDOW_HANDLE));
    }
    EXPECT_EQ(platform.unregistrations, 1);
    EXPECT_EQ(dialog.DeviceNotifyHandle, nullptr);
}

TEST_F(HotPlugTest, ArrivalAndRemovalOfAHidInterfaceRebuildTheList)
{
    DialogHarness harness(dialog);
    const auto record = InterfaceRecord(dialog.HidClassGuid);

    SendMessageA(harness.Control(IDC_DEVICE_LIST), CB_SETCURSEL, 2, 0);
    platform.interfaces.push_back(FakeDevice(0xA1B2, 0x0C3D));
    EXPECT_TRUE(Notify(harness, DBT_DEVICEARRIVAL, &record));
    EXPECT_EQ(harness.DeviceEntries().size(), 4u);
    EXPECT_EQ(harness.CurrentSelection(IDC_DEVICE_LIST), 0);

    platform.interfaces.clear();
    EXPECT_TRUE(Notify(harness, DBT_DEVICEREMOVECOMPLETE, &record));
    EXPECT_TRUE(harness.DeviceEntries().empty());
    EXPECT_EQ(harness.CurrentSelection(IDC_DEVICE_LIST), CB_ERR);

    // A device that does not match still causes a rebuild.
    platform.interfaces = {FakeDevice(0x1111, 0x2222)};
    EXPECT_TRUE(Notify(harness, DBT_DEVICEARRIVAL, &record));
    EXPECT_TRUE(harness.DeviceEntries().empty());
}

TEST_F(HotPlugTest, OtherEventsTypesClassesAndNoRecordChangeNothing)
{
    DialogHarness harness(dialog);
    const auto hid = InterfaceRecord(dialog.HidClassGuid);

    for (WPARAM event : {WPARAM{DBT_DEVNODES_CHANGED}, WPARAM{DBT_DEVICEQUERYREMOVE}, WPARAM{DBT_DEVICEREMOVEPENDING}})
    {
        EXPECT_FALSE(Notify(harness, event, &hid)) << event;
    }

    DEV_BROADCAST_HDR volume = {};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    EXPECT_FALSE(Notify(harness, DBT_DEVICEARRIVAL, &volume));

    for (size_t byte = 0; byte < sizeof(GUID); ++byte)
    {
        GUID other = dialog.HidClassGuid;
        reinterpret_cast<unsigned char*>(&other)[byte] ^= 0x01;
        const auto record = InterfaceRecord(other);
        EXPECT_FALSE(Notify(harness, DBT_DEVICEARRIVAL, &record)) << "byte " << byte;
    }

    EXPECT_FALSE(Notify(harness, DBT_DEVICEARRIVAL, nullptr));
    EXPECT_FALSE(Notify(harness, DBT_DEVICEREMOVECOMPLETE, nullptr));

    // A record too short to hold a class is not read past its end.
    DEV_BROADCAST_HDR truncated = {};
    truncated.dbch_size = sizeof truncated;
    truncated.dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    EXPECT_FALSE(Notify(harness, DBT_DEVICEARRIVAL, &truncated));

    EXPECT_EQ(harness.DeviceEntries().size(), 3u);
}

TEST_F(HotPlugTest, FailedRegistrationKeepsTheDialogWorkingAndTeardownHarmless)
{
    platform.registrationFails = true;
    {
        DialogHarness harness(dialog);
        EXPECT_EQ(dialog.DeviceNotifyHandle, nullptr);
        EXPECT_EQ(harness.DeviceEntries().size(), 3u);
        harness.Click(IDC_CHIP_C);
        EXPECT_EQ(dialog.ChipFamily, 2);
    }
    EXPECT_EQ(platform.unregistrations, 0);
    EXPECT_EQ(dialog.DeviceNotifyHandle, nullptr);
}
}  // namespace
