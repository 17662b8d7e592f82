#include "platform/desktopentry.h"

#include <QStringDecoder>

#include <algorithm>

namespace rimo {

namespace {

bool isBlankChar(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedBlanks(const QString& s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && isBlankChar(s.at(from)))
        ++from;
    while (to > from && isBlankChar(s.at(to - 1)))
        --to;
    return s.mid(from, to - from);
}

bool isKeyChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-';
}

bool isLocaleChar(QChar c)
{
    return isKeyChar(c) || c == u'_' || c == u'@' || c == u'.';
}

} // namespace

bool DesktopEntryFile::isValidKey(const QString& key)
{
    qsizetype i = 0;
    while (i < key.size() && isKeyChar(key.at(i)))
        ++i;
    if (i == 0)
        return false;
    if (i == key.size())
        return true;
    // "Name[fa_IR]": a non-empty locale in brackets closing the key.
    if (key.at(i) != u'[' || !key.endsWith(u']') || key.size() - i < 3)
        return false;
    for (qsizetype j = i + 1; j < key.size() - 1; ++j)
        if (!isLocaleChar(key.at(j)))
            return false;
    return true;
}

bool DesktopEntryFile::isValidGroupName(const QString& group)
{
    if (group.isEmpty())
        return false;
    for (QChar c : group)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == u'[' || c == u']')
            return false;
    return true;
}

DesktopEntryFile DesktopEntryFile::parse(const QByteArray& bytes)
{
    DesktopEntryFile file;
    QList<QByteArray> rawLines = bytes.split('\n');
    if (!rawLines.isEmpty() && rawLines.last().isEmpty())
        rawLines.removeLast(); // the final line end closes the last line; it starts none
    int number = 0;
    for (const QByteArray& raw : rawLines) {
        ++number;
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        Line line;
        line.text = decode(raw);
        if (decode.hasError())
            file.m_errors.append({number, QStringLiteral("text is not UTF-8")});
        // A carriage return before the line end stays in the text (so CR LF files write back as
        // they were) but is no part of what the line says.
        QString body = line.text;
        if (body.endsWith(u'\r'))
            body.chop(1);
        const QString trimmed = trimmedBlanks(body);
        QList<Line>& target = file.m_groups.isEmpty() ? file.m_preamble : file.m_groups.last().lines;

        if (trimmed.isEmpty() || trimmed.startsWith(u'#')) {
            target.append(line);
            continue;
        }
        if (trimmed.startsWith(u'[')) {
            const QString name = trimmed.endsWith(u']') ? trimmed.mid(1, trimmed.size() - 2) : QString();
            if (!isValidGroupName(name)) {
                file.m_errors.append({number, QStringLiteral("malformed group header")});
                target.append(line);
                continue;
            }
            if (file.hasGroup(name))
                file.m_errors.append({number, QStringLiteral("group appears twice; the first one counts")});
            file.m_groups.append(Group{name, {}, line.text});
            continue;
        }
        const qsizetype eq = body.indexOf(u'=');
        const QString key = eq > 0 ? trimmedBlanks(body.left(eq)) : QString();
        if (eq < 0 || !isValidKey(key)) {
            file.m_errors.append({number, QStringLiteral("neither an entry, a group header nor a comment")});
        } else if (file.m_groups.isEmpty()) {
            file.m_errors.append({number, QStringLiteral("entry before the first group")});
        } else if (std::any_of(target.cbegin(), target.cend(),
                               [&key](const Line& l) { return l.key == key; })) {
            file.m_errors.append({number, QStringLiteral("key appears twice; the first one counts")});
        } else {
            QString value = body.mid(eq + 1);
            qsizetype lead = 0;
            while (lead < value.size() && isBlankChar(value.at(lead)))
                ++lead;
            line.key = key;
            line.rawValue = value.mid(lead);
        }
        target.append(line);
    }
    return file;
}

QByteArray DesktopEntryFile::toBytes() const
{
    QString out;
    auto writeLines = [&out](const QList<Line>& lines) {
        for (const Line& line : lines) {
            out += line.text;
            out += u'\n';
        }
    };
    writeLines(m_preamble);
    for (const Group& group : m_groups) {
        out += group.header;
        out += u'\n';
        writeLines(group.lines);
    }
    return out.toUtf8();
}

