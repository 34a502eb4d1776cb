// kelvra-cli ledger and kelvra-cli line --series, run as a script runs
// them, on a database of the private PostgreSQL server: the exit status,
// the output, the chip and what the ledger holds.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "CliCommands.h"
#include "LedgerCommands.h"
#include "DatabaseLedger.h"
#include "EmulatedDriverFolders.h"
#include "Family0Image.h"
#include "IdentityImage.h"
#include "Interrupt.h"
#include "LedgerServer.h"
#include "ProductionLine.h"
#include "RecordingConsole.h"
#include "ScriptedUnits.h"
#include "WorkingFolder.h"

namespace
{
const char* const Header = "time,serial,device,result,first_difference,detail\r\n";

std::string Row(const char* serial, const char* result)
{
    return std::string("2026-12-07T10:30:12+01:00,") + serial + ",VID_845e&PID_0001," + result + ",,\r\n";
}

class LedgerCommandTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (LedgerServerConnection().empty())
        {
            GTEST_SKIP() << "no PostgreSQL server: the test command said why";
        }
        ASSERT_TRUE(database.Made());
        ClearInterrupt();
        const std::string chips = folder.PathOf("chips");
        CreateDirectoryA(chips.c_str(), nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", chips.c_str());
        SetDllDirectoryA(EmulatedDriversFolder.c_str());
        folder.WriteFile("base.hex", IdentityImage(0x6707, 0x1209, 0x0001, "Widget", "Acme", "SAMPLE"));
    }

    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("KELVRA_EMULATOR_DIR", nullptr);
        SetEnvironmentVariableA("KELVRA_LEDGER_PASSWORD", nullptr);
        ClearInterrupt();
    }

    int Cli(std::vector<std::string> arguments, bool withLedger = true)
    {
        console = RecordingConsole();
        if (withLedger)
        {
            arguments.insert(arguments.end(), {"--ledger", database.Connection()});
        }
        if (arguments[0] == "ledger")
        {
            return RunLedgerCommand(std::vector<std::string>(arguments.begin() + 1, arguments.end()), console);
        }
        ScriptedUnits none(0);
        return RunKelvraCli(arguments, console, none);
    }

    int Line(int units, const std::string& station, const std::string& connection = "",
             const std::vector<std::string>& more = {})
    {
        console = RecordingConsole();
        ScriptedUnits scripted(units);
        // The operator presses Ctrl+C once the scripted units are done.
        scripted.afterLast = []
        {
            RequestInterrupt();
        };
        std::vector<std::string> arguments = {"line",      folder.PathOf("base.hex"),
                                              "--series",  "batch",
                                              "--station", station,
                                              "--device",  "845e:0001",
                                              "--ledger",  connection.empty() ? database.Connection() : connection,
                                              "--quiet"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        const int status = RunKelvraCli(arguments, console, scripted);
        ClearInterrupt();
        return status;
    }

    void Define(const std::vector<std::string>& more = {"--start", "KV-000100", "--count", "10"})
    {
        ASSERT_EQ(Cli({"ledger", "init"}), 0) << console.err;
        std::vector<std::string> arguments = {"ledger",   "add-series", "batch", folder.PathOf("base.hex"),
                                              "--family", "A"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        ASSERT_EQ(Cli(arguments), 0) << console.err;
    }

    std::string ChipSerial() const
    {
        const std::string chip = folder.ReadFile("chips\\VT_HIDA-845E0001.bin");
        return chip.size() < 128 ? "<no chip>"
                                 : Family0Image::FieldCharacters(reinterpret_cast<const std::uint8_t*>(chip.data()),
                                                                 Family0Image::SerialNumberField);
    }

    ScratchDatabase database;
    WorkingFolder folder;
    RecordingConsole console;
};

TEST_F(LedgerCommandTest, TwoStationsOnOneSeriesStatusAndExportAddUp)
{
    Define();
    EXPECT_EQ(Line(2, "bench-1"), 10) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\nPASS  KV-000101  VID_845e&PID_0001\n");
    EXPECT_EQ(ChipSerial(), "KV-000101");
    EXPECT_EQ(Line(1, "bench-2"), 10) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000102  VID_845e&PID_0001\n");

    ASSERT_EQ(Cli({"ledger", "status", "batch", "--json"}), 0) << console.err;
    EXPECT_NE(console.out.find("\"passed\":3,\"failed\":0,\"void\":0,\"open\":0,\"given\":3,\"left\":7"),
              std::string::npos)
        << console.out;
    EXPECT_NE(console.out.find("{\"station\":\"bench-2\",\"passed\":1,\"failed\":0,\"void\":0,\"open\":0,\"last\":"
                               "{\"serial\":\"KV-000102\",\"result\":\"PASS\""),
              std::string::npos)
        << console.out;

    ASSERT_EQ(Cli({"ledger", "export", "batch", "-o", folder.PathOf("batch.csv")}), 0) << console.err;
    const std::string exported = folder.ReadFile("batch.csv");
    EXPECT_EQ(exported.substr(0, exported.find('\n') + 1),
              "time,serial,device,result,first_difference,detail,station\r\n");
    EXPECT_NE(exported.find(",KV-000102,VID_845e&PID_0001,RESERVED,,,bench-2\r\n"), std::string::npos) << exported;
    EXPECT_NE(exported.find(",KV-000102,VID_845e&PID_0001,PASS,,,bench-2\r\n"), std::string::npos) << exported;
}

TEST_F(LedgerCommandTest, StopAfterEndsOneRunAndTheSeriesGoesOn)
{
    Define();
    EXPECT_EQ(Line(3, "bench-1", "", {"--stop-after", "2"}), 0) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\nPASS  KV-000101  VID_845e&PID_0001\n");
    EXPECT_EQ(Line(1, "bench-1"), 10) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000102  VID_845e&PID_0001\n");
}

TEST_F(LedgerCommandTest, TheStationsRoleMayOnlyInsertAndSelectAndIsEnough)
{
    Define();
    const std::string role =
        "kelvra_station_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
    // The README's grants, word for word.
    for (const std::string& grant : {"CREATE ROLE " + role + " LOGIN", "GRANT USAGE ON SCHEMA public TO " + role,
                                     "GRANT SELECT ON kelvra_schema, kelvra_series TO " + role,
                                     "GRANT SELECT, INSERT ON kelvra_claims, kelvra_events TO " + role,
                                     "GRANT USAGE ON SEQUENCE kelvra_events_id_seq TO " + role})
    {
        ASSERT_TRUE(database.Admin(grant)) << grant;
    }
    std::string asStation = database.Connection();
    asStation.replace(asStation.find("Uid=postgres;"), 13, "Uid=" + role + ";");

    EXPECT_EQ(Line(1, "bench-1", asStation), 10) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000100  VID_845e&PID_0001\n");
    for (std::vector<std::string> command : {std::vector<std::string>{"ledger", "status", "batch"},
                                             {"ledger", "void", "batch", "--station", "x"},
                                             {"ledger", "export", "batch", "-o", folder.PathOf("out.csv")}})
    {
        command.insert(command.end(), {"--ledger", asStation});
        EXPECT_EQ(Cli(command, false), 0) << command[1] << ": " << console.err;
    }
    OdbcConnection station;
    ASSERT_TRUE(station.Connect(asStation).ok);
    for (const char* change : {"UPDATE kelvra_events SET result = 'PASS'", "DELETE FROM kelvra_claims",
                               "INSERT INTO kelvra_series (name, family, size, image_sha256, prefix, first_number,"
                               " width, unit_count) VALUES ('x', 'A', 128, '', '', 0, 1, 1)"})
    {
        const OdbcStatus refused = station.Run(change, {});
        EXPECT_EQ(refused.state, "42501") << change;
        station.Rollback();
    }
}

TEST_F(LedgerCommandTest, KelvraCliLedgerRunsTheLedgersProgramAsAScriptDoes)
{
    Define();
    const ProcessRun status =
        RunProcess(KELVRA_CLI_PROGRAM, {"ledger", "status", "batch", "--json", "--ledger", database.Connection()}, "");
    EXPECT_EQ(status.exitCode, 0u) << status.err;
    EXPECT_EQ(status.out.find("{\"series\":\"batch\",\"family\":\"VT-A\",\"serials\":10,"), 0u) << status.out;
    const ProcessRun missing =
        RunProcess(KELVRA_CLI_PROGRAM, {"ledger", "status", "no such", "--ledger", database.Connection()}, "");
    EXPECT_EQ(missing.exitCode, 11u);
    EXPECT_EQ(missing.err, "kelvra-cli: the ledger at server 127.0.0.1, database " +
                               database.Connection().substr(
                                   database.Connection().find("Database=") + 9,
                                   database.Connection().find(';', database.Connection().find("Database=")) -
                                       database.Connection().find("Database=") - 9) +
                               ": it has no series \"no such\": define it with kelvra-cli ledger add-series\n");
}

TEST_F(LedgerCommandTest, AnImportedLogGoesOnWithoutReuse)
{
    Define();
    folder.WriteFile("old.csv", Header + Row("KV-000100", "RESERVED") + Row("KV-000100", "PASS") +
                                    Row("KV-000101", "RESERVED") + Row("KV-000101", "FAIL") +
                                    Row("KV-000102", "RESERVED"));
    ASSERT_EQ(Cli({"ledger", "import", folder.PathOf("old.csv"), "--series", "batch"}), 0) << console.err;
    EXPECT_NE(console.out.find("5 rows imported, 1 open reservations made void"), std::string::npos) << console.out;
    EXPECT_EQ(Cli({"ledger", "import", folder.PathOf("old.csv"), "--series", "batch"}), 11);
    EXPECT_NE(console.err.find("KV-000100 is in the ledger already; nothing was imported"), std::string::npos)
        << console.err;

    EXPECT_EQ(Line(1, "bench-1"), 10) << console.err;
    EXPECT_EQ(console.out, "PASS  KV-000103  VID_845e&PID_0001\n");
    ASSERT_EQ(Cli({"ledger", "status", "batch", "--json"}), 0);
    EXPECT_NE(console.out.find("\"passed\":2,\"failed\":1,\"void\":1,\"open\":0,\"given\":4,\"left\":6"),
              std::string::npos)
        << console.out;
}

TEST_F(LedgerCommandTest, BadInputIsInertAndRefused)
{
    Define();
    folder.WriteFile("quoted.csv", Header + Row("KV-1'--", "PASS"));
    struct Case
    {
        const char* name;
        std::vector<std::string> arguments;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"a quote in a series' name", {"ledger", "status", "KV-1'--"}, 11, "no series \"KV-1'--\""},
        {"a quote in a log's serial",
         {"ledger", "import", folder.PathOf("quoted.csv"), "--series", "batch"},
         8,
         "row 2 names \"KV-1'--\""},
        {"SQL as a station",
         {"ledger", "void", "batch", "--station", "x'); DROP TABLE kelvra_events; --"},
         0,
         "0 open reservations"},
        {"a control character", {"ledger", "void", "batch", "--station", "a\tb"}, 2, "--station holds a control"},
        {"a line with both kinds", {"line", "base.hex", "--series", "batch", "--log", "x.csv"}, 2, "not both"},
        {"a family beside a series",
         {"line", "base.hex", "--series", "batch", "--family", "A"},
         2,
         "leave out --family"},
        // The series has its own length.
        {"a count beside a series", {"line", "base.hex", "--series", "batch", "--count", "3"}, 2, "--count"},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Cli(test.arguments), test.status) << console.err;
        EXPECT_NE((console.out + console.err).find(test.says), std::string::npos) << console.out << console.err;
    }
    EXPECT_EQ(database.Ask("SELECT count(*) FROM kelvra_events"), "0");
    EXPECT_EQ(database.Ask("SELECT count(*) FROM kelvra_series"), "1");
}

