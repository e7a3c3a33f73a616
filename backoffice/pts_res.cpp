#include "backoffice/pts_res.h"
#include "store/table_layouts.h"

#include <QDir>
#include <QKeyEvent>

#include "common/dialogs.h"
#include "store/file_names.h"
#include "till/caisse.h"
#include "ui/window_look.h"


TFPtsRES::TFPtsRES(TProgram& program)
    : TForm(program, "FPtsRES", QStringLiteral("Gestion du paiement par le systeme RES"), 630,
            240) {
    ATMembre = new TApolloTable("ATMembre", this);
    ATMembre->setTableName(TableFile::kMembers);
    DSMembre = new TDataSource(this);
    DSMembre->setDataSet(ATMembre);

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    Label1 = new QLabel(QStringLiteral("Nom du joueur affilier à RES"), client);
    Label1->setObjectName("Label1");
    Label1->setFont(pixelFont(16));
    Label1->move(24, 48);
    Label1->adjustSize();
    DBLookupComboPlus1 = searchBox(client, "DBLookupComboPlus1", DSMembre, "NOM", 5, {288, 40, 313, 33});
    DBLookupComboPlus1->setFont(pixelFont(16));
    DBLookupComboPlus1->setLookupIndex(IndexFile::kMembers);
    // Enter validates, before the box handles the key.
    DBLookupComboPlus1->OnKeyPress = [this](QKeyEvent* e) {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) BtnValideClick();
    };
    BtnAnnule = new QPushButton(QStringLiteral("Annule"), client);
    BtnAnnule->setObjectName("BtnAnnule");
    BtnAnnule->setFont(pixelFont(19));
    BtnAnnule->setGeometry(88, 128, 121, 65);
    connect(BtnAnnule, &QPushButton::clicked, this, guarded([this] { BtnAnnuleClick(); }));
    BtnValide = new QPushButton(QStringLiteral("Validé"), client);
    BtnValide->setObjectName("BtnValide");
    BtnValide->setFont(pixelFont(19));
    BtnValide->setGeometry(416, 128, 129, 65);
    connect(BtnValide, &QPushButton::clicked, this, guarded([this] { BtnValideClick(); }));
    setTabOrder(DBLookupComboPlus1, BtnValide);
    setTabOrder(BtnValide, BtnAnnule);
    setFocusProxy(DBLookupComboPlus1);

    ATMembre->Open();
}

QString TFPtsRES::currentField(const char* name) const {
    QString v = ATMembre->FieldByName(QString::fromLatin1(name))->AsString();
    while (v.endsWith(QLatin1Char(' '))) v.chop(1);
    return v;
}

void TFPtsRES::FormShow() {
    if (!fileExistsAnyCase(QDir::currentPath() + QLatin1Char('/') + IndexFile::kMembers)) {
        ATMembre->Open();
        ATMembre->CreateIndex(IndexFile::kMembers, QStringLiteral("upper(Nom)"), true);
        ATMembre->CloseIndexes();
        ATMembre->Close();
    }
    ATMembre->Open();
    ATMembre->OpenIndex(IndexFile::kMembers);
    ATMembre->First();
    if (TFCaisse* till = program().FCaisse) till->clearCardPayment();
    DBLookupComboPlus1->setText(currentField("NOM"));
    DBLookupComboPlus1->setFocus();
}

void TFPtsRES::BtnValideClick() {
    if (TFCaisse* till = program().FCaisse)
        till->chooseCardMember({currentField("NOM"), currentField("NUMRES"), currentField("ADRESSE"),
                                currentField("LOCALITE")});
    close();
}

void TFPtsRES::BtnAnnuleClick() {
    if (TFCaisse* till = program().FCaisse) till->leaveCardPayment(currentField("NOM"));
    close();
}

void TFPtsRES::FormClose() { ATMembre->Close(); }
