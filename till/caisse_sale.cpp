// An article press: one sale row per unit under the current ticket.
#include "till/caisse.h"

void TFCaisse::ArticleClick(int n) {
    const auto slot = static_cast<size_t>(n);
    // Buttons 5 and 6 leave the cancel buttons as they are.
    if (n != 5 && n != 6) {
        MLBAnulBois->setEnabled(true);
        MLBAnulCom->setEnabled(true);
    }
    const int count = quantityOf(ENombre->text());
    ticket.sellArticle(MultiLineButton[slot]->Caption(), PrixArticle[slot], TVAArticle[slot], count);
    ENombre->setText(QStringLiteral("1"));
    showBooking();
    Edit1->setFocus();
}
