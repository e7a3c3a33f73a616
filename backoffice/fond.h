// The cash float of the till and the reset of the sales at the end of a
// period.
#pragma once

#include <QLabel>
#include <QToolButton>

#include "controls/db_edit.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "ui/form.h"

class TFFond : public TSwitchedForm {
    Q_OBJECT
public:
    explicit TFFond(TProgram& program);

    TApolloTable* ATConfig;
    TApolloTable* ATVente;
    TField* ATConfigDATEFOND;
    TField* ATConfigFONDCAISSE;
    TField* ATVenteDATE;
    TDataSource* DSConfig;
    TDataSource* DSVente;

    QLabel* Label1;
    TDBEdit* DBEdit1;
    QLabel* Label2;
    TDBText* DBText1;
    QToolButton* SpeedButton1;
    QLabel* Label3;
    TDBText* DBText2;
    QToolButton* SpeedButton2;

    void SpeedButton1Click();  // "Mise à jour date"
    void SpeedButton2Click();  // "Mise à zero des ventes"

protected:
    void FormShow() override;
    void FormLeave() override;
    void FormHide() override;
};
