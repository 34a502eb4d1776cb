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
            Settings(vid, pid);
        dialog.DevicePlatform = &platform;
        harness = std::make_unique<DialogHarness>(dialog);
    }
    DWORD_PTR ItemData(DialogHarness& harness, int index)
    {
        return static_cast<DWORD_PTR>(SendMessageA(harness.Control(IDC_DEVICE_LIST), CB_GETITEMDATA, index, 0));
    }
    void ExpectNothingLeaked()
    {
        EXPECT_EQ(0, platform.openHandles);
        EXPECT_EQ(0, platform.liveAllocations);
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
        EXPECT_EQ(std::vector<std::string>{"VID_845e&PID_0001"}, harness.DeviceEntries());
        EXPECT_EQ(0, harness.CurrentSelection(IDC_DEVICE_LIST));
        EXPECT_EQ(0x845E0001u, ItemData(harness, 0));
    }
}

TEST_F(DeviceListTest, RealEnumerationCountsAndFillsTheSameDevices)
{
    const LONG counted = EnumerateHidDevices(0, nullptr);
    ASSERT_GE(counted, 2);  // Wine's virtual mouse and keyboard
    std::vector<DeviceKey> keys(static_cast<size_t>(counted));
    EXPECT_EQ(counted, EnumerateHidDevices(static_cast<DWORD>(counted), keys.data()));
    EXPECT_NE(std::find(keys.begin(), keys.end(), 0x845E0001u), keys.end());
    EXPECT_EQ(1, EnumerateHidDevices(1, keys.data()));
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
    platform.interfaces = {noDetail, FakeDevice(0x1111, 0x2222), noSize, noBuffer, noOpen, noAttributes,
                           FakeDevice(0xA1B2, 0x0C3D)};

    EXPECT_EQ(2, EnumerateHidDevices(0, nullptr, platform));
    DeviceKey keys[3] = {0xDEAD, 0xDEAD, 0xDEAD};
    EXPECT_EQ(2, EnumerateHidDevices(3, keys, platform));
    EXPECT_EQ(0x11112222u, keys[0]);
    EXPECT_EQ(0xA1B20C3Du, keys[1]);
    EXPECT_EQ(0xDEADu, keys[2]);
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, MatchingDeviceIsListedSelectedAndLowerCase)
{
    platform.interfaces = {FakeDevice(0x1234, 0x0C3D), FakeDevice(0xA1B2, 0x9999), FakeDevice(0xA1B2, 0x0C3D)};
    Start("A1B2", "0C3D");

    EXPECT_EQ(std::vector<std::string>{"VID_a1b2&PID_0c3d"}, harness->DeviceEntries());
    EXPECT_EQ(0, harness->CurrentSelection(IDC_DEVICE_LIST));
    EXPECT_EQ(0xA1B20C3Du, ItemData(*harness, 0));
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, IdenticalInterfacesGiveIdenticalEntriesInEnumerationOrder)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0x0000, 0x0000), FakeDevice(0xA1B2, 0x0C3D)};
    Start("a1b2", "0c3d");

    EXPECT_EQ((std::vector<std::string>{"VID_a1b2&PID_0c3d", "VID_a1b2&PID_0c3d"}), harness->DeviceEntries());
    EXPECT_EQ(0xA1B20C3Du, ItemData(*harness, 0));
    EXPECT_EQ(0xA1B20C3Du, ItemData(*harness, 1));
    EXPECT_EQ(0, harness->CurrentSelection(IDC_DEVICE_LIST));
}

TEST_F(DeviceListTest, MissingSettingsMatchOnlyIdentifierZero)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D), FakeDevice(0x0000, 0x0000)};
    Start();
    EXPECT_EQ(std::vector<std::string>{"VID_0000&PID_0000"}, harness->DeviceEntries());
}

TEST_F(DeviceListTest, NoDeviceLeavesBothListsEmptyWithoutSelection)
{
    Start("a1b2", "0c3d");
    EXPECT_TRUE(harness->DeviceEntries().empty());
    EXPECT_EQ(CB_ERR, harness->CurrentSelection(IDC_DEVICE_LIST));
    EXPECT_TRUE(harness->Messages().empty());
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, DeviceArrivingBetweenPassesDoesNotFitAndStopsTheFill)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0001), FakeDevice(0xA1B2, 0x0002)};
    // After the counting pass a new device appears first in the order.
    platform.afterPass = [this](int passes) {
        if (passes == 1)
            platform.interfaces.insert(platform.interfaces.begin(), FakeDevice(0xA1B2, 0x0001));
    };
    Start("a1b2", "0001");

    // Two keys fit: the new one and the first old one; the second old one is not reached.
    EXPECT_EQ((std::vector<std::string>{"VID_a1b2&PID_0001", "VID_a1b2&PID_0001"}), harness->DeviceEntries());
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, DeviceLeavingBetweenPassesLeavesOnlyTheStoredKeys)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0001), FakeDevice(0xA1B2, 0x0002), FakeDevice(0xA1B2, 0x0001)};
    platform.afterPass = [this](int passes) {
        if (passes == 1)
            platform.interfaces.erase(platform.interfaces.begin());
    };
    Start("a1b2", "0001");

    EXPECT_EQ(std::vector<std::string>{"VID_a1b2&PID_0001"}, harness->DeviceEntries());
    ExpectNothingLeaked();
}

TEST_F(DeviceListTest, KeyArrayThatCannotBeAllocatedLeavesTheListEmpty)
{
    platform.interfaces = {FakeDevice(0xA1B2, 0x0C3D)};
    platform.keyArrayAllocationFails = true;
    Start("a1b2", "0c3d");

    EXPECT_TRUE(harness->DeviceEntries().empty());
    EXPECT_EQ(CB_ERR, harness->CurrentSelection(IDC_DEVICE_LIST));
    ExpectNothingLeaked();
}
}  // namespace
