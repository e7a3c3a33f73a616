#include "store/apollo_env.h"

#include "store/apollo_table.h"
#include "store/sde_api.h"
#include "store/sde_binding.h"

TApolloEnv::Settings& TApolloEnv::current() {
    static Settings settings;
    return settings;
}

void TApolloEnv::setCentury(bool on) {
    current().century = on;
    sde().sx_SetCentury(on ? 1 : 0);
    emit centuryChanged(on);
    for (TApolloTable* t : TApolloTable::openHandles()) t->applySettings();
}

void TApolloEnv::setDeleted(bool on) {
    current().deleted = on;
    sde().sx_SetDeleted(on ? 1 : 0);
    for (TApolloTable* t : TApolloTable::openHandles()) t->applySettings();
}

void TApolloEnv::setEpoch(int year) {
    current().epoch = year;
    sde().sx_SetEpoch(year);
}
