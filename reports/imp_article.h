// Host of the article list report.
#pragma once

#include "ui/report_host.h"

class TFImpArticle : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpArticle(TProgram& program);

    void Preview() override;
    TApolloTable* ATArticles;
};
