#include "LedgerBook.h"

#include <cstdlib>

#include "Joined.h"
#include "LedgerConnection.h"
#include "LedgerSchema.h"
#include "LineLedger.h"

namespace
{
std::uint64_t Number(const std::string& text)
{
    return std::strtoull(text.c_str(), nullptr, 10);
}

const char* FamilyLetter(ChipFamily family)
{
    return family == ChipFamily::B ? "B" : family == ChipFamily::C ? "C" : "A";
}

// Each claimed serial's station and last result.
const char* const CountsQuery =
    "SELECT c.station, last.result, count(*) FROM kelvra_claims c CROSS JOIN LATERAL"
    " (SELECT result FROM kelvra_events e WHERE e.series = c.series AND e.serial = c.serial ORDER BY e.id DESC"
    " LIMIT 1) last WHERE c.series = ? GROUP BY c.station, last.result ORDER BY c.station";

const char* const LastEventsQuery =
    "SELECT DISTINCT ON (station) station, serial, result, time FROM kelvra_events WHERE series = ?"
    " ORDER BY station, id DESC";

void Add(SerialCounts& counts, const std::string& result, std::uint64_t count)
{
    (result == PassResult   ? counts.passed
     : result == FailResult ? counts.failed
     : result == VoidResult ? counts.voided
                            : counts.open) += count;
}

SerialCounts& StationIn(std::vector<SerialCounts>& stations, const std::string& station)
{
    for (SerialCounts& counts : stations)
    {
        if (counts.station == station)
        {
            return counts;
        }
    }
    stations.push_back(SerialCounts());
    stations.back().station = station;
    return stations.back();
}
}  // namespace

LedgerBook::LedgerBook(const std::string& connection, const std::string& password)
    : m_connection(connection), m_password(password), m_place(LedgerPlace(connection))
{
}

BookOutcome LedgerBook::Failed(const OdbcStatus& status)
{
    m_database.Rollback();
    const std::string message = WithoutPassword(status.message, m_connection, m_password);
    if (status.Lost() || !m_database.Connected())
    {
        return {BookEnd::Unreachable, Joined({"the ledger at ", m_place, " cannot be reached: ", message})};
    }
    return {BookEnd::Refused, Joined({"the ledger at ", m_place, " refused: ", message})};
}

BookOutcome LedgerBook::Refused(const std::string& message) const
{
    return {BookEnd::Refused, Joined({"the ledger at ", m_place, ": ", message})};
}

BookOutcome LedgerBook::Connect(bool schemaNeeded)
{
    const OdbcStatus status = m_database.Connect(WithPassword(m_connection, m_password));
    if (!status.ok)
    {
        return {BookEnd::Unreachable, Joined({"the ledger at ", m_place, " cannot be reached: ",
                                              WithoutPassword(status.message, m_connection, m_password)})};
    }
    int version = 0;
    const OdbcStatus read = schemaNeeded ? ReadSchemaVersion(m_database, version) : OdbcStatus();
    if (!read.ok)
    {
        return Failed(read);
    }
    const std::string problem = schemaNeeded ? SchemaProblem(version) : std::string();
    return problem.empty() ? BookOutcome() : Refused(problem);
}

BookOutcome LedgerBook::Init(std::string& done)
{
    bool refused = false;
    const OdbcStatus status = InstallSchema(m_database, done, refused);
    if (!status.ok)
    {
        return Failed(status);
    }
    return refused ? Refused(done) : BookOutcome();
}

BookOutcome LedgerBook::FindSeries(const std::string& series, SeriesDefinition& definition)
{
    std::vector<OdbcRow> rows;
    const OdbcStatus status = m_database.Run(
        "SELECT family, size, image_sha256, prefix, first_number, width, unit_count FROM kelvra_series WHERE name = ?",
        {series}, &rows);
    if (!status.ok)
    {
        return Failed(status);
    }
    m_database.Commit();
    if (rows.empty())
    {
        return Refused(Joined({"it has no series \"", series, "\": define it with kelvra-cli ledger add-series"}));
    }
    const OdbcRow& row = rows[0];
    definition.name = series;
    definition.family = row[0] == "B" ? ChipFamily::B : row[0] == "C" ? ChipFamily::C : ChipFamily::A;
    definition.size = static_cast<UINT>(Number(row[1]));
    definition.imageSha256 = row[2];
    definition.form = {row[3], Number(row[4]), static_cast<size_t>(Number(row[5]))};
    definition.count = Number(row[6]);
    return {};
}

