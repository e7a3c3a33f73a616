// An article press: one sale row per unit under the current ticket.
#include <QDate>
#include <QTime>
#include <cmath>

#include "common/conversions.h"
#include "till/caisse.h"

double addToTotal(double total, double amount) {
    return std::round((total + amount) * 100.0) / 100.0;
}

void TFCaisse::bookRow(const QString& label, double price, double vat) {
    ATVente->Insert();
    ATVente->FieldByName("NOM")->setAsString(NomCaissier);
    ATVente->FieldByName("LIBELLE")->setAsString(label);
    ATVente->FieldByName("PRIX")->setAsFloat(price);
    ATVente->FieldByName("TVA")->setAsFloat(vat);
    ATVente->FieldByName("DATE")->setAsDate(QDate::currentDate());
    // The field keeps the first five characters: hours and minutes.
    ATVente->FieldByName("TIME")->setAsString(timeText(QTime::currentTime()));
    ATVente->FieldByName("TICKET")->setAsString(ATConfig->FieldByName("NUMTICKET")->AsString());
    ATVente->Post();
}

void TFCaisse::ArticleClick(int n) {
    const auto slot = static_cast<size_t>(n);
    // Buttons 5 and 6 leave the cancel buttons as they are.
    if (n != 5 && n != 6) {
        MLBAnulBois->setEnabled(true);
        MLBAnulCom->setEnabled(true);
    }
    const int count = textToInt(ENombre->text());
    for (int unit = 0; unit < count; ++unit) {
        bookRow(MultiLineButton[slot]->Caption(), PrixArticle[slot], TVAArticle[slot]);
        // The totals follow the price as stored, read back from the row.
        const double stored = ATVente->FieldByName("PRIX")->AsFloat();
        if (TVAArticle[slot] == 6)
            TotalTVA6 = addToTotal(TotalTVA6, stored);
        else
            TotalTVA21 = addToTotal(TotalTVA21, stored);
        TotalTicket = addToTotal(TotalTicket, stored);
    }
    showTotal();
    Label4->repaint();
    ENombre->setText(QStringLiteral("1"));
    ATVente->Refresh();
    Edit1->setFocus();
}
