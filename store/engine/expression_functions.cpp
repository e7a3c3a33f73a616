// The functions keys and filters may call. Trimming and cutting return views
// of their argument; only case changes, STR() and joins write text.
#include <algorithm>
#include <array>

#include "expression_internal.h"

namespace sde::expr {
namespace {

using Args = std::vector<NodePtr>;

class Call : public Node {
public:
    Call(Value::Type type, Kind kind, Args args)
        : Node(type, kind, depthOf(args)), args_(std::move(args)) {}
    const Node* operand(int i) const override {
        return i >= 0 && static_cast<size_t>(i) < args_.size() ? args_[static_cast<size_t>(i)].get() : nullptr;
    }

protected:
    static int depthOf(const Args& args) {
        std::vector<const Node*> children;
        for (const NodePtr& a : args) children.push_back(a.get());
        return depthOver(children);
    }
    const Node& arg(size_t i) const { return *args_[i]; }
    size_t argCount() const { return args_.size(); }

private:
    Args args_;
};

// Only ASCII letters change case; other bytes (0xE8 ...) stay as stored.
template <bool kUpper>
class CaseCall final : public Call {
public:
    explicit CaseCall(Args a) : Call(Value::Type::Char, kUpper ? Kind::Upper : Kind::Other, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        const std::string_view v = arg(0).text(ctx, scratch);
        const auto needsChange = [](char c) { return kUpper ? (c >= 'a' && c <= 'z') : (c >= 'A' && c <= 'Z'); };
        if (std::none_of(v.begin(), v.end(), needsChange)) return v;
        moveIntoScratch(v, scratch);
        for (char& c : scratch) {
            if (needsChange(c)) c = static_cast<char>(c ^ 0x20);
        }
        return scratch;
    }
};

enum class TrimSide { Right, Left, Both };

template <TrimSide kSide>
class TrimCall final : public Call {
public:
    explicit TrimCall(Args a) : Call(Value::Type::Char, Kind::Other, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        std::string_view v = arg(0).text(ctx, scratch);
        if (kSide != TrimSide::Left) {
            while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        }
        if (kSide != TrimSide::Right) {
            while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        }
        return v;
    }
};

// SUBSTR(s, start[, count]): 1-based; a negative start counts from the end,
// 0 acts as 1; whatever lies outside the string is left out.
class SubstrCall final : public Call {
public:
    explicit SubstrCall(Args a) : Call(Value::Type::Char, Kind::Other, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        const std::string_view v = arg(0).text(ctx, scratch);
        const long long size = static_cast<long long>(v.size());
        long long start = toCount(arg(1).number(ctx).value);
        start = start > 0 ? start - 1 : (start < 0 ? std::max(size + start, 0LL) : 0);
        if (start >= size) return {};
        long long count = size - start;
        if (argCount() > 2) count = std::clamp(toCount(arg(2).number(ctx).value), 0LL, count);
        return v.substr(static_cast<size_t>(start), static_cast<size_t>(count));
    }
};

template <bool kLeft>
class SideCall final : public Call {
public:
    explicit SideCall(Args a) : Call(Value::Type::Char, Kind::Other, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        const std::string_view v = arg(0).text(ctx, scratch);
        const long long n = std::clamp(toCount(arg(1).number(ctx).value), 0LL, static_cast<long long>(v.size()));
        const size_t count = static_cast<size_t>(n);
        return kLeft ? v.substr(0, count) : v.substr(v.size() - count);
    }
};

// STR(n) keeps the number's own layout; STR(n, len) has no decimals.
class StrCall final : public Call {
public:
    explicit StrCall(Args a) : Call(Value::Type::Char, Kind::Other, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        const Num n = arg(0).number(ctx);
        int width = n.width;
        int decimals = n.decimals;
        if (argCount() > 1) {
            width = static_cast<int>(std::clamp(toCount(arg(1).number(ctx).value), 1LL, 255LL));
            decimals = 0;
        }
        if (argCount() > 2) decimals = static_cast<int>(std::clamp(toCount(arg(2).number(ctx).value), 0LL, 15LL));
        return formatNumber(n.value, width, decimals, scratch);
    }
};

class ValCall final : public Call {
public:
    explicit ValCall(Args a) : Call(Value::Type::Num, Kind::Other, std::move(a)) {}
    Num number(const EvalContext& ctx) const override {
        std::string scratch;
        return parseNumberPrefix(arg(0).text(ctx, scratch));
    }
};

// A date already is its YYYYMMDD text (or eight blanks); only the type changes.
class DtosCall final : public Call {
public:
    explicit DtosCall(Args a) : Call(Value::Type::Char, Kind::Dtos, std::move(a)) {}
    std::string_view text(const EvalContext& ctx, std::string& scratch) const override {
        return arg(0).text(ctx, scratch);
    }
};

class DeletedCall final : public Call {
public:
    explicit DeletedCall(Args a) : Call(Value::Type::Logical, Kind::Other, std::move(a)) {}
    bool logical(const EvalContext& ctx) const override { return ctx.record != nullptr && ctx.record[0] == '*'; }
};

class RecnoCall final : public Call {
public:
    explicit RecnoCall(Args a) : Call(Value::Type::Num, Kind::Other, std::move(a)) {}
    Num number(const EvalContext& ctx) const override { return {static_cast<double>(ctx.recno), 10, 0}; }
};

constexpr auto C = Value::Type::Char;
constexpr auto N = Value::Type::Num;
constexpr auto D = Value::Type::Date;

// One function an xBase expression may call: its name, how many arguments
// it takes and of which types, and how its call node is made.
struct XBaseFunction {
    std::string_view name;
    size_t minArgs;
    size_t maxArgs;
    std::array<Value::Type, 3> argTypes;
    NodePtr (*make)(Args);
};

template <class T>
NodePtr build(Args a) {
    return std::make_unique<T>(std::move(a));
}

const XBaseFunction kFunctions[] = {
    {"UPPER", 1, 1, {C}, build<CaseCall<true>>},
    {"LOWER", 1, 1, {C}, build<CaseCall<false>>},
    {"TRIM", 1, 1, {C}, build<TrimCall<TrimSide::Right>>},
    {"RTRIM", 1, 1, {C}, build<TrimCall<TrimSide::Right>>},
    {"LTRIM", 1, 1, {C}, build<TrimCall<TrimSide::Left>>},
    {"ALLTRIM", 1, 1, {C}, build<TrimCall<TrimSide::Both>>},
    {"SUBSTR", 2, 3, {C, N, N}, build<SubstrCall>},
    {"LEFT", 2, 2, {C, N}, build<SideCall<true>>},
    {"RIGHT", 2, 2, {C, N}, build<SideCall<false>>},
    {"STR", 1, 3, {N, N, N}, build<StrCall>},
    {"VAL", 1, 1, {C}, build<ValCall>},
    {"DTOS", 1, 1, {D}, build<DtosCall>},
    {"DELETED", 0, 0, {}, build<DeletedCall>},
    {"RECNO", 0, 0, {}, build<RecnoCall>},
};

const XBaseFunction* findFunction(std::string_view upperName) {
    for (const XBaseFunction& f : kFunctions) {
        if (f.name == upperName) return &f;
    }
    return nullptr;
}

std::string argumentCountText(const XBaseFunction& f) {
    if (f.maxArgs == 0) return "no arguments";
    std::string s = std::to_string(f.minArgs);
    if (f.maxArgs != f.minArgs) s += (f.maxArgs == f.minArgs + 1 ? " or " : " to ") + std::to_string(f.maxArgs);
    return s + (f.maxArgs == 1 ? " argument" : " arguments");
}

}  // namespace

bool isKnownFunction(std::string_view upperName) { return findFunction(upperName) != nullptr; }

NodePtr makeFunction(std::string_view upperName, std::vector<NodePtr>& args, std::string& problem) {
    const XBaseFunction* f = findFunction(upperName);
    if (f == nullptr) {
        problem = "Unknown function '" + std::string(upperName) + "'";
        return nullptr;
    }
    if (args.size() < f->minArgs || args.size() > f->maxArgs) {
        problem = "Function " + std::string(f->name) + "() takes " + argumentCountText(*f) + ", got " +
                  std::to_string(args.size());
        return nullptr;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i]->type() != f->argTypes[i]) {
            problem = "Argument " + std::to_string(i + 1) + " of " + std::string(f->name) + "() must be " +
                      typeName(f->argTypes[i]) + ", not " + typeName(args[i]->type());
            return nullptr;
        }
    }
    return f->make(std::move(args));
}

}  // namespace sde::expr
