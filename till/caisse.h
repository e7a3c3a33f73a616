// The till: sixty article buttons loaded from the article table, the rows
// of the ticket being entered, its running total, the amount received and
// the change due, and the buttons that close, cancel or re-book a ticket.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "ui/form.h"
#include "store/apollo_table.h"
#include "store/data_source.h"
#include "till/amount_edit.h"
#include "till/ticket.h"
#include "controls/db_grid.h"
#include "controls/multi_line_button.h"

class TFCaisse : public TSwitchedForm {
    Q_OBJECT
public:
    static constexpr int kArticleButtons = 60;

    explicit TFCaisse(TProgram& program);
    ~TFCaisse() override;

    // The ticket being entered: its state and rules. The members below keep
    // the till's names for it, read and written by other windows.
    Ticket ticket;
    QString& NomRES = ticket.NomRES;
    QString& NumCarteRES = ticket.NumCarteRES;
    QString& AdresseRES = ticket.AdresseRES;
    QString& LocaliteRES = ticket.LocaliteRES;
    QString& NomCaissier = ticket.NomCaissier;
    QString& FiltreVente = ticket.FiltreVente;
    double& TotalTicket = ticket.TotalTicket;
    double& TotalTVA6 = ticket.TotalTVA6;
    double& TotalTVA21 = ticket.TotalTVA21;
    bool& PaiementRES = ticket.PaiementRES;
    std::array<double, kArticleButtons + 1> PrixArticle{};  // slots 1..60
    std::array<double, kArticleButtons + 1> TVAArticle{};   // slots 1..60
    bool ImpressionTicket = true;

    // Tables.
    TApolloTable* ATVente;
    TApolloTable* ATConfig;
    TApolloTable* ATConsomation;
    TApolloTable* ATPtsRes;
    TDataSource* DSVente;
    TDataSource* DConfig;
    TDataSource* DSConsomation;
    TDataSource* DSPtsres;

    // Controls.
    QLabel* Label7;      // "Nombre de boisson"
    QLineEdit* ENombre;  // the quantity of the next article press
    QLabel* Label5;      // "N° du Ticket"
    QLabel* Numticket;   // the ticket number
    QPushButton* BitBtn1;  // the receipt switch, "Impression Oui" / "Non"
    QLabel* LblRES;        // "Paiement RES actif" while the ticket is paid by card
    std::array<TMultiLineButton*, kArticleButtons + 1> MultiLineButton{};  // the articles, 1..60
    TMultiLineButton* MLBtCaisse;     // "Caissière 1": closes the ticket
    TMultiLineButton* MLBtnArbitre;   // free drinks of the referee,
    TMultiLineButton* MLBtComite;     // of the committee,
    TMultiLineButton* MLBtnBenevole;  // of the volunteers
    TMultiLineButton* MLBAnulCom;     // "Annulation commande": every article booked back
    TMultiLineButton* MLBAnulBois;    // "Annul. boisson": the grid's row booked back
    TMultiLineButton* MLBtnTicket;    // "Ticket": the ticket search
    TMultiLineButton* MultiLineButton63;  // "Montant arbitrage": the referee fee
    TMultiLineButton* MultiLineButton64;  // "Annul. Arbitrage": the ticket total booked back
    TMultiLineButton* MLBtnZ;             // "Listing des ventes": the sales journal
    TDBGrid* DBGrid1;  // the rows of the ticket shown (FiltreVente)
    QLabel* Label1;    // "Solde"
    QLabel* Label4;    // the total, TotalTicket
    QLabel* Label2;    // "montant recu"
    TAmountEdit* Edit1;  // the amount received
    QLabel* Label3;      // "montant à rendre"
    QLabel* Label6;      // the change due
    QPushButton* BitBtn2;  // "Paiement RES": the member window

    // An article press on button `n` (1..60) with the quantity in ENombre.
    void ArticleClick(int n);
    // The filter of the sales grid on FiltreVente.
    void applyFiltreVente();
    // TotalTicket in Label4 in the till's amount format.
    void showTotal();
    // After a booking: the total redrawn at once.
    void showBooking();

    // Free drinks of the account `label` (the three free-drink buttons).
    void FreeDrinksClick(const QString& label);
    // The referee fee: the amount box over the till, the fee it books, and
    // the cancellation of the ticket total at VAT 0.
    void MultiLineButton63Click();
    void payRefereeFee(double fee);
    void MultiLineButton64Click();
    // Cancellations of the whole order and of the drink selected in the grid.
    void MLBAnulComClick();
    void MLBAnulBoisClick();
    // The sales journal of the day in the preview; nothing changes.
    void MLBtnZClick();

    // Card payment, as the member window sets it; LblRES is shown exactly
    // while the ticket is paid by card.
    void chooseCardMember(const CardMember& member);
    void leaveCardPayment(const QString& currentName);
    // The member window is shown: the ticket is no longer paid by card.
    void clearCardPayment();
    void BitBtn2Click();
    void MLBtnTicketClick();

    // Payment and ticket closing.
    void Edit1KeyPress();  // Enter in the amount received
    void Edit1Exit();      // the focus leaves it
    void BitBtn1Click();
    void MLBtCaisseClick();
    void setReceiptSwitch(bool on);

protected:
    void FormShow() override;
    void FormClose() override;

private:
    void createControls();
    void createArticleButtons(QWidget* client);
    void createTopLine(QWidget* client);
    void createTicketButtons(QWidget* client);
    void createPaymentControls(QWidget* client);
    // A large button at `geometry` whose click runs `click` guarded.
    TMultiLineButton* bigButton(QWidget* client, const char* name, const QString& caption,
                                const QRect& geometry, void (TFCaisse::*click)() = nullptr);
    void createTables();
    void openTables();
    void loadArticleButtons();

    bool shownOnce_ = false;
};
