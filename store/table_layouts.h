// The record layouts of the six tables of a data folder: what the installer
// writes and what the windows declare their fields from.
#pragma once

#include <QString>
#include <initializer_list>
#include <vector>

class TApolloTable;

struct TableLayout {
    const char* file;
    const char* fields;  // NAME,TYPE,WIDTH,DECIMALS;...
};

const std::vector<TableLayout>& tableLayouts();

// Writes a new empty table file at `path` with `fields` (NAME,TYPE,WIDTH,
// DECIMALS;...); throws EApolloError with the engine's reason when it
// cannot. Only the data-folder installer makes tables.
void createTable(const QString& path, const char* fields);

// Declares on `table` (whose TableName is set) the named fields, in the
// order given, with the type and width of the table's layout.
void declareFields(TApolloTable* table, std::initializer_list<const char*> names);
