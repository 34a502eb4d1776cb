// What the emulated chips store: erased when new, kept across loads, one file per family and
// DeviceKey, exactly as many bytes as the chip holds.
#include "EmulatorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace
{

class ChipContents : public ::testing::Test
{
protected:
    ScratchStateFolder state;
};

std::vector<WORD> ReadAllWords(const Family0Driver& driver)
{
    std::vector<WORD> words(64, 0);
    for (DWORD index = 0; index < words.size(); ++index)
    {
        EXPECT_NE(driver.Read(index, &words[index]), 0) << "word " << index;
    }
    return words;
}

TEST_F(ChipContents, NewFamily0ChipReadsErased)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(ReadAllWords(driver), std::vector<WORD>(64, 0xFFFF));
    EXPECT_FALSE(state.HasFile("VT_HIDA-845E0001.bin")) << "reading must not create the chip file";
}

TEST_F(ChipContents, NewBurnChipsReadErased)
{
    for (const auto& [library, size] :
         {std::pair<const char*, DWORD>{"VT_HIDB", 256}, std::pair<const char*, DWORD>{"VT_HIDC", 2048}})
    {
        BurnDriver driver(library);
        ASSERT_EQ(driver.Open(WineMouseKey), 1) << library;
        std::vector<BYTE> buffer(size, 0x00);
        ASSERT_EQ(driver.Burn(0, buffer.data(), size), 1) << library;
        EXPECT_EQ(buffer, std::vector<BYTE>(size, 0xFF)) << library;
    }
}

TEST_F(ChipContents, Family0WordsSurviveReloadAsLittleEndianFile)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    for (DWORD index = 0; index < 64; ++index)
    {
        ASSERT_EQ(driver.Write(index, 0x6700 + index), 1) << "word " << index;
    }
    driver.Close();

    const std::vector<BYTE> file = state.FileBytes("VT_HIDA-845E0001.bin");
    ASSERT_EQ(file.size(), 128u);
    EXPECT_EQ(file[0], 0x00);
    EXPECT_EQ(file[1], 0x67);
    EXPECT_EQ(file[126], 0x3F);
    EXPECT_EQ(file[127], 0x67);

    driver.Library().Reload();
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    const std::vector<WORD> words = ReadAllWords(driver);
    for (DWORD index = 0; index < 64; ++index)
    {
        EXPECT_EQ(words[index], 0x6700 + index);
    }
}

