#include "backoffice/fond.h"
#include "store/table_layouts.h"

#include <QDate>

#include "backoffice/sales_reset.h"
#include "common/conversions.h"
#include "common/dialogs.h"
#include "till/caisse.h"
#include "ui/main_menu.h"
#include "ui/window_look.h"

namespace {

QToolButton* speedButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setFocusPolicy(Qt::NoFocus);  // a speed button leaves the focus where it is
    QFont f = b->font();
    f.setPixelSize(16);
    b->setFont(f);
    return b;
}

}  // namespace

TFFond::TFFond(TProgram& program)
    : TSwitchedForm(program, "FFond", QStringLiteral("Gestion du fond de caisse"), 467, 252) {
    ATConfig = new TApolloTable("ATConfig", this);
    ATConfig->setTableName(TableFile::kSettings);
    ATConfigDATEFOND = ATConfig->addField("DATEFOND", TFieldType::ftDate);
    ATConfigFONDCAISSE = ATConfig->addField("FONDCAISSE", TFieldType::ftFloat);
    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName(TableFile::kSales);
    ATVenteDATE = ATVente->addField("DATE", TFieldType::ftDate);
    DSConfig = new TDataSource(this);
    DSConfig->setDataSet(ATConfig);
    DSVente = new TDataSource(this);
    DSVente->setDataSet(ATVente);

    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::FondCaisse});
    setAbsent(menu, {MenuEntry::ImpCaisse, MenuEntry::VenteArt});
    buildMainMenu(this, menu);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    Label1 = placedLabel(client, "Label1", QStringLiteral("Fond de caisse"), 16, 24);
    DBEdit1 = boundEdit(client, "DBEdit1", DSConfig, "FONDCAISSE", {176, 20, 121, 24});

    Label2 = placedLabel(client, "Label2", QStringLiteral("Date du fond de caisse"), 16, 80);
    DBText1 = boundText(client, "DBText1", DSConfig, "DATEFOND", {176, 80, 105, 17});
    SpeedButton1 = speedButton(client, "SpeedButton1", QStringLiteral("Mise à jour date"));
    SpeedButton1->setGeometry(296, 70, 153, 36);
    connect(SpeedButton1, &QToolButton::clicked, this, guarded([this] { SpeedButton1Click(); }));

    Label3 = placedLabel(client, "Label3", QStringLiteral("Date des ventes"), 16, 144);
    DBText2 = boundText(client, "DBText2", DSVente, "DATE", {176, 144, 105, 17});
    SpeedButton2 = speedButton(client, "SpeedButton2", QStringLiteral("Mise à zero des ventes"));
    SpeedButton2->setGeometry(296, 134, 153, 36);
    SpeedButton2->setStyleSheet(QStringLiteral("color: red"));
    connect(SpeedButton2, &QToolButton::clicked, this, guarded([this] { SpeedButton2Click(); }));

    creationStep([this] {
        ATConfig->Open();
        ATVente->Open();
    });
}

void TFFond::FormShow() {
    ATConfig->Open();
    ATVente->Open();
    ATVente->Refresh();
    SpeedButton2->setEnabled(resetAllowed(dateText(ATVenteDATE->AsDate()), ATVente->Eof()));
    ATConfig->Edit();  // on an empty table, a new row
}

// The float and its date are saved before the window is left; a float that
// does not read as a number keeps the window open on it.
void TFFond::FormLeave() {
    if (ATConfig->Editing()) ATConfig->Post();
}

// Left by another way than a switch (the program ending): the row is saved
// when it can be, and its lock is never kept by the hidden window.
void TFFond::FormHide() {
    if (!ATConfig->Editing()) return;
    try {
        ATConfig->Post();
    } catch (...) {
        ATConfig->Cancel();
        throw;
    }
}

void TFFond::SpeedButton1Click() { ATConfigDATEFOND->setAsDate(QDate::currentDate()); }

void TFFond::SpeedButton2Click() {
    SalesReset reset(*ATVente, *program().FCaisse->ATVente);
    const QString name = reset.archiveName();
    switch (reset.run()) {
    case SalesReset::Outcome::Exists:
        dialogs().showMessage(ResetText::kExists);
        return;
    case SalesReset::Outcome::CopyFailed:
        dialogs().showMessage(ResetText::kNotCopied + name);
        return;
    case SalesReset::Outcome::Done:
        SpeedButton2->setEnabled(false);
        dialogs().showMessage(ResetText::kCopied + name);
        return;
    }
}
