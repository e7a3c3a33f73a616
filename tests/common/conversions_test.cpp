// Money, report numbers, masks, dates and times as the till shows them, and
// the typed texts it reads back with their exact French messages.
#include <gtest/gtest.h>

#include "common/conversions.h"

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string u8(const QString& text) { return text.toStdString(); }

// The message of the conversion error the call raises.
template <class Call>
std::string errorOf(Call call) {
    try {
        call();
    } catch (const AppError& e) {
        return u8(e.message());
    }
    return "(no error)";
}

FormatSettings dollars() {
    FormatSettings s;
    s.currencySymbol = QStringLiteral("$");
    s.currencyAfter = false;
    s.currencySpace = false;
    s.decimalSeparator = u'.';
    s.thousandsSeparator = u',';
    return s;
}

const FormatSettings belgian;

TEST(MoneyTextTest, BelgianAmounts) {
    EXPECT_EQ(u8(moneyText(1234.5, belgian)), "1\u00A0234,50 €");
    EXPECT_EQ(u8(moneyText(-1234.5, belgian)), "-1\u00A0234,50 €");
    EXPECT_EQ(u8(moneyText(0, belgian)), "0,00 €");
    EXPECT_EQ(u8(moneyText(-0.001, belgian)), "0,00 €") << "no minus on a zero amount";
    EXPECT_EQ(u8(moneyText(1234567.891, belgian)), "1\u00A0234\u00A0567,89 €");
    EXPECT_EQ(u8(moneyText(999.999, belgian)), "1\u00A0000,00 €");
    EXPECT_EQ(u8(moneyText(123.0, belgian)), "123,00 €");
}

TEST(MoneyTextTest, RoundsOnFifteenSignificantDigits) {
    // 1.005 is 1.00499999... in binary; read to 15 digits it is 1.005.
    EXPECT_EQ(u8(moneyText(1.005, belgian)), "1,01 €");
    EXPECT_EQ(u8(moneyText(-2.675, belgian)), "-2,68 €");
    EXPECT_EQ(u8(moneyText(123456789012345.678, belgian)),
              "123\u00A0456\u00A0789\u00A0012\u00A0346,00 €");
    EXPECT_EQ(u8(moneyText(std::nan(""), belgian)), "NAN");
    EXPECT_EQ(u8(moneyText(-std::numeric_limits<double>::infinity(), belgian)), "-INF");
}

TEST(MoneyTextTest, SymbolAndNegativeFormComeFromTheSettings) {
    FormatSettings s = dollars();
    EXPECT_EQ(u8(moneyText(1234.5, s)), "$1,234.50");
    EXPECT_EQ(u8(moneyText(-1234.5, s)), "-$1,234.50");
    s.negativeSign = NegativeSign::Parentheses;
    EXPECT_EQ(u8(moneyText(-1234.5, s)), "($1,234.50)");
    s.negativeSign = NegativeSign::AfterAll;
    EXPECT_EQ(u8(moneyText(-1234.5, s)), "$1,234.50-");
    s.negativeSign = NegativeSign::AfterSymbol;
    EXPECT_EQ(u8(moneyText(-1234.5, s)), "$-1,234.50");
    s.currencySpace = true;
    s.negativeSign = NegativeSign::BeforeSymbol;
    EXPECT_EQ(u8(moneyText(-1.5, s)), "-$ 1.50");

    FormatSettings b = belgian;
    b.negativeSign = NegativeSign::BeforeSymbol;
    EXPECT_EQ(u8(moneyText(-1.5, b)), "1,50 -€");

    setFormatSettings(dollars());
    EXPECT_EQ(u8(moneyText(2)), "$2.00") << "the process-wide settings by default";
    setFormatSettings(FormatSettings());
}

TEST(GeneralFloatTextTest, ShortestTextWithTheDecimalSeparator) {
    EXPECT_EQ(u8(generalFloatText(2.5, belgian)), "2,5");
    EXPECT_EQ(u8(generalFloatText(2.0, belgian)), "2");
    EXPECT_EQ(u8(generalFloatText(0.1 + 0.2, belgian)), "0,3");
    EXPECT_EQ(u8(generalFloatText(-1234567.25, belgian)), "-1234567,25");
    EXPECT_EQ(u8(generalFloatText(0, belgian)), "0");
    EXPECT_EQ(u8(generalFloatText(-0.0, belgian)), "0");
    EXPECT_EQ(u8(generalFloatText(123456789012345.6, belgian)), "123456789012346");
    EXPECT_EQ(u8(generalFloatText(0.00001, belgian)), "0,00001");
    EXPECT_EQ(u8(generalFloatText(2.5, dollars())), "2.5");
}

TEST(GeneralFloatTextTest, ScientificBeyondFifteenDigitsOrBelowTheFifthDecimal) {
    EXPECT_EQ(u8(generalFloatText(1e15, belgian)), "1E15");
    EXPECT_EQ(u8(generalFloatText(-1.5e20, belgian)), "-1,5E20");
    EXPECT_EQ(u8(generalFloatText(1.5e-7, belgian)), "1,5E-7");
    EXPECT_EQ(u8(generalFloatText(0.0000015, belgian)), "1,5E-6");
    EXPECT_EQ(u8(generalFloatText(999999999999999.9, belgian)), "1E15");
}

