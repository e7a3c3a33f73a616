// Program start: the index files the main window builds, the error boxes of
// a failed creation step, and the tables whose absence stops the start.
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <filesystem>

#include "app/menu.h"
#include "store/table_layouts.h"
#include "tests/support/program_fixture.h"
#include "store/apollo_errors.h"
#include "till/caisse.h"

namespace {

const QStringList kIndexes = {"vente.ntx", "ticket.ntx", "consomation.ntx", "ordre.ntx",
                              "PtsRES.ntx"};

std::filesystem::file_time_type written(const QString& file) {
    return std::filesystem::last_write_time(file.toStdString());
}

}  // namespace

TEST_F(ProgramTest, FreshFolderGetsTheFiveIndexesInOrderAndTheTillOpensThem) {
    install();
    start();
    EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
    for (int i = 0; i < kIndexes.size(); ++i) {
        ASSERT_TRUE(exists(kIndexes[i])) << kIndexes[i].toStdString();
        if (i > 0) {
            EXPECT_LE(written(path(kIndexes[i - 1])), written(path(kIndexes[i])));
        }
    }
    EXPECT_FALSE(exists("membre.ntx"));  // the member window builds that one
    TFCaisse* till = program().FCaisse;
    EXPECT_TRUE(till->ATVente->Active());
    EXPECT_TRUE(till->ATConsomation->Active());
    EXPECT_TRUE(till->ATPtsRes->Active());
    // The main window's handles are only used to build, then closed.
    EXPECT_FALSE(program().FMenu->ATVente->Active());
}

TEST_F(ProgramTest, OnlyTheMissingIndexIsBuiltAndTheUniqueOneListsEachTicketOnce) {
    install();
    {
        TApolloTable sales("ATVente");
        sales.setTableName("Vente.dbf");
        sales.Open();
        for (const char* ticket : {"1", "1", "2", "2", "2", "3"}) {
            sales.Insert();
            sales.FieldByName("TICKET")->setAsString(ticket);
            sales.Post();
        }
    }
    start();
    program_.reset();
    const auto ticketWritten = written(path("ticket.ntx"));
    QFile::remove(path("vente.ntx"));
    start();
    EXPECT_EQ(written(path("ticket.ntx")), ticketWritten);
    TApolloTable sales("ATVente");
    sales.setTableName("Vente.dbf");
    sales.Open();
    sales.OpenIndex("vente.ntx");
    QStringList tickets;
    for (sales.First(); !sales.Eof(); sales.Next()) tickets << sales.FieldByName("TICKET")->AsString();
    EXPECT_EQ(tickets, QStringList({"1", "2", "3"}));
}

TEST_F(ProgramTest, AllIndexesPresentMeansTheMainWindowOpensNoTable) {
    install();
    start();
    program_.reset();
    // Without the sales table, any open by the main window would say so.
    QFile::remove(path("Vente.dbf"));
    dialogs_.errors.clear();
    start();
    // Only the till and the cash float window open the sales table.
    EXPECT_EQ(dialogs_.errors.size(), 2) << dialogs_.errors.join("|").toStdString();
}

TEST_F(ProgramTest, MissingSalesTableShowsErrorBoxesAndStartGoesOn) {
    install();
    QFile::remove(path("Vente.dbf"));
    start();
    // The main window stops at its first index; the till and the cash float
    // window fail to open the sales table; the two report hosts then miss
    // the indexes that were not built.
    ASSERT_EQ(dialogs_.errors.size(), 5) << dialogs_.errors.join("|").toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(dialogs_.errors[i].startsWith(ApolloText::kTableDoesNotExist) &&
                    dialogs_.errors[i].endsWith("vente.dbf", Qt::CaseInsensitive));
    EXPECT_TRUE(dialogs_.errors[3].contains(IndexFile::kArticleOrder));
    EXPECT_TRUE(dialogs_.errors[4].contains("PtsRES.ntx"));
    EXPECT_FALSE(exists("consomation.ntx"));  // the rest of the step was skipped
    EXPECT_NE(program().FImpartcom, nullptr);  // the last window was made
}

TEST_F(ProgramTest, MissingMemberTableStopsTheStart) {
    install();
    QFile::remove(path("Membre.DBF"));
    try {
        start();
        FAIL() << "start-up went on";
    } catch (const AppError& e) {
        EXPECT_TRUE(e.message().startsWith(ApolloText::kTableDoesNotExist)) << e.message().toStdString();
    }
}

TEST_F(ProgramTest, ApplicationShowsAnErrorALetThroughHandlerRaises) {
    struct Thrower : QObject {
        bool event(QEvent*) override { throw AppError("Quelque chose a échoué"); }
    } thrower;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&thrower, &event);
    EXPECT_EQ(dialogs_.errors, QStringList({QStringLiteral("Quelque chose a échoué")}));
}
