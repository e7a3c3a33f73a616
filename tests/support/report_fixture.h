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

// The receipt's page and bands: 105 x 148.5 mm, a 26.2 mm header with the
// logo and the ticket number, 8.7 mm item lines of two framed cells, an
// 18.8 mm footer with the page number. Ten lines fit on a page.
struct ReceiptReport {
    TQuickRep rep{QStringLiteral("QRImpTicket")};
    TQRBand* header;
    TQRBand* detail;
    TQRBand* footer;

    explicit ReceiptReport(TApolloTable* sales) {
        rep.setDataSet(sales);
        TQRPage& page = rep.Page();
        page.paperSize = Custom;
        page.width = 105;
        page.length = 148.5;
        page.topMargin = 10;
        page.bottomMargin = page.leftMargin = page.rightMargin = 5;
        header = rep.addBand(QStringLiteral("QRBand1"), rbPageHeader, 26.2);
        header->addImage(QStringLiteral("QRImage1"), -6.3, 0, 32.0, 23.8, logoImage());
        header->addLabel(QStringLiteral("QRLabel1"), 19.1, 8.5, QStringLiteral("Ticket n°"));
        header->addDBText(QStringLiteral("QRDBText3"), 38.1, 8.5, sales, QStringLiteral("TICKET"));
        detail = rep.addBand(QStringLiteral("QRBand2"), rbDetail, 8.7);
        detail->addShape(QStringLiteral("QRShape2"), 61.4, 0, 15.1, 8.7);
        detail->addShape(QStringLiteral("QRShape1"), 0, 0, 61.6, 8.7);
        detail->addDBText(QStringLiteral("QRDBText1"), 2.1, 1.1, sales, QStringLiteral("LIBELLE"));
        detail->addDBText(QStringLiteral("QRDBText2"), 63.5, 1.1, sales, QStringLiteral("PRIX"));
        footer = rep.addBand(QStringLiteral("QRBand3"), rbPageFooter, 18.8);
        footer->addLabel(QStringLiteral("QRLabel6"), 4.2, 2.1, QStringLiteral("Total de la commande"));
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
