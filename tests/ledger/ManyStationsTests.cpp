// Lines that share one series on the real PostgreSQL server, each on a
// thread of its own with its own connection, as stations on one batch are.
// Their units are chips in memory; the faults are failing words, corrupt
// reads, and the database cut, stopped and started while units are in hand.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "DatabaseLedger.h"
#include "EmulatedDriverFolders.h"
#include "Family0Image.h"
#include "IdentityImage.h"
#include "ImageHash.h"
#include "LedgerBook.h"
#include "LedgerServer.h"
#include "ProductionLine.h"

namespace
{
const DWORD FirstDevice = 0x845E1000;

// Chips in memory, one per line's device, each unit new and erased when it arrives.
struct MemoryChips
{
    std::mutex lock;
    std::map<DWORD, std::vector<BYTE>> chips;
    std::map<DWORD, std::string> unitOn;
    std::map<DWORD, int> arrivals;
    // Each serial and the units it was written to.
    std::map<std::string, std::set<std::string>> written;
    // Called as a unit's write begins: its device and its arrival number from 1.
    std::function<void(DWORD device, int arrival)> onWrite;
    // A word fails, or the read back is corrupt, for these.
    std::function<bool(DWORD device, int arrival)> failWord;
    std::function<bool(DWORD device, int arrival)> corruptRead;
    // The unit of the arrival before comes back, chip and all, as an
    // operator retries a unit that failed.
    std::function<bool(DWORD device, int arrival)> sameUnitAgain;
};

MemoryChips* memory = nullptr;

TransferOutcome MemoryTransfer(const TransferRequest& request, const TransferHooks&)
{
    const DWORD device = request.deviceKey;
    int arrival = 0;
    {
        std::lock_guard<std::mutex> hold(memory->lock);
        arrival = memory->arrivals[device];
    }
    if (request.direction == TransferDirection::BufferToEeprom && memory->onWrite)
    {
        memory->onWrite(device, arrival);
    }
    std::lock_guard<std::mutex> hold(memory->lock);
    std::vector<BYTE>& chip = memory->chips[device];
    chip.resize(request.size, 0xFF);
    if (request.direction == TransferDirection::EepromToBuffer)
    {
        std::copy(chip.begin(), chip.end(), request.buffer);
        if (memory->corruptRead && memory->corruptRead(device, arrival))
        {
            request.buffer[9] ^= 0x40;
        }
        return {};
    }
    const std::string serial = Family0Image::FieldCharacters(request.buffer, Family0Image::SerialNumberField);
    memory->written[serial].insert(memory->unitOn[device]);
    if (memory->failWord && memory->failWord(device, arrival))
    {
        std::copy(request.buffer, request.buffer + 40, chip.begin());
        return {TransferStatus::WordFailed, 20, nullptr};
    }
    std::copy(request.buffer, request.buffer + request.size, chip.begin());
    return {};
}

// A unit is always at hand: each arrival is a new, erased one.
class EndlessDock final : public UnitDock
{
public:
    explicit EndlessDock(DWORD device) : m_device(device) {}
    bool UnitAttached() override { return false; }
    bool WaitForArrival() override
    {
        std::lock_guard<std::mutex> hold(memory->lock);
        const int arrival = ++memory->arrivals[m_device];
        if (memory->sameUnitAgain && memory->sameUnitAgain(m_device, arrival))
        {
            return true;
        }
        memory->unitOn[m_device] = std::to_string(m_device) + "/" + std::to_string(arrival);
        memory->chips[m_device].assign(128, 0xFF);
        return true;
    }
    bool WaitForRemoval() override { return true; }

private:
    DWORD m_device;
};

class QuietObserver final : public LineObserver
{
public:
    void Opened(bool, const std::string&) override {}
    void WaitingForSerial() override {}
    void Waiting(const std::string&) override {}
    void Programming(const std::string&) override {}
    void Progress(bool, UINT, UINT) override {}
    void Passed(const UnitReport&) override {}
    void Failed(const UnitReport&) override {}
    void Voided(const UnitReport& report) override { voided.push_back(report.unit); }
    void AlreadyProgrammed(const std::string&) override {}
    void NotChecked(const UnitReport&) override {}
    void SerialRefused(const std::string&, std::string_view) override {}
    void RemoveUnit() override {}

