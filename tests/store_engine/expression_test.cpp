// Key and filter expressions: parsing, functions, the string '=' rule,
// compile-time errors and what the table layer reads from compiled filters.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "errors.h"
#include "expression.h"

using namespace sde;

namespace {

class ExpressionTest : public ::testing::Test {
protected:
    // One sale row: flag, TICKET C6, NAME C10, AMOUNT N8.2, QTY N5, DAY D, SINCE D, PAID L.
    std::vector<FieldInfo> fields = {
        {"TICKET", 'C', 1, 6, 0}, {"NAME", 'C', 7, 10, 0},  {"AMOUNT", 'N', 17, 8, 2}, {"QTY", 'N', 25, 5, 0},
        {"DAY", 'D', 30, 8, 0},   {"SINCE", 'D', 38, 8, 0}, {"PAID", 'L', 46, 1, 0},   {"NOTE", 'M', 47, 10, 0},
    };
    std::string record = std::string(57, ' ');

    // Stores `value` as the table would: C left-aligned, N right-aligned.
    void set(const std::string& name, const std::string& value) {
        for (const FieldInfo& f : fields) {
            if (f.name != name) continue;
            std::string cell = value.substr(0, static_cast<size_t>(f.width));
            const std::string pad(static_cast<size_t>(f.width) - cell.size(), ' ');
            cell = f.type == 'N' ? pad + cell : cell + pad;
            record.replace(static_cast<size_t>(f.offset), cell.size(), cell);
            return;
        }
        FAIL() << "no field " << name;
    }

