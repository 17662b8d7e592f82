#include "tools/tds-server/translator.h"

#include "tools/tds-server/lexer.h"
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

#include <algorithm>
#include <array>
#include <utility>

namespace rimo::tds {

namespace {

constexpr std::string_view kStatementStarts[] = {
    "SELECT", "INSERT", "UPDATE",   "DELETE", "CREATE",  "DROP",  "USE",     "SET",
    "BEGIN",  "COMMIT", "ROLLBACK", "SAVE",   "DECLARE", "EXEC",  "EXECUTE", "IF",
    "PRINT",  "ALTER",  "TRUNCATE", "WHILE",  "RETURN",  "GRANT", "WITH",    "ELSE"};

constexpr std::string_view kReserved[] = {
    "WHERE",     "ORDER",  "GROUP",    "HAVING",   "JOIN",    "INNER",  "LEFT",    "RIGHT",   "FULL",
    "CROSS",     "ON",     "UNION",    "SET",      "VALUES",  "SELECT", "INSERT",  "UPDATE",  "DELETE",
    "FROM",      "AS",     "WITH",     "OUTER",    "AND",     "OR",     "NOT",     "CREATE",  "DROP",
    "USE",       "BEGIN",  "COMMIT",   "ROLLBACK", "DECLARE", "EXEC",   "EXECUTE", "IF",      "ELSE",
    "PRINT",     "ALTER",  "TRUNCATE", "OPTION",   "FOR",     "INTO",   "END",     "COLLATE", "THEN",
    "WHEN",      "ASC",    "DESC",     "BY",       "IS",      "NULL",   "LIKE",    "IN",      "BETWEEN",
    "EXISTS",    "CASE",   "TOP",      "DISTINCT", "ALL",     "WHILE",  "RETURN",  "GRANT",   "EXCEPT",
    "INTERSECT", "ESCAPE", "OUTPUT",   "SAVE"};

// A type slot's literal starts with this character, which the lexer never lets into a name, and keeps its
// two names apart with the second.
constexpr char kSlotMark = '\x01';
constexpr char kSlotSeparator = '\x02';

// Reserved words of T-SQL that the reader still takes as names where it does not expect them; a syntax
// error at one of them is reported as at a keyword.
constexpr std::string_view kMoreKeywords[] = {
    "VIEW",  "PROC",   "PROCEDURE", "TABLE",      "DATABASE", "INDEX",      "KEY",  "PRIMARY",    "DEFAULT",
    "CHECK", "UNIQUE", "FOREIGN",   "REFERENCES", "IDENTITY", "CONSTRAINT", "TRAN", "TRANSACTION"};

} // namespace

std::string upperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

std::vector<Statement> Parser::batch()
{
    std::vector<Statement> out;
    for (;;) {
        while (op(";"))
            ;
        if (at().kind == TokenKind::End)
            break;
        const size_t start = at().offset;
        Statement st = fullStatement();
        m_first = false;
        const size_t end = at().kind == TokenKind::End ? m_src.size() : at().offset;
        st.text = std::string(m_src.substr(start, end - start));
        while (!st.text.empty() &&
               (st.text.back() == ' ' || st.text.back() == '\n' || st.text.back() == '\r'))
            st.text.pop_back();
        out.push_back(std::move(st));
    }
    return out;
}

Statement Parser::fullStatement()
{
    const bool outerSys = std::exchange(m_usesSysDatabases, false);
    std::vector<std::string> outerDatabases = std::exchange(m_databases, {});
    auto outerTables = std::exchange(m_tables, {});
    auto outerSources = std::exchange(m_sources, {});
    Statement st = statement();
    st.usesSysDatabases |= m_usesSysDatabases;
    st.databases.insert(st.databases.end(), m_databases.begin(), m_databases.end());
    st.tables.insert(st.tables.end(), m_tables.begin(), m_tables.end());
    m_usesSysDatabases = outerSys;
    m_databases = std::move(outerDatabases);
    m_tables = std::move(outerTables);
    m_sources = std::move(outerSources);
    return st;
}

void Parser::fail() const
{
    const Token& tok = at();
    if (tok.kind == TokenKind::End) {
        if (m_p == 0)
            throw syntaxError("");
        throw syntaxError(m_t[m_p - 1].text);
    }
    if (isKeyword(tok))
        throw keywordError(tok.text);
    throw syntaxError(tok.text);
}

bool isKeyword(const Token& tok)
{
    if (tok.kind != TokenKind::Identifier)
        return false;
    for (std::string_view r : kReserved)
        if (tok.isWord(r))
            return true;
    for (std::string_view r : kMoreKeywords)
        if (tok.isWord(r))
            return true;
    return false;
}

bool Parser::isReserved(const Token& tok) const
{
    if (tok.kind != TokenKind::Identifier)
        return false;
    for (std::string_view r : kReserved)
        if (tok.isWord(r))
            return true;
    return false;
}

bool Parser::isStatementStart(const Token& tok) const
{
    for (std::string_view s : kStatementStarts)
        if (tok.isWord(s))
            return true;
    return false;
}

bool Parser::isName(const Token& tok) const
{
    return tok.kind == TokenKind::QuotedIdentifier || (tok.kind == TokenKind::Identifier && !isReserved(tok));
}

std::string Parser::name()
{
    if (!isName(at()))
        fail();
    std::string n(at().text);
    advance();
    return n;
}

std::vector<std::string> Parser::dottedName()
{
    std::vector<std::string> parts;
    parts.push_back(name());
    while (at().isOp(".")) {
        advance();
        while (at().isOp(".")) {
            parts.push_back("");
            advance();
        }
        if (at().isOp("*"))
            break;
        parts.push_back(name());
    }
    return parts;
}

void Parser::skipTableHints()
{
    if (at().isWord("WITH") && at(1).isOp("(")) {
        advance();
        advance();
        while (!op(")")) {
            if (at().kind == TokenKind::End)
                fail();
            advance();
        }
    }
}

TableRef Parser::tableRef(Statement& st)
{
    const auto parts = dottedName();
    if (parts.size() > 4)
        fail();
    const std::string& table = parts.back();
    const std::string schema = parts.size() >= 2 ? upperAscii(parts[parts.size() - 2]) : "";
    const std::string db = parts.size() >= 3 ? parts[parts.size() - 3] : "";
    const std::string lt = lowerAscii(table);
    TableRef r;
    r.alias = table;
    r.name = table;
    if (lt == "sysdatabases" || (schema == "SYS" && lt == "databases")) {
        st.usesSysDatabases = true;
        m_usesSysDatabases = true;
        r.sql = "temp.rimo_sysdatabases";
        return r;
    }
    if (!db.empty()) {
        st.databases.push_back(db);
        m_databases.push_back(db);
    }
    if (lt == "sysobjects" && (schema.empty() || schema == "DBO" || schema == "SYS")) {
        r.sql = "rimo_sysobjects";
        return r;
    }
    if (schema == "INFORMATION_SCHEMA") {
        if (lt != "tables" && lt != "columns" && lt != "table_constraints" && lt != "key_column_usage")
            throw ServerError(208, 16, "Invalid object name 'INFORMATION_SCHEMA." + table + "'.");
        r.sql = "rimo_is_" + lt;
        return r;
    }
    if (!schema.empty() && schema != "DBO")
        throw ServerError(208, 16, "Invalid object name '" + parts[parts.size() - 2] + "." + table + "'.");
    if (parts.size() == 1 && !m_cteDefining.empty() && compareCi(table, m_cteDefining) == 0)
        throw notSupported("A recursive common table expression ('" + table + "')");
    if (lt.rfind("rimo_", 0) == 0 || lt.rfind("sqlite_", 0) == 0)
        throw ServerError(208, 16, "Invalid object name '" + table + "'.");
    r.sql = sqliteIdent(table);
    return r;
}

Statement Parser::statement()
{
    Statement st;
    const Token& tok = at();
    if (tok.isWord("SELECT") || (tok.isOp("(") && at(1).isWord("SELECT"))) {
        st.kind = Statement::Query;
        st.sql = select(st, true);
        return st;
    }
    if (at().isWord("WITH")) {
        // A common table expression starts a statement: the one before must end with a semicolon.
        if (m_p > 0 && !m_t[m_p - 1].isOp(";") && !m_t[m_p - 1].isWord("BEGIN") &&
            !m_t[m_p - 1].isWord("ELSE"))
            throw ServerError(319, 15,
                              "Incorrect syntax near the keyword 'with'. If this statement is a common table "
                              "expression, an xmlnamespaces clause or a change tracking context clause, the "
                              "previous statement must be terminated with a semicolon.");
        return withStatement();
    }
    if (word("INSERT"))
        return insert();
    if (word("UPDATE"))
        return update();
    if (word("DELETE"))
        return remove();
    if (word("TRUNCATE")) {
        expectWord("TABLE");
        st.kind = Statement::Modify;
        st.verb = Statement::Delete;
        const TableRef r = tableRef(st);
        st.table = r.name;
        st.sql = "DELETE FROM " + r.sql;
        st.reportsCount = false;
        return st;
    }
    if (word("CREATE"))
        return create();
    if (word("DROP"))
        return drop();
    if (word("USE")) {
        st.kind = Statement::Use;
        st.name = name();
        return st;
    }
    if (word("SET"))
        return set();
    if (at().isWord("IF"))
        return ifStatement();
    if (at().isWord("BEGIN") && !at(1).isWord("TRAN") && !at(1).isWord("TRANSACTION"))
        return block();
    if (word("BEGIN")) {
        if (!word("TRAN") && !word("TRANSACTION"))
            fail();
        if (isName(at()) && !isStatementStart(at()))
            advance();
        st.kind = Statement::Begin;
        return st;
    }
    if (at().isWord("COMMIT") || at().isWord("ROLLBACK")) {
        st.kind = at().isWord("COMMIT") ? Statement::Commit : Statement::Rollback;
        advance();
        if (word("TRAN") || word("TRANSACTION") || word("WORK")) {
            if (isName(at()) && !isStatementStart(at()))
                advance();
        }
        return st;
    }
    if (word("PRINT")) {
        if (at().kind != TokenKind::String)
            throw notSupported("PRINT of an expression");
        st.kind = Statement::Print;
        st.name = std::string(at().text);
        advance();
        return st;
    }
    if (at().isWord("EXEC") || at().isWord("EXECUTE"))
        return exec();
    if (at().isWord("ELSE"))
        fail();
    if (isStatementStart(at()))
        throw notSupported("The statement " + upperAscii(at().text));
    fail();
}

std::string Parser::select(Statement& st, bool topLevel)
{
    const Nest nest(*this);
    if (op("(")) {
        std::string inner = select(st, topLevel);
        expectOp(")");
        return inner;
    }
    expectWord("SELECT");
    struct Depth
    {
        int& depth;
        explicit Depth(int& d) : depth(++d) {}
        ~Depth() { --depth; }
    } depth(m_selectDepth);
    std::string out = "SELECT ";
    if (word("DISTINCT"))
        out += "DISTINCT ";
    else
        word("ALL");
    const WindowPlaceScope clauses(*this, WindowPlace::Clause);
    const std::string limit = selectTop();
    {
        const WindowPlaceScope list(*this, WindowPlace::Allowed);
        out += selectList(st, topLevel);
    }
    if (word("INTO")) {
        // A new table from the select list: the statement's own, not a view's or a subquery's.
        if (!topLevel || m_viewSelect || !st.intoTable.empty())
            throw notSupported("SELECT ... INTO here");
        const auto parts = dottedName();
        if (parts.size() > 2 || (parts.size() == 2 && lowerAscii(parts.front()) != "dbo"))
            throw notSupported("SELECT ... INTO a table of another schema or database");
        st.intoTable = parts.back();
    }
    if (word("FROM"))
        out += " FROM " + fromClause(st);
    if (word("WHERE"))
        out += " WHERE " + expr();
    if (word("GROUP")) {
        expectWord("BY");
        out += " GROUP BY " + exprList();
    }
    if (word("HAVING"))
        out += " HAVING " + expr();
    if (at().isWord("UNION")) {
        advance();
        out += word("ALL") ? " UNION ALL " : " UNION ";
        Statement dummy;
        out += select(dummy, false);
        st.usesSysDatabases |= dummy.usesSysDatabases;
    }
    if (word("ORDER")) {
        if (m_viewSelect && topLevel && limit.empty())
            throw ServerError(1033, 15,
                              "The ORDER BY clause is invalid in views, inline functions, derived tables, "
                              "subqueries, and common table expressions, unless TOP, OFFSET or FOR XML is "
                              "also specified.");
        expectWord("BY");
        const WindowPlaceScope order(*this, WindowPlace::Allowed);
        out += " ORDER BY " + orderList();
    }
    if (word("OPTION"))
        throw notSupported("OPTION (...)");
    return out + limit;
}

// SELECT's TOP n becomes a LIMIT at the end of the statement.
std::string Parser::selectTop()
{
    if (!word("TOP"))
        return {};
    std::string n;
    if (op("(")) {
        n = expr();
        expectOp(")");
    } else if (at().kind == TokenKind::Number || at().kind == TokenKind::Variable) {
        n = std::string(at().text);
        advance();
    } else {
        fail();
    }
    if (at().isWord("PERCENT") || at().isWord("WITH"))
        throw notSupported("TOP ... PERCENT / WITH TIES");
    return " LIMIT " + n;
}

std::string Parser::selectList(Statement& st, bool topLevel)
{
    std::string out;
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        if (!first)
            out += ", ";
        SelectItem item;
        out += selectItem(item);
        if (topLevel)
            st.items.push_back(item);
    }
    return out;
}

