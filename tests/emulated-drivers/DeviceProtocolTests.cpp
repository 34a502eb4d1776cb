// Opening and closing: which devices open, what a call without an open device does, and how
// VT_HIDC's rmSetEEPROMSize limits the burns of one open.
#include "EmulatorTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

class DeviceProtocol : public ::testing::Test
{
protected:
    ScratchStateFolder state;
};

TEST_F(DeviceProtocol, WineHidDevicesArePresent)
{
    Family0Driver family0;
    EXPECT_EQ(family0.Open(WineMouseKey), 1);
    BurnDriver family1("VT_HIDB");
    EXPECT_EQ(family1.Open(WineKeyboardKey), 1);
}

// Between operations Kelvra keeps the libraries loaded no longer, but whoever does must not keep
// the chip or the log from others: tests reset and remove them.
TEST_F(DeviceProtocol, CloseAndUnloadLetGoOfTheChipAndTheLog)
{
    Family0Driver family0;
    ASSERT_EQ(family0.Open(WineMouseKey), 1);
    ASSERT_EQ(family0.Write(0, 0x1234), 1);
    ASSERT_EQ(family0.Close(), 1);
    EXPECT_FALSE(state.IsOpenForWriting("VT_HIDA-845E0001.bin"));
    EXPECT_FALSE(state.IsOpenForWriting("calls.log"));

    BurnDriver family1("VT_HIDB");
    ASSERT_EQ(family1.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(256);
    ASSERT_EQ(family1.Burn(1, image.data(), 256), 1);
    family1.Library().Reload();
    EXPECT_FALSE(state.IsOpenForWriting("VT_HIDB-845E0001.bin"));
    EXPECT_FALSE(state.IsOpenForWriting("calls.log"));
    EXPECT_EQ(state.FileBytes("VT_HIDB-845E0001.bin"), image);
}

TEST_F(DeviceProtocol, AbsentDeviceOpensOnlyWhenAllDevicesCountAsPresent)
{
    Family0Driver family0;
    BurnDriver family1("VT_HIDB");
    BurnDriver family2("VT_HIDC");
    EXPECT_EQ(family0.Open(AbsentDeviceKey), 0);
    EXPECT_EQ(family1.Open(AbsentDeviceKey), 0);
    EXPECT_EQ(family2.Open(AbsentDeviceKey), 0);

    state.SetSetting("Emulator", "AllDevicesPresent", "1");
    EXPECT_EQ(family0.Open(AbsentDeviceKey), 1);
    EXPECT_EQ(family1.Open(AbsentDeviceKey), 1);
    EXPECT_EQ(family2.Open(AbsentDeviceKey), 1);
}

TEST_F(DeviceProtocol, CallsWithoutAnOpenDeviceFail)
{
    Family0Driver family0;
    WORD word = 0;
    EXPECT_EQ(family0.Write(0, 0x1234), 0);
    EXPECT_EQ(family0.Read(0, &word), 0);
    EXPECT_EQ(family0.Close(), 0);
    ASSERT_EQ(family0.Open(WineMouseKey), 1);
    EXPECT_EQ(family0.Close(), 1);
    EXPECT_EQ(family0.Write(0, 0x1234), 0);

    BurnDriver family2("VT_HIDC");
    std::vector<BYTE> buffer(256, 0);
    EXPECT_EQ(family2.SetSize(256), 0);
    EXPECT_EQ(family2.Burn(1, buffer.data(), 256), 0);
    EXPECT_EQ(family2.Close(), 0);
    ASSERT_EQ(family2.Open(WineMouseKey), 1);
    EXPECT_EQ(family2.Close(), 1);
    EXPECT_EQ(family2.Burn(0, buffer.data(), 256), 0);
    EXPECT_FALSE(state.HasFile("VT_HIDA-845E0001.bin"));
    EXPECT_FALSE(state.HasFile("VT_HIDC-845E0001.bin"));
}

TEST_F(DeviceProtocol, OpenReplacesTheOpenDeviceEvenWhenItFails)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Open(WineKeyboardKey), 1);
    ASSERT_EQ(driver.Write(0, 0x2222), 1);
    EXPECT_TRUE(state.HasFile("VT_HIDA-845E0002.bin"));
    EXPECT_FALSE(state.HasFile("VT_HIDA-845E0001.bin"));

    ASSERT_EQ(driver.Open(AbsentDeviceKey), 0);
    EXPECT_EQ(driver.Write(0, 0x3333), 0);
}

