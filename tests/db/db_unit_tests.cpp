#include "core/error.h"
#include "db/filter.h"
#include "db/msconnection.h"
#include "db/msdataset.h"
#include "db/sqltext.h"

#include <gtest/gtest.h>

using namespace rimo;
using namespace rimo::db;

TEST(DbText, ServerNamesUsersBringFromWindows)
{
    struct Case
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"farmserver", "farmserver"},
        {"farmserver,1433", "farmserver:1433"},
        {"10.0.0.5, 1500", "10.0.0.5:1500"},
        {"farmserver:1500", "farmserver:1500"},
        {"farmserver\\SQLEXPRESS", "farmserver\\SQLEXPRESS"},
        {".", "127.0.0.1"},
        {"(local)\\SQLEXPRESS", "127.0.0.1\\SQLEXPRESS"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(freetdsServerName(QString::fromLatin1(c.in)), QString::fromLatin1(c.out)) << c.in;
}

TEST(DbText, TableNamesAreQuoted)
{
    EXPECT_EQ(quoteName("FirstRec"), "[FirstRec]");
    EXPECT_EQ(quoteName("dbo.FirstRec"), "[dbo].[FirstRec]");
    EXPECT_EQ(quoteName("[dbo].[First Rec]"), "[dbo].[First Rec]");
    EXPECT_EQ(quoteName("odd]name"), "[odd]]name]");
    EXPECT_EQ(bareTableName("[dbo].[First Rec]"), "First Rec");
    EXPECT_EQ(bareTableName("zayesh"), "zayesh");
}

TEST(DbText, TableSelectStatement)
{
    TMSTable t;
    t.TableName = "zayesh";
    EXPECT_EQ(t.selectStatement(), "SELECT * FROM [zayesh]");
    t.FilterSQL = "MilkPeriodchange=1";
    t.OrderFields = "Serial,ZDate";
    EXPECT_EQ(t.selectStatement(), "SELECT * FROM [zayesh] WHERE (MilkPeriodchange=1) ORDER BY Serial,ZDate");
}

TEST(DbText, ConnectStringWithoutProvider)
{
    TMSConnection c;
    c.Server = "srv,1433";
    c.Database = "herd";
    c.Username = "sa";
    c.Password = "p;w";
    EXPECT_EQ(c.ConnectString(), "Data Source=srv,1433;Initial Catalog=herd;User ID=sa;Password=\"p;w\"");
}

TEST(DbText, TextLiteralsDoubleTheirQuotes)
{
    struct Case
    {
        QString in;
        QString out;
    } cases[] = {
        {"1024", "'1024'"},
        {"", "''"},
        {"O'Neil", "'O''Neil'"},
        {"''", "''''''"},
        {"a]b [c] \"d\"", "'a]b [c] \"d\"'"}, // only the single quote is special in a literal
        {QStringLiteral("گاو 'يك'"), QStringLiteral("'گاو ''يك'''")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(quotedSqlText(c.in), c.out) << c.in.toStdString();
}

TEST(DbFilter, ExpressionsOverARow)
{
    const QVariantMap row{
        {"serial", "1024"}, {"milkperiod", 2.0}, {"kind", QStringLiteral("رسمي")}, {"fat", QVariant()}};
    const FieldLookup lookup = [&](const QString& n) {
        if (!row.contains(n.toLower()))
            throw Error("Field '" + n + "' not found");
        return row.value(n.toLower());
    };
    struct Case
    {
        const char* expr;
        bool expected;
    } cases[] = {
        {"Serial = '1024'", true},
        {"serial='1025'", false},
        {"MilkPeriod > 1 and MilkPeriod <= 2", true},
        {"MilkPeriod <> 2 or Serial = '1024'", true},
        {"not (MilkPeriod = 2)", false},
        {"Fat is null", true},
        {"Fat is not null", false},
        {"Fat = 0", false},
        {"[Serial] >= '1000'", true},
        {"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FilterExpression(QString::fromLatin1(c.expr)).matches(lookup), c.expected) << c.expr;
    EXPECT_TRUE(FilterExpression(QStringLiteral("Kind = 'رسمي'")).matches(lookup));
    EXPECT_FALSE(FilterExpression(QStringLiteral("Kind = 'رسمی'")).matches(lookup))
        << "U+06CC is another letter";

    for (const char* bad : {"Serial =", "(Serial = '1'", "Serial = 'x", "Serial ! 1", "Serial = 1 1"})
        EXPECT_THROW(FilterExpression(QString::fromLatin1(bad)), Error) << bad;
    EXPECT_THROW(FilterExpression("Nope = 1").matches(lookup), Error);
}
