// Views, stored procedures and the control flow around them: IF ... ELSE, BEGIN ... END and EXEC.
#include "tools/tds-server/parser.h"
#include "tools/tds-server/servererror.h"

#include <set>

namespace rimo::tds {

namespace {

// Counts the IF and BEGIN ... END levels the reader is inside.
class Nested
{
public:
    explicit Nested(int& level) : m_level(level) { ++m_level; }
    ~Nested() { --m_level; }
    Nested(const Nested&) = delete;
    Nested& operator=(const Nested&) = delete;

private:
    int& m_level;
};

} // namespace

void Parser::checkFirstInBatch(const char* keyword)
{
    // Inside IF, BEGIN ... END or a procedure's body the statement cannot stand at all.
    if (m_nested > 0 || m_inProcedure)
        throw keywordError(at().text);
    if (!m_first)
        throw ServerError(111, 15,
                          std::string("'") + keyword + "' must be the first statement in a query batch.");
}

bool Parser::isCondition(size_t from, size_t to) const
{
    // A comparison, IS, LIKE, IN, BETWEEN, EXISTS, NOT, AND or OR outside parentheses and CASE makes
    // the expression a condition; so does one whole parenthesised condition.
    static const char* const kBoolean[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    int depth = 0;
    for (size_t k = from; k < to; ++k) {
        const Token& tok = m_t[k];
        if (tok.isOp("(") || tok.isWord("CASE")) {
            ++depth;
        } else if (tok.isOp(")") || tok.isWord("END")) {
            --depth;
        } else if (depth == 0) {
            for (const char* o : kBoolean)
                if (tok.isOp(o))
                    return true;
            if (tok.isWord("IS") || tok.isWord("LIKE") || tok.isWord("IN") || tok.isWord("BETWEEN") ||
                tok.isWord("EXISTS") || tok.isWord("NOT") || tok.isWord("AND") || tok.isWord("OR"))
                return true;
        }
    }
    if (to - from < 2 || !m_t[from].isOp("(") || !m_t[to - 1].isOp(")"))
        return false;
    // One parenthesised group from the first token to the last?
    depth = 0;
    for (size_t k = from; k + 1 < to; ++k) {
        depth += m_t[k].isOp("(") ? 1 : m_t[k].isOp(")") ? -1 : 0;
        if (depth == 0)
            return false;
    }
    return isCondition(from + 1, to - 1);
}

// IF condition statement [ELSE statement]: the condition becomes a query answering 1 or 0.
Statement Parser::ifStatement()
{
    const Nested nested(m_nested);
    const Nest nest(*this);
    expectWord("IF");
    Statement st;
    st.kind = Statement::If;
    const size_t from = m_p;
    st.sql = "SELECT CASE WHEN " + expr() + " THEN 1 ELSE 0 END";
    if (!isCondition(from, m_p))
        throw ServerError(
            4145, 15,
            "An expression of non-boolean type specified in a context where a condition is expected, "
            "near '" +
                std::string(at().text) + "'.");
    if (at().kind == TokenKind::End || at().isOp(";"))
        fail();
    st.body.push_back(fullStatement());
    size_t k = 0;
    while (at(k).isOp(";"))
        ++k;
    if (at(k).isWord("ELSE")) {
        while (op(";"))
            ;
        advance();
        if (at().kind == TokenKind::End || at().isOp(";"))
            fail();
        st.body.push_back(fullStatement());
    }
    return st;
}

// BEGIN statement ... END; an empty block is a syntax error, as in T-SQL.
Statement Parser::block()
{
    const Nested nested(m_nested);
    const Nest nest(*this);
    expectWord("BEGIN");
    if (at().isWord("TRY") || at().isWord("CATCH") || at().isWord("DISTRIBUTED"))
        throw notSupported("BEGIN " + upperAscii(at().text));
    Statement st;
    st.kind = Statement::Block;
    for (;;) {
        while (op(";"))
            ;
        if (word("END"))
            break;
        if (at().kind == TokenKind::End)
            fail();
        st.body.push_back(fullStatement());
    }
    if (st.body.empty())
        throw keywordError(m_t[m_p - 1].text);
    return st;
}

// EXEC[UTE] procedure [argument [, ...]] where an argument is a value or @name = value.
Statement Parser::exec()
{
    advance();
    Statement st;
    st.kind = Statement::Exec;
    if (at().kind == TokenKind::String || at().isOp("("))
        throw notSupported("EXEC of a statement text");
    if (at().kind == TokenKind::Variable && at(1).isOp("="))
        throw notSupported("EXEC with a return status variable");
    std::string shown;
    if (const auto system = systemProcedureAt()) {
        st.name = *system;
    } else {
        st.name = objectName(&shown);
    }
    if (at().kind == TokenKind::End || at().isOp(";") || isStatementStart(at()) || at().isWord("END"))
        return st;
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        ExecArgument a;
        if (at().kind == TokenKind::Variable && at(1).isOp("=")) {
            a.name = std::string(at().text);
            advance();
            advance();
        } else if (!st.arguments.empty() && !st.arguments.back().name.empty()) {
            // Once one argument is named, the rest must be too.
            throw ServerError(119, 15,
                              "Must pass parameter number " + std::to_string(st.arguments.size() + 1) +
                                  " and subsequent parameters as '@name = value'. After the form '@name = "
                                  "value' has been used, all subsequent parameters must be passed in the "
                                  "form '@name = value'.");
        }
        if (at().isWord("DEFAULT"))
            throw notSupported("DEFAULT as a procedure argument");
        a.sql = unary(nullptr, nullptr, nullptr);
        if (at().isWord("OUTPUT") || at().isWord("OUT"))
            throw notSupported("OUTPUT arguments");
        st.arguments.push_back(std::move(a));
    }
    return st;
}

std::optional<std::string> Parser::systemProcedureAt()
{
    if (!isName(at()))
        return std::nullopt;
    // [[database.]schema.]name, the schema sys, dbo or left out (master..sp_getapplock).
    std::vector<std::string> parts{lowerAscii(at().text)};
    size_t k = 1;
    while (at(k).isOp(".")) {
        ++k;
        if (at(k).isOp(".")) {
            parts.emplace_back();
            continue;
        }
        if (!isName(at(k)))
            return std::nullopt;
        parts.push_back(lowerAscii(at(k).text));
        ++k;
    }
    const std::string& procedure = parts.back();
    if ((procedure != "sp_getapplock" && procedure != "sp_releaseapplock") || parts.size() > 3)
        return std::nullopt;
    if (parts.size() >= 2) {
        const std::string& schema = parts[parts.size() - 2];
        if (!schema.empty() && schema != "sys" && schema != "dbo")
            return std::nullopt;
    }
    for (size_t i = 0; i < k; ++i)
        advance();
    return procedure;
}

std::string Parser::objectName(std::string* shown)
{
    const size_t start = at().offset;
    const auto parts = dottedName();
    const size_t end = at().kind == TokenKind::End ? m_src.size() : at().offset;
    if (shown) {
        *shown = std::string(m_src.substr(start, end - start));
        while (!shown->empty() && (shown->back() == ' ' || shown->back() == '\n' || shown->back() == '\r' ||
                                   shown->back() == '\t'))
            shown->pop_back();
    }
    if (parts.size() > 2)
        throw notSupported("A database or server name in front of a view or procedure");
    if (parts.size() == 2 && upperAscii(parts[0]) != "DBO")
        throw ServerError(2760, 16,
                          "The specified schema name \"" + parts[0] +
                              "\" either does not exist or you do not have permission to use it.");
    const std::string lower = lowerAscii(parts.back());
    if (lower.rfind("rimo_", 0) == 0 || lower.rfind("sqlite_", 0) == 0)
        throw notSupported("The object name '" + parts.back() + "'");
    return parts.back();
}

// CREATE VIEW name [(column, ...)] AS select: the view is the whole batch.
Statement Parser::createView()
{
    Statement st;
    st.kind = Statement::CreateView;
    st.name = objectName(nullptr);
    if (op("(")) {
        for (bool first = true;; first = false) {
            if (!first && !op(","))
                break;
            st.columns.push_back(name());
        }
        expectOp(")");
    }
    if (at().isWord("WITH"))
        throw notSupported("CREATE VIEW ... WITH");
    expectWord("AS");
    m_viewSelect = true;
    st.sql = select(st, true);
    m_viewSelect = false;
    if (at().isWord("WITH"))
        throw notSupported("WITH CHECK OPTION");
    while (op(";"))
        ;
    if (at().kind != TokenKind::End)
        fail();
    return st;
}

// CREATE PROC[EDURE] name [(] @p type [= default], ... [)] AS body: the body runs to the end of the batch
// and is read now, so that its syntax errors show when the procedure is made.
Statement Parser::createProcedure()
{
    Statement st;
    st.kind = Statement::CreateProcedure;
    st.name = objectName(nullptr);
    if (at().isOp(";"))
        fail();
    const bool parenthesised = op("(");
    st.parameters = parameterList(false);
    if (parenthesised)
        expectOp(")");
    if (at().isWord("WITH") || at().isWord("FOR"))
        throw notSupported("CREATE PROCEDURE ... " + upperAscii(at().text));
    expectWord("AS");
    if (at().kind == TokenKind::End)
        fail();
    st.definition = std::string(m_src.substr(at().offset));
    Parser body(st.definition, lex(st.definition));
    body.setInProcedure();
    body.batch();
    m_p = m_t.size() - 1;
    return st;
}

std::vector<ProcedureParameter> Parser::parameterList(bool outputAllowed)
{
    std::vector<ProcedureParameter> parameters;
    std::set<std::string> names; // lowercased: sp_executesql may declare two thousand
    while (at().kind == TokenKind::Variable) {
        ProcedureParameter p;
        p.name = std::string(at().text);
        if (p.name.rfind("@@", 0) == 0 || p.name.size() > 128)
            fail();
        if (!names.insert(lowerAscii(p.name)).second)
            throw ServerError(134, 15,
                              "The variable name '" + p.name +
                                  "' has already been declared. Variable names must be "
                                  "unique within a query batch or stored procedure.");
        advance();
        word("AS");
        p.type = columnType();
        if (op("=")) {
            if (at().kind == TokenKind::Variable)
                fail();
            p.defaultSql = unary(nullptr, nullptr, nullptr);
        }
        if (outputAllowed && (at().isWord("OUTPUT") || at().isWord("OUT")))
            advance();
        if (at().isWord("OUTPUT") || at().isWord("OUT") || at().isWord("READONLY") || at().isWord("VARYING"))
            throw notSupported("Procedure parameters marked " + upperAscii(at().text));
        parameters.push_back(std::move(p));
        if (!op(","))
            break;
    }
    return parameters;
}

std::vector<ProcedureParameter> parameterDeclarations(std::string_view text)
{
    Parser p(text, lex(text));
    auto parameters = p.parameterList(true);
    if (p.at().kind != TokenKind::End)
        p.fail();
    return parameters;
}

// DROP VIEW / DROP PROC[EDURE] [IF EXISTS] name, ...
Statement Parser::dropObjects(char type)
{
    Statement st;
    st.kind = Statement::DropObjects;
    st.objectType = type;
    if (at().isWord("IF") && at(1).isWord("EXISTS")) {
        advance();
        advance();
        st.ifExists = true;
    }
    for (bool first = true;; first = false) {
        if (!first && !op(","))
            break;
        std::string shown;
        st.names.push_back(objectName(&shown));
        st.shownNames.push_back(shown);
    }
    return st;
}

} // namespace rimo::tds
