// Values that xBase expressions produce and that index keys are made of.
#pragma once

#include <string>

namespace sde {

// A value of one of the four dBase types. Dates are kept as their stored
// text "YYYYMMDD" (eight blanks for the empty date) so that they compare and
// build keys byte for byte as the files hold them.
struct Value {
    enum class Type { Char, Num, Date, Logical };

    Type type = Type::Char;
    std::string text;      // Char: the text; Date: "YYYYMMDD" or 8 blanks
    double number = 0.0;   // Num
    bool logical = false;  // Logical
    // Num only: the display width and decimals, used for STR() and numeric
    // index keys. A field keeps its declared layout; computed numbers get
    // width 10 and the larger decimals of their operands.
    int width = 10;
    int decimals = 0;

    static Value makeChar(std::string s) {
        Value v;
        v.type = Type::Char;
        v.text = std::move(s);
        return v;
    }
    static Value makeNum(double n, int width = 10, int decimals = 0) {
        Value v;
        v.type = Type::Num;
        v.number = n;
        v.width = width;
        v.decimals = decimals;
        return v;
    }
    static Value makeDate(std::string yyyymmdd) {
        Value v;
        v.type = Type::Date;
        v.text = std::move(yyyymmdd);
        return v;
    }
    static Value makeLogical(bool b) {
        Value v;
        v.type = Type::Logical;
        v.logical = b;
        return v;
    }
};

}  // namespace sde
