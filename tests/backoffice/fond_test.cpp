// The cash float window: the float typed and dated, saved when the window
// hides, read back by the till and by an independent reader.
#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include "backoffice/fond.h"
#include "common/conversions.h"
#include "tests/support/python_reader.h"
#include "tests/support/till_fixture.h"

class FondTest : public TillTest {
protected:
    TFFond* openFond() {
        start();
        program().showWindow(program().FMenu);
        program().switchTo(program().FMenu, program().FFond);
        TFFond* f = program().FFond;
        QApplication::setActiveWindow(f);
        f->DBEdit1->setFocus();
        return f;
    }
    void type(TFFond* f, const QString& text) {
        f->DBEdit1->selectAll();
        QTest::keyClicks(f->DBEdit1, text);
    }
    // The menu's "Caisse": hides the window, which saves the settings row.
    void chooseTill(TFFond* f) {
        f->menuBar()->findChild<QAction*>(QStringLiteral("Caisse2"))->trigger();
    }
    // The settings rows as the independent reader sees them: "FONDCAISSE|DATEFOND".
    QStringList settingsRows() {
        const char* script =
            "import dbfread\n"
            "for r in dbfread.DBF('config.dbf', encoding='cp1252'):\n"
            "    d = r['DATEFOND']\n"
            "    print('%.2f|%s' % (r['FONDCAISSE'], d.isoformat() if d else ''))\n";
        return pythonLines(dir_.path(), script);
    }
};

TEST_F(FondTest, FloatAndTodayAreSavedOnLeavingAndTheTillDoesNotWarn) {
    prepare(numberedArticles(3), QDate::currentDate().addDays(-1));
    TFFond* f = openFond();
    EXPECT_EQ(f->DBText1->text(), dateText(QDate::currentDate().addDays(-1)));
    type(f, "150");
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(f->DBText1->text(), dateText(QDate::currentDate()));  // shown before it is saved
    EXPECT_EQ(f->focusWidget(), f->DBEdit1);  // the speed button takes no focus
    chooseTill(f);
    EXPECT_TRUE(program().FCaisse->isVisible());
    EXPECT_FALSE(f->isVisible());
    EXPECT_TRUE(dialogs_.messages.isEmpty()) << dialogs_.messages.join('|').toStdString();
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
    EXPECT_EQ(settingsRows(),
              QStringList{"150.00|" + QDate::currentDate().toString(Qt::ISODate)});
}

TEST_F(FondTest, TextThatIsNotANumberIsRefusedAndTheRowStaysInEdit) {
    prepare(numberedArticles(3));
    TFFond* f = openFond();
    for (const QString typed : {"abc", "12a", "1,2,3"}) {
        dialogs_.errors.clear();
        type(f, typed);
        f->DBEdit1->clearFocus();  // the focus leaves the edit
        EXPECT_EQ(dialogs_.errors,
                  QStringList{"'" + typed + "' n'est pas une valeur flottante correcte pour le champ 'FONDCAISSE'"});
        EXPECT_EQ(f->ATConfig->State(), TDataSetState::dsEdit);
        EXPECT_EQ(f->DBEdit1->text(), typed);  // left for correction
        f->DBEdit1->setFocus();
    }
    // Leaving the window posts the row: the same refusal, nothing saved.
    dialogs_.errors.clear();
    chooseTill(f);
    EXPECT_EQ(dialogs_.errors.size(), 1) << dialogs_.errors.join('|').toStdString();
    EXPECT_EQ(f->ATConfig->State(), TDataSetState::dsEdit);
    // Corrected, the float is written once the focus leaves.
    program().switchTo(program().FCaisse, f);
    QApplication::setActiveWindow(f);
    f->DBEdit1->setFocus();
    type(f, "12,5");
    f->DBEdit1->clearFocus();
    EXPECT_EQ(f->ATConfigFONDCAISSE->AsFloat(), 12.5);
    EXPECT_EQ(f->DBEdit1->text(), "12,5");
}

TEST_F(FondTest, ASettingsTableWithoutARowGetsOneWhenTheWindowHides) {
    install(false);
    TApolloTable c("ATConfig");  // no settings row
    c.setTableName("config.dbf");
    c.setExclusive(true);
    c.Open();
    c.Zap();
    c.Close();
    TFFond* f = openFond();
    EXPECT_EQ(f->ATConfig->State(), TDataSetState::dsInsert);
    EXPECT_FALSE(f->SpeedButton2->isEnabled());  // no sales either
    type(f, "75");
    QTest::mouseClick(f->SpeedButton1, Qt::LeftButton);
    chooseTill(f);
    EXPECT_EQ(settingsRows(), QStringList{"75.00|" + QDate::currentDate().toString(Qt::ISODate)});
}
