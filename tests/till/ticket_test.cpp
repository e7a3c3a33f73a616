// The till core on a real data folder: bookings and totals, the quantity
// rule, the change due, the ticket number's advance, the sales filter and
// the closing steps, each as a table of cases, without any window.
#include <gtest/gtest.h>

#include <QDate>
#include <cmath>
#include <functional>
#include <optional>

#include "common/conversions.h"
#include "store/apollo_errors.h"
#include "store/apollo_table.h"
#include "store/table_layouts.h"
#include "tests/support/store_fixture.h"
#include "till/ticket.h"

namespace {

class TicketTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        setFormatSettings(FormatSettings{});
        install(false);
        open(sales_, "Vente.dbf", {"LIBELLE", "PRIX", "DATE", "TIME", "TICKET", "TVA", "NOM"});
        // The till books only with both indexes of the sales table open.
        sales_.CreateIndex(QStringLiteral("vente.ntx"), QStringLiteral("upper(ticket)"), true);
        sales_.CreateIndex(QStringLiteral("ticket.ntx"), QStringLiteral("upper(ticket)"), false);
        open(settings_, "config.dbf", {"NUMTICKET", "DATEFOND", "FONDCAISSE"});
        open(payments_, "Ptsres.DBF",
             {"NOM", "NUMRES", "DATEACHAT", "MONTANT", "ADRESSE", "LOCALITE"});
        setNumber("41");
        ticket_.setTables(&sales_, &settings_, &payments_);
        ticket_.start();
    }
    void TearDown() override {
        for (TApolloTable* t : {&sales_, &settings_, &payments_}) t->Close();
        StoreTest::TearDown();
    }
    static void open(TApolloTable& t, const char* file, std::initializer_list<const char*> fields) {
        t.setTableName(QString::fromLatin1(file));
        declareFields(&t, fields);
        t.Open();
    }
    void setNumber(const QString& number) {
        settings_.Edit();
        settings_.FieldByName("NUMTICKET")->setAsString(number);
        settings_.Post();
    }
    // Every sale row in record order, as "TICKET|NOM|LIBELLE|PRIX|TVA".
    QStringList salesRows() {
        TApolloTable all(QStringLiteral("check"));
        all.setTableName(QStringLiteral("Vente.dbf"));
        all.Open();
        QStringList rows;
        for (all.First(); !all.Eof(); all.Next())
            rows << QStringLiteral("%1|%2|%3|%4|%5")
                        .arg(all.FieldByName("TICKET")->AsString(), all.FieldByName("NOM")->AsString(),
                             all.FieldByName("LIBELLE")->AsString())
                        .arg(all.FieldByName("PRIX")->AsFloat())
                        .arg(all.FieldByName("TVA")->AsFloat());
        return rows;
    }

    TApolloTable sales_{QStringLiteral("ATVente")};
    TApolloTable settings_{QStringLiteral("ATConfig")};
    TApolloTable payments_{QStringLiteral("ATPtsRes")};
    Ticket ticket_;
};

struct Sale {
    double price;
    double vat;
    int count;
};

struct BookingCase {
    const char* name;
    std::vector<Sale> sales;
    double total, vat6, vat21;
    int rows;
};

class TicketBookingTest : public TicketTest, public ::testing::WithParamInterface<BookingCase> {};

