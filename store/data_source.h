// Attaches grids, edit fields, search boxes and report bands to a table
// handle and tells them when its current row, fields or state change.
#pragma once

#include <QObject>
#include <QPointer>

#include "store/apollo_table.h"

class TDataSource : public QObject {
    Q_OBJECT
public:
    explicit TDataSource(QObject* parent = nullptr) : QObject(parent) {}

    TApolloTable* DataSet() const { return dataSet_; }
    void setDataSet(TApolloTable* table);

signals:
    void dataChanged();
    void stateChanged();
    // The handle's Bof and Eof are final after a move (see TApolloTable).
    void positionSettled();
    // Another handle (or none) was attached.
    void dataSetChanged();

private:
    QPointer<TApolloTable> dataSet_;
};
