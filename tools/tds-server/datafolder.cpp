// The data folder: one SQLite file per database, and the registry of database names and ids kept in
// master.
#include "tools/tds-server/storage.h"

#include "tools/tds-server/servererror.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

namespace rimo::tds {

namespace {

std::mutex g_registryMutex;

std::unique_ptr<Database> openMaster(const std::string& dataDir)
{
    auto master = Database::open(databasePath(dataDir, "master"), "master", true);
    master->exec("CREATE TABLE IF NOT EXISTS rimo_databases(name nvarchar(128) COLLATE RIMO_CI PRIMARY KEY, "
                 "dbid smallint); INSERT OR IGNORE INTO rimo_databases VALUES('master', 1);"
                 "CREATE TABLE IF NOT EXISTS rimo_logins(name nvarchar(128) COLLATE RIMO_CI PRIMARY KEY, "
                 "password nvarchar(128) NOT NULL);");
    return master;
}

} // namespace

bool validDatabaseName(std::string_view name)
{
    if (name.empty() || name.size() > 128 || name == "." || name == "..")
        return false;
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

std::string databasePath(const std::string& dataDir, std::string_view name)
{
    return dataDir + "/" + lowerAscii(name) + ".sqlite";
}

bool databaseExists(const std::string& dataDir, std::string_view name)
{
    std::error_code ec;
    return validDatabaseName(name) && std::filesystem::exists(databasePath(dataDir, name), ec);
}

void ensureMaster(const std::string& dataDir)
{
    std::lock_guard lock(g_registryMutex);
    std::filesystem::create_directories(dataDir);
    openMaster(dataDir);
}

void registerDatabase(const std::string& dataDir, std::string_view name)
{
    std::lock_guard lock(g_registryMutex);
    auto master = openMaster(dataDir);
    master->exec("INSERT OR IGNORE INTO rimo_databases SELECT " + sqliteLiteral(name) +
                 ", max(4, (SELECT max(dbid) FROM rimo_databases)) + 1");
}

void unregisterDatabase(const std::string& dataDir, std::string_view name)
{
    std::lock_guard lock(g_registryMutex);
    auto master = openMaster(dataDir);
    master->exec("DELETE FROM rimo_databases WHERE name = " + sqliteLiteral(name));
}

void createLogin(const std::string& dataDir, std::string_view name, std::string_view password)
{
    if (name.empty() || name.size() > 128 || name.find('\\') != std::string_view::npos)
        throw ServerError(15006, 16,
                          "'" + std::string(name) +
                              "' is not a valid name because it contains invalid characters.");
    std::lock_guard lock(g_registryMutex);
    auto master = openMaster(dataDir);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(master->handle(), "INSERT OR IGNORE INTO rimo_logins VALUES(?1, ?2)", -1, &st,
                       nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, password.data(), static_cast<int>(password.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw ServerError(15025, 16,
                          "The server principal '" + std::string(name) + "' could not be created.");
    if (lowerAscii(name) == "sa" || sqlite3_changes(master->handle()) == 0)
        throw ServerError(15025, 16, "The server principal '" + std::string(name) + "' already exists.");
}

bool loginAccepted(const std::string& dataDir, std::string_view name, std::string_view password,
                   std::string_view saPassword)
{
    if (lowerAscii(name) == "sa")
        return password == saPassword;
    std::lock_guard lock(g_registryMutex);
    auto master = openMaster(dataDir);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(master->handle(), "SELECT password FROM rimo_logins WHERE name = ?1", -1, &st,
                       nullptr);
    sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    bool ok = false;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const int size = sqlite3_column_bytes(st, 0);
        ok = text && std::string_view(text, static_cast<size_t>(size)) == password;
    }
    sqlite3_finalize(st);
    return ok;
}

std::vector<DatabaseEntry> listDatabases(const std::string& dataDir)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dataDir, ec)) {
        const std::string fn = e.path().filename().string();
        if (fn.size() > 7 && fn.compare(fn.size() - 7, 7, ".sqlite") == 0)
            files.push_back(fn.substr(0, fn.size() - 7));
    }
    std::vector<DatabaseEntry> out;
    std::lock_guard lock(g_registryMutex);
    auto master = openMaster(dataDir);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(master->handle(), "SELECT name, dbid FROM rimo_databases ORDER BY dbid", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        out.push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), sqlite3_column_int(st, 1)});
    sqlite3_finalize(st);
    int next = 5;
    for (const auto& d : out)
        next = std::max(next, d.dbid + 1);
    // Registered names whose file is gone are left out; files nobody registered are added.
    std::vector<DatabaseEntry> live;
    for (const auto& d : out)
        if (std::find(files.begin(), files.end(), lowerAscii(d.name)) != files.end())
            live.push_back(d);
    for (const auto& f : files) {
        const bool known = std::any_of(live.begin(), live.end(),
                                       [&](const DatabaseEntry& d) { return lowerAscii(d.name) == f; });
        if (!known) {
            master->exec("INSERT OR IGNORE INTO rimo_databases VALUES(" + sqliteLiteral(f) + "," +
                         std::to_string(next) + ")");
            live.push_back({f, next++});
        }
    }
    return live;
}

} // namespace rimo::tds
