// Expression::compile() and the compiled form: the tree built once by the
// parser, plus what the table layer asks of keys and filters.
#include "expression.h"

#include <utility>

#include "errors.h"
#include "expression_internal.h"

namespace sde {
namespace {

using expr::Kind;
using expr::Node;
using expr::RelOp;

class CompiledExpression final : public Expression {
public:
    CompiledExpression(std::string text, expr::NodePtr root) : text_(std::move(text)), root_(std::move(root)) {}

    Value eval(const EvalContext& ctx) const override {
        switch (root_->type()) {
            case Value::Type::Logical: return Value::makeLogical(root_->logical(ctx));
            case Value::Type::Num: {
                const expr::Num n = root_->number(ctx);
                return Value::makeNum(n.value, n.width, n.decimals);
            }
            case Value::Type::Char:
            case Value::Type::Date: {
                std::string scratch;
                const std::string_view v = root_->text(ctx, scratch);
                std::string owned = v.data() == scratch.data() && v.size() == scratch.size() ? std::move(scratch)
                                                                                             : std::string(v);
                return root_->type() == Value::Type::Char ? Value::makeChar(std::move(owned))
                                                          : Value::makeDate(std::move(owned));
            }
        }
        return Value{};
    }

    Value::Type resultType() const override { return root_->type(); }
    const std::string& text() const override { return text_; }

    std::vector<FieldEquality> fieldEqualities() const override {
        std::vector<FieldEquality> found;
        collectEqualities(*root_, found);
        return found;
    }

    int simpleKeyField(bool* upper) const override {
        const Node* node = root_.get();
        const bool upperApplied = node->kind() == Kind::Upper;
        if (upperApplied) node = node->operand(0);
        if (node->kind() != Kind::Field || node->type() != Value::Type::Char) return -1;
        if (upper != nullptr) *upper = upperApplied;
        return expr::fieldIndexOf(*node);
    }

    FieldKey fieldKey() const override {
        using Form = FieldKey::Form;
        const Node* node = root_.get();
        const Kind call = node->kind();
        if (call == Kind::Upper || call == Kind::Dtos) node = node->operand(0);  // of a field's type, checked
        FieldKey key;
        if (node == nullptr || node->kind() != Kind::Field) return key;
        switch (node->type()) {
            case Value::Type::Char: key.form = call == Kind::Upper ? Form::Upper : Form::Bytes; break;
            case Value::Type::Date: key.form = Form::Date; break;
            case Value::Type::Num: key.form = Form::Number; break;
            case Value::Type::Logical: key.form = Form::Logical; break;
        }
        expr::fieldLayoutOf(*node, &key.offset, &key.width, &key.decimals);
        return key;
    }

private:
    // Walks .AND. chains only: a conjunct under .OR. or .NOT. does not have
    // to hold for every row the filter lets through.
    static void collectEqualities(const Node& node, std::vector<FieldEquality>& found) {
        if (node.kind() == Kind::And) {
            collectEqualities(*node.operand(0), found);
            collectEqualities(*node.operand(1), found);
            return;
        }
        if (node.kind() != Kind::Compare) return;
        const RelOp op = expr::compareOp(node);
        if (op != RelOp::Equal && op != RelOp::ExactEqual) return;
        const Node* a = node.operand(0);
        const Node* b = node.operand(1);
        if (a->kind() == Kind::TextLiteral) std::swap(a, b);
        if (a->kind() == Kind::Field && a->type() == Value::Type::Char && b->kind() == Kind::TextLiteral) {
            found.push_back(FieldEquality{expr::fieldIndexOf(*a), expr::literalText(*b)});
        }
    }

    std::string text_;
    expr::NodePtr root_;
};

bool isBlankText(std::string_view text) {
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<Expression> Expression::compile(std::string_view text, const std::vector<FieldInfo>& fields) {
    if (isBlankText(text)) throw ExpressionError("Empty expression");
    return std::make_unique<CompiledExpression>(std::string(text), expr::parseExpression(text, fields));
}

}  // namespace sde
