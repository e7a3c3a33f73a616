// A window that is never shown: it owns one report, the report's table
// handles and its handlers. Other windows ask it for the report's preview.
#pragma once

#include "store/apollo_table.h"
#include "store/data_source.h"
#include "ui/form.h"

class TReportHost : public TForm {
    Q_OBJECT
public:
    using TForm::TForm;

    // Shows the report in the preview window and returns once the preview
    // is closed. Every host has a report to show: there is no empty default.
    virtual void Preview() = 0;

protected:
    // A handle on `file`, with a data source for the report's bands.
    TApolloTable* table(const char* name, const QString& file);
};
