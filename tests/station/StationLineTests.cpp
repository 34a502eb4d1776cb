// The station's line and panel in process: the line core on its own thread,
// the emulated VT_HIDA.dll on Wine's device 845e/0001, and this test as the
// operator, who attaches and removes units (as the window's device count
// tells the line) and scans serials, reading the panel as it goes.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "DeviceLock.h"
#include "EmulatedDriverFolders.h"
#include "IdentityImage.h"
#include "StationLine.h"
#include "StationPanel.h"
#include "WorkingFolder.h"

namespace
{
const char* const SerialHeader = "time,serial,device,result,first_difference,detail\r\n";
const char* const Ellipsis = "\xE2\x80\xA6";

std::string Row(const char* serial, const char* result)
{
    return std::string("2026-12-07T10:30:12+01:00,") + serial + ",VID_845e&PID_0001," + result + ",,\r\n";
}

std::string ImageWith(const std::string& serial)
{
    return IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", serial);
}

// What the operator saw and heard, one entry per panel text.
struct Seen
{
    std::vector<std::string> texts;
    std::vector<PanelSound> sounds;
};

class StationLineTest : public testing::Test
{
protected:
    void SetUp() override
    {
        stateFolder = folder.PathOf("chips");
        CreateDirectoryA(stateFolder.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", stateFolder.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        setup.family = ChipFamily::A;
        setup.size = 128;
        setup.image = folder.PathOf("base.hex");
        setup.device = 0x845E0001;
        setup.log = folder.PathOf("line.csv");
        image.assign(128, 0);
        const std::string base = ImageWith("SAMPLE");
        image.assign(base.begin(), base.end());
    }

    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
    }

    void Series(const char* start, std::uint64_t count)
    {
        setup.series = SerialSeries::ParseStart(start).Value();
        setup.count = count;
    }

    // Applies the line's events to the panel until done() holds or the line
    // has ended; false when neither came within 20 s.
    bool Follow(const std::function<bool()>& done)
    {
        const DWORD start = GetTickCount();
        while (!done() && !ended)
        {
            if (GetTickCount() - start > 20000)
            {
                return false;
            }
            WaitForSingleObject(line.EventsWaiting(), 100);
            // As the window's timer draws the bar.
            panel.Moved(line.WordsMoved(), line.WordsInAll());
            for (const LineEvent& event : line.TakeEvents())
            {
                const PanelSound sound = panel.Apply(event);
                if (sound != PanelSound::None)
                {
                    seen.sounds.push_back(sound);
                }
                if (seen.texts.empty() || seen.texts.back() != panel.Text())
                {
                    seen.texts.push_back(panel.Text());
                }
                ended = ended || event.kind == LineEvent::Kind::Ended;
            }
        }
        return true;
    }

    bool FollowUntil(PanelState state)
    {
        return Follow([&] { return panel.State() == state; }) && panel.State() == state;
    }

    // A scanning line that awaits a unit, to be given serial.
    void AwaitUnitScanned(const char* serial)
    {
        setup.scan = true;
        panel.Begin();
        ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
        ASSERT_TRUE(FollowUntil(PanelState::ScanSerial));
        line.Scanned(serial);
        ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    }

    // Plays the operator until the line ends: each awaited unit is attached,
    // after before(n), and removed once the line asks for it.
    void Operate(const std::function<void(int unit)>& before = nullptr)
    {
        int units = 0;
        // Bounded: a line that does not end is a failure, not a wait.
        for (int turn = 0; turn < 20 && Follow([&] { return panel.WaitsForDevices(); }) && !ended; ++turn)
        {
            if (panel.State() == PanelState::AttachUnit)
            {
                if (before)
                {
                    before(units);
                }
                ++units;
                line.Attached(1);
            }
            else
            {
                line.Attached(0);
            }
            // The line has seen the change once it tells the next thing.
            const PanelState state = panel.State();
            const bool removal = panel.WaitsForDevices() && state != PanelState::AttachUnit;
            ASSERT_TRUE(Follow([&] { return panel.State() != state || (removal && !panel.WaitsForDevices()); }));
        }
        ASSERT_TRUE(ended) << "the line did not end; the panel says " << panel.Text();
    }

    void SetEmulator(const char* key, const char* value) const
    {
        WritePrivateProfileStringA("VT_HIDA", key, value, (stateFolder + "\\emulator.ini").c_str());
    }

    std::string ChipSerial() const
    {
        const std::string chip = folder.ReadFile("chips\\VT_HIDA-845E0001.bin");
        return chip.size() < 128 ? "<no chip>" : chip.substr(7, static_cast<unsigned char>(chip[6]) / 2 - 1);
    }

