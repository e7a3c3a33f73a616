#include "reports/imp_pts_res.h"

TFImpPtsRES::TFImpPtsRES(TProgram& program)
    : TReportHost(program, "FImpPtsRES", QStringLiteral("Impression des paiement RES"), 600, 400) {
    ATPtsRES = table("ATPtsRES", "Ptsres.DBF");
    creationStep([this] {
        ATPtsRES->Open();
        ATPtsRES->OpenIndex("PtsRES.ntx");
    });
}

// The report of this host is not built yet: its menu entry shows nothing.
void TFImpPtsRES::Preview() {}
