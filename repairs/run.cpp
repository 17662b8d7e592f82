#include "repairs/run.h"

#include "core/error.h"
#include "db/msdataset.h"
#include "db/session.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QIODevice>
#include <memory>
#include <unordered_map>

namespace rimo::repairs {

namespace {

const QString kFirstRec = QStringLiteral("FirstRec");
const QStringList kSequenceColumns{QStringLiteral("RecSeq"), QStringLiteral("StRecNo")};
const QStringList kLactationColumns{QStringLiteral("MilkPeriod")};

Value valueOf(const TField& f)
{
    return f.IsNull() ? std::nullopt : Value(f.AsString());
}

// The identity values of the current row of `set`, fields found once.
class IdentityReader
{
public:
    explicit IdentityReader(QStringList columns) : m_columns(std::move(columns)) {}
    void appendTo(TMSDataSet& set, JournalWriter& journal)
    {
        find(set);
        for (const TField* f : m_fields) {
            qint64 number = 0;
            if (f->wholeNumber(number)) // the usual key: its digits, without a string
                journal.addInteger(number);
            else if (f->IsNull())
                journal.addValue(std::nullopt);
            else
                journal.addText(f->AsString());
        }
    }
    Values read(TMSDataSet& set)
    {
        find(set);
        Values out;
        out.reserve(m_fields.size());
        for (const TField* f : m_fields)
            out.push_back(valueOf(*f));
        return out;
    }

private:
    void find(TMSDataSet& set)
    {
        if (m_fields.empty())
            for (const QString& c : m_columns)
                m_fields.push_back(&set.FieldByName(c));
    }
    QStringList m_columns;
    std::vector<TField*> m_fields;
};

QByteArray csvField(const Value& v)
{
    if (!v)
        return {};
    QByteArray s = v->toUtf8();
    if (s.contains(',') || s.contains('"') || s.contains('\n') || s.contains('\r'))
        s = '"' + s.replace("\"", "\"\"") + '"';
    return s;
}

void writeCsvHeader(QIODevice* csv, const QStringList& identity)
{
    if (!csv)
        return;
    QByteArray line;
    for (const QString& c : identity)
        line += csvField(c) + ',';
    line += "column,old,new\n";
    csv->write(line);
}

void writeCsvChange(QIODevice* csv, const Values& identity, const QString& column, const Value& before,
                    const Value& after)
{
    if (!csv)
        return;
    QByteArray line;
    for (const Value& v : identity)
        line += csvField(v) + ',';
    line += csvField(column) + ',' + csvField(before) + ',' + csvField(after) + '\n';
    csv->write(line);
}

struct Context
{
    const RepairObjects& objects;
    const RunOptions& options;
    RunSummary& summary;
    TableIdentity identity;
    std::unique_ptr<JournalWriter> journal;
};

void openJournal(Context& c, const QStringList& columns, Repair repair)
{
    if (c.options.dryRun)
        return;
    JournalHeader h;
    h.database = c.objects.connection.Database;
    h.table = kFirstRec;
    h.repair = repairName(repair);
    h.started = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    h.keyed = c.identity.keyed;
    h.identity = c.identity.columns;
    h.columns = columns;
    c.journal =
        std::make_unique<JournalWriter>(newJournalPath(c.options.journalFolder, h.repair, h.database), h);
    c.summary.journalPath = c.journal->path();
}

RepairHooks sequenceHooks(Context& c, IdentityReader& ids)
{
    RepairHooks hooks;
    hooks.beforeRowWrite = [&c, &ids](TMSTable& table, const Value(&before)[2], const Value(&after)[2]) {
        RunSummary& s = c.summary;
        ++s.rowsRead;
        const bool changes = before[0] != after[0] || before[1] != after[1];
        if (changes) {
            ++s.rowsChanged;
            for (int i = 0; i < 2; ++i)
                if (before[i] != after[i])
                    ++s.changedByColumn[kSequenceColumns[i]];
        }
        if (c.options.progress)
            c.options.progress(s.rowsRead, table.RecordCount());
        if (c.options.dryRun) {
            if (changes && c.options.csv) {
                const Values id = ids.read(table);
                for (int i = 0; i < 2; ++i)
                    if (before[i] != after[i])
                        writeCsvChange(c.options.csv, id, kSequenceColumns[i], before[i], after[i]);
            }
            return false;
        }
        if (!changes && c.options.changedOnly)
            return false;
        JournalWriter& j = *c.journal;
        j.beginRow();
        ids.appendTo(table, j);
        for (const Value* v : {&before[0], &before[1], &after[0], &after[1]})
            j.addValue(*v);
        j.endRow();
        ++s.rowsWritten;
        return true;
    };
    return hooks;
}

// The bytes of the cells of `fields` in the current row, tag and length included: equal bytes are
// equal values, without a string made of each.
void appendRawKey(QByteArray& out, const std::vector<TField*>& fields)
{
    for (const TField* f : fields) {
        const db::Cell cell = f->rawCell();
        const char head[5] = {static_cast<char>(cell.tag), static_cast<char>(cell.size & 0xFF),
                              static_cast<char>((cell.size >> 8) & 0xFF),
                              static_cast<char>((cell.size >> 16) & 0xFF),
                              static_cast<char>(cell.size >> 24)};
        out.append(head, sizeof head);
        if (cell.tag != db::CellTag::Null)
            out.append(cell.data, static_cast<qsizetype>(cell.size));
    }
}

// The text of a canonical whole number (as QString::number writes it), else none.
std::optional<qint64> canonicalNumber(const Value& v)
{
    if (!v)
        return std::nullopt;
    bool ok = false;
    const qint64 n = v->toLongLong(&ok);
    if (!ok || QString::number(n) != *v)
        return std::nullopt;
    return n;
}

// The recordings each marked calving's statement will touch, read in one statement before the
// first of them, and their numbers as the statements go on. The join gives a recording once per
// calving before it: its identity is encoded once, and the rows are told apart by their raw
// bytes, so a row of the join costs no string.
struct LactationPlan
{
    bool keepValues = false; // identity and original, for a dry run's list of changes
    std::vector<Values> identity;
    std::vector<Value> original;
    // Each recording's journal fields: identity then the original value, each led by a TAB.
    QByteArray encoded;
    std::vector<qsizetype> identityEnd, encodedEnd;
    std::vector<std::optional<qint64>> originalNumber; // original, when a canonical whole number
    std::vector<std::optional<qint64>> written;        // the number a statement wrote, if any
    QHash<QString, int> byCalving;                     // serial + U+001F + calving date -> calving
    std::vector<std::vector<int>> calvings;            // the recordings of each calving's statement
    std::vector<int>* pending = nullptr;
    qint64 pendingValue = 0;
    QHash<QByteArray, int> m_byBytes;           // while reading: a join row's identity bytes -> recording
    QHash<QString, int> m_byText;               // and its identity's text -> recording
    std::unordered_map<qint64, int> m_byNumber; // or its whole-number key -> recording
    QByteArray m_key;

