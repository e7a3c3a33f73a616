#include "reports/imp_article.h"

TFImpArticle::TFImpArticle(TProgram& program)
    : TReportHost(program, "FImpArticle", QStringLiteral("Impression des articles"), 600, 400) {
    ATArticles = table("ATArticles", "consomation.DBF");
    creationStep([this] {
        ATArticles->Open();
        ATArticles->OpenIndex("Ordre.ntx");
    });
}

// The report of this host is not built yet: its menu entry shows nothing.
void TFImpArticle::Preview() {}
