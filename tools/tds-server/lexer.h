// T-SQL lexer: identifiers (plain, [bracketed], "quoted"), numbers (a number directly followed by a
// keyword ends before it: 3Where is 3 and Where), 'strings' and N'strings', @params, @@variables,
// operators; -- and /* */ comments are skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rimo::tds {

enum class TokenKind { Identifier, QuotedIdentifier, Number, String, Variable, Operator, End };

struct Token
{
    TokenKind kind = TokenKind::End;
    std::string text; // identifier name without brackets, string value without quotes, operator text
    size_t offset = 0;
    bool national = false; // N'...'

    bool isWord(std::string_view upperWord) const; // unquoted identifier equal to the keyword, any case
    bool isOp(std::string_view op) const { return kind == TokenKind::Operator && text == op; }
};

// Throws ServerError (102 or 105 for an unclosed quote) on text it cannot split.
std::vector<Token> lex(std::string_view sql);

} // namespace rimo::tds
