// Nodes of a compiled expression: fields, literals and operators. Fields and
// literals hand out views, so comparing a field with a constant copies nothing.
#include <algorithm>
#include <cstring>

#include "expression_internal.h"

namespace sde::expr {

std::string_view Node::text(const EvalContext&, std::string&) const { return {}; }
Num Node::number(const EvalContext&) const { return {}; }
bool Node::logical(const EvalContext&) const { return false; }

int depthOver(const std::vector<const Node*>& children) {
    int deepest = 0;
    for (const Node* child : children) deepest = std::max(deepest, child->depth());
    return deepest + 1;
}

namespace {

constexpr char kEmptyDate[] = "        ";

// ---- fields -------------------------------------------------------------

class FieldNode : public Node {
public:
    FieldNode(Value::Type type, const FieldInfo& field, int index)
        : Node(type, Kind::Field, 1),
          index_(index),
          offset_(static_cast<size_t>(std::max(field.offset, 0))),
          width_(static_cast<size_t>(std::max(field.width, 0))),
          decimals_(field.decimals) {}
    int index() const { return index_; }
    void layout(size_t* offset, size_t* width, int* decimals) const {
        *offset = offset_;
        *width = width_;
        *decimals = decimals_;
    }

protected:
    // Without a record every field reads as blank, like a fresh append.
    std::string_view bytes(const EvalContext& ctx, std::string& scratch) const {
        if (ctx.record == nullptr) {
            scratch.assign(width_, ' ');
            return scratch;
        }
        return {reinterpret_cast<const char*>(ctx.record) + offset_, width_};
    }

    int index_;
    size_t offset_;
    size_t width_;
    int decimals_;
};

class CharField final : public FieldNode {
public:
    CharField(const FieldInfo& f, int i) : FieldNode(Value::Type::Char, f, i) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        return bytes(ctx, scratch);
    }
};

class NumField final : public FieldNode {
public:
    NumField(const FieldInfo& f, int i) : FieldNode(Value::Type::Num, f, i) {}
    Num number(const EvalContext& ctx) const override {
        std::string scratch;
        return {parseStoredNumber(bytes(ctx, scratch)), static_cast<int>(width_), decimals_};
    }
};

// A date that is not eight digits (damaged bytes) reads as the empty date.
class DateField final : public FieldNode {
public:
    DateField(const FieldInfo& f, int i) : FieldNode(Value::Type::Date, f, i) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        const std::string_view raw = bytes(ctx, scratch);
        if (raw.size() != 8) return kEmptyDate;
        for (char c : raw) {
            if (c < '0' || c > '9') return kEmptyDate;
        }
        return raw;
    }
};

class LogicalField final : public FieldNode {
public:
    LogicalField(const FieldInfo& f, int i) : FieldNode(Value::Type::Logical, f, i) {}
    bool logical(const EvalContext& ctx) const override {
        if (ctx.record == nullptr || width_ == 0) return false;
        const unsigned char c = ctx.record[offset_];
        return c == 'T' || c == 't' || c == 'Y' || c == 'y';
    }
};

// ---- literals -----------------------------------------------------------

class TextLiteral final : public Node {
public:
    explicit TextLiteral(std::string s) : Node(Value::Type::Char, Kind::TextLiteral, 1), text_(std::move(s)) {}
    std::string_view text(const EvalContext&, std::string&) const override { return text_; }
    const std::string& value() const { return text_; }

private:
    std::string text_;
};

class NumLiteral final : public Node {
public:
    explicit NumLiteral(Num n) : Node(Value::Type::Num, Kind::Other, 1), num_(n) {}
    Num number(const EvalContext&) const override { return num_; }

private:
    Num num_;
};

class LogicalLiteral final : public Node {
public:
    explicit LogicalLiteral(bool b) : Node(Value::Type::Logical, Kind::Other, 1), value_(b) {}
    bool logical(const EvalContext&) const override { return value_; }

private:
    bool value_;
};

// ---- operators ----------------------------------------------------------

class Binary : public Node {
public:
    Binary(Value::Type type, Kind kind, NodePtr l, NodePtr r)
        : Node(type, kind, depthOver({l.get(), r.get()})), l_(std::move(l)), r_(std::move(r)) {}
    const Node* operand(int i) const override { return i == 0 ? l_.get() : i == 1 ? r_.get() : nullptr; }

protected:
    NodePtr l_;
    NodePtr r_;
};

class Unary : public Node {
public:
    Unary(Value::Type type, NodePtr operand)
        : Node(type, Kind::Other, depthOver({operand.get()})), a_(std::move(operand)) {}
    const Node* operand(int i) const override { return i == 0 ? a_.get() : nullptr; }

protected:
    NodePtr a_;
};

class AndNode final : public Binary {
public:
    AndNode(NodePtr l, NodePtr r) : Binary(Value::Type::Logical, Kind::And, std::move(l), std::move(r)) {}
    bool logical(const EvalContext& ctx) const override { return l_->logical(ctx) && r_->logical(ctx); }
};

class OrNode final : public Binary {
public:
    OrNode(NodePtr l, NodePtr r) : Binary(Value::Type::Logical, Kind::Other, std::move(l), std::move(r)) {}
    bool logical(const EvalContext& ctx) const override { return l_->logical(ctx) || r_->logical(ctx); }
};

class NotNode final : public Unary {
public:
    explicit NotNode(NodePtr a) : Unary(Value::Type::Logical, std::move(a)) {}
    bool logical(const EvalContext& ctx) const override { return !a_->logical(ctx); }
};

