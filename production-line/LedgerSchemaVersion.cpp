// What every line reads of the schema, apart from the tables' definitions,
// which only `ledger init` needs: a line's program then carries none of them.
#include <cstdlib>

#include "Joined.h"
#include "LedgerSchema.h"

OdbcStatus ReadSchemaVersion(OdbcConnection& database, int& version)
{
    std::vector<OdbcRow> rows;
    OdbcStatus status =
        database.Run("SELECT CASE WHEN to_regclass('kelvra_schema') IS NULL THEN 0 ELSE 1 END", {}, &rows);
    if (status.ok && !rows.empty() && rows[0][0] == "1")
    {
        rows.clear();
        status = database.Run("SELECT coalesce(max(version), 0) FROM kelvra_schema", {}, &rows);
    }
    version = status.ok && !rows.empty() ? std::atoi(rows.back()[0].c_str()) : 0;
    database.Commit();
    return status;
}

std::string SchemaProblem(int version)
{
    if (version == 0)
    {
        return "the database holds no ledger: run kelvra-cli ledger init first";
    }
    if (version < LedgerSchemaVersion)
    {
        return Joined({"the ledger's schema is version ", std::to_string(version), ", older than this program's ",
                       std::to_string(LedgerSchemaVersion), ": run kelvra-cli ledger init to upgrade it"});
    }
    if (version > LedgerSchemaVersion)
    {
        return Joined({"the ledger's schema is version ", std::to_string(version), ", newer than this program's ",
                       std::to_string(LedgerSchemaVersion), ": use the kelvra-cli that made it, or a newer one"});
    }
    return std::string();
}
