// A table without a key, through the real stack: Post finds the edited row again by its original
// values, whatever the column's type and however odd the value (NULL, empty, extremes, fractional
// seconds, Persian text, trailing blanks). Each type gets a table of one such column beside an int
// column `n` and `id`; where the values can be compared every row starts with `n` and `id` NULL,
// so only the typed column tells the rows apart. Each Post writes the row's number into `id`.
#include "core/error.h"
#include "db/msdataset.h"
#include "herdconnection.h"
#include "tdsserver.h"

#include <gtest/gtest.h>

using rimo::testsupport::TdsServer;

namespace {

struct TypeCase
{
    const char* type;
    std::vector<const char*> values; // SQL literals, one row each
    // Long text and image values cannot be compared: those rows are told apart by `n` instead.
    bool comparable = true;
    // Every value is a different value to the server (no two equal under the collation), so each row
    // can be looked up by its literal afterwards: the i-th row read must have been written as id i.
    bool distinct = false;
};

const TypeCase kTypes[] = {
    {"int", {"NULL", "-2147483648", "2147483647", "0"}},
    {"bigint", {"-9223372036854775808", "9223372036854775807", "NULL"}},
    {"smallint", {"-32768", "32767", "NULL"}},
    {"tinyint", {"0", "255", "NULL"}},
    {"bit", {"0", "1", "NULL"}},
    {"float", {"0.1", "1.7976931348623157E308", "-2.2250738585072014E-308", "1E-300", "NULL"}},
    // The test server keeps a real as the double it was given, not at single precision as SQL
    // Server does: these values are exact in both.
    {"real", {"0.5", "3.4028234663852886E38", "-1.1754943508222875E-38", "1.5", "NULL"}},
    {"decimal(18,4)", {"12.5", "-99999999999999.9999", "0.0001", "NULL"}},
    {"numeric(38,0)", {"99999999999999999999999999999999999999", "-1", "NULL"}},
    // (the test server keeps money as a double too: the extremes of SQL Server are not exact in it)
    {"money", {"922337203685.4775", "-922337203685.4775", "0.0001", "NULL"}},
    {"smallmoney", {"214748.3647", "-214748.3648", "NULL"}},
    {"varchar(20)", {"''", "'abc  '", "'abc'", "N'گاو'", "NULL"}},
    {"nvarchar(20)", {"N''", "N'گاو ۱۴۰۲ یک'", "N'x  '", "N'x'", "NULL"}},
    {"char(10)", {"''", "'ab'", "'ab c'", "NULL"}},
    {"nchar(10)", {"N'رسمي'", "N'رسمی'", "N''", "NULL"}},
    // Written as the test server writes the values it receives (it compares dates as text).
    {"datetime",
     {"'1753-01-01 00:00:00.000'", "'9999-12-31 23:59:59.997'", "'2011-03-15 10:30:15.123'",
      "'2011-03-15 10:30:15.127'", "NULL"},
     true,
     true},
    {"smalldatetime",
     {"'1900-01-01 00:00:00.000'", "'2079-06-06 23:59:00.000'", "'2011-03-15 10:30:00.000'", "NULL"},
     true,
     true},
    {"date",
     {"'0001-01-01'", "'9999-12-31'", "'2011-03-15'", "'2011-12-03'", "'2011-03-12'", "NULL"},
     true,
     true},
    // Fractions to the last of seven digits, the ends of the range, offsets at both limits.
    {"time",
     {"'00:00:00'", "'23:59:59.9999999'", "'12:34:56.1234567'", "'12:34:56.1234568'", "NULL"},
     true,
     true},
    {"time(0)", {"'00:00:00'", "'23:59:59'", "'12:34:56'", "NULL"}, true, true},
    {"datetime2",
     {"'0001-01-01 00:00:00'", "'9999-12-31 23:59:59.9999999'", "'2011-03-15 10:30:15.1234567'",
      "'2011-03-15 10:30:15.1234568'", "'2011-12-03'", "NULL"},
     true,
     true},
    {"datetime2(3)", {"'2011-03-15 10:30:15.123'", "'2011-03-15 10:30:15.124'", "NULL"}, true, true},
    {"datetimeoffset",
     {"'0001-01-01 00:00:00 +00:00'", "'9999-12-31 23:59:59.9999999 +00:00'",
      "'2011-03-15 10:30:15.1234567 +03:30'", "'2011-03-15 10:30:15.1234567 -14:00'",
      "'2011-03-15 10:30:15.1234567 +14:00'", "'2011-03-15 10:30:15.1234568 +03:30'", "NULL"},
     true,
     true},
    {"datetimeoffset(0)",
     {"'2011-03-15 10:30:15 +03:30'", "'2011-03-15 10:30:15 -03:30'", "NULL"},
     true,
     true},
    {"binary(4)", {"0x00000000", "0xFFFFFFFF", "0x01020304", "NULL"}},
    {"varbinary(10)", {"0x", "0x00", "0xDEADBEEF", "NULL"}},
    {"text", {"'long'", "''", "NULL"}, false},
    {"ntext", {"N'بلند'", "N''", "NULL"}, false},
    {"image", {"0x", "0x01", "NULL"}, false},
};

} // namespace

