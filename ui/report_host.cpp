#include "ui/report_host.h"

TApolloTable* TReportHost::table(const char* name, const QString& file) {
    auto* t = new TApolloTable(QString::fromLatin1(name), this);
    t->setTableName(file);
    return t;
}
