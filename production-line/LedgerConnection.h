// The ODBC connection string that names a shared ledger, and how messages
// name it: by its server and database, never with its password.
#pragma once

#include <string>

// The string to connect with: connection, with password added as its PWD
// when it names none and password is not empty.
std::string WithPassword(const std::string& connection, const std::string& password);

// The connection string in KELVRA_LEDGER, and the password in
// KELVRA_LEDGER_PASSWORD; empty when not set.
std::string LedgerFromEnvironment();
std::string PasswordFromEnvironment();

// "server db1, database kelvra" or "data source kelvra-line", for messages.
std::string LedgerPlace(const std::string& connection);

// text with each occurrence of the connection's password, and of password,
// replaced by ***, for a driver's message that might echo it.
std::string WithoutPassword(std::string text, const std::string& connection, const std::string& password);