TEST_F(DeviceProtocol, OpenRejectsArgumentsKelvraNeverPasses)
{
    LoadedLibrary family0(LibraryPath(EmulatedDriversFolder, "VT_HIDA"));
    // A vendor identifier that is not the DeviceKey's upper half: swapped or truncated arguments.
    EXPECT_EQ(family0.Call<StartDeviceDetectionFunction>("StartDeviceDetection", TestWindow(), 0ul, 0ul, 0ul, 0ul, 0ul,
                                                         0ul, 0ul, 0ul, 0ul, WineMouseKey, 0x845Eul),
              0);
    EXPECT_EQ(family0.Call<StartDeviceDetectionFunction>("StartDeviceDetection", TestWindow(), 0ul, 0ul, 0ul, 0ul, 7ul,
                                                         0ul, 0ul, 0ul, 0ul, 0x845Eul, WineMouseKey),
              0);

    LoadedLibrary family1(LibraryPath(EmulatedDriversFolder, "VT_HIDB"));
    EXPECT_EQ(family1.Call<rmDeviceStartFunction>("rmDeviceStart", WineMouseKey, 0x845Eul, TestWindow(), 0ul, 0ul, 0ul),
              0);
    EXPECT_EQ(family1.Call<rmDeviceStartFunction>("rmDeviceStart", 0x845Eul, WineMouseKey, TestWindow(), 0ul, 0ul, 1ul),
              0);
    EXPECT_EQ(family1.Call<rmDeviceStartFunction>("rmDeviceStart", 0x845Eul, WineMouseKey, TestWindow(), 0ul, 0ul, 0ul),
              1);
}

TEST_F(DeviceProtocol, BurnRejectsMalformedRequests)
{
    BurnDriver driver("VT_HIDB");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> buffer(256, 0x11);
    EXPECT_EQ(driver.Burn(2, buffer.data(), 256), 0);
    EXPECT_EQ(driver.Burn(1, nullptr, 256), 0);
    EXPECT_EQ(driver.Library().Call<rmBurnEEPROMFunction>("rmBurnEEPROM", 1ul, 4ul, buffer.data(), 256ul), 0);
    EXPECT_FALSE(state.HasFile("VT_HIDB-845E0001.bin"));
}

TEST_F(DeviceProtocol, Family0ReadRejectsAMissingSlot)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Read(0, nullptr), 0);
}

TEST_F(DeviceProtocol, SetSizeLimitsTheBurnsOfThisOpen)
{
    BurnDriver driver("VT_HIDC");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(2048);
    ASSERT_EQ(driver.SetSize(256), 1);
    EXPECT_EQ(driver.Burn(1, image.data(), 512), 0);
    EXPECT_EQ(driver.Burn(1, image.data(), 256), 1);
    EXPECT_EQ(driver.Burn(0, image.data(), 128), 1);

    ASSERT_EQ(driver.SetSize(1024), 1);
    EXPECT_EQ(driver.Burn(1, image.data(), 1024), 1);

    // A new open forgets the size: only the chip limits the burn again.
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Burn(1, image.data(), 2048), 1);
}

TEST_F(DeviceProtocol, SetSizeRefusesWhatNoChipOfThisSizeTakes)
{
    state.SetSetting("VT_HIDC", "ChipSize", "1024");
    BurnDriver driver("VT_HIDC");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.SetSize(2048), 0);
    EXPECT_EQ(driver.SetSize(0), 0);
    EXPECT_EQ(driver.SetSize(512, 0), 0);
    ASSERT_EQ(driver.SetSize(512), 1);
    // A refused size leaves the accepted one in force.
    EXPECT_EQ(driver.SetSize(4096), 0);
    std::vector<BYTE> image = PatternBytes(1024);
    EXPECT_EQ(driver.Burn(1, image.data(), 1024), 0);
    EXPECT_EQ(driver.Burn(1, image.data(), 512), 1);
}

TEST(Family1Library, HasNoSetSizeExport)
{
    LoadedLibrary library(LibraryPath(EmulatedDriversFolder, "VT_HIDB"));
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_FALSE(library.Exports("rmSetEEPROMSize"));
}

}  // namespace
