#include "tools/tds-server/translator.h"

#include "tools/tds-server/lexer.h"
#include "tools/tds-server/servererror.h"

#include <algorithm>
#include <array>

namespace rimo::tds {

namespace {

constexpr std::array kStatementStarts = {"SELECT",   "INSERT", "UPDATE",  "DELETE", "CREATE",   "DROP",
                                         "USE",      "SET",    "BEGIN",   "COMMIT", "ROLLBACK", "SAVE",
                                         "DECLARE",  "EXEC",   "EXECUTE", "IF",     "PRINT",    "ALTER",
                                         "TRUNCATE", "WHILE",  "RETURN",  "GRANT",  "WITH",     "ELSE"};

constexpr std::array kReserved = {
    "WHERE",     "ORDER",  "GROUP",    "HAVING",   "JOIN",    "INNER",  "LEFT",    "RIGHT",   "FULL",
    "CROSS",     "ON",     "UNION",    "SET",      "VALUES",  "SELECT", "INSERT",  "UPDATE",  "DELETE",
    "FROM",      "AS",     "WITH",     "OUTER",    "AND",     "OR",     "NOT",     "CREATE",  "DROP",
    "USE",       "BEGIN",  "COMMIT",   "ROLLBACK", "DECLARE", "EXEC",   "EXECUTE", "IF",      "ELSE",
    "PRINT",     "ALTER",  "TRUNCATE", "OPTION",   "FOR",     "INTO",   "END",     "COLLATE", "THEN",
    "WHEN",      "ASC",    "DESC",     "BY",       "IS",      "NULL",   "LIKE",    "IN",      "BETWEEN",
    "EXISTS",    "CASE",   "TOP",      "DISTINCT", "ALL",     "WHILE",  "RETURN",  "GRANT",   "EXCEPT",
    "INTERSECT", "ESCAPE", "OUTPUT",   "SAVE"};

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

std::string sqlString(std::string_view text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

ColumnType typeOf(SqlType t, int length = 0, int precision = 0, int scale = 0)
{
    return ColumnType{t, length, precision, scale};
}

struct TableRef
{
    std::string sql;
    std::string alias; // name that column qualifiers use when no alias is given
    std::string name;  // plain table name for DML targets
};

class Parser
{
public:
    Parser(std::string_view src, std::vector<Token> tokens) : m_src(src), m_t(std::move(tokens)) {}

    std::vector<Statement> batch()
    {
        std::vector<Statement> out;
        for (;;) {
            while (op(";"))
                ;
            if (at().kind == TokenKind::End)
                break;
            const size_t start = at().offset;
            Statement st = statement();
            const size_t end = at().kind == TokenKind::End ? m_src.size() : at().offset;
            st.text = std::string(m_src.substr(start, end - start));
            while (!st.text.empty() &&
                   (st.text.back() == ' ' || st.text.back() == '\n' || st.text.back() == '\r'))
                st.text.pop_back();
            out.push_back(std::move(st));
        }
        return out;
    }

private:
    // --- token helpers -------------------------------------------------------------------------------
    const Token& at(size_t k = 0) const { return m_t[std::min(m_p + k, m_t.size() - 1)]; }
    void advance()
    {
        if (m_p < m_t.size() - 1)
            ++m_p;
    }
    bool word(std::string_view w)
    {
        if (at().isWord(w)) {
            advance();
            return true;
        }
        return false;
    }
    bool op(std::string_view o)
    {
        if (at().isOp(o)) {
            advance();
            return true;
        }
        return false;
    }
    [[noreturn]] void fail() const
    {
        const Token& tok = at();
        if (tok.kind == TokenKind::End) {
            if (m_p == 0)
                throw syntaxError("");
            throw syntaxError(m_t[m_p - 1].text);
        }
        throw syntaxError(tok.kind == TokenKind::String ? tok.text : tok.text);
    }
    void expectWord(std::string_view w)
    {
        if (!word(w))
            fail();
    }
    void expectOp(std::string_view o)
    {
        if (!op(o))
            fail();
    }
    bool isReserved(const Token& tok) const
    {
        if (tok.kind != TokenKind::Identifier)
            return false;
        for (const char* r : kReserved)
            if (tok.isWord(r))
                return true;
        return false;
    }
    bool isStatementStart(const Token& tok) const
    {
        for (const char* s : kStatementStarts)
            if (tok.isWord(s))
                return true;
        return false;
    }
    bool isName(const Token& tok) const
    {
        return tok.kind == TokenKind::QuotedIdentifier ||
               (tok.kind == TokenKind::Identifier && !isReserved(tok));
    }
    std::string name()
    {
        if (!isName(at()))
            fail();
        std::string n = at().text;
        advance();
        return n;
    }
    // Dotted name with possibly empty parts (db..t); returns the parts in order.
    std::vector<std::string> dottedName()
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
    void skipTableHints()
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

    TableRef tableRef(Statement& st)
    {
        const auto parts = dottedName();
        if (parts.size() > 4)
            fail();
        const std::string& table = parts.back();
        const std::string schema = parts.size() >= 2 ? upper(parts[parts.size() - 2]) : "";
        const std::string db = parts.size() >= 3 ? parts[parts.size() - 3] : "";
        const std::string lt = lowerAscii(table);
        TableRef r;
        r.alias = table;
        r.name = table;
        if (lt == "sysdatabases" || (schema == "SYS" && lt == "databases")) {
            st.usesSysDatabases = true;
            r.sql = "temp.rimo_sysdatabases";
            return r;
        }
        if (!db.empty())
            st.databases.push_back(db);
        if (schema == "INFORMATION_SCHEMA") {
            if (lt != "tables" && lt != "columns" && lt != "table_constraints" && lt != "key_column_usage")
                throw ServerError(208, 16, "Invalid object name 'INFORMATION_SCHEMA." + table + "'.");
            r.sql = "rimo_is_" + lt;
            return r;
        }
        if (!schema.empty() && schema != "DBO")
            throw ServerError(208, 16,
                              "Invalid object name '" + parts[parts.size() - 2] + "." + table + "'.");
        if (lt.rfind("rimo_", 0) == 0 || lt.rfind("sqlite_", 0) == 0)
            throw ServerError(208, 16, "Invalid object name '" + table + "'.");
        r.sql = sqliteIdent(table);
        return r;
    }

    // --- statements ----------------------------------------------------------------------------------
    Statement statement()
    {
        Statement st;
        const Token& tok = at();
        if (tok.isWord("SELECT") || (tok.isOp("(") && at(1).isWord("SELECT"))) {
            st.kind = Statement::Query;
            st.sql = select(st, true);
            return st;
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
        if (word("BEGIN")) {
            if (!word("TRAN") && !word("TRANSACTION"))
                throw notSupported("A BEGIN ... END block");
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
            st.name = at().text;
            advance();
            return st;
        }
        if (at().isWord("EXEC") || at().isWord("EXECUTE")) {
            advance();
            const auto parts = dottedName();
            throw ServerError(2812, 16, "Could not find stored procedure '" + parts.back() + "'.");
        }
        if (isStatementStart(at()))
            throw notSupported("The statement " + upper(at().text));
        fail();
    }

    std::string select(Statement& st, bool topLevel)
    {
        if (op("(")) {
            std::string inner = select(st, topLevel);
            expectOp(")");
            return inner;
        }
        expectWord("SELECT");
        std::string out = "SELECT ";
        if (word("DISTINCT"))
            out += "DISTINCT ";
        else
            word("ALL");
        std::string limit;
        if (word("TOP")) {
            std::string n;
            if (op("(")) {
                n = expr();
                expectOp(")");
            } else if (at().kind == TokenKind::Number || at().kind == TokenKind::Variable) {
                n = at().text;
                advance();
            } else {
                fail();
            }
            if (at().isWord("PERCENT") || at().isWord("WITH"))
                throw notSupported("TOP ... PERCENT / WITH TIES");
            limit = " LIMIT " + n;
        }
        // select list
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            if (!first)
                out += ", ";
            SelectItem item;
            if (op("*")) {
                item.star = true;
                out += "*";
            } else if (isName(at()) && at(1).isOp(".") && at(2).isOp("*")) {
                out += sqliteIdent(at().text) + ".*";
                advance();
                advance();
                advance();
                item.star = true;
            } else if (isName(at()) && at(1).isOp("=") && !at(2).isOp("=")) {
                const std::string alias = name();
                advance();
                std::optional<ColumnType> hint;
                out += expr(&hint) + " AS " + sqliteIdent(alias);
                item.type = hint;
            } else {
                std::optional<ColumnType> hint;
                bool plainColumn = false;
                std::string e = expr(&hint, &plainColumn);
                item.type = hint;
                std::string alias;
                bool hasAlias = false;
                if (word("AS")) {
                    if (at().kind == TokenKind::String || isName(at()) ||
                        at().kind == TokenKind::Identifier) {
                        alias = at().text;
                        advance();
                        hasAlias = true;
                    } else {
                        fail();
                    }
                } else if (at().kind == TokenKind::String || isName(at())) {
                    alias = at().text;
                    advance();
                    hasAlias = true;
                }
                out += e;
                if (hasAlias)
                    out += " AS " + sqliteIdent(alias);
                else if (!plainColumn)
                    out += " AS \"\"";
            }
            if (topLevel)
                st.items.push_back(item);
        }
        if (word("INTO"))
            throw notSupported("SELECT ... INTO");
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
            expectWord("BY");
            out += " ORDER BY ";
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
        }
        if (word("OPTION"))
            throw notSupported("OPTION (...)");
        return out + limit;
    }

    std::string fromClause(Statement& st)
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
                join = " " + upper(at().text);
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

    std::string tableSource(Statement& st)
    {
        if (at().isOp("(")) {
            advance();
            std::string inner = "(" + select(st, false) + ")";
            expectOp(")");
            word("AS");
            return inner + " AS " + sqliteIdent(name());
        }
        const TableRef r = tableRef(st);
        std::string alias = r.alias;
        if (word("AS"))
            alias = name();
        else if (isName(at()))
            alias = name();
        skipTableHints();
        return r.sql + " AS " + sqliteIdent(alias);
    }

    Statement insert()
    {
        Statement st;
        st.kind = Statement::Modify;
        st.verb = Statement::Insert;
        word("INTO");
        const TableRef r = tableRef(st);
        if (r.sql.rfind("\"", 0) != 0)
            throw notSupported("Changing a catalog view");
        st.table = r.name;
        skipTableHints();
        st.sql = "INSERT INTO " + r.sql;
        if (at().isOp("(") && !at(1).isWord("SELECT")) {
            advance();
            st.sql += " (";
            for (bool first = true;; first = false) {
                if (!first && !op(","))
                    break;
                const auto parts = dottedName();
                st.columns.push_back(parts.back());
                st.sql += (first ? "" : ", ") + sqliteIdent(parts.back());
            }
            expectOp(")");
            st.sql += ")";
        } else {
            st.insertNeedsColumns = true;
            st.insertPos = st.sql.size();
        }
        if (word("DEFAULT")) {
            expectWord("VALUES");
            st.sql += " DEFAULT VALUES";
            st.insertNeedsColumns = false;
        } else if (word("VALUES")) {
            st.sql += " VALUES ";
            for (bool first = true;; first = false) {
                if (!first && !op(","))
                    break;
                expectOp("(");
                st.sql += (first ? "(" : ", (") + exprList() + ")";
                expectOp(")");
            }
        } else if (at().isWord("SELECT") || at().isOp("(")) {
            st.sql += " " + select(st, false);
        } else {
            fail();
        }
        return st;
    }

    std::string topClause()
    {
        if (!word("TOP"))
            return {};
        std::string n;
        if (op("(")) {
            n = expr();
            expectOp(")");
        } else if (at().kind == TokenKind::Number) {
            n = at().text;
            advance();
        } else {
            fail();
        }
        return n;
    }

    Statement update()
    {
        Statement st;
        st.kind = Statement::Modify;
        st.verb = Statement::Update;
        const std::string top = topClause();
        const TableRef r = tableRef(st);
        if (r.sql.rfind("\"", 0) != 0)
            throw notSupported("Changing a catalog view");
        st.table = r.name;
        skipTableHints();
        expectWord("SET");
        std::string sets;
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            const auto parts = dottedName();
            const std::string col = sqliteIdent(parts.back());
            st.columns.push_back(parts.back());
            std::string value;
            if (op("=")) {
                value = expr();
            } else if (at().kind == TokenKind::Operator && at().text.size() == 2 && at().text[1] == '=' &&
                       std::string_view("+-*/").find(at().text[0]) != std::string_view::npos) {
                const char o = at().text[0];
                advance();
                const std::string rhs = expr();
                value = o == '+' ? "rimo_add(" + col + ", " + rhs + ")" : col + " " + o + " (" + rhs + ")";
            } else {
                fail();
            }
            sets += (first ? "" : ", ") + col + " = " + value;
        }
        if (at().isWord("FROM"))
            throw notSupported("UPDATE ... FROM");
        std::string where;
        if (word("WHERE"))
            where = expr();
        st.sql = "UPDATE " + r.sql + " SET " + sets;
        if (!top.empty())
            st.sql += " WHERE rowid IN (SELECT rowid FROM " + r.sql +
                      (where.empty() ? "" : " WHERE " + where) + " LIMIT " + top + ")";
        else if (!where.empty())
            st.sql += " WHERE " + where;
        return st;
    }

