#pragma once
// Desktop entry files (.desktop, mimeapps.list and their kin, in the freedesktop.org desktop entry
// format): reading groups, keys and values, writing them back with every line that was not
// changed kept as it was, and the quoting of program arguments in the Exec key.
//
// Escaping happens in two layers, and the order matters: an Exec argument is first quoted (blanks
// and shell characters inside double quotes, `"`, `` ` ``, `$` and `\` behind a backslash, "%"
// doubled), then the whole value gets the string escapes (`\\`, `\s`, `\n`, `\t`, `\r`) like any
// other value. So a literal backslash inside a quoted argument is four backslashes in the file.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace rimo {

class DesktopEntryFile
{
public:
    DesktopEntryFile() = default;

    // Never fails: lines that are neither a comment, a group header nor an entry, entries before
    // the first group and repeated keys are recorded in errors() and kept for writing, unread;
    // bytes that are not UTF-8 are recorded too and read as U+FFFD.
    static DesktopEntryFile parse(const QByteArray& bytes);
    // The file as UTF-8 with LF line ends; unchanged lines come back exactly as they were read.
    QByteArray toBytes() const;

    // 1-based line numbers with a fault, each with a short English reason.
    struct LineError
    {
        int line = 0;
        QString reason;
    };
    const QList<LineError>& errors() const { return m_errors; }

    QStringList groups() const;
    bool hasGroup(const QString& group) const;
    // The keys of the group in file order (localised keys such as "Name[fa]" as written).
    QStringList keys(const QString& group) const;
    bool hasKey(const QString& group, const QString& key) const;
    // The value with its string escapes resolved; `fallback` when group or key is missing.
    QString value(const QString& group, const QString& key, const QString& fallback = {}) const;
    // The value as it stands in the file, escapes and all.
    std::optional<QString> rawValue(const QString& group, const QString& key) const;

    // Sets the value (string-escaped on writing): an existing key keeps its place, a new key goes
    // to the end of its group, a new group to the end of the file. False, and nothing changed, for
    // a group name or key the format cannot hold.
    bool setValue(const QString& group, const QString& key, const QString& value);
    bool setRawValue(const QString& group, const QString& key, const QString& raw);
    // Removes the key (true when it was there).
    bool removeKey(const QString& group, const QString& key);
    bool removeGroup(const QString& group);

    // What the format allows: keys of A-Z, a-z, 0-9 and "-", optionally followed by "[locale]";
    // group names of printable ASCII without "[" and "]".
    static bool isValidKey(const QString& key);
    static bool isValidGroupName(const QString& group);

private:
    struct Line
    {
        QString text; // the line as read or as last written (without its line end)
        QString key;  // empty for comments, blank and faulty lines
        QString rawValue;
    };
    struct Group
    {
        QString name;
        QList<Line> lines; // the header line is not among them
        QString header;
    };
    const Line* findLine(const QString& group, const QString& key) const;
    Group* findGroup(const QString& group);
    const Group* findGroup(const QString& group) const;

    QList<Line> m_preamble; // comments and blank lines before the first group
    QList<Group> m_groups;
    QList<LineError> m_errors;
};

// The string escapes of a value: backslash, newline, tab and carriage return always; a blank at
// the start (and at the end) as "\s", since blanks around "=" are not part of the value.
QString escapeDesktopValue(const QString& value);
// The reverse; an unknown escape or a lone trailing backslash is kept as written.
QString unescapeDesktopValue(const QString& raw);

// List values ("a;b;c;"): split at ";" that is not escaped as "\;", each item unescaped; and the
// reverse, every item followed by ";".
QStringList splitDesktopList(const QString& raw);
QString joinDesktopList(const QStringList& items);

// One Exec argument, double-quoted with its quoting escapes and "%" doubled (before the string
// escapes, which escapeDesktopValue adds).
QString quoteExecArgument(const QString& argument);
// The program and its arguments as an Exec value (before the string escapes), every one quoted.
QString execLine(const QStringList& programAndArguments);
// Splits an Exec value (after the string escapes are resolved) into the program and its
// arguments. "%%" becomes "%"; the file and address field codes %f %u take the first of `files`,
// %F %U (standing alone) all of them; %i %c %k and the deprecated codes expand to nothing.
// std::nullopt for an unterminated quote, a stray backslash inside quotes, an unknown field code
// or an empty line.
std::optional<QStringList> splitExecLine(const QString& exec, const QStringList& files = {});

} // namespace rimo
