// The station's line on a series of the shared ledger: its set-up names the
// series instead of a log, and the family, the size and the serials come
// from the ledger; the operator sees PASS only once the ledger holds it.
#include <gtest/gtest.h>

#include "CliCommands.h"
#include "EmulatedDriverFolders.h"
#include "IdentityImage.h"
#include "ImageHash.h"
#include "LedgerBook.h"
#include "LedgerServer.h"
#include "ScriptedUnits.h"
#include "StationLine.h"
#include "StationPanel.h"
#include "WorkingFolder.h"

namespace
{
class StationLedgerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (LedgerServerConnection().empty())
        {
            GTEST_SKIP() << "no PostgreSQL server: the test command said why";
        }
        ASSERT_TRUE(database.Made() && database.Install());
        const std::string chips = folder.PathOf("chips");
        CreateDirectoryA(chips.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", chips.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        const std::string image = IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", "SAMPLE");
        folder.WriteFile("base.hex", image);
        LedgerBook book(database.Connection(), "");
        bool same = false;
        ASSERT_TRUE(book.Connect(true).Succeeded());
        ASSERT_TRUE(book.DefineSeries({"one",
                                       ChipFamily::A,
                                       128,
                                       Sha256Hex(std::vector<BYTE>(image.begin(), image.end())),
                                       {"W-", 7, 3},
                                       1},
                                      same)
                        .Succeeded());
    }

    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
    }

    // Applies the line's events to the panel until state, for at most 20 s.
    bool FollowUntil(PanelState state)
    {
        const DWORD start = GetTickCount();
        while (panel.State() != state && GetTickCount() - start < 20000)
        {
            WaitForSingleObject(line.EventsWaiting(), 100);
            for (const LineEvent& event : line.TakeEvents())
            {
                panel.Apply(event);
            }
        }
        return panel.State() == state;
    }

    ScratchDatabase database;
    WorkingFolder folder;
    StationLine line;
    StationPanel panel{ChipFamily::A};
};

TEST_F(StationLedgerTest, AOneUnitSeriesPassesOnceTheLedgerHoldsIt)
{
    StationSetup setup;
    ASSERT_EQ(ReadSetup({"base.hex", "--device", "845e:0001", "--series", "one", "--ledger", database.Connection(),
                         "--station", "window-1"},
                        setup),
              "");
    std::vector<BYTE> image;
    ASSERT_EQ(ReadImage(setup, image), "");
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::AttachUnit)) << panel.Text() << ": " << panel.Detail();
    line.Attached(1);
    ASSERT_TRUE(FollowUntil(PanelState::Pass)) << panel.Text() << ": " << panel.Detail();
    EXPECT_EQ(panel.Text(), "PASS W-007: remove the unit");
    EXPECT_EQ(
        database.Ask("SELECT station || ' ' || result FROM kelvra_events WHERE serial = 'W-007' ORDER BY id DESC"),
        "window-1 PASS");
    line.Attached(0);
    EXPECT_TRUE(line.Join(20000));
    for (const LineEvent& event : line.TakeEvents())
    {
        panel.Apply(event);
    }
    EXPECT_NE(panel.Detail().find("The series is done"), std::string::npos) << panel.Detail();
}

TEST_F(StationLedgerTest, AnotherImageIsNotStartedNamingBothHashes)
{
    folder.WriteFile("other.hex", IdentityImage(0x6707, 0x1209, 0x0002, "Widget", "Acme", "SAMPLE"));
    StationSetup setup;
    ASSERT_EQ(
        ReadSetup({"other.hex", "--device", "845e:0001", "--series", "one", "--ledger", database.Connection()}, setup),
        "");
    std::vector<BYTE> image;
    ASSERT_EQ(ReadImage(setup, image), "");
    ASSERT_TRUE(line.Start(setup, image, nullptr, 0));
    ASSERT_TRUE(FollowUntil(PanelState::NotStarted)) << panel.Text();
    EXPECT_NE(panel.Detail().find("is not the series' image"), std::string::npos) << panel.Detail();
    EXPECT_EQ(database.Ask("SELECT count(*) FROM kelvra_events"), "0");
}
}  // namespace
