// The two repairs run through the main window's buttons, against bare FreeTDS db-lib loops that do
// the same work on the same server and herd, in one run:
//   record sequence: dxButton9 (read FirstRec, one sp_executesql UPDATE per row) against a loop that
//         sends the same SELECT and the same RPCs (same statement texts, parameter types, values);
//   lactation numbers: btn1 (one plain UPDATE batch per marked calving) against a loop that reads
//         the marked calvings and sends the same batches.
// Before every run the numbers the repair writes are cleared (untimed), so every run writes every
// row, and the herd's state after each run must be the same.
// Usage: bench_repairs [sequence-rows=100000] [calvings=20000] [rounds=3]
#include "bare.h"

#include "app/mainwindow.h"
#include "app/program.h"
#include "core/lifecycle.h"
#include "platform/testing/doubles.h"
#include "toolkit/scramble.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace rimo;
using namespace rimo::bench;

namespace {

const char* const kSelectRecordings = "SELECT * FROM [FirstRec] ORDER BY Serial,MilkPeriod,RDate";
const char* const kSelectCalvings = "SELECT * FROM [zayesh] WHERE (MilkPeriodchange=1) ORDER BY Serial,ZDate";
const std::string kOfficial = "\u0631\u0633\u0645\u064A"; // UTF-8, Arabic yeh

[[noreturn]] void die(const std::string& why)
{
    std::fprintf(stderr, "%s\n", why.c_str());
    std::exit(1);
}

// The program as the user starts it, on a program folder whose settings point at `server`.
struct RunningProgram
{
    explicit RunningProgram(const testsupport::TdsServer& server)
    {
        resetTerminateRequest();
        const QStringList lines{QString::fromStdString(server.password()),
                                QString::fromStdString(server.serverSpec()), QStringLiteral("herd"),
                                QStringLiteral("sa")};
        QFile f(dir.filePath(QStringLiteral("WTimes.DLL")));
        if (!f.open(QIODevice::WriteOnly))
            die("cannot write the settings file");
        for (const QString& l : lines)
            f.write(FindXOR(l).toUtf8() + "\r\n");
        f.close();
        PlatformServices s;
        s.keyboard = std::make_shared<fakes::RecordingKeyboard>();
        s.osVersion = std::make_shared<fakes::FakeOsVersion>();
        s.beeper = std::make_shared<fakes::RecordingBeeper>();
        program = std::make_unique<Program>(ProgramOptions{s, dir.path()});
        if (terminateRequested())
            die("the program did not start: " + dialogs.texts().join(u'|').toStdString());
    }
    void requireNoErrors() const
    {
        if (!dialogs.messages.isEmpty())
            die("the repair raised: " + dialogs.texts().join(u'|').toStdString());
    }
    TForm1& form() const { return *program->form(); }

