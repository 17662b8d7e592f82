#include "repairs/undo.h"

#include "core/error.h"
#include "db/msdataset.h"

#include <QHash>
#include <deque>

namespace rimo::repairs {

namespace {

QString identityText(const Values& values)
{
    QString text;
    for (const Value& v : values)
        text += v ? u'+' + *v + QChar(0x1E) : QStringLiteral("-\x1E");
    return text;
}

QString shown(const Values& values)
{
    QStringList parts;
    for (const Value& v : values)
        parts << (v ? *v : QStringLiteral("NULL"));
    return parts.join(u'/');
}

// The journal's entries of one row, latest first, folded onto what the row holds now.
struct Outcome
{
    Values target;
    bool conflict = false; // changed since the run
    Values expected;       // what the run left, for the listing
};

Outcome fold(const Journal& journal, const std::vector<std::size_t>& entries, const Values& now, bool force)
{
    Outcome o{now, false, {}};
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const JournalRow& e = journal.rows[*it];
        if (o.target == e.after || o.target == e.before) {
            o.target = e.before;
            continue;
        }
        o.conflict = true;
        o.expected = e.after;
        if (!force)
            return o;
        o.target = e.before;
    }
    return o;
}

} // namespace

UndoReport undoJournal(TMSConnection& connection, const Journal& journal, bool force)
{
    const JournalHeader& h = journal.header;
    if (h.database.compare(connection.Database, Qt::CaseInsensitive) != 0)
        throw Error(QStringLiteral("The journal is of the database %1, not of %2.")
                        .arg(h.database, connection.Database));

    // Entries by the row's identity, in journal order. Keyless tables may hold the same values
    // twice: each such row of the record sequence was journalled once, so each takes one entry.
    const bool onePerRow = !h.keyed && h.repair == QLatin1String("sequence");
    QHash<QString, std::deque<std::vector<std::size_t>>> byIdentity;
    for (std::size_t i = 0; i < journal.rows.size(); ++i) {
        auto& groups = byIdentity[identityText(journal.rows[i].identity)];
        if (groups.empty() || onePerRow)
            groups.emplace_back();
        groups.back().push_back(i);
    }

    TMSTable table;
    table.Connection = &connection;
    table.TableName = h.table;
    table.Open();
    std::vector<TField*> idFields, valueFields;
    for (const QString& c : h.identity)
        idFields.push_back(&table.FieldByName(c));
    for (const QString& c : h.columns)
        valueFields.push_back(&table.FieldByName(c));
    const auto read = [](const std::vector<TField*>& fields) {
        Values out;
        for (const TField* f : fields)
            out.push_back(f->IsNull() ? std::nullopt : Value(f->AsString()));
        return out;
    };

    UndoReport report;
    for (table.First(); !table.Eof(); table.Next()) {
        const Values id = read(idFields);
        auto it = byIdentity.find(identityText(id));
        if (it == byIdentity.end() || it->empty())
            continue;
        const std::vector<std::size_t> entries = std::move(it->front());
        it->pop_front();
        const Values now = read(valueFields);
        const Outcome o = fold(journal, entries, now, force);
        if (o.conflict && !force) {
            report.changedSince << QStringLiteral("%1: %2 holds %3, the run left %4")
                                       .arg(shown(id), h.columns.join(u'/'), shown(now), shown(o.expected));
            continue;
        }
        if (o.target == now) {
            ++report.alreadyRestored;
            continue;
        }
        table.Edit();
        for (std::size_t k = 0; k < valueFields.size(); ++k)
            // An empty text writes NULL to a number column, which these columns are.
            valueFields[k]->setAsString(o.target[k].value_or(QString()));
        table.Post();
        ++(o.conflict ? report.forced : report.restored);
    }
    for (const auto& groups : byIdentity)
        report.notFound += static_cast<qint64>(groups.size());
    return report;
}

} // namespace rimo::repairs
