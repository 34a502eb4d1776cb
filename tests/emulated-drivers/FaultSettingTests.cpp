// Faults on demand from emulator.ini, read at each open and kept for that open.
#include "EmulatorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

class FaultSettings : public ::testing::Test
{
protected:
    ScratchStateFolder state;
};

TEST_F(FaultSettings, FailOpenFailsOnlyItsOwnLibrary)
{
    state.SetSetting("VT_HIDB", "FailOpen", "1");
    BurnDriver family1("VT_HIDB");
    BurnDriver family2("VT_HIDC");
    Family0Driver family0;
    EXPECT_EQ(family1.Open(WineMouseKey), 0);
    EXPECT_EQ(family2.Open(WineMouseKey), 1);
    EXPECT_EQ(family0.Open(WineMouseKey), 1);

    state.SetSetting("VT_HIDA", "FailOpen", "1");
    state.SetSetting("VT_HIDC", "FailOpen", "1");
    EXPECT_EQ(family0.Open(WineMouseKey), 0);
    EXPECT_EQ(family2.Open(WineMouseKey), 0);

    state.SetSetting("VT_HIDB", "FailOpen", "0");
    EXPECT_EQ(family1.Open(WineMouseKey), 1);
}

TEST_F(FaultSettings, FailOpensRefusesThatManyOpensThenOpens)
{
    state.SetSetting("VT_HIDB", "FailOpens", "2");
    BurnDriver driver("VT_HIDB");
    const int first = driver.Open(WineMouseKey);
    const int second = driver.Open(WineMouseKey);
    EXPECT_EQ(std::vector<int>({first, second, driver.Open(WineMouseKey)}), (std::vector<int>{0, 0, 1}));
}

TEST_F(FaultSettings, FailedWordWriteKeepsTheWordsBeforeIt)
{
    state.SetSetting("VT_HIDA", "FailWriteWord", "10");
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    for (DWORD index = 0; index < 10; ++index)
    {
        ASSERT_EQ(driver.Write(index, 0x4100 + index), 1);
    }
    EXPECT_EQ(driver.Write(10, 0x410A), 0);
    driver.Close();

    const std::vector<BYTE> file = state.FileBytes("VT_HIDA-845E0001.bin");
    ASSERT_EQ(file.size(), 128u);
    EXPECT_EQ(file[18], 0x09);
    EXPECT_EQ(file[19], 0x41);
    EXPECT_EQ(file[20], 0xFF);
    EXPECT_EQ(file[21], 0xFF);
}

TEST_F(FaultSettings, Family0SettingsTakeEffectAtTheNextOpen)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    state.SetSetting("VT_HIDA", "FailWriteWord", "4");
    state.SetSetting("VT_HIDA", "FailReadWord", "4");
    EXPECT_EQ(driver.Write(4, 0x4444), 1) << "the open read the settings before";
    WORD word = 0;
    EXPECT_EQ(driver.Read(4, &word), 1);

    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Write(4, 0x5555), 0);
    EXPECT_EQ(driver.Read(4, &word), 0);
    EXPECT_EQ(state.FileBytes("VT_HIDA-845E0001.bin")[8], 0x44);
}

TEST_F(FaultSettings, ValuesAreWholeNumbersUnderKeysOfAnyCase)
{
    const std::string ini = "[emulator]\r\n allDevicesPresent = 1 \r\n"
                            "[vt_hida]\r\nfailwriteword = 0x0A\r\nFailReadWord=3 words\r\n"
                            "CorruptReadOffset=\"5\"\r\n";
    const std::vector<BYTE> bytes(ini.begin(), ini.end());
    state.SetFileBytes("emulator.ini", bytes);
    Family0Driver driver;
    ASSERT_EQ(driver.Open(AbsentDeviceKey), 1);
    EXPECT_EQ(driver.Write(10, 0x1010), 0);
    EXPECT_EQ(driver.Write(2, 0x0302), 1);
    WORD word = 0;
    EXPECT_EQ(driver.Read(3, &word), 1) << "a value that is not a whole number is no setting";
    ASSERT_EQ(driver.Read(2, &word), 1);
    EXPECT_EQ(word, 0xFC02) << "byte 5 inverted";
}

