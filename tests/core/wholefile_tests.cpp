// Whole-file writing: the file is replaced as a whole or, when that cannot be done, left alone.
#include "core/error.h"
#include "core/wholefile.h"
#include "fileaccess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
