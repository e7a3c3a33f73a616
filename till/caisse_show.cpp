// The till's show and close steps and the loading of its article buttons.
#include <QDate>

#include "common/conversions.h"
#include "store/table_layouts.h"
#include "common/dialogs.h"
#include "till/caisse.h"

void TFCaisse::openTables() {
    ATConfig->Open();
    ATConsomation->Open();
    ATConsomation->OpenIndex(IndexFile::kArticleOrder);
    if (!ATVente->Active()) {
        ATVente->Open();
        ATVente->OpenIndex(IndexFile::kTickets);
        ATVente->OpenIndex(IndexFile::kSalesByTicket);
    }
    if (!ATPtsRes->Active()) {
        ATPtsRes->Open();
        ATPtsRes->OpenIndex(IndexFile::kCardPayments);
    }
}

// Sixty steps through the articles in ORDRE order without an end test: a
// step from the last article stays on it, so when there are fewer than
// sixty the remaining buttons repeat the last one.
void TFCaisse::loadArticleButtons() {
    ATConsomation->First();
    for (int n = 1; n <= kArticleButtons; ++n) {
        const auto i = static_cast<size_t>(n);
        MultiLineButton[i]->setCaption(ATConsomation->FieldByName("LIBELLE")->AsString());
        PrixArticle[i] = ATConsomation->FieldByName("PRIX")->AsFloat();
        TVAArticle[i] = ATConsomation->FieldByName("TVA")->AsFloat();
        if (n < kArticleButtons) ATConsomation->Next();
    }
}

void TFCaisse::FormShow() {
    // The first show gives the focus to the first button; later shows leave
    // it where it was.
    if (!shownOnce_) MultiLineButton[1]->setFocus();
    shownOnce_ = true;

    openTables();
    Numticket->setText(ATConfig->FieldByName("NUMTICKET")->AsString());
    Numticket->adjustSize();
    loadArticleButtons();

    ATConfig->Refresh();
    if (ATConfig->FieldByName("DATEFOND")->AsDate() != QDate::currentDate())
        dialogs().showMessage(QStringLiteral("Le fond de caisse n'a pas été encodé ce jour"));

    ticket.start();

    setReceiptSwitch(true);

    LblRES->setVisible(PaiementRES);
    showTotal();
}

void TFCaisse::FormClose() {
    ATConfig->Close();
    ATConsomation->Close();
    ATVente->Close();
    ATPtsRes->Close();
}

void TFCaisse::applyFiltreVente() { ticket.applyFilter(); }

void TFCaisse::showTotal() {
    Label4->setText(moneyText(TotalTicket));
    Label4->adjustSize();
}

// The grid has already read the rows the booking appended (and those
// alone): reading the whole ticket again would cost a press its size.
void TFCaisse::showBooking() {
    showTotal();
    Label4->repaint();
}
