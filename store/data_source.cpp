#include "store/data_source.h"

void TDataSource::setDataSet(TApolloTable* table) {
    if (dataSet_) disconnect(dataSet_, nullptr, this, nullptr);
    dataSet_ = table;
    if (table) {
        connect(table, &TApolloTable::dataChanged, this, &TDataSource::dataChanged);
        connect(table, &TApolloTable::stateChanged, this, &TDataSource::stateChanged);
        connect(table, &TApolloTable::positionSettled, this, &TDataSource::positionSettled);
    }
    emit dataSetChanged();
    emit dataChanged();
}
