#include "platform/linuxregistry.h"

#include "core/error.h"
#include "platform/autostartkey.h"

#include <QDir>
#include <QStandardPaths>
#include <algorithm>
#include <sqlite3.h>

namespace rimo {

QStringList registryPathNames(const QString& path)
{
    return path.split(u'\\', Qt::SkipEmptyParts);
}

namespace {

constexpr int kTextType = 1;   // REG_SZ
constexpr int kNumberType = 4; // REG_DWORD

QString lowerPath(const QStringList& names)
{
    return names.join(u'\\').toCaseFolded();
}

Error invalidType(const QString& name)
{
    return Error(QStringLiteral("Invalid data type for '%1'").arg(name));
}

Error notWritten(const QString& name)
{
    return Error(QStringLiteral("Failed to set data for '%1'").arg(name));
}

} // namespace

// One hive file. Statements are prepared per call: the calls are few and a handle shared by keys
// must not keep a statement open across another program's write.
class SqliteHive
{
public:
    explicit SqliteHive(const QString& folder, const QString& fileName)
    {
        QDir().mkpath(folder);
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(fileName));
        // Opened for writing when the file system allows it, else for reading only (SQLite falls
        // back by itself when the file is write-protected).
        if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            if (sqlite3_open_v2(path.constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
                sqlite3_close(m_db);
                m_db = nullptr;
                return;
            }
        }
        sqlite3_busy_timeout(m_db, 5000);
        m_readOnly = sqlite3_db_readonly(m_db, "main") == 1;
        if (!m_readOnly &&
            !exec("CREATE TABLE IF NOT EXISTS keys(lpath TEXT PRIMARY KEY, lparent TEXT NOT NULL,"
                  " name TEXT NOT NULL);"
                  "CREATE INDEX IF NOT EXISTS keys_parent ON keys(lparent);"
                  "CREATE TABLE IF NOT EXISTS vals(lpath TEXT NOT NULL, lname TEXT NOT NULL,"
                  " name TEXT NOT NULL, type INTEGER NOT NULL, data,"
                  " PRIMARY KEY(lpath, lname));"))
            m_readOnly = true;
    }
    ~SqliteHive() { sqlite3_close(m_db); }
    SqliteHive(const SqliteHive&) = delete;
    SqliteHive& operator=(const SqliteHive&) = delete;

    bool writable() const { return m_db && !m_readOnly; }

    bool keyExists(const QString& lpath)
    {
        if (lpath.isEmpty())
            return m_db != nullptr;
        Statement s(m_db, "SELECT 1 FROM keys WHERE lpath = ?1");
        s.bind(1, lpath);
        return s.step() == SQLITE_ROW;
    }

    // Creates the key and every missing key above it, in one transaction.
    bool createKey(const QStringList& names)
    {
        if (!writable())
            return false;
        Transaction t(*this);
        if (!t.begun())
            return false;
        for (qsizetype i = 1; i <= names.size(); ++i) {
            Statement s(m_db, "INSERT OR IGNORE INTO keys(lpath, lparent, name) VALUES(?1, ?2, ?3)");
            s.bind(1, lowerPath(names.first(i)));
            s.bind(2, lowerPath(names.first(i - 1)));
            s.bind(3, names[i - 1]);
            if (s.step() != SQLITE_DONE)
                return false;
        }
        return t.commit();
    }

    struct Value
    {
        int type = 0;
        QString text;
    };
    std::optional<Value> value(const QString& lpath, const QString& name)
    {
        if (!m_db)
            return std::nullopt;
        Statement s(m_db, "SELECT type, data FROM vals WHERE lpath = ?1 AND lname = ?2");
        s.bind(1, lpath);
        s.bind(2, name.toCaseFolded());
        if (s.step() != SQLITE_ROW)
            return std::nullopt;
        return Value{s.columnInt(0), s.columnText(1)};
    }

    // The key must still exist (another program may have deleted it since it was opened).
    bool setValue(const QString& lpath, const QString& name, int type, const QString& data, qint32 number)
    {
        if (!writable())
            return false;
        Transaction t(*this);
        if (!t.begun() || !keyExists(lpath))
            return false;
        Statement s(m_db, "INSERT INTO vals(lpath, lname, name, type, data) VALUES(?1, ?2, ?3, ?4, ?5)"
                          " ON CONFLICT(lpath, lname) DO UPDATE SET type = ?4, data = ?5");
        s.bind(1, lpath);
        s.bind(2, name.toCaseFolded());
        s.bind(3, name);
        s.bindInt(4, type);
        if (type == kNumberType)
            s.bindInt(5, number);
        else
            s.bind(5, data);
        return s.step() == SQLITE_DONE && t.commit();
    }

