// Qt's own dialogs follow the system's language: French standard buttons and
// printer dialog with a French locale, Qt's English texts with the C locale
// (the program's own texts are French either way).
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTranslator>
#include <memory>

#include "app/qt_translations.h"

namespace {

struct DialogTexts {
    QString cancel;
    QString printTitle;
};

DialogTexts dialogTexts() {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Caisse"), QStringLiteral("?"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QPrinter printer;
    QPrintDialog print(&printer);
    return {box.button(QMessageBox::Cancel)->text(), print.windowTitle()};
}

struct LocaleCase {
    const char* locale;
    const char* cancel;
    const char* printTitle;
    bool translated;
};

class QtTranslationsTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(QtTranslationsTest, StandardDialogsSpeakTheLocalesLanguage) {
    const LocaleCase& c = GetParam();
    std::unique_ptr<QTranslator> translator(installQtTranslations(QLocale(QString::fromLatin1(c.locale))));
    EXPECT_EQ(translator != nullptr, c.translated);
    DialogTexts texts = dialogTexts();
    EXPECT_EQ(texts.cancel.remove(QLatin1Char('&')), QString::fromUtf8(c.cancel));
    EXPECT_EQ(texts.printTitle, QString::fromUtf8(c.printTitle));
}

INSTANTIATE_TEST_SUITE_P(Locales, QtTranslationsTest,
                         ::testing::Values(LocaleCase{"fr_BE", "Annuler", "Imprimer", true},
                                           LocaleCase{"fr_FR", "Annuler", "Imprimer", true},
                                           LocaleCase{"C", "Cancel", "Print", false}));

}  // namespace