TEST(Keyless, EveryTypeFindsItsRowAgainByItsOriginalValue)
{
    TdsServer server;
    server.exec("CREATE DATABASE herd");
    TMSConnection connection;
    rimo::testsupport::connectToServer(connection, server, "herd");
    int t = 0;
    for (const TypeCase& c : kTypes) {
        const std::string table = "K" + std::to_string(++t);
        server.exec("CREATE TABLE " + table + " (v " + c.type + " NULL, n int NULL, id int NULL)", "herd");
        int id = 0;
        for (const char* value : c.values) {
            ++id;
            // `n` tells the rows apart only where the values cannot.
            const std::string n = c.comparable ? "NULL" : std::to_string(-id);
            server.exec("INSERT INTO " + table + " (v, n, id) VALUES (" + value + ", " + n + ", NULL)",
                        "herd");
        }
        TMSQuery before;
        before.Connection = &connection;
        before.setSqlText(QStringLiteral("SELECT v, n FROM %1").arg(QString::fromStdString(table)));
        before.Open();
        QStringList expected;
        for (before.First(); !before.Eof(); before.Next())
            expected << before.FieldByName("v").AsString();

        TMSTable keyless;
        keyless.Connection = &connection;
        keyless.TableName = QString::fromStdString(table);
        keyless.Open();
        ASSERT_TRUE(keyless.keyColumns().isEmpty());
        int row = 0;
        for (keyless.First(); !keyless.Eof(); keyless.Next()) {
            keyless.Edit();
            keyless.FieldByName("id").setAsInteger(++row);
            try {
                keyless.Post();
            } catch (const rimo::Error& e) {
                ADD_FAILURE() << c.type << " row " << row << " ("
                              << qPrintable(keyless.FieldByName("v").AsString()) << "): " << e.what();
                keyless.Cancel();
            }
        }
        keyless.Close();

        // Each row was changed once: every id from 1 to the row count, no row twice, none missed,
        // and the typed values are as they were.
        TMSQuery after;
        after.Connection = &connection;
        after.setSqlText(
            QStringLiteral("SELECT v, n, id FROM %1 ORDER BY id").arg(QString::fromStdString(table)));
        after.Open();
        QStringList ids;
        QStringList values;
        for (after.First(); !after.Eof(); after.Next()) {
            ids << after.FieldByName("id").AsString();
            values << after.FieldByName("v").AsString();
        }
        QStringList wanted;
        for (int i = 1; i <= row; ++i)
            wanted << QString::number(i);
        EXPECT_EQ(row, static_cast<int>(c.values.size())) << c.type;
        EXPECT_EQ(ids, wanted) << c.type;
        values.sort();
        expected.sort();
        EXPECT_EQ(values, expected) << c.type;
        if (!c.distinct)
            continue;
        // Each Post changed its own row, not another of the same display text.
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            TMSQuery which;
            which.Connection = &connection;
            const QString value = QString::fromUtf8(c.values[i]);
            which.setSqlText(QStringLiteral("SELECT id FROM %1 WHERE v %2")
                                 .arg(QString::fromStdString(table), value == QLatin1String("NULL")
                                                                         ? QStringLiteral("IS NULL")
                                                                         : QStringLiteral("= ") + value));
            which.Open();
            QStringList found;
            for (which.First(); !which.Eof(); which.Next())
                found << which.FieldByName("id").AsString();
            EXPECT_EQ(found, QStringList{QString::number(i + 1)}) << c.type << " " << c.values[i];
        }
    }
}

