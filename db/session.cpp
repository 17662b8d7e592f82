#include "db/session.h"

#include "core/error.h"
#include "db/instanceport.h"

#include <sybdb.h>

#include <QHostInfo>
#include <QRegularExpression>

#include <QDeadlineTimer>

#include <csignal>
#include <cstring>
#include <ctime>
#include <deque>
#include <sys/syscall.h>
#include <unistd.h>

namespace rimo::db {

namespace {

constexpr int kXsybNVarChar = 231; // nvarchar on the wire (TDS 7), converted from the client's UTF-8
constexpr int kNVarCharMaxChars = 4000;

// Adds a text parameter. db-lib cuts an nvarchar parameter to 4000 characters without a word, so
// longer texts go as ntext, which FreeTDS sends as nvarchar(max). `keep` holds the bytes until the
// call is sent. An empty text arrives as NULL: db-lib cannot send an empty one.
RETCODE addTextParam(DBPROCESS* proc, const char* name, const QString& value, std::vector<QByteArray>& keep)
{
    keep.push_back(value.toUtf8());
    QByteArray& b = keep.back();
    const int type = value.size() > kNVarCharMaxChars ? SYBNTEXT : kXsybNVarChar;
    return dbrpcparam(proc, name, 0, type, -1, static_cast<DBINT>(b.size()),
                      b.isEmpty() ? nullptr : reinterpret_cast<BYTE*>(b.data()));
}

// The same for text already in UTF-8 (it must live until the call is sent).
RETCODE addUtf8Param(DBPROCESS* proc, const char* name, const Utf8Text& value)
{
    const int type = value.characters > kNVarCharMaxChars ? SYBNTEXT : kXsybNVarChar;
    // db-lib only reads the value; its parameter is not const.
    BYTE* data =
        value.bytes.isEmpty() ? nullptr : reinterpret_cast<BYTE*>(const_cast<char*>(value.bytes.constData()));
    return dbrpcparam(proc, name, 0, type, -1, static_cast<DBINT>(value.bytes.size()), data);
}

// Everything runs on the user-interface thread, one call at a time, so the messages of the
// call in progress can be collected in one place.
struct Messages
{
    QStringList server;  // severity > 10
    QStringList library; // db-lib's own errors
    bool timedOut = false;
    void clear()
    {
        server.clear();
        library.clear();
        timedOut = false;
    }
};
Messages g_messages;

int messageHandler(DBPROCESS*, DBINT msgno, int, int severity, char* msgtext, char*, char*, int)
{
    if (severity > 10 || msgno == 18456)
        g_messages.server << QString::fromUtf8(msgtext ? msgtext : "");
    return 0;
}

int errorHandler(DBPROCESS*, int, int dberr, int, char* dberrstr, char* oserrstr)
{
    if (dberr == SYBESMSG)
        return INT_CANCEL; // "check messages from the server": the message handler has the text
    QString text = QString::fromUtf8(dberrstr ? dberrstr : "");
    if (oserrstr && *oserrstr && qstrcmp(oserrstr, "Success") != 0)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(oserrstr));
    g_messages.library << text;
    if (dberr == SYBETIME)
        g_messages.timedOut = true;
    // Never INT_EXIT (that would end the process): the failing call returns FAIL instead.
    return INT_CANCEL;
}

void initLibrary()
{
    static const bool done = [] {
        if (dbinit() == FAIL)
            throw Error(QStringLiteral("FreeTDS db-lib could not be initialised"));
        dberrhandle(errorHandler);
        dbmsghandle(messageHandler);
        return true;
    }();
    (void)done;
}

// The call that is waiting for the server, if any.
struct WaitState
{
    bool active = false;
    int timeoutSeconds = 0;
    QDeadlineTimer deadline;
    bool timedOut = false;
    bool abandoned = false;
    bool inHook = false;
};
WaitState g_wait;
WaitHooks g_hooks;

// db-lib looks at its interrupt check once a second while it waits, and at once when the wait is
// interrupted by a signal. A timer signal to this thread alone, ten times a second while a call
// waits, lets the windows repaint smoothly and the exit button act within a fraction of a second.
const int kTickSignal = SIGRTMIN + 3;
timer_t g_ticks{};
bool g_ticksMade = false;
bool g_ticksOn = false;
int g_ticksHeld = 0; // KeepWaitTicks alive: the ticks run from one call to the next

void onTick(int) {}

void setTicks(bool on)
{
    if (on == g_ticksOn)
        return;
    if (!g_ticksMade) {
        struct sigaction sa
        {
        };
        sa.sa_handler = onTick;
        sigemptyset(&sa.sa_mask);
        // A tick between two calls restarts the system call it lands in. The poll db-lib waits in
        // is never restarted, whatever the flag: it returns to db-lib's loop, which asks
        // checkInterrupt.
        sa.sa_flags = SA_RESTART;
        sigaction(kTickSignal, &sa, nullptr);
        sigevent ev{};
        ev.sigev_notify = SIGEV_THREAD_ID;
        ev.sigev_signo = kTickSignal;
        ev._sigev_un._tid = static_cast<pid_t>(::syscall(SYS_gettid));
        if (timer_create(CLOCK_MONOTONIC, &ev, &g_ticks) != 0)
            return;
        g_ticksMade = true;
    }
    itimerspec period{};
    if (on) {
        period.it_value.tv_nsec = 100'000'000;
        period.it_interval.tv_nsec = 100'000'000;
    }
    if (timer_settime(g_ticks, 0, &period, nullptr) == 0)
        g_ticksOn = on;
}

int checkInterrupt(void*)
{
    if (!g_wait.active || g_wait.inHook)
        return FALSE;
    if (g_hooks.whileWaiting) {
        // The windows may run other code meanwhile; no tick interrupts it.
        g_wait.inHook = true;
        setTicks(false);
        const WaitState saved = g_wait;
        g_hooks.whileWaiting();
        g_wait = saved;
        setTicks(true);
        g_wait.inHook = false;
    }
    if (g_hooks.abandon && g_hooks.abandon()) {
        g_wait.abandoned = true;
        return TRUE;
    }
    if (g_wait.timeoutSeconds > 0 && g_wait.deadline.hasExpired()) {
        g_wait.timedOut = true;
        return TRUE;
    }
    return FALSE;
}

// db-lib then stops waiting and, as after its own time-out, closes the connection: a server
// that does not answer is never waited for again, and no cancel is sent that it would not read.
int handleInterrupt(void*)
{
    return INT_CANCEL;
}

// Marks the call of its lifetime as the one waiting for the server.
class WaitScope
{
public:
    explicit WaitScope(int timeoutSeconds) : m_saved(g_wait)
    {
        g_wait = WaitState{};
        g_wait.active = true;
        g_wait.timeoutSeconds = timeoutSeconds;
        g_wait.deadline = timeoutSeconds > 0 ? QDeadlineTimer(std::chrono::seconds(timeoutSeconds))
                                             : QDeadlineTimer(QDeadlineTimer::Forever);
        // Ticks already running (a KeepWaitTicks) stay as they are.
        m_ticking = static_cast<bool>(g_hooks.whileWaiting) && !m_saved.active && !g_ticksOn;
        if (m_ticking)
            setTicks(true);
    }
    ~WaitScope()
    {
        if (m_ticking)
            setTicks(false);
        g_wait = m_saved;
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

private:
    WaitState m_saved;
    bool m_ticking = false;
};

QString collectedText(const QString& fallback)
{
    if (g_wait.timedOut)
        return QStringLiteral("The server did not answer within %1 seconds. The statement was abandoned "
                              "and the connection closed.")
            .arg(g_wait.timeoutSeconds);
    if (g_wait.abandoned)
        return QStringLiteral("The statement was abandoned while waiting for the server, and the "
                              "connection closed.");
    if (!g_messages.server.isEmpty())
        return g_messages.server.join(u'\n');
    if (!g_messages.library.isEmpty())
        return g_messages.library.join(u'\n');
    return fallback;
}

} // namespace

void setWaitHooks(WaitHooks hooks)
{
    g_hooks = std::move(hooks);
}

KeepWaitTicks::KeepWaitTicks()
{
    if (g_ticksHeld++ == 0 && g_hooks.whileWaiting && !g_wait.active)
        setTicks(true);
}

KeepWaitTicks::~KeepWaitTicks()
{
    if (--g_ticksHeld == 0 && !g_wait.active)
        setTicks(false);
}

QString freetdsServerName(const QString& server)
{
    QString s = server.trimmed();
    static const QRegularExpression commaPort(QStringLiteral("^(.*),\\s*(\\d+)$"));
    if (const auto m = commaPort.match(s); m.hasMatch())
        s = m.captured(1).trimmed() + u':' + m.captured(2);
    QString host = s;
    QString rest;
    const qsizetype sep = s.indexOf(QRegularExpression(QStringLiteral("[:\\\\]")));
    if (sep >= 0) {
        host = s.left(sep);
        rest = s.mid(sep);
    }
    if (host == u"." || host.compare(u"(local)", Qt::CaseInsensitive) == 0)
        host = QStringLiteral("127.0.0.1");
    return host + rest;
}

std::unique_ptr<Session> Session::open(const LoginSettings& settings)
{
    if (settings.server.trimmed().isEmpty())
        throw Error(QStringLiteral("No server name was given for the connection."));
    if (settings.user.trimmed().isEmpty())
        throw Error(QStringLiteral("No user name was given for the connection."));
    initLibrary();
    g_messages.clear();
    QString name = freetdsServerName(settings.server);
    if (const qsizetype slash = name.indexOf(u'\\'); slash > 0 && !name.contains(u':')) {
        // The instance's port is asked for here, within the login time-out.
        const QString host = name.left(slash);
        const int port = lookUpInstancePort(host, name.mid(slash + 1), settings.loginTimeoutSeconds * 1000,
                                            settings.browserPort);
        name = host + u':' + QString::number(port);
    }
    const QByteArray server = name.toUtf8();

    LOGINREC* login = dblogin();
    if (!login)
        throw Error(collectedText(QStringLiteral("Out of memory creating a login record")));
    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray database = settings.database.toUtf8();
    const QByteArray host = QHostInfo::localHostName().toUtf8();
    DBSETLUSER(login, user.constData());
    DBSETLPWD(login, password.constData());
    DBSETLAPP(login, "Rimo1");
    DBSETLHOST(login, host.constData());
    DBSETLCHARSET(login, "UTF-8");
    if (!database.isEmpty())
        DBSETLDBNAME(login, database.constData());
    dbsetlversion(login, DBVERSION_74);
    dbsetlogintime(settings.loginTimeoutSeconds);

    DBPROCESS* proc = dbopen(login, server.constData());
    dbloginfree(login);
    if (!proc)
        throw Error(collectedText(QStringLiteral("Cannot connect to the server %1").arg(settings.server)));

    dbsetinterrupt(proc, checkInterrupt, handleInterrupt);
    std::unique_ptr<Session> session(new Session);
    session->m_proc = proc;
    session->m_statementTimeoutSeconds = settings.statementTimeoutSeconds;
    return session;
}

Session::~Session()
{
    if (m_proc)
        dbclose(m_proc);
}

bool Session::dead() const
{
    return !m_proc || dbdead(m_proc);
}

void Session::fail(const QString& fallback)
{
    const QString text = collectedText(fallback);
    if (m_proc && !dbdead(m_proc))
        dbcancel(m_proc); // leave the connection ready for the next call
    throw Error(text);
}

std::vector<ColumnInfo> describeColumns(DBPROCESS* proc)
{
    const int n = dbnumcols(proc);
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(n));
    for (int i = 1; i <= n; ++i) {
        ColumnInfo& c = columns[static_cast<std::size_t>(i - 1)];
        c.name = QString::fromUtf8(dbcolname(proc, i));
        c.type = dbcoltype(proc, i);
        DBCOL2 info{};
        info.SizeOfStruct = sizeof info;
        if (dbcolinfo(proc, CI_REGULAR, i, 0, reinterpret_cast<DBCOL*>(&info)) == SUCCEED) {
            c.serverType = info.ServerType;
            c.maxLength = info.MaxLength;
            c.precision = info.Precision;
            c.scale = info.Scale;
            c.nullable = info.Null != 0;
            c.identity = info.Identity != 0;
            c.timestamp = info.UserType == 80; // timestamp/rowversion columns
        } else {
            c.maxLength = dbcollen(proc, i);
        }
        // db-lib does not tell char from varchar (fixedChar): tables learn it from the catalogue
    }
    return columns;
}

