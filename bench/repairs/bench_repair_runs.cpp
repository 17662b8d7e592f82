// What the runs around the record sequence rebuild cost, on one herd server in one run:
//   journal: runRepair with its undo journal against the bare repair function (same statements,
//            no journal), every row written in both (numbers cleared, untimed, before each run);
//   changed-only: on a herd already consistent, a changed-only run (one read, no write) against a
//            full run (one write per row);
//   dry run: a dry run (read, number, count, no write) against a bare read of the same rows
//            through the access layer (open FirstRec in the same order, read the same six fields).
// Usage: bench_repair_runs [rows=100000] [rounds=5]
#include "bare.h"
#include "layerconnection.h"

#include "db/msdataset.h"
#include "repairs/run.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using namespace rimo;
using namespace rimo::bench;
using rimo::repairs::Repair;

namespace {

[[noreturn]] void die(const std::string& why)
{
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(1);
}

struct Herd
{
    explicit Herd(const testsupport::TdsServer& server)
    {
        bench::pointAtHerd(connection, QString::fromStdString(server.serverSpec()),
                           QString::fromStdString(server.password()));
        connection.StatementTimeoutSeconds = 0;
        connection.Connect();
        for (TMSDataSet* d : std::initializer_list<TMSDataSet*>{&table, &zayesh, &ask})
            d->Connection = &connection;
        zayesh.TableName = QStringLiteral("zayesh");
    }
    repairs::RunSummary run(bool dryRun, bool changedOnly)
    {
        repairs::RunOptions options;
        options.journalFolder = journals.path();
        options.dryRun = dryRun;
        options.changedOnly = changedOnly;
        RepairDisplay display;
        display.setTitle = [](const QString&) {};
        repairs::RunSummary s;
        repairs::runRepair(Repair::Sequence, {connection, table, zayesh, ask}, options, display, s);
        return s;
    }
    void bareFunction()
    {
        RepairDisplay display;
        display.setTitle = [](const QString&) {};
        RebuildRecordSequence(table, display);
    }
    qint64 bareRead()
    {
        table.Close();
        table.TableName = QStringLiteral("FirstRec");
        table.OrderFields = QStringLiteral("Serial,MilkPeriod,RDate");
        table.Open();
        TField* fields[6];
        int i = 0;
        for (const char* name : {"Serial", "MilkPeriod", "RDate", "RecSeq", "RecKind", "StRecNo"})
            fields[i++] = &table.FieldByName(QLatin1String(name));
        qint64 sum = 0;
        for (table.First(); !table.Eof(); table.Next())
            for (TField* f : fields)
                sum += f->AsString().size();
        return sum;
    }

    TMSConnection connection;
    TMSTable table, zayesh;
    TMSQuery ask;
    QTemporaryDir journals;
};

struct Pair
{
    std::vector<double> a, b;
};

// Alternates the two sides `rounds` times, `reset` (untimed) before each.
Pair compare(const char* what, const char* nameA, const char* nameB, int rounds,
             const std::function<void()>& a, const std::function<void()>& b,
             const std::function<void()>& reset)
{
    Pair p;
    for (int round = 0; round < rounds; ++round)
        for (int side = 0; side < 2; ++side) {
            const bool first = (side == 0) == (round % 2 == 0);
            reset();
            const double t0 = now();
            (first ? a : b)();
            const double s = now() - t0;
            (first ? p.a : p.b).push_back(s);
            std::printf("%s round %d %-12s %.3f s\n", what, round, first ? nameA : nameB, s);
            std::fflush(stdout);
        }
    return p;
}

void report(const char* what, const char* nameA, const char* nameB, long rows, const Pair& p)
{
    const double a = median(p.a), b = median(p.b);
    std::printf("%s, %ld rows, median of %zu: %s %.3f s (%.0f rows/s), %s %.3f s (%.0f rows/s), ratio %.3f\n",
                what, rows, p.a.size(), nameA, a, static_cast<double>(rows) / a, nameB, b,
                static_cast<double>(rows) / b, a / b);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    auto server = startHerdServer(rows);
    DBPROCESS* bare = bareConnect(*server, "herd");
    Herd herd(*server);
    const auto clear = [&] {
        if (!bareBatch(bare, "UPDATE FirstRec SET RecSeq = 0, StRecNo = 0"))
            die("reset failed");
    };
    const long count = static_cast<long>(bareScalar(bare, "SELECT COUNT(*) FROM FirstRec"));

    const Pair journal = compare(
        "journal", "with", "without", rounds,
        [&] {
            if (herd.run(false, false).rowsWritten != count)
                die("the journalled run did not write every row");
        },
        [&] { herd.bareFunction(); }, clear);

    herd.run(false, false); // consistent from here on
    const Pair changed = compare(
        "changed-only", "changed-only", "full", rounds,
        [&] {
            if (herd.run(false, true).rowsWritten != 0)
                die("the changed-only run wrote rows of a consistent herd");
        },
        [&] { herd.run(false, false); }, [] {});

    clear();
    const Pair dry = compare(
        "dry run", "dry run", "bare read", rounds,
        [&] {
            if (herd.run(true, false).rowsChanged != count)
                die("the dry run missed changes");
        },
        [&] { herd.bareRead(); }, [] {});
    dbclose(bare);

    std::printf("\n");
    report("Record sequence rebuild, journal", "with journal", "without", count, journal);
    report("Consistent herd", "changed-only", "full run", count, changed);
    report("Dry run against a bare read", "dry run", "bare read", count, dry);
    return 0;
}
