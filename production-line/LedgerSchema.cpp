#include "LedgerSchema.h"

#include <cstdlib>

#include "Joined.h"

namespace
{
// Version 1, statement by statement.
const char* const Version1[] = {
    "CREATE TABLE kelvra_series ("
    " name text PRIMARY KEY CHECK (name <> ''),"
    " family text NOT NULL CHECK (family IN ('A', 'B', 'C')),"
    " size integer NOT NULL CHECK (size > 0),"
    " image_sha256 text NOT NULL,"
    " prefix text NOT NULL,"
    " first_number bigint NOT NULL CHECK (first_number >= 0),"
    " width integer NOT NULL CHECK (width >= 0),"
    " unit_count bigint NOT NULL CHECK (unit_count > 0),"
    " created timestamptz NOT NULL DEFAULT now())",
    // One row per serial given out: the key makes a second claim fail,
    // whatever the timing of the stations that try.
    "CREATE TABLE kelvra_claims ("
    " series text NOT NULL REFERENCES kelvra_series (name),"
    " number bigint NOT NULL CHECK (number >= 0),"
    " serial text NOT NULL,"
    " station text NOT NULL,"
    " PRIMARY KEY (series, number),"
    " UNIQUE (series, serial, station))",
    "CREATE UNIQUE INDEX kelvra_claims_serial ON kelvra_claims (series, lower(serial))",
    "CREATE TABLE kelvra_events ("
    " id bigserial PRIMARY KEY,"
    " series text NOT NULL,"
    " serial text NOT NULL,"
    " station text NOT NULL,"
    " device text NOT NULL,"
    " result text NOT NULL CHECK (result IN ('RESERVED', 'PASS', 'FAIL', 'VOID')),"
    " first_difference text NOT NULL,"
    " detail text NOT NULL,"
    " time text NOT NULL,"
    " recorded timestamptz NOT NULL DEFAULT now(),"
    " FOREIGN KEY (series, serial, station) REFERENCES kelvra_claims (series, serial, station))",
    "CREATE UNIQUE INDEX kelvra_events_final ON kelvra_events (series, serial) WHERE result IN ('PASS', 'VOID')",
    "CREATE INDEX kelvra_events_serial ON kelvra_events (series, serial, id)",
    "CREATE INDEX kelvra_events_station ON kelvra_events (series, station, id)",
};

OdbcStatus Apply(OdbcConnection& database, int from)
{
    if (from < 1)
    {
        for (const char* statement : Version1)
        {
            const OdbcStatus status = database.Run(statement, {});
            if (!status.ok)
            {
                return status;
            }
        }
    }
    return database.Run("INSERT INTO kelvra_schema (version) VALUES (?::integer)",
                        {std::to_string(LedgerSchemaVersion)});
}
}  // namespace

OdbcStatus InstallSchema(OdbcConnection& database, std::string& done, bool& refused)
{
    refused = false;
    // Two inits at once take turns.
    OdbcStatus status = database.Run("SELECT pg_advisory_xact_lock(4803, 0)", {});
    if (status.ok)
    {
        status = database.Run("CREATE TABLE IF NOT EXISTS kelvra_schema (version integer PRIMARY KEY,"
                              " applied timestamptz NOT NULL DEFAULT now())",
                              {});
    }
    std::vector<OdbcRow> rows;
    if (status.ok)
    {
        status = database.Run("SELECT coalesce(max(version), 0) FROM kelvra_schema", {}, &rows);
    }
    const int version = status.ok && !rows.empty() ? std::atoi(rows[0][0].c_str()) : 0;
    if (status.ok && version > LedgerSchemaVersion)
    {
        refused = true;
        done = SchemaProblem(version);
    }
    else if (status.ok && version == LedgerSchemaVersion)
    {
        done = Joined({"the ledger's schema is at version ", std::to_string(version), " already"});
    }
    else if (status.ok)
    {
        status = Apply(database, version);
        done = Joined(
            {version == 0 ? "the ledger's schema was made, version " : "the ledger's schema was upgraded to version ",
             std::to_string(LedgerSchemaVersion)});
    }
    if (status.ok && !refused)
    {
        status = database.Commit();
    }
    else
    {
        database.Rollback();
    }
    return status;
}
