// The journal's line format: what is written reads back the same, and a damaged file is refused
// with the line that is wrong.
#include "core/error.h"
#include "repairs/journal.h"

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

JournalRow numberedRow(qint64 n)
{
    return {{QString::number(n), QStringLiteral("S") + QString::number(n % 97)},
            {QString::number(n * 3), std::nullopt},
            {QString::number(n + 1), QStringLiteral("رسمي")}};
}

// Runs `child` in a forked process, which ends with its return value and never runs a destructor
// of what it made: as a process killed at that point.
int inChild(const std::function<int()>& child)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(child());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The file is written through space reserved ahead: past its first page and past several steps
// of growth every row reads back, and a closed journal holds its lines and nothing after them.
// A process that ends without closing it leaves every line it wrote, and the reserve after them
// is passed over.
TEST(Journal, RowsAcrossTheReserveSurviveTheProcessAndAClosedFileEndsAtItsLastLine)
{
    QTemporaryDir dir;
    const QString closed = dir.filePath(QStringLiteral("closed.journal"));
    constexpr qint64 kRows = 150'000; // some 6 MB of lines: past the doubling and two fixed steps
    {
        JournalWriter w(closed, header());
        for (qint64 n = 0; n < kRows; ++n)
            w.append(numberedRow(n));
    }
    const QByteArray bytes = fileBytes(closed);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.back(), '\n');
    const Journal j = parseJournal(bytes);
    ASSERT_EQ(j.rows.size(), static_cast<std::size_t>(kRows));
    for (qint64 n = 0; n < kRows; ++n)
        ASSERT_EQ(j.rows[static_cast<std::size_t>(n)], numberedRow(n)) << n;

    const QString killed = dir.filePath(QStringLiteral("killed.journal"));
    for (const int rows : {0, 1, 3000}) {
        QFile::remove(killed);
        ASSERT_EQ(inChild([&] {
                      auto* w = new JournalWriter(killed, header()); // never closed
                      for (int n = 0; n < rows; ++n)
                          w->append(numberedRow(n));
                      w->beginBatch(); // a batch not ended is not in the file
                      w->append(numberedRow(-1));
                      return 0;
                  }),
                  0);
        const QByteArray left = fileBytes(killed);
        EXPECT_TRUE(left.startsWith(encodeHeader(header())));
        const Journal k = readJournalFile(killed);
        EXPECT_EQ(k.header, header());
        ASSERT_EQ(k.rows.size(), static_cast<std::size_t>(rows));
        EXPECT_FALSE(k.truncatedTail);
        for (int n = 0; n < rows; ++n)
            ASSERT_EQ(k.rows[static_cast<std::size_t>(n)], numberedRow(n)) << n;
    }
}

// When the file cannot grow (here: the process's file size limit, as a full disk would do), the
// row is refused with an error before it is written, and every row before it is in the file.
TEST(Journal, FileThatCannotGrowRaisesBeforeTheRow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("limited.journal"));
    const QString count = dir.filePath(QStringLiteral("count"));
    ASSERT_EQ(inChild([&] {
                  std::signal(SIGXFSZ, SIG_IGN);
                  const rlimit limit{64 * 1024, 64 * 1024};
                  ::setrlimit(RLIMIT_FSIZE, &limit);
                  JournalWriter w(path, header());
                  int n = 0;
                  try {
                      for (; n < 100'000; ++n)
                          w.append(numberedRow(n));
                  } catch (const rimo::Error& e) {
                      if (!e.text().contains(QLatin1String("cannot be written")))
                          return 2;
                      QFile f(count);
                      return f.open(QIODevice::WriteOnly) && f.write(QByteArray::number(n)) > 0 ? 0 : 3;
                  }
                  return 1; // never refused
              }),
              0);
    const int refusedAt = fileBytes(count).toInt();
    ASSERT_GT(refusedAt, 100);
    const Journal j = readJournalFile(path);
    ASSERT_EQ(j.rows.size(), static_cast<std::size_t>(refusedAt));
    EXPECT_FALSE(j.truncatedTail);
    for (std::size_t n = 0; n < j.rows.size(); ++n)
        ASSERT_EQ(j.rows[n], numberedRow(static_cast<qint64>(n))) << n;
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
