#include "reports/sales_by_label.h"

void LabelRuns::add(const QString& label, const QDate& date) {
    if (runs_.empty() || runs_.back().label != label)
        runs_.push_back({label, date, 1});
    else
        ++runs_.back().count;
}
