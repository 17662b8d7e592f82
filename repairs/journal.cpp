#include "repairs/journal.h"

#include "core/error.h"
#include "core/wholefile.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace rimo::repairs {

namespace {

const QByteArray kMagic = QByteArrayLiteral("RIMO1-REPAIR-JOURNAL 1");
constexpr char kTab = '\t';
constexpr qint64 kJournalGrowth = qint64{4} << 20;

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

void appendEscapedSlow(QByteArray& out, QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// Journals hold one line per written row: plain ASCII, the usual case, is copied without a
// temporary UTF-8 string.
void appendEscaped(QByteArray& out, QStringView text)
{
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* d = out.data() + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0x80 || c == u'\\' || c == u'\t' || c == u'\n' || c == u'\r') {
            out.resize(at);
            appendEscapedSlow(out, text);
            return;
        }
        d[i] = static_cast<char>(c);
    }
}

void appendValue(QByteArray& out, const Value& v)
{
    if (!v)
        out += "\\N";
    else
        appendEscaped(out, *v);
}

[[noreturn]] void bad(qsizetype line, const QString& why)
{
    throw Error(QStringLiteral("Journal line %1: %2").arg(line).arg(why));
}

Value decodeField(QByteArrayView field, qsizetype line)
{
    if (field == "\\N")
        return std::nullopt;
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == field.size())
            bad(line, QStringLiteral("a backslash ends a value"));
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            bad(line, QStringLiteral("unknown escape \\%1").arg(QLatin1Char(field[i])));
        }
    }
    return QString::fromUtf8(out);
}

QStringList textFields(const QList<QByteArrayView>& fields, qsizetype from, qsizetype line)
{
    QStringList out;
    for (qsizetype i = from; i < fields.size(); ++i) {
        const Value v = decodeField(fields[i], line);
        if (!v || v->isEmpty())
            bad(line, QStringLiteral("a column name is empty"));
        out << *v;
    }
    return out;
}

QList<QByteArrayView> splitFields(QByteArrayView text)
{
    QList<QByteArrayView> out;
    for (;;) {
        const qsizetype tab = text.indexOf(kTab);
        if (tab < 0) {
            out << text;
            return out;
        }
        out << text.first(tab);
        text = text.sliced(tab + 1);
    }
}

} // namespace

void appendEncodedValue(QByteArray& out, const Value& v)
{
    appendValue(out, v);
}

void appendEncodedText(QByteArray& out, QStringView text)
{
    appendEscaped(out, text);
}

QByteArray encodeValue(const Value& v)
{
    QByteArray out;
    appendValue(out, v);
    return out;
}

QByteArray encodeHeader(const JournalHeader& h)
{
    QByteArray out = kMagic + '\n';
    const auto field = [&out](const char* name, const QString& value) {
        out += name;
        out += kTab;
        appendEscaped(out, value);
        out += '\n';
    };
    field("database", h.database);
    field("table", h.table);
    field("repair", h.repair);
    field("started", h.started);
    out += h.keyed ? "identity\tkey" : "identity\tvalues";
    for (const QString& c : h.identity) {
        out += kTab;
        appendEscaped(out, c);
    }
    out += "\ncolumns";
    for (const QString& c : h.columns) {
        out += kTab;
        appendEscaped(out, c);
    }
    out += '\n';
    return out;
}

QByteArray encodeRow(const JournalRow& row)
{
    QByteArray out = QByteArrayLiteral("row");
    for (const Values* part : {&row.identity, &row.before, &row.after})
        for (const Value& v : *part) {
            out += kTab;
            appendValue(out, v);
        }
    out += '\n';
    return out;
}

