#include "reports/vent_art.h"
#include "store/table_layouts.h"

#include <QDir>
#include <QFile>
#include <QSignalBlocker>

#include "common/dialogs.h"
#include "controls/db_grid.h"
#include "controls/multi_line_button.h"
#include "reports/imp_vent_art.h"
#include "reports/sales_by_label.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "store/file_names.h"
#include "ui/main_menu.h"
#include "ui/report_host.h"

TFVentart::TFVentart(TProgram& program)
    : TSwitchedForm(program, "FVentart", QStringLiteral("Impression des ventes par articles"),
                    395, 500) {
    // Only "Quitter" acts on this window's menu.
    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::Caisse, MenuEntry::Articles, MenuEntry::FondCaisse,
                    MenuEntry::ImpArticles, MenuEntry::ImpPtsRes, MenuEntry::VenteArt,
                    MenuEntry::APropos});
    setAbsent(menu, {MenuEntry::ImpCaisse});
    buildMainMenu(this, menu);
    QteVenteConstruite = false;

    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName(TableFile::kSales);
    ATQteVente = new TApolloTable("ATQteVente", this);
    ATQteVente->setTableName(TableFile::kQuantities);
    ATQteVente->setExclusive(true);
    DSQteVente = new TDataSource(this);
    DSQteVente->setDataSet(ATQteVente);

    auto* client = new QWidget(this);
    DBGrid1 = new TDBGrid("DBGrid1", client);
    DBGrid1->setGeometry(8, 8, 379, 329);
    DBGrid1->setEditable(true);
    DBGrid1->setDataSource(DSQteVente);

    const QFont large(QStringLiteral("Times New Roman"), 14);
    auto big = [&](const char* name, const QString& caption, int x) {
        auto* b = new TMultiLineButton(name, caption, client);
        b->setFont(large);
        b->setGeometry(x, 352, 177, 73);
        return b;
    };
    MultiLineButton1 = big("MultiLineButton1", "Impression des consomations", 8);
    MultiLineButton2 = big("MultiLineButton2", "Impression des achats", 210);
    connect(MultiLineButton1, &QPushButton::clicked, this, guarded([this] { MultiLineButton1Click(); }));
    connect(MultiLineButton2, &QPushButton::clicked, this, guarded([this] { MultiLineButton2Click(); }));
    setCentralWidget(client);
    creationStep([this] { removeLabelIndex(); });
}

void TFVentart::FormShow() {
    if (!ATVente->Active()) ATVente->Open();
    // Counted again at every activation, so sales made since the window
    // was last used are in the counts and in ventart.ntx.
    QteVenteConstruite = false;
    rebuildWorkTable();
    ATQteVente->First();
}

void TFVentart::rebuildWorkTable() {
    ATVente->CreateIndex(IndexFile::kSalesByLabel, "upper(Libelle)", false);
    QteVenteConstruite = true;
    {
        // The grid reads the rows once they are all written.
        QSignalBlocker hold(ATQteVente);
        if (!ATQteVente->Active()) ATQteVente->Open();
        ATQteVente->Zap();
        countSalesByLabel(*ATVente, *ATQteVente);
    }
    DBGrid1->gridModel()->reload();
}

void countSalesByLabel(TApolloTable& sales, TApolloTable& work) {
    LabelRuns runs;
    TField* label = sales.FieldByName("LIBELLE");
    TField* date = sales.FieldByName("DATE");
    for (sales.First(); !sales.Eof(); sales.Next()) runs.add(label->AsString(), date->AsDate());
    for (const LabelRun& run : runs.runs()) {
        work.Insert();
        work.FieldByName("DATE")->setAsDate(run.date);
        work.FieldByName("LIBELLE")->setAsString(run.label);
        work.FieldByName("QTE")->setAsFloat(run.count);
        work.Post();
    }
}

void TFVentart::FormClose() {
    ATVente->CloseIndexes();
    removeLabelIndex();
}

// A leftover from a run that ended with the window open would read as a
// stale index to the checks of the data folder.
void TFVentart::removeLabelIndex() {
    const QString file = findFileAnyCase(QDir::current().filePath(IndexFile::kSalesByLabel));
    if (!file.isEmpty()) QFile::remove(file);
}

void TFVentart::MultiLineButton1Click() { program().FImpVentart->Preview(); }

// Through the program: the reorder list's host reads this window's work
// table, so this window does not know the host's class.
void TFVentart::MultiLineButton2Click() { program().report(TProgram::Window::Impartcom).Preview(); }
