#include "repairs/run.h"

#include "core/error.h"
#include "db/msdataset.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QIODevice>
#include <memory>

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
            if (f->IsNull())
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

// The recordings each marked calving's statement will touch, read in one statement before the
// first of them, and their numbers as the statements go on.
struct LactationPlan
{
    std::vector<Values> identity;
    std::vector<Value> original;
    std::vector<Value> current;
    QHash<QString, std::vector<int>> byCalving; // serial + U+001F + calving date
    std::vector<int>* pending = nullptr;
    Value pendingValue;

    static QString calvingKey(const QString& serial, const QString& date)
    {
        return serial + QChar(0x1F) + date;
    }

    void read(TMSConnection& connection, const TableIdentity& id)
    {
        TMSQuery q;
        q.Connection = &connection;
        // The same comparisons as the statements', made by the server.
        // A keyed table needs only its key and the number; a keyless one is known by all its values.
        QString columns = QStringLiteral("f.*");
        if (id.keyed) {
            columns = QStringLiteral("f.MilkPeriod");
            for (const QString& k : id.columns) {
                QString name = k;
                columns += QStringLiteral(", f.[") + name.replace(u']', QStringLiteral("]]")) + u']';
            }
        }
        q.setSqlText(
            QStringLiteral("SELECT ") + columns +
            QStringLiteral(", z.Serial AS rimo_calving_serial, z.ZDate AS rimo_calving_date "
                           "FROM Firstrec f JOIN zayesh z ON f.Serial = z.Serial AND f.Rdate > z.ZDate "
                           "WHERE z.MilkPeriodchange=1"));
        q.Open();
        IdentityReader ids(id.columns);
        TField& milkPeriod = q.FieldByName(QStringLiteral("MilkPeriod"));
        TField& serial = q.FieldByName(QStringLiteral("rimo_calving_serial"));
        TField& date = q.FieldByName(QStringLiteral("rimo_calving_date"));
        QHash<QString, int> seen; // a recording touched by several calvings is one recording
        for (q.First(); !q.Eof(); q.Next()) {
            Values key = ids.read(q);
            QString text;
            for (const Value& v : key)
                text += v ? u'+' + *v + QChar(0x1E) : QStringLiteral("-\x1E");
            auto it = seen.find(text);
            if (it == seen.end()) {
                it = seen.insert(text, static_cast<int>(identity.size()));
                identity.push_back(std::move(key));
                original.push_back(valueOf(milkPeriod));
            }
            byCalving[calvingKey(serial.AsString(), date.AsString())].push_back(it.value());
        }
        q.Close();
        current = original;
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
        auto it = plan.byCalving.find(LactationPlan::calvingKey(serial, date));
        std::vector<int>& rows = it == plan.byCalving.end() ? none : it.value();
        const Value after = QString::number(milkPeriod + 1);
        bool changes = false;
        for (const int r : rows)
            changes = changes || plan.current[static_cast<std::size_t>(r)] != after;
        if (c.options.dryRun) {
            for (const int r : rows)
                plan.current[static_cast<std::size_t>(r)] = after;
            return false;
        }
        if (!changes && c.options.changedOnly)
            return false;
        for (const int r : rows) {
            const auto i = static_cast<std::size_t>(r);
            c.journal->append({plan.identity[i], {plan.current[i]}, {after}});
        }
        plan.pending = &rows;
        plan.pendingValue = after;
        return true;
    };
    hooks.afterStatement = [&c, &plan](bool ok) {
        if (ok && plan.pending) {
            for (const int r : *plan.pending)
                plan.current[static_cast<std::size_t>(r)] = plan.pendingValue;
            c.summary.rowsWritten += static_cast<qint64>(plan.pending->size());
        }
        plan.pending = nullptr;
    };
    return hooks;
}

void countLactationChanges(Context& c, const LactationPlan& plan)
{
    for (std::size_t i = 0; i < plan.current.size(); ++i) {
        if (plan.current[i] == plan.original[i])
            continue;
        ++c.summary.rowsChanged;
        ++c.summary.changedByColumn[kLactationColumns[0]];
        if (c.options.dryRun)
            writeCsvChange(c.options.csv, plan.identity[i], kLactationColumns[0], plan.original[i],
                           plan.current[i]);
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
    if (repair == Repair::Sequence) {
        IdentityReader ids(c.identity.columns);
        RebuildRecordSequence(objects.table, shown, sequenceHooks(c, ids));
    } else {
        LactationPlan plan;
        RebuildLactationNumbers(objects.zayesh, objects.ask, shown, lactationHooks(c, plan));
        countLactationChanges(c, plan);
    }
    summary.stopped = display.stopRequested && display.stopRequested();
}

} // namespace rimo::repairs