qint64 Session::drainResults(ResultSink* sink)
{
    qint64 count = -1;
    bool failed = false;
    for (;;) {
        const RETCODE rc = dbresults(m_proc);
        if (rc == NO_MORE_RESULTS)
            break;
        if (rc == FAIL) {
            failed = true;
            if (dbdead(m_proc))
                break;
            continue;
        }
        const int ncols = dbnumcols(m_proc);
        if (ncols > 0) {
            if (sink)
                sink->columns(describeColumns(m_proc));
            for (;;) {
                const STATUS st = dbnextrow(m_proc);
                if (st == NO_MORE_ROWS)
                    break;
                if (st == FAIL || st == BUF_FULL) {
                    failed = true;
                    break;
                }
                if (st == REG_ROW && sink)
                    sink->row(m_proc, ncols);
            }
            if (failed && dbdead(m_proc))
                break;
        }
        const DBINT c = dbcount(m_proc);
        if (c >= 0)
            count = c;
    }
    if (failed || !g_messages.server.isEmpty() || dbdead(m_proc))
        fail(dbdead(m_proc) ? QStringLiteral("The connection to the server was lost")
                            : QStringLiteral("The statement failed"));
    return count;
}

qint64 Session::execBatch(const QString& sql, ResultSink* sink)
{
    if (dead())
        throw Error(QStringLiteral("The connection to the server is closed"));
    g_messages.clear();
    const WaitScope wait(m_statementTimeoutSeconds);
    const QByteArray text = sql.toUtf8();
    if (dbcmd(m_proc, text.constData()) == FAIL)
        fail(QStringLiteral("The statement could not be prepared for sending"));
    if (dbsqlexec(m_proc) == FAIL) {
        // The first statement failed; later statements of the batch may still have results.
        if (dbdead(m_proc))
            fail(QStringLiteral("The connection to the server was lost"));
        drainResults(nullptr);
        fail(QStringLiteral("The statement failed"));
    }
    return drainResults(sink);
}