    // Each row as unit and result.
    std::vector<std::string> LogRows() const
    {
        std::vector<std::string> rows;
        std::istringstream lines(folder.ReadFile("line.csv"));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line))
        {
            std::istringstream fields(line);
            std::string time, unit, device, result;
            std::getline(fields, time, ',');
            std::getline(fields, unit, ',');
            std::getline(fields, device, ',');
            std::getline(fields, result, ',');
            rows.push_back(unit + " " + result);
        }
        return rows;
    }

    WorkingFolder folder;
    std::string stateFolder;
    StationSetup setup;
    std::vector<BYTE> image;
    StationLine line;
    StationPanel panel{ChipFamily::A};
    Seen seen;
    bool ended = false;
};

using Texts = std::vector<std::string>;

TEST_F(StationLineTest, PanelFollowsAFailedVerifyItsRetryAndTheSeriesToItsEnd)
{
    Series("KV-000100", 2);
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    // The first unit reads back byte 10 wrong; the others are sound.
    Operate([&](int unit) { SetEmulator("CorruptReadOffset", unit == 0 ? "10" : nullptr); });

    const std::string programming = std::string("Programming KV-000100") + Ellipsis;
    EXPECT_EQ(seen.texts,
              (Texts{"Press Start", "Attach a unit", programming, "FAIL: verify differs at 0x0a: remove the unit",
                     "Attach a unit", programming, "PASS KV-000100: remove the unit", "Attach a unit",
                     std::string("Programming KV-000101") + Ellipsis, "PASS KV-000101: remove the unit"}));
    EXPECT_EQ(seen.sounds, (std::vector<PanelSound>{PanelSound::Fail, PanelSound::Pass, PanelSound::Pass}));
    EXPECT_EQ(panel.Tone(), PanelTone::Good);
    EXPECT_EQ(panel.Passed(), 2u);
    EXPECT_EQ(panel.Failed(), 1u);
    EXPECT_EQ(line.WordsMoved(), 128u) << "64 words written, 64 read";
    EXPECT_EQ(line.WordsInAll(), 128u);
    EXPECT_EQ(panel.Progress(), panel.ProgressRange()) << "full once the unit passed";
    EXPECT_EQ(ChipSerial(), "KV-000101");
    EXPECT_EQ(LogRows(), (Texts{"KV-000100 RESERVED", "KV-000100 FAIL", "KV-000100 RESERVED", "KV-000100 PASS",
                                "KV-000101 RESERVED", "KV-000101 PASS"}));
}

TEST_F(StationLineTest, AFailedSerialGoesToNoOtherUnitButTheUnitThatFailedGetsItAgain)
{
    Series("KV-000100", 2);
    SetEmulator("CorruptReadOffset", "10");
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    EXPECT_EQ(panel.Detail(), "A new log: the series starts at KV-000100.\nIt gets KV-000100.");
    ASSERT_TRUE(panel.Attached(2));
    EXPECT_EQ(panel.Detail(), "2 units are attached: leave one. The libraries cannot tell them apart.\nA new log: the "
                              "series starts at KV-000100.\nIt gets KV-000100.");
    ASSERT_TRUE(panel.Attached(1));
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Fail));
    EXPECT_EQ(panel.NextUnit(), "KV-000101") << "what the next unit gets shows while the result does";
    EXPECT_EQ(panel.Tone(), PanelTone::Bad);
    EXPECT_NE(panel.Detail().find("The chip differs from the image in 1 of 128 bytes"), std::string::npos)
        << panel.Detail();
    ASSERT_TRUE(Follow([&] { return panel.WaitsForDevices(); }));
    SetEmulator("CorruptReadOffset", nullptr);
    line.Attached(0);
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    EXPECT_EQ(panel.NextUnit(), "KV-000101");
    EXPECT_EQ(panel.Detail(), "It gets KV-000101.");
    // The unit that failed, attached again: its chip holds KV-000100.
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(panel.Text(), "PASS KV-000100: remove the unit");
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(LogRows(), (Texts{"KV-000100 RESERVED", "KV-000100 FAIL", "KV-000100 RESERVED", "KV-000100 PASS"}));
}

