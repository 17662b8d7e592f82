// The recursive-descent reader behind translateBatch: it walks the lexer's tokens and writes SQLite text
// as it goes. Its members live in one unit per job: statements and SELECT (translator.cpp), INSERT, UPDATE
// and DELETE (changes.cpp), table and index definitions (definitions.cpp), views, procedures and control
// flow (routines.cpp), expressions (expressions.cpp) and built-in functions (functions.cpp).
#pragma once

#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/lexer.h"
#include "tools/tds-server/storage.h"
#include "tools/tds-server/translator.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

std::string upperAscii(std::string_view s);
// A client's text as a SQLite literal, with the characters SQLite's text cannot carry spelled out.
std::string textLiteral(const std::string& text);
// A reserved word of T-SQL (syntax errors at one are reported "near the keyword").
bool isKeyword(const Token& tok);

// The arithmetic type SQL Server gives a number literal: int for a whole number that fits one, numeric
// for a longer one or one with a point, float with an exponent; 0x... is binary.
ArithType literalArithType(std::string_view text);
// An ArithType as rimo_arith takes it.
std::string arithTypeCode(ArithType t);

inline ColumnType typeOf(SqlType t, int length = 0, int precision = 0, int scale = 0)
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
    Parser(std::string_view src, TokenList tokens) : m_src(src), m_t(std::move(tokens)) {}

    std::vector<Statement> batch();

    // Where a windowed function (ROW_NUMBER() OVER ...) may stand: in a select list or ORDER BY; not in
    // the other clauses (4108), nor inside another windowed function or an aggregate (4109).
    enum class WindowPlace { Clause, Allowed, Nested };
    // Sets where windowed functions may stand while it lives.
    class WindowPlaceScope
    {
    public:
        WindowPlaceScope(Parser& p, WindowPlace place) : m_p(p), m_saved(p.m_windowPlace)
        {
            p.m_windowPlace = place;
        }
        ~WindowPlaceScope() { m_p.m_windowPlace = m_saved; }
        WindowPlaceScope(const WindowPlaceScope&) = delete;
        WindowPlaceScope& operator=(const WindowPlaceScope&) = delete;

    private:
        Parser& m_p;
        WindowPlace m_saved;
    };
    // The body of a stored procedure: a batch in which CREATE VIEW and CREATE PROCEDURE cannot appear.
    void setInProcedure() { m_inProcedure = true; }

    // Token helpers. Past the end, at() keeps answering the End token.
    size_t position() const { return m_p; }
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
    // Raises "Incorrect syntax near" the current token (or the last one at the end).
    [[noreturn]] void fail() const;
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
    bool isName(const Token& tok) const;
    bool isStatementStart(const Token& tok) const;
    std::string name();
    // Dotted name with possibly empty parts (db..t); returns the parts in order.
    std::vector<std::string> dottedName();

    // Expressions. `hint` receives the result type when the expression has a known one; `plainColumn`
    // tells whether it is a bare column reference (which keeps its own name in a select list).
    std::string expr(std::optional<ColumnType>* hint = nullptr, bool* plainColumn = nullptr);
    std::string exprList();
    // A parenthesised, comma-separated argument list (possibly empty).
    std::vector<std::string> args();
    std::string select(Statement& st, bool topLevel);
    // A type name with its optional (length), (precision, scale) or (max).
    ColumnType columnType();
    // Parameter declarations: @name [AS] type [= default] [, ...], marked OUTPUT where `outputAllowed`.
    std::vector<ProcedureParameter> parameterList(bool outputAllowed);
    // When tokens [from, to) are one column reference: its qualifier (maybe empty) and name.
    bool columnRef(size_t from, size_t to, std::string& qualifier, std::string& column) const;
    // The type of the operand in tokens [from, to), as rimo_arith takes it: a literal's own type, a column's
    // (a type slot the session fills in), a parameter's name (its declared type is looked up when the
    // statement runs), the known type of a function or CAST (`hint`), else NULL: the value's own.
    std::string operandType(size_t from, size_t to, const std::optional<ColumnType>& hint) const;