TEST(Keyless, DatesWrittenAsTheProgramShowsThemKeepTheirDayAndMonth)
{
    // The program shows dates day first; the server would read "03/12/2011" by its own date
    // format (month first by default) as 12 March.
    TdsServer server;
    server.exec("CREATE DATABASE herd");
    server.exec("CREATE TABLE Dated (d date NULL, t datetime NULL, s smalldatetime NULL, n int NULL, "
                "tm time NULL, d2 datetime2 NULL, d20 datetime2(0) NULL, dto datetimeoffset NULL)",
                "herd");
    server.exec("INSERT INTO Dated (d, t, s, n) VALUES (NULL, NULL, NULL, 1)", "herd");
    TMSConnection connection;
    rimo::testsupport::connectToServer(connection, server, "herd");
    const struct
    {
        const char* column;
        const char* written;
        const char* readBack;
    } cases[] = {
        {"d", "03/12/2011", "03/12/2011"},
        {"d", "29/02/2012", "29/02/2012"},
        {"t", "03/12/2011 10:30:15", "03/12/2011 10:30:15"},
        {"t", "03/12/2011", "03/12/2011"},
        {"s", "31/01/2011 23:59:00", "31/01/2011 23:59:00"},
        {"tm", "23:59:59", "23:59:59"},
        {"tm", "10:30:15.1234567", "10:30:15"},
        {"d2", "03/12/2011 10:30:15.1234567", "03/12/2011 10:30:15"},
        {"d2", "31/12/9999 23:59:59.9999999", "31/12/9999 23:59:59"},
        {"d20", "01/01/0001", "01/01/0001"},
        // Shown with its offset, and written with the offset given; a text without one is read as UTC.
        {"dto", "03/12/2011 10:30:15", "03/12/2011 10:30:15 +00:00"},
        {"dto", "03/12/2011 10:30:15 +03:30", "03/12/2011 10:30:15 +03:30"},
        {"dto", "29/02/2012 23:59:59.9999999 -14:00", "29/02/2012 23:59:59 -14:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + c.written);
        TMSTable table;
        table.Connection = &connection;
        table.TableName = "Dated";
        table.Open();
        table.Edit();
        table.FieldByName(c.column).setAsString(QString::fromLatin1(c.written));
        try {
            table.Post();
        } catch (const rimo::Error& e) {
            ADD_FAILURE() << c.column << " " << c.written << ": " << e.what();
            continue;
        }
        // Posted again: the row is found by the value just written.
        table.Edit();
        table.FieldByName("n").setAsInteger(table.FieldByName("n").AsInteger() + 1);
        EXPECT_NO_THROW(table.Post()) << c.column << " " << c.written;
        table.Close();

        TMSQuery q;
        q.Connection = &connection;
        q.setSqlText(QStringLiteral("SELECT %1 FROM Dated").arg(QString::fromLatin1(c.column)));
        q.Open();
        EXPECT_EQ(q.Fields(0).AsString(), QString::fromLatin1(c.readBack)) << c.column << " " << c.written;
    }
}
