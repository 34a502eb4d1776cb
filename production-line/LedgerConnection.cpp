#include "LedgerConnection.h"

#include <windows.h>

#include <cctype>

#include "Joined.h"
#include "WideText.h"

namespace
{
std::string Lower(std::string text)
{
    for (char& character : text)
    {
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    }
    return text;
}

// The value of key (any case) in an ODBC connection string, whose values may
// be written in braces with } doubled; empty when it is not there.
std::string ValueOf(const std::string& connection, const char* key)
{
    size_t at = 0;
    while (at < connection.size())
    {
        const size_t equals = connection.find('=', at);
        if (equals == std::string::npos)
        {
            break;
        }
        const std::string name = Lower(connection.substr(at, equals - at));
        std::string value;
        size_t end = equals + 1;
        if (end < connection.size() && connection[end] == '{')
        {
            for (++end; end < connection.size(); ++end)
            {
                if (connection[end] == '}' && (end + 1 >= connection.size() || connection[end + 1] != '}'))
                {
                    break;
                }
                end += connection[end] == '}' ? 1 : 0;
                value += connection[end];
            }
            end = connection.find(';', end);
        }
        else
        {
            end = connection.find(';', end);
            value = connection.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
        }
        size_t first = name.find_first_not_of(' ');
        if (first != std::string::npos && name.substr(first) == key)
        {
            return value;
        }
        at = end == std::string::npos ? connection.size() : end + 1;
    }
    return std::string();
}

std::string Braced(const std::string& value)
{
    std::string braced = "{";
    for (char character : value)
    {
        braced += character;
        if (character == '}')
        {
            braced += '}';
        }
    }
    return braced + "}";
}

void Blank(std::string& text, const std::string& secret)
{
    if (secret.empty())
    {
        return;
    }
    for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
    {
        text.replace(at, secret.size(), "***");
    }
}
}  // namespace

namespace
{
std::string Environment(const wchar_t* name)
{
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, sizeof value / sizeof value[0]);
    return length > 0 && length < sizeof value / sizeof value[0] ? Utf8FromWide(value) : std::string();
}
}  // namespace

std::string LedgerFromEnvironment()
{
    return Environment(L"KELVRA_LEDGER");
}

std::string PasswordFromEnvironment()
{
    return Environment(L"KELVRA_LEDGER_PASSWORD");
}

std::string WithPassword(const std::string& connection, const std::string& password)
{
    if (password.empty() || !ValueOf(connection, "pwd").empty() || !ValueOf(connection, "password").empty())
    {
        return connection;
    }
    const bool closed = connection.empty() || connection.back() == ';';
    return Joined({connection, closed ? "" : ";", "PWD=", Braced(password), ";"});
}

std::string LedgerPlace(const std::string& connection)
{
    const std::string dsn = ValueOf(connection, "dsn");
    std::string server = ValueOf(connection, "server");
    if (server.empty())
    {
        server = ValueOf(connection, "servername");
    }
    const std::string database = ValueOf(connection, "database");
    if (server.empty() && !dsn.empty())
    {
        return Joined({"data source ", dsn, database.empty() ? "" : ", database ", database});
    }
    return Joined({"server ", server.empty() ? "localhost" : server, ", database ",
                   database.empty() ? "(the driver's default)" : database});
}

std::string WithoutPassword(std::string text, const std::string& connection, const std::string& password)
{
    Blank(text, ValueOf(connection, "pwd"));
    Blank(text, ValueOf(connection, "password"));
    Blank(text, password);
    return text;
}