std::string Parser::selectItem(SelectItem& item)
{
    if (op("*")) {
        item.star = true;
        return "*";
    }
    if (isName(at()) && at(1).isOp(".") && at(2).isOp("*")) {
        std::string out = sqliteIdent(at().text) + ".*";
        advance();
        advance();
        advance();
        item.star = true;
        return out;
    }
    if (isName(at()) && at(1).isOp("=") && !at(2).isOp("=")) {
        // alias = expression
        const std::string alias = name();
        advance();
        std::optional<ColumnType> hint;
        std::string out = expr(&hint) + " AS " + sqliteIdent(alias);
        item.type = hint;
        return out;
    }
    std::optional<ColumnType> hint;
    bool plainColumn = false;
    std::string out = expr(&hint, &plainColumn);
    item.type = hint;
    std::string alias;
    bool hasAlias = false;
    if (word("AS")) {
        if (at().kind == TokenKind::String || isName(at()) || at().kind == TokenKind::Identifier) {
            alias = std::string(at().text);
            advance();
            hasAlias = true;
        } else {
            fail();
        }
    } else if (at().kind == TokenKind::String || isName(at())) {
        alias = std::string(at().text);
        advance();
        hasAlias = true;
    }
    if (hasAlias) {
        out += " AS " + sqliteIdent(alias);
    } else if (!plainColumn) {
        out += " AS \"\"";
        item.unnamed = true;
    }
    return out;
}

