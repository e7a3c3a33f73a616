// A data folder with the till's tables and a sales table handle to feed
// reports from, plus a receipt-shaped report and dialogs that answer on cue.
#pragma once

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

#include "common/dialogs.h"
#include "common/format_settings.h"
#include "reports/engine/logo.h"
#include "reports/engine/quick_rep.h"
#include "reports/receipt_layout.h"
#include "store/apollo_env.h"
#include "store/apollo_table.h"
#include "store/sde_binding.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/store_fixture.h"

struct SaleRow {
    QString ticket;
    QString label;
    double price = 0;
    QDate date = QDate(2024, 3, 9);
};

class ReportTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setFormatSettings(FormatSettings{});  // Belgian: "2,5", "9/03/2024"
        install();
        sales_.setTableName(QStringLiteral("Vente.dbf"));
    }
    void TearDown() override {
        sales_.Close();
        StoreTest::TearDown();
    }

    // Appends rows, then leaves the sales handle open on the first one.
    void addSales(const std::vector<SaleRow>& rows) {
        sales_.Open();
        for (const SaleRow& s : rows) {
            sales_.Insert();
            sales_.FieldByName("TICKET")->setAsString(s.ticket);
            sales_.FieldByName("LIBELLE")->setAsString(s.label);
            sales_.FieldByName("PRIX")->setAsFloat(s.price);
            sales_.FieldByName("DATE")->setAsDate(s.date);
            sales_.Post();
        }
        sales_.First();
    }
    // n rows labelled "Article 1".. with ticket numbers "1".., price 1.5 each.
    void addNumberedSales(int n) {
        std::vector<SaleRow> rows;
        for (int i = 1; i <= n; ++i)
            rows.push_back({QString::number(i), QStringLiteral("Article %1").arg(i), 1.5});
        addSales(rows);
    }
    TApolloTable sales_{QStringLiteral("ATVente")};
};

// The receipt's own layout, with a page number in the footer: 105 x 148.5
// mm, a 26.2 mm header with the logo and the ticket number, 8.7 mm item lines
// of two framed cells, an 18.8 mm footer. Ten lines fit on a page.
struct ReceiptReport {
    TQuickRep rep{QStringLiteral("QRImpTicket")};
    TQRBand* header;
    TQRBand* detail;
    TQRBand* footer;

    explicit ReceiptReport(TApolloTable* sales) {
        buildReceiptLayout(rep, sales);
        header = rep.band(QStringLiteral("QRBand1"));
        detail = rep.band(QStringLiteral("QRBand2"));
        footer = rep.band(QStringLiteral("QRBand3"));
        footer->addSysData(QStringLiteral("QRSysData1"), 80, 12.7);
    }
};

// The page count pdfinfo reads from a PDF file; -1 when it cannot.
inline int pdfPageCount(const QString& file, QString* pageSize = nullptr) {
    QProcess p;
    p.start(QStringLiteral(SDE_PDFINFO), {file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return -1;
    int pages = -1;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("Pages:"))) pages = line.mid(6).trimmed().toInt();
        if (pageSize && line.startsWith(QLatin1String("Page size:"))) *pageSize = line.mid(10).trimmed();
    }
    return pages;
}

// Installs a preview hook for the life of the object.
class PreviewHookScope {
public:
    explicit PreviewHookScope(TQuickRep::PreviewHook hook)
        : previous_(TQuickRep::setPreviewHook(std::move(hook))) {}
    ~PreviewHookScope() { TQuickRep::setPreviewHook(std::move(previous_)); }

private:
    TQuickRep::PreviewHook previous_;
};
