#include "backoffice/article.h"

#include <QApplication>
#include <array>
#include <QVBoxLayout>

#include "common/dialogs.h"
#include "ui/main_menu.h"
#include "ui/window_look.h"

namespace {

const QString kOrderIndex = QStringLiteral("ordre.ntx");
const QString kNameIndex = QStringLiteral("consomation.ntx");
// Prices and rates show with two decimals and the regional separator.
const QString kAmountFormat = QStringLiteral("0.00");
constexpr double kButtonVat = 21;

}  // namespace

TFArticle::TFArticle(TProgram& program)
    : TSwitchedForm(program, "FArticle", QStringLiteral("Gestion des articles"), 539, 315) {
    // "Articles" of this window leads to the till, like "Caisse"; it has
    // no "Impression" menu.
    MenuActions menu = program.mainMenuActions(this);
    menu[MenuEntry::Articles] = menu[MenuEntry::Caisse];
    setAbsent(menu, {MenuEntry::FondCaisse, MenuEntry::ImpArticles, MenuEntry::ImpPtsRes,
                     MenuEntry::ImpCaisse, MenuEntry::VenteArt});
    buildMainMenu(this, menu);

    ATConsomation = new TApolloTable("ATConsomation", this);
    ATConsomation->setTableName("consomation.DBF");
    ATConsomationLIBELLE = ATConsomation->addField("LIBELLE", TFieldType::ftString, 30);
    ATConsomationPRIX = ATConsomation->addField("PRIX", TFieldType::ftFloat);
    ATConsomationTVA = ATConsomation->addField("TVA", TFieldType::ftFloat);
    ATConsomationORDRE = ATConsomation->addField("ORDRE", TFieldType::ftString, 2);
    DSConsomation = new TDataSource(this);
    DSConsomation->setDataSet(ATConsomation);
    connect(DSConsomation, &TDataSource::dataChanged, this,
            guarded([this] { DSConsomationDataChange(); }));

    // The navigator spans the top; the other controls stand below it.
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    DBNavigator1 = new TDBNavigator(QStringLiteral("DBNavigator1"), client);
    DBNavigator1->setFixedHeight(25);
    DBNavigator1->setDataSource(DSConsomation);
    column->addWidget(DBNavigator1);
    auto* panel = new QWidget(client);
    panel->setObjectName("Panel");
    column->addWidget(panel, 1);

    DBLookupComboPlus1 = new TDBLookupComboPlus("DBLookupComboPlus1", panel);
    DBLookupComboPlus1->setGeometry(16, 16, 265, 24);
    DBLookupComboPlus1->setLookupSource(DSConsomation);
    DBLookupComboPlus1->setLookupDisplay("LIBELLE");
    DBLookupComboPlus1->setLookupField("LIBELLE");
    DBLookupComboPlus1->setStyle(TLookupComboStyle::csIncSearch);
    DBLookupComboPlus1->setDropDownCount(8);
    DBLookupComboPlus1->setAutoDropDown(true);
    DBLookupComboPlus1->setDropDownAlign(TDropDownAlign::Right);
    DBLookupComboPlus1->setDropDownTop(TDropDownTop::Below);

    Label1 = placedLabel(panel, "Label1", QStringLiteral("Libelle"), 16, 64);
    DBEdit1 = new TDBEdit(QStringLiteral("DBEdit1"), panel);
    DBEdit1->setGeometry(16, 82, 265, 24);
    DBEdit1->setMaxLength(30);
    DBEdit1->setDataSource(DSConsomation);
    DBEdit1->setDataField("LIBELLE");

    Label2 = placedLabel(panel, "Label2", QStringLiteral("Prix"), 16, 128);
    DBEdit2 = new TDBEdit(QStringLiteral("DBEdit2"), panel);
    DBEdit2->setGeometry(16, 146, 89, 24);
    DBEdit2->setDisplayFormat(kAmountFormat);
    DBEdit2->setDataSource(DSConsomation);
    DBEdit2->setDataField("PRIX");

    Label3 = placedLabel(panel, "Label3", QStringLiteral("TVA"), 120, 128);
    DBComboBox1 = new TDBComboBox(QStringLiteral("DBComboBox1"), panel);
    DBComboBox1->setGeometry(120, 146, 89, 24);
    DBComboBox1->addItems({QStringLiteral("0.00"), QStringLiteral("6.00"), QStringLiteral("21.00")});
    DBComboBox1->setDisplayFormat(kAmountFormat);
    DBComboBox1->setDataSource(DSConsomation);
    DBComboBox1->setDataField("TVA");

    Label4 = placedLabel(panel, "Label4", QStringLiteral("Ordre"), 224, 128);
    DBEdit3 = new TDBEdit(QStringLiteral("DBEdit3"), panel);
    DBEdit3->setGeometry(224, 146, 57, 24);
    DBEdit3->setMaxLength(2);
    DBEdit3->setDataSource(DSConsomation);
    DBEdit3->setDataField("ORDRE");

    // The price buttons in a column at the right, 1.50 at the top.
    const std::array<std::pair<const char*, const char*>, 4> prices = {
        {{"BitBtn1", "Prix 1.50 €"}, {"BitBtn2", "Prix 1.60 €"}, {"BitBtn3", "Prix 2.00 €"},
         {"BitBtn4", "Prix 2.50 €"}}};
    std::array<QPushButton*, 4> buttons{};
    for (size_t i = 0; i < prices.size(); ++i) {
        buttons[i] = new QPushButton(QString::fromUtf8(prices[i].second), panel);
        buttons[i]->setObjectName(QLatin1String(prices[i].first));
        buttons[i]->setGeometry(360, 16 + 56 * static_cast<int>(i), 145, 41);
    }
    BitBtn1 = buttons[0];
    BitBtn2 = buttons[1];
    BitBtn3 = buttons[2];
    BitBtn4 = buttons[3];
    connect(BitBtn1, &QPushButton::clicked, this, guarded([this] { BitBtn1Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, guarded([this] { BitBtn2Click(); }));
    connect(BitBtn3, &QPushButton::clicked, this, guarded([this] { BitBtn3Click(); }));
    connect(BitBtn4, &QPushButton::clicked, this, guarded([this] { BitBtn4Click(); }));

    const std::array<QWidget*, 10> tabOrder = {DBNavigator1, DBEdit1,     DBEdit2, DBLookupComboPlus1,
                                               BitBtn1,      BitBtn2,     BitBtn3, BitBtn4,
                                               DBComboBox1,  DBEdit3};
    for (size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

QString TFArticle::currentName() const {
    QString name = ATConsomationLIBELLE->AsString();
    while (name.endsWith(QLatin1Char(' '))) name.chop(1);
    return name;
}

void TFArticle::FormShow() {
    reactivate_ = false;
    DBLookupComboPlus1->setFocus();
    FormActivate();
}

void TFArticle::FormLeave() {
    if (ATConsomation->Active()) ATConsomation->CheckBrowseMode();
}

void TFArticle::FormHide() {
    if (!ATConsomation->Active()) return;
    try {
        ATConsomation->CheckBrowseMode();
    } catch (...) {
        ATConsomation->Cancel();  // no lock kept by a hidden window
        throw;
    }
}

void TFArticle::FormActivate() {
    ATConsomation->Open();
    ATConsomation->OpenIndex(kOrderIndex);
    ATConsomation->OpenIndex(kNameIndex);  // the last opened is the order
    ATConsomation->First();
    DBLookupComboPlus1->setText(currentName());
}

bool TFArticle::isProgramWindow(const QWidget* w) const {
    if (!w) return false;
    for (int i = 0; i <= static_cast<int>(TProgram::Window::Impartcom); ++i)
        if (program().window(static_cast<TProgram::Window>(i)) == w) return true;
    return false;
}

void TFArticle::changeEvent(QEvent* event) {
    TSwitchedForm::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isVisible()) return;
    if (!isActiveWindow()) {
        // The window that takes over is already the active one.
        reactivate_ = isProgramWindow(QApplication::activeWindow());
    } else if (reactivate_) {
        reactivate_ = false;
        runGuarded([this] { FormActivate(); });
    }
}

void TFArticle::DSConsomationDataChange() {
    if (ATConsomation->Active()) DBLookupComboPlus1->setText(currentName());
}

void TFArticle::setPrice(double price) {
    ATConsomation->Edit();  // on an empty table a new row; a change under way goes on
    ATConsomation->UpdateRecord();  // what was typed first, so that the button's values win
    ATConsomationPRIX->setAsFloat(price);
    ATConsomationTVA->setAsFloat(kButtonVat);
    ATConsomation->Post();
}
