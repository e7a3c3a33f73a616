#include "till/caisse.h"

#include <utility>

#include "ui/main_menu.h"
#include "common/dialogs.h"
#include "store/table_layouts.h"
#include "ui/window_look.h"

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kFuchsia(255, 0, 255);
const QColor kBlack(0, 0, 0);

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y, int font,
              const QColor& colour = kBlack) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setFont(pixelFont(font));
    setTextColour(l, colour);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

TFCaisse::TFCaisse(TProgram& program)
    : TSwitchedForm(program, "FCaisse", QStringLiteral("Gestion de caisse"), 988, 672) {
    setFont(pixelFont(11));
    createTables();
    ticket.setTables(ATVente, ATConfig, ATPtsRes);
    createControls();

    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::Caisse});
    setAbsent(menu, {MenuEntry::ImpCaisse, MenuEntry::VenteArt});
    buildMainMenu(this, menu);

    creationStep([this] {
        ATVente->Open();
        ATVente->OpenIndex(IndexFile::kTickets);
        ATVente->OpenIndex(IndexFile::kSalesByTicket);  // the last opened is the order
        ATConfig->Open();
        ATConsomation->Open();
        ATConsomation->OpenIndex(IndexFile::kArticleOrder);
        ATPtsRes->Open();
        ATPtsRes->OpenIndex(IndexFile::kCardPayments);
    });
}

// The window hides as it is destroyed, which takes the focus from Edit1:
// its handler must not run on a till that is half gone.
TFCaisse::~TFCaisse() { Edit1->disconnect(this); }

void TFCaisse::createTables() {
    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName(TableFile::kSales);
    declareFields(ATVente, {"LIBELLE", "PRIX", "DATE", "TIME", "TICKET", "TVA", "NOM"});
    ATVente->setFiltered(true);
    ATConfig = new TApolloTable("ATConfig", this);
    ATConfig->setTableName(TableFile::kSettings);
    declareFields(ATConfig, {"NUMTICKET", "DATEFOND", "FONDCAISSE"});
    ATConsomation = new TApolloTable("ATConsomation", this);
    ATConsomation->setTableName(TableFile::kArticles);
    declareFields(ATConsomation, {"LIBELLE", "PRIX", "TVA"});
    ATPtsRes = new TApolloTable("ATPtsRes", this);
    ATPtsRes->setTableName(TableFile::kCardPayments);
    declareFields(ATPtsRes, {"NOM", "NUMRES", "DATEACHAT", "MONTANT", "ADRESSE", "LOCALITE"});

    DSVente = new TDataSource(this);
    DSVente->setDataSet(ATVente);
    DConfig = new TDataSource(this);
    DConfig->setDataSet(ATConfig);
    DSConsomation = new TDataSource(this);
    DSConsomation->setDataSet(ATConsomation);
    DSPtsres = new TDataSource(this);
    DSPtsres->setDataSet(ATPtsRes);
}

// Buttons 1 to 48: four columns of twelve; 49 to 54 and 55 to 60: two more
// columns of six. They are made first and in tab order (1..48, then
// 49, 55, 50, 56, ...), so the other controls follow them.
void TFCaisse::createArticleButtons(QWidget* client) {
    auto make = [&](int n, int x, int y) {
        auto* b = new TMultiLineButton(QStringLiteral("MultiLineButton%1").arg(n), QString(), client);
        b->setFont(pixelFont(13));
        b->setGeometry(x, y, 105, 41);
        connect(b, &QPushButton::clicked, this, guarded([this, n] { ArticleClick(n); }));
        MultiLineButton[static_cast<size_t>(n)] = b;
    };
    for (int n = 1; n <= 48; ++n) make(n, 8 + 112 * ((n - 1) % 4), 40 + 48 * ((n - 1) / 4));
    for (int row = 0; row < 6; ++row) {
        make(49 + row, 456, 40 + 48 * row);
        make(55 + row, 568, 40 + 48 * row);
    }
}

void TFCaisse::createControls() {
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    createArticleButtons(client);
    createTopLine(client);
    createTicketButtons(client);
    createPaymentControls(client);
    // The labels over the grid and the fields stay behind the controls.
    for (QLabel* l : {Label7, Label5, Numticket, LblRES, Label1, Label4, Label2, Label3, Label6})
        l->lower();
}

// Quantity, ticket number, receipt switch and the card payment sign.
void TFCaisse::createTopLine(QWidget* client) {
    Label7 = label(client, "Label7", "Nombre de boisson", 16, 8, 16);
    ENombre = new QLineEdit("1", client);
    ENombre->setObjectName("ENombre");
    ENombre->setGeometry(168, 8, 41, 21);
    // Two characters, as wide as the field: 0 to 99, or a minus and a digit.
    ENombre->setMaxLength(2);
    Label5 = label(client, "Label5", QStringLiteral("N° du Ticket"), 240, 8, 16, kNavy);
    Numticket = label(client, "Numticket", QString(), 344, 8, 16, kRed);
    BitBtn1 = new QPushButton("Impression Oui", client);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(456, 8, 97, 25);
    BitBtn1->setFont(pixelFont(11));
    setTextColour(BitBtn1, kRed);
    connect(BitBtn1, &QPushButton::clicked, this, guarded([this] { BitBtn1Click(); }));
    LblRES = label(client, "LblRES", "Paiement RES actif", 688, 8, 19, kFuchsia);
    LblRES->setVisible(false);
}