    Statement remove()
    {
        Statement st;
        st.kind = Statement::Modify;
        st.verb = Statement::Delete;
        const std::string top = topClause();
        word("FROM");
        const TableRef r = tableRef(st);
        if (r.sql.rfind("\"", 0) != 0)
            throw notSupported("Changing a catalog view");
        st.table = r.name;
        skipTableHints();
        std::string where;
        if (word("WHERE"))
            where = expr();
        st.sql = "DELETE FROM " + r.sql;
        if (!top.empty())
            st.sql += " WHERE rowid IN (SELECT rowid FROM " + r.sql +
                      (where.empty() ? "" : " WHERE " + where) + " LIMIT " + top + ")";
        else if (!where.empty())
            st.sql += " WHERE " + where;
        return st;
    }

    ColumnType columnType()
    {
        const std::string typeName = name();
        std::vector<int> args;
        if (op("(")) {
            for (bool first = true;; first = false) {
                if (!first && !op(","))
                    break;
                if (word("MAX")) {
                    args.push_back(-1);
                } else if (at().kind == TokenKind::Number && at().text.size() < 9 &&
                           at().text.find_first_not_of("0123456789") == std::string::npos) {
                    args.push_back(std::stoi(at().text));
                    advance();
                } else {
                    fail();
                }
            }
            expectOp(")");
        }
        auto ct = makeColumnType(typeName, args);
        if (!ct) {
            if (makeColumnType(typeName, {}) || makeColumnType(typeName, {1}))
                throw ServerError(131, 15, "The size given to the type '" + typeName + "' is not valid.");
            throw ServerError(2715, 16,
                              "Column, parameter, or variable #1: Cannot find data type " + typeName + ".");
        }
        return *ct;
    }

