#include "db/filter.h"

#include "core/error.h"

#include <vector>

namespace rimo::db {

struct FilterExpression::Node
{
    enum class Kind { Or, And, Not, Compare, IsNull, IsNotNull, Field, Text, Number } kind;
    QString op; // for Compare: = <> < > <= >=
    QString name;
    QVariant value;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

using Node = FilterExpression::Node;

struct Token
{
    enum class Kind { End, Ident, Text, Number, Op, LParen, RParen } kind;
    QString text;
};

std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> out;
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == u'(') {
            out.push_back({Token::Kind::LParen, QStringLiteral("(")});
            ++i;
        } else if (c == u')') {
            out.push_back({Token::Kind::RParen, QStringLiteral(")")});
            ++i;
        } else if (c == u'\'') {
            QString text;
            ++i;
            for (;;) {
                if (i >= n)
                    throw Error(QStringLiteral("Unterminated string in filter expression: %1").arg(s));
                if (s[i] == u'\'') {
                    if (i + 1 < n && s[i + 1] == u'\'') {
                        text += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            out.push_back({Token::Kind::Text, text});
        } else if (c == u'[') {
            const qsizetype end = s.indexOf(u']', i);
            if (end < 0)
                throw Error(QStringLiteral("Missing ] in filter expression: %1").arg(s));
            out.push_back({Token::Kind::Ident, s.mid(i + 1, end - i - 1)});
            i = end + 1;
        } else if (c.isDigit() || (c == u'-' && i + 1 < n && s[i + 1].isDigit() &&
                                   (out.empty() || out.back().kind == Token::Kind::Op ||
                                    out.back().kind == Token::Kind::LParen))) {
            const qsizetype start = i++;
            while (i < n && (s[i].isDigit() || s[i] == u'.'))
                ++i;
            out.push_back({Token::Kind::Number, s.mid(start, i - start)});
        } else if (c == u'=' || c == u'<' || c == u'>') {
            QString op(c);
            ++i;
            if (i < n && ((c == u'<' && (s[i] == u'>' || s[i] == u'=')) || (c == u'>' && s[i] == u'=')))
                op += s[i++];
            out.push_back({Token::Kind::Op, op});
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && (s[i].isLetterOrNumber() || s[i] == u'_'))
                ++i;
            out.push_back({Token::Kind::Ident, s.mid(start, i - start)});
        } else {
            throw Error(QStringLiteral("Invalid character '%1' in filter expression: %2").arg(c).arg(s));
        }
    }
    out.push_back({Token::Kind::End, {}});
    return out;
}

class Parser
{
public:
    Parser(const QString& text) : m_text(text), m_tokens(tokenize(text)) {}

    std::unique_ptr<Node> parse()
    {
        if (m_tokens.front().kind == Token::Kind::End)
            return nullptr;
        auto n = parseOr();
        if (peek().kind != Token::Kind::End)
            error();
        return n;
    }

private:
    const Token& peek() const { return m_tokens[m_pos]; }
    bool isWord(const char* w) const
    {
        return peek().kind == Token::Kind::Ident &&
               peek().text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0;
    }
    [[noreturn]] void error() const
    {
        throw Error(QStringLiteral("Filter expression incorrectly terminated or malformed: %1").arg(m_text));
    }