std::string Parser::orderList()
{
    std::string out;
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        if (!first)
            out += ", ";
        out += expr();
        if (word("DESC"))
            out += " DESC";
        else if (word("ASC"))
            out += " ASC";
    }
    return out;
}

std::string Parser::fromClause(Statement& st)
{
    std::string out = tableSource(st);
    for (;;) {
        if (op(",")) {
            out += ", " + tableSource(st);
            continue;
        }
        std::string join;
        if (word("JOIN") || (word("INNER") && (expectWord("JOIN"), true))) {
            join = " JOIN ";
        } else if (at().isWord("LEFT") || at().isWord("RIGHT") || at().isWord("FULL")) {
            join = " " + upperAscii(at().text);
            advance();
            word("OUTER");
            expectWord("JOIN");
            join += " JOIN ";
        } else if (word("CROSS")) {
            expectWord("JOIN");
            out += " CROSS JOIN " + tableSource(st);
            continue;
        } else {
            break;
        }
        out += join + tableSource(st);
        expectWord("ON");
        out += " ON " + expr();
    }
    return out;
}

std::string Parser::tableSource(Statement& st)
{
    if (at().isOp("(")) {
        advance();
        std::string inner = "(" + select(st, false) + ")";
        expectOp(")");
        word("AS");
        const std::string alias = name();
        m_sources.push_back(Source{alias, {}, false, m_selectDepth});
        return inner + " AS " + sqliteIdent(alias);
    }
    rowsetFunction();
    const TableRef r = tableRef(st);
    std::string alias = r.alias;
    if (word("AS"))
        alias = name();
    else if (isName(at()))
        alias = name();
    skipTableHints();
    if (r.sql.rfind("\"", 0) == 0) {
        m_tables.emplace_back(alias, r.name);
        m_sources.push_back(Source{alias, r.name, isCte(r.name), m_selectDepth});
    } else {
        m_sources.push_back(Source{alias, {}, false, m_selectDepth});
    }
    return r.sql + " AS " + sqliteIdent(alias);
}

