// The table handles of this program that have one table file open, closed
// together so that the file can be had exclusively, and opened again as they
// were: same index files in the same order (the last one the order), same
// filter, back on the same row when it is still there.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <vector>

#include "store/apollo_table.h"

class THandlesOnFile {
public:
    // Closes every open handle whose table is the file at `path` (the name
    // matched without regard to case). A row being written is dropped, as
    // Close does.
    explicit THandlesOnFile(const QString& path);

    // Whether `table` was one of the closed handles.
    bool closed(const TApolloTable* table) const;
    // Opens the closed handles again as they were, `except` those listed;
    // each one once. Every handle is tried; the first error is raised after.
    void reopen(const std::vector<const TApolloTable*>& except = {});

    // The same file, whatever the letter case of the names and the folder
    // spelling.
    static bool sameFile(const QString& a, const QString& b);

private:
    struct Closed {
        QPointer<TApolloTable> table;
        QStringList indexes;
        long recno = 0;
        bool reopened = false;
    };
    std::vector<Closed> closed_;
};

// Opens `table` with `indexes` (the last one the order) and goes back to row
// `recno`, or to the next row of the view when it is gone.
void reopenHandle(TApolloTable& table, const QStringList& indexes, long recno);
