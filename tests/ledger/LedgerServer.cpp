#include "LedgerServer.h"

#include <sql.h>
#include <sqlext.h>

#include <fstream>
#include <sstream>

#include "LedgerSchema.h"
#include "WideText.h"

namespace
{
std::string ReadAll(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

// One statement with autocommit on, as CREATE DATABASE needs.
bool RunAlone(const std::string& connection, const std::string& sql)
{
    SQLHENV environment = nullptr;
    SQLHDBC handle = nullptr;
    SQLHSTMT statement = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment);
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, environment, &handle);
    std::vector<wchar_t> text = WideFromUtf8(connection);
    bool done = SQL_SUCCEEDED(SQLDriverConnectW(handle, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS,
                                                nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    if (done)
    {
        SQLAllocHandle(SQL_HANDLE_STMT, handle, &statement);
        std::vector<wchar_t> query = WideFromUtf8(sql);
        done = SQL_SUCCEEDED(SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(query.data()), SQL_NTS));
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        SQLDisconnect(handle);
    }
    SQLFreeHandle(SQL_HANDLE_DBC, handle);
    SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return done;
}

int scratchCount = 0;
}  // namespace

std::string LedgerServerConnection()
{
    const std::string connection = ReadAll(std::string(KELVRA_LEDGER_SERVER) + "/connection");
    return connection.empty() ? std::string() : "Driver={PostgreSQL Unicode};" + connection;
}

ScratchDatabase::ScratchDatabase()
{
    const std::string server = LedgerServerConnection();
    if (server.empty())
    {
        return;
    }
    const std::string name = "kelvra_t" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++scratchCount);
    if (RunAlone(server, "CREATE DATABASE " + name))
    {
        m_name = name;
        m_connection = server + "Database=" + name + ";";
        // The server's own database named in the fixture's string is replaced.
        m_connection.replace(m_connection.find("Database=kelvra;"), 16, "");
    }
}

ScratchDatabase::~ScratchDatabase()
{
    if (Made())
    {
        RunAlone(LedgerServerConnection(), "DROP DATABASE " + m_name + " WITH (FORCE)");
    }
}

bool ScratchDatabase::Install()
{
    OdbcConnection database;
    std::string done;
    bool refused = false;
    return database.Connect(m_connection).ok && InstallSchema(database, done, refused).ok && !refused;
}

bool ScratchDatabase::Admin(const std::string& sql, bool alone) const
{
    if (alone)
    {
        return RunAlone(LedgerServerConnection(), sql);
    }
    OdbcConnection database;
    return database.Connect(m_connection).ok && database.Run(sql.c_str(), {}).ok && database.Commit().ok;
}

std::string ScratchDatabase::Ask(const std::string& sql, OdbcValues parameters) const
{
    OdbcConnection database;
    std::vector<OdbcRow> rows;
    if (!database.Connect(m_connection).ok || !database.Run(sql.c_str(), parameters, &rows).ok || rows.empty())
    {
        return "<no answer>";
    }
    database.Commit();
    return rows[0][0];
}

void ScratchDatabase::Stop() const
{
    Admin("ALTER DATABASE " + m_name + " ALLOW_CONNECTIONS false", true);
    Admin("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + m_name +
              "' AND pid <> pg_backend_pid()",
          true);
}

void ScratchDatabase::Restart() const
{
    Admin("ALTER DATABASE " + m_name + " ALLOW_CONNECTIONS true", true);
}

bool ScratchDatabase::CutStation(const std::string& station) const
{
    return Ask("SELECT count(pg_terminate_backend(pid)) FROM pg_locks WHERE locktype = 'advisory' AND classid::bigint "
               "= 4803"
               " AND objid::bigint = (hashtext(?)::bigint & 4294967295) AND objsubid = 2",
               {station}) == "1";
}
