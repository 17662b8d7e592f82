// Built-in functions: one translator per T-SQL function name, looked up in a table.
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"
#include "tools/tds-server/values.h"

#include <algorithm>

namespace rimo::tds {

namespace {

// A call being translated; the parser stands just after the function's name.
struct Call
{
    Parser& p;
    const std::string& name; // as the client wrote it
    std::optional<ColumnType>* hint;

    void setHint(const ColumnType& t) const
    {
        if (hint)
            *hint = t;
    }
    // The argument list, which must hold lo..hi arguments.
    std::vector<std::string> args(size_t lo, size_t hi) const
    {
        std::vector<std::string> a = p.args();
        if (a.size() < lo || a.size() > hi)
            throw ServerError(174, 15,
                              "The " + lowerAscii(name) + " function requires " + std::to_string(lo) +
                                  " argument(s).");
        return a;
    }
};

using Translator = std::string (*)(const Call&);

// `e` as a value of type `t`; `from` is e's type as rimo_arith takes it, `style` CONVERT's style.
std::string castTo(const std::string& e, const ColumnType& t, const std::string& from, int style)
{
    switch (t.type) {
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::SmallInt:
    case SqlType::TinyInt:
    case SqlType::Bit:
    case SqlType::Float:
    case SqlType::Real:
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
    case SqlType::Date:
    case SqlType::Time:
    case SqlType::DateTime2:
    case SqlType::DateTimeOffset:
    case SqlType::Money:
    case SqlType::SmallMoney:
    case SqlType::Decimal:
    case SqlType::Numeric:
        return "rimo_store(" + e + ", '" + storeCode(t) + "')";
    case SqlType::VarBinary:
    case SqlType::Binary:
    case SqlType::Image:
        return "rimo_binary(" + e + ", " + from + ", " + std::to_string(t.length) + ", " +
               (t.type == SqlType::Binary ? "1" : "0") + ", " + std::to_string(style) + ")";
    default: {
        std::string text = "CAST(" + e + " AS TEXT)";
        if (!t.isUnicode())
            text = "rimo_store(" + text + ", 'varchar')";
        if (t.length > 0)
            return "substr(" + text + ", 1, " + std::to_string(t.length) + ")";
        return text;
    }
    }
}

// An aggregate used as a windowed function (SUM(x) OVER (...)) is not followed.
void refuseOver(const Call& c)
{
    if (c.p.at().isWord("OVER"))
        throw notSupported("An aggregate with OVER (" + upperAscii(c.name) + ")");
}

// COUNT(*), COUNT([DISTINCT|ALL] e) and COUNT_BIG(...), which differ only in their result type.
std::string count(const Call& c, SqlType type)
{
    c.p.expectOp("(");
    std::string inner;
    if (c.p.op("*")) {
        inner = "*";
    } else {
        if (c.p.word("DISTINCT"))
            inner = "DISTINCT ";
        else
            c.p.word("ALL");
        const Parser::WindowPlaceScope nested(c.p, Parser::WindowPlace::Nested);
        inner += c.p.expr();
    }
    c.p.expectOp(")");
    refuseOver(c);
    c.setHint(typeOf(type));
    return "count(" + inner + ")";
}

// SUM, AVG, MIN, MAX with an optional DISTINCT or ALL; SQLite has the same names.
std::string aggregate(const Call& c)
{
    c.p.expectOp("(");
    std::string inner;
    if (c.p.word("DISTINCT"))
        inner = "DISTINCT ";
    else
        c.p.word("ALL");
    {
        const Parser::WindowPlaceScope nested(c.p, Parser::WindowPlace::Nested);
        inner += c.p.expr();
    }
    c.p.expectOp(")");
    refuseOver(c);
    return lowerAscii(c.name) + "(" + inner + ")";
}

// The target type of CAST or CONVERT: a text or binary type written without its length is 30 long
// there (in a column definition it is 1).
ColumnType castType(Parser& p)
{
    const size_t before = p.position();
    ColumnType t = p.columnType();
    if (p.position() == before + 1 && t.length > 0 &&
        (t.isText() || t.type == SqlType::VarBinary || t.type == SqlType::Binary))
        t.length = 30;
    return t;
}

std::string cast(const Call& c)
{
    c.p.expectOp("(");
    const size_t from = c.p.position();
    std::optional<ColumnType> fromHint;
    std::string e = c.p.expr(&fromHint);
    const std::string fromType = c.p.operandType(from, c.p.position(), fromHint);
    c.p.expectWord("AS");
    const ColumnType t = castType(c.p);
    c.p.expectOp(")");
    c.setHint(t);
    return castTo(e, t, fromType, 0);
}

// CONVERT(type, e [, style]): the style counts for texts made binary (1 and 2: hexadecimal digits, with
// and without 0x); elsewhere it is read and ignored.
std::string convert(const Call& c)
{
    c.p.expectOp("(");
    const ColumnType t = castType(c.p);
    c.p.expectOp(",");
    const size_t from = c.p.position();
    std::optional<ColumnType> fromHint;
    std::string e = c.p.expr(&fromHint);
    const std::string fromType = c.p.operandType(from, c.p.position(), fromHint);
    int style = 0;
    if (c.p.op(",")) {
        const Token styleToken = c.p.at();
        c.p.expr();
        if (styleToken.kind == TokenKind::Number && styleToken.text.size() < 4 &&
            styleToken.text.find_first_not_of("0123456789") == std::string_view::npos)
            style = std::stoi(std::string(styleToken.text));
    }
    c.p.expectOp(")");
    c.setHint(t);
    return castTo(e, t, fromType, style);
}

// Functions SQLite has under the same name and with one argument.
std::string sameNameOneArg(const Call& c)
{
    const auto a = c.args(1, 1);
    return lowerAscii(c.name) + "(" + a[0] + ")";
}

// COALESCE and NULLIF: the same name and the arguments as given.
std::string sameNameList(const Call& c, size_t most)
{
    const auto a = c.args(2, most);
    std::string out = lowerAscii(c.name) + "(";
    for (size_t i = 0; i < a.size(); ++i)
        out += (i ? ", " : "") + a[i];
    return out + ")";
}

// LEN ignores trailing blanks.
std::string len(const Call& c)
{
    const auto a = c.args(1, 1);
    c.setHint(typeOf(SqlType::Int));
    return "rimo_len(" + a[0] + ")";
}

// DATALENGTH counts SQL Server's bytes, which depend on the argument's type: a column's declared one, a
// literal's own (N'' is nvarchar), else what the value holds.
std::string dataLength(const Call& c)
{
    c.p.expectOp("(");
    const size_t from = c.p.position();
    const Token first = c.p.at();
    const std::string e = c.p.expr();
    const size_t to = c.p.position();
    c.p.expectOp(")");
    c.setHint(typeOf(SqlType::Int));
    std::string qualifier;
    std::string column;
    std::string type = "NULL";
    if (c.p.columnRef(from, to, qualifier, column))
        type = typeSlot(TypeSlot::DeclaredType, qualifier, column);
    else if (to == from + 1 && first.kind == TokenKind::String)
        type = first.national ? "'nvarchar'" : "'varchar'";
    return "rimo_datalength(" + e + ", " + type + ")";
}

std::string replace(const Call& c)
{
    const auto a = c.args(3, 3);
    return "replace(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
}

// ROUND's third argument (truncate instead) is accepted and ignored.
std::string round(const Call& c)
{
    const auto a = c.args(2, 3);
    return "round(" + a[0] + ", " + a[1] + ")";
}

std::string isNull(const Call& c)
{
    const auto a = c.args(2, 2);
    return "ifnull(" + a[0] + ", " + a[1] + ")";
}

std::string substring(const Call& c)
{
    const auto a = c.args(3, 3);
    return "substr(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
}

std::string left(const Call& c)
{
    const auto a = c.args(2, 2);
    return "substr(" + a[0] + ", 1, " + a[1] + ")";
}

// RIGHT(s, 0) is empty, while SQLite's substr(s, -0) would be the whole text.
std::string right(const Call& c)
{
    const auto a = c.args(2, 2);
    return "CASE WHEN (" + a[1] + ") <= 0 THEN '' ELSE substr(" + a[0] + ", -(" + a[1] + ")) END";
}

// CHARINDEX(needle, haystack) is instr(haystack, needle).
std::string charIndex(const Call& c)
{
    const auto a = c.args(2, 2);
    c.setHint(typeOf(SqlType::Int));
    return "instr(" + a[1] + ", " + a[0] + ")";
}

std::string now(const Call& c)
{
    c.args(0, 0);
    c.setHint(typeOf(SqlType::DateTime));
    return "strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')";
}

std::string dbName(const Call& c)
{
    c.args(0, 0);
    c.setHint(typeOf(SqlType::NVarChar, 128));
    return "rimo_db_name()";
}

std::string scopeIdentity(const Call& c)
{
    c.args(0, 0);
    c.setHint(typeOf(SqlType::Numeric, 0, 38, 0));
    return "rimo_identity()";
}

// The catalogue as the object functions read it. Its columns carry names no statement uses, so an
// argument such as `id` or `name` (OBJECTPROPERTY(id, ...) over sysobjects) still names the caller's
// column rather than the catalogue's own.
constexpr std::string_view kObjectsScope =
    "(SELECT id AS rimo_oid, name AS rimo_oname, xtype AS rimo_oxtype FROM rimo_objects) AS o";

// OBJECT_ID(name [, type]): the id of a table, view or procedure of the current database, else NULL.
std::string objectId(const Call& c)
{
    const auto a = c.args(1, 2);
    c.setHint(typeOf(SqlType::Int));
    std::string out = "(SELECT o.rimo_oid FROM " + std::string(kObjectsScope) +
                      " WHERE o.rimo_oname = rimo_object_name(" + a[0] + ")";
    if (a.size() > 1)
        out += " AND o.rimo_oxtype = (" + a[1] + ")";
    return out + ")";
}

std::string objectName(const Call& c)
{
    const auto a = c.args(1, 1);
    c.setHint(typeOf(SqlType::NVarChar, 128));
    return "(SELECT o.rimo_oname FROM " + std::string(kObjectsScope) + " WHERE o.rimo_oid = (" + a[0] + "))";
}

// OBJECTPROPERTY(id, 'property'): 1 or 0 for the kinds of object the server keeps; NULL for an id that
// names nothing and for a property it does not know, as SQL Server answers an unknown one.
std::string objectProperty(const Call& c)
{
    c.p.expectOp("(");
    const std::string id = c.p.expr();
    c.p.expectOp(",");
    if (c.p.at().kind != TokenKind::String)
        throw notSupported("OBJECTPROPERTY with a property that is not a literal");
    const std::string property = upperAscii(c.p.at().text);
    c.p.advance();
    c.p.expectOp(")");
    c.setHint(typeOf(SqlType::Int));
    std::string type;
    if (property == "ISPROCEDURE")
        type = "P";
    else if (property == "ISVIEW")
        type = "V";
    else if (property == "ISUSERTABLE" || property == "ISTABLE")
        type = "U";
    else
        return "NULL";
    return "(SELECT CASE WHEN o.rimo_oxtype = '" + type + "' THEN 1 ELSE 0 END FROM " +
           std::string(kObjectsScope) + " WHERE o.rimo_oid = (" + id + "))";
}

// APPLOCK_MODE(principal, resource, owner) and APPLOCK_TEST(principal, resource, mode, owner): the
// session answers them from the server's application locks.
std::string applockMode(const Call& c)
{
    const auto a = c.args(3, 3);
    c.setHint(typeOf(SqlType::NVarChar, 32));
    return "rimo_applock_mode(" + a[0] + ", " + a[1] + ", " + a[2] + ")";
}

std::string applockTest(const Call& c)
{
    const auto a = c.args(4, 4);
    c.setHint(typeOf(SqlType::SmallInt));
    return "rimo_applock_test(" + a[0] + ", " + a[1] + ", " + a[2] + ", " + a[3] + ")";
}

struct Function
{
    std::string_view name; // upper case
    Translator translate;
};

const Function kFunctions[] = {
    {"ABS", sameNameOneArg},
    {"APPLOCK_MODE", applockMode},
    {"APPLOCK_TEST", applockTest},
    {"AVG", aggregate},
    {"CAST", cast},
    {"CHARINDEX", charIndex},
    {"COALESCE", [](const Call& c) { return sameNameList(c, 64); }},
    {"CONVERT", convert},
    {"COUNT", [](const Call& c) { return count(c, SqlType::Int); }},
    {"COUNT_BIG", [](const Call& c) { return count(c, SqlType::BigInt); }},
    {"CURRENT_TIMESTAMP", now},
    {"DATALENGTH", dataLength},
    {"DB_NAME", dbName},
    {"GETDATE", now},
    {"ISNULL", isNull},
    {"LEFT", left},
    {"LEN", len},
    {"LOWER", sameNameOneArg},
    {"LTRIM", sameNameOneArg},
    {"MAX", aggregate},
    {"MIN", aggregate},
    {"NULLIF", [](const Call& c) { return sameNameList(c, 2); }},
    {"OBJECT_ID", objectId},
    {"OBJECT_NAME", objectName},
    {"OBJECTPROPERTY", objectProperty},
    {"REPLACE", replace},
    {"RIGHT", right},
    {"ROUND", round},
    {"RTRIM", sameNameOneArg},
    {"SCOPE_IDENTITY", scopeIdentity},
    {"SUBSTRING", substring},
    {"SUM", aggregate},
    {"SYSDATETIME", now},
    {"UPPER", sameNameOneArg},
};

} // namespace

std::string Parser::windowFunction(const std::string& fname, std::optional<ColumnType>* hint)
{
    const bool withArguments = !args().empty();
    if (!at().isWord("OVER"))
        throw ServerError(10753, 15, "The function '" + fname + "' must have an OVER clause.", 3);
    if (withArguments)
        throw ServerError(174, 15, "The " + lowerAscii(fname) + " function requires 0 argument(s).");
    if (m_windowPlace == WindowPlace::Clause)
        throw ServerError(4108, 15, "Windowed functions can only appear in the SELECT or ORDER BY clauses.");
    if (m_windowPlace == WindowPlace::Nested)
        throw ServerError(4109, 15,
                          "Windowed functions cannot be used in the context of another windowed function or "
                          "aggregate.");
    advance();
    expectOp("(");
    const WindowPlaceScope nested(*this, WindowPlace::Nested);
    std::string over;
    if (word("PARTITION")) {
        expectWord("BY");
        over = "PARTITION BY " + exprList();
    }
    if (!word("ORDER"))
        throw ServerError(4112, 15, "The function '" + fname + "' must have an OVER clause with ORDER BY.");
    expectWord("BY");
    over += (over.empty() ? "" : " ") + std::string("ORDER BY ") + orderList();
    if (at().isWord("ROWS") || at().isWord("RANGE"))
        throw ServerError(10752, 15, "The function '" + fname + "' may not have a window frame.");
    expectOp(")");
    if (hint)
        *hint = typeOf(SqlType::BigInt);
    return lowerAscii(fname) + "() OVER (" + over + ")";
}

std::string Parser::function(std::optional<ColumnType>* hint)
{
    const std::string fname(at().text);
    const std::string f = upperAscii(fname);
    advance();
    if (f == "ROW_NUMBER" || f == "RANK" || f == "DENSE_RANK")
        return windowFunction(fname, hint);
    static constexpr std::string_view kOtherWindowFunctions[] = {
        "NTILE",          "LAG",          "LEAD",      "FIRST_VALUE",
        "LAST_VALUE",     "PERCENT_RANK", "CUME_DIST", "PERCENTILE_CONT",
        "PERCENTILE_DISC"};
    if (std::find(std::begin(kOtherWindowFunctions), std::end(kOtherWindowFunctions), f) !=
        std::end(kOtherWindowFunctions))
        throw notSupported("The windowed function " + f);
    const auto* found = std::find_if(std::begin(kFunctions), std::end(kFunctions),
                                     [&](const Function& fn) { return fn.name == f; });
    if (found != std::end(kFunctions))
        return found->translate(Call{*this, fname, hint});
    // The arguments are read first, so that a broken list reports its syntax error instead.
    args();
    throw ServerError(195, 15, "'" + fname + "' is not a recognized built-in function name.");
}

} // namespace rimo::tds