TEST_F(FaultSettings, FailReadWordFailsThatWordOnly)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(3, 0x3333), 1);
    state.SetSetting("VT_HIDA", "FailReadWord", "3");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    WORD word = 0x5A5A;
    EXPECT_EQ(driver.Read(3, &word), 0);
    EXPECT_EQ(word, 0x5A5A);
    EXPECT_EQ(driver.Read(2, &word), 1);
    EXPECT_EQ(driver.Read(4, &word), 1);
    EXPECT_EQ(driver.Write(3, 0x4444), 1) << "a read fault leaves writes alone";

    state.SetSetting("VT_HIDA", "FailReadWord", "");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Read(3, &word), 1) << "an empty value is no setting";
    EXPECT_EQ(word, 0x4444);
}

class BurnFaults : public FaultSettings, public ::testing::WithParamInterface<const char*>
{
};

TEST_P(BurnFaults, FailBurnFailsBothDirectionsWithoutTouchingTheChip)
{
    BurnDriver driver(GetParam());
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(256);
    ASSERT_EQ(driver.Burn(1, image.data(), 256), 1);

    state.SetSetting(GetParam(), "FailBurn", "1");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> other(256, 0x00);
    EXPECT_EQ(driver.Burn(1, other.data(), 256), 0);
    EXPECT_EQ(driver.Burn(0, other.data(), 256), 0);
    EXPECT_EQ(other, std::vector<BYTE>(256, 0x00));

    state.SetSetting(GetParam(), "FailBurn", "0");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Burn(0, other.data(), 256), 1);
    EXPECT_EQ(other, image);
}

TEST_P(BurnFaults, DirectionalBurnFaultsFailOneDirection)
{
    BurnDriver driver(GetParam());
    std::vector<BYTE> image = PatternBytes(256);

    state.SetSetting(GetParam(), "FailBurnRead", "1");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Burn(1, image.data(), 256), 1);
    EXPECT_EQ(driver.Burn(0, image.data(), 256), 0);

    state.SetSetting(GetParam(), "FailBurnRead", "0");
    state.SetSetting(GetParam(), "FailBurnWrite", "1");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Burn(1, image.data(), 256), 0);
    std::vector<BYTE> readBack(256, 0);
    EXPECT_EQ(driver.Burn(0, readBack.data(), 256), 1);
    EXPECT_EQ(readBack, image);
}

TEST_P(BurnFaults, CorruptReadChangesTheAnswerNotTheChip)
{
    BurnDriver driver(GetParam());
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(256);
    ASSERT_EQ(driver.Burn(1, image.data(), 256), 1);

    state.SetSetting(GetParam(), "CorruptReadOffset", "200");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> readBack(256, 0);
    ASSERT_EQ(driver.Burn(0, readBack.data(), 256), 1);
    for (std::size_t index = 0; index < 256; ++index)
    {
        if (index == 200)
        {
            EXPECT_NE(readBack[index], image[index]);
        }
        else
        {
            ASSERT_EQ(readBack[index], image[index]) << "offset " << index;
        }
    }
    EXPECT_EQ(state.FileBytes(std::string(GetParam()) + "-845E0001.bin")[200], image[200]);

    std::vector<BYTE> shortRead(100, 0);
    ASSERT_EQ(driver.Burn(0, shortRead.data(), 100), 1);
    EXPECT_TRUE(std::equal(shortRead.begin(), shortRead.end(), image.begin()))
        << "an offset beyond the transfer changes nothing";
}

TEST_P(BurnFaults, SettingsTakeEffectAtTheNextOpen)
{
    BurnDriver driver(GetParam());
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    state.SetSetting(GetParam(), "FailBurn", "1");
    std::vector<BYTE> image = PatternBytes(256);
    EXPECT_EQ(driver.Burn(1, image.data(), 256), 1) << "the open read the settings before";
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Burn(0, image.data(), 256), 0);
}

INSTANTIATE_TEST_SUITE_P(BurnFamilies, BurnFaults, ::testing::Values("VT_HIDB", "VT_HIDC"));

TEST_F(FaultSettings, Family0CorruptReadChangesOneByteOfOneWord)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(1, 0x1234), 1);
    ASSERT_EQ(driver.Write(2, 0x5678), 1);
    state.SetSetting("VT_HIDA", "CorruptReadOffset", "3");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);

    WORD word = 0;
    ASSERT_EQ(driver.Read(1, &word), 1);
    EXPECT_EQ(LOBYTE(word), 0x34);
    EXPECT_NE(HIBYTE(word), 0x12);
    ASSERT_EQ(driver.Read(2, &word), 1);
    EXPECT_EQ(word, 0x5678);
    EXPECT_EQ(state.FileBytes("VT_HIDA-845E0001.bin")[3], 0x12);
}

}  // namespace