    QTemporaryDir dir;
    fakes::ScopedFakeDialogs dialogs;
    std::unique_ptr<Program> program;
};

std::string cellText(DBPROCESS* proc, int column)
{
    const BYTE* d = dbdata(proc, column);
    return d ? std::string(reinterpret_cast<const char*>(d), static_cast<std::size_t>(dbdatlen(proc, column)))
             : std::string();
}

std::int64_t cellInt(DBPROCESS* proc, int column)
{
    const BYTE* d = dbdata(proc, column);
    if (!d)
        return 0;
    std::int32_t v;
    std::memcpy(&v, d, sizeof v);
    return v;
}

int columnNumber(DBPROCESS* proc, const char* name)
{
    for (int c = 1; c <= dbnumcols(proc); ++c)
        if (strcasecmp(dbcolname(proc, c), name) == 0)
            return c;
    die(std::string("no column ") + name);
}

// Record sequence rebuild, bare: the same SELECT, the same numbering, the same RPCs.
void bareRecordSequence(DBPROCESS* proc)
{
    struct Row
    {
        std::int32_t id;
        std::int64_t milkPeriod;
        bool official;
        std::string serial;
    };
    std::vector<Row> rows;
    if (dbcmd(proc, kSelectRecordings) == FAIL || dbsqlexec(proc) == FAIL)
        die("bare SELECT failed");
    while (dbresults(proc) == SUCCEED) {
        const int id = columnNumber(proc, "ID"), serial = columnNumber(proc, "Serial"),
                  period = columnNumber(proc, "MilkPeriod"), kind = columnNumber(proc, "RecKind");
        while (dbnextrow(proc) == REG_ROW)
            rows.push_back({static_cast<std::int32_t>(cellInt(proc, id)), cellInt(proc, period),
                            cellText(proc, kind) == kOfficial, cellText(proc, serial)});
    }
    const BareUpdate both{"UPDATE [FirstRec] SET [RecSeq]=@P1,[StRecNo]=@P2 WHERE [ID]=@P3",
                          "@P1 bigint,@P2 bigint,@P3 int"};
    const BareUpdate seqOnly{"UPDATE [FirstRec] SET [RecSeq]=@P1 WHERE [ID]=@P2", "@P1 bigint,@P2 int"};
    std::string animal = rows.empty() ? std::string() : rows.front().serial;
    std::int64_t lactation = rows.empty() ? 0 : rows.front().milkPeriod;
    std::int64_t all = 1, official = 1;
    for (const Row& r : rows) {
        if (r.serial != animal) {
            animal = r.serial;
            lactation = r.milkPeriod;
            all = official = 1;
        }
        if (r.milkPeriod != lactation) {
            lactation = r.milkPeriod;
            official = 1;
        }
        const std::int64_t values[2] = {all++, r.official ? official++ : 0};
        if (!bareRpcUpdate(proc, r.official ? both : seqOnly, values, r.official ? 2 : 1, r.id))
            die("bare update failed");
    }
}

// Lactation rebuild, bare: the marked calvings, then one batch per calving in the same text.
void bareLactationNumbers(DBPROCESS* proc)
{
    struct Calving
    {
        std::string serial;
        std::int64_t milkPeriod;
        std::string date;
    };
    std::vector<Calving> calvings;
    if (dbcmd(proc, kSelectCalvings) == FAIL || dbsqlexec(proc) == FAIL)
        die("bare SELECT failed");
    while (dbresults(proc) == SUCCEED) {
        const int serial = columnNumber(proc, "Serial"), period = columnNumber(proc, "MilkPeriod"),
                  date = columnNumber(proc, "ZDate");
        while (dbnextrow(proc) == REG_ROW) {
            std::string d = cellText(proc, date);
            while (!d.empty() && d.back() == ' ') // char(10): trailing blanks are padding
                d.pop_back();
            calvings.push_back({cellText(proc, serial), cellInt(proc, period), std::move(d)});
        }
    }
    std::string sql;
    for (const Calving& c : calvings) {
        std::string serial;
        for (const char ch : c.serial) {
            serial += ch;
            if (ch == '\'')
                serial += '\'';
        }
        sql = "Update Firstrec Set MilkPeriod=" + std::to_string(c.milkPeriod + 1) + "Where Serial ='" +
              serial + "' and Rdate>'" + c.date + "'";
        if (!bareBatch(proc, sql.c_str()))
            die("bare batch failed: " + sql);
    }
}

struct Timings
{
    std::vector<double> layer, bare;       // wall time
    std::vector<double> layerCpu, bareCpu; // this process's CPU time
};

// Runs both sides `rounds` times in alternating order; `reset` (untimed) before each run and
// `state` after it, which must not change from run to run.
Timings compare(const char* what, int rounds, const std::function<void()>& layer,
                const std::function<void()>& bare, const std::function<void()>& reset,
                const std::function<std::string()>& state)
{
    Timings t;
    std::string first;
    for (int round = 0; round < rounds; ++round) {
        for (int side = 0; side < 2; ++side) {
            const bool layerNow = (side == 0) == (round % 2 == 0);
            reset();
            const double t0 = now(), c0 = cpuSeconds();
            (layerNow ? layer : bare)();
            const double seconds = now() - t0, cpu = cpuSeconds() - c0;
            (layerNow ? t.layer : t.bare).push_back(seconds);
            (layerNow ? t.layerCpu : t.bareCpu).push_back(cpu);
            const std::string s = state();
            if (first.empty())
                first = s;
            else if (s != first)
                die(std::string(what) + ": the herd differs after the " + (layerNow ? "layer" : "bare") +
                    " run: " + s + " instead of " + first);
            std::printf("%s round %d %-5s %.3f s (client CPU %.3f s)  [%s]\n", what, round,
                        layerNow ? "layer" : "bare", seconds, cpu, s.c_str());
            std::fflush(stdout);
        }
    }
    return t;
}

std::string scalars(DBPROCESS* proc, std::initializer_list<const char*> queries)
{
    std::string out;
    for (const char* q : queries)
        out += (out.empty() ? "" : " ") + std::to_string(bareScalar(proc, q));
    return out;
}

void report(const char* what, const char* units, const char* unit, long count, int rounds, const Timings& t)
{
    const double layer = median(t.layer), bare = median(t.bare);
    std::printf("%s of %ld %s, median of %d: window handler %.3f s (%.0f/s), bare db-lib %.3f s (%.0f/s), "
                "ratio %.2f; client CPU per %s: window handler %.1f us, bare %.1f us\n",
                what, count, units, rounds, layer, static_cast<double>(count) / layer, bare,
                static_cast<double>(count) / bare, layer / bare, unit,
                1e6 * median(t.layerCpu) / static_cast<double>(count),
                1e6 * median(t.bareCpu) / static_cast<double>(count));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long sequenceRows = argc > 1 ? std::atol(argv[1]) : 100000;
    const long calvings = argc > 2 ? std::atol(argv[2]) : 20000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    // ---- record sequence ----
    Timings seq;
    {
        auto server = startHerdServer(sequenceRows);
        RunningProgram program(*server);
        DBPROCESS* bare = bareConnect(*server, "herd");
        seq = compare(
            "sequence", rounds,
            [&] {
                program.form().dxButton9->click();
                program.requireNoErrors();
            },
            [&] { bareRecordSequence(bare); },
            [&] {
                if (!bareBatch(bare, "UPDATE FirstRec SET RecSeq = 0, StRecNo = 0"))
                    die("reset failed");
            },
            [&] {
                return scalars(bare, {"SELECT SUM(CAST(RecSeq AS bigint)) FROM FirstRec",
                                      "SELECT SUM(CAST(StRecNo AS bigint)) FROM FirstRec",
                                      "SELECT COUNT(*) FROM FirstRec WHERE RecSeq = 0"});
            });
        dbclose(bare);
    }

    // ---- lactation numbers ----
    Timings lac;
    long marked = 0;
    {
        // About one calving per ten recordings, nine in ten of them marked.
        auto server = startHerdServer(calvings * 12 + 1000);
        DBPROCESS* bare = bareConnect(*server, "herd");
        // Exactly `calvings` marked: the later marked calvings are unmarked.
        std::vector<std::int32_t> ids;
        if (dbcmd(bare, "SELECT ID FROM zayesh WHERE MilkPeriodchange = 1 ORDER BY ID") == FAIL ||
            dbsqlexec(bare) == FAIL)
            die("cannot list the calvings");
        while (dbresults(bare) == SUCCEED)
            while (dbnextrow(bare) == REG_ROW)
                ids.push_back(static_cast<std::int32_t>(cellInt(bare, 1)));
        if (static_cast<long>(ids.size()) > calvings) {
            const std::string unmark =
                "UPDATE zayesh SET MilkPeriodchange = 0 WHERE MilkPeriodchange = 1 AND ID > " +
                std::to_string(ids[static_cast<std::size_t>(calvings - 1)]);
            if (!bareBatch(bare, unmark.c_str()))
                die("cannot unmark calvings");
        }
        marked = bareScalar(bare, "SELECT COUNT(*) FROM zayesh WHERE MilkPeriodchange = 1");
        RunningProgram program(*server);
        lac = compare(
            "lactation", rounds,
            [&] {
                program.form().btn1->click();
                program.requireNoErrors();
                if (program.form().memoLines().size() != 1)
                    die("the lactation rebuild listed failed calvings");
            },
            [&] { bareLactationNumbers(bare); },
            [&] {
                if (!bareBatch(bare, "UPDATE FirstRec SET MilkPeriod = 0"))
                    die("reset failed");
            },
            [&] {
                return scalars(bare, {"SELECT SUM(CAST(MilkPeriod AS bigint)) FROM FirstRec",
                                      "SELECT COUNT(*) FROM FirstRec WHERE MilkPeriod = 0"});
            });
        dbclose(bare);
    }

    std::printf("\n");
    report("Record sequence rebuild", "rows", "row", sequenceRows, rounds, seq);
    report("Lactation rebuild", "marked calvings", "calving", marked, rounds, lac);
    return 0;
}
