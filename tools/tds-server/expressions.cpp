// Expressions: boolean and comparison operators, arithmetic and string concatenation, literals, column
// references, CASE, and @@ variables.
#include "tools/tds-server/arithmetic.h"
#include "tools/tds-server/encoding.h"
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

namespace rimo::tds {

namespace {

// The @@ variables the server knows: their SQLite text and result type.
struct GlobalVariable
{
    std::string_view name;
    const char* sql;
    ColumnType type;
};

const GlobalVariable kGlobalVariables[] = {
    // Shaped like SQL Server 2019's own answer, which clients cut the version year out of; the last line
    // says what answers in truth.
    {"@@VERSION",
     "'Microsoft SQL Server 2019 (RTM) - 15.0.2000.5 (X64) ' || char(10) || char(9) || "
     "'Sep 24 2019 13:48:23 ' || char(10) || char(9) || "
     "'Rimo1 TDS test server on SQLite ' || sqlite_version() || ', a development stand-in for "
     "Microsoft SQL Server; not SQL Server'",
     typeOf(SqlType::NVarChar, 300)},
    {"@@SPID", "rimo_spid()", typeOf(SqlType::SmallInt)},
    {"@@IDENTITY", "rimo_identity()", typeOf(SqlType::Numeric, 0, 38, 0)},
    {"@@ROWCOUNT", "rimo_rowcount()", typeOf(SqlType::Int)},
    {"@@TRANCOUNT", "rimo_trancount()", typeOf(SqlType::Int)},
    {"@@SERVERNAME", "'RIMO-TEST'", typeOf(SqlType::NVarChar, 128)},
    {"@@ERROR", "0", typeOf(SqlType::Int)},
};

} // namespace

// A client's text as a SQLite literal. NUL would end SQLite's reading of the statement and \x01 would
// pass for a type slot, so both are spelled out with char().
std::string textLiteral(const std::string& text)
{
    if (text.find_first_of(std::string_view("\0\x01", 2)) == std::string::npos)
        return sqliteLiteral(text);
    std::string out = "(''";
    size_t from = 0;
    for (size_t at = text.find_first_of(std::string_view("\0\x01", 2)); at != std::string::npos;
         at = text.find_first_of(std::string_view("\0\x01", 2), from)) {
        out += " || " + sqliteLiteral(text.substr(from, at - from)) + " || char(" +
               std::to_string(static_cast<int>(text[at])) + ")";
        from = at + 1;
    }
    return out + " || " + sqliteLiteral(text.substr(from)) + ")";
}

std::string Parser::exprList()
{
    std::string out;
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        out += (first ? "" : ", ") + expr();
    }
    return out;
}

std::vector<std::string> Parser::args()
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

std::string Parser::expr(std::optional<ColumnType>* hint, bool* plainColumn)
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

std::string Parser::andExpr(std::optional<ColumnType>* hint, bool* plainColumn)
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

Parser::Nest::Nest(Parser& p) : m_p(p)
{
    if (++m_p.m_depth > kMaxNesting) {
        --m_p.m_depth;
        throw ServerError(191, 15,
                          "Some part of your SQL statement is nested too deeply. Rewrite the query or break "
                          "it up into smaller queries.");
    }
}

std::string Parser::notExpr(std::optional<ColumnType>* hint, bool* plainColumn)
{
    const Nest nest(*this);
    if (word("NOT")) {
        if (plainColumn)
            *plainColumn = false;
        return "NOT " + notExpr(nullptr, nullptr);
    }
    return predicate(hint, plainColumn);
}

std::string Parser::predicate(std::optional<ColumnType>* hint, bool* plainColumn)
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
    const size_t l0 = m_p;
    std::string left = additive(hint, plainColumn);
    const size_t l1 = m_p;
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
            const size_t r0 = m_p;
            std::string right = additive(nullptr, nullptr);
            const size_t r1 = m_p;
            std::string qualifier;
            std::string column;
            // Texts compare under the database's collation: a column brings it along; between two
            // values it has to be named.
            if (!columnRef(l0, l1, qualifier, column) && !columnRef(r0, r1, qualifier, column))
                return left + " " + o + " (" + right + ") COLLATE RIMO_CI";
            return compared(left, l0, l1, r0, r1) + " " + o + " " + compared(right, r0, r1, l0, l1);
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
            for (bool first = true;; first = false) {
                if (!first && !op(","))
                    break;
                const size_t v0 = m_p;
                const std::string item = expr();
                list += (first ? "" : ", ") + compared(item, v0, m_p, l0, l1);
            }
        }
        expectOp(")");
        return left + (negate ? " NOT IN (" : " IN (") + list + ")";
    }
    if (word("BETWEEN")) {
        notPlain();
        const size_t lo0 = m_p;
        std::string lo = additive(nullptr, nullptr);
        lo = compared(lo, lo0, m_p, l0, l1);
        expectWord("AND");
        const size_t hi0 = m_p;
        std::string hi = additive(nullptr, nullptr);
        hi = compared(hi, hi0, m_p, l0, l1);
        return left + (negate ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi;
    }
    if (negate)
        fail();
    return left;
}