    QStringList names(const char* sql, const QString& lpath)
    {
        QStringList result;
        if (!m_db)
            return result;
        Statement s(m_db, sql);
        s.bind(1, lpath);
        while (s.step() == SQLITE_ROW)
            result.append(s.columnText(0));
        return result;
    }

    bool deleteTree(const QString& lpath)
    {
        if (!writable())
            return false;
        Transaction t(*this);
        if (!t.begun())
            return false;
        // The root has no path to match below: everything goes.
        const bool all = lpath.isEmpty();
        const char* sqls[] = {
            all ? "DELETE FROM keys WHERE ?1 = ''"
                : "DELETE FROM keys WHERE lpath = ?1 OR substr(lpath, 1, length(?1) + 1) = ?1 || '\\'",
            all ? "DELETE FROM vals WHERE ?1 = ''"
                : "DELETE FROM vals WHERE lpath = ?1 OR substr(lpath, 1, length(?1) + 1) = ?1 || '\\'"};
        for (const char* sql : sqls) {
            Statement s(m_db, sql);
            s.bind(1, lpath);
            if (s.step() != SQLITE_DONE)
                return false;
        }
        return t.commit();
    }

private:
    class Statement
    {
    public:
        Statement(sqlite3* db, const char* sql)
        {
            if (sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK)
                m_stmt = nullptr;
        }
        ~Statement() { sqlite3_finalize(m_stmt); }
        Statement(const Statement&) = delete;
        Statement& operator=(const Statement&) = delete;
        void bind(int index, const QString& text)
        {
            const QByteArray utf8 = text.toUtf8();
            sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()),
                              SQLITE_TRANSIENT);
        }
        void bindInt(int index, int value) { sqlite3_bind_int(m_stmt, index, value); }
        int step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
        int columnInt(int column) { return sqlite3_column_int(m_stmt, column); }
        QString columnText(int column)
        {
            const auto* text = sqlite3_column_text(m_stmt, column);
            return QString::fromUtf8(reinterpret_cast<const char*>(text),
                                     sqlite3_column_bytes(m_stmt, column));
        }

    private:
        sqlite3_stmt* m_stmt = nullptr;
    };

    // Rolled back unless committed; IMMEDIATE takes the write lock at once, so that a check made
    // inside it (the key still exists) holds until the commit.
    class Transaction
    {
    public:
        explicit Transaction(SqliteHive& hive) : m_hive(hive) { m_begun = hive.exec("BEGIN IMMEDIATE"); }
        ~Transaction()
        {
            if (m_begun && !m_done)
                m_hive.exec("ROLLBACK");
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        bool begun() const { return m_begun; }
        bool commit()
        {
            m_done = m_hive.exec("COMMIT");
            return m_done;
        }

    private:
        SqliteHive& m_hive;
        bool m_begun = false;
        bool m_done = false;
    };

    bool exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    sqlite3* m_db = nullptr;
    bool m_readOnly = true;
};

