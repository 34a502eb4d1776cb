#include "DatabaseLedger.h"

#include <algorithm>
#include <cstdlib>

#include "ImageHash.h"
#include "Joined.h"
#include "LedgerConnection.h"
#include "LedgerSchema.h"
#include "ProductionLine.h"
#include "WideText.h"

namespace
{
// Between tries of a lost database: a restart takes seconds, not moments.
const DWORD RetryPause = 250;
// Claims lost to other stations in a row before the reservation gives up;
// eight stations lose a few at most.
const int ClaimTries = 100;
const size_t LongestName = 64;
// Our own states, beside SQLSTATE's: none of them means a lost connection.
const char* const SeriesUsedUp = "KV001";
const char* const StationTaken = "KV002";

const char* const NextNumberQuery = "SELECT coalesce(max(number) + 1, ?::bigint) FROM kelvra_claims WHERE series = ?";

// The next number's claim and its reservation in one statement, once this
// station has its turn: the serial is the series' prefix and the number in
// its width (VT-B, VT-C: the number alone). No row when the series is used up.
const char* const ClaimStatement =
    "WITH next AS (SELECT coalesce(max(number) + 1, ?::bigint) AS number FROM kelvra_claims WHERE series = ?),"
    " claim AS (INSERT INTO kelvra_claims (series, number, serial, station) SELECT ?, number, CASE WHEN ?::integer = 0"
    " THEN number::text ELSE ? || lpad(number::text, ?::integer, '0') END, ? FROM next WHERE number < ?::bigint"
    " RETURNING series, number, serial, station),"
    " reserved AS (INSERT INTO kelvra_events (series, serial, station, device, result, first_difference, detail, time)"
    " SELECT series, serial, station, ?, 'RESERVED', '', '', ? FROM claim)"
    " SELECT number, serial FROM claim";

const char* const EventStatement =
    "INSERT INTO kelvra_events (series, serial, station, device, result, first_difference, detail, time)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?)";

// A station has one unit in hand at a time, and settles a reservation left
// open as it starts: an open one can only be its last event. So a start
// reads one row, however long the batch.
const char* const LastOfStationQuery =
    "SELECT serial, device, result FROM kelvra_events WHERE series = ? AND station = ? ORDER BY id DESC LIMIT 1";

const char* const LastResultQuery =
    "SELECT result FROM kelvra_events WHERE series = ? AND serial = ? ORDER BY id DESC LIMIT 1";

// Stations reserving at once take turns rather than collide on a number.
const char* const ClaimTurn = "SELECT pg_advisory_xact_lock(4804, hashtext(?))";

ChipFamily FamilyOfLetter(const std::string& letter)
{
    return letter == "B" ? ChipFamily::B : letter == "C" ? ChipFamily::C : ChipFamily::A;
}

std::uint64_t Number(const std::string& text)
{
    return std::strtoull(text.c_str(), nullptr, 10);
}

OdbcStatus Own(const char* state, std::string message)
{
    return {false, state, std::move(message)};
}
}  // namespace

std::string NameProblem(const std::string& name)
{
    if (name.empty())
    {
        return "is empty";
    }
    if (name.size() > LongestName)
    {
        return "is longer than 64 bytes";
    }
    for (char character : name)
    {
        if (static_cast<unsigned char>(character) < 0x20 || character == 0x7F)
        {
            return "holds a control character";
        }
    }
    return std::string();
}

std::string ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? Utf8FromWide(name) : std::string("station");
}

DatabaseLedger::DatabaseLedger(const DatabaseSetup& setup) : m_setup(setup), m_place(LedgerPlace(setup.connection)) {}

std::string DatabaseLedger::Say(const std::string& text) const
{
    return WithoutPassword(text, m_setup.connection, m_setup.password);
}

std::string DatabaseLedger::Unreachable(const OdbcStatus& status) const
{
    return Say(Joined({"the ledger at ", m_place, " cannot be reached: ", status.message}));
}