QStringList DesktopEntryFile::groups() const
{
    QStringList names;
    for (const Group& group : m_groups)
        if (!names.contains(group.name))
            names << group.name;
    return names;
}

bool DesktopEntryFile::hasGroup(const QString& group) const
{
    return findGroup(group) != nullptr;
}

const DesktopEntryFile::Group* DesktopEntryFile::findGroup(const QString& group) const
{
    for (const Group& g : m_groups)
        if (g.name == group)
            return &g;
    return nullptr;
}

DesktopEntryFile::Group* DesktopEntryFile::findGroup(const QString& group)
{
    for (Group& g : m_groups)
        if (g.name == group)
            return &g;
    return nullptr;
}

const DesktopEntryFile::Line* DesktopEntryFile::findLine(const QString& group, const QString& key) const
{
    const Group* g = findGroup(group);
    if (!g || key.isEmpty())
        return nullptr;
    for (const Line& line : g->lines)
        if (line.key == key)
            return &line;
    return nullptr;
}

QStringList DesktopEntryFile::keys(const QString& group) const
{
    QStringList out;
    if (const Group* g = findGroup(group))
        for (const Line& line : g->lines)
            if (!line.key.isEmpty())
                out << line.key;
    return out;
}

bool DesktopEntryFile::hasKey(const QString& group, const QString& key) const
{
    return findLine(group, key) != nullptr;
}

QString DesktopEntryFile::value(const QString& group, const QString& key, const QString& fallback) const
{
    const Line* line = findLine(group, key);
    return line ? unescapeDesktopValue(line->rawValue) : fallback;
}

std::optional<QString> DesktopEntryFile::rawValue(const QString& group, const QString& key) const
{
    const Line* line = findLine(group, key);
    if (!line)
        return std::nullopt;
    return line->rawValue;
}

bool DesktopEntryFile::setValue(const QString& group, const QString& key, const QString& value)
{
    return setRawValue(group, key, escapeDesktopValue(value));
}

bool DesktopEntryFile::setRawValue(const QString& group, const QString& key, const QString& raw)
{
    if (!isValidGroupName(group) || !isValidKey(key) || raw.contains(u'\n') || raw.contains(u'\r'))
        return false;
    Line line{key + u'=' + raw, key, raw};
    Group* g = findGroup(group);
    if (!g) {
        // A blank line parts the new group from what stands before it.
        QList<Line>& last = m_groups.isEmpty() ? m_preamble : m_groups.last().lines;
        if (!last.isEmpty() && !trimmedBlanks(last.last().text).isEmpty())
            last.append(Line{});
        m_groups.append(Group{group, {}, u'[' + group + u']'});
        g = &m_groups.last();
    }
    for (Line& existing : g->lines) {
        if (existing.key == key) {
            // Keep a carriage-return line end where the file has them.
            const bool cr = existing.text.endsWith(u'\r');
            existing = line;
            if (cr)
                existing.text += u'\r';
            return true;
        }
    }
    // Before the blank lines that close the group, so the new key stays with its group.
    qsizetype at = g->lines.size();
    while (at > 0 && g->lines.at(at - 1).key.isEmpty() && trimmedBlanks(g->lines.at(at - 1).text).isEmpty())
        --at;
    g->lines.insert(at, line);
    return true;
}

bool DesktopEntryFile::removeKey(const QString& group, const QString& key)
{
    Group* g = findGroup(group);
    if (!g || key.isEmpty())
        return false;
    for (qsizetype i = 0; i < g->lines.size(); ++i) {
        if (g->lines.at(i).key == key) {
            g->lines.removeAt(i);
            return true;
        }
    }
    return false;
}

bool DesktopEntryFile::removeGroup(const QString& group)
{
    for (qsizetype i = 0; i < m_groups.size(); ++i) {
        if (m_groups.at(i).name == group) {
            m_groups.removeAt(i);
            return true;
        }
    }
    return false;
}

QString escapeDesktopValue(const QString& value)
{
    qsizetype lead = 0;
    while (lead < value.size() && value.at(lead) == u' ')
        ++lead;
    qsizetype trail = value.size();
    while (trail > lead && value.at(trail - 1) == u' ')
        --trail;
    QString out;
    out.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\t')
            out += u"\\t";
        else if (c == u'\r')
            out += u"\\r";
        else if (c == u' ' && (i < lead || i >= trail))
            out += u"\\s";
        else
            out += c;
    }
    return out;
}