BookOutcome LedgerBook::DefineSeries(const SeriesDefinition& series, bool& same)
{
    same = false;
    const OdbcStatus status = m_database.Run(
        "INSERT INTO kelvra_series (name, family, size, image_sha256, prefix, first_number, width, unit_count)"
        " VALUES (?, ?, ?::integer, ?, ?, ?::bigint, ?::integer, ?::bigint)",
        {series.name, std::string(FamilyLetter(series.family)), std::to_string(series.size), series.imageSha256,
         series.form.prefix, std::to_string(series.form.number), std::to_string(series.form.width),
         std::to_string(series.count)});
    if (status.ok)
    {
        const OdbcStatus committed = m_database.Commit();
        return committed.ok ? BookOutcome() : Failed(committed);
    }
    if (!status.Duplicate())
    {
        return Failed(status);
    }
    m_database.Rollback();
    SeriesDefinition there;
    const BookOutcome found = FindSeries(series.name, there);
    if (!found.Succeeded())
    {
        return found;
    }
    same = there.family == series.family && there.size == series.size && there.imageSha256 == series.imageSha256 &&
           there.form.prefix == series.form.prefix && there.form.number == series.form.number &&
           there.form.width == series.form.width && there.count == series.count;
    return same ? BookOutcome()
                : Refused(Joined({"it holds a series \"", series.name, "\" defined otherwise already (image SHA-256 ",
                                  there.imageSha256, "): a series is defined once; give the new one another name"}));
}

BookOutcome LedgerBook::Status(const std::string& series, SeriesStatus& status)
{
    BookOutcome outcome = FindSeries(series, status.series);
    std::vector<OdbcRow> counts;
    std::vector<OdbcRow> last;
    OdbcStatus asked;
    if (outcome.Succeeded())
    {
        asked = m_database.Run(CountsQuery, {series}, &counts);
    }
    if (outcome.Succeeded() && asked.ok)
    {
        asked = m_database.Run(LastEventsQuery, {series}, &last);
    }
    if (!outcome.Succeeded() || !asked.ok)
    {
        return outcome.Succeeded() ? Failed(asked) : outcome;
    }
    m_database.Commit();
    for (const OdbcRow& row : counts)
    {
        Add(StationIn(status.stations, row[0]), row[1], Number(row[2]));
        Add(status.all, row[1], Number(row[2]));
    }
    for (const OdbcRow& row : last)
    {
        SerialCounts& station = StationIn(status.stations, row[0]);
        station.lastSerial = row[1];
        station.lastResult = row[2];
        station.lastTime = row[3];
    }
    status.all.station = "all";
    const std::uint64_t given = status.all.Given();
    status.left = given < status.series.count ? status.series.count - given : 0;
    return {};
}

BookOutcome LedgerBook::Export(const std::string& series, SeriesDefinition& definition,
                               std::vector<LedgerEvent>& events)
{
    BookOutcome outcome = FindSeries(series, definition);
    std::vector<OdbcRow> rows;
    if (outcome.Succeeded())
    {
        const OdbcStatus status =
            m_database.Run("SELECT time, serial, device, result, first_difference, detail, station FROM kelvra_events"
                           " WHERE series = ? ORDER BY id",
                           {series}, &rows);
        outcome = status.ok ? BookOutcome() : Failed(status);
    }
    m_database.Commit();
    for (const OdbcRow& row : rows)
    {
        events.push_back({row[0], row[1], row[2], row[3], row[4], row[5], row[6]});
    }
    return outcome;
}

// A station that runs holds its name's lock: its reservations are its own
// to settle. Taken here, the lock ends with this connection.
OdbcStatus LedgerBook::HoldStation(const std::string& station, bool& running)
{
    std::vector<OdbcRow> rows;
    const OdbcStatus status = m_database.Run(StationLockQuery, {station}, &rows);
    running = status.ok && (rows.empty() || rows[0][0] != "1");
    return status;
}