TEST(MaskTextTest, PriceMaskOfTheTill) {
    const QString mask = QStringLiteral("0.00  €");
    EXPECT_EQ(u8(maskText(2.5, mask, belgian)), "2,50  €");
    EXPECT_EQ(u8(maskText(0, mask, belgian)), "0,00  €");
    EXPECT_EQ(u8(maskText(1234.5, mask, belgian)), "1234,50  €");
    EXPECT_EQ(u8(maskText(-1.005, mask, belgian)), "-1,01  €");
    EXPECT_EQ(u8(maskText(-0.001, mask, belgian)), "0,00  €");
    EXPECT_EQ(u8(maskText(2.5, mask, dollars())), "2.50  €");
}

TEST(MaskTextTest, OptionalDigitsAndGrouping) {
    EXPECT_EQ(u8(maskText(1234.5, QStringLiteral("#,##0.0#"), belgian)), "1\u00A0234,5");
    EXPECT_EQ(u8(maskText(7, QStringLiteral("000"), belgian)), "007");
    EXPECT_EQ(u8(maskText(0.25, QStringLiteral("#.##"), belgian)), ",25");
    EXPECT_EQ(u8(maskText(3, QStringLiteral("Total: #"), belgian)), "Total: 3");
    EXPECT_EQ(u8(maskText(3, QStringLiteral("sans chiffre"), belgian)), "sans chiffre");
}

TEST(DateTimeTextTest, ShortDateAndLongTime) {
    EXPECT_EQ(u8(dateText(QDate(2024, 3, 5), belgian)), "5/03/2024");
    EXPECT_EQ(u8(timeText(QTime(9, 5, 7), belgian)), "09:05:07");
    FormatSettings twoDigits = belgian;
    twoDigits.setCentury(false);
    EXPECT_EQ(u8(dateText(QDate(2024, 3, 5), twoDigits)), "5/03/24");
    EXPECT_EQ(u8(dateText(QDate(), belgian)), "");
    EXPECT_EQ(u8(timeText(QTime(), belgian)), "");
}

TEST(TextToIntTest, ReadsSignedWholeNumbersWithin32Bits) {
    EXPECT_EQ(textToInt("42"), 42);
    EXPECT_EQ(textToInt("  -17"), -17);
    EXPECT_EQ(textToInt("+5"), 5);
    EXPECT_EQ(textToInt("007"), 7);
    EXPECT_EQ(textToInt("2147483647"), 2147483647);
    EXPECT_EQ(textToInt("-2147483648"), -2147483647 - 1);
}

TEST(TextToIntTest, RefusesOtherTextsWithItsMessage) {
    EXPECT_EQ(errorOf([] { textToInt("12a"); }), "'12a' n'est pas une valeur entière correcte");
    EXPECT_EQ(errorOf([] { textToInt(""); }), "'' n'est pas une valeur entière correcte");
    EXPECT_EQ(errorOf([] { textToInt(" x "); }), "' x ' n'est pas une valeur entière correcte");
    for (const char* text : {" ", "-", "+", "1,5", "1 000", "17 ", "-17 ", "0x10", "2147483648", "-2147483649",
                             "99999999999999999999", "--1"}) {
        EXPECT_THROW(textToInt(text), EConvertError) << text;
    }
}

TEST(TextToFloatTest, ReadsBothDecimalSeparators) {
    EXPECT_DOUBLE_EQ(textToFloat("2,5", belgian), 2.5);
    EXPECT_DOUBLE_EQ(textToFloat("21.00", belgian), 21.0);
    EXPECT_DOUBLE_EQ(textToFloat(" -3 ", belgian), -3.0);
    EXPECT_DOUBLE_EQ(textToFloat("+,5", belgian), 0.5);
    EXPECT_DOUBLE_EQ(textToFloat("5,", belgian), 5.0);
    EXPECT_DOUBLE_EQ(textToFloat("1e3", belgian), 1000.0);
    EXPECT_DOUBLE_EQ(textToFloat("1,5E-2", belgian), 0.015);
    EXPECT_DOUBLE_EQ(textToFloat("2.5", dollars()), 2.5);
    setFormatSettings(FormatSettings());
    EXPECT_DOUBLE_EQ(textToFloat("6,00"), 6.0) << "the process-wide separator by default";
}

TEST(TextToFloatTest, RefusesOtherTextsWithItsMessage) {
    EXPECT_EQ(errorOf([] { textToFloat("abc", belgian); }),
              "'abc' n'est pas une valeur en virgule flottante correcte");
    EXPECT_EQ(errorOf([] { textToFloat("", belgian); }),
              "'' n'est pas une valeur en virgule flottante correcte");
    for (const char* text : {" ", ",", ".", "-", "1e", "e3", "1,2,3", "1.234,5", "1\u00A0234,5",
                             "1 234", "1e999", "-1e999", "nan", "inf", "0x1p3", "1,5 €"}) {
        EXPECT_THROW(textToFloat(text, belgian), EConvertError) << text;
    }
    EXPECT_THROW(textToFloat("2,5", dollars()), EConvertError) << "a comma there is grouping";
}

TEST(TextToFloatTest, FieldVariantNamesTheField) {
    EXPECT_DOUBLE_EQ(fieldTextToFloat("3,5", "PRIX", belgian), 3.5);
    EXPECT_DOUBLE_EQ(fieldTextToFloat("3.5", "PRIX", belgian), 3.5);
    EXPECT_EQ(errorOf([] { fieldTextToFloat("x", "PRIX", belgian); }),
              "'x' n'est pas une valeur flottante correcte pour le champ 'PRIX'");
    EXPECT_EQ(errorOf([] { fieldTextToFloat("%1", "PRIX", belgian); }),
              "'%1' n'est pas une valeur flottante correcte pour le champ 'PRIX'");
}

}  // namespace
