// The device list as the user sees it, built from real and scripted HID interfaces.
#include <gtest/gtest.h>

#include "DialogHarness.h"
#include "FakeHidPlatform.h"
#include "HidEnumeration.h"
#include "WorkingFolder.h"

namespace
{
class DeviceListTest : public testing::Test
{
protected:
    void Settings(const char* vid, const char* pid)
    {
        folder.WriteFile(std::string(AfxGetApp()->m_pszAppName) + ".ini",
                         std::string("[KELVRA]\nVID=") + vid + "\nPID=" + pid + "\n");
    }
    // The dialog on the scripted interfaces; without identifiers, without a settings file.
    void Start(const char* vid = nullptr, const char* pid = nullptr)
    {
        if (vid != nullptr)
        {
            Settings(vid, pid);
        }
        dialog.DevicePlatform = &platform;
        harness = std::make_unique<DialogHarness>(dialog);
    }
    DWORD_PTR ItemData(DialogHarness& harness, int index)
    {
        return static_cast<DWORD_PTR>(SendMessageA(harness.Control(IDC_DEVICE_LIST), CB_GETITEMDATA, index, 0));
    }
    void ExpectNothingLeaked()
    {
        EXPECT_EQ(platform.openHandles, 0);
        EXPECT_EQ(platform.liveAllocations, 0);
        EXPECT_FALSE(platform.closedAnUnopenedHandle);
    }

    WorkingFolder folder;
    FakeHidPlatform platform;
    CKelvraDlg dialog;
    std::unique_ptr<DialogHarness> harness;
};

TEST_F(DeviceListTest, WineOwnHidDeviceIsListedWithItsKey)
{
    for (const auto& settings : {std::make_pair("845e", "0001"), std::make_pair("845E", "0001")})
    {
        Settings(settings.first, settings.second);
        CKelvraDlg realDialog;
        DialogHarness harness(realDialog);
        EXPECT_EQ(harness.DeviceEntries(), std::vector<std::string>{"VID_845e&PID_0001"});
        EXPECT_EQ(harness.CurrentSelection(IDC_DEVICE_LIST), 0);
        EXPECT_EQ(ItemData(harness, 0), 0x845E0001u);
    }
}

TEST_F(DeviceListTest, RealEnumerationCountsAndFillsTheSameDevices)
{
    const LONG counted = EnumerateHidDevices(0, nullptr);
    ASSERT_GE(counted, 2);  // Wine's virtual mouse and keyboard
    std::vector<DeviceKey> keys(static_cast<size_t>(counted));
    EXPECT_EQ(EnumerateHidDevices(static_cast<DWORD>(counted), keys.data()), counted);
    EXPECT_NE(std::find(keys.begin(), keys.end(), 0x845E0001u), keys.end());
    EXPECT_EQ(EnumerateHidDevices(1, keys.data()), 1);
}

TEST_F(DeviceListTest, InterfacesThatCannotBeReadAreSkippedWithoutLeaks)
{
    FakeInterface noDetail = FakeDevice(0xA1B2, 0x0C3D);
    noDetail.detailFails = true;
    FakeInterface noSize = FakeDevice(0xA1B2, 0x0C3D);
    noSize.reportsNoDetailSize = true;
    FakeInterface noBuffer = FakeDevice(0xA1B2, 0x0C3D);
    noBuffer.detailAllocationFails = true;
    FakeInterface noOpen = FakeDevice(0xA1B2, 0x0C3D);
    noOpen.openFails = true;
    FakeInterface noAttributes = FakeDevice(0xA1B2, 0x0C3D);
    noAttributes.attributesFail = true;
    platform.interfaces = {noDetail,     FakeDevice(0x1111, 0x2222), noSize, noBuffer, noOpen,
                           noAttributes, FakeDevice(0xA1B2, 0x0C3D)};

    EXPECT_EQ(EnumerateHidDevices(0, nullptr, platform), 2);
    DeviceKey keys[3] = {0xDEAD, 0xDEAD, 0xDEAD};
    EXPECT_EQ(EnumerateHidDevices(3, keys, platform), 2);
    EXPECT_EQ(keys[0], 0x11112222u);
    EXPECT_EQ(keys[1], 0xA1B20C3Du);
    EXPECT_EQ(keys[2], 0xDEADu);
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, MatchingDeviceIsListedSelectedAndLowerCase)
{
    platform.interfaces = {FakeDevice(0x1234, 0x0C3D), FakeDevice(0xA1B2, 0x9999), FakeDevice(0xA1B2, 0x0C3D)};
    Start("A1B2", "0C3D");

    EXPECT_EQ(harness->DeviceEntries(), std::vector<std::string>{"VID_a1b2&PID_0c3d"});
    EXPECT_EQ(harness->CurrentSelection(IDC_DEVICE_LIST), 0);
    EXPECT_EQ(ItemData(*harness, 0), 0xA1B20C3Du);
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, IdenticalInterfacesGiveIdenticalEntriesInEnumerationOrder)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0x0000, 0x0000), FakeDevice(0xA1B2, 0x0C3D)};
    Start("a1b2", "0c3d");

    EXPECT_EQ(harness->DeviceEntries(), (std::vector<std::string>{"VID_a1b2&PID_0c3d", "VID_a1b2&PID_0c3d"}));
    EXPECT_EQ(ItemData(*harness, 0), 0xA1B20C3Du);
    EXPECT_EQ(ItemData(*harness, 1), 0xA1B20C3Du);
    EXPECT_EQ(harness->CurrentSelection(IDC_DEVICE_LIST), 0);
}

