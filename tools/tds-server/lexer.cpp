#include "tools/tds-server/lexer.h"

#include "tools/tds-server/servererror.h"

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
    std::vector<Token> out;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(sql[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            // T-SQL block comments nest.
            int depth = 0;
            size_t j = i;
            do {
                if (j + 1 < n && sql[j] == '/' && sql[j + 1] == '*') {
                    ++depth;
                    j += 2;
                } else if (j + 1 < n && sql[j] == '*' && sql[j + 1] == '/') {
                    --depth;
                    j += 2;
                } else {
                    ++j;
                }
            } while (depth > 0 && j < n);
            if (depth > 0)
                throw ServerError(113, 15, "Missing end comment mark '*/'.");
            i = j;
            continue;
        }
        Token t;
        t.offset = i;
        if ((c == 'N' || c == 'n') && i + 1 < n && sql[i + 1] == '\'') {
            t.national = true;
            ++i;
        }
        if (sql[i] == '\'') {
            t.kind = TokenKind::String;
            size_t j = i + 1;
            for (;;) {
                if (j >= n)
                    throw ServerError(105, 15,
                                      "Unclosed quotation mark after the character string '" +
                                          std::string(sql.substr(i + 1)) + "'.");
                if (sql[j] == '\'') {
                    if (j + 1 < n && sql[j + 1] == '\'') {
                        t.text += '\'';
                        j += 2;
                        continue;
                    }
                    break;
                }
                t.text += sql[j++];
            }
            i = j + 1;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            t.kind = TokenKind::QuotedIdentifier;
            size_t j = i + 1;
            for (;;) {
                if (j >= n)
                    throw ServerError(105, 15,
                                      "Unclosed quotation mark after the character string '" +
                                          std::string(sql.substr(i + 1)) + "'.");
                if (sql[j] == close) {
                    if (j + 1 < n && sql[j + 1] == close) {
                        t.text += close;
                        j += 2;
                        continue;
                    }
                    break;
                }
                t.text += sql[j++];
            }
            i = j + 1;
            out.push_back(std::move(t));
            continue;
        }
        if (isDigit(static_cast<char>(c)) || (c == '.' && i + 1 < n && isDigit(sql[i + 1]))) {
            t.kind = TokenKind::Number;
            size_t j = i;
            if (c == '0' && j + 1 < n && (sql[j + 1] == 'x' || sql[j + 1] == 'X')) {
                j += 2;
                while (j < n && isxdigit(static_cast<unsigned char>(sql[j])))
                    ++j;
            } else {
                while (j < n && isDigit(sql[j]))
                    ++j;
                if (j < n && sql[j] == '.') {
                    ++j;
                    while (j < n && isDigit(sql[j]))
                        ++j;
                }
                // An exponent only when digits follow; otherwise the letter starts the next word (3E is 3 E).
                if (j + 1 < n && (sql[j] == 'e' || sql[j] == 'E')) {
                    size_t k = j + 1;
                    if (k < n && (sql[k] == '+' || sql[k] == '-'))
                        ++k;
                    if (k < n && isDigit(sql[k])) {
                        while (k < n && isDigit(sql[k]))
                            ++k;
                        j = k;
                    }
                }
            }
            t.text = std::string(sql.substr(i, j - i));
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (c == '@') {
            size_t j = i + 1;
            if (j < n && sql[j] == '@')
                ++j;
            while (j < n && isIdentChar(static_cast<unsigned char>(sql[j])))
                ++j;
            t.kind = TokenKind::Variable;
            t.text = std::string(sql.substr(i, j - i));
            if (t.text == "@" || t.text == "@@")
                throw syntaxError(t.text);
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        if (isIdentStart(c)) {
            size_t j = i + 1;
            while (j < n && isIdentChar(static_cast<unsigned char>(sql[j])))
                ++j;
            t.kind = TokenKind::Identifier;
            t.text = std::string(sql.substr(i, j - i));
            i = j;
            out.push_back(std::move(t));
            continue;
        }
        static const char* const kTwo[] = {"<>", "!=", "<=", ">=", "!<", "!>", "+=", "-=", "*=", "/=", "::"};
        t.kind = TokenKind::Operator;
        bool two = false;
        if (i + 1 < n) {
            for (const char* op : kTwo)
                if (sql[i] == op[0] && sql[i + 1] == op[1]) {
                    t.text = op;
                    two = true;
                    break;
                }
        }
        if (!two) {
            if (std::string_view("(),.;=<>+-*/%&|^~!").find(static_cast<char>(c)) == std::string_view::npos)
                throw syntaxError(std::string(1, static_cast<char>(c)));
            t.text = std::string(1, static_cast<char>(c));
        }
        i += t.text.size();
        out.push_back(std::move(t));
    }
    Token end;
    end.offset = n;
    out.push_back(end);
    return out;
}

} // namespace rimo::tds