// Kelvra may be ended, or crash, in the middle of a write: what it was told is written must be in
// the file already.
TEST_F(ChipContents, EveryWriteIsInTheFileWhenTheCallReturns)
{
    Family0Driver family0;
    ASSERT_EQ(family0.Open(WineMouseKey), 1);
    for (DWORD index = 0; index < 64; index += 9)
    {
        ASSERT_EQ(family0.Write(index, 0x5100 + index), 1);
        const std::vector<BYTE> file = state.FileBytes("VT_HIDA-845E0001.bin");
        ASSERT_EQ(file.size(), 128u);
        EXPECT_EQ(file[2 * index], static_cast<BYTE>(index)) << "word " << index;
        EXPECT_EQ(file[2 * index + 1], 0x51) << "word " << index;
    }

    BurnDriver family2("VT_HIDC");
    ASSERT_EQ(family2.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(2048);
    ASSERT_EQ(family2.Burn(1, image.data(), 2048), 1);
    EXPECT_EQ(state.FileBytes("VT_HIDC-845E0001.bin"), image);
    std::vector<BYTE> head = PatternBytes(100, 7);
    ASSERT_EQ(family2.Burn(1, head.data(), 100), 1);
    std::copy(head.begin(), head.end(), image.begin());
    EXPECT_EQ(state.FileBytes("VT_HIDC-845E0001.bin"), image);
}

TEST_F(ChipContents, FileOfAnotherSizeReadsAsTheChipAndTakesItsSizeAtTheFirstWrite)
{
    std::vector<BYTE> longFile = PatternBytes(200);
    state.SetFileBytes("VT_HIDA-845E0001.bin", longFile);
    Family0Driver family0;
    ASSERT_EQ(family0.Open(WineMouseKey), 1);
    WORD word = 0;
    ASSERT_EQ(family0.Read(63, &word), 1);
    EXPECT_EQ(word, MAKEWORD(longFile[126], longFile[127]));
    ASSERT_EQ(family0.Write(0, 0x1234), 1);
    longFile.resize(128);
    longFile[0] = 0x34;
    longFile[1] = 0x12;
    EXPECT_EQ(state.FileBytes("VT_HIDA-845E0001.bin"), longFile);

    std::vector<BYTE> shortFile = PatternBytes(10);
    state.SetFileBytes("VT_HIDC-845E0001.bin", shortFile);
    BurnDriver family2("VT_HIDC");
    ASSERT_EQ(family2.Open(WineMouseKey), 1);
    std::vector<BYTE> readBack(2048, 0);
    ASSERT_EQ(family2.Burn(0, readBack.data(), 2048), 1);
    std::vector<BYTE> expected(2048, 0xFF);
    std::copy(shortFile.begin(), shortFile.end(), expected.begin());
    EXPECT_EQ(readBack, expected) << "erased past the end of the file";
    std::vector<BYTE> head(4, 0x00);
    ASSERT_EQ(family2.Burn(1, head.data(), 4), 1);
    std::copy(head.begin(), head.end(), expected.begin());
    EXPECT_EQ(state.FileBytes("VT_HIDC-845E0001.bin"), expected);
}

TEST_F(ChipContents, Family0KeepsOnlyTheLowHalfOfTheWordArgument)
{
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(5, 0xABCD1234), 1);
    WORD word = 0;
    ASSERT_EQ(driver.Read(5, &word), 1);
    EXPECT_EQ(word, 0x1234);
    WORD neighbour = 0;
    ASSERT_EQ(driver.Read(6, &neighbour), 1);
    EXPECT_EQ(neighbour, 0xFFFF);
}

TEST_F(ChipContents, BurnChipsSurviveReload)
{
    for (const auto& [library, size] :
         {std::pair<const char*, DWORD>{"VT_HIDB", 256}, std::pair<const char*, DWORD>{"VT_HIDC", 2048}})
    {
        BurnDriver driver(library);
        ASSERT_EQ(driver.Open(WineMouseKey), 1) << library;
        std::vector<BYTE> image = PatternBytes(size);
        ASSERT_EQ(driver.Burn(1, image.data(), size), 1) << library;
        driver.Close();
        EXPECT_EQ(state.FileBytes(std::string(library) + "-845E0001.bin"), image) << library;

        driver.Library().Reload();
        ASSERT_EQ(driver.Open(WineMouseKey), 1) << library;
        std::vector<BYTE> readBack(size, 0);
        ASSERT_EQ(driver.Burn(0, readBack.data(), size), 1) << library;
        EXPECT_EQ(readBack, image) << library;
    }
}

TEST_F(ChipContents, EachDeviceKeyHasItsOwnChip)
{
    state.SetSetting("Emulator", "AllDevicesPresent", "1");
    Family0Driver driver;
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Write(0, 0x1111), 1);
    ASSERT_EQ(driver.Open(0xABCD0002), 1);
    WORD word = 0;
    ASSERT_EQ(driver.Read(0, &word), 1);
    EXPECT_EQ(word, 0xFFFF);
    ASSERT_EQ(driver.Write(0, 0x2222), 1);

    EXPECT_TRUE(state.HasFile("VT_HIDA-845E0001.bin"));
    EXPECT_TRUE(state.HasFile("VT_HIDA-ABCD0002.bin"));
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    ASSERT_EQ(driver.Read(0, &word), 1);
    EXPECT_EQ(word, 0x1111);
}