TEST_F(LedgerCommandTest, AServerThatCannotBeReachedIsNamedWithoutThePassword)
{
    SetEnvironmentVariableA("KELVRA_LEDGER_PASSWORD", "env-secret-77");
    const std::string unreachable = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=plant;Uid=line;";
    for (const std::string& connection : {unreachable + "Pwd={given;secret}", unreachable})
    {
        EXPECT_EQ(Cli({"ledger", "status", "batch", "--json", "--ledger", connection}, false), 12);
        EXPECT_NE(console.out.find("the ledger at server 127.0.0.1, database plant cannot be reached"),
                  std::string::npos)
            << console.out;
        EXPECT_EQ(console.out.find("secret"), std::string::npos) << console.out;
        EXPECT_EQ(Cli({"line", "base.hex", "--series", "batch", "--ledger", connection}, false), 12);
        EXPECT_NE(console.err.find("server 127.0.0.1, database plant"), std::string::npos) << console.err;
        EXPECT_EQ(console.err.find("secret"), std::string::npos) << console.err;
    }
}

TEST_F(LedgerCommandTest, TheSchemaIsVersionedAndANewerOneRefused)
{
    EXPECT_EQ(Cli({"ledger", "status", "batch"}), 11);
    EXPECT_NE(console.err.find("run kelvra-cli ledger init first"), std::string::npos) << console.err;
    ASSERT_EQ(Cli({"ledger", "init"}), 0);
    EXPECT_EQ(console.out, "ledger: the ledger's schema was made, version 1\n");
    ASSERT_EQ(Cli({"ledger", "init"}), 0);
    EXPECT_EQ(console.out, "ledger: the ledger's schema is at version 1 already\n");
    ASSERT_TRUE(database.Admin("INSERT INTO kelvra_schema (version) VALUES (2)"));
    EXPECT_EQ(Cli({"ledger", "status", "batch"}), 11);
    EXPECT_EQ(Cli({"ledger", "init"}), 11);
    EXPECT_NE(console.err.find("version 2, newer than this program's 1"), std::string::npos) << console.err;
}

