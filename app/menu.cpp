#include "app/menu.h"

#include <QCloseEvent>
#include <QFileInfo>

#include "ui/main_menu.h"
#include "ui/program.h"
#include "common/format_settings.h"
#include "store/file_names.h"
#include "store/table_layouts.h"

TFMenu::TFMenu(TProgram& program)
    : TForm(program, "FMenu", QStringLiteral("Gestion de caisse et stock"), 870, 497) {
    ApolloEnv1 = new TApolloEnv(this);
    // The short date format follows the four-digit years of the tables.
    connect(ApolloEnv1, &TApolloEnv::centuryChanged, this, [](bool on) { setCentury(on); });
    ApolloEnv1->setCentury(true);
    ApolloEnv1->setDeleted(true);

    ATVente = new TApolloTable("ATVente", this);
    ATVente->setTableName(TableFile::kSales);
    ATConsomation = new TApolloTable("ATConsomation", this);
    ATConsomation->setTableName(TableFile::kArticles);
    ATPtsRES = new TApolloTable("ATPtsRES", this);
    ATPtsRES->setTableName(TableFile::kCardPayments);
    declareFields(ATPtsRES, {"NOM", "NUMRES", "DATEACHAT", "MONTANT", "ADRESSE", "LOCALITE"});
    DSVente = new TDataSource(this);
    DSVente->setDataSet(ATVente);
    DSConsomation = new TDataSource(this);
    DSConsomation->setDataSet(ATConsomation);
    DSPtsRES = new TDataSource(this);
    DSPtsRES->setDataSet(ATPtsRES);

    buildMainMenu(this, program.mainMenuActions(this));

    creationStep([this] { FormCreate(); });
}

// Each missing index file is built from every row of its table, ascending
// and without condition; one that exists is used as it stands.
void TFMenu::FormCreate() {
    buildIndex(ATVente, IndexFile::kTickets, "upper(ticket)", true);
    buildIndex(ATVente, IndexFile::kSalesByTicket, "upper(ticket)", false);
    buildIndex(ATConsomation, IndexFile::kArticleNames, "upper(libelle)", false);
    buildIndex(ATConsomation, IndexFile::kArticleOrder, "upper(ordre)", false);
    buildIndex(ATPtsRES, IndexFile::kCardPayments, "upper(Nom)", false);
}

void TFMenu::buildIndex(TApolloTable* table, const QString& file, const QString& key,
                        bool unique) {
    if (!findFileAnyCase(file).isEmpty()) return;
    table->Open();
    table->CreateIndex(file, key, unique);
    table->CloseIndexes();
    table->Close();
}

void TFMenu::closeEvent(QCloseEvent* event) {
    event->accept();
    program().end();
}