// A name called with arguments in FROM is a table-valued function: SQL Server's own rowset functions are
// not supported, and any other name (SQLite's json_each, a function never made) is no object of the
// database. The old form of table hints, FROM t (NOLOCK), is no call.
void Parser::rowsetFunction()
{
    size_t k = 0;
    while (isName(at(k)) && at(k + 1).isOp("."))
        k += 2;
    if (!isName(at(k)) || !at(k + 1).isOp("("))
        return;
    static constexpr std::string_view kHints[] = {
        "NOLOCK", "READUNCOMMITTED", "READCOMMITTED", "REPEATABLEREAD", "SERIALIZABLE", "HOLDLOCK", "UPDLOCK",
        "XLOCK",  "ROWLOCK",         "PAGLOCK",       "TABLOCK",        "TABLOCKX",     "READPAST", "NOWAIT"};
    if (std::any_of(std::begin(kHints), std::end(kHints),
                    [&](std::string_view h) { return at(k + 2).isWord(h); }))
        return;
    std::string shown;
    for (size_t i = 0; i <= k; i += 2)
        shown += (i ? "." : "") + std::string(at(i).text);
    static constexpr std::string_view kRowsetFunctions[] = {
        "OPENJSON",        "OPENXML",     "OPENROWSET",    "OPENQUERY",     "OPENDATASOURCE", "STRING_SPLIT",
        "GENERATE_SERIES", "CHANGETABLE", "CONTAINSTABLE", "FREETEXTTABLE", "PREDICT"};
    for (std::string_view f : kRowsetFunctions)
        if (at(k).isWord(f))
            throw notSupported("The rowset function " + std::string(f));
    throw ServerError(208, 16, "Invalid object name '" + shown + "'.");
}

