#include "till/ticket.h"
#include "store/table_layouts.h"

#include <QTime>
#include <cmath>

#include "common/conversions.h"
#include "store/apollo_table.h"

namespace {
const QString kCashier = QStringLiteral("Caissier1");
}

int nextTicketNumber(const QString& stored) {
    const int current = stored.trimmed().isEmpty() ? 0 : textToInt(stored);
    return current >= kLastTicketNumber || current < 0 ? 1 : current + 1;
}

QString ticketFilter(const QString& number) { return QStringLiteral("Ticket = '%1'").arg(number); }

double addToTotal(double total, double amount) {
    return std::round((total + amount) * 100.0) / 100.0;
}

int quantityOf(const QString& typed) { return textToInt(typed); }

void Ticket::setTables(TApolloTable* sales, TApolloTable* settings, TApolloTable* cardPayments) {
    sales_ = sales;
    settings_ = settings;
    cardPayments_ = cardPayments;
}

QString Ticket::number() const { return settings_->FieldByName("NUMTICKET")->AsString(); }

void Ticket::start() {
    NomCaissier = kCashier;
    TotalTicket = 0;
    FiltreVente = ticketFilter(number());
    applyFilter();
}

void Ticket::showTicket(const QString& number) {
    FiltreVente = ticketFilter(number);
    applyFilter();
}

void Ticket::applyFilter() {
    sales_->setFilter(FiltreVente);
    sales_->setFiltered(true);
}

double Ticket::book(const QString& label, double price, double vat) {
    TApolloTable& s = *sales_;
    // A sale missing from either index would vanish from the ticket view.
    s.RequireIndexes({IndexFile::kTickets, IndexFile::kSalesByTicket});
    s.Insert();
    try {
        s.FieldByName("NOM")->setAsString(NomCaissier);
        s.FieldByName("LIBELLE")->setAsString(label);
        s.FieldByName("PRIX")->setAsFloat(price);
        s.FieldByName("TVA")->setAsFloat(vat);
        s.FieldByName("DATE")->setAsDate(QDate::currentDate());
        // The field keeps the first five characters: hours and minutes.
        s.FieldByName("TIME")->setAsString(timeText(QTime::currentTime()));
        s.FieldByName("TICKET")->setAsString(number());
        s.Post();
    } catch (...) {
        // A refused row (a typed fee too wide for PRIX) is dropped: left
        // pending, it would be posted again, and refused again, by every
        // later booking and refresh of the till.
        if (s.State() == TDataSetState::dsInsert) s.Cancel();
        throw;
    }
    // The row just posted, which the filter may hide (a looked-up ticket).
    return s.PostedValue(QStringLiteral("PRIX")).toDouble();
}

void Ticket::bookCounted(const QString& label, double price, double vat, double* subtotal) {
    // The totals follow the price as stored, read back from the row.
    const double stored = book(label, price, vat);
    if (subtotal) *subtotal = addToTotal(*subtotal, stored);
    TotalTicket = addToTotal(TotalTicket, stored);
}

void Ticket::sellArticle(const QString& label, double price, double vat, int count) {
    // The grid shows the rows once they are all booked.
    TControlsDisabled oneRedraw(*sales_);
    for (int unit = 0; unit < count; ++unit)
        bookCounted(label, price, vat, vat == 6 ? &TotalTVA6 : &TotalTVA21);
}

void Ticket::giveFreeDrinks(const QString& label) {
    TControlsDisabled oneRedraw(*sales_);
    if (TotalTVA6 != 0) bookCounted(label, -TotalTVA6, 6, nullptr);
    if (TotalTVA21 != 0) bookCounted(label, -TotalTVA21, 21, nullptr);
}

void Ticket::payRefereeFee(double fee) { bookCounted(BookingText::kRefereeFee, -fee, 0, nullptr); }

void Ticket::cancelRefereeFee() {
    bookCounted(BookingText::kRefereeFeeCancel, -TotalTicket, 0, nullptr);
}

void Ticket::cancelOrder() {
    TControlsDisabled oneRedraw(*sales_);
    if (TotalTVA6 != 0) bookCounted(BookingText::kOrderCancel, -TotalTVA6, 6, &TotalTVA6);
    if (TotalTVA21 != 0) bookCounted(BookingText::kOrderCancel, -TotalTVA21, 21, &TotalTVA21);
}

bool Ticket::cancelDrink() {
    if (sales_->Eof()) return false;  // no row selected
    const double vat = sales_->FieldByName("TVA")->AsFloat();
    if (vat != 6 && vat != 21) return false;
    const double price = sales_->FieldByName("PRIX")->AsFloat();
    bookCounted(BookingText::kDrinkCancel, -price, vat, vat == 6 ? &TotalTVA6 : &TotalTVA21);
    return true;
}

void Ticket::chooseMember(const CardMember& member) {
    NomRES = member.nom;
    PaiementRES = true;
    NumCarteRES = member.numres;
    AdresseRES = member.adresse;
    LocaliteRES = member.localite;
}

void Ticket::leaveCardPayment(const QString& currentName) {
    NomRES = currentName;
    PaiementRES = false;
}

double Ticket::changeDue(const QString& received) const {
    return textToFloat(received) - TotalTicket;
}

QString Ticket::close(const QDate& today) {
    advanceNumber();
    recordPayment(today);
    // A closed ticket survives a power cut: its rows, the number and the
    // payment row are flushed to disk, once per closing.
    for (TApolloTable* t : {sales_, settings_, cardPayments_})
        if (t && t->Active()) t->FlushBuffers();
    TotalTicket = 0;
    TotalTVA6 = 0;
    TotalTVA21 = 0;
    NomCaissier = kCashier;
    FiltreVente = ticketFilter(number());
    applyFilter();
    PaiementRES = false;
    NomRES.clear();
    NumCarteRES.clear();
    AdresseRES.clear();
    LocaliteRES.clear();
    return number();
}

void Ticket::advanceNumber() {
    settings_->Edit();
    int next = 0;
    try {
        next = nextTicketNumber(number());
    } catch (...) {
        // A number that is not an integer changes nothing and leaves no edit.
        settings_->Cancel();
        throw;
    }
    settings_->FieldByName("NUMTICKET")->setAsString(QString::number(next));
    settings_->Post();
}

void Ticket::recordPayment(const QDate& today) {
    TApolloTable& p = *cardPayments_;
    p.Insert();
    // A cash ticket names nobody, whatever name the member window left.
    const bool card = PaiementRES;
    p.FieldByName("NOM")->setAsString(card ? NomRES : QString());
    p.FieldByName("NUMRES")->setAsString(card ? NumCarteRES : QString());
    p.FieldByName("ADRESSE")->setAsString(card ? AdresseRES : QString());
    p.FieldByName("LOCALITE")->setAsString(card ? LocaliteRES : QString());
    p.FieldByName("DATEACHAT")->setAsDate(today);
    p.FieldByName("MONTANT")->setAsFloat(TotalTicket);
    p.Post();
}
