// CREATE and DROP of databases, tables and indexes, and the column types they name.
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

#include <algorithm>

namespace rimo::tds {

ColumnType Parser::columnType()
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
                args.push_back(std::stoi(std::string(at().text)));
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

std::vector<std::string> Parser::keyColumns()
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

// PRIMARY KEY or UNIQUE, with its optional (NON)CLUSTERED; the caller fills in the columns. Unnamed keys
// are named after the table, as the error texts of duplicate keys show them.
ConstraintDef Parser::keyConstraint(const std::string& constraintName, const std::string& table)
{
    ConstraintDef k;
    k.kind = at().isWord("PRIMARY") ? ConstraintDef::PrimaryKey : ConstraintDef::Unique;
    advance();
    if (k.kind == ConstraintDef::PrimaryKey)
        expectWord("KEY");
    if (!word("CLUSTERED"))
        word("NONCLUSTERED");
    k.name = constraintName.empty() ? (k.kind == ConstraintDef::PrimaryKey ? "PK__" : "UQ__") + table
                                    : constraintName;
    return k;
}

Statement Parser::create()
{
    Statement st;
    if (word("DATABASE")) {
        st.kind = Statement::CreateDatabase;
        st.name = name();
        return st;
    }
    if (word("LOGIN"))
        return createLogin();
    if (at().isWord("VIEW")) {
        checkFirstInBatch("CREATE VIEW");
        advance();
        return createView();
    }
    if (at().isWord("PROC") || at().isWord("PROCEDURE")) {
        checkFirstInBatch("CREATE/ALTER PROCEDURE");
        advance();
        return createProcedure();
    }
    bool unique = false;
    if (word("UNIQUE"))
        unique = true;
    if (!word("CLUSTERED"))
        word("NONCLUSTERED");
    if (word("INDEX"))
        return createIndex(unique);
    if (unique)
        fail();
    if (!word("TABLE"))
        throw notSupported("CREATE " + upperAscii(at().text));
    return createTable();
}

// CREATE LOGIN name WITH PASSWORD = 'text' [, CHECK_POLICY = ON|OFF] [, CHECK_EXPIRATION = ON|OFF]: an
// SQL login. Logins from Windows, certificates or keys, hashed passwords and the other options are not
// kept, so they are refused rather than half-done.
Statement Parser::createLogin()
{
    Statement st;
    st.kind = Statement::CreateLogin;
    st.name = name();
    if (at().isWord("FROM"))
        throw notSupported("CREATE LOGIN ... FROM");
    expectWord("WITH");
    expectWord("PASSWORD");
    expectOp("=");
    if (at().kind != TokenKind::String)
        fail();
    st.password = std::string(at().text);
    advance();
    if (at().isWord("HASHED") || at().isWord("MUST_CHANGE"))
        throw notSupported("CREATE LOGIN ... " + upperAscii(at().text));
    while (op(",")) {
        if (!at().isWord("CHECK_POLICY") && !at().isWord("CHECK_EXPIRATION"))
            throw notSupported("CREATE LOGIN option " + upperAscii(at().text));
        advance();
        expectOp("=");
        if (!word("ON"))
            expectWord("OFF");
    }
    return st;
}

// Index names are per table in T-SQL but per database in SQLite, so the table name is part of it.
Statement Parser::createIndex(bool unique)
{
    Statement st;
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

Statement Parser::createTable()
{
    Statement st;
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
        if (tableConstraint(def, constraintName, checkCount))
            continue;
        if (at().isWord("FOREIGN"))
            throw notSupported("FOREIGN KEY");
        if (!constraintName.empty())
            fail();
        columnDefinition(def, checkCount);
    }
    expectOp(")");
    // Primary key columns are NOT NULL whatever their own definition said.
    for (auto& k : def.constraints) {
        if (k.kind != ConstraintDef::PrimaryKey)
            continue;
        for (const auto& kc : k.columns) {
            auto it = std::find_if(def.columns.begin(), def.columns.end(),
                                   [&](const ColumnDef& c) { return lowerAscii(c.name) == lowerAscii(kc); });
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

// A table-level PRIMARY KEY, UNIQUE or CHECK; false when the next item is not one of them.
bool Parser::tableConstraint(TableDef& def, const std::string& constraintName, int& checkCount)
{
    if (at().isWord("PRIMARY") || at().isWord("UNIQUE")) {
        ConstraintDef k = keyConstraint(constraintName, def.name);
        k.columns = keyColumns();
        def.constraints.push_back(k);
        return true;
    }
    if (word("CHECK")) {
        ConstraintDef k;
        k.kind = ConstraintDef::Check;
        expectOp("(");
        k.checkSql = expr();
        expectOp(")");
        k.name =
            constraintName.empty() ? "CK__" + def.name + "__" + std::to_string(++checkCount) : constraintName;
        def.constraints.push_back(k);
        return true;
    }
    return false;
}

void Parser::columnDefinition(TableDef& def, int& checkCount)
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
            identity(c);
        } else if (word("NOT")) {
            expectWord("NULL");
            c.nullable = false;
        } else if (word("NULL")) {
            explicitNull = true;
        } else if (at().isWord("PRIMARY") || at().isWord("UNIQUE")) {
            ConstraintDef k = keyConstraint(constraintName, def.name);
            k.columns = {c.name};
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

// IDENTITY [(seed, 1)] after the column's type; only whole-number columns can carry it.
void Parser::identity(ColumnDef& c)
{
    if (op("(")) {
        const bool neg = op("-");
        if (at().kind != TokenKind::Number || at().text.size() > 17 ||
            at().text.find_first_not_of("0123456789") != std::string::npos)
            fail();
        c.seed = std::stoll(std::string(at().text)) * (neg ? -1 : 1);
        advance();
        expectOp(",");
        if (at().kind != TokenKind::Number)
            fail();
        if (at().text != "1")
            throw notSupported("An identity increment other than 1");
        advance();
        expectOp(")");
    }
    if (c.type.type != SqlType::Int && c.type.type != SqlType::BigInt && c.type.type != SqlType::SmallInt &&
        c.type.type != SqlType::TinyInt)
        throw ServerError(2749, 16,
                          "Identity column '" + c.name +
                              "' must be of data type int, bigint, smallint, tinyint, or decimal or "
                              "numeric with a scale of 0, encrypted with a deterministic encryption "
                              "key, and constrained to be nonnullable.");
    c.identity = true;
    c.nullable = false;
}

Statement Parser::drop()
{
    Statement st;
    if (word("DATABASE")) {
        st.kind = Statement::DropDatabase;
        st.name = name();
        return st;
    }
    if (word("INDEX")) {
        // DROP INDEX t.i or DROP INDEX i ON t
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
    if (word("VIEW"))
        return dropObjects('V');
    if (word("PROC") || word("PROCEDURE"))
        return dropObjects('P');
    if (!word("TABLE"))
        throw notSupported("DROP " + upperAscii(at().text));
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

} // namespace rimo::tds
