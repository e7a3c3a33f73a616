// Sales by article: the work table of sold quantities, one row per article
// label with the number of sale rows of that label, shown in a grid where a
// count can be corrected, and the two printouts made from it.
#pragma once

#include "ui/form.h"

class TApolloTable;
class TDataSource;
class TDBGrid;
class TMultiLineButton;

class TFVentart : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFVentart(TProgram& program);

    // True once the work table has been rebuilt for this activation: set
    // before the work table is opened, so a rebuild that fails is not tried
    // again until the window is activated again.
    bool QteVenteConstruite = false;

    TApolloTable* ATVente;
    TApolloTable* ATQteVente;
    TDataSource* DSQteVente;
    TDBGrid* DBGrid1;
    TMultiLineButton* MultiLineButton1;
    TMultiLineButton* MultiLineButton2;

protected:
    // Activation: the work table counts the sales as they are now.
    void FormShow() override;
    // The label index is the window's own scratch file, made anew at each
    // show: it goes when the window closes, since nobody keeps it up to date
    // with the sales booked afterwards.
    void FormClose() override;

private:
    void rebuildWorkTable();
    static void removeLabelIndex();
    void MultiLineButton1Click();
    void MultiLineButton2Click();
};

// Fills the empty, open work table from the open sales table in its label
// order: one work row per run of rows with exactly the same label (letter
// case counts), with the label and date of the run's first row and the run's
// length as QTE. An empty sales table gives no work row.
void countSalesByLabel(TApolloTable& sales, TApolloTable& work);