LineOutcome DatabaseLedger::Connect()
{
    OdbcStatus status = m_database.Connect(WithPassword(m_setup.connection, m_setup.password));
    int version = 0;
    if (status.ok)
    {
        status = ReadSchemaVersion(m_database, version);
    }
    if (!status.ok)
    {
        return {LineEnd::LedgerUnreachable, Unreachable(status)};
    }
    const std::string problem = SchemaProblem(version);
    if (!problem.empty())
    {
        return {LineEnd::LedgerRefused, Joined({"the ledger at ", m_place, ": ", problem})};
    }
    bool found = false;
    status = ReadSeries(found);
    if (status.ok && !found)
    {
        return {LineEnd::LedgerRefused, Say(Joined({"the ledger at ", m_place, " has no series \"", m_setup.series,
                                                    "\": define it with kelvra-cli ledger add-series"}))};
    }
    if (status.ok)
    {
        status = HoldStation();
    }
    if (!status.ok)
    {
        return {status.Lost() ? LineEnd::LedgerUnreachable : LineEnd::LedgerRefused,
                status.Lost() ? Unreachable(status) : Say(status.message)};
    }
    return {};
}

OdbcStatus DatabaseLedger::ReadSeries(bool& found)
{
    std::vector<OdbcRow> rows;
    const OdbcStatus status = m_database.Run(
        "SELECT family, size, image_sha256, prefix, first_number, width, unit_count FROM kelvra_series WHERE name = ?",
        {m_setup.series}, &rows);
    m_database.Commit();
    found = status.ok && !rows.empty();
    if (!found)
    {
        return status;
    }
    const OdbcRow& row = rows[0];
    m_series.name = m_setup.series;
    m_series.family = FamilyOfLetter(row[0]);
    m_series.size = static_cast<UINT>(Number(row[1]));
    m_series.imageSha256 = row[2];
    m_series.form = {row[3], Number(row[4]), static_cast<size_t>(Number(row[5]))};
    m_series.count = Number(row[6]);
    m_naming.emplace(m_series.family, m_series.family == ChipFamily::A
                                          ? std::optional<SerialSeries::Form>(m_series.form)
                                          : std::nullopt);
    m_next = m_naming->First();
    return status;
}

// Two lines under one station name would void each other's reservations.
// The lock is the server's, and ends with the connection.
OdbcStatus DatabaseLedger::HoldStation()
{
    std::vector<OdbcRow> rows;
    OdbcStatus status = m_database.Run(StationLockQuery, {m_setup.station}, &rows);
    m_database.Commit();
    if (status.ok && (rows.empty() || rows[0][0] != "1"))
    {
        status = Own(StationTaken, Joined({"the ledger at ", m_place, " has a line running as station \"",
                                           m_setup.station, "\" already: give this one another station name"}));
    }
    return status;
}

OdbcStatus DatabaseLedger::Reconnect()
{
    OdbcStatus status = m_database.Connect(WithPassword(m_setup.connection, m_setup.password));
    if (status.ok)
    {
        status = HoldStation();
    }
    // Never left connected without the station's name: another line took it.
    if (!status.ok)
    {
        m_database.Disconnect();
    }
    return status;
}

OdbcStatus DatabaseLedger::Retrying(Work work)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        OdbcStatus status = m_database.Connected() ? OdbcStatus() : Reconnect();
        if (status.ok)
        {
            status = work();
            if (status.ok)
            {
                return status;
            }
            m_database.Rollback();
        }
        if (!status.Lost())
        {
            return status;
        }
        m_database.Disconnect();
        if (GetTickCount() - start >= m_setup.retryWindow)
        {
            return status;
        }
        Sleep(RetryPause);
    }
}

LineOutcome DatabaseLedger::CheckImage(const std::vector<BYTE>& image, std::string_view imageName) const
{
    const std::string hash = Sha256Hex(image);
    if (hash == m_series.imageSha256)
    {
        return {};
    }
    return {LineEnd::LedgerRefused,
            Joined({"the image ", imageName, " is not the series' image: its SHA-256 is ", hash, ", the series \"",
                    m_series.name, "\" was defined with ", m_series.imageSha256,
                    ". A batch never mixes images: give the series' image."})};
}