Journal parseJournal(const QByteArray& bytes)
{
    Journal j;
    QByteArrayView rest(bytes);
    // The reserve a writer that never closed left after its last line.
    while (!rest.isEmpty() && rest.back() == '\0')
        rest.chop(1);
    qsizetype line = 0;
    // The header's seven lines, in their order.
    const char* const names[] = {"", "database", "table", "repair", "started", "identity", "columns"};
    while (!rest.isEmpty()) {
        ++line;
        const qsizetype end = rest.indexOf('\n');
        if (end < 0) {
            if (line <= 7)
                bad(line, QStringLiteral("the header is cut short"));
            j.truncatedTail = true;
            break;
        }
        const QByteArrayView text = rest.first(end);
        rest = rest.sliced(end + 1);
        if (line == 1) {
            if (text != kMagic)
                bad(line, QStringLiteral("not a repair journal"));
            continue;
        }
        const QList<QByteArrayView> fields = splitFields(text);
        const QByteArrayView tag = fields.isEmpty() ? QByteArrayView() : fields.front();
        if (line <= 7) {
            if (tag != names[line - 1])
                bad(line, QStringLiteral("expected %1").arg(QLatin1String(names[line - 1])));
            if (line <= 5) {
                if (fields.size() != 2)
                    bad(line, QStringLiteral("expected one value"));
                const Value v = decodeField(fields[1], line);
                QString* slots[] = {nullptr, &j.header.database, &j.header.table, &j.header.repair,
                                    &j.header.started};
                *slots[line - 1] = v.value_or(QString());
            } else if (line == 6) {
                if (fields.size() < 3 || (fields[1] != "key" && fields[1] != "values"))
                    bad(line, QStringLiteral("expected the identity's kind and columns"));
                j.header.keyed = fields[1] == "key";
                j.header.identity = textFields(fields, 2, line);
            } else {
                if (fields.size() < 2)
                    bad(line, QStringLiteral("expected the written columns"));
                j.header.columns = textFields(fields, 1, line);
            }
            continue;
        }
        if (tag != "row")
            bad(line, QStringLiteral("expected a row"));
        const auto ids = j.header.identity.size();
        const auto cols = j.header.columns.size();
        if (fields.size() != 1 + ids + 2 * cols)
            bad(line, QStringLiteral("%1 values where %2 belong").arg(fields.size() - 1).arg(ids + 2 * cols));
        JournalRow& r = j.rows.emplace_back();
        qsizetype f = 1;
        for (qsizetype i = 0; i < ids; ++i)
            r.identity.push_back(decodeField(fields[f++], line));
        for (qsizetype i = 0; i < cols; ++i)
            r.before.push_back(decodeField(fields[f++], line));
        for (qsizetype i = 0; i < cols; ++i)
            r.after.push_back(decodeField(fields[f++], line));
    }
    if (line < 7)
        bad(line + 1, QStringLiteral("the header is cut short"));
    if (j.header.repair != QLatin1String("sequence") && j.header.repair != QLatin1String("lactation"))
        bad(4, QStringLiteral("unknown repair \"%1\"").arg(j.header.repair));
    return j;
}

Journal readJournalFile(const QString& path)
{
    return parseJournal(readWholeFile(path, kJournalFileLimit));
}

JournalWriter::JournalWriter(const QString& path, const JournalHeader& header) : m_path(path), m_file(path)
{
    // The owner's write bit is the folder's read-only mark, also for root, whom the system lets
    // write anywhere: a folder kept read-only is not written behind its owner's back.
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo(folder).isDir() && !(QFile::permissions(folder) & QFileDevice::WriteOwner))
        throw Error(
            QStringLiteral("The journal %1 cannot be created: the folder is write-protected").arg(path));
    // Read as well as write: a shared mapping needs both.
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly))
        throw Error(QStringLiteral("The journal %1 cannot be created: %2").arg(path, m_file.errorString()));
    const QByteArray head = encodeHeader(header);
    if (reserve(head.size()) != 0) {
        // A file system that cannot map the file: written line by line instead.
        if (m_map)
            ::munmap(m_map, static_cast<std::size_t>(m_reserved));
        m_map = nullptr;
        m_reserved = 0;
        if (::ftruncate(m_file.handle(), 0) != 0)
            throw Error(QStringLiteral("The journal %1 cannot be written: %2").arg(path, errnoText(errno)));
    }
    write(head);
}

JournalWriter::~JournalWriter()
{
    if (!m_map)
        return;
    ::munmap(m_map, static_cast<std::size_t>(m_reserved));
    // Should this fail, the reserve stays behind the last line, where readers pass over it.
    (void)::ftruncate(m_file.handle(), static_cast<off_t>(m_size));
}

