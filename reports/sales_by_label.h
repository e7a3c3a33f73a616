// The counting behind the sales by article, without a table: sale rows
// taken in label order make one run per change of label, with the label and
// date of the run's first row and the number of rows in it.
#pragma once

#include <QDate>
#include <QString>
#include <vector>

struct LabelRun {
    QString label;
    QDate date;
    int count = 0;
    bool operator==(const LabelRun&) const = default;
};

class LabelRuns {
public:
    // The next sale row in label order. A label that differs from the
    // previous row's, even by letter case only, starts a run.
    void add(const QString& label, const QDate& date);
    const std::vector<LabelRun>& runs() const { return runs_; }

private:
    std::vector<LabelRun> runs_;
};
