#include "reports/rimpression_caisse.h"

#include <QFileInfo>

#include "common/dialogs.h"
#include "reports/imp_vente.h"
#include "store/table_layouts.h"
#include "ui/main_menu.h"

namespace {

TMultiLineButton* bigButton(QWidget* parent, const char* name, const QString& caption, int y) {
    auto* b = new TMultiLineButton(QLatin1String(name), caption, parent);
    QFont f = b->font();
    f.setPointSize(18);
    b->setFont(f);
    b->setGeometry(24, y, 400, 70);
    return b;
}

}  // namespace

TFRImpCaisse::TFRImpCaisse(TProgram& program)
    : TSwitchedForm(program, "FRImpCaisse", QStringLiteral("Réimpression du journal de caisse"),
                    450, 300) {
    MenuActions menu = program.mainMenuActions(this);
    setInert(menu, {MenuEntry::ImpCaisse});
    setAbsent(menu, {MenuEntry::VenteArt});
    buildMainMenu(this, menu);

    auto* client = new QWidget(this);
    setCentralWidget(client);
    Edit1 = new QLineEdit(client);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(24, 16, 260, 24);
    Button1 = new QPushButton(QStringLiteral("Choix du fichier"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(296, 14, 128, 28);
    MLBValide = bigButton(client, "MLBValide", QStringLiteral("Validé le choix du fichier des ventes"), 56);
    MLBImpression = bigButton(client, "MLBImpression", QStringLiteral("Impression de la liste des ventes"), 140);
    setTabOrder(Edit1, Button1);

    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(MLBValide, &QPushButton::clicked, this, guarded([this] { MLBValideClick(); }));
    connect(MLBImpression, &QPushButton::clicked, this, guarded([this] { MLBImpressionClick(); }));
}

void TFRImpCaisse::FormShow() { Edit1->setFocus(); }

void TFRImpCaisse::Button1Click() {
    QString file = dialogs().openFileName(QStringLiteral("Choix du fichier"), QString(),
                                          QStringLiteral("Dbf vente (vente*.dbf)"));
    if (file.isEmpty()) return;
    if (QFileInfo(file).suffix().isEmpty()) file += QStringLiteral(".dbf");  // default extension
    Edit1->setText(file);
}

// The validated file is the one the next reprint lists; the journal itself
// reads it only while a reprint makes its pages.
void TFRImpCaisse::MLBValideClick() { chosen_ = Edit1->text(); }

// The journal of the validated file, or of the current sales when none was
// validated; the till's listing always lists the current sales.
void TFRImpCaisse::MLBImpressionClick() {
    program().FImpVente->PreviewFile(chosen_.isEmpty() ? TableFile::kSales : chosen_);
}