TEST_F(StationLineTest, ResumeVoidsAReservationAndLeavesAnAttachedUnitThatPassedAlone)
{
    folder.WriteFile("line.csv", SerialHeader + Row("KV-000100", "RESERVED") + Row("KV-000100", "PASS") +
                                     Row("KV-000101", "RESERVED"));
    folder.WriteFile("chips\\VT_HIDA-845E0001.bin", ImageWith("KV-000100"));
    Series("KV-000100", 3);
    line.Attached(1);
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::AlreadyProgrammed));
    EXPECT_EQ(panel.Text(), "Unit already programmed as KV-000100: remove it");
    EXPECT_EQ(panel.Tone(), PanelTone::Warning);
    EXPECT_EQ(panel.Voided(), 1u);
    EXPECT_EQ(panel.Detail(), "Void: KV-000101, reserved without a result; no unit gets it again.\nIt passed in this "
                              "log, so it is not written again.");
    EXPECT_EQ(ChipSerial(), "KV-000100") << "not written again";
    Operate();

    EXPECT_EQ(seen.sounds, (std::vector<PanelSound>{PanelSound::Warning, PanelSound::Pass}));
    EXPECT_EQ(seen.texts.back(), "PASS KV-000102: remove the unit");
    EXPECT_EQ(LogRows(), (Texts{"KV-000100 RESERVED", "KV-000100 PASS", "KV-000101 RESERVED", "KV-000101 VOID",
                                "KV-000102 RESERVED", "KV-000102 PASS"}));
}

TEST_F(StationLineTest, ScannedSerialsThatNoUnitMayHaveAreRefusedBeforeAnyUnitIsTouched)
{
    folder.WriteFile("line.csv", SerialHeader + Row("KV-000100", "RESERVED") + Row("KV-000100", "PASS"));
    setup.scan = true;
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::ScanSerial));
    struct Case
    {
        const char* serial;
        const char* text;
        const char* why;
    };
    const Case cases[] = {
        {"KV-0001 ", "Refused: KV-0001 ", "\"KV-0001 \" ends with a space."},
        {"ABCDEFGHIJKLMN", "Refused: ABCDEFGHIJKLMN", "is longer than the 13 characters a serial number holds"},
        {"KV\x01", "Refused: KV?", "has a character that is not printable ASCII"},
        {"KV-\xC3\xA4"
         "1",
         "Refused: KV-\xC3\xA4"
         "1",
         "\"KV-\xC3\xA4"
         "1\" has a character that is not printable"},
        {"KV-000100", "Refused: KV-000100", "\"KV-000100\" passed in this log already. No unit was touched"},
        {"kv-000100", "Refused: kv-000100", "\"kv-000100\" passed in this log already. No unit was touched"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.serial);
        seen.sounds.clear();
        line.Scanned(test.serial);
        ASSERT_TRUE(Follow([&] { return panel.Text() == test.text; })) << panel.Text();
        EXPECT_EQ(panel.State(), PanelState::SerialRefused);
        EXPECT_NE(panel.Detail().find(test.why), std::string::npos) << panel.Detail();
        EXPECT_EQ(seen.sounds, std::vector<PanelSound>{PanelSound::Refused});
    }
    EXPECT_EQ(GetFileAttributesA((stateFolder + "\\calls.log").c_str()), INVALID_FILE_ATTRIBUTES) << "no library call";
    EXPECT_EQ(LogRows(), (Texts{"KV-000100 RESERVED", "KV-000100 PASS"}));

    line.Scanned("LABEL-7");
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    EXPECT_EQ(panel.NextUnit(), "LABEL-7");
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(panel.Text(), "PASS LABEL-7: remove the unit");
    EXPECT_EQ(ChipSerial(), "LABEL-7");
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(panel.State(), PanelState::Pass) << "the result stays up until the unit is removed";
    EXPECT_EQ(LogRows().back(), "LABEL-7 PASS");
}

TEST_F(StationLineTest, AScanWhileAUnitIsAwaitedReplacesTheSerialItGets)
{
    ASSERT_NO_FATAL_FAILURE(AwaitUnitScanned("A-1"));
    EXPECT_TRUE(panel.TakesScans());
    line.Scanned("B-2");
    ASSERT_TRUE(Follow([&] { return panel.NextUnit() == "B-2"; })) << panel.Detail();
    EXPECT_EQ(panel.Detail(), "A new log: no serial was given in it yet.\nB-2 replaces A-1. It gets B-2.");
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(ChipSerial(), "B-2");
    EXPECT_FALSE(panel.TakesScans()) << "a scan while a unit is in hand could be its own label";
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(LogRows(), (Texts{"B-2 RESERVED", "B-2 PASS"}));
}