qint64 Session::finishRpc(bool paramsOk, ResultSink* sink)
{
    if (!paramsOk || dbrpcsend(m_proc) == FAIL || dbsqlok(m_proc) == FAIL) {
        if (!paramsOk)
            dbrpcinit(m_proc, "", DBRPCRESET); // drop the half-built call
        else if (!dbdead(m_proc))
            drainResults(nullptr);
        fail(dbdead(m_proc) ? QStringLiteral("The connection to the server was lost")
                            : QStringLiteral("The call failed"));
    }
    return drainResults(sink);
}

namespace {
// "@P1", "@P2", ...: named once for the life of the process, since every call sends them.
const char* positionalName(std::size_t i)
{
    static std::deque<QByteArray> names;
    while (names.size() <= i)
        names.push_back("@P" + QByteArray::number(static_cast<qulonglong>(names.size() + 1)));
    return names[i].constData();
}
} // namespace

qint64 Session::execSql(const QString& statement, const QString& declarations,
                        const std::vector<RpcParam>& params, ResultSink* sink, const QStringList& names)
{
    const Utf8Text text{statement.toUtf8(), statement.size()};
    const Utf8Text declared{declarations.toUtf8(), declarations.size()};
    if (names.isEmpty())
        return execSql(text, declared, params, sink);
    std::vector<QByteArray> nameBytes;
    nameBytes.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& n : names)
        nameBytes.push_back(n.toUtf8());
    return runSql(text, declared, params, sink, nameBytes);
}

