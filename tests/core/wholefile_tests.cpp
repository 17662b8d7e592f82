// Whole-file writing: the file is replaced as a whole or, when that cannot be done, left alone.
#include "core/error.h"
#include "core/wholefile.h"
#include "fileaccess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

TEST(WholeFile, WriteReplacesTheFileOrThrowsLeavingItAlone)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("r.Txt"));
    QFile old(name);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older and longer report\r\n");
    old.close();

    rimo::writeWholeFile(name, "a=b\r\n");
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("a=b\r\n"));

    EXPECT_THROW(rimo::writeWholeFile(dir.filePath(QStringLiteral("no/such/dir/r.Txt")), "x"), rimo::Error);
}

TEST(WholeFile, NewFilesAndEmptyContent)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("new.Txt"));
    rimo::writeWholeFile(name, QByteArray("\xEF\xBB\xBF\x00x", 5));
    EXPECT_EQ(contentOf(name), QByteArray("\xEF\xBB\xBF\x00x", 5)) << "bytes go as they are";
    rimo::writeWholeFile(name, QByteArray());
    EXPECT_TRUE(QFile::exists(name));
    EXPECT_EQ(QFile(name).size(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"new.Txt"})
        << "no temporary file is left beside it";
}

TEST(WholeFile, ReadOnlyFolderIsWrittenInPlaceOrLeftAlone)
{
    QTemporaryDir dir;
    const QString writable = dir.filePath(QStringLiteral("writable.Txt"));
    const QString readOnly = dir.filePath(QStringLiteral("readonly.Txt"));
    ASSERT_TRUE(writeFile(writable, "old"));
    ASSERT_TRUE(writeFile(readOnly, "kept"));
    rimo::testsupport::FileAccessAsUser user;
    for (const QString& path : {dir.path(), writable, readOnly})
        ASSERT_TRUE(user.own(path)) << path.toStdString();
    QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(user.enter());
    ASSERT_FALSE(QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly))
        << "the folder must be read-only for the test to mean anything";

    // No file can be made beside it, so the file is written in place.
    rimo::writeWholeFile(writable, "new content");
    EXPECT_EQ(contentOf(writable), "new content");
    EXPECT_THROW(rimo::writeWholeFile(readOnly, "lost"), rimo::Error);
    EXPECT_EQ(contentOf(readOnly), "kept");

    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    user.leave();
}

TEST(WholeFile, ReadTakesAtMostTheLimitFromAnyKindOfFile)
{
    QTemporaryDir dir;
    const qint64 limit = 1024;
    auto path = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    ASSERT_TRUE(writeFile(path("small"), "a\r\nb\r\n"));
    ASSERT_TRUE(writeFile(path("empty"), {}));
    ASSERT_TRUE(writeFile(path("exact"), QByteArray(limit, 'x')));
    ASSERT_TRUE(writeFile(path("one over"), QByteArray(limit + 1, 'x')));
    {
        // Sparse: 2 GB of size and no blocks, so making it is quick and reading it would not be.
        QFile sparse(path("2 GB"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(qint64{2} << 30));
    }
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("endless")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));

    struct Case
    {
        const char* name;
        QByteArray expected; // empty with a non-empty `why`: the read raises
        const char* why;
    } cases[] = {
        {"small", "a\r\nb\r\n", ""},
        {"empty", {}, ""},
        {"exact", QByteArray(limit, 'x'), ""},
        {"one over", {}, "larger than 1024 bytes"},
        {"2 GB", {}, "larger than 1024 bytes"},
        {"endless", {}, "not a regular file"},
        {"fifo", {}, "not a regular file"},
        {"folder", {}, "folder"},
        {"missing", {}, "No such file"},
    };
    for (const auto& c : cases) {
        QElapsedTimer t;
        t.start();
        if (*c.why == 0) {
            EXPECT_EQ(rimo::readWholeFile(path(c.name), limit), c.expected) << c.name;
        } else {
            try {
                rimo::readWholeFile(path(c.name), limit);
                ADD_FAILURE() << c.name << ": no error";
            } catch (const rimo::Error& e) {
                EXPECT_TRUE(e.text().contains(QString::fromLatin1(c.why))) << c.name << ": " << e.what();
                EXPECT_TRUE(e.text().contains(path(c.name))) << c.name << ": " << e.what();
            }
        }
        EXPECT_LT(t.elapsed(), 1000) << c.name;
    }
}
