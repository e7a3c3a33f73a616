// A program whose till holds a chosen price list, for the till tests.
#pragma once

#include <QDate>
#include <QTest>

#include "app/menu.h"
#include "tests/support/program_fixture.h"
#include "till/caisse.h"

struct ArticleRow {
    QString label;
    double price;
    double vat;
    QString ordre;
};

class TillTest : public ProgramTest {
protected:
    // An empty data folder with these articles and a float dated `floatDate`.
    void prepare(const std::vector<ArticleRow>& articles,
                 const QDate& floatDate = QDate::currentDate()) {
        install(false);
        TApolloTable a("ATConsomation");
        a.setTableName("consomation.DBF");
        a.Open();
        for (const ArticleRow& r : articles) {
            a.Insert();
            a.FieldByName("LIBELLE")->setAsString(r.label);
            a.FieldByName("PRIX")->setAsFloat(r.price);
            a.FieldByName("TVA")->setAsFloat(r.vat);
            a.FieldByName("ORDRE")->setAsString(r.ordre);
            a.Post();
        }
        a.Close();
        setFloatDate(floatDate);
        setTicket("41");
    }
    // The settings row, changed as another program would change it.
    void setFloatDate(const QDate& date) {
        editSettings([&](TApolloTable& c) {
            if (date.isValid())
                c.FieldByName("DATEFOND")->setAsDate(date);
            else
                c.FieldByName("DATEFOND")->Clear();
        });
    }
    void setTicket(const QString& number) {
        editSettings([&](TApolloTable& c) { c.FieldByName("NUMTICKET")->setAsString(number); });
    }
    void editSettings(const std::function<void(TApolloTable&)>& change) {
        TApolloTable c("ATConfig");
        c.setTableName("config.dbf");
        c.Open();
        c.Edit();
        change(c);
        c.Post();
    }
    // Starts the program and shows the till from the main window's menu.
    TFCaisse* openTill() {
        start();
        program().showWindow(program().FMenu);
        program().switchTo(program().FMenu, program().FCaisse);
        // The till is the active window, so focus moves send their events.
        QApplication::setActiveWindow(program().FCaisse);
        return program().FCaisse;
    }
    // Types a quantity and presses article button n, as a person would.
    void press(TFCaisse* till, int n, const QString& quantity = "1") {
        till->ENombre->clear();
        QTest::keyClicks(till->ENombre, quantity);
        QTest::mouseClick(till->MultiLineButton[static_cast<size_t>(n)], Qt::LeftButton);
    }
    // The rows of the sales table, in record order, as "TICKET|LIBELLE|PRIX|TVA".
    QStringList salesRows() {
        TApolloTable v("check");
        v.setTableName("Vente.dbf");
        v.Open();
        QStringList rows;
        for (v.First(); !v.Eof(); v.Next())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(v.FieldByName("TICKET")->AsString(), v.FieldByName("LIBELLE")->AsString())
                        .arg(v.FieldByName("PRIX")->AsFloat())
                        .arg(v.FieldByName("TVA")->AsFloat());
        return rows;
    }
};

inline std::vector<ArticleRow> numberedArticles(int count) {
    std::vector<ArticleRow> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({QStringLiteral("Article %1").arg(i), i * 0.5, i % 2 ? 21.0 : 6.0,
                        QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'))});
    return rows;
}