qint64 Session::execSql(const Utf8Text& statement, const Utf8Text& declarations,
                        const std::vector<RpcParam>& params, ResultSink* sink)
{
    return runSql(statement, declarations, params, sink, {});
}

qint64 Session::runSql(const Utf8Text& statement, const Utf8Text& declarations,
                       const std::vector<RpcParam>& params, ResultSink* sink,
                       const std::vector<QByteArray>& names)
{
    if (dead())
        throw Error(QStringLiteral("The connection to the server is closed"));
    g_messages.clear();
    const WaitScope wait(m_statementTimeoutSeconds);
    // The values must live until the call is sent; the scratch space is kept from call to call.
    m_keep.clear();
    m_numbers.resize(params.size());
    if (dbrpcinit(m_proc, "sp_executesql", 0) == FAIL)
        fail(QStringLiteral("The call could not be prepared"));
    bool ok = addUtf8Param(m_proc, "@stmt", statement) != FAIL;
    if (ok && !params.empty())
        ok = addUtf8Param(m_proc, "@params", declarations) != FAIL;
    for (std::size_t i = 0; ok && i < params.size(); ++i) {
        const RpcParam& p = params[i];
        const char* pname = i < names.size() ? names[i].constData() : positionalName(i);
        switch (p.kind) {
        case RpcParam::Kind::Null:
            ok = dbrpcparam(m_proc, pname, 0, kXsybNVarChar, -1, 0, nullptr) != FAIL;
            break;
        case RpcParam::Kind::Text:
            ok = addTextParam(m_proc, pname, p.text, m_keep) != FAIL;
            break;
        case RpcParam::Kind::Int:
            std::memcpy(m_numbers[i].bytes, &p.integer, 8);
            ok = dbrpcparam(m_proc, pname, 0, SYBINT8, -1, -1, m_numbers[i].bytes) != FAIL;
            break;
        case RpcParam::Kind::Float:
            std::memcpy(m_numbers[i].bytes, &p.real, 8);
            ok = dbrpcparam(m_proc, pname, 0, SYBFLT8, -1, -1, m_numbers[i].bytes) != FAIL;
            break;
        case RpcParam::Kind::Raw: {
            // `params` outlives the call; db-lib only reads the bytes.
            const bool fixed = isFixedWidthType(p.rawType);
            ok = dbrpcparam(m_proc, pname, 0, p.rawType, -1, fixed ? -1 : static_cast<DBINT>(p.raw.size()),
                            reinterpret_cast<BYTE*>(const_cast<char*>(p.raw.constData()))) != FAIL;
            break;
        }
        }
    }
    return finishRpc(ok, sink);
}

