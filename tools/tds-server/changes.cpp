// INSERT, UPDATE and DELETE.
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

#include <algorithm>
#include <utility>

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
    skipTableHints();
    expectWord("SET");
    struct Assignment
    {
        std::vector<std::string> parts; // the column, maybe qualified
        char op = '=';                  // '=' or the operator of a compound assignment (+=, ...)
        std::string value;
        std::string valueType; // of a compound assignment's right side, as rimo_arith takes it
    };
    std::vector<Assignment> assignments;
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        Assignment a;
        a.parts = dottedName();
        if (op("=")) {
            a.value = expr();
        } else if (at().kind == TokenKind::Operator && at().text.size() == 2 && at().text[1] == '=' &&
                   std::string_view("+-*/").find(at().text[0]) != std::string_view::npos) {
            // Compound assignment: a += b, a -= b, ...
            a.op = at().text[0];
            advance();
            const size_t r0 = position();
            std::optional<ColumnType> rhsHint;
            a.value = expr(&rhsHint);
            a.valueType = operandType(r0, position(), rhsHint);
        } else {
            fail();
        }
        st.columns.push_back(a.parts.back());
        assignments.push_back(std::move(a));
    }
    const size_t sourcesBefore = m_sources.size();
    std::string from;
    if (word("FROM"))
        from = fromClause(st);
    std::string where;
    if (word("WHERE"))
        where = expr();

    // The row to write, as each assignment computes it: `target` qualifies the columns of the table
    // written.
    auto valueOf = [&](const Assignment& a, const std::string& target) {
        if (a.op == '=')
            return a.value;
        const std::string column =
            (target.empty() ? "" : sqliteIdent(target) + ".") + sqliteIdent(a.parts.back());
        return "rimo_arith('" + std::string(1, a.op) + "', " + column + ", " + a.value + ", " +
               typeSlot(TypeSlot::Arithmetic, target, a.parts.back()) + ", " + a.valueType + ")";
    };
    if (from.empty()) {
        if (isCte(r.name))
            throw notSupported("Changing data through a common table expression");
        st.table = r.name;
        m_tables.emplace_back(r.name, r.name);
        std::string sets;
        for (const auto& a : assignments)
            sets += (sets.empty() ? "" : ", ") + sqliteIdent(a.parts.back()) + " = rimo_store(" +
                    valueOf(a, {}) + ", " + typeSlot(TypeSlot::UpdateColumn, a.parts.back()) + ")";
        st.sql = "UPDATE " + r.sql + " SET " + sets + limitedWhere(r.sql, where, top);
        return st;
    }

    // UPDATE ... FROM: the table written is the source of the FROM clause that the name after UPDATE
    // names by its alias, else the one table of that name there (one without an alias when it is there
    // more than once), else one more instance of that table beside the FROM clause's, as SQL Server
    // binds it. The FROM clause (with the WHERE) computes, for each row to write, its rowid and new
    // values; the UPDATE writes them.
    std::vector<const Source*> level;
    for (size_t i = sourcesBefore; i < m_sources.size(); ++i)
        if (m_sources[i].depth == m_selectDepth)
            level.push_back(&m_sources[i]);
    const Source* target = nullptr;
    for (const Source* s : level)
        if (compareCi(s->alias, r.name) == 0)
            target = s;
    if (!target) {
        std::vector<const Source*> named;
        for (const Source* s : level)
            if (!s->table.empty() && compareCi(s->table, r.name) == 0)
                named.push_back(s);
        if (named.size() > 1)
            throw ServerError(8154, 16, "The table '" + r.name + "' is ambiguous.");
        if (!named.empty())
            target = named.front();
    }
    if (target && (target->table.empty() || target->cte))
        throw notSupported("Changing data through a derived table or common table expression");
    if (!target && isCte(r.name))
        throw notSupported("Changing data through a common table expression");
    const std::string table = target ? target->table : r.name;
    const std::string alias = target ? target->alias : r.name;
    st.table = table;
    if (!target) {
        m_tables.emplace_back(r.name, r.name);
        from += ", " + r.sql + " AS " + sqliteIdent(r.name);
    }
    for (const auto& a : assignments) {
        if (a.parts.size() < 2)
            continue;
        const std::string& qualifier = a.parts[a.parts.size() - 2];
        if (compareCi(qualifier, alias) != 0 && compareCi(qualifier, table) != 0)
            throw ServerError(4104, 16,
                              "The multi-part identifier \"" + qualifier + "." + a.parts.back() +
                                  "\" could not be bound.");
    }
    std::string rows = "SELECT " + sqliteIdent(alias) + ".rowid AS rimo_rowid";
    std::string sets;
    for (size_t k = 0; k < assignments.size(); ++k) {
        const std::string v = "rimo_v" + std::to_string(k);
        rows += ", " + valueOf(assignments[k], alias) + " AS " + v;
        sets += (k ? ", " : "") + sqliteIdent(assignments[k].parts.back()) + " = rimo_store(rimo_u." + v +
                ", " + typeSlot(TypeSlot::UpdateColumn, assignments[k].parts.back()) + ")";
    }
    rows += " FROM " + from;
    if (!where.empty())
        rows += " WHERE " + where;
    if (!top.empty())
        rows += " LIMIT " + top;
    const std::string written = sqliteIdent(table);
    st.sql = "UPDATE " + written + " SET " + sets + " FROM (" + rows + ") AS rimo_u WHERE " + written +
             ".rowid = rimo_u.rimo_rowid";
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
    if (isCte(r.name))
        throw notSupported("Changing data through a common table expression");
    st.table = r.name;
    m_tables.emplace_back(r.name, r.name);
    skipTableHints();
    if (at().isWord("FROM"))
        throw notSupported("DELETE ... FROM");
    std::string where;
    if (word("WHERE"))
        where = expr();
    st.sql = "DELETE FROM " + r.sql + limitedWhere(r.sql, where, top);
    return st;
}

