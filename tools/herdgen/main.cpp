// herdgen: writes a sample herd for the TDS test server directly into its data folder, in the server's
// own SQLite layout. Animals get 1-6 lactations with about ten recordings each in date order; a few
// rows carry wrong RecSeq/StRecNo/MilkPeriod numbers on purpose, for the repairs to fix.
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/storage.h"

#include <sqlite3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

using namespace rimo::tds;

namespace {

const char* const kOfficial = "\u0631\u0633\u0645\u064A";
const char* const kTrial = "\u0622\u0632\u0645\u0627\u064A\u0634\u064A";

// Solar dates as (year, day of year 0..364); months 1-6 have 31 days, 7-11 have 30, 12 has 29.
struct SolarDate
{
    int year = 1385;
    int day = 0;

    void add(int days)
    {
        day += days;
        while (day >= 365) {
            day -= 365;
            ++year;
        }
    }
    std::string text() const
    {
        int month = 1;
        int d = day;
        for (;; ++month) {
            const int len = month <= 6 ? 31 : month <= 11 ? 30 : 29;
            if (d < len)
                break;
            d -= len;
        }
        char buf[40];
        std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", year, month, d + 1);
        return buf;
    }
};

ColumnDef col(const char* name, const char* type, bool nullable = true)
{
    ColumnDef c;
    c.name = name;
    c.type = *parseTypeText(type);
    c.nullable = nullable;
    return c;
}

ColumnDef identity(const char* name)
{
    ColumnDef c = col(name, "int", false);
    c.identity = true;
    return c;
}

TableDef firstRecTable()
{
    TableDef t;
    t.name = "FirstRec";
    t.columns = {identity("ID"),           col("Serial", "nvarchar(20)"), col("MilkPeriod", "int"),
                 col("RDate", "char(10)"), col("RecSeq", "int"),          col("RecKind", "nvarchar(10)"),
                 col("StRecNo", "int"),    col("Milk", "float"),          col("Fat", "float"),
                 col("Protein", "float")};
    t.constraints = {{"PK_FirstRec", ConstraintDef::PrimaryKey, {"ID"}, {}}};
    return t;
}

TableDef zayeshTable()
{
    TableDef t;
    t.name = "zayesh";
    t.columns = {identity("ID"), col("Serial", "nvarchar(20)"), col("ZDate", "char(10)"),
                 col("MilkPeriod", "int"), col("MilkPeriodchange", "int")};
    t.constraints = {{"PK_zayesh", ConstraintDef::PrimaryKey, {"ID"}, {}}};
    return t;
}

void usage(FILE* out)
{
    std::fprintf(out,
                 "Usage: herdgen --data-dir DIR --database NAME (--rows N [--seed S] | --empty)\n"
                 "Writes a sample herd (tables FirstRec and zayesh) for the TDS test server; an existing\n"
                 "database of that name is replaced.\n");
}

void check(int rc, sqlite3* db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(sqlite3_errmsg(db));
}

} // namespace

