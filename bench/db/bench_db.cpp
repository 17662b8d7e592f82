// The access layer against bare FreeTDS db-lib loops, on one test server and one herd, in one run:
//   open: TMSTable::Open of FirstRec sorted by Serial,MilkPeriod,RDate against the same SELECT read
//         row by row touching every column's dbdata/dbdatlen; also the memory the open table holds
//         per row next to the row's data as delivered (sum of dbdatlen);
//   post: Edit, two setAsInteger, Post, Next per row against the same sp_executesql RPCs sent
//         directly (same statement text, same parameter types and values).
// The two sides alternate their order each round; medians are reported.
// Usage: bench_db [rows=1000000] [updates=100000] [rounds=3]
//        bench_db --rss [rows=1000000]: the open's peak memory per side, each side opening the table
//        once in a process of its own under /usr/bin/time -v (the server, a child of this process,
//        is not counted), beside a process that only connects.
#include "bare.h"
#include "layerconnection.h"

#include "db/msdataset.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace rimo::bench;

namespace {

struct BareRead
{
    long rows = 0;
    std::int64_t dataBytes = 0;
};

// The bare loop: every row, every column's data pointer and length.
BareRead bareOpen(DBPROCESS* proc, const QByteArray& select)
{
    BareRead r;
    unsigned touched = 0;
    if (dbcmd(proc, select.constData()) == FAIL || dbsqlexec(proc) == FAIL) {
        std::fprintf(stderr, "bare SELECT failed\n");
        std::exit(1);
    }
    while (dbresults(proc) == SUCCEED) {
        const int columns = dbnumcols(proc);
        while (dbnextrow(proc) == REG_ROW) {
            for (int c = 1; c <= columns; ++c) {
                const BYTE* d = dbdata(proc, c);
                const DBINT n = dbdatlen(proc, c);
                if (d && n > 0)
                    touched += d[0] + d[n - 1];
                r.dataBytes += n;
            }
            ++r.rows;
        }
    }
    if (touched == 1) // keeps the reads from being optimised away
        std::fputc(' ', stderr);
    return r;
}

std::int64_t recSeqValue(long i, int salt)
{
    return i % 50 + 1 + salt;
}
std::int64_t stRecNoValue(long i, int salt)
{
    return i % 13 + 1 + salt;
}

// One side's open alone: "layer", "bare" or "none" (connect only), on a running server.
int openAlone(const std::string& side, const char* server, const char* password)
{
    TMSConnection connection;
    pointAtHerd(connection, QString::fromLocal8Bit(server), QString::fromLocal8Bit(password));
    TMSTable table;
    table.Connection = &connection;
    table.TableName = QStringLiteral("FirstRec");
    table.OrderFields = QStringLiteral("Serial,MilkPeriod,RDate");
    long rows = 0;
    std::int64_t dataBytes = 0;
    if (side == "layer") {
        connection.Connect();
        table.Open();
        rows = table.RecordCount();
    } else {
        DBPROCESS* proc = bareConnectTo(server, password, "herd");
        if (side == "bare") {
            const BareRead r = bareOpen(proc, table.selectStatement().toUtf8());
            rows = r.rows;
            dataBytes = r.dataBytes;
        }
        dbclose(proc);
    }
    std::printf("%s: %ld rows, %lld bytes of data as delivered, peak RSS %lld kB\n", side.c_str(), rows,
                static_cast<long long>(dataBytes), static_cast<long long>(processMemory().peak / 1024));
    return 0;
}

int rssPerSide(const char* self, long rows)
{
    auto server = startHerdServer(rows);
    for (const char* side : {"none", "bare", "layer"}) {
        const std::string command = "/usr/bin/time -v '" + std::string(self) + "' --alone " + side + " " +
                                    server->serverSpec() + " '" + server->password() +
                                    "' 2>&1 | grep -E '^(none|bare|layer):|Maximum resident|Elapsed'";
        std::fflush(stdout);
        if (std::system(command.c_str()) != 0)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 4 && std::string(argv[1]) == "--alone")
        return openAlone(argv[2], argv[3], argv[4]);
    if (argc > 1 && std::string(argv[1]) == "--rss")
        return rssPerSide(argv[0], argc > 2 ? std::atol(argv[2]) : 1000000);
    const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long updates = argc > 2 ? std::atol(argv[2]) : 100000;
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 3;

    auto server = startHerdServer(rows);
    TMSConnection connection;
    pointAtHerd(connection, QString::fromStdString(server->serverSpec()),
                QString::fromStdString(server->password()));
    TMSTable table;
    table.setObjectName(QStringLiteral("TSqlTable"));
    table.Connection = &connection;
    table.TableName = QStringLiteral("FirstRec");
    table.OrderFields = QStringLiteral("Serial,MilkPeriod,RDate");
    const QByteArray select = table.selectStatement().toUtf8();

    try {
        connection.Connect();
        DBPROCESS* bare = bareConnect(*server, "herd");

        // ---- open ----
        std::vector<double> layerOpen, bareOpenTimes, layerOpenCpu, bareOpenCpu;
        BareRead bareRead;
        ProcessMemory before, after;
        std::size_t storeBytes = 0;
        long layerRows = 0;
        for (int round = 0; round < rounds; ++round) {
            for (int side = 0; side < 2; ++side) {
                const bool layerNow = (side == 0) == (round % 2 == 0);
                if (layerNow) {
                    table.Close();
                    if (round == 0) {
                        resetPeakMemory();
                        before = processMemory();
                    }
                    const double t0 = now(), c0 = cpuSeconds();
                    table.Open();
                    layerOpen.push_back(now() - t0);
                    layerOpenCpu.push_back(cpuSeconds() - c0);
                    layerRows = table.RecordCount();
                    if (round == 0) {
                        after = processMemory();
                        storeBytes = table.rowMemoryBytes();
                    }
                } else {
                    const double t0 = now(), c0 = cpuSeconds();
                    bareRead = bareOpen(bare, select);
                    bareOpenTimes.push_back(now() - t0);
                    bareOpenCpu.push_back(cpuSeconds() - c0);
                }
                std::printf("open round %d %-5s %.3f s (client CPU %.3f s)\n", round,
                            layerNow ? "layer" : "bare", layerNow ? layerOpen.back() : bareOpenTimes.back(),
                            layerNow ? layerOpenCpu.back() : bareOpenCpu.back());
                std::fflush(stdout);
            }
        }
        if (layerRows != bareRead.rows || layerRows == 0) {
            std::fprintf(stderr, "row counts differ: layer %ld, bare %ld\n", layerRows, bareRead.rows);
            return 1;
        }

        // ---- post ----
        const long n = std::min<long>(updates, layerRows);
        const ProcessMemory beforePosts = processMemory();
        std::vector<std::int32_t> ids;
        ids.reserve(static_cast<std::size_t>(n));
        TField& id = table.FieldByName(QStringLiteral("ID"));
        TField& recSeq = table.FieldByName(QStringLiteral("RecSeq"));
        TField& stRecNo = table.FieldByName(QStringLiteral("StRecNo"));
        table.First();
        for (long i = 0; i < n; ++i, table.Next())
            ids.push_back(static_cast<std::int32_t>(id.AsInteger()));

        const BareUpdate update{"UPDATE [FirstRec] SET [RecSeq]=@P1,[StRecNo]=@P2 WHERE [ID]=@P3",
                                "@P1 bigint,@P2 bigint,@P3 int"};
        std::vector<double> layerPost, barePost, layerPostCpu, barePostCpu;
        int salt = 0; // every run writes values the rows do not hold yet
        for (int round = 0; round < rounds; ++round) {
            for (int side = 0; side < 2; ++side) {
                const bool layerNow = (side == 0) == (round % 2 == 0);
                ++salt;
                if (layerNow) {
                    table.First();
                    const double t0 = now(), c0 = cpuSeconds();
                    for (long i = 0; i < n; ++i) {
                        table.Edit();
                        recSeq.setAsInteger(recSeqValue(i, salt));
                        stRecNo.setAsInteger(stRecNoValue(i, salt));
                        table.Post();
                        table.Next();
                    }
                    layerPost.push_back(now() - t0);
                    layerPostCpu.push_back(cpuSeconds() - c0);
                } else {
                    const double t0 = now(), c0 = cpuSeconds();
                    for (long i = 0; i < n; ++i) {
                        const std::int64_t values[2] = {recSeqValue(i, salt), stRecNoValue(i, salt)};
                        if (!bareRpcUpdate(bare, update, values, 2, ids[static_cast<std::size_t>(i)])) {
                            std::fprintf(stderr, "bare update %ld failed\n", i);
                            return 1;
                        }
                    }
                    barePost.push_back(now() - t0);
                    barePostCpu.push_back(cpuSeconds() - c0);
                }
                // Both sides must have written the same rows: the last row's values tell.
                const std::string check =
                    "SELECT RecSeq * 1000 + StRecNo FROM FirstRec WHERE ID = " + std::to_string(ids.back());
                const std::int64_t expected = recSeqValue(n - 1, salt) * 1000 + stRecNoValue(n - 1, salt);
                if (bareScalar(bare, check.c_str()) != expected) {
                    std::fprintf(stderr, "the %s run did not write the expected values\n",
                                 layerNow ? "layer" : "bare");
                    return 1;
                }
                std::printf("post round %d %-5s %.3f s (client CPU %.3f s)\n", round,
                            layerNow ? "layer" : "bare", layerNow ? layerPost.back() : barePost.back(),
                            layerNow ? layerPostCpu.back() : barePostCpu.back());
                std::fflush(stdout);
            }
        }
        dbclose(bare);
        const ProcessMemory afterPosts = processMemory();
        const long posted = n * rounds; // one layer run per round

        const double lo = median(layerOpen), bo = median(bareOpenTimes);
        const double lp = median(layerPost), bp = median(barePost);
        const double dataPerRow =
            static_cast<double>(bareRead.dataBytes) / static_cast<double>(bareRead.rows);
        const double peakPerRow =
            static_cast<double>(after.peak - before.resident) / static_cast<double>(layerRows);
        const double residentPerRow =
            static_cast<double>(after.resident - before.resident) / static_cast<double>(layerRows);
        const double storePerRow = static_cast<double>(storeBytes) / static_cast<double>(layerRows);
        std::printf("\nOpen of %ld rows, median of %d: layer %.3f s, bare db-lib %.3f s, ratio %.2f "
                    "(%.0f rows/s through the layer); client CPU layer %.3f s, bare %.3f s\n",
                    layerRows, rounds, lo, bo, lo / bo, layerRows / lo, median(layerOpenCpu),
                    median(bareOpenCpu));
        std::printf("Memory per row: data as delivered %.1f B; peak RSS growth %.1f B (%.2fx), RSS growth "
                    "after open %.1f B (%.2fx), row store %.1f B (%.2fx)\n",
                    dataPerRow, peakPerRow, peakPerRow / dataPerRow, residentPerRow,
                    residentPerRow / dataPerRow, storePerRow, storePerRow / dataPerRow);
        std::printf("Post of %ld rows, median of %d: layer %.3f s, bare db-lib %.3f s, ratio %.2f "
                    "(%.0f updates/s through the layer, %.1f us per row more than bare); client CPU per row "
                    "layer %.1f us, bare %.1f us\n",
                    n, rounds, lp, bp, lp / bp, n / lp, 1e6 * (lp - bp) / static_cast<double>(n),
                    1e6 * median(layerPostCpu) / static_cast<double>(n),
                    1e6 * median(barePostCpu) / static_cast<double>(n));
        std::printf(
            "Posts kept in memory: RSS %.1f MB before the posts, %.1f MB after %ld posts (%.1f B more per "
            "posted row)\n",
            static_cast<double>(beforePosts.resident) / 1e6, static_cast<double>(afterPosts.resident) / 1e6,
            posted,
            static_cast<double>(afterPosts.resident - beforePosts.resident) / static_cast<double>(posted));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
    return 0;
}
