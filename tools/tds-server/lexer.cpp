#include "tools/tds-server/lexer.h"

#include "tools/tds-server/servererror.h"

#include <cctype>

namespace rimo::tds {

namespace {

bool isIdentStart(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '#' || c >= 0x80;
}

bool isIdentChar(unsigned char c)
{
    return isIdentStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '@';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads the text and splits it into tokens; each scanner starts at m_i and leaves it after what it read.
class Lexer
{
public:
    explicit Lexer(std::string_view sql) : m_sql(sql), m_n(sql.size()) {}

    std::vector<Token> tokens()
    {
        std::vector<Token> out;
        while (m_i < m_n) {
            if (skipBlankOrComment())
                continue;
            Token t;
            t.offset = m_i;
            const auto c = static_cast<unsigned char>(m_sql[m_i]);
            if ((c == 'N' || c == 'n') && m_i + 1 < m_n && m_sql[m_i + 1] == '\'') {
                t.national = true;
                ++m_i;
            }
            if (m_sql[m_i] == '\'')
                quoted(t, TokenKind::String, '\'');
            else if (c == '[')
                quoted(t, TokenKind::QuotedIdentifier, ']');
            else if (c == '"')
                quoted(t, TokenKind::QuotedIdentifier, '"');
            else if (isDigit(static_cast<char>(c)) || (c == '.' && m_i + 1 < m_n && isDigit(m_sql[m_i + 1])))
                number(t);
            else if (c == '@')
                variable(t);
            else if (isIdentStart(c))
                word(t);
            else
                symbol(t);
            out.push_back(std::move(t));
        }
        Token end;
        end.offset = m_n;
        out.push_back(end);
        return out;
    }

private:
    bool skipBlankOrComment()
    {
        const char c = m_sql[m_i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++m_i;
            return true;
        }
        if (c == '-' && m_i + 1 < m_n && m_sql[m_i + 1] == '-') {
            while (m_i < m_n && m_sql[m_i] != '\n')
                ++m_i;
            return true;
        }
        if (c == '/' && m_i + 1 < m_n && m_sql[m_i + 1] == '*') {
            blockComment();
            return true;
        }
        return false;
    }

    // T-SQL block comments nest.
    void blockComment()
    {
        int depth = 0;
        size_t j = m_i;
        do {
            if (j + 1 < m_n && m_sql[j] == '/' && m_sql[j + 1] == '*') {
                ++depth;
                j += 2;
            } else if (j + 1 < m_n && m_sql[j] == '*' && m_sql[j + 1] == '/') {
                --depth;
                j += 2;
            } else {
                ++j;
            }
        } while (depth > 0 && j < m_n);
        if (depth > 0)
            throw ServerError(113, 15, "Missing end comment mark '*/'.");
        m_i = j;
    }

    // 'string', [name] or "name": the closing character doubled stands for itself.
    void quoted(Token& t, TokenKind kind, char close)
    {
        t.kind = kind;
        size_t j = m_i + 1;
        for (;;) {
            if (j >= m_n)
                throw ServerError(105, 15,
                                  "Unclosed quotation mark after the character string '" +
                                      std::string(m_sql.substr(m_i + 1)) + "'.");
            if (m_sql[j] == close) {
                if (j + 1 < m_n && m_sql[j + 1] == close) {
                    t.text += close;
                    j += 2;
                    continue;
                }
                break;
            }
            t.text += m_sql[j++];
        }
        m_i = j + 1;
    }

    void number(Token& t)
    {
        t.kind = TokenKind::Number;
        size_t j = m_i;
        if (m_sql[j] == '0' && j + 1 < m_n && (m_sql[j + 1] == 'x' || m_sql[j + 1] == 'X')) {
            j += 2;
            while (j < m_n && isxdigit(static_cast<unsigned char>(m_sql[j])))
                ++j;
        } else {
            while (j < m_n && isDigit(m_sql[j]))
                ++j;
            if (j < m_n && m_sql[j] == '.') {
                ++j;
                while (j < m_n && isDigit(m_sql[j]))
                    ++j;
            }
            // An exponent only when digits follow; otherwise the letter starts the next word (3E is 3 E).
            if (j + 1 < m_n && (m_sql[j] == 'e' || m_sql[j] == 'E')) {
                size_t k = j + 1;
                if (k < m_n && (m_sql[k] == '+' || m_sql[k] == '-'))
                    ++k;
                if (k < m_n && isDigit(m_sql[k])) {
                    while (k < m_n && isDigit(m_sql[k]))
                        ++k;
                    j = k;
                }
            }
        }
        t.text = std::string(m_sql.substr(m_i, j - m_i));
        m_i = j;
    }

    // @param or @@variable.
    void variable(Token& t)
    {
        size_t j = m_i + 1;
        if (j < m_n && m_sql[j] == '@')
            ++j;
        while (j < m_n && isIdentChar(static_cast<unsigned char>(m_sql[j])))
            ++j;
        t.kind = TokenKind::Variable;
        t.text = std::string(m_sql.substr(m_i, j - m_i));
        if (t.text == "@" || t.text == "@@")
            throw syntaxError(t.text);
        m_i = j;
    }

    void word(Token& t)
    {
        size_t j = m_i + 1;
        while (j < m_n && isIdentChar(static_cast<unsigned char>(m_sql[j])))
            ++j;
        t.kind = TokenKind::Identifier;
        t.text = std::string(m_sql.substr(m_i, j - m_i));
        m_i = j;
    }

    void symbol(Token& t)
    {
        static const char* const kTwo[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/=", "::"};
        const char c = m_sql[m_i];
        t.kind = TokenKind::Operator;
        if (m_i + 1 < m_n) {
            for (const char* op : kTwo) {
                if (c == op[0] && m_sql[m_i + 1] == op[1]) {
                    t.text = op;
                    m_i += 2;
                    return;
                }
            }
        }
        if (std::string_view("(),.;=<>+-*/%&|^~!").find(c) == std::string_view::npos)
            throw syntaxError(std::string(1, c));
        t.text = std::string(1, c);
        ++m_i;
    }

    std::string_view m_sql;
    size_t m_n;
    size_t m_i = 0;
};

} // namespace

bool Token::isWord(std::string_view upperWord) const
{
    if (kind != TokenKind::Identifier || text.size() != upperWord.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c != upperWord[i])
            return false;
    }
    return true;
}

std::vector<Token> lex(std::string_view sql)
{
    return Lexer(sql).tokens();
}

} // namespace rimo::tds
