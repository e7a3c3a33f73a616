// The engine-wide settings that every table handle follows (the main
// window's ApolloEnv1): four-digit years, deleted rows hidden, the epoch.
#pragma once

#include <QObject>

class TApolloEnv : public QObject {
    Q_OBJECT
public:
    explicit TApolloEnv(QObject* parent = nullptr) : QObject(parent) {}

    // Each switches the engine, then re-reads every open handle.
    void setCentury(bool on);
    void setDeleted(bool on);
    void setEpoch(int year);
    bool Century() const { return current().century; }
    bool Deleted() const { return current().deleted; }
    int Epoch() const { return current().epoch; }

    // What the handles hand to the engine at each open.
    struct Settings {
        bool century = false;
        bool deleted = false;
        int epoch = 1980;
    };
    static Settings& current();

signals:
    // The short date format of the program follows this (dd/MM/yy <-> dd/MM/yyyy).
    void centuryChanged(bool on);
};
