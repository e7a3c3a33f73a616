// Host of the article list: every article with its price, VAT rate and
// button order, in button order; the title on the first page and the
// column header at the top of every page.
#pragma once

#include <memory>

#include "reports/engine/quick_rep.h"
#include "ui/report_host.h"

class TFImpArticle : public TReportHost {
    Q_OBJECT
public:
    explicit TFImpArticle(TProgram& program);
    ~TFImpArticle() override;

    void Preview() override;

    TApolloTable* ATArticles;
    std::unique_ptr<TQuickRep> QRImpArticle;
};
