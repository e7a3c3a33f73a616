// The card member window's search box over the members, its validation and
// cancellation, and the card payment row and receipt of the ticket closing.
#include <QDate>

#include "backoffice_fixture.h"
#include "reports/engine/preview_window.h"
#include "reports/engine/quick_rep.h"
#include "tests/support/python_reader.h"

class CardMemberTest : public BackofficeTest {
protected:
    void SetUp() override {
        BackofficeTest::SetUp();
        previous_ = TQuickRep::setPreviewHook(
            [this](TQuickRep&, TPreviewWindow& w) { receipts.push_back(w.model()); });
        prepare({{"Biere", 2.50, 21, "01"}});
    }
    void TearDown() override {
        TQuickRep::setPreviewHook(previous_);
        BackofficeTest::TearDown();
    }
    // The members in this file order; the program then starts on the till.
    TFCaisse* startWith(const std::vector<MemberRow>& members) {
        addMembers(members);
        return openTill();
    }
    // The card payment rows as an independent reader sees them:
    // "NOM|NUMRES|ADRESSE|LOCALITE|DATEACHAT|MONTANT".
    QStringList payments() {
        const char* script =
            "import dbfread\n"
            "for r in dbfread.DBF('Ptsres.DBF', encoding='cp1252', char_decode_errors='strict'):\n"
            "    print('%s|%s|%s|%s|%s|%.2f' % (r['NOM'], r['NUMRES'], r['ADRESSE'], r['LOCALITE'],"
            " r['DATEACHAT'].isoformat(), r['MONTANT']))\n";
        return pythonLines(dir_.path(), script);
    }
    static QString today() { return QDate::currentDate().toString(Qt::ISODate); }

    std::vector<PageModel> receipts;
    TQuickRep::PreviewHook previous_;
};

const std::vector<MemberRow> kThree = {{"Martin", "RES-3", "Rue C 3", "Jambes"},
                                       {"durand", "RES-2", "Rue B 2", "Namur"},
                                       {"Dupont", "RES-1", "Rue A 1", "Wepion"}};

TEST_F(CardMemberTest, ShownOverTheTillInNameOrderWithTheFocusInTheBox) {
    TFCaisse* till = startWith(kThree);
    TFPtsRES* w = openMembers(till);
    EXPECT_TRUE(till->isVisible());
    EXPECT_TRUE(exists("membre.ntx"));
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Dupont");  // the first in name order
    EXPECT_TRUE(w->DBLookupComboPlus1->hasFocus());
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Tab);
    EXPECT_TRUE(w->BtnValide->hasFocus());
    QTest::keyClick(w->BtnValide, Qt::Key_Tab);
    EXPECT_TRUE(w->BtnAnnule->hasFocus());
}

struct SearchCase {
    std::vector<MemberRow> members;
    const char* keys;
    const char* shown;
    const char* highlighted;
};

class MemberSearchTest : public CardMemberTest, public ::testing::WithParamInterface<SearchCase> {};

const std::vector<MemberRow> kWithBlanks = {{"Debrun", "1"}, {"De Smet", "2"}, {"De Bock", "3"}, {"Dexter", "4"}};

INSTANTIATE_TEST_SUITE_P(Names, MemberSearchTest, ::testing::Values(
    SearchCase{kThree, "d", "Dupont", "upont"},
    SearchCase{kThree, "du", "Dupont", "pont"},
    SearchCase{kThree, "dur", "durand", "and"},
    SearchCase{kThree, "DUR", "durand", "and"},
    SearchCase{kThree, "m", "Martin", "artin"},
    SearchCase{kThree, "dx", "Dupont", "upont"},  // no name begins with dx
    SearchCase{kWithBlanks, "d", "De Bock", "e Bock"},
    SearchCase{kWithBlanks, "de s", "De Smet", "met"},
    SearchCase{kWithBlanks, "dezb", "Debrun", "run"},  // the blank of "De Bock" drops the z
    SearchCase{kWithBlanks, "dext", "Dexter", "er"}));

TEST_P(MemberSearchTest, TypingSelectsTheFirstNameThatBeginsWithTheKeys) {
    const SearchCase& c = GetParam();
    TFCaisse* till = startWith(c.members);
    TDBLookupComboPlus* box = openMembers(till)->DBLookupComboPlus1;
    type(box, QString::fromLatin1(c.keys));
    EXPECT_EQ(box->text(), c.shown);
    EXPECT_EQ(box->selectedText(), c.highlighted);
    EXPECT_EQ(program().FPtsRES->ATMembre->FieldByName("NOM")->AsString(), c.shown);
}

TEST_F(CardMemberTest, NamesListWithoutRegardToCase) {
    TFCaisse* till = startWith(kThree);
    EXPECT_EQ(walkList(openMembers(till)->DBLookupComboPlus1), QStringList({"Dupont", "durand", "Martin"}));
}

TEST_F(CardMemberTest, EqualNamesListOnceAndTheFirstInTheFileIsTaken) {
    TFCaisse* till = startWith({{"Martin", "RES-3"}, {"DUPONT", "RES-7"}, {"durand", "RES-2"},
                                {"Dupont", "RES-1"}});
    TDBLookupComboPlus* box = openMembers(till)->DBLookupComboPlus1;
    EXPECT_EQ(walkList(box), QStringList({"DUPONT", "durand", "Martin"}));
    type(box, "dup");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(till->NumCarteRES, "RES-7");
}

