#include "platform/desktopentry.h"

#include <gtest/gtest.h>

using namespace rimo;

namespace {

const QByteArray kSample = "# written by hand\n"
                           "\n"
                           "[Desktop Entry]\r\n"
                           "Type = Application\r\n"
                           "Name=Herd tool\n"
                           "Name[fa_IR]=ابزار گله\n"
                           "Comment=\\sleading blank, a\\ttab and a \\\\ backslash\n"
                           "Exec=\"/opt/a b/tool\" --x\n"
                           "\n"
                           "[Desktop Action New]\n"
                           "Name=New\n";

} // namespace

TEST(DesktopEntry, ReadsGroupsKeysAndUnescapedValues)
{
    const DesktopEntryFile file = DesktopEntryFile::parse(kSample);
    EXPECT_TRUE(file.errors().isEmpty());
    EXPECT_EQ(file.groups(), QStringList({"Desktop Entry", "Desktop Action New"}));
    EXPECT_EQ(file.keys("Desktop Entry"), QStringList({"Type", "Name", "Name[fa_IR]", "Comment", "Exec"}));
    EXPECT_EQ(file.value("Desktop Entry", "Type"), "Application"); // blanks around "=" and the CR are no part
    EXPECT_EQ(file.value("Desktop Entry", "Name[fa_IR]"), QString::fromUtf8("ابزار گله"));
    EXPECT_EQ(file.value("Desktop Entry", "Comment"), " leading blank, a\ttab and a \\ backslash");
    EXPECT_EQ(file.rawValue("Desktop Entry", "Comment"), "\\sleading blank, a\\ttab and a \\\\ backslash");
    EXPECT_EQ(file.value("Desktop Action New", "Name"), "New");
    EXPECT_EQ(file.value("Desktop Entry", "Missing", "fallback"), "fallback");
    EXPECT_EQ(file.value("No Group", "Name", "fallback"), "fallback");
    EXPECT_FALSE(file.rawValue("Desktop Entry", "Missing").has_value());
}

