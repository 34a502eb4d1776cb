// Windows' ODBC (odbc32.dll), as much of it as the line's database needs.
// Only the wide-character functions are called: Wine's odbc32 has no others.
// Every value goes to the server as a bound parameter, never inside the SQL.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// What the driver said of a call that failed; ok for one that did not.
struct OdbcStatus
{
    bool ok = true;
    std::string state;    // SQLSTATE, e.g. 23505 for a duplicate key
    std::string message;  // the driver's and server's words

    // The connection is gone or unusable: try again after a reconnect.
    bool Lost() const;
    bool Duplicate() const { return state == "23505"; }
};

using OdbcRow = std::vector<std::string>;
// The values of a statement's ? in order, each sent as text.
using OdbcValues = std::initializer_list<std::string_view>;

struct OdbcCalls;

class OdbcConnection
{
public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // connection: an ODBC connection string. Transactions are committed only
    // by Commit.
    OdbcStatus Connect(const std::string& connection);
    void Disconnect();
    bool Connected() const { return m_connection != nullptr; }

    // Runs sql with its ? bound in order to parameters, as text; rows, when
    // given, receive every row of the result, each field as text ("" for NULL).
    OdbcStatus Run(const char* sql, OdbcValues parameters, std::vector<OdbcRow>* rows = nullptr);
    OdbcStatus Commit() { return EndTransaction(true); }
    OdbcStatus Rollback() { return EndTransaction(false); }

private:
    OdbcStatus EndTransaction(bool commit);
    OdbcStatus Fetch(void* statement, std::vector<OdbcRow>& rows);

    std::unique_ptr<OdbcCalls> m_odbc;
    void* m_environment = nullptr;
    void* m_connection = nullptr;
};
