#include "Odbc.h"

#include <sql.h>
#include <sqlext.h>

#include "SystemLibrary.h"
#include "WideText.h"

// odbc32 is loaded when a ledger connects, from the system folder: most
// starts of the programs use no database, and an import would cost each one.
struct OdbcCalls
{
    decltype(&::SQLAllocHandle) AllocHandle;
    decltype(&::SQLFreeHandle) FreeHandle;
    decltype(&::SQLSetEnvAttr) SetEnvAttr;
    decltype(&::SQLSetConnectAttrW) SetConnectAttr;
    decltype(&::SQLDriverConnectW) DriverConnect;
    decltype(&::SQLDisconnect) Disconnect;
    decltype(&::SQLEndTran) EndTran;
    decltype(&::SQLGetDiagRecW) GetDiagRec;
    decltype(&::SQLBindParameter) BindParameter;
    decltype(&::SQLExecDirectW) ExecDirect;
    decltype(&::SQLNumResultCols) NumResultCols;
    decltype(&::SQLFetch) Fetch;
    decltype(&::SQLGetData) GetData;
};

namespace
{
bool Load(OdbcCalls& odbc)
{
    const HMODULE library = LoadSystemLibrary(L"odbc32.dll");
    return library != nullptr && ResolveExport(library, "SQLAllocHandle", odbc.AllocHandle) &&
           ResolveExport(library, "SQLFreeHandle", odbc.FreeHandle) &&
           ResolveExport(library, "SQLSetEnvAttr", odbc.SetEnvAttr) &&
           ResolveExport(library, "SQLSetConnectAttrW", odbc.SetConnectAttr) &&
           ResolveExport(library, "SQLDriverConnectW", odbc.DriverConnect) &&
           ResolveExport(library, "SQLDisconnect", odbc.Disconnect) &&
           ResolveExport(library, "SQLEndTran", odbc.EndTran) &&
           ResolveExport(library, "SQLGetDiagRecW", odbc.GetDiagRec) &&
           ResolveExport(library, "SQLBindParameter", odbc.BindParameter) &&
           ResolveExport(library, "SQLExecDirectW", odbc.ExecDirect) &&
           ResolveExport(library, "SQLNumResultCols", odbc.NumResultCols) &&
           ResolveExport(library, "SQLFetch", odbc.Fetch) && ResolveExport(library, "SQLGetData", odbc.GetData);
}

// SQLSTATE classes of a connection that failed or went away: 08 the
// connection, 57 a server shut down, HY000 psqlODBC's own "no connection".
bool IsLostState(const std::string& state)
{
    return state.compare(0, 2, "08") == 0 || state.compare(0, 2, "57") == 0 || state == "HY000" || state == "HYT00" ||
           state == "HYT01";
}

OdbcStatus Diagnosis(const OdbcCalls& odbc, SQLSMALLINT type, SQLHANDLE handle)
{
    OdbcStatus status;
    status.ok = false;
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (handle != nullptr && SQL_SUCCEEDED(odbc.GetDiagRec(type, handle, 1, state, &native, message,
                                                           sizeof message / sizeof message[0], &length)))
    {
        status.state = Utf8FromWide(reinterpret_cast<const wchar_t*>(state));
        status.message = Utf8FromWide(reinterpret_cast<const wchar_t*>(message));
    }
    if (status.state.empty())
    {
        status.state = "HY000";
    }
    return status;
}

// A statement handle freed whatever happens.
class Statement
{
public:
    Statement(const OdbcCalls& odbc, SQLHDBC connection) : m_odbc(odbc)
    {
        if (!SQL_SUCCEEDED(odbc.AllocHandle(SQL_HANDLE_STMT, connection, &m_handle)))
        {
            m_handle = nullptr;
        }
    }
    ~Statement()
    {
        if (m_handle != nullptr)
        {
            m_odbc.FreeHandle(SQL_HANDLE_STMT, m_handle);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    SQLHSTMT Handle() const { return m_handle; }

private:
    const OdbcCalls& m_odbc;
    SQLHSTMT m_handle = nullptr;
};
}  // namespace

bool OdbcStatus::Lost() const
{
    return !ok && IsLostState(state);
}

OdbcStatus OdbcConnection::Connect(const std::string& connection)
{
    Disconnect();
    SQLHENV environment = nullptr;
    SQLHDBC handle = nullptr;
    if (!m_odbc)
    {
        m_odbc = std::make_unique<OdbcCalls>();
        if (!Load(*m_odbc))
        {
            m_odbc.reset();
        }
    }
    if (!m_odbc || !SQL_SUCCEEDED(m_odbc->AllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
    {
        return {false, "IM001", "ODBC cannot be used on this computer (odbc32.dll)"};
    }
    const OdbcCalls& odbc = *m_odbc;
    m_environment = environment;
    odbc.SetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(odbc.AllocHandle(SQL_HANDLE_DBC, environment, &handle)))
    {
        return Diagnosis(odbc, SQL_HANDLE_ENV, environment);
    }
    odbc.SetConnectAttr(handle, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(5), 0);
    std::vector<wchar_t> text = WideFromUtf8(connection);
    SQLSMALLINT written = 0;
    const SQLRETURN connected = odbc.DriverConnect(handle, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS,
                                                   nullptr, 0, &written, SQL_DRIVER_NOPROMPT);
    // The string held the password, perhaps: it goes no further.
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    if (!SQL_SUCCEEDED(connected))
    {
        OdbcStatus status = Diagnosis(odbc, SQL_HANDLE_DBC, handle);
        odbc.FreeHandle(SQL_HANDLE_DBC, handle);
        Disconnect();
        return status;
    }
    m_connection = handle;
    odbc.SetConnectAttr(handle, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    return {};
}

void OdbcConnection::Disconnect()
{
    if (!m_odbc)
    {
        return;
    }
    const OdbcCalls& odbc = *m_odbc;
    if (m_connection != nullptr)
    {
        odbc.EndTran(SQL_HANDLE_DBC, m_connection, SQL_ROLLBACK);
        odbc.Disconnect(m_connection);
        odbc.FreeHandle(SQL_HANDLE_DBC, m_connection);
        m_connection = nullptr;
    }
    if (m_environment != nullptr)
    {
        odbc.FreeHandle(SQL_HANDLE_ENV, m_environment);
        m_environment = nullptr;
    }
}

OdbcStatus OdbcConnection::Run(const char* sql, OdbcValues parameters, std::vector<OdbcRow>* rows)
{
    if (m_connection == nullptr)
    {
        return {false, "08003", "not connected"};
    }
    const OdbcCalls& odbc = *m_odbc;
    Statement statement(odbc, m_connection);
    if (statement.Handle() == nullptr)
    {
        return Diagnosis(odbc, SQL_HANDLE_DBC, m_connection);
    }
    // Each value as wide text, kept until the statement has run.
    std::vector<std::vector<wchar_t>> texts;
    std::vector<SQLLEN> lengths(parameters.size(), SQL_NTS);
    texts.reserve(parameters.size());
    size_t index = 0;
    for (std::string_view parameter : parameters)
    {
        texts.push_back(WideFromUtf8(std::string(parameter)));
        const SQLULEN columns = texts.back().size();
        if (!SQL_SUCCEEDED(odbc.BindParameter(statement.Handle(), static_cast<SQLUSMALLINT>(index + 1), SQL_PARAM_INPUT,
                                              SQL_C_WCHAR, SQL_WVARCHAR, columns, 0, texts.back().data(), 0,
                                              &lengths[index])))
        {
            return Diagnosis(odbc, SQL_HANDLE_STMT, statement.Handle());
        }
        ++index;
    }
    std::vector<wchar_t> text = WideFromUtf8(sql);
    const SQLRETURN ran = odbc.ExecDirect(statement.Handle(), reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS);
    if (!SQL_SUCCEEDED(ran) && ran != SQL_NO_DATA)
    {
        return Diagnosis(odbc, SQL_HANDLE_STMT, statement.Handle());
    }
    return rows != nullptr ? Fetch(statement.Handle(), *rows) : OdbcStatus();
}

OdbcStatus OdbcConnection::Fetch(void* statement, std::vector<OdbcRow>& rows)
{
    const OdbcCalls& odbc = *m_odbc;
    SQLSMALLINT columns = 0;
    odbc.NumResultCols(statement, &columns);
    for (;;)
    {
        const SQLRETURN fetched = odbc.Fetch(statement);
        if (fetched == SQL_NO_DATA)
        {
            return {};
        }
        if (!SQL_SUCCEEDED(fetched))
        {
            return Diagnosis(odbc, SQL_HANDLE_STMT, statement);
        }
        OdbcRow row(columns);
        for (SQLSMALLINT column = 0; column < columns; ++column)
        {
            // Each field is short: a serial, a name, a count, a detail line.
            wchar_t field[2048] = {};
            SQLLEN length = 0;
            const SQLRETURN got = odbc.GetData(statement, static_cast<SQLUSMALLINT>(column + 1), SQL_C_WCHAR, field,
                                               sizeof field, &length);
            if (!SQL_SUCCEEDED(got))
            {
                return Diagnosis(odbc, SQL_HANDLE_STMT, statement);
            }
            row[column] = length == SQL_NULL_DATA ? std::string() : Utf8FromWide(field);
        }
        rows.push_back(std::move(row));
    }
}

OdbcStatus OdbcConnection::EndTransaction(bool commit)
{
    if (m_connection == nullptr)
    {
        return {false, "08003", "not connected"};
    }
    const OdbcCalls& odbc = *m_odbc;
    if (!SQL_SUCCEEDED(odbc.EndTran(SQL_HANDLE_DBC, m_connection, commit ? SQL_COMMIT : SQL_ROLLBACK)))
    {
        return Diagnosis(odbc, SQL_HANDLE_DBC, m_connection);
    }
    return {};
}

OdbcConnection::OdbcConnection() = default;

OdbcConnection::~OdbcConnection()
{
    Disconnect();
}