int JournalWriter::reserve(qint64 size)
{
    // The header's size first, then doubling, then a few megabytes at a time: the file is never
    // more than twice its lines (its size tells how far a run has come), and grows a few hundred
    // times for a run of millions of rows.
    qint64 reserved = m_reserved > 0 ? m_reserved : size;
    while (reserved < size)
        reserved = std::min(reserved * 2, reserved + kJournalGrowth);
    if (reserved == m_reserved)
        return 0;
    // Blocks taken now, so a full disk is an error here and never a fault on a mapped page.
    if (const int e = ::posix_fallocate(m_file.handle(), static_cast<off_t>(m_reserved),
                                        static_cast<off_t>(reserved - m_reserved)))
        return e;
    void* map = m_map ? ::mremap(m_map, static_cast<std::size_t>(m_reserved),
                                 static_cast<std::size_t>(reserved), MREMAP_MAYMOVE)
                      : ::mmap(nullptr, static_cast<std::size_t>(reserved), PROT_READ | PROT_WRITE,
                               MAP_SHARED, m_file.handle(), 0);
    if (map == MAP_FAILED)
        return errno;
    m_map = static_cast<char*>(map);
    m_reserved = reserved;
    return 0;
}

void JournalWriter::append(const JournalRow& row)
{
    beginRow();
    for (const Values* part : {&row.identity, &row.before, &row.after})
        for (const Value& v : *part)
            addValue(v);
    endRow();
}

void JournalWriter::beginRow()
{
    if (!m_batch)
        m_line.resize(0);
    m_line += "row";
}

void JournalWriter::addValue(const Value& v)
{
    m_line += kTab;
    appendValue(m_line, v);
}

void JournalWriter::addText(const QString& text)
{
    m_line += kTab;
    appendEscaped(m_line, text);
}

void JournalWriter::addEncoded(QByteArrayView tabLedValues)
{
    m_line += tabLedValues;
}

void JournalWriter::addInteger(qint64 v)
{
    m_line += kTab;
    appendEncodedNumber(m_line, v);
}

void appendEncodedNumber(QByteArray& out, qint64 v)
{
    char digits[24];
    std::size_t at = sizeof digits;
    // Through the unsigned value, so the lowest number has its digits too.
    quint64 rest = v < 0 ? 0 - static_cast<quint64>(v) : static_cast<quint64>(v);
    do {
        digits[--at] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (v < 0)
        digits[--at] = '-';
    out.append(digits + at, static_cast<qsizetype>(sizeof digits - at));
}

void JournalWriter::endRow()
{
    m_line += '\n';
    if (m_batch) {
        ++m_batchRows;
        return;
    }
    write(m_line);
    ++m_rows;
}

void JournalWriter::beginBatch()
{
    m_line.resize(0);
    m_batch = true;
    m_batchRows = 0;
}

void JournalWriter::endBatch()
{
    m_batch = false;
    if (m_batchRows == 0)
        return;
    write(m_line);
    m_rows += m_batchRows;
}

void JournalWriter::write(QByteArrayView bytes)
{
    // In the file before the row's write, so a crash of this process keeps the line.
    if (!m_map) {
        if (m_file.write(bytes.data(), bytes.size()) != bytes.size() || !m_file.flush())
            throw Error(
                QStringLiteral("The journal %1 cannot be written: %2").arg(m_path, m_file.errorString()));
        m_size += bytes.size();
        return;
    }
    if (m_size + bytes.size() > m_reserved)
        if (const int e = reserve(m_size + bytes.size()))
            throw Error(QStringLiteral("The journal %1 cannot be written: %2").arg(m_path, errnoText(e)));
    std::memcpy(m_map + m_size, bytes.data(), static_cast<std::size_t>(bytes.size()));
    m_size += bytes.size();
}

QString newJournalPath(const QString& folder, const QString& repair, const QString& database)
{
    QString safe;
    for (const QChar c : database)
        safe += c.isLetterOrNumber() || c == u'_' || c == u'-' ? c : u'_';
    const QString stem = folder + u'/' + repair + u'-' + safe + u'-' +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".journal");
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = stem + u'-' + QString::number(n) + QStringLiteral(".journal");
    return path;
}

} // namespace rimo::repairs
