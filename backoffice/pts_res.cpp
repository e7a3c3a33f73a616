#include "backoffice/pts_res.h"

TFPtsRES::TFPtsRES(TProgram& program)
    : TForm(program, "FPtsRES", QStringLiteral("Gestion du paiement par le systeme RES"), 630,
            240) {
    ATMembre = new TApolloTable("ATMembre", this);
    ATMembre->setTableName("Membre.DBF");
    DSMembre = new TDataSource(this);
    DSMembre->setDataSet(ATMembre);
    ATMembre->Open();
}