    static QString calvingKey(const QString& serial, const QString& date)
    {
        return serial + QChar(0x1F) + date;
    }

    QByteArrayView identityBytes(std::size_t i) const
    {
        const qsizetype from = i == 0 ? 0 : encodedEnd[i - 1];
        return QByteArrayView(encoded).sliced(from, identityEnd[i] - from);
    }
    QByteArrayView originalBytes(std::size_t i) const
    {
        return QByteArrayView(encoded).sliced(identityEnd[i], encodedEnd[i] - identityEnd[i]);
    }
    // The recording's number now (none: NULL or not a canonical whole number).
    std::optional<qint64> currentNumber(std::size_t i) const
    {
        return written[i] ? written[i] : originalNumber[i];
    }
    Value current(std::size_t i) const
    {
        return written[i] ? Value(QString::number(*written[i])) : original[i];
    }

    // A new recording: its identity (as text, or a whole number) then its number before the run.
    // The values themselves are kept only for a dry run's list of changes.
    int addRecording(const Values* key, const qint64* number, const TField& milkPeriod)
    {
        const int index = static_cast<int>(written.size());
        if (key) {
            for (const Value& v : *key) {
                encoded += '\t';
                appendEncodedValue(encoded, v);
            }
        } else {
            encoded += '\t';
            appendEncodedNumber(encoded, *number);
        }
        identityEnd.push_back(encoded.size());
        encoded += '\t';
        qint64 before = 0;
        if (milkPeriod.wholeNumber(before)) {
            appendEncodedNumber(encoded, before);
            originalNumber.emplace_back(before);
        } else {
            const Value v = valueOf(milkPeriod);
            appendEncodedValue(encoded, v);
            originalNumber.push_back(canonicalNumber(v));
        }
        encodedEnd.push_back(encoded.size());
        written.emplace_back();
        if (keepValues) {
            identity.push_back(key ? *key : Values{QString::number(*number)});
            original.push_back(valueOf(milkPeriod));
        }
        return index;
    }