// T-SQL's + adds numbers and joins texts: two text literals are joined here; everything else goes to
// rimo_arith, which types the sum as SQL Server does (arithmetic.h). Each operator takes everything to its
// left: the calls' openings are put in front once at the end, so that a long chain of terms is
// translated in time linear in its length.
std::string Parser::additive(std::optional<ColumnType>* hint, bool* plainColumn)
{
    const size_t from = m_p;
    Shape shape = Shape::Other;
    std::optional<ColumnType> firstHint;
    std::string out = multiplicative(&firstHint, plainColumn, &shape);
    if (!at().isOp("+") && !at().isOp("-")) {
        if (hint)
            *hint = firstHint;
        return out;
    }
    std::string leftType = operandType(from, m_p, firstHint);
    std::string ops; // one per call, the innermost first
    while (at().isOp("+") || at().isOp("-")) {
        const bool plus = at().isOp("+");
        advance();
        const size_t r0 = m_p;
        Shape rs = Shape::Other;
        std::optional<ColumnType> rightHint;
        const std::string right = multiplicative(&rightHint, nullptr, &rs);
        const std::string rightType = operandType(r0, m_p, rightHint);
        if (plus && shape == Shape::Text && rs == Shape::Text) {
            out += " || ";
            out += right;
            leftType = leftType == rightType ? leftType : arithTypeCode(ArithType::NText);
            continue;
        }
        out += ", ";
        out += right;
        out += ", ";
        out += leftType;
        out += ", ";
        out += rightType;
        out += ')';
        ops += plus ? '+' : '-';
        leftType = "NULL";
        shape = plus ? Shape::Other : Shape::Number;
    }
    if (plainColumn)
        *plainColumn = false;
    if (hint)
        hint->reset();
    if (ops.empty())
        return out;
    return arithCalls(ops) + out;
}

std::string Parser::multiplicative(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape)
{
    const size_t from = m_p;
    std::optional<ColumnType> firstHint;
    std::string out = unary(&firstHint, plainColumn, shape);
    auto isOperator = [this] { return at().isOp("*") || at().isOp("/") || at().isOp("%"); };
    if (!isOperator()) {
        if (hint)
            *hint = firstHint;
        return out;
    }
    std::string leftType = operandType(from, m_p, firstHint);
    std::string ops;
    while (isOperator()) {
        ops += at().text[0];
        advance();
        const size_t r0 = m_p;
        std::optional<ColumnType> rightHint;
        const std::string right = unary(&rightHint, nullptr, nullptr);
        out += ", ";
        out += right;
        out += ", ";
        out += leftType;
        out += ", ";
        out += operandType(r0, m_p, rightHint);
        out += ')';
        leftType = "NULL";
    }
    if (plainColumn)
        *plainColumn = false;
    if (hint)
        hint->reset();
    if (shape)
        *shape = Shape::Number;
    return arithCalls(ops) + out;
}