void Session::prepareSql(const QString& statement, const QString& declarations)
{
    if (dead())
        throw Error(QStringLiteral("The connection to the server is closed"));
    g_messages.clear();
    const WaitScope wait(m_statementTimeoutSeconds);
    std::vector<QByteArray> buffers;
    DBINT handle = 0;
    if (dbrpcinit(m_proc, "sp_prepare", 0) == FAIL)
        fail(QStringLiteral("The call could not be prepared"));
    // By position, as the procedure is documented: handle OUTPUT, params, stmt. No declarations
    // (a statement without parameters) go as NULL.
    bool ok =
        dbrpcparam(m_proc, nullptr, DBRPCRETURN, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&handle)) != FAIL;
    ok = ok && addTextParam(m_proc, nullptr, declarations, buffers) != FAIL;
    ok = ok && addTextParam(m_proc, nullptr, statement, buffers) != FAIL;
    finishRpc(ok, nullptr);

    bool gotHandle = false;
    for (int i = 1; i <= dbnumrets(m_proc); ++i) {
        const int type = dbrettype(m_proc, i);
        if ((type == SYBINT4 || type == SYBINTN) && dbretlen(m_proc, i) == 4 && dbretdata(m_proc, i)) {
            std::memcpy(&handle, dbretdata(m_proc, i), sizeof handle);
            gotHandle = true;
            break;
        }
    }
    if (!gotHandle)
        throw Error(QStringLiteral("The server did not return a handle for the prepared statement"));

    g_messages.clear();
    if (dbrpcinit(m_proc, "sp_unprepare", 0) == FAIL)
        fail(QStringLiteral("The call could not be prepared"));
    ok = dbrpcparam(m_proc, nullptr, 0, SYBINT4, -1, -1, reinterpret_cast<BYTE*>(&handle)) != FAIL;
    finishRpc(ok, nullptr);
}

} // namespace rimo::db