private:
    enum class Shape { Other, Text, Number };

    bool isReserved(const Token& tok) const;
    void skipTableHints();
    TableRef tableRef(Statement& st);

    // Statements (translator.cpp).
    // A statement with the databases its queries name (sub-queries included) recorded on it.
    Statement fullStatement();
    Statement statement();
    std::string selectTop();
    std::string selectList(Statement& st, bool topLevel);
    std::string selectItem(SelectItem& item);
    std::string orderList();
    std::string fromClause(Statement& st);
    std::string tableSource(Statement& st);
    void rowsetFunction();
    Statement set();

    // INSERT, UPDATE and DELETE (changes.cpp).
    Statement insert();
    std::string topClause();
    Statement update();
    Statement remove();
    // WITH name [(columns)] AS (select) [, ...] followed by SELECT, INSERT, UPDATE or DELETE.
    Statement withStatement();
    bool isCte(std::string_view name) const;

    // Definitions (definitions.cpp).
    std::vector<std::string> keyColumns();
    ConstraintDef keyConstraint(const std::string& constraintName, const std::string& table);
    Statement create();
    Statement createLogin();
    Statement createIndex(bool unique);
    Statement createTable();
    bool tableConstraint(TableDef& def, const std::string& constraintName, int& checkCount);
    void columnDefinition(TableDef& def, int& checkCount);
    void identity(ColumnDef& c);
    Statement drop();

    // Views, procedures and control flow (routines.cpp).
    Statement ifStatement();
    // Whether tokens [from, to) are a condition rather than a value (IF 1 is refused, as in T-SQL).
    bool isCondition(size_t from, size_t to) const;
    Statement block();
    Statement exec();
    // CREATE VIEW and CREATE PROCEDURE start their batch and are not nested; `keyword` names the
    // statement in error 111.
    void checkFirstInBatch(const char* keyword);
    Statement createView();
    Statement createProcedure();
    Statement dropObjects(char type);
    // A name of a view or procedure: [dbo.]name, with the name as written for messages.
    std::string objectName(std::string* shown);
    // A system procedure the server knows (sp_getapplock, sp_releaseapplock), named with or without
    // sys. or dbo. and a database: its lowercased name, read; nullopt (nothing read) for any other name.
    std::optional<std::string> systemProcedureAt();

    // Expressions (expressions.cpp).
    std::string andExpr(std::optional<ColumnType>* hint, bool* plainColumn);
    std::string notExpr(std::optional<ColumnType>* hint, bool* plainColumn);
    std::string predicate(std::optional<ColumnType>* hint, bool* plainColumn);
    std::string additive(std::optional<ColumnType>* hint, bool* plainColumn);
    std::string multiplicative(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape);
    std::string unary(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape);
    std::string primary(std::optional<ColumnType>* hint, bool* plainColumn);
    std::string caseExpr(std::optional<ColumnType>* hint);
    // The openings of nested rimo_arith calls for the operators `ops`, innermost first.
    static std::string arithCalls(const std::string& ops);
    // Whether tokens [from, to) are one parenthesised group.
    bool oneGroup(size_t from, size_t to) const;
    // When tokens [from, to) are one literal or parameter (a value SQL Server converts to the type of
    // the column it is compared with).
    bool valueAt(size_t from, size_t to) const;
    // `value` (tokens [v0, v1)) compared with the expression of tokens [c0, c1): converted to that
    // column's type when one is a column and the other a value.
    std::string compared(const std::string& value, size_t v0, size_t v1, size_t c0, size_t c1) const;
    std::string variable(const std::string& text, std::optional<ColumnType>* hint);

    // Built-in functions (functions.cpp).
    std::string function(std::optional<ColumnType>* hint);
    // ROW_NUMBER, RANK and DENSE_RANK with their OVER clause.
    std::string windowFunction(const std::string& name, std::optional<ColumnType>* hint);

    // Counts the nesting of the recursive rules (sub-queries, parentheses, unary operators, NOT) so
    // that a deeply nested statement is refused before it runs the session thread out of stack.
    class Nest
    {
    public:
        explicit Nest(Parser& p);
        ~Nest() { --m_p.m_depth; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;

    private:
        Parser& m_p;
    };

    std::string_view m_src;
    TokenList m_t;
    size_t m_p = 0;
    int m_depth = 0;
    bool m_first = true; // no statement of the batch read yet
    int m_nested = 0;    // inside IF or BEGIN ... END
    bool m_inProcedure = false;
    bool m_viewSelect = false; // reading the select of CREATE VIEW or of a common table expression
    WindowPlace m_windowPlace = WindowPlace::Clause;
    // The common table expressions of the statement being read, and the one being defined.
    std::vector<std::string> m_cteNames;
    std::string m_cteDefining;
    // The sources of the FROM clauses read (one entry per table, view, derived table or common table
    // expression) with the depth of sub-queries they stand at.
    struct Source
    {
        std::string alias;
        std::string table; // empty for a derived table
        bool cte = false;
        int depth = 0;
    };
    std::vector<Source> m_sources;
    int m_selectDepth = 0;
    // What the statement being read refers to, sub-queries included.
    bool m_usesSysDatabases = false;
    std::vector<std::string> m_databases;
    std::vector<std::pair<std::string, std::string>> m_tables;
};

// The deepest nesting the parser follows; SQL Server's own limits on nesting are of the same order.
constexpr int kMaxNesting = 256;

} // namespace rimo::tds
