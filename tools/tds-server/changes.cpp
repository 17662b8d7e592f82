// INSERT, UPDATE and DELETE.
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

namespace rimo::tds {

namespace {

// The WHERE of an UPDATE or DELETE, limited to its first `top` rows when TOP was given.
std::string limitedWhere(const std::string& table, const std::string& where, const std::string& top)
{
    if (!top.empty())
        return " WHERE rowid IN (SELECT rowid FROM " + table + (where.empty() ? "" : " WHERE " + where) +
               " LIMIT " + top + ")";
    if (!where.empty())
        return " WHERE " + where;
    return {};
}

} // namespace

Statement Parser::insert()
{
    Statement st;
    st.kind = Statement::Modify;
    st.verb = Statement::Insert;
    word("INTO");
    const TableRef r = tableRef(st);
    if (r.sql.rfind("\"", 0) != 0)
        throw notSupported("Changing a catalog view");
    st.table = r.name;
    m_tables.emplace_back(r.name, r.name);
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
            // Each value goes to its column through rimo_store, whose type the session fills in.
            st.sql += first ? "(" : ", (";
            for (size_t k = 0;; ++k) {
                if (k > 0 && !op(","))
                    break;
                st.sql += (k ? ", rimo_store(" : "rimo_store(") + expr() + ", " +
                          typeSlot(TypeSlot::InsertColumn, std::to_string(k)) + ")";
            }
            st.sql += ")";
            expectOp(")");
        }
    } else if (at().isWord("SELECT") || at().isOp("(")) {
        st.insertSelectPos = st.sql.size() + 1;
        st.sql += " " + select(st, false);
    } else {
        fail();
    }
    return st;
}

// TOP (n) or TOP n of UPDATE and DELETE; empty when absent.
std::string Parser::topClause()
{
    if (!word("TOP"))
        return {};
    std::string n;
    if (op("(")) {
        n = expr();
        expectOp(")");
    } else if (at().kind == TokenKind::Number) {
        n = std::string(at().text);
        advance();
    } else {
        fail();
    }
    return n;
}

Statement Parser::update()
{
    Statement st;
    st.kind = Statement::Modify;
    st.verb = Statement::Update;
    const std::string top = topClause();
    const TableRef r = tableRef(st);
    if (r.sql.rfind("\"", 0) != 0)
        throw notSupported("Changing a catalog view");
    st.table = r.name;
    m_tables.emplace_back(r.name, r.name);
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
            // Compound assignment: a += b, a -= b, ...
            const char o = at().text[0];
            advance();
            const size_t r0 = position();
            std::optional<ColumnType> rhsHint;
            const std::string rhs = expr(&rhsHint);
            value = "rimo_arith('" + std::string(1, o) + "', " + col + ", " + rhs + ", " +
                    typeSlot(TypeSlot::Arithmetic, "", parts.back()) + ", " +
                    operandType(r0, position(), rhsHint) + ")";
        } else {
            fail();
        }
        sets += (first ? "" : ", ") + col + " = rimo_store(" + value + ", " +
                typeSlot(TypeSlot::UpdateColumn, parts.back()) + ")";
    }
    if (at().isWord("FROM"))
        throw notSupported("UPDATE ... FROM");
    std::string where;
    if (word("WHERE"))
        where = expr();
    st.sql = "UPDATE " + r.sql + " SET " + sets + limitedWhere(r.sql, where, top);
    return st;
}

Statement Parser::remove()
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
    m_tables.emplace_back(r.name, r.name);
    skipTableHints();
    std::string where;
    if (word("WHERE"))
        where = expr();
    st.sql = "DELETE FROM " + r.sql + limitedWhere(r.sql, where, top);
    return st;
}

} // namespace rimo::tds
