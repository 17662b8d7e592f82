#include "app/runner/runner.h"

#include "core/error.h"
#include "core/wholefile.h"
#include "db/msconnection.h"
#include "db/msdataset.h"
#include "db/sqltext.h"
#include "repairs/run.h"
#include "repairs/undo.h"
#include "toolkit/multiherd/multiconnectfile.h"
#include "toolkit/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

namespace rimo::runner {

namespace {

using repairs::Repair;

// Bad settings: exit code 2, as bad usage.
class SettingsError : public Error
{
public:
    using Error::Error;
};

struct Herd
{
    QString name; // DName in multi-herd mode
    QString server, database, user, password;
};

QByteArray utf8(const QString& s)
{
    return s.toUtf8();
}

// The statement time-out of the program's herd connection: RIMO1_STATEMENT_TIMEOUT (seconds, 0
// without limit), else the access layer's default.
int statementTimeout()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("RIMO1_STATEMENT_TIMEOUT", &ok);
    return ok && seconds >= 0 ? seconds : db::kDefaultStatementTimeoutSeconds;
}

std::unique_ptr<TMSConnection> connectTo(const QString& server, const QString& database, const QString& user,
                                         const QString& password)
{
    auto c = std::make_unique<TMSConnection>();
    c->Server = server;
    c->Database = database;
    c->Username = user;
    c->Password = password;
    c->LoginPrompt = false;
    c->StatementTimeoutSeconds = statementTimeout();
    c->Connect();
    return c;
}

Herd singleHerd(const Options& o)
{
    QString path = o.settingsFile;
    if (path.isEmpty()) {
        path = findFileCaseInsensitive(o.programFolder, QStringLiteral("WTimes.DLL"));
        if (path.isEmpty())
            throw SettingsError(
                QStringLiteral("No settings file WTimes.DLL in %1 (or name one with --settings FILE).")
                    .arg(QDir::toNativeSeparators(o.programFolder)));
    }
    QStringList s;
    try {
        s = readScrambledSettings(readWholeFile(path));
    } catch (const Error& e) {
        throw SettingsError(e.text());
    }
    return {QString(), s.value(1), s.value(2), s.value(3), s.value(0)};
}

bool multiHerdMode(const Options& o)
{
    return o.settingsFile.isEmpty() &&
           !findFileCaseInsensitive(o.programFolder, QStringLiteral("Multiusers.Dat")).isEmpty();
}

// The herds of Masters: all, the one named, or (undo) the one whose database is `database`.
std::vector<Herd> multiHerds(const Options& o, const QString& database)
{
    const QString path = findFileCaseInsensitive(o.programFolder, MultiConnectFileName);
    if (path.isEmpty())
        throw SettingsError(
            QStringLiteral("Multi-herd mode (Multiusers.Dat) needs the central server's settings in "
                           "%1, which is missing; start the program once to make it.")
                .arg(QDir::toNativeSeparators(o.programFolder + u'/' + MultiConnectFileName)));
    MultiConnectSettings central;
    try {
        central = readMultiConnectFile(path);
    } catch (const Error& e) {
        throw SettingsError(e.text());
    }
    std::unique_ptr<TMSConnection> c;
    try {
        c = connectTo(central.server, QStringLiteral("Masters"), central.user, central.password);
    } catch (const std::exception& e) {
        throw Error(QStringLiteral("The directory database Masters on %1 cannot be opened: %2")
                        .arg(central.server, QString::fromUtf8(e.what())));
    }
    TMSQuery q;
    q.Connection = c.get();
    q.setSqlText(QStringLiteral("SELECT * FROM Masters Order By DName"));
    q.Open();
    std::vector<Herd> herds;
    for (; !q.Eof(); q.Next()) {
        Herd h{q.FieldByName(QStringLiteral("DName")).AsString(),
               q.FieldByName(QStringLiteral("SName")).AsString(),
               q.FieldByName(QStringLiteral("EngDName")).AsString(), QStringLiteral("sa"),
               q.FieldByName(QStringLiteral("SPass")).AsString()};
        const bool wanted =
            o.allHerds ||
            (!o.herd.isEmpty() ? h.name == o.herd : h.database.compare(database, Qt::CaseInsensitive) == 0);
        if (wanted)
            herds.push_back(std::move(h));
        // Two herds of one name: the first the server returns, as the chooser takes it.
        if (wanted && !o.allHerds)
            break;
    }
    if (herds.empty())
        throw SettingsError(o.allHerds ? QStringLiteral("Masters lists no herd.")
                            : !o.herd.isEmpty()
                                ? QStringLiteral("Masters has no herd named \"%1\".").arg(o.herd)
                                : QStringLiteral("Masters has no herd with the database %1.").arg(database));
    return herds;
}

std::vector<Herd> selectHerds(const Options& o, const QString& undoDatabase = {})
{
    if (!multiHerdMode(o)) {
        if (o.allHerds || !o.herd.isEmpty())
            throw SettingsError(
                QStringLiteral("--all-herds and --herd need multi-herd mode (Multiusers.Dat in %1).")
                    .arg(QDir::toNativeSeparators(o.programFolder)));
        return {singleHerd(o)};
    }
    if (o.verb != QLatin1String("undo") && !o.allHerds && o.herd.isEmpty())
        throw SettingsError(
            QStringLiteral("Multi-herd mode: name the herd with --herd NAME, or use --all-herds."));
    return multiHerds(o, undoDatabase);
}

// Rows done of the total, the rate and the time left, on one terminal line.
class Progress
{
public:
    Progress(const Io& io, QString label) : m_io(io), m_label(std::move(label)) { m_clock.start(); }
    void update(qint64 done, qint64 total)
    {
        if (!m_io.terminal || (m_clock.elapsed() - m_last < 200 && done != total))
            return;
        m_last = m_clock.elapsed();
        const double seconds = std::max(0.001, static_cast<double>(m_clock.elapsed()) / 1000.0);
        const double rate = static_cast<double>(done) / seconds;
        const qint64 left = rate > 0 ? static_cast<qint64>(static_cast<double>(total - done) / rate) : 0;
        m_io.err(utf8(QStringLiteral("\r%1: %2 of %3 rows, %4 rows/s, %5:%6 left   ")
                          .arg(m_label)
                          .arg(done)
                          .arg(total)
                          .arg(qRound64(rate))
                          .arg(left / 60)
                          .arg(left % 60, 2, 10, QChar(u'0'))));
        m_shown = true;
    }
    ~Progress()
    {
        if (m_shown)
            m_io.err("\n");
    }

private:
    const Io& m_io;
    QString m_label;
    QElapsedTimer m_clock;
    qint64 m_last = -1000;
    bool m_shown = false;
};

struct HerdResult
{
    QString herd;
    int exit = Done;
    QString error;
    repairs::RunSummary summary;
};

QJsonObject toJson(const HerdResult& r, const Options& o)
{
    const repairs::RunSummary& s = r.summary;
    QJsonObject changed;
    for (auto it = s.changedByColumn.begin(); it != s.changedByColumn.end(); ++it)
        changed.insert(it.key(), it.value());
    QJsonObject j{
        {QStringLiteral("repair"), o.verb},
        {QStringLiteral("database"), s.database},
        {QStringLiteral("dryRun"), o.dryRun},
        {QStringLiteral("changedOnly"), o.changedOnly},
        {QStringLiteral("rowsRead"), s.rowsRead},
        {QStringLiteral("rowsWritten"), s.rowsWritten},
        {QStringLiteral("rowsChanged"), s.rowsChanged},
        {QStringLiteral("changedByColumn"), changed},
        {QStringLiteral("failedCalvings"), QJsonArray::fromStringList(s.failedCalvings)},
        {QStringLiteral("journal"), s.journalPath.isEmpty() ? QJsonValue() : QJsonValue(s.journalPath)},
        {QStringLiteral("seconds"), s.seconds},
        {QStringLiteral("stopped"), s.stopped},
        {QStringLiteral("exitCode"), r.exit}};
    if (!r.herd.isEmpty())
        j.insert(QStringLiteral("herd"), r.herd);
    if (!r.error.isEmpty())
        j.insert(QStringLiteral("error"), r.error);
    return j;
}

QString summaryLine(const HerdResult& r, const Options& o)
{
    const repairs::RunSummary& s = r.summary;
    QString line = (r.herd.isEmpty() ? QString() : r.herd + QStringLiteral(": ")) + o.verb +
                   (o.dryRun ? QStringLiteral(" (dry run)") : QString()) + QStringLiteral(" on ") +
                   s.database;
    if (!r.error.isEmpty())
        return line + QStringLiteral(" failed: ") + r.error +
               (s.journalPath.isEmpty() ? QString() : QStringLiteral("; journal ") + s.journalPath);
    line += QStringLiteral(": %1 read, %2 written, %3 %4")
                .arg(s.rowsRead)
                .arg(s.rowsWritten)
                .arg(s.rowsChanged)
                .arg(o.dryRun ? QStringLiteral("would change") : QStringLiteral("changed"));
    QStringList columns;
    for (auto it = s.changedByColumn.begin(); it != s.changedByColumn.end(); ++it)
        columns << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    if (!columns.isEmpty())
        line += QStringLiteral(" (") + columns.join(QStringLiteral(", ")) + u')';
    if (!s.failedCalvings.isEmpty())
        line += QStringLiteral(", %1 failed calvings").arg(s.failedCalvings.size());
    if (s.stopped)
        line += QStringLiteral(", stopped");
    line += QStringLiteral(", %1 s").arg(s.seconds, 0, 'f', 1);
    if (!s.journalPath.isEmpty())
        line += QStringLiteral(", journal ") + s.journalPath;
    return line;
}

HerdResult repairHerd(const Herd& herd, const Options& o, const Io& io, QFile* csv)
{
    HerdResult r;
    r.herd = herd.name;
    r.summary.database = herd.database;
    try {
        std::unique_ptr<TMSConnection> c = connectTo(herd.server, herd.database, herd.user, herd.password);
        TMSTable table, zayesh;
        TMSQuery ask;
        for (TMSDataSet* d : std::initializer_list<TMSDataSet*>{&table, &zayesh, &ask})
            d->Connection = c.get();
        zayesh.TableName = QStringLiteral("zayesh");
        Progress progress(io, (herd.name.isEmpty() ? herd.database : herd.name) + u' ' + o.verb);
        repairs::RunOptions run;
        run.journalFolder =
            o.journalFolder.isEmpty() ? o.programFolder + QStringLiteral("/T4R") : o.journalFolder;
        if (!o.dryRun && !QDir().mkpath(run.journalFolder))
            throw Error(QStringLiteral("The journal folder %1 cannot be made.").arg(run.journalFolder));
        run.dryRun = o.dryRun;
        run.changedOnly = o.changedOnly;
        run.csv = csv;
        run.progress = [&progress](qint64 done, qint64 total) { progress.update(done, total); };
        RepairDisplay display;
        display.setTitle = [](const QString&) {};
        display.stopRequested = io.stopRequested;
        repairs::runRepair(o.verb == QLatin1String("sequence") ? Repair::Sequence : Repair::Lactation,
                           {*c, table, zayesh, ask}, run, display, r.summary);
        r.exit = r.summary.stopped ? Interrupted : r.summary.failedCalvings.isEmpty() ? Done : FailedCalvings;
    } catch (const std::exception& e) {
        r.exit = Failed;
        r.error = QString::fromUtf8(e.what());
    }
    return r;
}

int severity(int exit)
{
    // Worst first: interrupted, failed, failed calvings, done.
    switch (exit) {
    case Interrupted:
        return 4;
    case Failed:
        return 3;
    case FailedCalvings:
        return 2;
    default:
        return exit == Done ? 0 : 1;
    }
}

int runRepairs(const Options& o, const Io& io)
{
    const std::vector<Herd> herds = selectHerds(o);
    std::unique_ptr<QFile> csv;
    if (o.dryRun && !o.csv.isEmpty()) {
        csv = std::make_unique<QFile>(o.csv);
        if (!csv->open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw SettingsError(
                QStringLiteral("The CSV file %1 cannot be written: %2").arg(o.csv, csv->errorString()));
    }
    int worst = Done;
    QJsonArray all;
    for (const Herd& h : herds) {
        if (io.stopRequested && io.stopRequested())
            break;
        const HerdResult r = repairHerd(h, o, io, csv.get());
        if (severity(r.exit) > severity(worst))
            worst = r.exit;
        if (!r.error.isEmpty())
            io.err(utf8(QStringLiteral("%1%2\n").arg(
                h.name.isEmpty() ? QString() : h.name + QStringLiteral(": "), r.error)));
        if (o.json)
            all.append(toJson(r, o));
        else
            io.out(utf8(summaryLine(r, o) + u'\n'));
    }
    if (o.json) {
        const QJsonObject top =
            o.allHerds ? QJsonObject{{QStringLiteral("herds"), all}, {QStringLiteral("exitCode"), worst}}
                       : all.first().toObject();
        io.out(QJsonDocument(top).toJson(QJsonDocument::Compact) + '\n');
    }
    return worst;
}

int runUndo(const Options& o, const Io& io)
{
    repairs::Journal journal;
    try {
        journal = repairs::readJournalFile(o.journal);
    } catch (const Error& e) {
        throw SettingsError(e.text());
    }
    const std::vector<Herd> herds = selectHerds(o, journal.header.database);
    const Herd& h = herds.front();
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<TMSConnection> c = connectTo(h.server, h.database, h.user, h.password);
    const repairs::UndoReport r = repairs::undoJournal(*c, journal, o.force);
    const int exit = r.changedSince.isEmpty() ? Done : FailedCalvings;
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (o.json) {
        const QJsonObject j{{QStringLiteral("undo"), o.journal},
                            {QStringLiteral("database"), journal.header.database},
                            {QStringLiteral("repair"), journal.header.repair},
                            {QStringLiteral("restored"), r.restored},
                            {QStringLiteral("alreadyRestored"), r.alreadyRestored},
                            {QStringLiteral("notFound"), r.notFound},
                            {QStringLiteral("forced"), r.forced},
                            {QStringLiteral("changedSince"), QJsonArray::fromStringList(r.changedSince)},
                            {QStringLiteral("truncatedTail"), journal.truncatedTail},
                            {QStringLiteral("seconds"), seconds},
                            {QStringLiteral("exitCode"), exit}};
        io.out(QJsonDocument(j).toJson(QJsonDocument::Compact) + '\n');
        return exit;
    }
    QString text = QStringLiteral("undo %1 on %2: %3 restored, %4 already as journalled, %5 no longer found")
                       .arg(o.journal, journal.header.database)
                       .arg(r.restored)
                       .arg(r.alreadyRestored)
                       .arg(r.notFound);
    if (r.forced)
        text += QStringLiteral(", %1 changed since and restored (--force)").arg(r.forced);
    if (!r.changedSince.isEmpty())
        text += QStringLiteral(", %1 changed since and left (restore them with --force):")
                    .arg(r.changedSince.size());
    for (const QString& line : r.changedSince)
        text += QStringLiteral("\n  ") + line;
    io.out(utf8(text + u'\n'));
    return exit;
}

} // namespace

QString usageText()
{
    return QStringLiteral(
        "usage: rimo1-repair sequence|lactation [options]\n"
        "       rimo1-repair undo JOURNAL [--force] [options]\n"
        "  --program-folder DIR  where WTimes.DLL, Multiusers.Dat, MultiConnect.Dat and T4R are\n"
        "                        (default: this program's folder)\n"
        "  --settings FILE       a settings file in WTimes.DLL's format instead\n"
        "  --herd NAME           multi-herd mode: the herd of Masters named NAME\n"
        "  --all-herds           multi-herd mode: every herd of Masters in turn\n"
        "  --dry-run             read and compute, write nothing; counts per column\n"
        "  --csv FILE            with --dry-run: key, column, old and new value of each change\n"
        "  --changed-only        write only rows whose numbers are not right yet\n"
        "  --journal-folder DIR  where the journal goes (default: T4R in the program folder)\n"
        "  --force               undo: restore rows changed since the run as well\n"
        "  --json                the summary as JSON on standard output\n"
        "exit codes: 0 done, 1 the repair failed, 2 bad usage or settings, 3 done with failed calvings\n"
        "(undo: with rows changed since), 130 stopped by Ctrl-C\n");
}

std::optional<Options> parseArguments(const QStringList& args, QString& error)
{
    Options o;
    const auto fail = [&error](const QString& why) {
        error = why;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&](QString& into) {
            if (i + 1 >= args.size())
                return false;
            into = args[++i];
            return true;
        };
        bool ok = true;
        if (a == QLatin1String("--program-folder"))
            ok = value(o.programFolder);
        else if (a == QLatin1String("--settings"))
            ok = value(o.settingsFile);
        else if (a == QLatin1String("--herd"))
            ok = value(o.herd);
        else if (a == QLatin1String("--csv"))
            ok = value(o.csv);
        else if (a == QLatin1String("--journal-folder"))
            ok = value(o.journalFolder);
        else if (a == QLatin1String("--all-herds"))
            o.allHerds = true;
        else if (a == QLatin1String("--dry-run"))
            o.dryRun = true;
        else if (a == QLatin1String("--changed-only"))
            o.changedOnly = true;
        else if (a == QLatin1String("--force"))
            o.force = true;
        else if (a == QLatin1String("--json"))
            o.json = true;
        else if (a.startsWith(u'-') && a != QLatin1String("-"))
            return fail(QStringLiteral("unknown option %1").arg(a));
        else if (o.verb.isEmpty())
            o.verb = a;
        else if (o.verb == QLatin1String("undo") && o.journal.isEmpty())
            o.journal = a;
        else
            return fail(QStringLiteral("unexpected argument %1").arg(a));
        if (!ok)
            return fail(QStringLiteral("%1 needs a value").arg(a));
    }
    const bool repair = o.verb == QLatin1String("sequence") || o.verb == QLatin1String("lactation");
    if (!repair && o.verb != QLatin1String("undo"))
        return fail(o.verb.isEmpty() ? QStringLiteral("no command given")
                                     : QStringLiteral("unknown command %1").arg(o.verb));
    if (o.verb == QLatin1String("undo") && o.journal.isEmpty())
        return fail(QStringLiteral("undo needs the journal file"));
    if (o.verb == QLatin1String("undo") && (o.dryRun || o.changedOnly || o.allHerds))
        return fail(QStringLiteral("undo takes no --dry-run, --changed-only or --all-herds"));
    if (repair && o.force)
        return fail(QStringLiteral("--force belongs to undo"));
    if (!o.csv.isEmpty() && !o.dryRun)
        return fail(QStringLiteral("--csv needs --dry-run"));
    if (o.dryRun && o.changedOnly)
        return fail(QStringLiteral("--dry-run writes nothing; --changed-only has no meaning with it"));
    if (o.allHerds && !o.herd.isEmpty())
        return fail(QStringLiteral("--herd and --all-herds exclude each other"));
    if (!o.settingsFile.isEmpty() && (o.allHerds || !o.herd.isEmpty()))
        return fail(
            QStringLiteral("--settings names one herd; --herd and --all-herds belong to multi-herd mode"));
    if (o.programFolder.isEmpty())
        o.programFolder = QCoreApplication::applicationDirPath();
    return o;
}

int run(const Options& options, const Io& io)
{
    try {
        return options.verb == QLatin1String("undo") ? runUndo(options, io) : runRepairs(options, io);
    } catch (const SettingsError& e) {
        io.err(utf8(e.text() + u'\n'));
        return Usage;
    } catch (const std::exception& e) {
        io.err(QByteArray(e.what()) + '\n');
        return Failed;
    }
}

} // namespace rimo::runner