    // The calving group of a calving's text, a new one when the text is new.
    int calvingGroup(const QString& serial, const QString& date)
    {
        const QString text = calvingKey(serial, date);
        auto t = byCalving.constFind(text);
        if (t != byCalving.constEnd())
            return t.value();
        const int index = static_cast<int>(calvings.size());
        byCalving.insert(text, index);
        calvings.emplace_back();
        return index;
    }

    // With a keyed calvings table the join names each calving by its key, a few bytes a row
    // instead of a serial and a date: the marked calvings' texts are read once here.
    void readCalvingKeys(TMSConnection& connection, const QStringList& key, QHash<QByteArray, int>& byKey)
    {
        TMSQuery q;
        q.Connection = &connection;
        q.setSqlText(QStringLiteral("SELECT ") +
                     selectList(QStringLiteral("z"), key, QStringLiteral("rimo_calving_key")) +
                     QStringLiteral(", z.Serial, z.ZDate FROM zayesh z WHERE z.MilkPeriodchange=1"));
        q.Open();
        std::vector<TField*> keyFields;
        for (int i = 0; i < key.size(); ++i)
            keyFields.push_back(&q.FieldByName(QStringLiteral("rimo_calving_key") + QString::number(i)));
        TField& serial = q.FieldByName(QStringLiteral("Serial"));
        TField& date = q.FieldByName(QStringLiteral("ZDate"));
        QByteArray bytes;
        for (q.First(); !q.Eof(); q.Next()) {
            bytes.resize(0);
            appendRawKey(bytes, keyFields);
            byKey.insert(bytes, calvingGroup(serial.AsString(), date.AsString()));
        }
        q.Close();
    }

    // "p.[c0] AS alias0, p.[c1] AS alias1, ...", or without aliases when `alias` is empty.
    static QString selectList(const QString& prefix, const QStringList& columns, const QString& alias)
    {
        QString out;
        for (int i = 0; i < columns.size(); ++i) {
            QString name = columns[i];
            out += (i ? QStringLiteral(", ") : QString()) + prefix + QStringLiteral(".[") +
                   name.replace(u']', QStringLiteral("]]")) + u']';
            if (!alias.isEmpty())
                out += QStringLiteral(" AS ") + alias + QString::number(i);
        }
        return out;
    }

    // The recording of the join's current row, added when its identity is new. A recording
    // touched by several calvings is one recording, known by the text of its identity; rows with
    // the same bytes have the same text, so the text is made once.
    int recordingOf(TMSQuery& q, const std::vector<TField*>& idFields, IdentityReader& ids,
                    TField& milkPeriod)
    {
        qint64 number = 0;
        if (idFields.size() == 1 && idFields[0]->wholeNumber(number)) {
            // A whole-number key (the usual one): distinct numbers are distinct texts.
            const auto [it, isNew] = m_byNumber.try_emplace(number, static_cast<int>(written.size()));
            if (isNew)
                addRecording(nullptr, &number, milkPeriod);
            return it->second;
        }
        m_key.resize(0);
        appendRawKey(m_key, idFields);
        auto known = m_byBytes.constFind(m_key);
        if (known != m_byBytes.constEnd())
            return known.value();
        Values values = ids.read(q);
        QString text;
        for (const Value& v : values)
            text += v ? u'+' + *v + QChar(0x1E) : QStringLiteral("-\x1E");
        auto it = m_byText.constFind(text);
        const int recording =
            it != m_byText.constEnd() ? it.value() : addRecording(&values, nullptr, milkPeriod);
        m_byText.insert(text, recording);
        m_byBytes.insert(m_key, recording);
        return recording;
    }

