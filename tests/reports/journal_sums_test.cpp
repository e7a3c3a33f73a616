// What the journal and the sales by article add up, without a table or a
// page: the sums by rate, the printed figures, and the runs of labels.
#include <gtest/gtest.h>

#include "reports/journal_sums.h"
#include "reports/sales_by_label.h"

namespace {

struct Row {
    double price, vat;
};

TEST(JournalSums, RowsInFiguresOut) {
    const struct {
        const char* name;
        std::vector<Row> rows;
        double cashFloat, sales, fees, inTill, at6, at21, beforeVat6, beforeVat21;
    } cases[] = {
        {"none", {}, 150, 0, 0, 150, 0, 0, 0, 0},
        {"both rates", {{2.5, 21}, {2, 6}, {2.5, 21}}, 0, 7, 0, 7, 2, 5, 2 / 1.06, 5 / 1.21},
        // A fee is paid out of the till: not a sale, but less in the till.
        {"a referee fee", {{4, 21}, {-25, 0}}, 100, 4, 25, 79, 0, 4, 0, 4 / 1.21},
        // Another rate is a sale of no VAT column.
        {"a rate of 12", {{3.1, 12}, {1.2, 6}}, 0, 4.3, 0, 4.3, 1.2, 0, 1.2 / 1.06, 0},
        {"compensations", {{2, 21}, {-2, 21}, {1.5, 6}, {-1.5, 6}}, 20, 0, 0, 20, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JournalSums sums;
        for (const Row& r : c.rows) sums.count(r.price, r.vat);
        EXPECT_DOUBLE_EQ(sums.sales(), c.sales);
        EXPECT_DOUBLE_EQ(sums.fees(), c.fees);
        EXPECT_DOUBLE_EQ(sums.expectedInTill(c.cashFloat), c.inTill);
        EXPECT_DOUBLE_EQ(sums.CumulTVA6, c.at6);
        EXPECT_DOUBLE_EQ(sums.CumulTVA21, c.at21);
        EXPECT_DOUBLE_EQ(sums.beforeVat6(), c.beforeVat6);
        EXPECT_DOUBLE_EQ(sums.beforeVat21(), c.beforeVat21);
    }
}

TEST(LabelRuns, OneRunPerChangeOfLabelWithItsFirstDate) {
    const QDate d1(2026, 12, 1), d2(2026, 12, 2);
    const struct {
        const char* name;
        std::vector<std::pair<const char*, QDate>> rows;
        std::vector<LabelRun> runs;
    } cases[] = {
        {"no sale", {}, {}},
        {"one label", {{"Biere", d2}, {"Biere", d1}}, {{"Biere", d2, 2}}},
        {"label order", {{"Biere", d1}, {"Cola", d2}, {"Cola", d1}}, {{"Biere", d1, 1}, {"Cola", d2, 2}}},
        // The case of a letter makes another run, as the rows come.
        {"letter case", {{"BIERE", d1}, {"Biere", d1}, {"BIERE", d2}},
         {{"BIERE", d1, 1}, {"Biere", d1, 1}, {"BIERE", d2, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LabelRuns runs;
        for (const auto& [label, date] : c.rows) runs.add(QString::fromLatin1(label), date);
        EXPECT_EQ(runs.runs(), c.runs);
    }
}

}  // namespace