QString unescapeDesktopValue(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c != u'\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar next = raw.at(++i);
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += (QString(c) + next);
    }
    return out;
}

QStringList splitDesktopList(const QString& raw)
{
    QStringList items;
    QString item;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw.at(i);
        if (c == u'\\' && i + 1 < raw.size()) {
            const QChar next = raw.at(++i);
            if (next == u';')
                item += u';';
            else
                item += (QString(c) + next); // left for the string escapes below
        } else if (c == u';') {
            items << unescapeDesktopValue(item);
            item.clear();
        } else {
            item += c;
        }
    }
    if (!item.isEmpty())
        items << unescapeDesktopValue(item);
    return items;
}

QString joinDesktopList(const QStringList& items)
{
    QString out;
    for (const QString& item : items) {
        QString escaped = escapeDesktopValue(item);
        escaped.replace(u';', QStringLiteral("\\;"));
        out += escaped;
        out += u';';
    }
    return out;
}

QString quoteExecArgument(const QString& argument)
{
    QString out = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            out += u'\\';
        else if (c == u'%')
            out += u'%';
        out += c;
    }
    out += u'"';
    return out;
}

QString execLine(const QStringList& programAndArguments)
{
    QStringList quoted;
    for (const QString& argument : programAndArguments)
        quoted << quoteExecArgument(argument);
    return quoted.join(u' ');
}

namespace {

bool isExecSeparator(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// A field code inside an argument: appends its expansion; false for a code that cannot stand there.
bool expandEmbeddedCode(QChar code, const QStringList& files, QString& arg)
{
    switch (code.unicode()) {
    case '%':
        arg += u'%';
        return true;
    case 'f':
    case 'u':
        if (!files.isEmpty())
            arg += files.first();
        return true;
    case 'i':
    case 'c':
    case 'k':
    case 'd':
    case 'D':
    case 'n':
    case 'N':
    case 'v':
    case 'm':
        return true; // nothing to put there: no icon, name or location is known here
    default:
        return false; // %F and %U only stand alone; anything else is no field code
    }
}

} // namespace

std::optional<QStringList> splitExecLine(const QString& exec, const QStringList& files)
{
    QStringList out;
    const qsizetype n = exec.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && isExecSeparator(exec.at(i)))
            ++i;
        if (i == n)
            break;
        // A field code standing alone: it may expand to several arguments, or to none.
        if (exec.at(i) == u'%' && i + 1 < n && exec.at(i + 1) != u'%' &&
            (i + 2 == n || isExecSeparator(exec.at(i + 2)))) {
            const QChar code = exec.at(i + 1);
            i += 2;
            if (code == u'F' || code == u'U') {
                out += files;
            } else {
                QString arg;
                if (!expandEmbeddedCode(code, files, arg))
                    return std::nullopt;
                if (!arg.isEmpty())
                    out << arg;
            }
            continue;
        }
        QString arg;
        while (i < n && !isExecSeparator(exec.at(i))) {
            const QChar c = exec.at(i++);
            if (c == u'%') {
                if (i == n || !expandEmbeddedCode(exec.at(i++), files, arg))
                    return std::nullopt;
            } else if (c == u'\\') {
                // Not allowed unquoted by the format; read it as a shell would.
                if (i == n)
                    return std::nullopt;
                arg += exec.at(i++);
            } else if (c == u'"') {
                bool closed = false;
                while (i < n) {
                    const QChar q = exec.at(i++);
                    if (q == u'"') {
                        closed = true;
                        break;
                    }
                    if (q == u'\\') {
                        if (i == n)
                            return std::nullopt;
                        const QChar e = exec.at(i++);
                        if (e != u'"' && e != u'`' && e != u'$' && e != u'\\')
                            return std::nullopt;
                        arg += e;
                    } else if (q == u'%') {
                        if (i == n || !expandEmbeddedCode(exec.at(i++), files, arg))
                            return std::nullopt;
                    } else {
                        arg += q;
                    }
                }
                if (!closed)
                    return std::nullopt;
            } else {
                arg += c;
            }
        }
        out << arg;
    }
    if (out.isEmpty())
        return std::nullopt;
    return out;
}

} // namespace rimo
