// Helpers shared by the table layer tests: rows written through short-lived
// handles, a view read from first to last row, and what the engine says
// about a work area.
#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <vector>

#include "store/apollo_errors.h"
#include "store/apollo_table.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

struct Sale {
    QString ticket;
    double price = 0;
    QString name = {};
};

// Appends sale rows to Vente.dbf, in the order given.
inline void appendSales(const std::vector<Sale>& sales) {
    TApolloTable t(QStringLiteral("ATFill"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    t.Open();
    for (const Sale& s : sales) {
        t.Insert();
        t.FieldByName("TICKET")->setAsString(s.ticket);
        t.FieldByName("PRIX")->setAsFloat(s.price);
        if (!s.name.isEmpty()) t.FieldByName("NOM")->setAsString(s.name);
        t.Post();
    }
    t.Close();
}

// vente.ntx (unique) and ticket.ntx, both on upper(ticket), built the way
// the main window builds them at start.
inline void createSaleIndexes() {
    TApolloTable t(QStringLiteral("ATIndex"));
    t.setTableName(QStringLiteral("Vente.dbf"));
    t.Open();
    t.CreateIndex(QStringLiteral("vente.ntx"), QStringLiteral("upper(ticket)"), true);
    t.CreateIndex(QStringLiteral("ticket.ntx"), QStringLiteral("upper(ticket)"), false);
    t.CloseIndexes();
    t.Close();
}

// One field over the handle's view, first row to last.
inline QStringList column(TApolloTable& t, const char* field) {
    QStringList values;
    t.First();
    for (int guard = 0; !t.Eof() && guard < 1000; ++guard) {
        values << t.FieldByName(field)->AsString();
        t.Next();
    }
    return values;
}

// The work area of an alias (0 when none) and engine properties of it.
inline int areaOf(const char* alias) { return sde().sx_WorkArea(alias); }
inline long inArea(const char* alias, const std::function<long()>& ask) {
    int previous = sde().sx_Select(areaOf(alias));
    long answer = ask();
    sde().sx_Select(previous);
    return answer;
}
inline long indexCount(const char* alias) {
    return inArea(alias, [] { return sde().sx_SysProp(SDE_PROP_INDEX_COUNT, nullptr); });
}
inline long indexOrder(const char* alias) {
    return inArea(alias, [] { return static_cast<long>(sde().sx_IndexOrd()); });
}

// The message of the AppError that `action` throws ("" when none).
template <class F>
QString errorOf(F&& action) {
    try {
        action();
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}
