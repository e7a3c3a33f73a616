// The reprint window: an archive sales file chosen through the file
// dialog, validated as the journal's file and previewed; afterwards the
// till's listing lists the current sales again.
#include <QApplication>
#include <QTest>

#include "app/menu.h"
#include "reports/engine/preview_window.h"
#include "reports/imp_vente.h"
#include "reports/rimpression_caisse.h"
#include "till/caisse.h"
#include "tests/support/program_fixture.h"
#include "tests/support/report_fixture.h"
#include "store/table_layouts.h"

class ReprintTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        install(true);
        // The archive and the current sales differ by their rows.
        addRow("vente.dbf", "Archive");
        ASSERT_TRUE(QFile::copy(path("Vente.dbf"), path("vente05032005.dbf")));
        zapSales();
        addRow("vente.dbf", "Courant");
        previous_ = TQuickRep::setPreviewHook([this](TQuickRep& rep, TPreviewWindow& w) {
            labels.push_back(w.model().pages[0].textsOf("QRDBText1"));
            if (onPreview) onPreview(rep, w);
        });
        start();
        program().showWindow(program().FMenu);
        program().switchTo(program().FMenu, program().FRImpCaisse);
        QApplication::setActiveWindow(program().FRImpCaisse);
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        ProgramTest::TearDown();
    }
    void zapSales() {
        TApolloTable v("zap");
        v.setTableName("Vente.dbf");
        v.setExclusive(true);
        v.Open();
        v.Zap();
        v.Close();
    }
    void addRow(const QString& file, const QString& label) {
        TApolloTable v("fill");
        v.setTableName(file);
        v.Open();
        v.Insert();
        v.FieldByName("LIBELLE")->setAsString(label);
        v.FieldByName("PRIX")->setAsFloat(2);
        v.Post();
        v.Close();
    }
    TFRImpCaisse* window() { return program().FRImpCaisse; }
    void choose(const QString& file) {
        dialogs_.files.push_back(file);
        QTest::mouseClick(window()->Button1, Qt::LeftButton);
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    std::vector<QStringList> labels;  // first column of each preview's page 1
    std::function<void(TQuickRep&, TPreviewWindow&)> onPreview;
    TQuickRep::PreviewHook previous_;
};

TEST_F(ReprintTest, TheChosenArchiveIsListedAndTheTillListsTheCurrentSalesAfter) {
    TFRImpCaisse* w = window();
    EXPECT_EQ(w->focusWidget(), w->Edit1);
    // A cancelled dialog keeps the text; a name without extension gets ".dbf".
    w->Edit1->setText("typed");
    choose("");
    EXPECT_EQ(w->Edit1->text(), "typed");
    choose(path("vente05032005"));
    EXPECT_EQ(w->Edit1->text(), path("vente05032005.dbf"));
    EXPECT_EQ(dialogs_.openTitles.last(), "Choix du fichier | Dbf vente (vente*.dbf)");
    click(w->MLBValide);
    EXPECT_TRUE(w->MLBValide->isEnabled());
    click(w->MLBImpression);
    click(w->MLBImpression);  // the validated file again
    // The till's listing, as the till asks for it.
    program().report(TProgram::Window::ImpVente).Preview();
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[0], QStringList{"Archive"});
    EXPECT_EQ(labels[1], QStringList{"Archive"});
    EXPECT_EQ(labels[2], QStringList{"Courant"});
    TApolloTable* journal = program().FImpVente->ATVente;
    EXPECT_FALSE(journal->Active());
    EXPECT_EQ(journal->TableName(), TableFile::kSales);
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
}

TEST_F(ReprintTest, AnArchiveValidatedButNotListedIsNotTheTillsListing) {
    TFRImpCaisse* w = window();
    w->Edit1->setText(path("vente05032005.dbf"));
    click(w->MLBValide);
    program().switchTo(w, program().FCaisse);
    QTest::mouseClick(program().FCaisse->MLBtnZ, Qt::LeftButton);
    program().switchTo(program().FCaisse, w);
    click(w->MLBImpression);  // the validated file is still the reprint's
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0], QStringList{"Courant"});
    EXPECT_EQ(labels[1], QStringList{"Archive"});
}

// A journal on screen holds no file: validating meanwhile changes only
// what the next reprint lists.
TEST_F(ReprintTest, ValidatingWhileAJournalIsOnScreenChangesOnlyTheNextReprint) {
    TFRImpCaisse* w = window();
    onPreview = [&](TQuickRep&, TPreviewWindow&) {
        EXPECT_FALSE(program().FImpVente->ATVente->Active());
        w->Edit1->setText(path("vente05032005.dbf"));
        click(w->MLBValide);
    };
    program().report(TProgram::Window::ImpVente).Preview();
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('|').toStdString();
    EXPECT_TRUE(w->MLBValide->isEnabled());
    EXPECT_EQ(program().FImpVente->ATVente->TableName(), TableFile::kSales);
    onPreview = nullptr;
    click(w->MLBImpression);
    EXPECT_EQ(labels, std::vector<QStringList>({{"Courant"}, {"Archive"}}));
}

TEST_F(ReprintTest, AFileThatDoesNotOpenFailsWhenTheJournalOpensIt) {
    TFRImpCaisse* w = window();
    w->Edit1->setText(path("vente01012001.dbf"));
    click(w->MLBValide);
    EXPECT_TRUE(dialogs_.errors.isEmpty());
    click(w->MLBImpression);
    ASSERT_EQ(dialogs_.errors.size(), 1);
    EXPECT_TRUE(dialogs_.errors[0].startsWith("Table does not exist.")) << dialogs_.errors[0].toStdString();
    EXPECT_EQ(program().FImpVente->ATVente->TableName(), TableFile::kSales);
}