TEST_F(LedgerCommandTest, ADeadStationsReservationIsVoidedAndCounted)
{
    Define();
    std::optional<DatabaseLedger> station(DatabaseSetup{database.Connection(), "", "batch", "bench-9", false, 1000});
    ASSERT_EQ(station->Connect().end, LineEnd::None);
    std::string unit;
    ASSERT_EQ(station->Reserve(unit, "VID_845e&PID_0001", false).end, LineEnd::None);
    EXPECT_EQ(Cli({"ledger", "void", "batch", "--station", "bench-9"}), 11) << "it still runs";
    EXPECT_NE(console.err.find("station \"bench-9\" is running"), std::string::npos) << console.err;

    station.reset();  // the station dies
    ASSERT_EQ(Cli({"ledger", "void", "batch", "--station", "bench-9"}), 0) << console.err;
    EXPECT_EQ(console.out, "VOID  KV-000100  bench-9  station voided\n"
                           "ledger: 1 open reservations of station \"bench-9\" made void; no unit gets them again\n");
    ASSERT_EQ(Cli({"ledger", "status", "batch"}), 0);
    EXPECT_NE(console.out.find("bench-9                0       0       1       0   KV-000100 VOID"), std::string::npos)
        << console.out;
    EXPECT_NE(console.out.find("given: 1, left: 9"), std::string::npos) << console.out;
}
}  // namespace
