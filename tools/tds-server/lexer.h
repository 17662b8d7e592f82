// T-SQL lexer: identifiers (plain, [bracketed], "quoted"), numbers (a number directly followed by a
// keyword ends before it: 3Where is 3 and Where), 'strings' and N'strings', @params, @@variables,
// operators; -- and /* */ comments are skipped.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

enum class TokenKind : uint8_t { Identifier, QuotedIdentifier, Number, String, Variable, Operator, End };

// A token's text is a view into the statement (or, for a quoted text with doubled quotes, into the
// token list's own copy), so a token costs the same few bytes whatever its length and the statement is
// not copied token by token: the statement must outlive its tokens.
struct Token
{
    std::string_view text; // identifier name without brackets, string value without quotes, operator text
    uint32_t offset = 0;   // a statement is far below 4 GB: it comes in a message of at most 64 MB
    TokenKind kind = TokenKind::End;
    bool national = false; // N'...'

    bool isWord(std::string_view upperWord) const; // unquoted identifier equal to the keyword, any case
    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

// Memory for a statement's tokens: a long statement's array is mapped in huge pages where the system
// offers them, so writing a million tokens does not take a page fault every 128 of them.
template <typename T> struct TokenAllocator
{
    using value_type = T;
    TokenAllocator() = default;
    template <typename U> TokenAllocator(const TokenAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(allocateTokens(n * sizeof(T))); }
    void deallocate(T* p, size_t n) noexcept { releaseTokens(p, n * sizeof(T)); }
    template <typename U> bool operator==(const TokenAllocator<U>&) const noexcept { return true; }

    static void* allocateTokens(size_t bytes);
    static void releaseTokens(void* p, size_t bytes) noexcept;
};

// The tokens of one statement text, ending with an End token.
class TokenList
{
public:
    const Token& operator[](size_t i) const { return m_tokens[i]; }
    size_t size() const { return m_tokens.size(); }

private:
    friend class Lexer;
    std::vector<Token, TokenAllocator<Token>> m_tokens;
    std::deque<std::string> m_unquoted; // texts whose doubled quotes were undone; a deque keeps them in place
};

// Throws ServerError (102 or 105 for an unclosed quote) on text it cannot split.
TokenList lex(std::string_view sql);

} // namespace rimo::tds
