// The toolkit's list fillers against a bare FreeTDS db-lib loop reading the same column with the
// same statement, on one test server in one run: rounds alternate which side goes first; min,
// median and max per side.
// Usage: bench_fill_list [rows (100000)] [rounds (3)]

#include "bare.h"
#include "db/msconnection.h"
#include "layerconnection.h"
#include "toolkit/dialoghelpers/listfill.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace rimo::bench;

namespace {

class Fillers : public TListFillers
{
public:
    explicit Fillers(TMSConnection& c) : m_connection(c) {}
    TMSConnection& serverConnection() override { return m_connection; }

private:
    TMSConnection& m_connection;
};

// Every row's first column as text, as the filler keeps it.
long bareFill(DBPROCESS* proc, const QByteArray& select, QStringList& out)
{
    out.clear();
    if (dbcmd(proc, select.constData()) == FAIL || dbsqlexec(proc) == FAIL) {
        std::fprintf(stderr, "bare SELECT failed\n");
        std::exit(1);
    }
    while (dbresults(proc) == SUCCEED) {
        while (dbnextrow(proc) == REG_ROW) {
            char text[64];
            const DBINT n = dbconvert(proc, dbcoltype(proc, 1), dbdata(proc, 1), dbdatlen(proc, 1), SYBCHAR,
                                      reinterpret_cast<BYTE*>(text), sizeof text - 1);
            out << QString::fromUtf8(text, n > 0 ? n : 0);
        }
    }
    return static_cast<long>(out.size());
}

void report(const char* what, std::vector<double> layer, std::vector<double> bare)
{
    std::sort(layer.begin(), layer.end());
    std::sort(bare.begin(), bare.end());
    const double ml = median(layer), mb = median(bare);
    std::printf("%s: filler min %.3f median %.3f max %.3f s; bare min %.3f median %.3f max %.3f s; "
                "median ratio %.2f\n",
                what, layer.front(), ml, layer.back(), bare.front(), mb, bare.back(), ml / mb);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    auto server = startHerdServer(rows);
    TMSConnection connection;
    pointAtHerd(connection, QString::fromStdString(server->serverSpec()),
                QString::fromStdString(server->password()));
    connection.LoginPrompt = false;
    Fillers fillers(connection);
    try {
        connection.Connect();
        DBPROCESS* bare = bareConnect(*server, "herd");
        for (const bool distinct : {false, true}) {
            const QString statement =
                rimo::listFillStatement(distinct, QStringLiteral("FirstRec"), QStringLiteral("Serial"), {});
            const QByteArray select = statement.toUtf8();
            std::vector<double> layer, bareTimes;
            QStringList items, bareItems;
            for (int round = 0; round < rounds; ++round) {
                for (int side = 0; side < 2; ++side) {
                    const bool layerNow = (side == 0) == (round % 2 == 0);
                    const double t0 = now();
                    if (layerNow) {
                        if (distinct)
                            fillers.FillListWithData(items, QStringLiteral("FirstRec"),
                                                     QStringLiteral("Serial"), {});
                        else
                            fillers.FillListWithDataBDistinct(items, QStringLiteral("FirstRec"),
                                                              QStringLiteral("Serial"), {});
                        layer.push_back(now() - t0);
                    } else {
                        bareFill(bare, select, bareItems);
                        bareTimes.push_back(now() - t0);
                    }
                }
            }
            if (items.size() != bareItems.size() || items.isEmpty()) {
                std::fprintf(stderr, "row counts differ: filler %lld, bare %lld\n",
                             static_cast<long long>(items.size()), static_cast<long long>(bareItems.size()));
                return 1;
            }
            std::printf("%s (%lld rows)\n", select.constData(), static_cast<long long>(items.size()));
            report(distinct ? "FillListWithData" : "FillListWithDataBDistinct", layer, bareTimes);
        }
        dbclose(bare);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
