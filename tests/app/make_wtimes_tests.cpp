// The settings-file writer as shipped: a value the file cannot hold is refused with the field and
// position named and nothing written; a written file reads back through the program's reader.
#include "core/wholefile.h"
#include "toolkit/settingsfile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString errors;
};

ToolRun makeWtimes(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(MAKE_WTIMES_BINARY), args);
    ToolRun r;
    if (!p.waitForFinished(20000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

TEST(MakeWtimes, RefusesEveryValueScrambledIntoALineEnd)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("WTimes.DLL"));
    const QStringList fields{"password", "server", "database", "user"};
    struct Case
    {
        QString value;
        int position;
    } cases[] = {
        {QString(20, u'p') + u' ', 21},
        {QString(17, u'p') + u'.', 18},
        {QString(21, u'p') + u'!', 22},
        {QString(28, u'p') + u'0', 29},
        // Blanks, dots and digits early on are stored; the first one that is not is named.
        {QStringLiteral("a b.c!d0e") + QString(11, u'p') + u' ', 21},
    };
    for (const auto& c : cases) {
        ASSERT_GT(c.position, 0);
        for (int field = 0; field < 4; ++field) {
            QStringList args{"pw", "127.0.0.1:1433", "herd", "sa"};
            args[field] = c.value;
            const ToolRun r = makeWtimes(args + QStringList{out});
            EXPECT_EQ(r.exitCode, 2) << qPrintable(c.value);
            EXPECT_TRUE(r.errors.contains(fields[field])) << qPrintable(r.errors);
            EXPECT_TRUE(r.errors.contains(QStringLiteral("position %1").arg(c.position)))
                << qPrintable(r.errors);
            EXPECT_FALSE(QFile::exists(out)) << "a refused value left a file";
        }
    }
}

TEST(MakeWtimes, WrittenFileReadsBackThroughTheProgramsReader)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("WTimes.DLL"));
    const QStringList settings{QStringLiteral("رمز عبور .!0"), QStringLiteral("srv\\SQLEXPRESS"),
                               QStringLiteral("گله ۱۴۰۲"), QStringLiteral("sa")};
    const ToolRun r = makeWtimes(settings + QStringList{out});
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.errors);
    EXPECT_EQ(rimo::readScrambledSettings(rimo::readWholeFile(out)), settings);

    // A folder in the way of the output is a failure, not a success.
    const QString folder = dir.filePath(QStringLiteral("taken"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken")));
    EXPECT_EQ(makeWtimes(settings + QStringList{folder}).exitCode, 1);
}
