// The board's plain rules: wrapping, the proposed report name, the report text.
#include "board/boardrows.h"

#include <gtest/gtest.h>

using rimo::board::Row;

namespace {

QList<int> lengths(const QList<Row>& rows)
{
    QList<int> out;
    for (const Row& r : rows)
        out << int(r.value.size());
    return out;
}

} // namespace

TEST(BoardWrap, RowLengthsAndTitles)
{
    struct Case
    {
        QString value;
        QList<int> expected;
    };
    const QString a70(70, u'a');
    const Case cases[] = {
        {QString(), {0}},
        {a70, {70}},
        {QString(71, u'a'), {70, 1}},
        {QString(75, u'a'), {70, 5}},
        {QString(200, u'a'), {70, 130}},
        // 70 letters, a blank, 80 letters, a blank, 20 letters
        {a70 + u' ' + QString(80, u'b') + u' ' + QString(20, u'c'), {70, 82, 20}},
        // a blank at the 70th character of the rest ends the piece there
        {a70 + QString(69, u'b') + u' ' + QString(75, u'c'), {70, 70, 75}},
        // a blank before the 70th character does not
        {a70 + QString(10, u'b') + u' ' + QString(75, u'c'), {70, 86}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.size());
        const auto rows = rimo::board::wrapMessage(QStringLiteral("T"), c.value);
        EXPECT_EQ(lengths(rows), c.expected);
        QString joined;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].title, i == 0 ? QStringLiteral("T") : QStringLiteral(" .. "));
            joined += rows[i].value;
        }
        EXPECT_EQ(joined, c.value); // nothing lost, nothing added
    }
}

TEST(BoardWrap, ContinuationRowsEndWithTheBlankTheyWereBrokenAt)
{
    const QString value = QString(70, u'a') + u' ' + QString(80, u'b') + u' ' + QString(20, u'c');
    const auto rows = rimo::board::wrapMessage(QStringLiteral("x"), value);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].value, u' ' + QString(80, u'b') + u' ');
    EXPECT_EQ(rows[2].value, QString(20, u'c'));
}

TEST(BoardWrap, NeverSplitsASurrogatePair)
{
    // 69 letters and a character outside the basic plane at the 70th/71st code units.
    const QString value = QString(69, u'a') + QString::fromUcs4(U"\U0001F42E") + QStringLiteral("zz");
    const auto rows = rimo::board::wrapMessage(QStringLiteral("t"), value);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].value.size(), 71);
    EXPECT_EQ(rows[1].value, QStringLiteral("zz"));
}

TEST(BoardReport, ProposedName)
{
    struct Case
    {
        QString title;
        Row first;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("a/b"), {QStringLiteral("x"), QStringLiteral("y")}, QStringLiteral("ab xy")},
        // only the first "=" goes; every "/" goes; blanks at both ends go
        {QStringLiteral(" r/e/p "),
         {QStringLiteral("k"), QStringLiteral("v=w/z ")},
         QStringLiteral("rep  kv=wz")},
        {QString(), {QStringLiteral(" .. "), QStringLiteral("v")}, QStringLiteral(".. v")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(rimo::board::proposedReportName(c.title, c.first), c.expected);
}

TEST(BoardReport, TextIsUtf8LinesWithCrLfAndNoByteOrderMark)
{
    const std::vector<Row> rows = {{QStringLiteral("x"), QStringLiteral("y")},
                                   {QStringLiteral("نام"), QStringLiteral("مقدار")}};
    const QByteArray text = rimo::board::reportText(rows);
    EXPECT_EQ(text, QByteArray("x=y\r\n") + QStringLiteral("نام=مقدار").toUtf8() + "\r\n");
    EXPECT_FALSE(text.startsWith("\xEF\xBB\xBF"));
}

TEST(BoardRowModel, AppendsAndClears)
{
    rimo::board::RowModel model;
    int inserted = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { inserted += last - first + 1; });
    model.append({{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral(" .. "), QStringLiteral("2")}});
    model.append({{QStringLiteral("b"), QStringLiteral("3")}});
    EXPECT_EQ(inserted, 3);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.index(2, 0).data().toString(), QStringLiteral("b"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("2"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral(" "));
    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
}
