// Qt's own dialogs follow the system's language: French standard buttons and
// printer dialog with a French locale, Qt's English texts with the C locale
// (the program's own texts are French either way). fr_BE.UTF-8 is generated
// by scripts/setup.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
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

// The program installs the translation of the system's locale: started with
// LANG=fr_BE.UTF-8 the standard buttons are French, with LANG=C they are Qt's
// own. Each case runs this test again in a child process with that locale;
// the child (CAISSE_EXPECT_CANCEL set) checks what it sees.
TEST(QtTranslationsSystemLocaleTest, TheSystemsLocaleChoosesTheLanguage) {
    const QByteArray expected = qgetenv("CAISSE_EXPECT_CANCEL");
    if (!expected.isEmpty()) {
        std::unique_ptr<QTranslator> translator(installQtTranslations());
        EXPECT_EQ(dialogTexts().cancel.remove(QLatin1Char('&')), QString::fromUtf8(expected));
        return;
    }
    const struct {
        const char* lang;
        const char* cancel;
    } cases[] = {{"fr_BE.UTF-8", "Annuler"}, {"C", "Cancel"}};
    for (const auto& c : cases) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LANGUAGE"));
        env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(c.lang));
        env.insert(QStringLiteral("LANG"), QString::fromLatin1(c.lang));
        env.insert(QStringLiteral("CAISSE_EXPECT_CANCEL"), QString::fromUtf8(c.cancel));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=QtTranslationsSystemLocaleTest.*")});
        ASSERT_TRUE(child.waitForFinished(60000)) << c.lang;
        EXPECT_EQ(child.exitCode(), 0) << c.lang << "\n" << child.readAll().toStdString();
    }
}

}  // namespace