    std::unique_ptr<Node> parseOr()
    {
        auto left = parseAnd();
        while (isWord("or")) {
            ++m_pos;
            auto n = std::make_unique<Node>(Node{Node::Kind::Or, {}, {}, {}, {}});
            n->children.push_back(std::move(left));
            n->children.push_back(parseAnd());
            left = std::move(n);
        }
        return left;
    }
    std::unique_ptr<Node> parseAnd()
    {
        auto left = parseNot();
        while (isWord("and")) {
            ++m_pos;
            auto n = std::make_unique<Node>(Node{Node::Kind::And, {}, {}, {}, {}});
            n->children.push_back(std::move(left));
            n->children.push_back(parseNot());
            left = std::move(n);
        }
        return left;
    }
    std::unique_ptr<Node> parseNot()
    {
        if (isWord("not")) {
            ++m_pos;
            auto n = std::make_unique<Node>(Node{Node::Kind::Not, {}, {}, {}, {}});
            n->children.push_back(parseNot());
            return n;
        }
        if (peek().kind == Token::Kind::LParen) {
            ++m_pos;
            auto n = parseOr();
            if (peek().kind != Token::Kind::RParen)
                error();
            ++m_pos;
            return n;
        }
        auto left = parseOperand();
        if (isWord("is")) {
            ++m_pos;
            bool negate = false;
            if (isWord("not")) {
                negate = true;
                ++m_pos;
            }
            if (!isWord("null"))
                error();
            ++m_pos;
            auto n = std::make_unique<Node>(
                Node{negate ? Node::Kind::IsNotNull : Node::Kind::IsNull, {}, {}, {}, {}});
            n->children.push_back(std::move(left));
            return n;
        }
        if (peek().kind != Token::Kind::Op)
            error();
        auto n = std::make_unique<Node>(Node{Node::Kind::Compare, peek().text, {}, {}, {}});
        ++m_pos;
        n->children.push_back(std::move(left));
        n->children.push_back(parseOperand());
        return n;
    }
    std::unique_ptr<Node> parseOperand()
    {
        const Token t = peek();
        ++m_pos;
        switch (t.kind) {
        case Token::Kind::Ident:
            return std::make_unique<Node>(Node{Node::Kind::Field, {}, t.text, {}, {}});
        case Token::Kind::Text:
            return std::make_unique<Node>(Node{Node::Kind::Text, {}, {}, t.text, {}});
        case Token::Kind::Number:
            return std::make_unique<Node>(Node{Node::Kind::Number, {}, {}, t.text.toDouble(), {}});
        default:
            error();
        }
    }

    QString m_text;
    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
};

QVariant operandValue(const Node& n, const FieldLookup& lookup)
{
    switch (n.kind) {
    case Node::Kind::Field:
        return lookup(n.name);
    default:
        return n.value;
    }
}

bool isNumber(const QVariant& v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::LongLong ||
           v.typeId() == QMetaType::Int;
}

bool evaluate(const Node& n, const FieldLookup& lookup)
{
    switch (n.kind) {
    case Node::Kind::Or:
        return evaluate(*n.children[0], lookup) || evaluate(*n.children[1], lookup);
    case Node::Kind::And:
        return evaluate(*n.children[0], lookup) && evaluate(*n.children[1], lookup);
    case Node::Kind::Not:
        return !evaluate(*n.children[0], lookup);
    case Node::Kind::IsNull:
        return !operandValue(*n.children[0], lookup).isValid();
    case Node::Kind::IsNotNull:
        return operandValue(*n.children[0], lookup).isValid();
    case Node::Kind::Compare: {
        const QVariant a = operandValue(*n.children[0], lookup);
        const QVariant b = operandValue(*n.children[1], lookup);
        if (!a.isValid() || !b.isValid())
            return false; // null compares with nothing
        int cmp;
        if (isNumber(a) || isNumber(b)) {
            bool okA = false, okB = false;
            const double x = a.toString().trimmed().toDouble(&okA);
            const double y = b.toString().trimmed().toDouble(&okB);
            if (okA && okB)
                cmp = x < y ? -1 : (x > y ? 1 : 0);
            else
                cmp = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        } else {
            cmp = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
        }
        const QString& op = n.op;
        if (op == u"=")
            return cmp == 0;
        if (op == u"<>")
            return cmp != 0;
        if (op == u"<")
            return cmp < 0;
        if (op == u">")
            return cmp > 0;
        if (op == u"<=")
            return cmp <= 0;
        return cmp >= 0;
    }
    default:
        return false;
    }
}

} // namespace

FilterExpression::FilterExpression(const QString& text) : m_root(Parser(text).parse()) {}
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

bool FilterExpression::isEmpty() const
{
    return !m_root;
}

bool FilterExpression::matches(const FieldLookup& lookup) const
{
    return !m_root || evaluate(*m_root, lookup);
}

} // namespace rimo::db
