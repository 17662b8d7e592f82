// The journal's line format: what is written reads back the same, and a damaged file is refused
// with the line that is wrong.
#include "core/error.h"
#include "repairs/journal.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

using namespace rimo::repairs;

namespace {

JournalHeader header()
{
    JournalHeader h;
    h.database = QStringLiteral("herd\t2");
    h.table = QStringLiteral("FirstRec");
    h.repair = QStringLiteral("sequence");
    h.started = QStringLiteral("2026-12-10T21:30:00Z");
    h.keyed = false;
    h.identity = QStringList{QStringLiteral("Serial"), QStringLiteral("RDate")};
    h.columns = QStringList{QStringLiteral("RecSeq"), QStringLiteral("StRecNo")};
    return h;
}

} // namespace

TEST(Journal, WhatIsWrittenReadsBackTheSame)
{
    QTemporaryDir dir;
    const QString path = newJournalPath(dir.path(), QStringLiteral("sequence"), QStringLiteral("he/rd"));
    EXPECT_TRUE(path.endsWith(QStringLiteral(".journal")));
    EXPECT_FALSE(path.mid(dir.path().size() + 1).contains(u'/'));
    const std::vector<JournalRow> rows{
        // NULLs, an empty text (not NULL), a quote, every escaped character, a literal "\N" and Persian text.
        {{QStringLiteral("O'Neil"), std::nullopt},
         {std::nullopt, QStringLiteral("")},
         {QStringLiteral("1"), QStringLiteral("2")}},
        {{QStringLiteral("a\tb\nc\rd\\e"), QStringLiteral("\\N")},
         {QStringLiteral("رسمي"), QStringLiteral("3")},
         {std::nullopt, std::nullopt}},
    };
    {
        JournalWriter w(path, header());
        for (const JournalRow& r : rows)
            w.append(r);
        EXPECT_EQ(w.rows(), 2);
        // Flushed at once: the file holds every row while the writer is still open.
        const Journal j = readJournalFile(path);
        EXPECT_EQ(j.header, header());
        EXPECT_EQ(j.rows, rows);
        EXPECT_FALSE(j.truncatedTail);
    }
    // A journal is never overwritten.
    EXPECT_THROW(JournalWriter(path, header()), rimo::Error);
}

// Lines built in place (pre-encoded fields, numbers) read back as the rows they stand for, and a
// batch reaches the file whole at its end, not before.
TEST(Journal, BatchOfLinesBuiltInPlaceReachesTheFileAtItsEnd)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("batch.journal"));
    JournalWriter w(path, header());
    QByteArray identity;
    for (const Value& v : {Value(QStringLiteral("ü\tab\there")), Value(std::nullopt)}) {
        identity += '\t';
        appendEncodedValue(identity, v);
    }
    w.beginBatch();
    for (const qint64 n : {qint64{0}, qint64{-42}, std::numeric_limits<qint64>::min()}) {
        w.beginRow();
        w.addEncoded(identity);
        w.addInteger(n);
        w.addText(QStringLiteral("x\\y"));
        w.addValue(std::nullopt);
        w.addInteger(n + 1);
        w.endRow();
    }
    EXPECT_TRUE(readJournalFile(path).rows.empty());
    EXPECT_EQ(w.rows(), 0);
    w.endBatch();
    EXPECT_EQ(w.rows(), 3);
    const Journal j = readJournalFile(path);
    ASSERT_EQ(j.rows.size(), 3u);
    const Values id{QStringLiteral("ü\tab\there"), std::nullopt};
    EXPECT_EQ(j.rows[1], (JournalRow{id,
                                     {QStringLiteral("-42"), QStringLiteral("x\\y")},
                                     {std::nullopt, QStringLiteral("-41")}}));
    EXPECT_EQ(j.rows[2].before[0], QString::number(std::numeric_limits<qint64>::min()));
    // An empty batch writes nothing; the next row is written at once again.
    w.beginBatch();
    w.endBatch();
    w.append({id, {QStringLiteral("1"), QStringLiteral("2")}, {QStringLiteral("3"), QStringLiteral("4")}});
    EXPECT_EQ(readJournalFile(path).rows.size(), 4u);
}

TEST(Journal, UnwritableFolderRaisesBeforeAnyRow)
{
    EXPECT_THROW(JournalWriter(QStringLiteral("/nonexistent-folder/x.journal"), header()), rimo::Error);
}

TEST(Journal, DamagedFilesAreRefusedWithTheirLine)
{
    const QByteArray good = encodeHeader(header()) + encodeRow({{QStringLiteral("A"), QStringLiteral("B")},
                                                                {QStringLiteral("1"), QStringLiteral("2")},
                                                                {QStringLiteral("3"), QStringLiteral("4")}});
    // A last line cut short by a crash: the row was not written yet, so it is dropped and noted.
    const Journal cut = parseJournal(good + "row\tA\tB\t1");
    EXPECT_EQ(cut.rows.size(), 1u);
    EXPECT_TRUE(cut.truncatedTail);

    const struct
    {
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"", "line 1"},
        {"RIMO1-REPAIR-JOURNAL 2\n", "line 1: not a repair journal"},
        {encodeHeader(header()).left(60), "header is cut short"},
        {QByteArray(encodeHeader(header())).replace("repair\tsequence", "repair\tdelete"), "unknown repair"},
        {QByteArray(encodeHeader(header())).replace("identity\tvalues", "identity\tsome"), "line 6"},
        {encodeHeader(header()) + "row\tA\tB\t1\t2\t3\n", "line 8: 5 values where 6 belong"},
        {encodeHeader(header()) + "row\tA\tB\t1\t2\t3\t4\t5\n", "line 8: 7 values"},
        {encodeHeader(header()) + "rows\tA\tB\t1\t2\t3\t4\n", "line 8: expected a row"},
        {encodeHeader(header()) + "row\tA\\x\tB\t1\t2\t3\t4\n", "unknown escape"},
        {encodeHeader(header()) + "row\tA\\\tB\t1\t2\t3\t4\n", "backslash ends"},
        {good + good, "line 9"},
    };
    for (const auto& c : cases) {
        try {
            parseJournal(c.bytes);
            ADD_FAILURE() << "accepted: " << c.bytes.toStdString();
        } catch (const rimo::Error& e) {
            EXPECT_TRUE(e.text().contains(QLatin1String(c.message))) << e.text().toStdString();
        }
    }
}

TEST(Journal, NoRegularFileIsRead)
{
    // An endless device is refused, not read until memory runs out.
    EXPECT_THROW(readJournalFile(QStringLiteral("/dev/zero")), rimo::Error);
    QTemporaryDir dir;
    EXPECT_THROW(readJournalFile(dir.path()), rimo::Error);
}
