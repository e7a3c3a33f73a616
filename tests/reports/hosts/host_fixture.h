// A whole program on a temporary data folder whose report previews are
// caught: each preview's page model is kept, and the preview can be saved
// as a PDF file while it is on screen.
#pragma once

#include <QVariant>
#include <functional>
#include <map>
#include <vector>

#include "reports/engine/preview_window.h"
#include "tests/support/program_fixture.h"
#include "tests/support/report_fixture.h"

// One row to append: field name and value (QString, double or QDate).
using Row = std::map<QString, QVariant>;

class ReportHostTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        hook_ = std::make_unique<PreviewHookScope>([this](TQuickRep&, TPreviewWindow& w) {
            previews.push_back(w.model());
            if (!saveAs.isEmpty()) {
                dialogs_.saveAnswer = saveAs;
                w.saveReport();
                dialogs_.saveAnswer.clear();
            }
        });
    }
    void TearDown() override {
        hook_.reset();
        ProgramTest::TearDown();
    }

    // Appends rows to a table file through a handle of its own, with the
    // index `index` kept up to date when one is named.
    static void append(const QString& file, const std::vector<Row>& rows, const QString& index = {}) {
        TApolloTable t(QStringLiteral("writer"));
        t.setTableName(file);
        t.Open();
        if (!index.isEmpty()) t.OpenIndex(index);
        for (const Row& row : rows) {
            t.Insert();
            for (const auto& [field, value] : row) {
                TField* f = t.FieldByName(field);
                if (value.typeId() == QMetaType::QDate)
                    f->setAsDate(value.toDate());
                else if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Int)
                    f->setAsFloat(value.toDouble());
                else
                    f->setAsString(value.toString());
            }
            t.Post();
        }
    }

    // The one preview the call made.
    PageModel previewOf(const std::function<void()>& call) {
        previews.clear();
        call();
        EXPECT_EQ(previews.size(), 1u);
        EXPECT_TRUE(dialogs_.errors.isEmpty()) << dialogs_.errors.join("|").toStdString();
        return previews.empty() ? PageModel{} : previews.back();
    }

    std::vector<PageModel> previews;
    QString saveAs;  // not empty: each preview is saved there as PDF

private:
    std::unique_ptr<PreviewHookScope> hook_;
};

// The texts of an element over all pages, in print order.
inline QStringList allTextsOf(const PageModel& m, const QString& element) {
    QStringList out;
    for (const ReportPage& p : m.pages) out << p.textsOf(element);
    return out;
}
