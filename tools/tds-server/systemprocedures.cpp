// The session's system procedures sp_getapplock and sp_releaseapplock and the functions APPLOCK_MODE and
// APPLOCK_TEST, over the server's application locks (applocks.h). Their arguments, messages and return
// values are SQL Server's: a call that names a parameter the procedure lacks, or lacks one it needs, fails
// as any procedure call does; a value the procedure cannot use gives its message and return value -999.
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/resulttokens.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/session.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

namespace rimo::tds {

namespace {

constexpr int kParameterError = -999;

// The database principals every database has; application locks name one of them (public by default).
constexpr std::string_view kPrincipals[] = {"public",
                                            "dbo",
                                            "guest",
                                            "db_owner",
                                            "db_accessadmin",
                                            "db_securityadmin",
                                            "db_ddladmin",
                                            "db_backupoperator",
                                            "db_datareader",
                                            "db_datawriter",
                                            "db_denydatareader",
                                            "db_denydatawriter"};

bool knownPrincipal(const std::string& name)
{
    const std::string lower = lowerAscii(name);
    return std::any_of(std::begin(kPrincipals), std::end(kPrincipals),
                       [&](std::string_view p) { return lower == p; });
}

// A procedure's parameters in order, and whether each must be given.
struct Parameter
{
    std::string_view name;
    bool required;
};

constexpr std::array<Parameter, 5> kGetAppLock = {{{"@Resource", false},
                                                   {"@LockMode", true},
                                                   {"@LockOwner", false},
                                                   {"@LockTimeout", false},
                                                   {"@DbPrincipal", false}}};
constexpr std::array<Parameter, 3> kReleaseAppLock = {
    {{"@Resource", false}, {"@LockOwner", false}, {"@DbPrincipal", false}}};

// The arguments bound to a procedure's parameters, as SQL Server binds a call: by name or by position.
template <size_t N>
std::array<const Value*, N> bindArguments(const char* procedure, const std::array<Parameter, N>& parameters,
                                          const std::vector<Session::CallArgument>& args)
{
    std::array<const Value*, N> bound{};
    bool named = false;
    for (size_t i = 0; i < args.size(); ++i) {
        size_t k = N;
        if (args[i].name.empty()) {
            if (named)
                throw ServerError(
                    119, 15,
                    "Must pass parameter number " + std::to_string(i + 1) +
                        " and subsequent parameters as '@name = value'. After the form '@name = "
                        "value' has been used, all subsequent parameters must be passed in the "
                        "form '@name = value'.");
            if (i >= N)
                throw ServerError(8144, 16,
                                  std::string("Procedure or function ") + procedure +
                                      " has too many arguments specified.");
            k = i;
        } else {
            named = true;
            for (size_t j = 0; j < N; ++j)
                if (lowerAscii(parameters[j].name) == lowerAscii(args[i].name))
                    k = j;
            if (k == N)
                throw ServerError(8145, 16,
                                  args[i].name + " is not a parameter for procedure " + procedure + ".");
            if (bound[k])
                throw ServerError(8143, 16,
                                  "Parameter '" + std::string(parameters[k].name) +
                                      "' was supplied multiple times.");
        }
        bound[k] = &args[i].value;
    }
    for (size_t j = 0; j < N; ++j)
        if (parameters[j].required && !bound[j])
            throw ServerError(201, 16,
                              std::string("Procedure or function '") + procedure + "' expects parameter '" +
                                  std::string(parameters[j].name) + "', which was not supplied.");
    return bound;
}

// A value as text, as a character parameter receives it; nullopt for NULL.
std::optional<std::string> textOf(const Value* v)
{
    if (!v || v->kind == Value::Null)
        return std::nullopt;
    switch (v->kind) {
    case Value::Int:
        return std::to_string(v->i);
    case Value::Float: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v->d);
        return std::string(buf);
    }
    default:
        return v->s;
    }
}

// The first `units` UTF-16 units of a text, as an nvarchar(n) parameter keeps it.
std::string cutToUnits(const std::string& text, size_t units)
{
    size_t used = 0;
    size_t i = 0;
    while (i < text.size()) {
        size_t next = i;
        const char32_t c = decodeUtf8(text, next);
        const size_t width = c > 0xFFFF ? 2 : 1;
        if (used + width > units)
            break;
        used += width;
        i = next;
    }
    return text.substr(0, i);
}