TEST_F(DeviceListTest, MissingSettingsMatchOnlyIdentifierZero)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0x0000, 0x0000)};
    Start();
    EXPECT_EQ(harness->DeviceEntries(), std::vector<std::string>{"VID_0000&PID_0000"});
}

TEST_F(DeviceListTest, NoDeviceLeavesBothListsEmptyWithoutSelection)
{
    Start("a1b2", "0c3d");
    EXPECT_TRUE(harness->DeviceEntries().empty());
    EXPECT_EQ(harness->CurrentSelection(IDC_DEVICE_LIST), CB_ERR);
    EXPECT_TRUE(harness->Messages().empty());
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, DeviceArrivingBetweenPassesDoesNotFitAndStopsTheFill)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0001), FakeDevice(0xA1B2, 0x0002)};
    // After the counting pass a new device appears first in the order.
    platform.afterPass = [this](int passes)
    {
        if (passes == 1)
        {
            platform.interfaces.insert(platform.interfaces.begin(), FakeDevice(0xA1B2, 0x0001));
        }
    };
    Start("a1b2", "0001");

    // Two keys fit: the new one and the first old one; the second old one is not reached.
    EXPECT_EQ(harness->DeviceEntries(), (std::vector<std::string>{"VID_a1b2&PID_0001", "VID_a1b2&PID_0001"}));
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, DeviceLeavingBetweenPassesLeavesOnlyTheStoredKeys)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0001), FakeDevice(0xA1B2, 0x0002), FakeDevice(0xA1B2, 0x0001)};
    platform.afterPass = [this](int passes)
    {
        if (passes == 1)
        {
            platform.interfaces.erase(platform.interfaces.begin());
        }
    };
    Start("a1b2", "0001");

    EXPECT_EQ(harness->DeviceEntries(), std::vector<std::string>{"VID_a1b2&PID_0001"});
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, KeyArrayThatCannotBeAllocatedLeavesTheListEmpty)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D)};
    platform.keyArrayAllocationFails = true;
    Start("a1b2", "0c3d");

    EXPECT_TRUE(harness->DeviceEntries().empty());
    EXPECT_EQ(harness->CurrentSelection(IDC_DEVICE_LIST), CB_ERR);
    ExpectNothingLeaked();
}
}  // namespace
