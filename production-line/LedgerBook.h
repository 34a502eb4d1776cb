// The engineer's side of the shared ledger: its schema made, a series
// defined for every station, the batch watched and exported, a dead
// station's reservations made void, a CSV log's history brought in. Each in
// one transaction, by inserts and selects only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DatabaseLedger.h"
#include "LineLog.h"
#include "Odbc.h"

enum class BookEnd
{
    None,
    Unreachable,  // the server could not be reached, or was lost
    Refused,      // the ledger refuses: no such series, another definition, a running station, a serial taken
    BadInput,     // a name or value that cannot be used
};

struct BookOutcome
{
    BookEnd end = BookEnd::None;
    std::string message;

    bool Succeeded() const { return end == BookEnd::None; }
};

// Serials by their last event, for a station or all.
struct SerialCounts
{
    std::string station;
    std::uint64_t passed = 0;
    std::uint64_t failed = 0;
    std::uint64_t voided = 0;
    std::uint64_t open = 0;  // reserved, no result yet
    // The station's last event.
    std::string lastSerial;
    std::string lastResult;
    std::string lastTime;

    std::uint64_t Given() const { return passed + failed + voided + open; }
};

struct SeriesStatus
{
    SeriesDefinition series;
    std::vector<SerialCounts> stations;
    SerialCounts all;
    std::uint64_t left = 0;  // serials no station was given yet
};

// A row of export: the log's fields and the station.
struct LedgerEvent
{
    std::string time, serial, device, result, firstDifference, detail, station;
};

class LedgerBook
{
public:
    LedgerBook(const std::string& connection, const std::string& password);

    // Connects; with schemaNeeded, refuses a database whose schema is not this program's.
    BookOutcome Connect(bool schemaNeeded);
    BookOutcome Init(std::string& done);
    // Defines it, or finds the same definition there already (same true).
    BookOutcome DefineSeries(const SeriesDefinition& series, bool& same);
    BookOutcome Status(const std::string& series, SeriesStatus& status);
    BookOutcome Export(const std::string& series, SeriesDefinition& definition, std::vector<LedgerEvent>& events);
    // The station's open reservations, made void; refused while it runs.
    BookOutcome VoidStation(const std::string& series, const std::string& station, std::vector<std::string>& voided);
    // rows, as a log of the series' family holds them, under station.
    BookOutcome Import(const std::string& series, const std::vector<LineRow>& rows, const std::string& station,
                       std::string& done);
    BookOutcome FindSeries(const std::string& series, SeriesDefinition& definition);

private:
    BookOutcome Failed(const OdbcStatus& status);
    BookOutcome Refused(const std::string& message) const;
    OdbcStatus HoldStation(const std::string& station, bool& running);
    OdbcStatus VoidOpen(const std::string& series, const std::string& station, const char* detail,
                        std::vector<OdbcRow>& voided);
    // The station's open reservations made void, after rows imported under
    // its name when given; refused while the station runs.
    BookOutcome Settle(const SeriesDefinition& series, const std::string& station, const std::vector<LineRow>* rows,
                       std::vector<OdbcRow>& voided);
    BookOutcome ImportRows(const SeriesDefinition& series, const std::vector<LineRow>& rows,
                           const std::string& station);

    std::string m_connection;
    std::string m_password;
    std::string m_place;
    OdbcConnection m_database;
};