TMultiLineButton* TFCaisse::bigButton(QWidget* client, const char* name, const QString& caption,
                                      const QRect& geometry, void (TFCaisse::*click)()) {
    auto* b = new TMultiLineButton(name, caption, client);
    b->setGeometry(geometry);
    if (click) connect(b, &QPushButton::clicked, this, guarded([this, click] { (this->*click)(); }));
    return b;
}

// The closing, the special accounts, the cancellations, the lookup and the
// listing, in two columns right of the articles.
void TFCaisse::createTicketButtons(QWidget* client) {
    MLBtCaisse = bigButton(client, "MLBtCaisse", QStringLiteral("Caissière 1"), {688, 40, 177, 49},
                           &TFCaisse::MLBtCaisseClick);
    MLBtnArbitre = bigButton(client, "MLBtnArbitre", "Gratuit arbitre", {688, 96, 177, 49});
    MLBtComite = bigButton(client, "MLBtComite", "Gratuit comite", {688, 152, 177, 49});
    MLBtnBenevole = bigButton(client, "MLBtnBenevole", QStringLiteral("Boisson bénévole"), {688, 208, 177, 49});
    const std::pair<TMultiLineButton*, QString> freeDrinks[] = {
        {MLBtnArbitre, BookingText::kReferee},
        {MLBtComite, BookingText::kCommittee},
        {MLBtnBenevole, BookingText::kVolunteer}};
    for (const auto& [button, text] : freeDrinks)
        connect(button, &QPushButton::clicked, this, guarded([this, text] { FreeDrinksClick(text); }));
    MLBAnulCom = bigButton(client, "MLBAnulCom", "Annulation commande", {688, 264, 89, 57},
                           &TFCaisse::MLBAnulComClick);
    MLBAnulCom->setFont(pixelFont(13, true));
    setTextColour(MLBAnulCom, kBlack);
    MLBAnulCom->setEnabled(false);
    MLBAnulBois = bigButton(client, "MLBAnulBois", "Annul. boisson", {784, 264, 81, 57},
                            &TFCaisse::MLBAnulBoisClick);
    MLBAnulBois->setFont(pixelFont(19));
    setTextColour(MLBAnulBois, kRed);
    MLBAnulBois->setEnabled(false);
    MLBtnTicket = bigButton(client, "MLBtnTicket", "Ticket", {880, 40, 89, 49}, &TFCaisse::MLBtnTicketClick);
    MultiLineButton63 = bigButton(client, "MultiLineButton63", "Montant arbitrage", {880, 96, 89, 49},
                                  &TFCaisse::MultiLineButton63Click);
    MultiLineButton63->setFont(pixelFont(21));
    setTextColour(MultiLineButton63, kRed);
    MultiLineButton64 = bigButton(client, "MultiLineButton64", "Annul. Arbitrage", {880, 152, 89, 57},
                                  &TFCaisse::MultiLineButton64Click);
    MultiLineButton64->setFont(pixelFont(16, true));
    setTextColour(MultiLineButton64, kBlack);
    MLBtnZ = bigButton(client, "MLBtnZ", "Listing des ventes", {880, 216, 89, 105}, &TFCaisse::MLBtnZClick);
    MLBtnZ->setFont(pixelFont(21));
    setTextColour(MLBtnZ, kRed);
}

// The grid of the ticket's rows, the total, the amount received, the change
// due and the card payment button.
void TFCaisse::createPaymentControls(QWidget* client) {
    DBGrid1 = new TDBGrid("DBGrid1", client);
    DBGrid1->setGeometry(456, 336, 513, 185);
    DBGrid1->setDataSource(DSVente);
    Label1 = label(client, "Label1", "Solde", 464, 528, 24, kNavy);
    Label4 = label(client, "Label4", QString(), 552, 528, 24, kRed);
    Label2 = label(client, "Label2", "montant recu", 686, 528, 24, kNavy);
    Edit1 = new TAmountEdit("0", client);
    Edit1->setObjectName("Edit1");
    connect(Edit1, &QLineEdit::returnPressed, this, guarded([this] { Edit1KeyPress(); }));
    connect(Edit1, &TAmountEdit::focusLeft, this, guarded([this] { Edit1Exit(); }));
    Edit1->setGeometry(848, 528, 121, 32);
    Edit1->setFont(pixelFont(19));
    Label3 = label(client, "Label3", QStringLiteral("montant à rendre"), 686, 576, 24, kNavy);
    Label6 = label(client, "Label6", "0.00", 880, 576, 24, kRed);
    BitBtn2 = new QPushButton("Paiement RES", client);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(464, 568, 161, 41);
    BitBtn2->setFont(pixelFont(19, true));
    setTextColour(BitBtn2, kFuchsia);
    connect(BitBtn2, &QPushButton::clicked, this, guarded([this] { BitBtn2Click(); }));
}