class NegateNode final : public Unary {
public:
    explicit NegateNode(NodePtr a) : Unary(Value::Type::Num, std::move(a)) {}
    Num number(const EvalContext& ctx) const override {
        Num n = a_->number(ctx);
        n.value = -n.value;
        return n;
    }
};

bool holds(RelOp op, int order) {
    switch (op) {
        case RelOp::Equal:
        case RelOp::ExactEqual: return order == 0;
        case RelOp::NotEqual: return order != 0;
        case RelOp::Less: return order < 0;
        case RelOp::LessEqual: return order <= 0;
        case RelOp::Greater: return order > 0;
        case RelOp::GreaterEqual: return order >= 0;
        case RelOp::Contains: return false;
    }
    return false;
}

class CompareNode final : public Binary {
public:
    CompareNode(RelOp op, NodePtr l, NodePtr r)
        : Binary(Value::Type::Logical, Kind::Compare, std::move(l), std::move(r)), op_(op) {}
    RelOp op() const { return op_; }

    bool logical(const EvalContext& ctx) const override {
        switch (l_->type()) {
            case Value::Type::Char: return compareChars(ctx);
            case Value::Type::Date: {
                std::string ls, rs;
                const std::string_view l = l_->text(ctx, ls);
                return holds(op_, compareText(l, r_->text(ctx, rs), false));
            }
            case Value::Type::Num: {
                const double l = l_->number(ctx).value;
                const double r = r_->number(ctx).value;
                return holds(op_, l < r ? -1 : (l > r ? 1 : 0));
            }
            case Value::Type::Logical: {
                const int l = l_->logical(ctx) ? 1 : 0;
                return holds(op_, l - (r_->logical(ctx) ? 1 : 0));
            }
        }
        return false;
    }

private:
    bool compareChars(const EvalContext& ctx) const {
        std::string ls, rs;
        const std::string_view l = l_->text(ctx, ls);
        const std::string_view r = r_->text(ctx, rs);
        if (op_ == RelOp::ExactEqual) return l == r;
        // An empty needle is in no string, as in Clipper.
        if (op_ == RelOp::Contains) return !l.empty() && r.find(l) != std::string_view::npos;
        return holds(op_, compareText(l, r, ctx.exact));
    }

    RelOp op_;
};

class AddNode final : public Binary {
public:
    AddNode(char op, NodePtr l, NodePtr r)
        : Binary(Value::Type::Num, Kind::Other, std::move(l), std::move(r)), minus_(op == '-') {}
    Num number(const EvalContext& ctx) const override {
        const Num l = l_->number(ctx);
        const Num r = r_->number(ctx);
        return {minus_ ? l.value - r.value : l.value + r.value, 10, std::max(l.decimals, r.decimals)};
    }

private:
    bool minus_;
};

// '+' joins as is; '-' moves the left side's trailing blanks to the end.
class ConcatNode final : public Binary {
public:
    ConcatNode(char op, NodePtr l, NodePtr r)
        : Binary(Value::Type::Char, Kind::Other, std::move(l), std::move(r)), minus_(op == '-') {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        std::string rightScratch;
        const std::string_view right = r_->text(ctx, rightScratch);
        moveIntoScratch(l_->text(ctx, scratch), scratch);
        size_t blanks = 0;
        if (minus_) {
            while (blanks < scratch.size() && scratch[scratch.size() - 1 - blanks] == ' ') ++blanks;
            scratch.resize(scratch.size() - blanks);
        }
        scratch.append(right.data(), right.size());
        scratch.append(blanks, ' ');
        return scratch;
    }

private:
    bool minus_;
};

}  // namespace

NodePtr makeField(const FieldInfo& field, int index) {
    switch (field.type) {
        case 'C': return std::make_unique<CharField>(field, index);
        case 'N': return std::make_unique<NumField>(field, index);
        case 'D': return std::make_unique<DateField>(field, index);
        case 'L': return std::make_unique<LogicalField>(field, index);
        default: return nullptr;
    }
}

NodePtr makeTextLiteral(std::string text) { return std::make_unique<TextLiteral>(std::move(text)); }
NodePtr makeNumLiteral(Num n) { return std::make_unique<NumLiteral>(n); }
NodePtr makeLogicalLiteral(bool b) { return std::make_unique<LogicalLiteral>(b); }
int fieldIndexOf(const Node& node) { return static_cast<const FieldNode&>(node).index(); }
void fieldLayoutOf(const Node& node, size_t* offset, size_t* width, int* decimals) {
    static_cast<const FieldNode&>(node).layout(offset, width, decimals);
}
const std::string& literalText(const Node& node) { return static_cast<const TextLiteral&>(node).value(); }

NodePtr makeAnd(NodePtr l, NodePtr r) { return std::make_unique<AndNode>(std::move(l), std::move(r)); }
NodePtr makeOr(NodePtr l, NodePtr r) { return std::make_unique<OrNode>(std::move(l), std::move(r)); }
NodePtr makeNot(NodePtr a) { return std::make_unique<NotNode>(std::move(a)); }
NodePtr makeNegate(NodePtr a) { return std::make_unique<NegateNode>(std::move(a)); }

NodePtr makeCompare(RelOp op, NodePtr l, NodePtr r) {
    return std::make_unique<CompareNode>(op, std::move(l), std::move(r));
}
RelOp compareOp(const Node& node) { return static_cast<const CompareNode&>(node).op(); }

NodePtr makeArithmetic(char op, NodePtr l, NodePtr r) {
    if (l->type() == Value::Type::Num) return std::make_unique<AddNode>(op, std::move(l), std::move(r));
    return std::make_unique<ConcatNode>(op, std::move(l), std::move(r));
}

}  // namespace sde::expr