namespace {

class SqliteKey : public RegistryKey
{
public:
    SqliteKey(std::shared_ptr<SqliteHive> hive, QString lpath, bool writable)
        : m_hive(std::move(hive)), m_lpath(std::move(lpath)), m_writable(writable)
    {
    }
    std::optional<QString> readText(const QString& name) override
    {
        const auto v = m_hive->value(m_lpath, name);
        if (!v)
            return std::nullopt;
        if (v->type != kTextType)
            throw invalidType(name);
        return v->text;
    }
    void writeText(const QString& name, const QString& value) override
    {
        if (!m_writable || !m_hive->setValue(m_lpath, name, kTextType, value, 0))
            throw notWritten(name);
    }
    void writeNumber(const QString& name, qint32 value) override
    {
        if (!m_writable || !m_hive->setValue(m_lpath, name, kNumberType, {}, value))
            throw notWritten(name);
    }
    QStringList valueNames() override
    {
        return m_hive->names("SELECT name FROM vals WHERE lpath = ?1 ORDER BY rowid", m_lpath);
    }
    QStringList subkeyNames() override
    {
        return m_hive->names("SELECT name FROM keys WHERE lparent = ?1 ORDER BY lpath", m_lpath);
    }

private:
    std::shared_ptr<SqliteHive> m_hive;
    QString m_lpath;
    bool m_writable;
};

std::unique_ptr<RegistryKey> openInHive(const std::shared_ptr<SqliteHive>& hive, const QStringList& names,
                                        RegistryAccess access, bool create)
{
    const bool wantsWrite = access != RegistryAccess::Read;
    if (wantsWrite && !hive->writable())
        return nullptr;
    const QString lpath = lowerPath(names);
    if (!hive->keyExists(lpath) && !(create && hive->createKey(names)))
        return nullptr;
    return std::make_unique<SqliteKey>(hive, lpath, wantsWrite);
}

// The user's classes over the machine's: reads look at the user's key first, writes go to the
// machine's.
class MergedKey : public RegistryKey
{
public:
    MergedKey(std::unique_ptr<RegistryKey> user, std::unique_ptr<RegistryKey> machine)
        : m_user(std::move(user)), m_machine(std::move(machine))
    {
    }
    std::optional<QString> readText(const QString& name) override
    {
        if (m_user) {
            if (auto text = m_user->readText(name))
                return text;
        }
        return m_machine ? m_machine->readText(name) : std::nullopt;
    }
    void writeText(const QString& name, const QString& value) override
    {
        if (!m_machine)
            throw notWritten(name);
        m_machine->writeText(name, value);
    }
    void writeNumber(const QString& name, qint32 value) override
    {
        if (!m_machine)
            throw notWritten(name);
        m_machine->writeNumber(name, value);
    }
    QStringList valueNames() override
    {
        return merged(m_user ? m_user->valueNames() : QStringList(),
                      m_machine ? m_machine->valueNames() : QStringList());
    }
    QStringList subkeyNames() override
    {
        QStringList all = merged(m_user ? m_user->subkeyNames() : QStringList(),
                                 m_machine ? m_machine->subkeyNames() : QStringList());
        std::sort(all.begin(), all.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        return all;
    }

private:
    static QStringList merged(QStringList first, const QStringList& second)
    {
        for (const QString& name : second) {
            if (!first.contains(name, Qt::CaseInsensitive))
                first.append(name);
        }
        return first;
    }
    std::unique_ptr<RegistryKey> m_user;
    std::unique_ptr<RegistryKey> m_machine;
};

QStringList classesPath(const QStringList& names)
{
    return QStringList{QStringLiteral("Software"), QStringLiteral("Classes")} + names;
}

} // namespace

LinuxRegistry::LinuxRegistry(const LinuxRegistryFolders& folders) : m_folders(folders) {}

const std::shared_ptr<SqliteHive>& LinuxRegistry::userHive()
{
    if (!m_user)
        m_user = std::make_shared<SqliteHive>(m_folders.userHive, QStringLiteral("user.db"));
    return m_user;
}

const std::shared_ptr<SqliteHive>& LinuxRegistry::machineHive()
{
    if (!m_machine)
        m_machine = std::make_shared<SqliteHive>(m_folders.machineHive, QStringLiteral("machine.db"));
    return m_machine;
}

LinuxRegistry::~LinuxRegistry() = default;

LinuxRegistryFolders LinuxRegistry::defaultFolders()
{
    LinuxRegistryFolders f;
    f.userHive = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/rimo/registry");
    f.machineHive = QStringLiteral("/var/lib/rimo/registry");
    const QStringList dirs = qEnvironmentVariable("XDG_CONFIG_DIRS").split(u':', Qt::SkipEmptyParts);
    f.systemAutostart =
        (dirs.isEmpty() ? QStringLiteral("/etc/xdg") : dirs.first()) + QStringLiteral("/autostart");
    return f;
}

QString LinuxRegistry::runKeyPath()
{
    return QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
}

std::unique_ptr<RegistryKey> LinuxRegistry::open(RegistryRoot root, const QString& path,
                                                 RegistryAccess access, bool create)
{
    const QStringList names = registryPathNames(path);
    switch (root) {
    case RegistryRoot::CurrentUser:
        return openInHive(userHive(), names, access, create);
    case RegistryRoot::LocalMachine:
        if (lowerPath(names) == lowerPath(registryPathNames(runKeyPath())))
            return openAutostartKey(m_folders.systemAutostart, access);
        return openInHive(machineHive(), names, access, create);
    case RegistryRoot::ClassesRoot: {
        const QStringList full = classesPath(names);
        auto machine = openInHive(machineHive(), full, access, create);
        if (access != RegistryAccess::Read && !machine)
            return nullptr;
        auto user = openInHive(userHive(), full, RegistryAccess::Read, false);
        if (!user && !machine)
            return nullptr;
        return std::make_unique<MergedKey>(std::move(user), std::move(machine));
    }
    }
    return nullptr;
}

bool LinuxRegistry::deleteTree(RegistryRoot root, const QString& path)
{
    const QStringList names = registryPathNames(path);
    switch (root) {
    case RegistryRoot::CurrentUser:
        return userHive()->deleteTree(lowerPath(names));
    case RegistryRoot::LocalMachine:
        return machineHive()->deleteTree(lowerPath(names));
    case RegistryRoot::ClassesRoot:
        return machineHive()->deleteTree(lowerPath(classesPath(names)));
    }
    return false;
}

} // namespace rimo
