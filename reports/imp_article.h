// Host of the article list report.
#pragma once

#include "reports/report_host.h"

class TFImpArticle : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpArticle(Program& program);
    TApolloTable* ATArticles;
};