    std::vector<std::string> voided;
};

struct Station
{
    LineEnd end = LineEnd::None;
    std::string message;
    LineTally tally;
    std::vector<std::string> voided;
};

class ManyStationsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (LedgerServerConnection().empty())
        {
            GTEST_SKIP() << "no PostgreSQL server: the test command said why";
        }
        ASSERT_TRUE(database.Made() && database.Install());
        memory = &chips;
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        const std::string base = IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", "SAMPLE");
        image.assign(base.begin(), base.end());
    }

    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        memory = nullptr;
    }

    void DefineSeries(std::uint64_t count)
    {
        LedgerBook book(database.Connection(), "");
        series = {"batch-7", ChipFamily::A, 128, Sha256Hex(image), {"KV-", 100, 6}, count};
        bool same = false;
        ASSERT_TRUE(book.Connect(true).Succeeded());
        ASSERT_TRUE(book.DefineSeries(series, same).Succeeded());
    }

    // One station's line to its end: connected, opened and run.
    Station Run(int index, std::optional<std::uint64_t> passes, DWORD retryWindow = 20000, bool givenAgain = false)
    {
        DatabaseSetup place{database.Connection(),       "",         series.name,
                            "S" + std::to_string(index), givenAgain, retryWindow};
        DatabaseLedger ledger(place);
        Station station;
        LineOutcome outcome = ledger.Connect();
        LineSetup setup;
        setup.image = image;
        setup.size = 128;
        setup.device = FirstDevice + index;
        setup.series = series.form;
        setup.seriesLength = series.count;
        setup.stopAfter = passes;
        setup.allowDuplicateSerials = givenAgain;
        setup.transfer = MemoryTransfer;
        setup.ledger = &ledger;
        QuietObserver observer;
        ProductionLine line(setup, observer);
        if (outcome.end == LineEnd::None)
        {
            outcome = line.Open();
        }
        EndlessDock dock(setup.device);
        if (outcome.end == LineEnd::None)
        {
            outcome = line.Run(dock, nullptr);
        }
        station.end = outcome.end;
        station.message = outcome.message;
        station.tally = line.Tally();
        station.voided = observer.voided;
        return station;
    }

    std::vector<Station> RunAll(int count, std::optional<std::uint64_t> passesEach)
    {
        std::vector<Station> stations(count);
        std::vector<std::thread> threads;
        for (int index = 0; index < count; ++index)
        {
            threads.emplace_back([&, index] { stations[index] = Run(index, passesEach); });
        }
        for (std::thread& thread : threads)
        {
            thread.join();
        }
        return stations;
    }

    SeriesStatus Status()
    {
        LedgerBook book(database.Connection(), "");
        SeriesStatus status;
        EXPECT_TRUE(book.Connect(true).Succeeded());
        EXPECT_TRUE(book.Status(series.name, status).Succeeded());
        return status;
    }

    // Every serial passed once in all, none on two units, and the ledger's
    // counts the units' results.
    void ExpectAccounted(const std::vector<Station>& stations, size_t passes)
    {
        std::multiset<std::string> passed;
        size_t failed = 0;
        for (const Station& station : stations)
        {
            passed.insert(station.tally.passed.begin(), station.tally.passed.end());
            failed += station.tally.failed.size();
        }
        EXPECT_EQ(passes, passed.size());
        EXPECT_EQ(passed.size(), std::set<std::string>(passed.begin(), passed.end()).size());
        for (const auto& [serial, units] : chips.written)
        {
            EXPECT_EQ(1u, units.size()) << serial << " was written to more than one unit";
        }
        const SeriesStatus status = Status();
        EXPECT_EQ(passes, status.all.passed);
        EXPECT_EQ(failed, status.all.failed);
        EXPECT_EQ(0u, status.all.open);
        EXPECT_EQ(status.all.Given(), chips.written.size());
        EXPECT_EQ(series.count - status.all.Given(), status.left);
    }

    ScratchDatabase database;
    MemoryChips chips;
    std::vector<BYTE> image;
    SeriesDefinition series;
};

TEST_F(ManyStationsTest, EightStationsShareOneSeriesOfAThousandUnits)
{
    DefineSeries(1000);
    const std::vector<Station> stations = RunAll(8, std::nullopt);
    for (const Station& station : stations)
    {
        EXPECT_TRUE(station.end == LineEnd::Done || station.end == LineEnd::SeriesExhausted) << station.message;
        EXPECT_FALSE(station.tally.passed.empty()) << "a station was starved";
    }
    ExpectAccounted(stations, 1000);
    EXPECT_EQ(0u, Status().left);
}

