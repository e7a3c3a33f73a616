#include "backoffice/article.h"

#include <QApplication>
#include <array>
#include <QVBoxLayout>

#include "backoffice/price_buttons.h"
#include "common/dialogs.h"
#include "store/table_layouts.h"
#include "ui/main_menu.h"
#include "ui/window_look.h"

namespace {

// Prices and rates show with two decimals and the regional separator.
const QString kAmountFormat = QStringLiteral("0.00");

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
    createTable();
    createControls();
}

void TFArticle::createTable() {
    ATConsomation = new TApolloTable("ATConsomation", this);
    ATConsomation->setTableName(TableFile::kArticles);
    ATConsomationLIBELLE = ATConsomation->addField("LIBELLE", TFieldType::ftString, 30);
    ATConsomationPRIX = ATConsomation->addField("PRIX", TFieldType::ftFloat);
    ATConsomationTVA = ATConsomation->addField("TVA", TFieldType::ftFloat);
    ATConsomationORDRE = ATConsomation->addField("ORDRE", TFieldType::ftString, 2);
    DSConsomation = new TDataSource(this);
    DSConsomation->setDataSet(ATConsomation);
    connect(DSConsomation, &TDataSource::dataChanged, this,
            guarded([this] { DSConsomationDataChange(); }));
}

// The navigator spans the top; the other controls stand below it.
void TFArticle::createControls() {
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

    DBLookupComboPlus1 = searchBox(panel, "DBLookupComboPlus1", DSConsomation, "LIBELLE", 8, {16, 16, 265, 24});
    createFieldControls(panel);
    createPriceButtons(panel);
    const std::array<QWidget*, 10> tabOrder = {DBNavigator1, DBEdit1,     DBEdit2, DBLookupComboPlus1,
                                               BitBtn1,      BitBtn2,     BitBtn3, BitBtn4,
                                               DBComboBox1,  DBEdit3};
    for (size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

// The name on its own line; price, rate and order on the next.
void TFArticle::createFieldControls(QWidget* panel) {
    Label1 = placedLabel(panel, "Label1", QStringLiteral("Libelle"), 16, 64);
    DBEdit1 = boundEdit(panel, "DBEdit1", DSConsomation, "LIBELLE", {16, 82, 265, 24});
    DBEdit1->setMaxLength(30);
    Label2 = placedLabel(panel, "Label2", QStringLiteral("Prix"), 16, 128);
    DBEdit2 = boundEdit(panel, "DBEdit2", DSConsomation, "PRIX", {16, 146, 89, 24});
    DBEdit2->setDisplayFormat(kAmountFormat);
    Label3 = placedLabel(panel, "Label3", QStringLiteral("TVA"), 120, 128);
    DBComboBox1 = new TDBComboBox(QStringLiteral("DBComboBox1"), panel);
    DBComboBox1->setGeometry(120, 146, 89, 24);
    DBComboBox1->addItems({QStringLiteral("0.00"), QStringLiteral("6.00"), QStringLiteral("21.00")});
    DBComboBox1->setDisplayFormat(kAmountFormat);
    DBComboBox1->setDataSource(DSConsomation);
    DBComboBox1->setDataField("TVA");
    Label4 = placedLabel(panel, "Label4", QStringLiteral("Ordre"), 224, 128);
    DBEdit3 = boundEdit(panel, "DBEdit3", DSConsomation, "ORDRE", {224, 146, 57, 24});
    DBEdit3->setMaxLength(2);
}

// The price buttons in a column at the right, 1.50 at the top.
void TFArticle::createPriceButtons(QWidget* panel) {
    std::array<QPushButton*, kPriceButtons.size()> buttons{};
    for (size_t i = 0; i < kPriceButtons.size(); ++i) {
        const PriceButton& p = kPriceButtons[i];
        buttons[i] = new QPushButton(p.caption(), panel);
        buttons[i]->setObjectName(QStringLiteral("BitBtn%1").arg(i + 1));
        buttons[i]->setGeometry(360, 16 + 56 * static_cast<int>(i), 145, 41);
        connect(buttons[i], &QPushButton::clicked, this, guarded([this, p] { setPrice(p.price); }));
    }
    BitBtn1 = buttons[0];
    BitBtn2 = buttons[1];
    BitBtn3 = buttons[2];
    BitBtn4 = buttons[3];
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
    ATConsomation->OpenIndex(IndexFile::kArticleOrder);
    ATConsomation->OpenIndex(IndexFile::kArticleNames);  // the last opened is the order
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
    ATConsomationTVA->setAsFloat(kPriceButtonVat);
    ATConsomation->Post();
}