Statement Parser::set()
{
    Statement st;
    st.kind = Statement::Ignored;
    if (at().kind == TokenKind::Variable)
        throw notSupported("SET of a variable");
    if (word("IDENTITY_INSERT")) {
        st.kind = Statement::IdentityInsert;
        st.table = tableRef(st).name;
        if (word("ON"))
            st.on = true;
        else
            expectWord("OFF");
        return st;
    }
    if (word("NOCOUNT")) {
        st.kind = Statement::NoCount;
        if (word("ON"))
            st.on = true;
        else
            expectWord("OFF");
        return st;
    }
    if (!isName(at()) && !at().isWord("TRANSACTION"))
        fail();
    advance();
    // Session options (TEXTSIZE, ANSI_NULLS, DATEFORMAT, ...) are answered and ignored.
    while (at().kind != TokenKind::End && !at().isOp(";") && !isStatementStart(at()) &&
           !(m_nested > 0 && at().isWord("END")))
        advance();
    return st;
}

std::string typeSlot(TypeSlot kind, const std::string& a, const std::string& b)
{
    const char* tag = kind == TypeSlot::InsertColumn   ? "ins"
                      : kind == TypeSlot::UpdateColumn ? "col"
                      : kind == TypeSlot::Compared     ? "cmp"
                      : kind == TypeSlot::Arithmetic   ? "ari"
                                                       : "typ";
    return sqliteLiteral(std::string(1, kSlotMark) + tag + ":" + a + kSlotSeparator + b);
}

void resolveTypeSlots(
    std::string& sql,
    const std::function<std::string(TypeSlot, const std::string&, const std::string&)>& code)
{
    const std::string opening = std::string("'") + kSlotMark;
    size_t pos = sql.find(opening);
    if (pos == std::string::npos)
        return;
    std::string out;
    size_t done = 0;
    while (pos != std::string::npos) {
        // The slot's literal runs to the next lone quote.
        size_t end = pos + 1;
        std::string body;
        for (; end < sql.size(); ++end) {
            if (sql[end] == '\'') {
                if (end + 1 < sql.size() && sql[end + 1] == '\'') {
                    body += '\'';
                    ++end;
                    continue;
                }
                break;
            }
            body += sql[end];
        }
        if (end >= sql.size() || body.size() < 5)
            break;
        const std::string tag = body.substr(1, 3);
        const size_t sep = body.find(kSlotSeparator, 5);
        const std::string a = body.substr(5, sep == std::string::npos ? std::string::npos : sep - 5);
        const std::string b = sep == std::string::npos ? std::string() : body.substr(sep + 1);
        const TypeSlot kind = tag == "ins"   ? TypeSlot::InsertColumn
                              : tag == "col" ? TypeSlot::UpdateColumn
                              : tag == "cmp" ? TypeSlot::Compared
                              : tag == "ari" ? TypeSlot::Arithmetic
                                             : TypeSlot::DeclaredType;
        const std::string c = code(kind, a, b);
        out.append(sql, done, pos - done);
        out += c.empty() ? std::string("NULL") : sqliteLiteral(c);
        done = end + 1;
        pos = sql.find(opening, done);
    }
    out.append(sql, done, std::string::npos);
    sql = std::move(out);
}

std::vector<Statement> translateBatch(std::string_view tsql)
{
    Parser parser(tsql, lex(tsql));
    return parser.batch();
}

} // namespace rimo::tds
