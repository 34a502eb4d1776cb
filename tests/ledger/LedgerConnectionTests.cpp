// The connection string: a password added only where none is given, its
// braces kept, and the place a message names read past braced values.
#include <gtest/gtest.h>

#include "LedgerConnection.h"

namespace
{
TEST(LedgerConnection, APasswordIsAddedOnlyWhereTheStringHasNone)
{
    struct Case
    {
        const char* connection;
        const char* password;
        const char* expected;
    };
    const Case cases[] = {
        {"DSN=kelvra-line", "pw", "DSN=kelvra-line;PWD={pw};"},
        {"DSN=kelvra-line;", "p}w;", "DSN=kelvra-line;PWD={p}}w;};"},
        {"DSN=kelvra-line;PWD=given;", "pw", "DSN=kelvra-line;PWD=given;"},
        {"Driver={PostgreSQL Unicode};pwd={a;b}", "pw", "Driver={PostgreSQL Unicode};pwd={a;b}"},
        {"DSN=kelvra-line", "", "DSN=kelvra-line"},
    };
    for (const Case& test : cases)
    {
        EXPECT_EQ(WithPassword(test.connection, test.password), test.expected) << test.connection;
    }
}

TEST(LedgerConnection, MessagesNameTheServerAndDatabaseNeverThePassword)
{
    struct Case
    {
        const char* connection;
        const char* place;
    };
    const Case cases[] = {
        {"DSN=kelvra-line", "data source kelvra-line"},
        {"Driver={PostgreSQL Unicode};Server=db1;Database=kelvra;Uid=s;Pwd=x", "server db1, database kelvra"},
        {"Driver={a;Server=wrong};SERVER=db2; database=plant", "server db2, database plant"},
        {"Driver={PostgreSQL Unicode}", "server localhost, database (the driver's default)"},
    };
    for (const Case& test : cases)
    {
        EXPECT_EQ(LedgerPlace(test.connection), test.place) << test.connection;
    }
    EXPECT_EQ(WithoutPassword("no login for s3cret or env-pw", "DSN=x;Pwd={s3cret}", "env-pw"),
              "no login for *** or ***");
}
}  // namespace
