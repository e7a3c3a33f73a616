// Lexer and recursive-descent parser for key and filter expressions. Types
// are checked while the tree is built, so evaluation never meets a mismatch.
#include <cstdio>

#include "errors.h"
#include "expression_internal.h"

namespace sde::expr {
namespace {

enum class Tok { End, Ident, String, Number, LParen, RParen, Comma, And, Or, Not, True, False, Rel, Plus, Minus };

struct Token {
    Tok kind = Tok::End;
    size_t pos = 0;
    std::string_view spelled;  // as written; for strings, without the quotes
    RelOp rel = RelOp::Equal;
};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperCopy(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = upper(c);
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

constexpr size_t kMaxNumberLength = 40;
constexpr size_t kShownTextLength = 120;

class Parser {
public:
    Parser(std::string_view text, const std::vector<FieldInfo>& fields) : text_(text), fields_(fields) {}

    NodePtr parse() {
        advance();
        NodePtr root = parseOr();
        if (tok_.kind != Tok::End) fail(tok_.pos, "Unexpected " + describe(tok_));
        return root;
    }

private:
    // Counts parser recursion (parentheses, calls, prefix operators).
    class DepthGuard {
    public:
        DepthGuard(Parser& p, size_t pos) : p_(p) {
            if (++p_.depth_ > kMaxDepth) p_.fail(pos, "Expression nested too deeply (more than 200 levels)");
        }
        ~DepthGuard() { --p_.depth_; }
        DepthGuard(const DepthGuard&) = delete;
        DepthGuard& operator=(const DepthGuard&) = delete;

    private:
        Parser& p_;
    };

    [[noreturn]] void fail(size_t pos, const std::string& problem) const {
        std::string shown(text_.substr(0, kShownTextLength));
        for (char& c : shown) {
            if (static_cast<unsigned char>(c) < 0x20) c = '?';  // keep the message one printable line
        }
        if (text_.size() > kShownTextLength) shown += "...";
        const std::string where =
            pos >= text_.size() ? " at the end of expression: " : " at position " + std::to_string(pos + 1) + " in expression: ";
        throw ExpressionError(problem + where + shown);
    }

    std::string describe(const Token& t) const {
        if (t.kind == Tok::End) return "end of expression";
        if (t.kind == Tok::String) return "string '" + std::string(t.spelled) + "'";
        // Appended rather than "'" + ...: GCC 12 at -O3 reports a false -Wrestrict overlap in that operator+.
        return std::string("'").append(t.spelled).append("'");
    }

    NodePtr checked(NodePtr node, size_t pos) {
        if (node->depth() > kMaxDepth) fail(pos, "Expression nested too deeply (more than 200 levels)");
        return node;
    }

    // ---- lexer ----------------------------------------------------------

    void advance() { tok_ = lex(); }

    Token make(Tok kind, size_t start, size_t end, RelOp rel = RelOp::Equal) {
        pos_ = end;
        return Token{kind, start, text_.substr(start, end - start), rel};
    }

    Token lex() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
        const size_t s = pos_;
        if (s >= text_.size()) return Token{Tok::End, s, {}, RelOp::Equal};
        const char c = text_[s];
        const char next = s + 1 < text_.size() ? text_[s + 1] : '\0';
        if (isLetter(c)) {
            size_t e = s;
            while (e < text_.size() && (isLetter(text_[e]) || isDigit(text_[e]))) ++e;
            return make(Tok::Ident, s, e);
        }
        if (isDigit(c) || (c == '.' && isDigit(next))) return lexNumber(s);
        if (c == '.') return lexDotWord(s);
        if (c == '\'' || c == '"') {
            const size_t close = text_.find(c, s + 1);
            if (close == std::string_view::npos) fail(s, "Unterminated string");
            Token t = make(Tok::String, s, close + 1);
            t.spelled = text_.substr(s + 1, close - s - 1);
            return t;
        }
        switch (c) {
            case '(': return make(Tok::LParen, s, s + 1);
            case ')': return make(Tok::RParen, s, s + 1);
            case ',': return make(Tok::Comma, s, s + 1);
            case '+': return make(Tok::Plus, s, s + 1);
            case '-': return make(Tok::Minus, s, s + 1);
            case '$': return make(Tok::Rel, s, s + 1, RelOp::Contains);
            case '#': return make(Tok::Rel, s, s + 1, RelOp::NotEqual);
            case '=':
                return next == '=' ? make(Tok::Rel, s, s + 2, RelOp::ExactEqual) : make(Tok::Rel, s, s + 1, RelOp::Equal);
            case '!':
                return next == '=' ? make(Tok::Rel, s, s + 2, RelOp::NotEqual) : make(Tok::Not, s, s + 1);
            case '<':
                if (next == '>') return make(Tok::Rel, s, s + 2, RelOp::NotEqual);
                if (next == '=') return make(Tok::Rel, s, s + 2, RelOp::LessEqual);
                return make(Tok::Rel, s, s + 1, RelOp::Less);
            case '>':
                return next == '=' ? make(Tok::Rel, s, s + 2, RelOp::GreaterEqual) : make(Tok::Rel, s, s + 1, RelOp::Greater);
            default: break;
        }
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", byte);
            fail(s, std::string("Unexpected byte ") + hex);
        }
        fail(s, std::string("Unexpected character '") + c + "'");
    }

