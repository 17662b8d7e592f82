#pragma once
// The undo journal of a repair run: before a row is written, its identity and the values about to
// be overwritten go to a text file, one row a line, flushed at once. A run that stops anywhere (an
// error, a lost server, a killed process) leaves a journal that covers every row it may have
// written, and undo puts those values back.
//
// Format (UTF-8, LF line ends, fields separated by TAB):
//   RIMO1-REPAIR-JOURNAL 1
//   database<TAB>herd
//   table<TAB>FirstRec
//   repair<TAB>sequence            (or lactation)
//   started<TAB>2026-12-10T21:30:00Z
//   identity<TAB>key<TAB>ID        (key columns; "values" and every other column for a keyless table)
//   columns<TAB>RecSeq<TAB>StRecNo (the columns the repair writes)
//   row<TAB>identity values...<TAB>values before...<TAB>values after...
// A value is \N for NULL, otherwise its text with backslash, TAB, CR and LF written as \\, \t, \r, \n.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace rimo::repairs {

using Value = std::optional<QString>; // no value: NULL
using Values = std::vector<Value>;

struct JournalHeader
{
    QString database;
    QString table;
    QString repair; // "sequence" or "lactation"
    QString started;
    bool keyed = true;    // identity by key columns, else by all other original values
    QStringList identity; // the identity's columns
    QStringList columns;  // the written columns
    bool operator==(const JournalHeader&) const = default;
};

struct JournalRow
{
    Values identity;
    Values before;
    Values after;
    bool operator==(const JournalRow&) const = default;
};

struct Journal
{
    JournalHeader header;
    std::vector<JournalRow> rows;
    // A last line cut short (the process ended while writing it): its row was not written yet.
    bool truncatedTail = false;
};

QByteArray encodeValue(const Value& v);
// Appends the encoded value (or text, never NULL) to `out`, for lines built in place.
void appendEncodedValue(QByteArray& out, const Value& v);
void appendEncodedText(QByteArray& out, QStringView text);
void appendEncodedNumber(QByteArray& out, qint64 v); // as QString::number writes it
QByteArray encodeHeader(const JournalHeader& header);
QByteArray encodeRow(const JournalRow& row);

// Parses a journal; raises rimo::Error naming the line that is not a journal line. A last line
// without its line end is dropped and noted in truncatedTail.
Journal parseJournal(const QByteArray& bytes);

// The largest journal file undo reads (some 20 million rows of the record sequence rebuild).
inline constexpr qint64 kJournalFileLimit = qint64{1} << 30;
// Reads and parses the regular file at `path`, at most kJournalFileLimit bytes.
Journal readJournalFile(const QString& path);

// Appends to a new journal file. Every line is in the file at once, and any failure raises
// rimo::Error before the caller writes the row to the database. The file is written through a
// shared mapping of space reserved ahead (a process killed after a line leaves it in the file, as a
// written one would, without a system call a row); its unused reserve, zeros, is cut off when the
// writer closes, and a reader passes over it when the writer never did.
class JournalWriter
{
public:
    // Creates `path` (it must not exist) and writes the header. Raises when it cannot.
    JournalWriter(const QString& path, const JournalHeader& header);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;
    void append(const JournalRow& row);
    // The same line built in place, for a run that writes one per row: beginRow, one addValue per
    // identity value, value before and value after, in the header's order, then endRow.
    void beginRow();
    void addValue(const Value& v);
    void addText(const QString& text);
    // Values encoded once and written on many lines: each with its leading TAB.
    void addEncoded(QByteArrayView tabLedValues);
    void addInteger(qint64 v);
    void endRow();
    // The rows ended between the two go to the file together at endBatch, at once: for the rows
    // one statement writes, journalled before it is sent.
    void beginBatch();
    void endBatch();
    const QString& path() const { return m_path; }
    qint64 rows() const { return m_rows; }

private:
    void write(QByteArrayView bytes);
    // Reserves and maps the file up to at least `size` bytes; 0 or the system's error number.
    int reserve(qint64 size);
    QString m_path;
    QFile m_file;
    QByteArray m_line;
    char* m_map = nullptr; // the mapped file, none when the system cannot map it
    qint64 m_reserved = 0; // its size
    qint64 m_size = 0;     // bytes written
    qint64 m_rows = 0;
    bool m_batch = false;
    qint64 m_batchRows = 0;
};

// "<folder>/<repair>-<database>-<yyyyMMdd-HHmmss>.journal", with a counter added when taken.
QString newJournalPath(const QString& folder, const QString& repair, const QString& database);

} // namespace rimo::repairs
