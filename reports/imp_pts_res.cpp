#include "reports/imp_pts_res.h"

TFImpPtsRES::TFImpPtsRES(Program& program)
    : TReportHost(program, "FImpPtsRES", QStringLiteral("Impression des paiement RES"), 600, 400) {
    ATPtsRES = table("ATPtsRES", "Ptsres.DBF");
    creationStep([this] {
        ATPtsRES->Open();
        ATPtsRES->OpenIndex("PtsRES.ntx");
    });
}