LineOutcome DatabaseLedger::Open(std::vector<UnitReport>& voided)
{
    std::vector<OdbcRow> last;
    const OdbcStatus status = Retrying(
        [&]
        {
            last.clear();
            OdbcStatus done = m_database.Run(LastOfStationQuery, {m_setup.series, m_setup.station}, &last);
            if (done.ok && !last.empty() && last[0][2] == ReservedResult)
            {
                done =
                    m_database.Run(EventStatement, {m_setup.series, last[0][0], m_setup.station, last[0][1], VoidResult,
                                                    "", ReasonOf(UnitFault::Interrupted), LocalTimeIso8601()});
            }
            return done.ok ? m_database.Commit() : done;
        });
    if (!status.ok)
    {
        return {LineEnd::LedgerUnreachable, Unreachable(status)};
    }
    const std::string lastResult = last.empty() ? std::string() : last[0][2];
    if (lastResult == ReservedResult)
    {
        voided.push_back({last[0][0], last[0][1], UnitFault::Interrupted, "",
                          Joined({last[0][0], " was reserved by station ", m_setup.station,
                                  " and has no result: it is void, and no unit gets it again (the unit it was meant "
                                  "for may hold it)."})});
    }
    if (lastResult == FailResult && m_setup.failedGivenAgain)
    {
        m_givenAgain.push_back(last[0][0]);
    }
    NextNumber();
    return {};
}

std::uint64_t DatabaseLedger::NextNumber()
{
    if (!m_givenAgain.empty())
    {
        return m_naming->NumberOf(m_givenAgain.front());
    }
    // Between units: one try, reconnecting once; the reservation tries for longer.
    OdbcStatus status = m_database.Connected() ? OdbcStatus() : Reconnect();
    std::vector<OdbcRow> rows;
    if (status.ok)
    {
        status = m_database.Run(NextNumberQuery, {std::to_string(m_naming->First()), m_setup.series}, &rows);
        m_database.Commit();
    }
    if (status.ok && !rows.empty())
    {
        m_next = Number(rows[0][0]);
    }
    else if (status.Lost())
    {
        m_database.Disconnect();
    }
    return m_next;
}

OdbcStatus DatabaseLedger::Claim(std::string& unit, const std::string& device)
{
    const std::uint64_t end = std::min(m_naming->First() + m_series.count, m_naming->Limit());
    const std::string first = std::to_string(m_naming->First());
    const std::string width = std::to_string(m_series.family == ChipFamily::A ? m_series.form.width : 0);
    for (int tries = 0; tries < ClaimTries; ++tries)
    {
        std::vector<OdbcRow> rows;
        OdbcStatus status = m_database.Run(ClaimTurn, {m_setup.series});
        if (status.ok)
        {
            status = m_database.Run(ClaimStatement,
                                    {first, m_setup.series, m_setup.series, width, m_series.form.prefix, width,
                                     m_setup.station, std::to_string(end), device, LocalTimeIso8601()},
                                    &rows);
        }
        if (status.ok)
        {
            status = m_database.Commit();
        }
        if (status.ok)
        {
            if (rows.empty())
            {
                m_next = end;
                return Own(SeriesUsedUp, "");
            }
            unit = rows[0][1];
            m_next = Number(rows[0][0]) + 1;
            return status;
        }
        m_database.Rollback();
        if (!status.Duplicate())
        {
            return status;
        }
    }
    return Own("40001", "other stations took every serial tried; try again");
}

OdbcStatus DatabaseLedger::Insert(const std::string& unit, const std::string& device, const char* result,
                                  const std::string& firstDifference, const std::string& detail)
{
    const OdbcStatus status =
        m_database.Run(EventStatement, {m_setup.series, unit, m_setup.station, device, std::string(result),
                                        firstDifference, detail, LocalTimeIso8601()});
    return status.ok ? m_database.Commit() : status;
}