TEST_F(CardMemberTest, EnterValidatesAndTheClosingWritesTheMembersCardPayment) {
    TFCaisse* till = startWith(kThree);
    TFPtsRES* w = openMembers(till);
    type(w->DBLookupComboPlus1, "dur");
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Return);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->ATMembre->Active());
    EXPECT_TRUE(till->PaiementRES);
    EXPECT_TRUE(till->LblRES->isVisible());
    EXPECT_EQ(till->LblRES->text(), "Paiement RES actif");
    EXPECT_EQ(till->NomRES, "durand");
    EXPECT_EQ(till->NumCarteRES, "RES-2");

    press(till, 1, "2");
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    ASSERT_EQ(receipts.size(), 1u);
    const ReportPage& page = receipts[0].pages.at(0);
    EXPECT_EQ(page.textsOf("QRLRes"), QStringList({"Paiement en RES"}));
    EXPECT_EQ(page.textsOf("QRLabel3"), QStringList({"durand"}));
    EXPECT_EQ(page.textsOf("QRLabel4"), QStringList({"RES-2"}));
    EXPECT_EQ(page.textsOf("QRLabel2"), QStringList({"Signature"}));
    EXPECT_EQ(payments(), QStringList({"durand|RES-2|Rue B 2|Namur|" + today() + "|5.00"}));
    EXPECT_FALSE(till->PaiementRES);
    EXPECT_FALSE(till->LblRES->isVisible());

    // The next ticket is paid in cash: a row that names nobody.
    press(till, 1);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(payments().value(1), "||||" + today() + "|2.50");
}

struct ChoiceCase {
    const char* name;
    std::function<void(TFCaisse*, TFPtsRES*)> after;  // after validating durand
    const char* row;
    bool card;
};

class LastChoiceTest : public CardMemberTest, public ::testing::WithParamInterface<ChoiceCase> {};

INSTANTIATE_TEST_SUITE_P(
    Choices, LastChoiceTest,
    ::testing::Values(
        ChoiceCase{"SecondValidation",
                   [](TFCaisse* till, TFPtsRES* w) {
                       QTest::mouseClick(till->BitBtn2, Qt::LeftButton);
                       type(w->DBLookupComboPlus1, "m");
                       QTest::mouseClick(w->BtnValide, Qt::LeftButton);
                   },
                   "Martin|RES-3|Rue C 3|Jambes", true},
        ChoiceCase{"Annule",
                   [](TFCaisse* till, TFPtsRES* w) {
                       QTest::mouseClick(till->BitBtn2, Qt::LeftButton);
                       QTest::mouseClick(w->BtnAnnule, Qt::LeftButton);
                       EXPECT_EQ(till->NomRES, "Dupont");  // the member the window stood on
                       EXPECT_EQ(till->NumCarteRES, "RES-2");
                   },
                   "|||", false},
        ChoiceCase{"CloseBox",
                   [](TFCaisse* till, TFPtsRES* w) {
                       QTest::mouseClick(till->BitBtn2, Qt::LeftButton);
                       w->close();
                       EXPECT_FALSE(w->ATMembre->Active());
                       EXPECT_EQ(till->NomRES, "durand");
                   },
                   "|||", false}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST_P(LastChoiceTest, TheLastChoiceBeforeTheClosingDecides) {
    const ChoiceCase& c = GetParam();
    TFCaisse* till = startWith(kThree);
    TFPtsRES* w = openMembers(till);
    type(w->DBLookupComboPlus1, "dur");
    QTest::mouseClick(w->BtnValide, Qt::LeftButton);
    c.after(till, w);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(till->PaiementRES, c.card);
    EXPECT_EQ(till->LblRES->isVisible(), c.card);
    press(till, 1);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(payments(), QStringList({QString::fromLatin1(c.row) + "|" + today() + "|2.50"}));
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
}

TEST_F(CardMemberTest, AMissingMemberIndexIsBuiltAgainAtTheNextShow) {
    TFCaisse* till = startWith(kThree);
    TFPtsRES* w = openMembers(till);
    QTest::mouseClick(w->BtnAnnule, Qt::LeftButton);
    ASSERT_TRUE(QFile::remove(path("membre.ntx")));
    addMembers({{"Albert", "RES-9"}});
    w = openMembers(till);
    EXPECT_TRUE(exists("membre.ntx"));
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "Albert");
    EXPECT_EQ(walkList(w->DBLookupComboPlus1), QStringList({"Albert", "Dupont", "durand", "Martin"}));
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
}

TEST_F(CardMemberTest, AnEmptyMembersTableValidatesNobodyAndNothingFails) {
    TFCaisse* till = startWith({});
    TFPtsRES* w = openMembers(till);
    EXPECT_EQ(w->DBLookupComboPlus1->text(), "");
    type(w->DBLookupComboPlus1, "a\b");
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Down);
    QTest::keyClick(w->DBLookupComboPlus1, Qt::Key_Return);
    EXPECT_TRUE(till->PaiementRES);
    EXPECT_EQ(till->NomRES, "");
    EXPECT_EQ(till->NumCarteRES, "");
    press(till, 1);
    QTest::mouseClick(till->MLBtCaisse, Qt::LeftButton);
    EXPECT_EQ(payments(), QStringList({"||||" + today() + "|2.50"}));
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join('\n').toStdString();
}
