#include "ui/report_host.h"

TApolloTable* TReportHost::table(const char* name, const char* file) {
    auto* t = new TApolloTable(QString::fromLatin1(name), this);
    t->setTableName(QString::fromLatin1(file));
    return t;
}