LineOutcome DatabaseLedger::Reserve(std::string& unit, const std::string& device, bool again)
{
    OdbcStatus status;
    if (again)
    {
        status = Retrying([&] { return Insert(unit, device, ReservedResult, "", ""); });
    }
    else if (!m_givenAgain.empty())
    {
        unit = m_givenAgain.front();
        status = Retrying([&] { return Insert(unit, device, ReservedResult, "", ""); });
        if (status.ok)
        {
            m_givenAgain.erase(m_givenAgain.begin());
        }
    }
    else
    {
        status = Retrying([&] { return Claim(unit, device); });
    }
    if (status.ok)
    {
        return {};
    }
    if (status.state == SeriesUsedUp)
    {
        return {LineEnd::SeriesExhausted,
                Joined({"the series \"", m_series.name,
                        "\" has no serial left: other stations took the last; the unit attached was not touched"})};
    }
    if (status.Lost())
    {
        return {LineEnd::LedgerLostBeforeUnit,
                Joined({Unreachable(status), ". The unit attached was not touched: no serial was reserved for it."})};
    }
    return {LineEnd::LedgerRefused, Joined({Say(status.message), ". The unit attached was not touched."})};
}

// A commit whose answer was lost may have been made: a second PASS is then
// refused by the database, and the one there is ours.
OdbcStatus DatabaseLedger::InsertResult(const UnitReport& report, const char* result)
{
    OdbcStatus status = Insert(report.unit, report.device, result, report.firstDifference, report.detail);
    if (!status.Duplicate())
    {
        return status;
    }
    m_database.Rollback();
    std::vector<OdbcRow> rows;
    const OdbcStatus asked = m_database.Run(LastResultQuery, {m_setup.series, report.unit}, &rows);
    m_database.Commit();
    if (!asked.ok)
    {
        return asked;
    }
    return !rows.empty() && rows[0][0] == result ? OdbcStatus() : status;
}

LineOutcome DatabaseLedger::Record(const UnitReport& report, const char* result)
{
    const OdbcStatus status = Retrying([&] { return InsertResult(report, result); });
    const bool passed = std::string_view(result) == PassResult;
    if (!status.ok)
    {
        return {LineEnd::ResultNotLogged,
                Joined({"unit ", report.unit, passed ? " passed" : " failed", ", but its result is not in the ledger (",
                        status.Lost() ? Unreachable(status) : Say(status.message),
                        "). It is not logged: put it aside. The station's next start makes its reservation void."})};
    }
    if (!passed && m_setup.failedGivenAgain)
    {
        m_givenAgain.push_back(report.unit);
    }
    return {};
}

bool DatabaseLedger::FailedLeft(const std::string& unit)
{
    std::vector<OdbcRow> rows;
    const OdbcStatus status = Retrying(
        [&]
        {
            rows.clear();
            const OdbcStatus asked = m_database.Run(
                "SELECT result FROM kelvra_events WHERE series = ? AND serial = ? AND station = ? ORDER BY id DESC"
                " LIMIT 1",
                {m_setup.series, unit, m_setup.station}, &rows);
            return asked.ok ? m_database.Commit() : asked;
        });
    return status.ok && !rows.empty() && rows[0][0] == FailResult;
}

LedgerAnswer DatabaseLedger::Passed(const std::string& unit)
{
    std::vector<OdbcRow> rows;
    const OdbcStatus status = Retrying(
        [&]
        {
            rows.clear();
            const OdbcStatus asked =
                m_database.Run("SELECT count(*) FROM kelvra_events WHERE series = ? AND serial = ? AND result = 'PASS'",
                               {m_setup.series, unit}, &rows);
            return asked.ok ? m_database.Commit() : asked;
        });
    if (!status.ok || rows.empty())
    {
        return LedgerAnswer::Unknown;
    }
    return rows[0][0] != "0" ? LedgerAnswer::Yes : LedgerAnswer::No;
}