bool Parser::isCte(std::string_view name) const
{
    return std::any_of(m_cteNames.begin(), m_cteNames.end(),
                       [&](const std::string& n) { return compareCi(n, name) == 0; });
}

Statement Parser::withStatement()
{
    expectWord("WITH");
    if (at().isWord("XMLNAMESPACES") || at().isWord("CHANGE_TRACKING_CONTEXT"))
        throw notSupported("WITH " + upperAscii(at().text));
    const size_t outer = m_cteNames.size();
    std::string prefix = "WITH ";
    Statement defined; // what the definitions' queries name
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        const std::string cte = name();
        if (isCte(cte) && m_cteNames.size() > outer)
            for (size_t i = outer; i < m_cteNames.size(); ++i)
                if (compareCi(m_cteNames[i], cte) == 0)
                    throw ServerError(239, 16,
                                      "Duplicate common table expression name '" + cte + "' was specified.");
        std::vector<std::string> columns;
        if (op("(")) {
            for (bool firstColumn = true;; firstColumn = false) {
                if (!firstColumn && !op(","))
                    break;
                const std::string c = name();
                for (const auto& earlier : columns)
                    if (compareCi(earlier, c) == 0)
                        throw ServerError(8156, 16,
                                          "The column '" + c + "' was specified multiple times for '" + cte +
                                              "'.");
                columns.push_back(c);
            }
            expectOp(")");
        }
        expectWord("AS");
        expectOp("(");
        // The query is read as a view's is (no ORDER BY without TOP, no INTO); it cannot name itself.
        Statement inner;
        std::string sql;
        {
            const bool viewSelect = std::exchange(m_viewSelect, true);
            std::string defining = std::exchange(m_cteDefining, cte);
            struct Restore
            {
                Parser& p;
                bool viewSelect;
                std::string& defining;
                ~Restore()
                {
                    p.m_viewSelect = viewSelect;
                    p.m_cteDefining = std::move(defining);
                }
            } restore{*this, viewSelect, defining};
            sql = select(inner, true);
        }
        expectOp(")");
        const bool star =
            std::any_of(inner.items.begin(), inner.items.end(), [](const SelectItem& i) { return i.star; });
        if (columns.empty()) {
            for (size_t i = 0; i < inner.items.size(); ++i)
                if (inner.items[i].unnamed)
                    throw ServerError(8155, 16,
                                      "No column name was specified for column " + std::to_string(i + 1) +
                                          " of '" + cte + "'.");
        } else if (!star && columns.size() < inner.items.size()) {
            throw ServerError(8158, 16,
                              "'" + cte + "' has more columns than were specified in the column list.");
        } else if (!star && columns.size() > inner.items.size()) {
            throw ServerError(8159, 16,
                              "'" + cte + "' has fewer columns than were specified in the column list.");
        }
        prefix += (first ? "" : ", ") + sqliteIdent(cte);
        if (!columns.empty()) {
            prefix += "(";
            for (size_t i = 0; i < columns.size(); ++i)
                prefix += (i ? ", " : "") + sqliteIdent(columns[i]);
            prefix += ")";
        }
        prefix += " AS (" + sql + ")";
        m_cteNames.push_back(cte);
        defined.usesSysDatabases |= inner.usesSysDatabases;
        defined.databases.insert(defined.databases.end(), inner.databases.begin(), inner.databases.end());
    }
    Statement st;
    if (at().isWord("SELECT") || (at().isOp("(") && at(1).isWord("SELECT"))) {
        st.kind = Statement::Query;
        st.sql = select(st, true);
    } else if (word("INSERT")) {
        st = insert();
    } else if (word("UPDATE")) {
        st = update();
    } else if (word("DELETE")) {
        st = remove();
    } else if (at().isWord("MERGE")) {
        throw notSupported("MERGE");
    } else {
        fail();
    }
    m_cteNames.resize(outer);
    st.sql = prefix + " " + st.sql;
    st.insertPos += prefix.size() + 1;
    if (st.insertSelectPos != std::string::npos)
        st.insertSelectPos += prefix.size() + 1;
    st.usesSysDatabases |= defined.usesSysDatabases;
    st.databases.insert(st.databases.end(), defined.databases.begin(), defined.databases.end());
    return st;
}

} // namespace rimo::tds
