// Article management: the bar's price list, one article per row of the
// article table, with its place on the till. Browsing and the search box run
// in name order; every change keeps the till's order index up to date.
#pragma once

#include <QLabel>
#include <QPushButton>

#include "controls/db_combo_box.h"
#include "controls/db_edit.h"
#include "controls/db_lookup_combo.h"
#include "controls/db_navigator.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "ui/form.h"

class TFArticle : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFArticle(TProgram& program);

    TApolloTable* ATConsomation;
    TField* ATConsomationLIBELLE;
    TField* ATConsomationPRIX;
    TField* ATConsomationTVA;
    TField* ATConsomationORDRE;
    TDataSource* DSConsomation;

    TDBNavigator* DBNavigator1;
    TDBLookupComboPlus* DBLookupComboPlus1;
    QLabel* Label1;
    TDBEdit* DBEdit1;  // LIBELLE
    QLabel* Label2;
    TDBEdit* DBEdit2;  // PRIX
    QLabel* Label3;
    TDBComboBox* DBComboBox1;  // TVA
    QLabel* Label4;
    TDBEdit* DBEdit3;  // ORDRE
    QPushButton* BitBtn1;  // "Prix 1.50 €"
    QPushButton* BitBtn2;  // "Prix 1.60 €"
    QPushButton* BitBtn3;  // "Prix 2.00 €"
    QPushButton* BitBtn4;  // "Prix 2.50 €"

    // Each price button saves the current article at its price and VAT 21,
    // with what was typed into the row; on an empty table, a new article.
    void setPrice(double price);

protected:
    // Activation: the table open with both indexes, the name index the
    // order, on the first article by name, whose name the search box shows.
    void FormShow() override;
    void FormActivate();
    // A change under way is saved before the window is left, so that the
    // till sees it and no lock stays behind; a refused value keeps the
    // window open on its field.
    void FormLeave() override;
    void FormHide() override;
    // The activation steps run again when the window becomes active coming
    // back from another window of the program (the about box on top), not
    // from a message or error box, after which the row stays where it was.
    void changeEvent(QEvent* event) override;

private:
    // The search box shows the current article's name.
    void DSConsomationDataChange();
    void createTable();
    void createControls();
    void createFieldControls(QWidget* panel);
    void createPriceButtons(QWidget* panel);
    QString currentName() const;
    bool isProgramWindow(const QWidget* w) const;

    bool reactivate_ = false;
};