// Transaction (true), Session (false), or nullopt for any other owner name.
std::optional<bool> ownerOf(const std::string& text)
{
    std::string t = lowerAscii(text);
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    if (t == "transaction")
        return true;
    if (t == "session")
        return false;
    return std::nullopt;
}

} // namespace

bool Session::inTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db->handle());
}

void Session::releaseTransactionLocks()
{
    if (m_transactionLocks && !inTransaction()) {
        m_locks.releaseAll(m_sessionId, true);
        m_transactionLocks = false;
    }
}

int Session::getAppLock(const std::vector<CallArgument>& args, bool& failed)
{
    const auto a = bindArguments("sp_getapplock", kGetAppLock, args);
    m_done.flush(true);
    auto info = [&](int number, const std::string& text) {
        m_writer.message(false, number, 1, 0, text, "sp_getapplock");
        return kParameterError;
    };
    auto error = [&](int number, const std::string& text) {
        m_writer.message(true, number, 1, 16, text, "sp_getapplock");
        failed = true;
        return kParameterError;
    };
    const auto modeText = textOf(a[1]);
    const auto mode = modeText ? AppLocks::parseMode(*modeText) : std::nullopt;
    if (!mode)
        return info(15625,
                    "Option '" + modeText.value_or("") + "' not recognized for '@LockMode' parameter.");
    const std::string ownerText = textOf(a[2]).value_or("Transaction");
    const auto transaction = ownerOf(ownerText);
    if (!transaction)
        return info(15625, "Option '" + ownerText + "' not recognized for '@LockOwner' parameter.");
    // The time-out is an int; NULL or none is @@LOCK_TIMEOUT, which is -1 (wait without end).
    int64_t timeout = -1;
    if (a[3] && a[3]->kind != Value::Null) {
        if (a[3]->kind == Value::Int) {
            timeout = a[3]->i;
        } else {
            const std::string t = textOf(a[3]).value_or("");
            char* end = nullptr;
            timeout = std::strtoll(t.c_str(), &end, 10);
            if (t.empty() || *end != '\0')
                return error(8114, "Error converting data type varchar to int.");
        }
        if (timeout < INT32_MIN || timeout > INT32_MAX)
            return error(8115, "Arithmetic overflow error converting expression to data type int.");
        if (timeout < -1)
            return error(1227, "An invalid application lock time-out was passed to xp_userlock.");
    }
    if (*transaction && !inTransaction())
        return info(15626, "You attempted to acquire a transactional application lock without an active "
                           "transaction.");
    const auto resource = textOf(a[0]);
    if (!resource)
        return error(1224, "An invalid application lock resource was passed to xp_userlock.");
    const std::string principal = textOf(a[4]).value_or("public");
    if (!a[4] || a[4]->kind != Value::Null) {
        if (!knownPrincipal(principal))
            return error(1202, "The database-principal '" + principal +
                                   "' does not exist or user is not a member.");
    } else {
        return error(1230, "An invalid database principal was passed to xp_userlock.");
    }
    const AppLocks::Key key{lowerAscii(m_dbName), lowerAscii(principal), cutToUnits(*resource, 255)};
    const auto outcome = m_locks.acquire(key, AppLocks::Owner{m_sessionId, *transaction}, *mode, timeout,
                                         [this] { return interrupted(); });
    if (outcome == AppLocks::Outcome::Granted || outcome == AppLocks::Outcome::GrantedAfterWaiting)
        m_transactionLocks |= *transaction;
    return static_cast<int>(outcome);
}

int Session::releaseAppLock(const std::vector<CallArgument>& args, bool& failed)
{
    const auto a = bindArguments("sp_releaseapplock", kReleaseAppLock, args);
    m_done.flush(true);
    auto error = [&](int number, const std::string& text) {
        m_writer.message(true, number, 1, 16, text, "sp_releaseapplock");
        failed = true;
        return kParameterError;
    };
    const std::string ownerText = textOf(a[1]).value_or("Transaction");
    const auto transaction = ownerOf(ownerText);
    if (!transaction) {
        m_writer.message(false, 15625, 1, 0,
                         "Option '" + ownerText + "' not recognized for '@LockOwner' parameter.",
                         "sp_releaseapplock");
        return kParameterError;
    }
    const auto resource = textOf(a[0]);
    if (!resource)
        return error(1224, "An invalid application lock resource was passed to xp_userlock.");
    if (a[2] && a[2]->kind == Value::Null)
        return error(1230, "An invalid database principal was passed to xp_userlock.");
    const std::string principal = textOf(a[2]).value_or("public");
    if (!knownPrincipal(principal))
        return error(1202,
                     "The database-principal '" + principal + "' does not exist or user is not a member.");
    const std::string name = cutToUnits(*resource, 255);
    const AppLocks::Key key{lowerAscii(m_dbName), lowerAscii(principal), name};
    if (!m_locks.release(key, AppLocks::Owner{m_sessionId, *transaction}))
        return error(1223, "Cannot release the application lock (Database Principal: '" + principal +
                               "', Resource: '" + name + "') because it is not currently held.");
    return 0;
}