TEST_P(TicketBookingTest, RowsAndTotalsFollowTheStoredPrices) {
    const BookingCase& c = GetParam();
    for (const Sale& s : c.sales) ticket_.sellArticle(QStringLiteral("Article"), s.price, s.vat, s.count);
    EXPECT_EQ(ticket_.TotalTicket, c.total);
    EXPECT_EQ(ticket_.TotalTVA6, c.vat6);
    EXPECT_EQ(ticket_.TotalTVA21, c.vat21);
    const QStringList rows = salesRows();
    EXPECT_EQ(rows.size(), c.rows);
    for (const QString& r : rows) EXPECT_TRUE(r.startsWith(QLatin1String("41|Caissier1|Article|")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TicketBookingTest,
    ::testing::Values(
        BookingCase{"MixedRates", {{2.0, 21, 2}, {1.5, 6, 1}}, 5.5, 1.5, 4.0, 3},
        BookingCase{"VatZeroAndTwelveCountAsTwentyOne", {{1.25, 0, 1}, {3.1, 12, 1}}, 4.35, 0, 4.35, 2},
        BookingCase{"StoredPriceHasTwoDecimals", {{1.256, 6, 3}, {0.333, 21, 3}}, 4.77, 3.78, 0.99, 6},
        BookingCase{"CentsAddUpExactly", {{0.1, 6, 1}, {0.2, 6, 1}, {-0.3, 6, 1}}, 0, 0, 0, 3},
        BookingCase{"NoUnitsNoRow", {{2.0, 21, 0}, {2.0, 21, -2}}, 0, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TicketTest, OneBookingWritesTheSevenFields) {
    ticket_.NomCaissier = QStringLiteral("Caissier1");
    const double stored = ticket_.book(QStringLiteral("Frais d'arbitrage"), -25, 0);
    EXPECT_EQ(stored, -25);
    sales_.First();
    EXPECT_EQ(sales_.FieldByName("LIBELLE")->AsString(), QStringLiteral("Frais d'arbitrage"));
    EXPECT_EQ(sales_.FieldByName("DATE")->AsDate(), QDate::currentDate());
    EXPECT_EQ(sales_.FieldByName("TIME")->AsString().size(), 5);
    EXPECT_EQ(sales_.FieldByName("TICKET")->AsString(), QStringLiteral("41"));
    EXPECT_EQ(ticket_.TotalTicket, 0) << "a booking alone changes no total";
}

// Compensating rows after a ticket of two beers at 2.00 (VAT 21) and a soft
// drink at 1.50 (VAT 6), unless the case sells otherwise.
struct CompensationCase {
    const char* name;
    std::vector<Sale> sales;
    std::function<void(Ticket&)> run;
    QStringList booked;  // "LIBELLE|PRIX|TVA" after the article rows
    double total, vat6, vat21;
};

class TicketCompensationTest : public TicketTest,
                               public ::testing::WithParamInterface<CompensationCase> {};

TEST_P(TicketCompensationTest, BooksTheRowsAndTotalsFromTheStoredPrices) {
    const CompensationCase& c = GetParam();
    for (const Sale& s : c.sales) ticket_.sellArticle(QStringLiteral("Article"), s.price, s.vat, s.count);
    const int articles = salesRows().size();
    c.run(ticket_);
    QStringList booked;
    for (const QString& r : salesRows().mid(articles)) {
        EXPECT_TRUE(r.startsWith(QLatin1String("41|Caissier1|"))) << r.toStdString();
        booked << r.section('|', 2);
    }
    EXPECT_EQ(booked, c.booked);
    EXPECT_EQ(ticket_.TotalTicket, c.total);
    EXPECT_EQ(ticket_.TotalTVA6, c.vat6);
    EXPECT_EQ(ticket_.TotalTVA21, c.vat21);
}

const std::vector<Sale> kMixed = {{2.0, 21, 2}, {1.5, 6, 1}};

// The window tests press the buttons for the other cases.
INSTANTIATE_TEST_SUITE_P(
    Cases, TicketCompensationTest,
    ::testing::Values(
        CompensationCase{"FreeDrinksOnlyForARateWithSales", {{2.0, 21, 2}},
                         [](Ticket& t) { t.giveFreeDrinks(BookingText::kCommittee); },
                         {QStringLiteral("Consomation Comité|-4|21")}, 0, 0, 4},
        CompensationCase{"FeeCancellationTakesTheWholeTotal", kMixed,
                         [](Ticket& t) { t.payRefereeFee(2.345); t.cancelRefereeFee(); },
                         {"Frais d'arbitrage|-2.35|0", "Annulation Arbitrage|-3.15|0"}, 0, 1.5, 4},
        CompensationCase{"CancelOrderLeavesTheFee", {{2.0, 21, 1}},
                         [](Ticket& t) { t.payRefereeFee(25); t.cancelOrder(); },
                         {"Frais d'arbitrage|-25|0", "Annulation commande|-2|21"}, -25, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// "Annul. boisson" books back the row the sales table stands on, for the
// rates 6 and 21 only.
TEST_F(TicketTest, CancelDrinkBooksBackTheCurrentRowOfRateSixOrTwentyOne) {
    ticket_.sellArticle(QStringLiteral("Biere"), 2.0, 21, 1);
    ticket_.sellArticle(QStringLiteral("Cola"), 1.5, 6, 1);
    ticket_.sellArticle(QStringLiteral("Vin"), 3.1, 12, 1);
    ticket_.payRefereeFee(25);
    const struct {
        const char* selected;
        bool booked;
        double total, vat6, vat21;
    } cases[] = {{"Biere", true, -20.4, 1.5, 3.1},
                 {"Cola", true, -21.9, 0, 3.1},
                 {"Vin", false, -21.9, 0, 3.1},
                 {"Frais d'arbitrage", false, -21.9, 0, 3.1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selected);
        const int before = salesRows().size();
        for (sales_.First(); sales_.FieldByName("LIBELLE")->AsString() != c.selected; sales_.Next()) {}
        const double price = sales_.FieldByName("PRIX")->AsFloat();
        EXPECT_EQ(ticket_.cancelDrink(), c.booked);
        const QStringList rows = salesRows();
        ASSERT_EQ(rows.size(), before + (c.booked ? 1 : 0));
        if (c.booked) {
            EXPECT_EQ(rows.last().section('|', 2, 3),
                      QStringLiteral("Annulation Consomation|%1").arg(-price));
        }
        EXPECT_EQ(ticket_.TotalTicket, c.total);
        EXPECT_EQ(ticket_.TotalTVA6, c.vat6);
        EXPECT_EQ(ticket_.TotalTVA21, c.vat21);
    }
    // A view without a row books nothing.
    sales_.setFilter(QStringLiteral("Ticket = 'none'"));
    sales_.First();
    EXPECT_FALSE(ticket_.cancelDrink());
}

TEST_F(TicketTest, ARowTheTableRefusesIsDroppedAndTheNextBookingGoesThrough) {
    ticket_.sellArticle(QStringLiteral("Biere"), 2.0, 21, 1);
    EXPECT_THROW(ticket_.payRefereeFee(100000000), EApolloError);  // wider than PRIX
    EXPECT_EQ(sales_.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(ticket_.TotalTicket, 2.0);
    ticket_.payRefereeFee(25);
    EXPECT_EQ(salesRows(), QStringList({"41|Caissier1|Biere|2|21", "41|Caissier1|Frais d'arbitrage|-25|0"}));
    EXPECT_EQ(ticket_.TotalTicket, -23.0);
}

TEST(TicketRules, QuantityIsAWholeNumber) {
    const std::vector<std::pair<QString, std::optional<int>>> cases = {
        {"3", 3}, {"0", 0}, {"-2", -2}, {" 7", 7}, {"abc", {}}, {"1.5", {}}, {"", {}}, {"3 ", {}}};
    for (const auto& [typed, expected] : cases) {
        SCOPED_TRACE(typed.toStdString());
        if (expected) {
            EXPECT_EQ(quantityOf(typed), *expected);
        } else {
            try {
                quantityOf(typed);
                ADD_FAILURE() << "accepted";
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.message(), ConvertText::kNotInteger.arg(typed));
            }
        }
    }
}

TEST(TicketRules, TicketNumberAdvance) {
    const std::vector<std::pair<QString, int>> cases = {
        {"41", 42}, {"999", 1000}, {" 7", 8}, {"000123", 124}, {"999999", 1}, {"", 1}};
    for (const auto& [stored, next] : cases) EXPECT_EQ(nextTicketNumber(stored), next) << stored.toStdString();
    EXPECT_THROW(nextTicketNumber(QStringLiteral("x")), EConvertError);
}

TEST(TicketRules, FilterText) {
    EXPECT_EQ(ticketFilter(QStringLiteral("41")), QStringLiteral("Ticket = '41'"));
    EXPECT_EQ(ticketFilter(QString()), QStringLiteral("Ticket = ''"));
}

TEST_F(TicketTest, ChangeDue) {
    ticket_.sellArticle(QStringLiteral("Bière"), 2.5, 21, 1);
    const std::vector<std::pair<QString, double>> cases = {
        {"5", 2.5}, {"0", -2.5}, {"2,5", 0}, {"2.5", 0}, {" 10 ", 7.5}};
    for (const auto& [received, change] : cases)
        EXPECT_DOUBLE_EQ(ticket_.changeDue(received), change) << received.toStdString();
    EXPECT_THROW(ticket_.changeDue(QStringLiteral("dix")), EConvertError);
}

TEST_F(TicketTest, ClosingAdvancesRecordsAndClears) {
    ticket_.sellArticle(QStringLiteral("Bière"), 2.0, 21, 2);
    ticket_.PaiementRES = true;
    ticket_.NomRES = QStringLiteral("Durand");
    ticket_.NumCarteRES = QStringLiteral("123");
    EXPECT_EQ(ticket_.close(QDate(2024, 3, 9)), QStringLiteral("42"));

    EXPECT_EQ(settings_.FieldByName("NUMTICKET")->AsString(), QStringLiteral("42"));
    payments_.First();
    EXPECT_EQ(payments_.FieldByName("NOM")->AsString(), QStringLiteral("Durand"));
    EXPECT_EQ(payments_.FieldByName("DATEACHAT")->AsDate(), QDate(2024, 3, 9));
    EXPECT_EQ(payments_.FieldByName("MONTANT")->AsFloat(), 4.0);
    EXPECT_EQ(ticket_.TotalTicket + ticket_.TotalTVA6 + ticket_.TotalTVA21, 0);
    EXPECT_FALSE(ticket_.PaiementRES);
    EXPECT_TRUE(ticket_.NomRES.isEmpty() && ticket_.NumCarteRES.isEmpty());
    EXPECT_EQ(ticket_.FiltreVente, QStringLiteral("Ticket = '42'"));
    sales_.First();
    EXPECT_TRUE(sales_.Eof()) << "the new ticket shows no row yet";
}

TEST_F(TicketTest, ANumberThatIsNotAnIntegerChangesNothing) {
    setNumber(QStringLiteral("x"));
    EXPECT_THROW(ticket_.close(QDate::currentDate()), EConvertError);
    EXPECT_EQ(settings_.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(settings_.FieldByName("NUMTICKET")->AsString(), QStringLiteral("x"));
    EXPECT_EQ(payments_.RecordCount(), 0);
}

}  // namespace

namespace {

// A looked-up ticket is shown, its rows only, while bookings still go to the
// ticket being entered and count from the row just posted; dropping the card
// payment keeps the member's name for the receipt.
TEST_F(TicketTest, ALookedUpTicketIsShownWhileTheOpenOneIsBooked) {
    ticket_.sellArticle(QStringLiteral("Biere"), 2, 21, 2);
    ticket_.close(QDate::currentDate());
    ticket_.showTicket(QStringLiteral("41"));
    EXPECT_EQ(ticket_.FiltreVente, QStringLiteral("Ticket = '41'"));
    ticket_.sellArticle(QStringLiteral("Vin"), 3.5, 21, 2);
    EXPECT_EQ(ticket_.TotalTicket, 7.0);
    QStringList shown;
    for (sales_.First(); !sales_.Eof(); sales_.Next()) shown << sales_.FieldByName("LIBELLE")->AsString();
    EXPECT_EQ(shown, QStringList({"Biere", "Biere"}));
    ticket_.chooseMember({QStringLiteral("Dupont"), QStringLiteral("12"), {}, {}});
    ticket_.dropCardPayment();
    EXPECT_FALSE(ticket_.PaiementRES);
    EXPECT_EQ(ticket_.NomRES, QStringLiteral("Dupont"));
}

}  // namespace