std::string Parser::unary(std::optional<ColumnType>* hint, bool* plainColumn, Shape* shape)
{
    const Nest nest(*this);
    if (op("-")) {
        if (shape)
            *shape = Shape::Number;
        const size_t from = m_p;
        std::optional<ColumnType> inner;
        const std::string operand = unary(&inner, nullptr, nullptr);
        // A negative number literal is itself a literal.
        if (m_p == from + 1 && m_t[from].kind == TokenKind::Number &&
            literalArithType(m_t[from].text) != ArithType::Binary)
            return "-" + operand;
        if (hint) {
            *hint = inner;
            if (inner && inner->type == SqlType::TinyInt)
                *hint = typeOf(SqlType::SmallInt);
        }
        return "rimo_neg(" + operand + ", " + operandType(from, m_p, inner) + ")";
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

std::string Parser::arithCalls(const std::string& ops)
{
    std::string calls;
    calls.reserve(ops.size() * 17);
    for (auto it = ops.rbegin(); it != ops.rend(); ++it) {
        calls += "rimo_arith('";
        calls += *it;
        calls += "', ";
    }
    return calls;
}

bool Parser::oneGroup(size_t from, size_t to) const
{
    if (to < from + 2 || !m_t[from].isOp("(") || !m_t[to - 1].isOp(")"))
        return false;
    int depth = 0;
    for (size_t k = from; k + 1 < to; ++k) {
        depth += m_t[k].isOp("(") ? 1 : m_t[k].isOp(")") ? -1 : 0;
        if (depth == 0)
            return false;
    }
    return true;
}

std::string Parser::operandType(size_t from, size_t to, const std::optional<ColumnType>& hint) const
{
    while (oneGroup(from, to)) {
        ++from;
        --to;
    }
    if (to == from + 2 && m_t[from].isOp("-") && m_t[from + 1].kind == TokenKind::Number)
        ++from;
    if (to == from + 1) {
        const Token& tok = m_t[from];
        if (tok.kind == TokenKind::Number)
            return arithTypeCode(literalArithType(tok.text));
        if (tok.kind == TokenKind::String)
            return arithTypeCode(tok.national ? ArithType::NText : ArithType::AText);
        if (tok.kind == TokenKind::Variable && tok.text.rfind("@@", 0) != 0)
            return sqliteLiteral(lowerAscii(tok.text));
    }
    std::string qualifier;
    std::string column;
    if (columnRef(from, to, qualifier, column))
        return typeSlot(TypeSlot::Arithmetic, qualifier, column);
    if (hint)
        return arithTypeCode(arithTypeOf(*hint));
    return "NULL";
}

ArithType literalArithType(std::string_view text)
{
    if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X'))
        return ArithType::Binary;
    if (text.find_first_of("eE") != std::string_view::npos)
        return ArithType::Float;
    if (text.find('.') != std::string_view::npos)
        return ArithType::Decimal;
    const size_t first = text.find_first_not_of('0');
    if (first == std::string_view::npos)
        return ArithType::Int;
    if (text.size() - first > 10)
        return ArithType::Decimal;
    return std::stoll(std::string(text.substr(first))) <= INT32_MAX ? ArithType::Int : ArithType::Decimal;
}

std::string arithTypeCode(ArithType t)
{
    return std::to_string(static_cast<int>(t));
}

std::string Parser::primary(std::optional<ColumnType>* hint, bool* plainColumn)
{
    if (plainColumn)
        *plainColumn = false;
    const Token tok = at();
    switch (tok.kind) {
    case TokenKind::Number:
        advance();
        // A binary literal; a bare 0x is the empty binary value.
        if (tok.text.size() >= 2 && (tok.text[1] == 'x' || tok.text[1] == 'X')) {
            std::string hex(tok.text.substr(2));
            if (hex.size() % 2)
                hex = "0" + hex;
            return "X'" + hex + "'";
        }
        return std::string(tok.text);
    case TokenKind::String:
        advance();
        // A literal without N is varchar: it holds only what the database's code page holds.
        return textLiteral(tok.national ? std::string(tok.text) : narrowedToCp1256(tok.text));
    case TokenKind::Variable:
        advance();
        return variable(std::string(tok.text), hint);
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

bool Parser::columnRef(size_t from, size_t to, std::string& qualifier, std::string& column) const
{
    if (to <= from || (to - from) % 2 == 0 || to - from > 7 || to > m_t.size())
        return false;
    for (size_t k = from; k < to; ++k) {
        const Token& tok = m_t[k];
        if ((k - from) % 2 == 0 ? !isName(tok) : !tok.isOp("."))
            return false;
    }
    if (to < m_t.size() && m_t[to].isOp("("))
        return false;
    column = std::string(m_t[to - 1].text);
    qualifier = to - from >= 3 ? std::string(m_t[to - 3].text) : std::string();
    return true;
}

bool Parser::valueAt(size_t from, size_t to) const
{
    if (to == from + 2 && m_t[from].isOp("-"))
        ++from;
    if (to != from + 1)
        return false;
    const Token& tok = m_t[from];
    if (tok.kind == TokenKind::String)
        return true;
    if (tok.kind == TokenKind::Variable)
        return tok.text.rfind("@@", 0) != 0;
    return tok.kind == TokenKind::Number &&
           !(tok.text.size() >= 2 && (tok.text[1] == 'x' || tok.text[1] == 'X'));
}

std::string Parser::compared(const std::string& value, size_t v0, size_t v1, size_t c0, size_t c1) const
{
    std::string qualifier;
    std::string column;
    if (!valueAt(v0, v1) || !columnRef(c0, c1, qualifier, column))
        return value;
    return "rimo_store(" + value + ", " + typeSlot(TypeSlot::Compared, qualifier, column) + ")";
}

std::string Parser::caseExpr(std::optional<ColumnType>* hint)
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

std::string Parser::variable(const std::string& text, std::optional<ColumnType>* hint)
{
    if (text.rfind("@@", 0) != 0) {
        if (text.size() > 128)
            fail();
        return text; // bound by name as a SQLite parameter
    }
    const std::string v = upperAscii(text);
    for (const auto& g : kGlobalVariables) {
        if (g.name == v) {
            if (hint)
                *hint = g.type;
            return g.sql;
        }
    }
    throw ServerError(137, 15, "Must declare the scalar variable \"" + text + "\".");
}

} // namespace rimo::tds
