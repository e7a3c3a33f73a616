// A till with sales and members of the test's choosing, and the moves a
// person makes in the ticket search and the member window.
#pragma once

#include <QTest>
#include <QToolButton>

#include "backoffice/pts_res.h"
#include "backoffice/ticket_search.h"
#include "tests/support/till_fixture.h"

struct MemberRow {
    MemberRow(const char* n, const char* card, const char* address = "", const char* town = "")
        : nom(n), numres(card), adresse(address), localite(town) {}
    QString nom;
    QString numres;
    QString adresse;
    QString localite;
};

class BackofficeTest : public TillTest {
protected:
    // Sale rows of these tickets, in this file order, before the program starts.
    void addSales(const QStringList& tickets) {
        TApolloTable v("v");
        v.setTableName("Vente.dbf");
        v.Open();
        for (const QString& t : tickets) {
            v.Insert();
            v.FieldByName("TICKET")->setAsString(t);
            v.FieldByName("LIBELLE")->setAsString("Vente " + t);
            v.FieldByName("PRIX")->setAsFloat(1);
            v.FieldByName("TVA")->setAsFloat(21);
            v.Post();
        }
    }
    void addMembers(const std::vector<MemberRow>& members) {
        TApolloTable m("m");
        m.setTableName("Membre.DBF");
        m.Open();
        for (const MemberRow& r : members) {
            m.Insert();
            m.FieldByName("NOM")->setAsString(r.nom);
            m.FieldByName("NUMRES")->setAsString(r.numres);
            m.FieldByName("ADRESSE")->setAsString(r.adresse);
            m.FieldByName("LOCALITE")->setAsString(r.localite);
            m.Post();
        }
    }

    // The till's "Ticket" and "Paiement RES" buttons; the window shown on top
    // becomes the active one.
    TFTicket* openTicketSearch(TFCaisse* till) {
        QTest::mouseClick(till->MLBtnTicket, Qt::LeftButton);
        TFTicket* w = program().FTicket;
        EXPECT_TRUE(w->isVisible());
        QApplication::setActiveWindow(w);
        return w;
    }
    TFPtsRES* openMembers(TFCaisse* till) {
        QTest::mouseClick(till->BitBtn2, Qt::LeftButton);
        TFPtsRES* w = program().FPtsRES;
        EXPECT_TRUE(w->isVisible());
        QApplication::setActiveWindow(w);
        return w;
    }
};

// Keys typed into a box; '\b' is Backspace.
inline void type(QWidget* box, const QString& keys) {
    for (QChar c : keys) {
        if (c == QLatin1Char('\b'))
            QTest::keyClick(box, Qt::Key_Backspace);
        else
            QTest::keyClicks(box, QString(c));
    }
}
// Every value of the box's list, read as a person would: from the first
// row (Home) down to the last (Down until nothing moves); the list is
// closed again afterwards.
inline QStringList walkList(TDBLookupComboPlus* box) {
    if (!box->listVisible()) QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Home);
    QStringList values{box->text()};
    for (;;) {
        QTest::keyClick(box, Qt::Key_Down);
        if (box->text() == values.last()) break;
        values << box->text();
    }
    QTest::keyClick(box, Qt::Key_Escape);
    return values;
}