int main(int argc, char** argv)
{
    std::string dataDir;
    std::string database;
    long long rows = -1;
    unsigned long long seed = 1389;
    bool empty = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--data-dir")
            dataDir = value();
        else if (a == "--database")
            database = value();
        else if (a == "--rows")
            rows = std::atoll(value().c_str());
        else if (a == "--seed")
            seed = std::strtoull(value().c_str(), nullptr, 10);
        else if (a == "--empty")
            empty = true;
        else if (a == "--help") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
            return 2;
        }
    }
    if (dataDir.empty() || !validDatabaseName(database) || (!empty && rows < 0) ||
        lowerAscii(database) == "master") {
        usage(stderr);
        return 2;
    }
    if (empty)
        rows = 0;
    const auto started = std::chrono::steady_clock::now();
    try {
        ensureMaster(dataDir);
        const std::string path = databasePath(dataDir, database);
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix);
        auto db = Database::open(path, database, true);
        db->createTable(firstRecTable());
        db->createTable(zayeshTable());
        sqlite3* h = db->handle();
        db->exec("PRAGMA synchronous=OFF; BEGIN");
        sqlite3_stmt* rec = nullptr;
        sqlite3_stmt* calving = nullptr;
        check(sqlite3_prepare_v2(
                  h,
                  "INSERT INTO FirstRec (Serial, MilkPeriod, RDate, RecSeq, RecKind, StRecNo, Milk, "
                  "Fat, Protein) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                  -1, &rec, nullptr),
              h);
        check(sqlite3_prepare_v2(
                  h,
                  "INSERT INTO zayesh (Serial, ZDate, MilkPeriod, MilkPeriodchange) VALUES (?1, ?2, ?3, ?4)",
                  -1, &calving, nullptr),
              h);
        std::mt19937_64 rng(seed);
        auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
        auto uniform = [&](double lo, double hi) {
            return lo + (hi - lo) * (static_cast<double>(rng() >> 11) / static_cast<double>(1ull << 53));
        };
        long long written = 0;
        long long calvings = 0;
        long long animals = 0;
        while (written < rows) {
            const std::string serial = std::to_string(100000 + animals++);
            SolarDate date{1385 + static_cast<int>(rng() % 10), static_cast<int>(rng() % 365)};
            const int lactations = 1 + static_cast<int>(rng() % 6);
            int recSeq = 1;
            for (int lac = 1; lac <= lactations && written < rows && date.year <= 1404; ++lac) {
                const std::string zdate = date.text();
                sqlite3_bind_text(calving, 1, serial.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_text(calving, 2, zdate.c_str(), -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(calving, 3, lac - 1);
                sqlite3_bind_int(calving, 4, chance(92) ? 1 : 0);
                check(sqlite3_step(calving), h);
                sqlite3_reset(calving);
                ++calvings;
                const int recordings = 8 + static_cast<int>(rng() % 5);
                int official = 1;
                SolarDate r = date;
                for (int k = 0; k < recordings && written < rows; ++k) {
                    r.add(25 + static_cast<int>(rng() % 10));
                    if (r.year > 1405)
                        break;
                    const bool isOfficial = chance(85);
                    const std::string rdate = r.text();
                    sqlite3_bind_text(rec, 1, serial.c_str(), -1, SQLITE_TRANSIENT);
                    // A few rows carry wrong numbers on purpose.
                    if (chance(3))
                        sqlite3_bind_null(rec, 2);
                    else
                        sqlite3_bind_int(rec, 2, chance(5) ? lac + 1 + static_cast<int>(rng() % 3) : lac);
                    sqlite3_bind_text(rec, 3, rdate.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_int(rec, 4, chance(5) ? static_cast<int>(rng() % 90) : recSeq);
                    sqlite3_bind_text(rec, 5, isOfficial ? kOfficial : kTrial, -1, SQLITE_STATIC);
                    if (isOfficial && !chance(5))
                        sqlite3_bind_int(rec, 6, official);
                    else if (chance(50))
                        sqlite3_bind_null(rec, 6);
                    else
                        sqlite3_bind_int(rec, 6, static_cast<int>(rng() % 15));
                    sqlite3_bind_double(rec, 7, std::round(uniform(8, 45) * 10) / 10);
                    sqlite3_bind_double(rec, 8, std::round(uniform(2.5, 5) * 100) / 100);
                    sqlite3_bind_double(rec, 9, std::round(uniform(2.8, 4) * 100) / 100);
                    check(sqlite3_step(rec), h);
                    sqlite3_reset(rec);
                    ++written;
                    ++recSeq;
                    if (isOfficial)
                        ++official;
                }
                date = r;
                date.add(60 + static_cast<int>(rng() % 60));
            }
        }
        sqlite3_finalize(rec);
        sqlite3_finalize(calving);
        // The indexes a herd database carries besides the identity keys, as CREATE INDEX on the
        // server would make them (built after the rows, which is quicker than row by row): the
        // lactation repair finds an animal's recordings after a calving by (Serial, RDate), and
        // reads the calvings by (Serial, ZDate).
        db->exec(
            "CREATE INDEX \"FirstRec__IX_FirstRec_Serial_RDate\" ON \"FirstRec\" (\"Serial\", \"RDate\");"
            "CREATE INDEX \"zayesh__IX_zayesh_Serial_ZDate\" ON \"zayesh\" (\"Serial\", \"ZDate\")");
        db->exec("COMMIT");
        db.reset();
        registerDatabase(dataDir, database);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf(
            "herdgen: database %s in %s: %lld FirstRec rows, %lld zayesh rows, %lld animals, seed %llu, "
            "%.2f s\n",
            database.c_str(), dataDir.c_str(), written, calvings, animals, seed, secs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "herdgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
