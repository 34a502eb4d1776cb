// The private PostgreSQL server that CTest's fixture starts for these tests
// (scripts/ledger-server.sh), and a database of its own for each test.
#pragma once

#include <string>

#include "Odbc.h"

// The server's connection string without a database; empty when the
// fixture could not start one (it said why on one line).
std::string LedgerServerConnection();

// A database made for one test and dropped after it, holding the ledger's
// schema once Install ran.
class ScratchDatabase
{
public:
    ScratchDatabase();
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    bool Made() const { return !m_name.empty(); }
    // The connection string to this database.
    const std::string& Connection() const { return m_connection; }
    bool Install();
    // Runs sql as the server's superuser, outside a transaction when alone is
    // set (CREATE DATABASE, ALTER DATABASE); false on failure.
    bool Admin(const std::string& sql, bool alone = false) const;
    // The first field of the first row of a query, as the superuser.
    std::string Ask(const std::string& sql, OdbcValues parameters = {}) const;
    // Refuses new connections and ends every open one, as a server that stops;
    // Restart accepts them again.
    void Stop() const;
    void Restart() const;
    // Ends the connection of the line running as station, as a dropped
    // network does; false when it had none.
    bool CutStation(const std::string& station) const;

private:
    std::string m_name;
    std::string m_connection;
};