TEST_F(ManyStationsTest, FailingWordsCorruptReadsAndACutConnectionCostNoSerialTwice)
{
    DefineSeries(1300);
    int cuts = 0;
    chips.failWord = [](DWORD device, int arrival)
    {
        return device == FirstDevice + 1 && arrival % 5 == 0;
    };
    chips.corruptRead = [](DWORD device, int arrival)
    {
        return device == FirstDevice + 4 && arrival % 6 == 0;
    };
    chips.onWrite = [this, &cuts](DWORD device, int arrival)
    {
        if (device == FirstDevice + 6 && (arrival == 10 || arrival == 30))
        {
            cuts += database.CutStation("S6") ? 1 : 0;
        }
    };
    const std::vector<Station> stations = RunAll(8, 125);
    for (const Station& station : stations)
    {
        EXPECT_EQ(LineEnd::Done, station.end) << station.message;
        EXPECT_EQ(125u, station.tally.passed.size());
    }
    // 125 passes take 156 arrivals, every fifth failing.
    EXPECT_EQ(31u, stations[1].tally.failed.size());
    EXPECT_FALSE(stations[4].tally.failed.empty());
    EXPECT_EQ(2, cuts);
    ExpectAccounted(stations, 1000);
}

TEST_F(ManyStationsTest, AFailedSerialGoesAgainOnlyToItsOwnStationsNextUnitWhenAskedTo)
{
    DefineSeries(100);
    chips.failWord = [](DWORD device, int arrival)
    {
        return device == FirstDevice && arrival == 2;
    };
    std::vector<Station> stations(2);
    std::thread other([&] { stations[1] = Run(1, 10); });
    stations[0] = Run(0, 10, 20000, true);
    other.join();
    ASSERT_EQ(stations[0].tally.failed.size(), 1u);
    const std::string failed = stations[0].tally.failed[0];
    EXPECT_EQ(stations[0].tally.passed[1], failed) << "the station's next unit gets it";
    for (const std::string& unit : chips.written[failed])
    {
        EXPECT_EQ(unit.find(std::to_string(FirstDevice) + "/"), 0u) << failed << " went to " << unit;
    }
    const SeriesStatus status = Status();
    EXPECT_EQ(status.all.passed, 20u);
    EXPECT_EQ(status.all.Given(), 20u) << "the failed serial passed in the end: given once";
}

TEST_F(ManyStationsTest, AUnitThatFailedGetsItsOwnSerialBackWhenAttachedAgain)
{
    DefineSeries(100);
    chips.failWord = [](DWORD device, int arrival)
    {
        return device == FirstDevice && arrival == 2;
    };
    chips.sameUnitAgain = [](DWORD device, int arrival)
    {
        return device == FirstDevice && arrival == 3;
    };
    const Station station = Run(0, 4);
    ASSERT_EQ(station.tally.failed, std::vector<std::string>{"KV-000101"});
    EXPECT_EQ(station.tally.passed, (std::vector<std::string>{"KV-000100", "KV-000101", "KV-000102", "KV-000103"}));
    EXPECT_EQ(chips.written["KV-000101"].size(), 1u) << "one unit, written twice";
    const SeriesStatus status = Status();
    EXPECT_EQ(status.all.passed, 4u);
    EXPECT_EQ(status.all.Given(), 4u);
}

TEST_F(ManyStationsTest, ADatabaseStoppedAndStartedMidBatchNeedsNoPerson)
{
    DefineSeries(200);
    std::thread restart;
    chips.onWrite = [&](DWORD device, int arrival)
    {
        if (device == FirstDevice && arrival == 5)
        {
            database.Stop();
            restart = std::thread(
                [this]
                {
                    Sleep(1500);
                    database.Restart();
                });
        }
    };
    const std::vector<Station> stations = RunAll(3, 20);
    restart.join();
    for (const Station& station : stations)
    {
        EXPECT_EQ(LineEnd::Done, station.end) << station.message;
    }
    ExpectAccounted(stations, 60);
}

