// The shared ledger's tables in PostgreSQL. Uniqueness is the database's
// own: a serial is claimed by one row of kelvra_claims, whose key is the
// series and the number and which no two stations can both insert; every
// event names the claim's station through a foreign key, so no other station
// can log the serial; and a serial has at most one PASS or VOID. The
// programs only insert and select.
#pragma once

#include <string>

#include "Odbc.h"

// The schema this program reads and writes. Older schemas are upgraded by
// `kelvra-cli ledger init`; a newer one is refused.
inline constexpr int LedgerSchemaVersion = 1;

// The version the database holds; 0 when it holds none.
OdbcStatus ReadSchemaVersion(OdbcConnection& database, int& version);

// 1 when this connection now holds the station's name, 0 while another line
// holds it; the server lets it go with the connection.
inline constexpr char StationLockQuery[] = "SELECT CASE WHEN pg_try_advisory_lock(4803, hashtext(?)) THEN 1 ELSE 0 END";

// Creates or upgrades the schema, in one transaction; done says what was
// done, or why nothing was (a newer schema).
OdbcStatus InstallSchema(OdbcConnection& database, std::string& done, bool& refused);

// Why a program of this version cannot use a database at version; empty
// when it can.
std::string SchemaProblem(int version);