// The refused scan was the label of the unit in hand: A-1 is another unit's.
TEST_F(StationLineTest, ARefusedScanWhileAUnitIsAwaitedDropsTheSerialWaitingToo)
{
    ASSERT_NO_FATAL_FAILURE(AwaitUnitScanned("A-1"));
    line.Scanned("ABCDEFGHIJKLMN");
    ASSERT_TRUE(FollowUntil(PanelState::SerialRefused));
    ASSERT_TRUE(Follow([&] { return panel.NextUnit().empty(); }));
    EXPECT_EQ(panel.Detail(), "The serial \"ABCDEFGHIJKLMN\" is longer than the 13 characters a serial number holds. "
                              "A-1 is dropped too: scan this unit's label again.");
    EXPECT_TRUE(panel.TakesScans());
    line.Attached(1);
    line.Scanned("C-3");
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(ChipSerial(), "C-3");
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(LogRows(), (Texts{"C-3 RESERVED", "C-3 PASS"}));
}

// The device lock: another program's write would succeed on a unit the panel
// still asks to have removed.
TEST_F(StationLineTest, TheDeviceStaysLockedAfterTheLineEndsUntilTheUnitIsRemoved)
{
    struct Case
    {
        const char* name;
        std::uint64_t count;
        bool stop;
        const char* afterRemoval;
    };
    const Case cases[] = {{"the series done", 1, false, "Series done"}, {"Stop", 2, true, "Stopped"}};
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        folder.WriteFile("line.csv", "");
        Series("KV-000100", test.count);
        ended = false;
        line.Attached(0);
        panel.Begin();
        ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
        ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
        line.Attached(1);
        ASSERT_TRUE(FollowUntil(PanelState::Pass));
        if (test.stop)
        {
            panel.Stopping(false);
            line.Stop();
        }
        ASSERT_TRUE(Follow([] { return false; }));
        ASSERT_TRUE(ended);
        EXPECT_EQ(panel.Text(), "PASS KV-000100: remove the unit");
        EXPECT_NE(panel.Detail().find("KV-000100 is written, read back and logged."), std::string::npos)
            << panel.Detail();
        DeviceLock other;
        EXPECT_FALSE(other.TryAcquire(setup.device)) << "another program could write the unit";
        line.Attached(0);
        ended = false;  // what follows the line's end
        ASSERT_TRUE(FollowUntil(PanelState::Stopped));
        EXPECT_EQ(panel.Text(), test.afterRemoval);
        EXPECT_TRUE(other.TryAcquire(setup.device)) << "let go once the unit is removed";
    }
}

TEST_F(StationLineTest, AUnitStillAttachedSinceItsPassIsNotWrittenAgainAfterStopAndStart)
{
    setup.family = ChipFamily::B;
    setup.size = 256;
    image.assign(256, 0x5A);
    panel = StationPanel(ChipFamily::B);
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(panel.NextUnit(), "2");
    panel.Stopping(false);
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(panel.Detail(), "Unit 1 is written, read back and logged. The line is stopped: press Start to go on.");

    ended = false;
    panel.Begin();
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::NotChecked)) << panel.Text();
    EXPECT_NE(panel.Detail().find("cannot be read back"), std::string::npos) << panel.Detail();
    DeviceLock other;
    EXPECT_FALSE(other.TryAcquire(setup.device)) << "held while its removal is awaited";
    line.Attached(0);
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    EXPECT_EQ(panel.NextUnit(), "2");
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass));
    EXPECT_EQ(panel.Text(), "PASS unit 2: remove the unit");
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
    EXPECT_EQ(LogRows(), (Texts{"1 RESERVED", "1 PASS", "2 RESERVED", "2 PASS"}));
}

TEST_F(StationLineTest, AFailedWriteSaysOneThingToDo)
{
    // Two serials, so the failure is the last thing the panel says.
    Series("KV-000100", 2);
    SetEmulator("FailWriteWord", "3");
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit));
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Fail));
    EXPECT_EQ(panel.Detail(), "KV-000100: Writing failed at word 3 of 64; the device was closed. The chip may now hold "
                              "part of the image. Put the unit aside.");
    line.Stop();
    ASSERT_TRUE(Follow([] { return false; }));
}

TEST(StationPanel, ReasonsReadAsSentencesWithFileNamesAsTyped)
{
    const char* const cases[][2] = {
        {"other.hex is a second image", "other.hex is a second image."},
        {"the image D:\\x is a folder", "The image D:\\x is a folder."},
        {"is it held by another program?", "Is it held by another program?"},
        {"--count is for a series", "--count is for a series."},
    };
    for (const auto& test : cases)
    {
        StationPanel panel(ChipFamily::A);
        panel.Refuse(test[0]);
        EXPECT_EQ(panel.Detail(), test[1]);
    }
}
}  // namespace
