#include "tools/tds-server/lexer.h"

#include "tools/tds-server/servererror.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>
#include <utility>

#include <sys/mman.h>

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

// Reads the text and splits it into tokens; each scanner starts at m_i and leaves it after what it read.
class Lexer
{
public:
    explicit Lexer(std::string_view sql) : m_sql(sql), m_n(sql.size()) {}

    TokenList tokens()
    {
        TokenList list;
        auto& out = list.m_tokens;
        // A token takes at least one character: room for the most a text can hold, so the array is
        // written once and not moved while it grows (its untouched end costs no memory); past a million
        // tokens it grows as usual, so an outsized batch does not claim its worst case up front.
        out.reserve(std::min<size_t>(m_n + 1, size_t{1} << 20));
        m_list = &list;
        while (m_i < m_n) {
            if (skipBlankOrComment())
                continue;
            Token t;
            t.offset = static_cast<uint32_t>(m_i);
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
            out.push_back(t);
        }
        Token end;
        end.offset = static_cast<uint32_t>(m_n);
        out.push_back(end);
        m_list = nullptr;
        return list;
    }

private:
    bool skipBlankOrComment()
    {
        const char c = m_sql[m_i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            ++m_i;
            return true;
        }
        // A -- comment runs to the end of its line: T-SQL ends a line at CR, LF or CR LF.
        if (c == '-' && m_i + 1 < m_n && m_sql[m_i + 1] == '-') {
            while (m_i < m_n && m_sql[m_i] != '\n' && m_sql[m_i] != '\r')
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
        const size_t start = m_i + 1;
        size_t j = start;
        bool doubled = false;
        for (;;) {
            j = m_sql.find(close, j);
            if (j == std::string_view::npos)
                throw ServerError(105, 15,
                                  "Unclosed quotation mark after the character string '" +
                                      std::string(m_sql.substr(m_i + 1)) + "'.");
            if (j + 1 < m_n && m_sql[j + 1] == close) {
                doubled = true;
                j += 2;
                continue;
            }
            break;
        }
        t.text = m_sql.substr(start, j - start);
        if (doubled) {
            std::string& own = m_list->m_unquoted.emplace_back();
            own.reserve(t.text.size());
            for (size_t k = 0; k < t.text.size(); ++k) {
                own += t.text[k];
                if (t.text[k] == close)
                    ++k;
            }
            t.text = own;
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
        t.text = m_sql.substr(m_i, j - m_i);
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
        t.text = m_sql.substr(m_i, j - m_i);
        if (t.text == "@" || t.text == "@@")
            throw syntaxError(std::string(t.text));
        m_i = j;
    }

    void word(Token& t)
    {
        size_t j = m_i + 1;
        while (j < m_n && isIdentChar(static_cast<unsigned char>(m_sql[j])))
            ++j;
        t.kind = TokenKind::Identifier;
        t.text = m_sql.substr(m_i, j - m_i);
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
        static constexpr std::string_view kOne = "(),.;=<>+-*/%&|^~!";
        const size_t k = kOne.find(c);
        if (k == std::string_view::npos)
            throw syntaxError(std::string(1, c));
        t.text = kOne.substr(k, 1);
        ++m_i;
    }

    std::string_view m_sql;
    size_t m_n;
    size_t m_i = 0;
    TokenList* m_list = nullptr;
};

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

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// A long statement's token array is mapped on its own, in a power of two of huge pages, and the last one
// released is kept for the thread's next long statement: its pages are already there, so translating
// costs the same per character however long the statement is. The thread gives it back when it ends.
size_t mappedLength(size_t bytes)
{
    size_t length = kHugePage;
    while (length < bytes)
        length *= 2;
    return length;
}

struct SpareMapping
{
    void* p = nullptr;
    size_t length = 0;
    SpareMapping() = default;
    SpareMapping(const SpareMapping&) = delete;
    SpareMapping& operator=(const SpareMapping&) = delete;
    ~SpareMapping()
    {
        if (p)
            munmap(p, length);
    }
};

thread_local SpareMapping t_spare;

void* mapHuge(size_t length)
{
    // Map one huge page more than needed and cut the mapping to a huge-page boundary at both ends.
    void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    void* p = reinterpret_cast<void*>(aligned);
    madvise(p, length, MADV_HUGEPAGE);
    return p;
}

} // namespace

template <typename T> void* TokenAllocator<T>::allocateTokens(size_t bytes)
{
    if (bytes < kHugePage) {
        if (void* p = std::malloc(bytes))
            return p;
        throw std::bad_alloc();
    }
    const size_t length = mappedLength(bytes);
    if (t_spare.p && t_spare.length == length)
        return std::exchange(t_spare.p, nullptr);
    return mapHuge(length);
}

template <typename T> void TokenAllocator<T>::releaseTokens(void* p, size_t bytes) noexcept
{
    if (bytes < kHugePage) {
        std::free(p);
        return;
    }
    if (t_spare.p)
        munmap(t_spare.p, t_spare.length);
    t_spare.p = p;
    t_spare.length = mappedLength(bytes);
}

template struct TokenAllocator<Token>;

TokenList lex(std::string_view sql)
{
    return Lexer(sql).tokens();
}

} // namespace rimo::tds
