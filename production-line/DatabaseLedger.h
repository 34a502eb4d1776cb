// The ledger many stations share: a PostgreSQL database reached through
// ODBC. A serial is claimed and its reservation committed in one transaction
// before the first write; its result is committed before the line says
// PASS. A database lost mid-batch is tried again for a bounded time, then
// the line stops in a state of its own; between units it reconnects by
// itself.
#pragma once

#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <optional>
#include <string>
#include <vector>

#include "DriverLibrary.h"
#include "Ledger.h"
#include "LineLedger.h"
#include "Odbc.h"
#include "SerialSeries.h"

// A series as add-series defined it, for every station.
struct SeriesDefinition
{
    std::string name;
    ChipFamily family = ChipFamily::A;
    UINT size = 0;
    std::string imageSha256;
    // VT-A: the first serial's form and number; VT-B, VT-C: unit numbers from 1.
    SerialSeries::Form form;
    std::uint64_t count = 0;
};

struct DatabaseSetup
{
    std::string connection;  // an ODBC connection string, perhaps without its password
    std::string password;    // added as PWD when the string has none; never shown
    std::string series;
    std::string station;
    // The opt-in: a failed serial goes again to this station's next unit,
    // whatever unit that is.
    bool failedGivenAgain = false;
    // How long a lost database is tried again before the line gives up, in ms.
    DWORD retryWindow = 20000;
};

class DatabaseLedger final : public Ledger
{
public:
    explicit DatabaseLedger(const DatabaseSetup& setup);

    // Connects, checks the schema, takes the station's name for this line
    // alone and reads the series. LedgerUnreachable or LedgerRefused, with
    // the server and database named.
    LineOutcome Connect();
    const SeriesDefinition& Series() const { return m_series; }
    // LedgerRefused, naming both hashes, when image is not the series' image.
    LineOutcome CheckImage(const std::vector<BYTE>& image, std::string_view imageName) const;
    LineOutcome Open(std::vector<UnitReport>& voided) override;
    bool HeldNothing() const override { return false; }
    std::uint64_t NextNumber() override;
    LineOutcome Reserve(std::string& unit, const std::string& device, bool again) override;
    LineOutcome Record(const UnitReport& report, const char* result) override;
    LedgerAnswer Passed(const std::string& unit) override;
    bool FailedLeft(const std::string& unit) override;
    std::string Refusal(const std::string&) override { return "cannot be scanned on a shared ledger"; }

private:
    OdbcStatus Reconnect();
    OdbcStatus HoldStation();
    // A call borrowed for one Retrying: no copy, no allocation, and none of
    // std::function's code.
    class Work
    {
    public:
        template <class Call>
        Work(Call&& call)
            : m_call(&call),
              m_invoke([](void* called) { return (*static_cast<std::remove_reference_t<Call>*>(called))(); })
        {
        }
        OdbcStatus operator()() const { return m_invoke(m_call); }

    private:
        void* m_call;
        OdbcStatus (*m_invoke)(void*);
    };
    // work, with the connection made again and work run again while the
    // database is lost, until the retry window has passed.
    OdbcStatus Retrying(Work work);
    OdbcStatus ReadSeries(bool& found);
    // The next serial, claimed and reserved for this station: its name in unit.
    OdbcStatus Claim(std::string& unit, const std::string& device);
    OdbcStatus Insert(const std::string& unit, const std::string& device, const char* result,
                      const std::string& firstDifference, const std::string& detail);
    OdbcStatus InsertResult(const UnitReport& report, const char* result);
    std::string Unreachable(const OdbcStatus& status) const;
    std::string Say(const std::string& text) const;

    DatabaseSetup m_setup;
    std::string m_place;
    OdbcConnection m_database;
    SeriesDefinition m_series;
    std::optional<UnitNaming> m_naming;
    // The next number as last read: where the display starts when the database is away.
    std::uint64_t m_next = 0;
    // This station's failed serials it may give again (the opt-in), oldest first.
    std::vector<std::string> m_givenAgain;
};

// Why name cannot name a series or a station: empty, printable, at most 64
// bytes; empty when it can.
std::string NameProblem(const std::string& name);

// The station's name by default: the computer's.
std::string ComputerName();
