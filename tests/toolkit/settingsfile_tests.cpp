#include "toolkit/scramble.h"
#include "toolkit/settingsfile.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rimo;

namespace {
// The file's own bytes for lines of plain text: each line scrambled, CR LF between lines.
QByteArray scrambledUtf8(const QStringList& lines)
{
    QStringList out;
    for (const QString& l : lines)
        out << FindXOR(l);
    return out.join(QStringLiteral("\r\n")).toUtf8();
}
} // namespace

TEST(SettingsFile, ScrambledSettingsCases)
{
    const QString persian = QStringLiteral("رمز");
    QStringEncoder utf16le(QStringConverter::Utf16LE);
    const QByteArray utf16Body = utf16le.encode(FindXOR("pw") + "\r\n" + FindXOR("srv") + "\r\n" +
                                                FindXOR("herd") + "\r\n" + FindXOR("sa"));
    struct Case
    {
        const char* name;
        QByteArray bytes;
        QStringList expected; // password, server, database, user
    } cases[] = {
        {"four lines",
         scrambledUtf8({"secret", "127.0.0.1:1433", "herd", "sa"}),
         {"secret", "127.0.0.1:1433", "herd", "sa"}},
        {"lines after the fourth are ignored",
         scrambledUtf8({"p", "s", "d", "u", "extra"}),
         {"p", "s", "d", "u"}},
        {"one line is the password", scrambledUtf8({"secret"}), {"secret", "", "", ""}},
        {"empty file", QByteArray(), {"", "", "", ""}},
        {"final line end", scrambledUtf8({"p", "s", "d", "u"}) + "\r\n", {"p", "s", "d", "u"}},
        {"UTF-8 BOM", "\xEF\xBB\xBF" + scrambledUtf8({persian, "s", "d", "u"}), {persian, "s", "d", "u"}},
        {"UTF-16 BOM", "\xFF\xFE" + utf16Body, {"pw", "srv", "herd", "sa"}},
        {"LF only", FindXOR("p").toUtf8() + "\n" + FindXOR("s").toUtf8(), {"p", "s", "", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readScrambledSettings(c.bytes), c.expected) << c.name;
}

TEST(SettingsFile, ScrambleWorksPerCharacterAndRestartsEachLine)
{
    // "abc" is stored as "cfe"; a one-character line is combined with 2.
    EXPECT_EQ(readScrambledSettings("cfe\r\ncfe\r\nc\r\nA"), (QStringList{"abc", "abc", "a", "C"}));
}

TEST(SettingsFile, Arabic8BitCodePageWhenNotUtf8)
{
    // "سرور" in the Arabic Windows code page (each character taken as it is stored, unscrambled here).
    const QByteArray cp1256("\xD3\xD1\xE6\xD1");
    EXPECT_EQ(decodeSettingsLines(cp1256), QStringList{QStringLiteral("سرور")});
}

TEST(SettingsFile, GarbageBytesNeverFail)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(static_cast<char>((i * 7919) & 0xFF));
    const QStringList s = readScrambledSettings(garbage);
    EXPECT_EQ(s.size(), 4);
    EXPECT_EQ(readScrambledSettings(QByteArray(100000, 'x')).value(0).size(), 100000);
}

TEST(SettingsFile, FindsFilesWithoutRegardToCase)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("wtimes.dll"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(findFileCaseInsensitive(dir.path(), "WTimes.DLL"), dir.filePath("wtimes.dll"));
    EXPECT_EQ(findFileCaseInsensitive(dir.path(), "Multiusers.Dat"), QString());
}
