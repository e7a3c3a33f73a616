// Reprint of the sales journal of an archived sales file: the user picks a
// "vente…dbf" archive, validates it as the journal's file, and previews the
// journal of that period.
#pragma once

#include <QLineEdit>
#include <QPushButton>

#include "controls/multi_line_button.h"
#include "ui/form.h"

class TFRImpCaisse : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFRImpCaisse(TProgram& program);

    QLineEdit* Edit1;
    QPushButton* Button1;
    TMultiLineButton* MLBValide;
    TMultiLineButton* MLBImpression;

    void Button1Click();        // "Choix du fichier"
    void MLBValideClick();      // "Validé le choix du fichier des ventes"
    void MLBImpressionClick();  // "Impression de la liste des ventes"

    // The file validated last, which the next reprint lists.
    const QString& chosenFile() const { return chosen_; }

protected:
    void FormShow() override;

private:
    QString chosen_;
};