// The station's reservations with nothing after them, made void with detail.
OdbcStatus LedgerBook::VoidOpen(const std::string& series, const std::string& station, const char* detail,
                                std::vector<OdbcRow>& voided)
{
    return m_database.Run(
        "INSERT INTO kelvra_events (series, serial, station, device, result, first_difference, detail, time)"
        " SELECT e.series, e.serial, e.station, e.device, 'VOID', '', ?, ? FROM kelvra_events e"
        " WHERE e.series = ? AND e.station = ? AND e.result = 'RESERVED' AND NOT EXISTS"
        " (SELECT 1 FROM kelvra_events r WHERE r.series = e.series AND r.serial = e.serial AND r.id > e.id)"
        " RETURNING serial",
        {detail, LocalTimeIso8601(), series, station}, &voided);
}

BookOutcome LedgerBook::Settle(const SeriesDefinition& series, const std::string& station,
                               const std::vector<LineRow>* rows, std::vector<OdbcRow>& voided)
{
    bool running = false;
    OdbcStatus status = HoldStation(station, running);
    if (running)
    {
        m_database.Rollback();
        return Refused(Joined({"station \"", station, "\" is running: stop it first"}));
    }
    BookOutcome outcome;
    if (status.ok && rows != nullptr)
    {
        outcome = ImportRows(series, *rows, station);
    }
    if (status.ok && outcome.Succeeded())
    {
        status = VoidOpen(series.name, station, rows != nullptr ? "interrupted" : "station voided", voided);
    }
    if (status.ok && outcome.Succeeded())
    {
        status = m_database.Commit();
    }
    if (!outcome.Succeeded())
    {
        m_database.Rollback();
        return outcome;
    }
    return status.ok ? BookOutcome() : Failed(status);
}

BookOutcome LedgerBook::VoidStation(const std::string& series, const std::string& station,
                                    std::vector<std::string>& voided)
{
    SeriesDefinition definition;
    std::vector<OdbcRow> rows;
    BookOutcome outcome = FindSeries(series, definition);
    if (outcome.Succeeded())
    {
        outcome = Settle(definition, station, nullptr, rows);
    }
    for (const OdbcRow& row : rows)
    {
        voided.push_back(row[0]);
    }
    return outcome;
}

BookOutcome LedgerBook::Import(const std::string& series, const std::vector<LineRow>& rows, const std::string& station,
                               std::string& done)
{
    SeriesDefinition definition;
    std::vector<OdbcRow> voided;
    BookOutcome outcome = FindSeries(series, definition);
    if (outcome.Succeeded())
    {
        outcome = Settle(definition, station, &rows, voided);
    }
    done = Joined({std::to_string(rows.size()), " rows imported, ", std::to_string(voided.size()),
                   " open reservations made void"});
    return outcome;
}

// Every serial of the log is claimed for station when it first appears, and
// its events added as the log has them; a serial another station holds
// refuses the whole import.
BookOutcome LedgerBook::ImportRows(const SeriesDefinition& series, const std::vector<LineRow>& rows,
                                   const std::string& station)
{
    const UnitNaming naming(
        series.family, series.family == ChipFamily::A ? std::optional<SerialSeries::Form>(series.form) : std::nullopt);
    for (const LineRow& row : rows)
    {
        const std::string wrong = naming.Problem(row.unit);
        const std::uint64_t number = wrong.empty() ? naming.NumberOf(row.unit) : 0;
        if (!wrong.empty() || number < naming.First() || number >= naming.First() + series.count)
        {
            return {BookEnd::BadInput,
                    Joined({"row ", std::to_string(row.row), " names \"", row.unit, "\", which ",
                            wrong.empty() ? "is outside the series" : wrong, "; nothing was imported"})};
        }
        const std::string numberText = std::to_string(number);
        OdbcStatus status = m_database.Run(
            "INSERT INTO kelvra_claims (series, number, serial, station) SELECT ?, ?::bigint, ?, ? WHERE NOT EXISTS"
            " (SELECT 1 FROM kelvra_claims WHERE series = ? AND number = ?::bigint AND serial = ? AND station = ?)",
            {series.name, numberText, row.unit, station, series.name, numberText, row.unit, station});
        if (status.ok)
        {
            status = m_database.Run(
                "INSERT INTO kelvra_events (series, serial, station, device, result, first_difference, detail, time)"
                " VALUES (?, ?, ?, ?, ?, '', 'imported', ?)",
                {series.name, row.unit, station, row.device, row.result, row.time});
        }
        if (!status.ok)
        {
            return status.Duplicate() ? Refused(Joined({"row ", std::to_string(row.row), ": ", row.unit,
                                                        " is in the ledger already; nothing was imported"}))
                                      : Failed(status);
        }
    }
    return {};
}
