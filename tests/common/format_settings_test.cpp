// Reading the regional settings from the process locale, the strftime
// patterns it gives, and the century switch of the short date format.
#include <gtest/gtest.h>

#include "common/format_settings.h"

#include <QTime>

#include <clocale>
#include <string>

namespace {

std::string u8(const QString& text) { return text.toStdString(); }

// Runs a test under a locale and puts the process's locale back afterwards.
class LocaleGuard {
public:
    LocaleGuard() : saved_(std::setlocale(LC_ALL, nullptr)) {}
    ~LocaleGuard() { std::setlocale(LC_ALL, saved_.c_str()); }
    bool use(const char* name) { return std::setlocale(LC_ALL, name) != nullptr; }

private:
    std::string saved_;
};

void expectBelgian(const FormatSettings& s) {
    EXPECT_EQ(u8(s.currencySymbol), "€");
    EXPECT_TRUE(s.currencyAfter);
    EXPECT_TRUE(s.currencySpace);
    EXPECT_EQ(s.negativeSign, NegativeSign::BeforeAll);
    EXPECT_EQ(s.decimalSeparator, QChar(u','));
    EXPECT_EQ(s.thousandsSeparator, QChar(0x00A0));
    EXPECT_EQ(u8(s.shortDateFormat), "d/MM/yyyy");
    EXPECT_EQ(u8(s.longTimeFormat), "HH:mm:ss");
}

TEST(FormatSettingsTest, PlainCLocalesGiveTheBelgianValues) {
    LocaleGuard locale;
    ASSERT_TRUE(locale.use("C"));
    expectBelgian(FormatSettings::fromLocale());
    ASSERT_TRUE(locale.use("POSIX"));
    expectBelgian(FormatSettings::fromLocale());
    if (locale.use("C.UTF-8"))
        expectBelgian(FormatSettings::fromLocale());
    expectBelgian(FormatSettings());
}

TEST(FormatSettingsTest, ReadsTheBelgianFrenchLocale) {
    LocaleGuard locale;
    if (!locale.use("fr_BE.UTF-8") && !locale.use("fr_BE.utf8"))
        GTEST_SKIP() << "no fr_BE.UTF-8 locale on this machine";
    const FormatSettings s = FormatSettings::fromLocale();
    EXPECT_EQ(u8(s.currencySymbol), "€");
    EXPECT_TRUE(s.currencyAfter);
    EXPECT_TRUE(s.currencySpace);
    EXPECT_EQ(s.negativeSign, NegativeSign::BeforeAll);
    EXPECT_EQ(s.decimalSeparator, QChar(u','));
    EXPECT_TRUE(s.thousandsSeparator.isSpace() || s.thousandsSeparator == u'.')
        << int(s.thousandsSeparator.unicode());
    EXPECT_TRUE(s.shortDateFormat == u"dd/MM/yy" || s.shortDateFormat == u"dd/MM/yyyy")
        << u8(s.shortDateFormat);
    EXPECT_EQ(u8(s.longTimeFormat), "HH:mm:ss");
}

TEST(FormatSettingsTest, TranslatesStrftimePatterns) {
    EXPECT_EQ(u8(qtPatternFromStrftime("%d/%m/%Y")), "dd/MM/yyyy");
    EXPECT_EQ(u8(qtPatternFromStrftime("%e.%m.%y")), "d.MM.yy");
    EXPECT_EQ(u8(qtPatternFromStrftime("%T")), "HH:mm:ss");
    EXPECT_EQ(u8(qtPatternFromStrftime("%D")), "MM/dd/yy");
    EXPECT_EQ(u8(qtPatternFromStrftime("%F")), "yyyy-MM-dd");
    EXPECT_EQ(u8(qtPatternFromStrftime("%r")), "hh:mm:ss AP");
    EXPECT_EQ(u8(qtPatternFromStrftime("%-d/%-m/%-y")), "d/M/yy") << "no one-letter year";
    EXPECT_EQ(u8(qtPatternFromStrftime("%Od.%Om.%EY")), "dd.MM.yyyy");
    // Literal letters and quotes survive as Qt literals.
    const QString hours = qtPatternFromStrftime("%Hh%M'");
    EXPECT_EQ(u8(hours), "HH'h'mm''");
    EXPECT_EQ(u8(QTime(9, 5).toString(hours)), "09h05'");
}

TEST(FormatSettingsTest, RefusesPatternsItCannotShow) {
    EXPECT_TRUE(qtPatternFromStrftime("%a %d %b %Y").isEmpty()) << "names would be English";
    EXPECT_TRUE(qtPatternFromStrftime("%d/%m/%").isEmpty());
    EXPECT_TRUE(qtPatternFromStrftime("%Q").isEmpty());
}

TEST(FormatSettingsTest, CenturySwitchWidensAndNarrowsTheYear) {
    FormatSettings s;
    s.shortDateFormat = QStringLiteral("dd/MM/yy");
    s.setCentury(true);
    EXPECT_EQ(u8(s.shortDateFormat), "dd/MM/yyyy");
    s.setCentury(true);
    EXPECT_EQ(u8(s.shortDateFormat), "dd/MM/yyyy") << "a four-digit year stays";
    s.setCentury(false);
    EXPECT_EQ(u8(s.shortDateFormat), "dd/MM/yy");
    s.setCentury(false);
    EXPECT_EQ(u8(s.shortDateFormat), "dd/MM/yy");

    s.shortDateFormat = QStringLiteral("'yy:' yy-MM-dd");
    s.setCentury(true);
    EXPECT_EQ(u8(s.shortDateFormat), "'yy:' yyyy-MM-dd") << "quoted text is no year";
}

TEST(FormatSettingsTest, ProcessWideSettingsFollowTheSetters) {
    FormatSettings s;
    s.decimalSeparator = u'.';
    setFormatSettings(s);
    EXPECT_EQ(formatSettings().decimalSeparator, QChar(u'.'));
    setCentury(false);
    EXPECT_EQ(u8(formatSettings().shortDateFormat), "d/MM/yy");
    setCentury(true);
    EXPECT_EQ(u8(formatSettings().shortDateFormat), "d/MM/yyyy");
    setFormatSettings(FormatSettings());
    EXPECT_EQ(formatSettings(), FormatSettings());
}

}  // namespace
