#include "reports/imp_article.h"

TFImpArticle::TFImpArticle(Program& program)
    : TReportHost(program, "FImpArticle", QStringLiteral("Impression des articles"), 600, 400) {
    ATArticles = table("ATArticles", "consomation.DBF");
    creationStep([this] {
        ATArticles->Open();
        ATArticles->OpenIndex("Ordre.ntx");
    });
}