    Token lexNumber(size_t s) {
        size_t e = s;
        while (e < text_.size() && isDigit(text_[e])) ++e;
        if (e + 1 < text_.size() && text_[e] == '.' && isDigit(text_[e + 1])) {
            ++e;
            while (e < text_.size() && isDigit(text_[e])) ++e;
        }
        if (e - s > kMaxNumberLength) fail(s, "Number too long");
        return make(Tok::Number, s, e);
    }

    // .AND. .OR. .NOT. .T. .F. in any case.
    Token lexDotWord(size_t s) {
        size_t e = s + 1;
        while (e < text_.size() && isLetter(text_[e])) ++e;
        if (e < text_.size() && text_[e] == '.') {
            const std::string word = upperCopy(text_.substr(s + 1, e - s - 1));
            const Tok kind = word == "AND" ? Tok::And
                           : word == "OR"  ? Tok::Or
                           : word == "NOT" ? Tok::Not
                           : word == "T"   ? Tok::True
                           : word == "F"   ? Tok::False
                                           : Tok::End;
            if (kind != Tok::End) return make(kind, s, e + 1);
            fail(s, "Unknown operator '" + std::string(text_.substr(s, e + 1 - s)) + "'");
        }
        fail(s, "Unexpected '.'");
    }

    // ---- grammar, lowest precedence first --------------------------------

    void requireType(const Node& n, Value::Type type, const Token& op, const char* what) {
        if (n.type() != type) {
            fail(op.pos, "Operator " + std::string(op.spelled) + " needs " + what + ", not " + typeName(n.type()));
        }
    }

    NodePtr parseOr() {
        NodePtr left = parseAnd();
        while (tok_.kind == Tok::Or) {
            const Token op = tok_;
            advance();
            NodePtr right = parseAnd();
            requireType(*left, Value::Type::Logical, op, "logical operands");
            requireType(*right, Value::Type::Logical, op, "logical operands");
            left = checked(makeOr(std::move(left), std::move(right)), op.pos);
        }
        return left;
    }

    NodePtr parseAnd() {
        NodePtr left = parseNot();
        while (tok_.kind == Tok::And) {
            const Token op = tok_;
            advance();
            NodePtr right = parseNot();
            requireType(*left, Value::Type::Logical, op, "logical operands");
            requireType(*right, Value::Type::Logical, op, "logical operands");
            left = checked(makeAnd(std::move(left), std::move(right)), op.pos);
        }
        return left;
    }

    NodePtr parseNot() {
        if (tok_.kind != Tok::Not) return parseRelation();
        const Token op = tok_;
        DepthGuard guard(*this, op.pos);
        advance();
        NodePtr operand = parseNot();
        requireType(*operand, Value::Type::Logical, op, "a logical operand");
        return checked(makeNot(std::move(operand)), op.pos);
    }