    void read(TMSConnection& connection, const TableIdentity& id)
    {
        const TableIdentity calvingId = describeIdentity(connection, QStringLiteral("zayesh"), {});
        QHash<QByteArray, int> calvingByBytes;
        if (calvingId.keyed)
            readCalvingKeys(connection, calvingId.columns, calvingByBytes);
        TMSQuery q;
        q.Connection = &connection;
        // The same comparisons as the statements', made by the server.
        // A keyed table needs only its key and the number; a keyless one is known by all its values.
        const QString columns =
            id.keyed ? QStringLiteral("f.MilkPeriod, ") + selectList(QStringLiteral("f"), id.columns, {})
                     : QStringLiteral("f.*");
        const QString calvingColumns =
            calvingId.keyed
                ? selectList(QStringLiteral("z"), calvingId.columns, QStringLiteral("rimo_calving_key"))
                : QStringLiteral("z.Serial AS rimo_calving_serial, z.ZDate AS rimo_calving_date");
        q.setSqlText(
            QStringLiteral("SELECT ") + columns + QStringLiteral(", ") + calvingColumns +
            QStringLiteral(" FROM Firstrec f JOIN zayesh z ON f.Serial = z.Serial AND f.Rdate > z.ZDate "
                           "WHERE z.MilkPeriodchange=1"));
        q.Open();
        IdentityReader ids(id.columns);
        std::vector<TField*> idFields, calvingFields;
        for (const QString& c : id.columns)
            idFields.push_back(&q.FieldByName(c));
        TField& milkPeriod = q.FieldByName(QStringLiteral("MilkPeriod"));
        for (int i = 0; i < (calvingId.keyed ? calvingId.columns.size() : 0); ++i)
            calvingFields.push_back(&q.FieldByName(QStringLiteral("rimo_calving_key") + QString::number(i)));
        TField* serial = calvingId.keyed ? nullptr : &q.FieldByName(QStringLiteral("rimo_calving_serial"));
        TField* date = calvingId.keyed ? nullptr : &q.FieldByName(QStringLiteral("rimo_calving_date"));
        if (!calvingId.keyed)
            calvingFields = {serial, date};
        m_byNumber.reserve(static_cast<std::size_t>(q.RecordCount()));
        QByteArray calving, lastCalving;
        int calvingIndex = -1;
        bool lastIsNumber = false;
        qint64 lastNumber = 0;
        for (q.First(); !q.Eof(); q.Next()) {
            const int recording = recordingOf(q, idFields, ids, milkPeriod);
            // The join gives a calving's rows one after the other, mostly: only a change of
            // calving is looked up.
            qint64 calvingNumber = 0;
            if (calvingFields.size() == 1 && calvingFields[0]->wholeNumber(calvingNumber)) {
                if (calvingIndex >= 0 && lastIsNumber && calvingNumber == lastNumber) {
                    calvings[static_cast<std::size_t>(calvingIndex)].push_back(recording);
                    continue;
                }
                lastIsNumber = true;
                lastNumber = calvingNumber;
            } else {
                lastIsNumber = false;
            }
            calving.resize(0);
            appendRawKey(calving, calvingFields);
            if (calvingIndex < 0 || calving != lastCalving) {
                std::swap(calving, lastCalving);
                auto c = calvingByBytes.constFind(lastCalving);
                if (c != calvingByBytes.constEnd()) {
                    calvingIndex = c.value();
                } else if (serial) {
                    calvingIndex = calvingGroup(serial->AsString(), date->AsString());
                    calvingByBytes.insert(lastCalving, calvingIndex);
                } else {
                    // A calving marked since its key was read: no statement of this run is its.
                    calvingIndex = static_cast<int>(calvings.size());
                    calvings.emplace_back();
                    calvingByBytes.insert(lastCalving, calvingIndex);
                }
            }
            calvings[static_cast<std::size_t>(calvingIndex)].push_back(recording);
        }
        q.Close();
        m_byBytes = {};
        m_byText = {};
        m_byNumber = {};
    }
};

RepairHooks lactationHooks(Context& c, LactationPlan& plan)
{
    RepairHooks hooks;
    hooks.beforeFirstStatement = [&c, &plan] { plan.read(c.objects.connection, c.identity); };
    hooks.beforeStatement = [&c, &plan](const QString& serial, qint64 milkPeriod, const QString& date) {
        RunSummary& s = c.summary;
        ++s.rowsRead;
        if (c.options.progress)
            c.options.progress(s.rowsRead, c.objects.zayesh.RecordCount());
        static std::vector<int> none;
        auto it = plan.byCalving.constFind(LactationPlan::calvingKey(serial, date));
        std::vector<int>& rows =
            it == plan.byCalving.constEnd() ? none : plan.calvings[static_cast<std::size_t>(it.value())];
        const qint64 after = milkPeriod + 1;
        bool changes = false;
        for (const int r : rows)
            changes = changes || plan.currentNumber(static_cast<std::size_t>(r)) != after;
        if (c.options.dryRun) {
            for (const int r : rows)
                plan.written[static_cast<std::size_t>(r)] = after;
            return false;
        }
        if (!changes && c.options.changedOnly)
            return false;
        JournalWriter& j = *c.journal;
        j.beginBatch();
        for (const int r : rows) {
            const auto i = static_cast<std::size_t>(r);
            j.beginRow();
            j.addEncoded(plan.identityBytes(i));
            if (plan.written[i])
                j.addInteger(*plan.written[i]);
            else
                j.addEncoded(plan.originalBytes(i));
            j.addInteger(after);
            j.endRow();
        }
        j.endBatch();
        plan.pending = &rows;
        plan.pendingValue = after;
        return true;
    };
    hooks.afterStatement = [&c, &plan](bool ok) {
        if (ok && plan.pending) {
            for (const int r : *plan.pending)
                plan.written[static_cast<std::size_t>(r)] = plan.pendingValue;
            c.summary.rowsWritten += static_cast<qint64>(plan.pending->size());
        }
        plan.pending = nullptr;
    };
    return hooks;
}

void countLactationChanges(Context& c, const LactationPlan& plan)
{
    for (std::size_t i = 0; i < plan.written.size(); ++i) {
        if (!plan.written[i] || plan.written[i] == plan.originalNumber[i])
            continue;
        ++c.summary.rowsChanged;
        ++c.summary.changedByColumn[kLactationColumns[0]];
        if (c.options.dryRun && c.options.csv)
            writeCsvChange(c.options.csv, plan.identity[i], kLactationColumns[0], plan.original[i],
                           plan.current(i));
    }
}

} // namespace

QString repairName(Repair repair)
{
    return repair == Repair::Sequence ? QStringLiteral("sequence") : QStringLiteral("lactation");
}

TableIdentity describeIdentity(TMSConnection& connection, const QString& table, const QStringList& written)
{
    TMSTable t;
    t.Connection = &connection;
    t.TableName = table;
    t.FilterSQL = QStringLiteral("1=0");
    t.Open();
    TableIdentity id;
    id.columns = t.keyColumns();
    if (id.columns.isEmpty()) {
        id.keyed = false;
        for (int i = 0; i < t.FieldCount(); ++i) {
            const QString name = t.Fields(i).FieldName();
            if (!written.contains(name, Qt::CaseInsensitive))
                id.columns << name;
        }
    }
    t.Close();
    return id;
}

void runRepair(Repair repair, const RepairObjects& objects, const RunOptions& options,
               const RepairDisplay& display, RunSummary& summary)
{
    QElapsedTimer clock;
    clock.start();
    summary = RunSummary{};
    summary.repair = repairName(repair);
    summary.database = objects.connection.Database;
    const QStringList& columns = repair == Repair::Sequence ? kSequenceColumns : kLactationColumns;
    Context c{objects, options, summary, describeIdentity(objects.connection, kFirstRec, columns), nullptr};
    openJournal(c, columns, repair);
    writeCsvHeader(options.dryRun ? options.csv : nullptr, c.identity.columns);

    RepairDisplay shown = display;
    shown.appendLine = [&summary, &display](const QString& line) {
        summary.failedCalvings << line;
        if (display.appendLine)
            display.appendLine(line);
    };
    struct Finish
    {
        RunSummary& s;
        QElapsedTimer& clock;
        ~Finish() { s.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9; }
    } finish{summary, clock};
    // One statement a row: the wait ticks stay on from one to the next.
    const db::KeepWaitTicks ticks;
    if (repair == Repair::Sequence) {
        IdentityReader ids(c.identity.columns);
        RebuildRecordSequence(objects.table, shown, sequenceHooks(c, ids));
    } else {
        LactationPlan plan;
        plan.keepValues = options.dryRun && options.csv;
        RebuildLactationNumbers(objects.zayesh, objects.ask, shown, lactationHooks(c, plan));
        countLactationChanges(c, plan);
    }
    summary.stopped = display.stopRequested && display.stopRequested();
}

} // namespace rimo::repairs
