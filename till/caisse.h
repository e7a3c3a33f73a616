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
    QLabel* Label7;
    QLineEdit* ENombre;
    QLabel* Label5;
    QLabel* Numticket;
    QPushButton* BitBtn1;
    QLabel* LblRES;
    std::array<TMultiLineButton*, kArticleButtons + 1> MultiLineButton{};  // 1..60
    TMultiLineButton* MLBtCaisse;
    TMultiLineButton* MLBtnArbitre;
    TMultiLineButton* MLBtComite;
    TMultiLineButton* MLBtnBenevole;
    TMultiLineButton* MLBAnulCom;
    TMultiLineButton* MLBAnulBois;
    TMultiLineButton* MLBtnTicket;
    TMultiLineButton* MultiLineButton63;
    TMultiLineButton* MultiLineButton64;
    TMultiLineButton* MLBtnZ;
    TDBGrid* DBGrid1;
    QLabel* Label1;
    QLabel* Label4;
    QLabel* Label2;
    TAmountEdit* Edit1;
    QLabel* Label3;
    QLabel* Label6;
    QPushButton* BitBtn2;

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
    void createTables();
    void openTables();
    void loadArticleButtons();

    bool shownOnce_ = false;
};
