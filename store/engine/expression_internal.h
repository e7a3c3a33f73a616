// Private parts of the expression module: the compiled tree and the text and
// number helpers its nodes share. Nothing here is used outside expression*.cpp.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expression.h"

namespace sde::expr {

// Deeper trees or parenthesis nests are refused, so that neither the parser
// nor an evaluation can run out of stack on hostile text.
inline constexpr int kMaxDepth = 200;

// A number with the layout STR() and numeric keys use.
struct Num {
    double value = 0.0;
    int width = 10;
    int decimals = 0;
};

// What the parser and the key/filter analysis need to recognise.
enum class Kind { Other, Field, TextLiteral, And, Compare, Upper, Dtos };

enum class RelOp { Equal, ExactEqual, NotEqual, Less, LessEqual, Greater, GreaterEqual, Contains };

class Node;
using NodePtr = std::unique_ptr<Node>;

// One node of a compiled expression. Only the accessor matching type() is
// ever called; the parser has checked every operand's type before.
class Node {
public:
    Node(Value::Type type, Kind kind, int depth) : type_(type), kind_(kind), depth_(depth) {}
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    Value::Type type() const { return type_; }
    Kind kind() const { return kind_; }
    int depth() const { return depth_; }

    // Char and Date nodes. The view points into the record, into the node's
    // own constant, or into `scratch`; it stays valid while none of these changes.
    virtual std::string_view text(const EvalContext&, std::string& scratch) const;
    virtual Num number(const EvalContext&) const;
    virtual bool logical(const EvalContext&) const;

    // Children, for the analysis of compiled keys and filters.
    virtual const Node* operand(int) const { return nullptr; }

private:
    Value::Type type_;
    Kind kind_;
    int depth_;
};

int depthOver(const std::vector<const Node*>& children);

// Parses and type-checks `text`; throws ExpressionError.
NodePtr parseExpression(std::string_view text, const std::vector<FieldInfo>& fields);

// Leaves.
NodePtr makeField(const FieldInfo& field, int index);
NodePtr makeTextLiteral(std::string text);
NodePtr makeNumLiteral(Num n);
NodePtr makeLogicalLiteral(bool b);
int fieldIndexOf(const Node& fieldNode);
// Where a field node's bytes lie in the record image.
void fieldLayoutOf(const Node& fieldNode, size_t* offset, size_t* width, int* decimals);
const std::string& literalText(const Node& literalNode);

// Operators; operand types have been checked by the caller.
NodePtr makeAnd(NodePtr l, NodePtr r);
NodePtr makeOr(NodePtr l, NodePtr r);
NodePtr makeNot(NodePtr operand);
NodePtr makeNegate(NodePtr operand);
NodePtr makeCompare(RelOp op, NodePtr l, NodePtr r);
RelOp compareOp(const Node& compareNode);
// '+' or '-' on two Char or two Num operands.
NodePtr makeArithmetic(char op, NodePtr l, NodePtr r);

// Functions: returns null and sets `problem` when the name is unknown or
// the arguments do not fit.
NodePtr makeFunction(std::string_view upperName, std::vector<NodePtr>& args,
                     std::string& problem);
bool isKnownFunction(std::string_view upperName);

// Shared helpers.
const char* typeName(Value::Type type);
// Copies `v` into `scratch` (it may already lie inside it) and returns it.
std::string_view moveIntoScratch(std::string_view v, std::string& scratch);
// Orders two strings for '=', '<>', '<' ... (not '=='), as unsigned bytes.
// Exact on: trailing blanks of both sides are ignored. Exact off: only as
// many bytes of the left side count as the right side has, so an empty right
// side equals everything and 'ab' = 'abc' is false.
int compareText(std::string_view l, std::string_view r, bool exact);
// [sign] digits [. digits] exactly, as stored in an N field; else 0.
double parseStoredNumber(std::string_view text);
// The longest number at the start of `text` (after blanks), as VAL() reads it.
Num parseNumberPrefix(std::string_view text);
// Clipper STR(): right-aligned, rounded, '*' filled when it does not fit.
std::string_view formatNumber(double value, int width, int decimals, std::string& out);
// Clamps a double argument (count, position) to a safe int range.
long long toCount(double d);

}  // namespace sde::expr
