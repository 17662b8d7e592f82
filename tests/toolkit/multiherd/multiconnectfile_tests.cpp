#include "core/error.h"
#include "toolkit/multiherd/multiconnectfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace rimo;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

int modeBits(const QString& path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

const QString kPersian = QStringLiteral("سرور مركزي");

} // namespace

TEST(MultiConnectFile, DecodesLikeTheOtherSettingsFiles)
{
    const QByteArray persianUtf8 = kPersian.toUtf8();
    // "سرور" in code page 1256: not valid UTF-8, so the Arabic code page applies.
    const QByteArray persian1256("\xD3\xD1\xE6\xD1");
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : QStringLiteral("a\r\nb\r\nc\r\nd"))
        utf16.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));

    const struct
    {
        const char* name;
        QByteArray bytes;
        MultiConnectSettings expected;
    } cases[] = {
        {"CR LF lines", "srv\r\nmaster\r\nsa\r\npw\r\n", {"srv", "master", "sa", "pw"}},
        {"LF and no final end", "srv\nmaster\nsa\npw", {"srv", "master", "sa", "pw"}},
        {"UTF-8 mark",
         "\xEF\xBB\xBF" + persianUtf8 + "\r\nMasters\r\nsa\r\n",
         {kPersian, "Masters", "sa", ""}},
        {"UTF-16 mark", utf16, {"a", "b", "c", "d"}},
        {"plain UTF-8", persianUtf8 + "\r\n", {kPersian, "", "", ""}},
        {"code page 1256", persian1256 + "\r\nm\r\n", {QStringLiteral("سرور"), "m", "", ""}},
        {"missing lines read empty", "only-server", {"only-server", "", "", ""}},
        {"empty file", "", {"", "", "", ""}},
        {"lines after the fourth ignored", "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n", {"a", "b", "c", "d"}},
        {"blank lines keep their place", "\r\n\r\nsa\r\n", {"", "", "sa", ""}},
        {"spaces kept", " srv \r\n", {" srv ", "", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeMultiConnect(c.bytes), c.expected) << c.name;
}

TEST(MultiConnectFile, EncodesFourCrLfLinesInUtf8WithoutMark)
{
    EXPECT_EQ(encodeMultiConnect({kPersian, "master", "sa", ""}),
              kPersian.toUtf8() + "\r\nmaster\r\nsa\r\n\r\n");
    EXPECT_EQ(encodeMultiConnect({}), QByteArray("\r\n\r\n\r\n\r\n"));
    for (const QString& bad : {QStringLiteral("p\nw"), QStringLiteral("p\rw")}) {
        EXPECT_THROW(encodeMultiConnect({"s", "d", "u", bad}), Error);
        EXPECT_THROW(encodeMultiConnect({bad, "d", "u", "p"}), Error);
    }
}

TEST(MultiConnectFile, WritesAPrivateFileAndReplacesTheOldOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MultiConnect.Dat");
    const MultiConnectSettings first{"127.0.0.1,1433", "master", "sa", "p;w'd"};
    writeMultiConnectFile(path, first);
    EXPECT_EQ(readAll(path), "127.0.0.1,1433\r\nmaster\r\nsa\r\np;w'd\r\n");
    EXPECT_EQ(modeBits(path), 0600);
    EXPECT_EQ(readMultiConnectFile(path), first);

    // A file shared from another installation, readable by all: replaced by a private one.
    writeAll(path, "\xEF\xBB\xBFold\nx\ny\nz\nfifth\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    const MultiConnectSettings second{kPersian, "master", "sa", ""};
    writeMultiConnectFile(path, second);
    EXPECT_EQ(readAll(path), kPersian.toUtf8() + "\r\nmaster\r\nsa\r\n\r\n");
    EXPECT_EQ(modeBits(path), 0600);
    EXPECT_EQ(entries(dir.path()), QStringList{"MultiConnect.Dat"}) << "no temporary file left";
}

TEST(MultiConnectFile, RefusesWriteProtectedFileOrFolderAndKeepsTheOldFile)
{
    const MultiConnectSettings s{"srv", "master", "sa", "pw"};
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("MultiConnect.Dat");
        writeAll(path, "old\r\n");
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        EXPECT_TRUE(isWriteProtected(path));
        EXPECT_THROW(writeMultiConnectFile(path, s), Error);
        EXPECT_EQ(readAll(path), "old\r\n");
        EXPECT_EQ(entries(dir.path()), QStringList{"MultiConnect.Dat"});
    }
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("MultiConnect.Dat");
        writeAll(path, "old\r\n");
        const auto folderPerms = QFile::permissions(dir.path());
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_THROW(writeMultiConnectFile(path, s), Error);
        EXPECT_THROW(writeMultiConnectFile(dir.filePath("new.Dat"), s), Error);
        QFile::setPermissions(dir.path(), folderPerms);
        EXPECT_EQ(readAll(path), "old\r\n");
        EXPECT_EQ(entries(dir.path()), QStringList{"MultiConnect.Dat"});
    }
    {
        // A "folder" that is a file, and one that does not exist.
        QTemporaryDir dir;
        writeAll(dir.filePath("plain"), "x");
        EXPECT_THROW(writeMultiConnectFile(dir.filePath("plain/MultiConnect.Dat"), s), Error);
        EXPECT_THROW(writeMultiConnectFile(dir.filePath("absent/MultiConnect.Dat"), s), Error);
        EXPECT_THROW(readMultiConnectFile(dir.filePath("absent.Dat")), Error);
    }
}