    NodePtr parseRelation() {
        NodePtr left = parseSum();
        while (tok_.kind == Tok::Rel) {
            const Token op = tok_;
            advance();
            NodePtr right = parseSum();
            if (left->type() != right->type()) {
                fail(op.pos, std::string("Cannot compare ") + typeName(left->type()) + " with " +
                                 typeName(right->type()) + " using '" + std::string(op.spelled) + "'");
            }
            if (op.rel == RelOp::Contains) requireType(*left, Value::Type::Char, op, "character operands");
            left = checked(makeCompare(op.rel, std::move(left), std::move(right)), op.pos);
        }
        return left;
    }

    NodePtr parseSum() {
        NodePtr left = parseSign();
        while (tok_.kind == Tok::Plus || tok_.kind == Tok::Minus) {
            const Token op = tok_;
            advance();
            NodePtr right = parseSign();
            const Value::Type t = left->type();
            if (t != right->type() || (t != Value::Type::Char && t != Value::Type::Num)) {
                fail(op.pos, "Operator '" + std::string(op.spelled) + "' cannot combine " + typeName(t) + " and " +
                                 typeName(right->type()));
            }
            left = checked(makeArithmetic(op.spelled[0], std::move(left), std::move(right)), op.pos);
        }
        return left;
    }

    NodePtr parseSign() {
        if (tok_.kind != Tok::Minus) return parsePrimary();
        const Token op = tok_;
        DepthGuard guard(*this, op.pos);
        advance();
        NodePtr operand = parseSign();
        if (operand->type() != Value::Type::Num) {
            fail(op.pos, std::string("Unary '-' needs a numeric operand, not ") + typeName(operand->type()));
        }
        return checked(makeNegate(std::move(operand)), op.pos);
    }

    NodePtr parsePrimary() {
        const Token t = tok_;
        switch (t.kind) {
            case Tok::Number: advance(); return makeNumLiteral(parseNumberPrefix(t.spelled));
            case Tok::String: advance(); return makeTextLiteral(std::string(t.spelled));
            case Tok::True: advance(); return makeLogicalLiteral(true);
            case Tok::False: advance(); return makeLogicalLiteral(false);
            case Tok::Not: return parseNot();  // as in  FLAG = !OTHER
            case Tok::LParen: {
                DepthGuard guard(*this, t.pos);
                advance();
                NodePtr inner = parseOr();
                expect(Tok::RParen, "')'");
                return inner;
            }
            case Tok::Ident: {
                advance();
                if (tok_.kind == Tok::LParen) return parseCall(t);
                return fieldNode(t);
            }
            default: break;
        }
        if (t.kind == Tok::End) fail(t.pos, "Missing operand");
        fail(t.pos, "Expected a value, found " + describe(t));
    }

    void expect(Tok kind, const char* what) {
        if (tok_.kind != kind) fail(tok_.pos, std::string("Expected ") + what + ", found " + describe(tok_));
        advance();
    }

    NodePtr fieldNode(const Token& name) {
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (!sameName(fields_[i].name, name.spelled)) continue;
            NodePtr node = makeField(fields_[i], static_cast<int>(i));
            if (!node) {
                fail(name.pos, "Field '" + fields_[i].name + "' has type '" + std::string(1, fields_[i].type) +
                                   "', which expressions cannot use");
            }
            return node;
        }
        fail(name.pos, "Unknown field '" + upperCopy(name.spelled) + "'");
    }

    NodePtr parseCall(const Token& name) {
        const std::string upperName = upperCopy(name.spelled);
        if (!isKnownFunction(upperName)) fail(name.pos, "Unknown function '" + upperName + "'");
        DepthGuard guard(*this, name.pos);
        advance();  // '('
        std::vector<NodePtr> args;
        if (tok_.kind != Tok::RParen) {
            args.push_back(parseOr());
            while (tok_.kind == Tok::Comma) {
                advance();
                args.push_back(parseOr());
            }
        }
        expect(Tok::RParen, "')' or ','");
        std::string problem;
        NodePtr call = makeFunction(upperName, args, problem);
        if (!call) fail(name.pos, problem);
        return checked(std::move(call), name.pos);
    }

    std::string_view text_;
    const std::vector<FieldInfo>& fields_;
    size_t pos_ = 0;
    Token tok_;
    int depth_ = 0;
};

}  // namespace

NodePtr parseExpression(std::string_view text, const std::vector<FieldInfo>& fields) {
    return Parser(text, fields).parse();
}

}  // namespace sde::expr