TEST_F(ManyStationsTest, ADatabaseLostBetweenWriteAndResultStopsTheLineAndTheNextStartVoidsTheUnit)
{
    DefineSeries(20);
    chips.onWrite = [&](DWORD device, int arrival)
    {
        if (device == FirstDevice && arrival == 3)
        {
            database.Stop();
        }
    };
    const Station lost = Run(0, std::nullopt, 1000);
    EXPECT_EQ(LineEnd::ResultNotLogged, lost.end);
    EXPECT_NE(std::string::npos, lost.message.find("KV-000102")) << lost.message;
    EXPECT_NE(std::string::npos, lost.message.find("put it aside")) << lost.message;
    EXPECT_EQ(2u, lost.tally.passed.size());
    database.Restart();
    EXPECT_EQ(1u, Status().all.open);

    chips.onWrite = nullptr;
    const Station again = Run(0, 1);
    EXPECT_EQ(std::vector<std::string>{"KV-000102"}, again.voided);
    EXPECT_EQ(std::vector<std::string>{"KV-000103"}, again.tally.passed);
    const SeriesStatus status = Status();
    EXPECT_EQ(1u, status.all.voided);
    EXPECT_EQ(0u, status.all.open);
    EXPECT_EQ(3u, status.all.passed);
}

TEST_F(ManyStationsTest, ADatabaseLostWhenAUnitArrivesLeavesTheUnitUntouched)
{
    DefineSeries(20);
    EXPECT_EQ(1u, Run(0, 1).tally.passed.size());
    chips.written.clear();
    std::thread stop(
        [this]
        {
            Sleep(300);
            database.Stop();
        });
    // The line opens before the stop, then waits for its unit through it.
    chips.onWrite = [](DWORD, int) {
    };
    DatabaseSetup place{database.Connection(), "", series.name, "S0", false, 800};
    DatabaseLedger ledger(place);
    ASSERT_EQ(LineEnd::None, ledger.Connect().end);
    std::vector<UnitReport> voided;
    ASSERT_EQ(LineEnd::None, ledger.Open(voided).end);
    stop.join();
    std::string unit;
    const LineOutcome reserved = ledger.Reserve(unit, "VID_845e&PID_1000", false);
    database.Restart();
    EXPECT_EQ(LineEnd::LedgerLostBeforeUnit, reserved.end);
    EXPECT_NE(std::string::npos, reserved.message.find("was not touched")) << reserved.message;
    EXPECT_NE(std::string::npos, reserved.message.find("server 127.0.0.1")) << reserved.message;
    EXPECT_EQ(1u, Status().all.Given());
}

TEST_F(ManyStationsTest, TwoLinesWithOneStationNameAreRefused)
{
    DefineSeries(20);
    DatabaseSetup place{database.Connection(), "", series.name, "bench-2", false, 1000};
    DatabaseLedger first(place);
    DatabaseLedger second(place);
    ASSERT_EQ(LineEnd::None, first.Connect().end);
    const LineOutcome refused = second.Connect();
    EXPECT_EQ(LineEnd::LedgerRefused, refused.end);
    EXPECT_NE(std::string::npos, refused.message.find("\"bench-2\" already")) << refused.message;
}

TEST_F(ManyStationsTest, ALineWhoseNameAnotherTookWhileItWasAwayClaimsNothing)
{
    DefineSeries(20);
    const DatabaseSetup place{database.Connection(), "", series.name, "bench-2", false, 1000};
    DatabaseLedger away(place);
    ASSERT_EQ(LineEnd::None, away.Connect().end);
    ASSERT_TRUE(database.CutStation("bench-2"));
    DatabaseLedger other(place);
    ASSERT_EQ(LineEnd::None, other.Connect().end);
    // Between units: it finds its connection gone, then tries again; then a unit arrives.
    away.NextNumber();
    away.NextNumber();
    std::string unit;
    EXPECT_EQ(LineEnd::LedgerRefused, away.Reserve(unit, "VID_845e&PID_1000", false).end);
    EXPECT_EQ(0u, Status().all.Given());
}

TEST_F(ManyStationsTest, AnotherImageIsRefusedNamingBothHashes)
{
    DefineSeries(20);
    DatabaseLedger ledger({database.Connection(), "", series.name, "S0", false, 1000});
    ASSERT_EQ(LineEnd::None, ledger.Connect().end);
    std::vector<BYTE> other = image;
    other[60] ^= 1;
    const LineOutcome refused = ledger.CheckImage(other, "other.hex");
    EXPECT_EQ(LineEnd::LedgerRefused, refused.end);
    EXPECT_NE(std::string::npos, refused.message.find(Sha256Hex(other))) << refused.message;
    EXPECT_NE(std::string::npos, refused.message.find(series.imageSha256)) << refused.message;
    EXPECT_EQ(LineEnd::None, ledger.CheckImage(image, "base.hex").end);
}
}  // namespace
