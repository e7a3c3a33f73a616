// The ticket being entered at the till, without widgets: its running
// totals, its card payment state, the one routine that books a sale row,
// the free drinks, the referee fee and the cancellations booked as
// compensating rows, the quantity rule, the change due, the advance of the ticket number and
// the closing steps that touch the tables. The till window forwards to it
// and shows what it holds.
#pragma once

#include <QDate>
#include <QString>

class TApolloTable;

// The highest ticket number that fits the settings row's six characters.
inline constexpr int kLastTicketNumber = 999999;
// The ticket number after `stored` (leading blanks and zeros accepted); an
// empty number reads as 0, and 999999 is followed by 1.
int nextTicketNumber(const QString& stored);
// The filter of the sales table that shows the rows of ticket `number`.
QString ticketFilter(const QString& number);
// Adds an amount to a running total, rounded to the cent: a total that should
// come back to zero is exactly zero, without binary residue.
double addToTotal(double total, double amount);
// The number of units typed in the quantity field: a whole number, else
// EConvertError "'…' n'est pas une valeur entière correcte".
int quantityOf(const QString& typed);

// The fixed labels of the rows the till books besides articles.
namespace BookingText {
inline const QString kReferee = QStringLiteral("Consomation Arbitre");
inline const QString kCommittee = QStringLiteral("Consomation Comité");
inline const QString kVolunteer = QStringLiteral("Consomation Bénévole");
inline const QString kRefereeFee = QStringLiteral("Frais d'arbitrage");
inline const QString kRefereeFeeCancel = QStringLiteral("Annulation Arbitrage");
inline const QString kOrderCancel = QStringLiteral("Annulation commande");
inline const QString kDrinkCancel = QStringLiteral("Annulation Consomation");
}  // namespace BookingText

// The member a ticket paid by card is charged to, as the member window
// hands it over.
struct CardMember {
    QString nom;
    QString numres;
    QString adresse;
    QString localite;
};

class Ticket {
public:
    // The handles stay the window's; they are set once the window made them.
    void setTables(TApolloTable* sales, TApolloTable* settings, TApolloTable* cardPayments);

    double TotalTicket = 0;
    double TotalTVA6 = 0;
    double TotalTVA21 = 0;
    bool PaiementRES = false;
    QString NomRES;
    QString NumCarteRES;
    // The chosen member's address and town, for the card payment row.
    QString AdresseRES;
    QString LocaliteRES;
    QString NomCaissier;
    QString FiltreVente;

    // The ticket number of the settings row.
    QString number() const;
    // The till starts on the settings row's ticket: the cashier's name, a
    // total of zero and the sales filtered on that ticket.
    void start();
    // The sales table shows the rows of FiltreVente.
    void applyFilter();
    // The sales table shows the rows of ticket `number` (a looked-up one);
    // the ticket being entered stays the settings row's.
    void showTicket(const QString& number);

    // The one routine every booking of the till goes through: appends a
    // sale row with NOM, LIBELLE, PRIX, TVA, DATE, TIME and TICKET, in that
    // order, and returns the price as stored (two decimals).
    double book(const QString& label, double price, double vat);
    // `count` rows of an article (none for 0 or less); each stored price is
    // added to the total and to the subtotal of its rate (6, else 21).
    void sellArticle(const QString& label, double price, double vat, int count);

    // Free drinks for the account named by `label`: one row against each
    // subtotal that is not 0 (6, then 21), bringing the total down by them.
    // The subtotals stay as they were, so a second call books them again.
    void giveFreeDrinks(const QString& label);
    // The referee's fee paid out of the till, at VAT 0, outside the subtotals.
    void payRefereeFee(double fee);
    // The whole ticket total booked back at VAT 0: the total becomes 0.
    void cancelRefereeFee();
    // Every article of the ticket booked back, against each subtotal that
    // is not 0; the subtotals become 0 (fees at VAT 0 are not in them).
    void cancelOrder();
    // The sales table's current row booked back when its rate is 6 or 21,
    // into that subtotal; any other rate books nothing. True when booked.
    bool cancelDrink();

    // Card payment: the member chosen pays this ticket by card.
    void chooseMember(const CardMember& member);
    // The ticket is no longer paid by card (the member window is shown).
    void dropCardPayment() { PaiementRES = false; }
    // The ticket is paid in cash; `currentName` is the member the member
    // window stood on, which the receipt still prints.
    void leaveCardPayment(const QString& currentName);

    // What the till gives back for the amount received (a number with the
    // regional separator or '.', else EConvertError).
    double changeDue(const QString& received) const;

    // The closing steps on the tables: the settings row gets the next ticket
    // number, the card payment table a row for this ticket (naming the
    // member only when it is paid by card), and the state is
    // cleared for the next ticket, whose rows the sales table then shows.
    // Returns the new ticket number.
    QString close(const QDate& today);

private:
    // Books a row and adds its stored price to the total and, when given,
    // to a subtotal: every amount a total gets comes from the posted row.
    void bookCounted(const QString& label, double price, double vat, double* subtotal);
    void advanceNumber();
    void recordPayment(const QDate& today);

    TApolloTable* sales_ = nullptr;
    TApolloTable* settings_ = nullptr;
    TApolloTable* cardPayments_ = nullptr;
};
