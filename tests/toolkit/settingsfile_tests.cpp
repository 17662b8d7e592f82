#include "core/error.h"
#include "toolkit/scramble.h"
#include "toolkit/settingsfile.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

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

namespace {
// A value of plain letters that are stored where they stand, with `c` at `position` (from 1).
QString valueWith(QChar c, int position)
{
    QString value;
    for (int k = 1; k < position; ++k) {
        char16_t letter = u'a';
        while ((letter ^ 2 * k) == u'\r' || (letter ^ 2 * k) == u'\n')
            ++letter;
        value += QChar(letter);
    }
    return value + c;
}
} // namespace

TEST(SettingsFile, EncodingRefusesCharactersScrambledIntoLineEndsOrBrokenText)
{
    struct Case
    {
        char16_t character;
        int position;
        bool fineOnePlaceLater = true;
    } cases[] = {
        {u' ', 21},
        {u'.', 18},
        {u'!', 22},
        {u'0', 29},
        {u'*', 16},
        {u'-', 16},
        {u'x', 57},
        // 2k XOR LF at a position where the key reaches above the Latin letters.
        {static_cast<char16_t>(0x0A ^ 2 * 300), 300},
        // A Persian letter whose scrambled form lands in the surrogate range at its position.
        // (one place later it is still a surrogate half).
        {static_cast<char16_t>(0xD800 ^ 2 * 1100), 1100, false},
    };
    for (const auto& c : cases) {
        for (int field = 0; field < 4; ++field) {
            QStringList settings{"pw", "srv", "db", "sa"};
            settings[field] = valueWith(QChar(c.character), c.position);
            const auto bad = findUnstorableCharacter(settings);
            ASSERT_TRUE(bad.has_value()) << c.position;
            EXPECT_EQ(bad->field, field);
            EXPECT_EQ(bad->position, c.position);
            EXPECT_EQ(bad->character, c.character);
            try {
                encodeScrambledSettings(settings);
                ADD_FAILURE() << "no error for position " << c.position;
            } catch (const rimo::Error& e) {
                EXPECT_TRUE(e.text().contains(settingsFieldName(field))) << e.what();
                EXPECT_TRUE(e.text().contains(QStringLiteral("position %1").arg(c.position))) << e.what();
            }
        }
        // The same character one place later is stored.
        const QStringList later{valueWith(QChar(c.character), c.position + 1), "s", "d", "u"};
        EXPECT_EQ(findUnstorableCharacter(later).has_value(), !c.fineOnePlaceLater) << c.position;
    }
}

TEST(SettingsFile, RandomValidSettingsReadBackIdentically)
{
    // Printable ASCII, Persian letters and digits, and a non-BMP character as a surrogate pair.
    QString pool;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        pool += QChar(c);
    pool += QStringLiteral("رمزسروبانكاطلاعاتیکۀ۰۱۲۳۴۵۶۷۸۹ي");
    std::mt19937 random(20261210);
    int stored = 0;
    for (int round = 0; round < 10000; ++round) {
        QStringList settings;
        for (int f = 0; f < 4; ++f) {
            QString value;
            const int length = static_cast<int>(random() % 70);
            for (int i = 0; i < length; ++i) {
                if (random() % 50 == 0)
                    value += QString::fromUcs4(U"\U0001F404");
                else
                    value += pool[static_cast<qsizetype>(random() % pool.size())];
            }
            settings << value;
        }
        if (findUnstorableCharacter(settings))
            continue;
        ++stored;
        ASSERT_EQ(readScrambledSettings(encodeScrambledSettings(settings)), settings) << round;
    }
    // Most random values are storable; the refused ones are covered above.
    EXPECT_GT(stored, 2000);
}