bool Session::appLockOf(sqlite3_context* c, sqlite3_value** argv, int ownerArg, const char* function,
                        AppLocks::Key& key, bool& transaction) const
{
    auto text = [&](int i) -> std::optional<std::string> {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return std::nullopt;
        return std::string(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                           static_cast<size_t>(sqlite3_value_bytes(argv[i])));
    };
    auto fail = [&](const std::string& message) {
        const std::string m = "rimo:" + message;
        sqlite3_result_error(c, m.c_str(), static_cast<int>(m.size()));
        return false;
    };
    const auto principal = text(0);
    const auto resource = text(1);
    if (!principal)
        return fail("1230:An invalid database principal was passed to " + std::string(function) + ".");
    if (!knownPrincipal(*principal))
        return fail("1202:The database-principal '" + *principal +
                    "' does not exist or user is not a member.");
    if (!resource)
        return fail("1224:An invalid application lock resource was passed to " + std::string(function) + ".");
    const auto owner = ownerOf(text(ownerArg).value_or(""));
    if (!owner)
        return fail("1226:An invalid application lock owner was passed to " + std::string(function) + ".");
    key = AppLocks::Key{lowerAscii(m_dbName), lowerAscii(*principal), cutToUnits(*resource, 255)};
    transaction = *owner;
    return true;
}

void Session::appLockModeFunction(sqlite3_context* c, int, sqlite3_value** argv)
{
    const auto* s = static_cast<Session*>(sqlite3_user_data(c));
    AppLocks::Key key;
    bool transaction = false;
    if (!s->appLockOf(c, argv, 2, "APPLOCK_MODE", key, transaction))
        return;
    const uint8_t held = transaction && !s->inTransaction()
                             ? 0
                             : s->m_locks.held(key, AppLocks::Owner{s->m_sessionId, transaction});
    sqlite3_result_text(c, AppLocks::modeName(held), -1, SQLITE_STATIC);
}

void Session::appLockTestFunction(sqlite3_context* c, int, sqlite3_value** argv)
{
    const auto* s = static_cast<Session*>(sqlite3_user_data(c));
    AppLocks::Key key;
    bool transaction = false;
    if (!s->appLockOf(c, argv, 3, "APPLOCK_TEST", key, transaction))
        return;
    const auto mode = sqlite3_value_type(argv[2]) == SQLITE_NULL
                          ? std::nullopt
                          : AppLocks::parseMode(reinterpret_cast<const char*>(sqlite3_value_text(argv[2])));
    auto fail = [&](const std::string& message) {
        const std::string m = "rimo:" + message;
        sqlite3_result_error(c, m.c_str(), static_cast<int>(m.size()));
    };
    if (!mode)
        return fail("1225:An invalid application lock mode was passed to APPLOCK_TEST.");
    if (transaction && !s->inTransaction())
        return fail(
            "40000:APPLOCK_TEST for the Transaction owner outside a transaction is not supported by the "
            "test server.");
    sqlite3_result_int(c, s->m_locks.grantable(key, AppLocks::Owner{s->m_sessionId, transaction}, *mode) ? 1
                                                                                                         : 0);
}

void Session::registerAppLockFunctions()
{
    sqlite3* h = m_db->handle();
    sqlite3_create_function(h, "rimo_applock_mode", 3, SQLITE_UTF8, this, appLockModeFunction, nullptr,
                            nullptr);
    sqlite3_create_function(h, "rimo_applock_test", 4, SQLITE_UTF8, this, appLockTestFunction, nullptr,
                            nullptr);
}

} // namespace rimo::tds