TEST_F(ChipContents, EachFamilyHasItsOwnChip)
{
    BurnDriver family1("VT_HIDB");
    ASSERT_EQ(family1.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(256);
    ASSERT_EQ(family1.Burn(1, image.data(), 256), 1);

    BurnDriver family2("VT_HIDC");
    ASSERT_EQ(family2.Open(WineMouseKey), 1);
    std::vector<BYTE> readBack(256, 0);
    ASSERT_EQ(family2.Burn(0, readBack.data(), 256), 1);
    EXPECT_EQ(readBack, std::vector<BYTE>(256, 0xFF));
}

TEST_F(ChipContents, SmallerTransferTouchesOnlyTheFirstBytes)
{
    BurnDriver driver("VT_HIDC");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(2048);
    ASSERT_EQ(driver.Burn(1, image.data(), 2048), 1);
    std::vector<BYTE> head(16, 0xAA);
    ASSERT_EQ(driver.Burn(1, head.data(), 16), 1);

    std::vector<BYTE> readBack(2048 + 8, 0x5A);
    ASSERT_EQ(driver.Burn(0, readBack.data(), 1024), 1);
    for (std::size_t index = 0; index < 16; ++index)
    {
        EXPECT_EQ(readBack[index], 0xAA);
    }
    for (std::size_t index = 16; index < 1024; ++index)
    {
        ASSERT_EQ(readBack[index], image[index]);
    }
    for (std::size_t index = 1024; index < readBack.size(); ++index)
    {
        ASSERT_EQ(readBack[index], 0x5A) << "read past the transfer at " << index;
    }
    EXPECT_EQ(state.FileBytes("VT_HIDC-845E0001.bin").size(), 2048u);
}

TEST_F(ChipContents, TransfersOutsideTheChipFailAndChangeNothing)
{
    Family0Driver family0;
    ASSERT_EQ(family0.Open(WineMouseKey), 1);
    WORD word = 0x5A5A;
    EXPECT_EQ(family0.Write(64, 0x1234), 0);
    EXPECT_EQ(family0.Read(64, &word), 0);
    EXPECT_EQ(word, 0x5A5A);
    EXPECT_EQ(family0.Write(63, 0x1234), 1);

    BurnDriver family1("VT_HIDB");
    ASSERT_EQ(family1.Open(WineMouseKey), 1);
    std::vector<BYTE> buffer(257, 0x00);
    EXPECT_EQ(family1.Burn(1, buffer.data(), 257), 0);
    EXPECT_EQ(family1.Burn(0, buffer.data(), 257), 0);
    EXPECT_EQ(family1.Burn(1, buffer.data(), 0), 0);
    EXPECT_EQ(buffer, std::vector<BYTE>(257, 0x00));
    EXPECT_FALSE(state.HasFile("VT_HIDB-845E0001.bin"));

    BurnDriver family2("VT_HIDC");
    ASSERT_EQ(family2.Open(WineMouseKey), 1);
    std::vector<BYTE> large(4096, 0x00);
    EXPECT_EQ(family2.Burn(1, large.data(), 2049), 0);
    EXPECT_EQ(family2.Burn(1, large.data(), 2048), 1);
}

TEST_F(ChipContents, Family2ChipSizeComesFromTheSettings)
{
    state.SetSetting("VT_HIDC", "ChipSize", "512");
    BurnDriver driver("VT_HIDC");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    std::vector<BYTE> image = PatternBytes(1024);
    EXPECT_EQ(driver.Burn(1, image.data(), 1024), 0);
    EXPECT_EQ(driver.Burn(1, image.data(), 512), 1);
    EXPECT_EQ(state.FileBytes("VT_HIDC-845E0001.bin").size(), 512u);

    state.SetSetting("VT_HIDC", "ChipSize", "0");
    ASSERT_EQ(driver.Open(WineMouseKey), 1);
    EXPECT_EQ(driver.Burn(0, image.data(), 1), 0) << "a chip size of 0 leaves no chip";
}

}  // namespace