TEST(DesktopEntry, FaultyLinesAreReportedKeptAndNotRead)
{
    const QByteArray bytes = "Early=1\n"        // 1: before any group
                             "[Good]\n"         // 2
                             "A=1\n"            // 3
                             "A=2\n"            // 4: repeated key, the first counts
                             "no equals sign\n" // 5
                             "Bad Key=3\n"      // 6: blank inside a key
                             "[Bad[Name]\n"     // 7
                             "B=\xff\xfe\n"     // 8: not UTF-8
                             "[Good]\n"         // 9: repeated group
                             "A=3";             // 10: no final line end
    const DesktopEntryFile file = DesktopEntryFile::parse(bytes);
    QList<int> lines;
    for (const auto& e : file.errors())
        lines << e.line;
    EXPECT_EQ(lines, QList<int>({1, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(file.value("Good", "A"), "1");
    EXPECT_EQ(file.keys("Good"), QStringList({"A", "B"}));
    EXPECT_EQ(file.value("Good", "B"), QString(2, QChar(0xfffd)));
    // Everything but the bytes that were no UTF-8 comes back; the last line gains its line end.
    QByteArray expected = bytes;
    expected.replace("\xff\xfe", "\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(file.toBytes(), expected + "\n");
}

TEST(DesktopEntry, UnchangedFileWritesBackByteForByte)
{
    EXPECT_EQ(DesktopEntryFile::parse(kSample).toBytes(), kSample);
    EXPECT_EQ(DesktopEntryFile::parse({}).toBytes(), QByteArray());
}

TEST(DesktopEntry, SettingValuesKeepsEveryOtherLine)
{
    DesktopEntryFile file = DesktopEntryFile::parse(kSample);
    ASSERT_TRUE(file.setValue("Desktop Entry", "Type", "Link"));         // in place, CR line end kept
    ASSERT_TRUE(file.setValue("Desktop Entry", "Path", "/srv/herd"));    // new key, before the blank line
    ASSERT_TRUE(file.setValue("Extra", "Key", "  two blanks around  ")); // new group at the end
    EXPECT_TRUE(file.removeKey("Desktop Action New", "Name"));
    EXPECT_FALSE(file.removeKey("Desktop Action New", "Name"));
    const QByteArray expected = "# written by hand\n"
                                "\n"
                                "[Desktop Entry]\r\n"
                                "Type=Link\r\n"
                                "Name=Herd tool\n"
                                "Name[fa_IR]=ابزار گله\n"
                                "Comment=\\sleading blank, a\\ttab and a \\\\ backslash\n"
                                "Exec=\"/opt/a b/tool\" --x\n"
                                "Path=/srv/herd\n"
                                "\n"
                                "[Desktop Action New]\n"
                                "\n"
                                "[Extra]\n"
                                "Key=\\s\\stwo blanks around\\s\\s\n";
    EXPECT_EQ(file.toBytes(), expected);
    EXPECT_EQ(DesktopEntryFile::parse(expected).value("Extra", "Key"), "  two blanks around  ");
}

TEST(DesktopEntry, RefusesKeysAndGroupsTheFormatCannotHold)
{
    DesktopEntryFile file;
    for (const char* key : {"", "Bad Key", "Key=", "Name[]", "Name[fa", "Ä"})
        EXPECT_FALSE(file.setValue("Group", QString::fromUtf8(key), "v")) << key;
    for (const char* group : {"", "a[b", "a]b", "tab\there"})
        EXPECT_FALSE(file.setValue(QString::fromUtf8(group), "Key", "v")) << group;
    EXPECT_FALSE(file.setRawValue("Group", "Key", "two\nlines"));
    EXPECT_TRUE(file.groups().isEmpty());
    EXPECT_TRUE(file.setValue("Group", "Name[sr@latin]", "v"));
    EXPECT_EQ(file.toBytes(), "[Group]\nName[sr@latin]=v\n");
}

TEST(DesktopEntry, StringEscapesRoundTrip)
{
    struct Case
    {
        QString value;
        QString raw;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {" lead", "\\slead"},
        {"trail ", "trail\\s"},
        {"in side", "in side"},
        {"a\\b", "a\\\\b"},
        {"two\nlines\r\tend", "two\\nlines\\r\\tend"},
        {"\\s literally", "\\\\s literally"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeDesktopValue(c.value), c.raw) << c.value.toStdString();
        EXPECT_EQ(unescapeDesktopValue(c.raw), c.value) << c.raw.toStdString();
    }
    // Unknown escapes and a lone final backslash stay as written.
    EXPECT_EQ(unescapeDesktopValue("a\\;b\\"), "a\\;b\\");
}

TEST(DesktopEntry, ListsSplitAtUnescapedSemicolons)
{
    EXPECT_EQ(splitDesktopList("text/plain;image/png;"), QStringList({"text/plain", "image/png"}));
    EXPECT_EQ(splitDesktopList("a\\;b;c"), QStringList({"a;b", "c"}));
    EXPECT_EQ(splitDesktopList("back\\\\;slash"), QStringList({"back\\", "slash"}));
    EXPECT_EQ(splitDesktopList(""), QStringList());
    const QStringList items = {"a;b", " lead", "x\\y", ""};
    EXPECT_EQ(joinDesktopList(items), "a\\;b;\\slead;x\\\\y;;");
    EXPECT_EQ(splitDesktopList(joinDesktopList(items)), items);
}

// What a launcher reads back from a written Exec key is exactly the program and arguments given,
// whatever blanks, quotes or shell characters they hold.
TEST(DesktopEntry, ExecArgumentsSurviveWritingAndReading)
{
    const QStringList args = {"/opt/herd tools/run",
                              "plain",
                              "two words",
                              "say \"hi\"",
                              "$HOME and $(rm -rf x)",
                              "100% sure, %f",
                              "back\\slash",
                              "`tick`",
                              "semi;colon|pipe&amp",
                              "new\nline",
                              ""};
    DesktopEntryFile file;
    ASSERT_TRUE(file.setValue("Desktop Entry", "Exec", execLine(args)));
    const DesktopEntryFile back = DesktopEntryFile::parse(file.toBytes());
    const auto split = splitExecLine(back.value("Desktop Entry", "Exec"), {"/ignored/file"});
    ASSERT_TRUE(split.has_value());
    EXPECT_EQ(*split, args);
    // The two layers: a backslash is doubled by the quoting and again by the string escapes.
    EXPECT_TRUE(back.rawValue("Desktop Entry", "Exec")->contains(u"\"back\\\\\\\\slash\""));
    EXPECT_TRUE(back.rawValue("Desktop Entry", "Exec")->contains(u"\"100%% sure, %%f\""));
}

TEST(DesktopEntry, ExecFieldCodesAndFaults)
{
    const QStringList files = {"/a/one.txt", "/b/two.txt"};
    struct Case
    {
        QString exec;
        std::optional<QStringList> args;
    } cases[] = {
        {"viewer %f", QStringList{"viewer", "/a/one.txt"}},
        {"viewer %F", QStringList{"viewer", "/a/one.txt", "/b/two.txt"}},
        {"viewer %U --x", QStringList{"viewer", "/a/one.txt", "/b/two.txt", "--x"}},
        {"viewer --file=%u", QStringList{"viewer", "--file=/a/one.txt"}},
        {"viewer %i %c %k %d x", QStringList{"viewer", "x"}},
        {"viewer 50%%", QStringList{"viewer", "50%"}},
        {"  viewer\t \"\"  ", QStringList{"viewer", ""}},
        {"a\\ b c", QStringList{"a b", "c"}},
        {"pre\"quoted part\"post", QStringList{"prequoted partpost"}},
        {"viewer \"open", std::nullopt},
        {"viewer \"bad \\q escape\"", std::nullopt},
        {"viewer %z", std::nullopt},
        {"viewer x%F", std::nullopt},
        {"viewer 50%", std::nullopt},
        {"viewer \\", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitExecLine(c.exec, files), c.args) << c.exec.toStdString();
    EXPECT_EQ(splitExecLine("viewer %f %F", {}), QStringList{"viewer"});
}