    std::vector<std::string> keyColumns()
    {
        std::vector<std::string> cols;
        expectOp("(");
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            cols.push_back(name());
            if (!word("ASC"))
                word("DESC");
        }
        expectOp(")");
        return cols;
    }

    Statement create()
    {
        Statement st;
        if (word("DATABASE")) {
            st.kind = Statement::CreateDatabase;
            st.name = name();
            return st;
        }
        bool unique = false;
        if (word("UNIQUE"))
            unique = true;
        if (!word("CLUSTERED"))
            word("NONCLUSTERED");
        if (word("INDEX")) {
            const std::string index = name();
            expectWord("ON");
            const TableRef r = tableRef(st);
            const auto cols = keyColumns();
            st.kind = Statement::Ddl;
            st.sql = std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                     sqliteIdent(r.name + "__" + index) + " ON " + r.sql + " (";
            for (size_t i = 0; i < cols.size(); ++i)
                st.sql += (i ? ", " : "") + sqliteIdent(cols[i]);
            st.sql += ")";
            return st;
        }
        if (unique)
            fail();
        if (!word("TABLE"))
            throw notSupported("CREATE " + upper(at().text));
        st.kind = Statement::CreateTable;
        const TableRef r = tableRef(st);
        if (r.sql.rfind("\"", 0) != 0)
            fail();
        TableDef& def = st.tableDef;
        def.name = r.name;
        st.table = r.name;
        expectOp("(");
        int checkCount = 0;
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            std::string constraintName;
            if (word("CONSTRAINT"))
                constraintName = name();
            if (at().isWord("PRIMARY") || at().isWord("UNIQUE")) {
                ConstraintDef k;
                k.kind = at().isWord("PRIMARY") ? ConstraintDef::PrimaryKey : ConstraintDef::Unique;
                advance();
                if (k.kind == ConstraintDef::PrimaryKey)
                    expectWord("KEY");
                if (!word("CLUSTERED"))
                    word("NONCLUSTERED");
                k.columns = keyColumns();
                k.name = constraintName.empty()
                             ? (k.kind == ConstraintDef::PrimaryKey ? "PK__" : "UQ__") + def.name
                             : constraintName;
                def.constraints.push_back(k);
                continue;
            }
            if (word("CHECK")) {
                ConstraintDef k;
                k.kind = ConstraintDef::Check;
                expectOp("(");
                k.checkSql = expr();
                expectOp(")");
                k.name = constraintName.empty() ? "CK__" + def.name + "__" + std::to_string(++checkCount)
                                                : constraintName;
                def.constraints.push_back(k);
                continue;
            }
            if (at().isWord("FOREIGN"))
                throw notSupported("FOREIGN KEY");
            if (!constraintName.empty())
                fail();
            columnDefinition(def, checkCount);
        }
        expectOp(")");
        for (auto& k : def.constraints) {
            if (k.kind != ConstraintDef::PrimaryKey)
                continue;
            for (const auto& kc : k.columns) {
                auto it = std::find_if(def.columns.begin(), def.columns.end(), [&](const ColumnDef& c) {
                    return lowerAscii(c.name) == lowerAscii(kc);
                });
                if (it == def.columns.end())
                    throw ServerError(1911, 16,
                                      "Column name '" + kc + "' does not exist in the target table or view.");
                it->nullable = false;
            }
        }
        if (std::count_if(def.constraints.begin(), def.constraints.end(),
                          [](const ConstraintDef& k) { return k.kind == ConstraintDef::PrimaryKey; }) > 1)
            throw ServerError(8110, 16,
                              "Cannot add multiple PRIMARY KEY constraints to table '" + def.name + "'.");
        return st;
    }

    void columnDefinition(TableDef& def, int& checkCount)
    {
        ColumnDef c;
        c.name = name();
        c.type = columnType();
        bool explicitNull = false;
        for (;;) {
            std::string constraintName;
            if (word("CONSTRAINT"))
                constraintName = name();
            if (word("IDENTITY")) {
                if (op("(")) {
                    const bool neg = op("-");
                    if (at().kind != TokenKind::Number || at().text.size() > 17 ||
                        at().text.find_first_not_of("0123456789") != std::string::npos)
                        fail();
                    c.seed = std::stoll(at().text) * (neg ? -1 : 1);
                    advance();
                    expectOp(",");
                    if (at().kind != TokenKind::Number)
                        fail();
                    if (at().text != "1")
                        throw notSupported("An identity increment other than 1");
                    advance();
                    expectOp(")");
                }
                if (c.type.type != SqlType::Int && c.type.type != SqlType::BigInt &&
                    c.type.type != SqlType::SmallInt && c.type.type != SqlType::TinyInt)
                    throw ServerError(
                        2749, 16,
                        "Identity column '" + c.name +
                            "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                            "numeric with a scale of 0, encrypted with a deterministic encryption "
                            "key, and constrained to be nonnullable.");
                c.identity = true;
                c.nullable = false;
            } else if (word("NOT")) {
                expectWord("NULL");
                c.nullable = false;
            } else if (word("NULL")) {
                explicitNull = true;
            } else if (at().isWord("PRIMARY") || at().isWord("UNIQUE")) {
                ConstraintDef k;
                k.kind = at().isWord("PRIMARY") ? ConstraintDef::PrimaryKey : ConstraintDef::Unique;
                advance();
                if (k.kind == ConstraintDef::PrimaryKey)
                    expectWord("KEY");
                if (!word("CLUSTERED"))
                    word("NONCLUSTERED");
                k.columns = {c.name};
                k.name = constraintName.empty()
                             ? (k.kind == ConstraintDef::PrimaryKey ? "PK__" : "UQ__") + def.name
                             : constraintName;
                def.constraints.push_back(k);
            } else if (word("DEFAULT")) {
                const size_t start = at().offset;
                c.defaultSql = unary(nullptr, nullptr, nullptr);
                std::string text(m_src.substr(start, at().offset - start));
                while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
                    text.pop_back();
                c.defaultText = "(" + text + ")";
            } else if (word("CHECK")) {
                ConstraintDef k;
                k.kind = ConstraintDef::Check;
                expectOp("(");
                k.checkSql = expr();
                expectOp(")");
                k.columns = {c.name};
                k.name = constraintName.empty()
                             ? "CK__" + def.name + "__" + c.name + "__" + std::to_string(++checkCount)
                             : constraintName;
                def.constraints.push_back(k);
            } else if (word("COLLATE")) {
                name();
            } else if (at().isWord("REFERENCES") || at().isWord("FOREIGN")) {
                throw notSupported("FOREIGN KEY");
            } else {
                if (!constraintName.empty())
                    fail();
                break;
            }
        }
        if (explicitNull && !c.nullable)
            fail();
        def.columns.push_back(std::move(c));
    }

    Statement drop()
    {
        Statement st;
        if (word("DATABASE")) {
            st.kind = Statement::DropDatabase;
            st.name = name();
            return st;
        }
        if (word("INDEX")) {
            const auto parts = dottedName();
            std::string table;
            std::string index = parts.back();
            if (word("ON"))
                table = tableRef(st).name;
            else if (parts.size() >= 2)
                table = parts[parts.size() - 2];
            else
                fail();
            st.kind = Statement::Ddl;
            st.sql = "DROP INDEX " + sqliteIdent(table + "__" + index);
            return st;
        }
        if (!word("TABLE"))
            throw notSupported("DROP " + upper(at().text));
        st.kind = Statement::DropTable;
        if (at().isWord("IF") && at(1).isWord("EXISTS")) {
            advance();
            advance();
            st.ifExists = true;
        }
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            st.names.push_back(tableRef(st).name);
        }
        return st;
    }

    Statement set()
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
        while (at().kind != TokenKind::End && !at().isOp(";") && !isStatementStart(at()))
            advance();
        return st;
    }

    // --- expressions ---------------------------------------------------------------------------------
    std::string exprList()
    {
        std::string out;
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            out += (first ? "" : ", ") + expr();
        }
        return out;
    }

    std::string expr(std::optional<ColumnType>* hint = nullptr, bool* plainColumn = nullptr)
    {
        std::string out = andExpr(hint, plainColumn);
        while (word("OR")) {
            out += " OR " + andExpr(nullptr, nullptr);
            if (plainColumn)
                *plainColumn = false;
            if (hint)
                hint->reset();
        }
        return out;
    }

    std::string andExpr(std::optional<ColumnType>* hint, bool* plainColumn)
    {
        std::string out = notExpr(hint, plainColumn);
        while (word("AND")) {
            out += " AND " + notExpr(nullptr, nullptr);
            if (plainColumn)
                *plainColumn = false;
            if (hint)
                hint->reset();
        }
        return out;
    }

    std::string notExpr(std::optional<ColumnType>* hint, bool* plainColumn)
    {
        if (word("NOT")) {
            if (plainColumn)
                *plainColumn = false;
            return "NOT " + notExpr(nullptr, nullptr);
        }
        return predicate(hint, plainColumn);
    }

    std::string predicate(std::optional<ColumnType>* hint, bool* plainColumn)
    {
        if (word("EXISTS")) {
            expectOp("(");
            Statement dummy;
            std::string sub = select(dummy, false);
            expectOp(")");
            if (plainColumn)
                *plainColumn = false;
            return "EXISTS (" + sub + ")";
        }
        std::string left = additive(hint, plainColumn);
        auto notPlain = [&] {
            if (plainColumn)
                *plainColumn = false;
            if (hint)
                hint->reset();
        };
        static const char* const kCompare[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
        for (const char* c : kCompare) {
            if (at().isOp(c)) {
                advance();
                std::string o = c;
                if (o == "!<")
                    o = ">=";
                else if (o == "!>")
                    o = "<=";
                notPlain();
                return left + " " + o + " " + additive(nullptr, nullptr);
            }
        }
        if (word("IS")) {
            notPlain();
            const bool negate = word("NOT");
            expectWord("NULL");
            return left + (negate ? " IS NOT NULL" : " IS NULL");
        }
        const bool negate =
            at().isWord("NOT") && (at(1).isWord("LIKE") || at(1).isWord("IN") || at(1).isWord("BETWEEN"));
        if (negate)
            advance();
        if (word("LIKE")) {
            notPlain();
            std::string out = left + (negate ? " NOT LIKE " : " LIKE ") + additive(nullptr, nullptr);
            if (word("ESCAPE"))
                out += " ESCAPE " + additive(nullptr, nullptr);
            return out;
        }
        if (word("IN")) {
            notPlain();
            expectOp("(");
            std::string list;
            if (at().isWord("SELECT")) {
                Statement dummy;
                list = select(dummy, false);
            } else {
                list = exprList();
            }
            expectOp(")");
            return left + (negate ? " NOT IN (" : " IN (") + list + ")";
        }
        if (word("BETWEEN")) {
            notPlain();
            std::string lo = additive(nullptr, nullptr);
            expectWord("AND");
            std::string hi = additive(nullptr, nullptr);
            return left + (negate ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi;
        }
        if (negate)
            fail();
        return left;
    }

    enum class Shape { Other, Text, Number };

    std::string additive(std::optional<ColumnType>* hint, bool* plainColumn)
    {
        Shape shape = Shape::Other;
        std::string out = multiplicative(hint, plainColumn, &shape);
        for (;;) {
            if (at().isOp("+") || at().isOp("-")) {
                const bool plus = at().isOp("+");
                advance();
                Shape rs = Shape::Other;
                std::string right = multiplicative(nullptr, nullptr, &rs);
                if (plainColumn)
                    *plainColumn = false;
                if (hint)
                    hint->reset();
                if (!plus) {
                    out = out + " - " + right;
                    shape = Shape::Number;
                } else if (shape == Shape::Text || rs == Shape::Text) {
                    out = out + " || " + right;
                    shape = Shape::Text;
                } else if (shape == Shape::Number || rs == Shape::Number) {
                    out = out + " + " + right;
                    shape = Shape::Number;
                } else {
                    out = "rimo_add(" + out + ", " + right + ")";
                    shape = Shape::Other;
                }
                continue;
            }
            break;
        }
        return out;
    }

    std::string multiplicative(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape)
    {
        std::string out = unary(hint, plainColumn, shape);
        while (at().isOp("*") || at().isOp("/") || at().isOp("%")) {
            const std::string o = at().text;
            advance();
            out += " " + o + " " + unary(nullptr, nullptr, nullptr);
            if (plainColumn)
                *plainColumn = false;
            if (hint)
                hint->reset();
            if (shape)
                *shape = Shape::Number;
        }
        return out;
    }

    std::string unary(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape)
    {
        if (op("-")) {
            if (shape)
                *shape = Shape::Number;
            return "-" + unary(hint, nullptr, nullptr);
        }
        if (op("+"))
            return unary(hint, plainColumn, shape);
        if (op("~"))
            return "~" + unary(nullptr, nullptr, nullptr);
        const Token tok = at();
        if (shape)
            *shape = tok.kind == TokenKind::String   ? Shape::Text
                     : tok.kind == TokenKind::Number ? Shape::Number
                                                     : Shape::Other;
        return primary(hint, plainColumn);
    }

    std::string primary(std::optional<ColumnType>* hint, bool* plainColumn)
    {
        if (plainColumn)
            *plainColumn = false;
        const Token tok = at();
        switch (tok.kind) {
        case TokenKind::Number:
            advance();
            if (tok.text.size() > 2 && (tok.text[1] == 'x' || tok.text[1] == 'X')) {
                std::string hex = tok.text.substr(2);
                if (hex.size() % 2)
                    hex = "0" + hex;
                return "X'" + hex + "'";
            }
            return tok.text;
        case TokenKind::String:
            advance();
            return sqlString(tok.text);
        case TokenKind::Variable:
            advance();
            return variable(tok.text, hint);
        case TokenKind::Operator:
            if (tok.isOp("(")) {
                advance();
                std::string out;
                if (at().isWord("SELECT")) {
                    Statement dummy;
                    out = "(" + select(dummy, false) + ")";
                } else {
                    out = "(" + expr(hint, nullptr) + ")";
                }
                expectOp(")");
                return out;
            }
            fail();
        case TokenKind::QuotedIdentifier:
        case TokenKind::Identifier:
            break;
        case TokenKind::End:
            fail();
        }
        if (tok.isWord("NULL")) {
            advance();
            return "NULL";
        }
        if (tok.isWord("CASE"))
            return caseExpr(hint);
        if (tok.kind == TokenKind::Identifier && at(1).isOp("("))
            return function(hint);
        if (!isName(tok))
            fail();
        const auto parts = dottedName();
        if (parts.size() > 5)
            fail();
        if (plainColumn)
            *plainColumn = true;
        if (parts.size() == 1)
            return sqliteIdent(parts[0]);
        return sqliteIdent(parts[parts.size() - 2]) + "." + sqliteIdent(parts.back());
    }

    std::string caseExpr(std::optional<ColumnType>* hint)
    {
        advance();
        std::string out = "CASE";
        if (!at().isWord("WHEN"))
            out += " " + expr();
        while (word("WHEN")) {
            out += " WHEN " + expr();
            expectWord("THEN");
            out += " THEN " + expr(hint);
        }
        if (word("ELSE"))
            out += " ELSE " + expr();
        expectWord("END");
        return out + " END";
    }

    std::string variable(const std::string& text, std::optional<ColumnType>* hint)
    {
        if (text.rfind("@@", 0) != 0) {
            if (text.size() > 128)
                fail();
            return text; // bound by name as a SQLite parameter
        }
        const std::string v = upper(text);
        auto setHint = [&](ColumnType t) {
            if (hint)
                *hint = t;
        };
        if (v == "@@VERSION") {
            setHint(typeOf(SqlType::NVarChar, 300));
            return "'Rimo1 TDS test server on SQLite ' || sqlite_version() || ', a development stand-in for "
                   "Microsoft SQL Server; not SQL Server'";
        }
        if (v == "@@SPID") {
            setHint(typeOf(SqlType::SmallInt));
            return "rimo_spid()";
        }
        if (v == "@@IDENTITY") {
            setHint(typeOf(SqlType::Numeric, 0, 38, 0));
            return "rimo_identity()";
        }
        if (v == "@@ROWCOUNT") {
            setHint(typeOf(SqlType::Int));
            return "rimo_rowcount()";
        }
        if (v == "@@TRANCOUNT") {
            setHint(typeOf(SqlType::Int));
            return "rimo_trancount()";
        }
        if (v == "@@SERVERNAME") {
            setHint(typeOf(SqlType::NVarChar, 128));
            return "'RIMO-TEST'";
        }
        if (v == "@@ERROR") {
            setHint(typeOf(SqlType::Int));
            return "0";
        }
        throw ServerError(137, 15, "Must declare the scalar variable \"" + text + "\".");
    }

    std::vector<std::string> args()
    {
        std::vector<std::string> out;
        expectOp("(");
        if (op(")"))
            return out;
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            out.push_back(expr());
        }
        expectOp(")");
        return out;
    }

    std::string function(std::optional<ColumnType>* hint)
    {
        const std::string fname = at().text;
        const std::string f = upper(fname);
        advance();
        auto setHint = [&](ColumnType t) {
            if (hint)
                *hint = t;
        };
        auto want = [&](const std::vector<std::string>& a, size_t lo, size_t hi) {
            if (a.size() < lo || a.size() > hi)
                throw ServerError(174, 15,
                                  "The " + lowerAscii(fname) + " function requires " + std::to_string(lo) +
                                      " argument(s).");
        };
        if (f == "COUNT" || f == "COUNT_BIG") {
            expectOp("(");
            std::string inner;
            if (op("*")) {
                inner = "*";
            } else {
                if (word("DISTINCT"))
                    inner = "DISTINCT ";
                else
                    word("ALL");
                inner += expr();
            }
            expectOp(")");
            setHint(typeOf(f == "COUNT" ? SqlType::Int : SqlType::BigInt));
            return "count(" + inner + ")";
        }
        if (f == "CAST") {
            expectOp("(");
            std::string e = expr();
            expectWord("AS");
            const ColumnType t = columnType();
            expectOp(")");
            setHint(t);
            return castTo(e, t);
        }
        if (f == "CONVERT") {
            expectOp("(");
            const ColumnType t = columnType();
            expectOp(",");
            std::string e = expr();
            if (op(","))
                expr();
            expectOp(")");
            setHint(t);
            return castTo(e, t);
        }
        if (f == "SUM" || f == "AVG" || f == "MIN" || f == "MAX") {
            expectOp("(");
            std::string inner;
            if (word("DISTINCT"))
                inner = "DISTINCT ";
            else
                word("ALL");
            inner += expr();
            expectOp(")");
            return lowerAscii(f) + "(" + inner + ")";
        }
        const auto a = args();
        if (f == "LEN") {
            want(a, 1, 1);
            setHint(typeOf(SqlType::Int));
            return "length(rtrim(" + a[0] + ", ' '))";
        }
        if (f == "DATALENGTH") {
            want(a, 1, 1);
            setHint(typeOf(SqlType::Int));
            return "length(CAST(" + a[0] + " AS BLOB))";
        }
        if (f == "UPPER" || f == "LOWER" || f == "LTRIM" || f == "RTRIM" || f == "ABS") {
            want(a, 1, 1);
            return lowerAscii(f) + "(" + a[0] + ")";
        }
        if (f == "REPLACE") {
            want(a, 3, 3);
            return "replace(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
        }
        if (f == "ROUND") {
            want(a, 2, 3);
            return "round(" + a[0] + ", " + a[1] + ")";
        }
        if (f == "ISNULL") {
            want(a, 2, 2);
            return "ifnull(" + a[0] + ", " + a[1] + ")";
        }
        if (f == "COALESCE" || f == "NULLIF") {
            want(a, 2, f == "NULLIF" ? 2 : 64);
            std::string out = lowerAscii(f) + "(";
            for (size_t i = 0; i < a.size(); ++i)
                out += (i ? ", " : "") + a[i];
            return out + ")";
        }
        if (f == "SUBSTRING") {
            want(a, 3, 3);
            return "substr(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
        }
        if (f == "LEFT") {
            want(a, 2, 2);
            return "substr(" + a[0] + ", 1, " + a[1] + ")";
        }
        if (f == "RIGHT") {
            want(a, 2, 2);
            return "CASE WHEN (" + a[1] + ") <= 0 THEN '' ELSE substr(" + a[0] + ", -(" + a[1] + ")) END";
        }
        if (f == "CHARINDEX") {
            want(a, 2, 2);
            setHint(typeOf(SqlType::Int));
            return "instr(" + a[1] + ", " + a[0] + ")";
        }
        if (f == "GETDATE" || f == "CURRENT_TIMESTAMP" || f == "SYSDATETIME") {
            want(a, 0, 0);
            setHint(typeOf(SqlType::DateTime));
            return "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')";
        }
        if (f == "DB_NAME") {
            want(a, 0, 0);
            setHint(typeOf(SqlType::NVarChar, 128));
            return "rimo_db_name()";
        }
        if (f == "SCOPE_IDENTITY") {
            want(a, 0, 0);
            setHint(typeOf(SqlType::Numeric, 0, 38, 0));
            return "rimo_identity()";
        }
        throw ServerError(195, 15, "'" + fname + "' is not a recognized built-in function name.");
    }

    static std::string castTo(const std::string& e, const ColumnType& t)
    {
        switch (t.type) {
        case SqlType::Int:
        case SqlType::BigInt:
        case SqlType::SmallInt:
        case SqlType::TinyInt:
        case SqlType::Bit:
            return "CAST(" + e + " AS INTEGER)";
        case SqlType::Float:
        case SqlType::Real:
        case SqlType::Money:
        case SqlType::SmallMoney:
            return "CAST(" + e + " AS REAL)";
        case SqlType::Decimal:
        case SqlType::Numeric:
            return t.scale == 0 ? "CAST(round(" + e + ") AS INTEGER)"
                                : "round(CAST(" + e + " AS REAL), " + std::to_string(t.scale) + ")";
        case SqlType::VarBinary:
        case SqlType::Binary:
        case SqlType::Image:
            return "CAST(" + e + " AS BLOB)";
        case SqlType::DateTime:
        case SqlType::SmallDateTime:
        case SqlType::Date:
            return "CAST(" + e + " AS TEXT)";
        default:
            if (t.length > 0)
                return "substr(CAST(" + e + " AS TEXT), 1, " + std::to_string(t.length) + ")";
            return "CAST(" + e + " AS TEXT)";
        }
    }

    std::string_view m_src;
    std::vector<Token> m_t;
    size_t m_p = 0;
};

} // namespace

std::string sqliteIdent(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<Statement> translateBatch(std::string_view tsql)
{
    Parser parser(tsql, lex(tsql));
    return parser.batch();
}

} // namespace rimo::tds
