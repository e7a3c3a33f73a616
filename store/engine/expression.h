// xBase expressions for index keys and filters: parsed once against a
// table's fields, then evaluated against record images.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "field_info.h"
#include "value.h"

namespace sde {

// What an evaluation may look at besides the record image.
struct EvalContext {
    const unsigned char* record = nullptr;  // full image, deletion flag first
    uint32_t recno = 0;                     // for RECNO()
    bool exact = true;                      // string '=' rule (see Expression)
};

// A key read straight from one field of the record image, without
// evaluating the tree (what an index build does for each row).
struct FieldKey {
    enum class Form {
        None,     // any other expression
        Bytes,    // a character field as stored
        Upper,    // UPPER(character field): ASCII letters upper-cased
        Date,     // a date field or DTOS(date field): 8 digits, else 8 blanks
        Number,   // a numeric field
        Logical,  // a logical field: 'T' or 'F'
    };
    Form form = Form::None;
    size_t offset = 0;  // in the record image, deletion flag first
    size_t width = 0;
    int decimals = 0;
};

// A conjunct of a filter of the form  field = 'constant'  (or the mirrored
// form), usable to restrict moves to an index range.
struct FieldEquality {
    int fieldIndex = -1;   // index into the field list given to compile()
    std::string constant;  // the literal, as written (no case change)
};

class Expression {
public:
    virtual ~Expression() = default;

    // Parses `text` against `fields` (names compared without regard to case).
    // Throws ExpressionError with a clear message on a syntax error, an unknown
    // field or function, or operands of the wrong type.
    static std::unique_ptr<Expression> compile(std::string_view text,
                                               const std::vector<FieldInfo>& fields);

    // Evaluates against one record. Never throws for any record image of the
    // table's length (bytes are untrusted: bad numbers read as 0).
    virtual Value eval(const EvalContext& ctx) const = 0;

    // The type the expression yields, known after compile().
    virtual Value::Type resultType() const = 0;

    // The expression's text as given to compile().
    virtual const std::string& text() const = 0;

    // Top-level conjuncts  field = 'literal'  of a logical expression (the
    // whole expression, or any operand of a chain of .AND.); empty otherwise.
    virtual std::vector<FieldEquality> fieldEqualities() const = 0;

    // When the expression is a plain field or UPPER(field) of a character
    // field, the field's index and whether UPPER is applied; else -1.
    virtual int simpleKeyField(bool* upper) const = 0;

    // The field the expression reads and how, when it is one of the shapes
    // of FieldKey; Form::None otherwise.
    virtual FieldKey fieldKey() const = 0;
};

}  // namespace sde