    Value eval(const std::string& text, bool exact = true, uint32_t recno = 1) {
        const auto e = Expression::compile(text, fields);
        EvalContext ctx;
        ctx.record = reinterpret_cast<const unsigned char*>(record.data());
        ctx.recno = recno;
        ctx.exact = exact;
        return e->eval(ctx);
    }
    bool holds(const std::string& text, bool exact = true) {
        const Value v = eval(text, exact);
        EXPECT_EQ(v.type, Value::Type::Logical) << text;
        return v.logical;
    }
    std::string chars(const std::string& text) {
        const Value v = eval(text);
        EXPECT_EQ(v.type, Value::Type::Char) << text;
        return v.text;
    }
    double number(const std::string& text) {
        const Value v = eval(text);
        EXPECT_EQ(v.type, Value::Type::Num) << text;
        return v.number;
    }
    // The compile error's message, or "" when the text compiles.
    std::string errorOf(const std::string& text) {
        try {
            Expression::compile(text, fields);
        } catch (const ExpressionError& e) {
            return e.what();
        }
        return "";
    }
};

TEST_F(ExpressionTest, PrecedenceFollowsClipper) {
    EXPECT_TRUE(holds(".T. .OR. .F. .AND. .F."));    // .AND. binds tighter than .OR.
    EXPECT_TRUE(holds(".NOT. .T. .OR. .T."));        // .NOT. tighter than .OR.
    EXPECT_FALSE(holds(".NOT. .T. .AND. .T."));      // ... and than .AND.
    set("QTY", "3");
    EXPECT_FALSE(holds(".NOT. QTY = 3"));           // .NOT. looser than '='
    EXPECT_TRUE(holds("!QTY = 4"));
    EXPECT_EQ(number("-QTY + 10"), 7);              // unary minus before '+'
    EXPECT_EQ(number("10 - 2 - 3"), 5);             // left to right
    EXPECT_EQ(number("10 - (2 - 3)"), 11);
    EXPECT_EQ(number("2 - -QTY"), 5);
    EXPECT_TRUE(holds("QTY + 1 = 4 .and. .t."));
    EXPECT_TRUE(holds("PAID = !.T."));
}

TEST_F(ExpressionTest, LexicalForms) {
    set("TICKET", "12");
    EXPECT_TRUE(holds("ticket = '12'"));
    EXPECT_TRUE(holds("Ticket = \"12\""));
    EXPECT_EQ(chars("\"it's\" + ' say \"hi\"'"), "it's say \"hi\"");
    EXPECT_EQ(chars("  ( ( TICKET ) )\t"), "12    ");
    const Value literal = eval("12.50");
    EXPECT_EQ(literal.number, 12.5);
    EXPECT_EQ(literal.decimals, 2);
    EXPECT_EQ(eval("12").decimals, 0);
    EXPECT_EQ(eval(".5").number, 0.5);
    const auto e = Expression::compile(" upper(NAME) ", fields);
    EXPECT_EQ(e->text(), " upper(NAME) ");
    EXPECT_EQ(e->resultType(), Value::Type::Char);
    EXPECT_EQ(Expression::compile("DAY", fields)->resultType(), Value::Type::Date);
    EXPECT_EQ(Expression::compile("QTY", fields)->resultType(), Value::Type::Num);
    EXPECT_EQ(Expression::compile("PAID", fields)->resultType(), Value::Type::Logical);
}

TEST_F(ExpressionTest, FieldsReadFromTheRecordImage) {
    set("NAME", "Bob");
    EXPECT_EQ(chars("NAME"), "Bob       ");  // full width, blanks kept
    set("AMOUNT", "-3.75");
    const Value amount = eval("AMOUNT");
    EXPECT_EQ(amount.number, -3.75);
    EXPECT_EQ(amount.width, 8);
    EXPECT_EQ(amount.decimals, 2);
    const Value sum = eval("AMOUNT + QTY");
    EXPECT_EQ(sum.width, 10);
    EXPECT_EQ(sum.decimals, 2);
    EXPECT_EQ(number("QTY"), 0);  // blank
    for (const char* garbage : {"1,5", "12x", "-", ".", "1 2", "--1"}) {
        set("QTY", garbage);
        EXPECT_EQ(number("QTY"), 0) << garbage;
    }
    EXPECT_EQ(eval("DAY").text, "        ");
    set("DAY", "20240302");
    EXPECT_EQ(eval("DAY").text, "20240302");
    set("DAY", "2024AB02");
    EXPECT_EQ(eval("DAY").text, "        ");  // damaged date reads as empty
    for (const char* yes : {"T", "t", "Y", "y"}) {
        set("PAID", yes);
        EXPECT_TRUE(holds("PAID")) << yes;
    }
    for (const char* no : {"F", " ", "?", "N"}) {
        set("PAID", no);
        EXPECT_FALSE(holds("PAID")) << no;
    }
}

TEST_F(ExpressionTest, CaseAndTrimFunctions) {
    set("NAME", "Bi\xE8re x");
    EXPECT_EQ(chars("UPPER(NAME)"), "BI\xE8RE X   ");  // 0xE8 stays as stored
    EXPECT_EQ(chars("lower('ABC\xC8z')"), "abc\xC8z");
    set("NAME", "  ab  ");
    EXPECT_EQ(chars("TRIM(NAME)"), "  ab");
    EXPECT_EQ(chars("RTRIM(NAME)"), "  ab");
    EXPECT_EQ(chars("LTRIM(NAME)"), "ab      ");
    EXPECT_EQ(chars("ALLTRIM(NAME)"), "ab");
    EXPECT_EQ(chars("ALLTRIM('   ')"), "");
    // Nested calls reuse one buffer; results must not overlap wrongly.
    set("NAME", "Bob Smith");
    EXPECT_EQ(chars("UPPER(SUBSTR(LOWER(NAME), 2, 6)) + LOWER(TRIM(UPPER(NAME)))"), "OB SMIbob smith");
    EXPECT_EQ(chars("UPPER(TRIM(NAME) + '/' + TICKET)"), "BOB SMITH/      ");
}

TEST_F(ExpressionTest, SubstrLeftRightClipOutOfRange) {
    EXPECT_EQ(chars("SUBSTR('hello', 2, 3)"), "ell");
    EXPECT_EQ(chars("SUBSTR('hello', 4)"), "lo");
    EXPECT_EQ(chars("SUBSTR('hello', 4, 10)"), "lo");
    EXPECT_EQ(chars("SUBSTR('hello', 6)"), "");
    EXPECT_EQ(chars("SUBSTR('hello', 0, 2)"), "he");
    EXPECT_EQ(chars("SUBSTR('hello', -3)"), "llo");
    EXPECT_EQ(chars("SUBSTR('hello', -9, 2)"), "he");
    EXPECT_EQ(chars("SUBSTR('hello', 2, -1)"), "");
    EXPECT_EQ(chars("SUBSTR('hello', 99999999999999999999, 2)"), "");
    EXPECT_EQ(chars("LEFT('hello', 2)"), "he");
    EXPECT_EQ(chars("LEFT('hello', 9)"), "hello");
    EXPECT_EQ(chars("LEFT('hello', -1)"), "");
    EXPECT_EQ(chars("RIGHT('hello', 2)"), "lo");
    EXPECT_EQ(chars("RIGHT('hello', 9)"), "hello");
    EXPECT_EQ(chars("RIGHT('hello', 0)"), "");
}

TEST_F(ExpressionTest, StrRoundsAlignsAndOverflows) {
    set("AMOUNT", "2.5");
    EXPECT_EQ(chars("STR(AMOUNT)"), "    2.50");  // the field's own layout
    set("QTY", "42");
    EXPECT_EQ(chars("STR(QTY)"), "   42");
    EXPECT_EQ(chars("STR(QTY + 1)"), "        43");  // computed: width 10
    EXPECT_EQ(chars("STR(12.50)"), "     12.50");
    EXPECT_EQ(chars("STR(7)"), "         7");
    EXPECT_EQ(chars("STR(12.345, 8, 2)"), "   12.35");
    EXPECT_EQ(chars("STR(1.005, 6, 2)"), "  1.01");
    EXPECT_EQ(chars("STR(-3.75, 8, 2)"), "   -3.75");
    EXPECT_EQ(chars("STR(2.5, 1)"), "3");
    EXPECT_EQ(chars("STR(-2.5, 3)"), " -3");
    EXPECT_EQ(chars("STR(-0.001, 6, 2)"), "  0.00");  // no negative zero
    EXPECT_EQ(chars("STR(12345, 3)"), "***");
    EXPECT_EQ(chars("STR(-10, 2)"), "**");
    EXPECT_EQ(chars("STR(99.99, 4, 1)"), "****");  // rounds to 100.0
    EXPECT_EQ(chars("STR(12345678901)"), "12345678901");
    EXPECT_EQ(chars("STR(1, 99999999999)").size(), 255u);  // width is capped
}

TEST_F(ExpressionTest, ValReadsANumberPrefix) {
    const Value v = eval("VAL('  12.50xyz')");
    EXPECT_EQ(v.number, 12.5);
    EXPECT_EQ(v.decimals, 2);
    EXPECT_EQ(number("VAL('-3')"), -3);
    EXPECT_EQ(number("VAL('1.2.3')"), 1.2);
    EXPECT_EQ(number("VAL('abc')"), 0);
    EXPECT_EQ(number("VAL('')"), 0);
    EXPECT_EQ(number("VAL(' - 5')"), 0);
    EXPECT_EQ(chars("STR(VAL('3.25') + 1)"), "      4.25");
}

TEST_F(ExpressionTest, DatesAndBlanks) {
    EXPECT_EQ(chars("DTOS(DAY)"), "        ");
    set("DAY", "20240302");
    EXPECT_EQ(chars("DTOS(DAY) + TICKET"), "20240302      ");
    EXPECT_TRUE(holds("DAY > SINCE"));  // empty date sorts first
    set("SINCE", "20240302");
    EXPECT_TRUE(holds("DAY = SINCE"));
    set("SINCE", "20231231");
    EXPECT_TRUE(holds("SINCE < DAY"));
    EXPECT_TRUE(holds("DTOS(DAY) = '2024'", false));
    EXPECT_FALSE(holds("DTOS(DAY) = '2024'", true));
}

TEST_F(ExpressionTest, EqualsFollowsTheExactSetting) {
    set("TICKET", "120");
    EXPECT_FALSE(holds("TICKET = '12'", true));
    EXPECT_TRUE(holds("TICKET = '12'", false));
    EXPECT_TRUE(holds("TICKET <> '12'", true));
    EXPECT_FALSE(holds("TICKET # '12'", false));
    EXPECT_FALSE(holds("TICKET != '12'", false));
    set("TICKET", "12");  // stored as '12    '
    for (bool exact : {true, false}) {
        EXPECT_TRUE(holds("TICKET = '12'", exact));
        EXPECT_TRUE(holds("TICKET = '12  '", exact));
        EXPECT_FALSE(holds("TICKET == '12'", exact));  // trailing blanks count
        EXPECT_TRUE(holds("TICKET == '12    '", exact));
    }
    EXPECT_TRUE(holds("TICKET = ''", false));  // empty right side matches all
    EXPECT_FALSE(holds("TICKET = ''", true));
    EXPECT_FALSE(holds("'12' = TICKET", false));  // left shorter than right
    EXPECT_TRUE(holds("'12' = TICKET", true));
}

TEST_F(ExpressionTest, StringOrderAndContains) {
    set("NAME", "Bob");
    EXPECT_FALSE(holds("NAME > 'B'", false));  // only one byte compared
    EXPECT_TRUE(holds("NAME >= 'B'", false));
    EXPECT_TRUE(holds("NAME > 'B'", true));
    EXPECT_TRUE(holds("NAME <= 'Bob'", true));
    EXPECT_FALSE(holds("NAME < 'Bob'", true));
    EXPECT_TRUE(holds("'ab' < 'abc'"));
    EXPECT_TRUE(holds("'\xE8' > 'z'"));  // unsigned bytes
    EXPECT_TRUE(holds("'ob' $ NAME"));
    EXPECT_FALSE(holds("'obo' $ NAME"));
    EXPECT_FALSE(holds("'' $ NAME"));
    EXPECT_EQ(chars("'ab  ' + 'cd '"), "ab  cd ");
    EXPECT_EQ(chars("'ab  ' - 'cd '"), "abcd   ");  // blanks move to the end
    EXPECT_EQ(chars("NAME - '!'"), "Bob!       ");
}

TEST_F(ExpressionTest, NumbersAndLogicalsCompare) {
    set("AMOUNT", "-25.00");
    EXPECT_TRUE(holds("AMOUNT < 0"));
    EXPECT_TRUE(holds("AMOUNT = -25"));
    EXPECT_TRUE(holds("AMOUNT + 25 == 0"));
    EXPECT_TRUE(holds(".F. < .T."));
    EXPECT_FALSE(holds(".T. <= .F."));
    EXPECT_TRUE(holds("PAID = .F."));
}

TEST_F(ExpressionTest, DeletedAndRecno) {
    EXPECT_FALSE(holds("DELETED()"));
    record[0] = '*';
    EXPECT_TRUE(holds("deleted()"));
    EXPECT_TRUE(holds(".NOT. DELETED() .OR. RECNO() = 1"));
    const Value v = eval("RECNO()", true, 4000000000u);
    EXPECT_EQ(v.number, 4000000000.0);
    EXPECT_EQ(eval("STR(RECNO(), 7)", true, 42).text, "     42");
}

TEST_F(ExpressionTest, NullRecordReadsAsBlank) {
    const auto e = Expression::compile("TICKET + STR(QTY) + DTOS(DAY)", fields);
    EvalContext ctx;  // no record
    EXPECT_EQ(e->eval(ctx).text, std::string(6, ' ') + "    0" + std::string(8, ' '));
    EXPECT_FALSE(Expression::compile("DELETED() .OR. PAID", fields)->eval(ctx).logical);
}

TEST_F(ExpressionTest, UnknownNamesAndSyntaxErrorsAreReported) {
    EXPECT_NE(errorOf("TICKET = '1' .AND. foo = 'x'").find("Unknown field 'FOO' at position 20"), std::string::npos);
    EXPECT_NE(errorOf("FROB(NAME)").find("Unknown function 'FROB'"), std::string::npos);
    EXPECT_NE(errorOf("NOTE = 'x'").find("Field 'NOTE' has type 'M'"), std::string::npos);
    EXPECT_NE(errorOf("").find("Empty expression"), std::string::npos);
    EXPECT_NE(errorOf(" \t ").find("Empty expression"), std::string::npos);
    EXPECT_NE(errorOf("TICKET = ").find("Missing operand at the end"), std::string::npos);
    EXPECT_NE(errorOf("TICKET = 'ab").find("Unterminated string"), std::string::npos);
    EXPECT_NE(errorOf("(TICKET = 'ab'").find("Expected ')'"), std::string::npos);
    EXPECT_NE(errorOf("TICKET 'ab'").find("Unexpected string 'ab' at position 8"), std::string::npos);
    EXPECT_NE(errorOf("PAID .XOR. PAID").find("Unknown operator '.XOR.'"), std::string::npos);
    EXPECT_NE(errorOf("QTY * 2").find("Unexpected character '*'"), std::string::npos);
    EXPECT_NE(errorOf("NAME = '\xE8' + \xE8").find("Unexpected byte 0xE8"), std::string::npos);
    EXPECT_NE(errorOf("SUBSTR(NAME,,2)").find("Expected a value"), std::string::npos);
    EXPECT_NE(errorOf("12.").find("Unexpected '.'"), std::string::npos);
    EXPECT_NE(errorOf(std::string(50, '9')).find("Number too long"), std::string::npos);
    EXPECT_NE(errorOf("NAME = 'x' )").find("Unexpected ')'"), std::string::npos);
}

TEST_F(ExpressionTest, TypeErrorsAreReportedAtCompileTime) {
    EXPECT_NE(errorOf("TICKET = 5").find("Cannot compare character with numeric using '='"), std::string::npos);
    EXPECT_NE(errorOf("DAY = '20240302'").find("Cannot compare date with character"), std::string::npos);
    EXPECT_NE(errorOf("QTY + 'a'").find("Operator '+' cannot combine numeric and character"), std::string::npos);
    EXPECT_NE(errorOf("DAY - DAY").find("cannot combine date and date"), std::string::npos);
    EXPECT_NE(errorOf("UPPER(QTY)").find("Argument 1 of UPPER() must be character, not numeric"),
              std::string::npos);
    EXPECT_NE(errorOf("SUBSTR(NAME)").find("SUBSTR() takes 2 or 3 arguments, got 1"), std::string::npos);
    EXPECT_NE(errorOf("STR(1,2,3,4)").find("STR() takes 1 to 3 arguments, got 4"), std::string::npos);
    EXPECT_NE(errorOf("DELETED(1)").find("DELETED() takes no arguments"), std::string::npos);
    EXPECT_NE(errorOf("DTOS(NAME)").find("must be date"), std::string::npos);
    EXPECT_NE(errorOf(".NOT. NAME").find("needs a logical operand, not character"), std::string::npos);
    EXPECT_NE(errorOf("NAME .AND. PAID").find(".AND. needs logical operands"), std::string::npos);
    EXPECT_NE(errorOf("PAID .OR. QTY").find(".OR. needs logical operands"), std::string::npos);
    EXPECT_NE(errorOf("-NAME").find("Unary '-' needs a numeric operand"), std::string::npos);
    EXPECT_NE(errorOf("QTY $ QTY").find("$ needs character operands"), std::string::npos);
    EXPECT_NE(errorOf("QTY = 1 = 2").find("Cannot compare logical with numeric"), std::string::npos);
}

TEST_F(ExpressionTest, DeepNestingIsRefusedCleanly) {
    const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_NE(errorOf(deep).find("nested too deeply"), std::string::npos);
    std::string nots;
    for (int i = 0; i < 50000; ++i) nots += ".NOT. ";
    EXPECT_NE(errorOf(nots + ".T.").find("nested too deeply"), std::string::npos);
    EXPECT_NE(errorOf(std::string(100000, '-') + "1").find("nested too deeply"), std::string::npos);
    std::string longSum = "QTY";
    for (int i = 0; i < 100000; ++i) longSum += "+1";
    EXPECT_NE(errorOf(longSum).find("nested too deeply"), std::string::npos);
    std::string calls = "NAME";
    for (int i = 0; i < 1000; ++i) calls = "UPPER(" + calls + ")";
    EXPECT_NE(errorOf(calls).find("nested too deeply"), std::string::npos);
    // Real expressions stay well inside the limit.
    EXPECT_EQ(number(std::string(150, '(') + "1" + std::string(150, ')')), 1);
}

TEST_F(ExpressionTest, FieldEqualitiesComeFromAndChainsOnly) {
    using Found = std::vector<std::pair<int, std::string>>;
    const auto found = [&](const std::string& text) {
        Found out;
        for (const FieldEquality& e : Expression::compile(text, fields)->fieldEqualities()) {
            out.emplace_back(e.fieldIndex, e.constant);
        }
        return out;
    };
    EXPECT_EQ(found("TICKET = '12'"), (Found{{0, "12"}}));
    EXPECT_EQ(found("'12' = TICKET"), (Found{{0, "12"}}));
    EXPECT_EQ(found("TICKET == '12'"), (Found{{0, "12"}}));
    EXPECT_EQ(found("TICKET = '12' .AND. ((Name = 'Bob') .AND. QTY > 1)"), (Found{{0, "12"}, {1, "Bob"}}));
    EXPECT_EQ(found("TICKET = '12' .AND. (NAME = 'a' .OR. NAME = 'b')"), (Found{{0, "12"}}));
    EXPECT_TRUE(found("TICKET = '12' .OR. NAME = 'Bob'").empty());
    EXPECT_TRUE(found(".NOT. TICKET = '12'").empty());
    EXPECT_TRUE(found(".NOT. (TICKET = '1' .AND. NAME = 'x')").empty());
    EXPECT_TRUE(found("UPPER(NAME) = 'BOB'").empty());
    EXPECT_TRUE(found("TICKET <> '12'").empty());
    EXPECT_TRUE(found("TICKET = NAME").empty());
    EXPECT_TRUE(found("TICKET + 'x' = '12'").empty());
    EXPECT_TRUE(found("TICKET").empty());
}

TEST_F(ExpressionTest, SimpleKeyField) {
    bool upper = true;
    EXPECT_EQ(Expression::compile("TICKET", fields)->simpleKeyField(&upper), 0);
    EXPECT_FALSE(upper);
    EXPECT_EQ(Expression::compile("upper( name )", fields)->simpleKeyField(&upper), 1);
    EXPECT_TRUE(upper);
    EXPECT_EQ(Expression::compile("NAME", fields)->simpleKeyField(nullptr), 1);
    for (const char* other : {"QTY", "DAY", "UPPER(TRIM(NAME))", "LOWER(NAME)", "TICKET + NAME", "DTOS(DAY)"}) {
        EXPECT_EQ(Expression::compile(other, fields)->simpleKeyField(&upper), -1) << other;
    }
}

// Random texts and record bytes: only ExpressionError may come out, and
// nothing may read outside the record (run under ASan).
TEST_F(ExpressionTest, RandomInputNeverCrashes) {
    const std::vector<std::string> pieces = {
        "TICKET", "NAME", "QTY", "AMOUNT", "DAY", "PAID", "UPPER(", "SUBSTR(", "STR(", "VAL(", "TRIM(",
        "DTOS(", "LEFT(", "RECNO()", "DELETED()", "(", ")", ",", "+", "-", "=", "==", "<>", "<", ">=", "$",
        ".AND.", ".OR.", ".NOT.", "!", "'ab '", "\"\"", "1", "2.5", "-3", ".T.", "'", "\xE8", " "};
    std::mt19937 rng(12345);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
        std::unique_ptr<Expression> e;
        try {
            e = Expression::compile(text, fields);
        } catch (const ExpressionError&) {
            continue;
        }
        ++compiled;
        for (char& c : record) c = static_cast<char>(rng());
        EvalContext ctx{reinterpret_cast<const unsigned char*>(record.data()), static_cast<uint32_t>(rng()), (rng() & 1) != 0};
        const Value v = e->eval(ctx);
        EXPECT_EQ(v.type, e->resultType()) << text;
    }
    EXPECT_GT(compiled, 500);
}

}  // namespace
