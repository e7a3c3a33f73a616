// Writes the six tables that a data folder of the till needs, optionally
// with a demo price list, members and cash float. Never overwrites a table.
#pragma once

#include <QString>
#include <QStringList>

struct InstallResult {
    bool ok = false;
    QString message;  // what was written, or why nothing was
};

// The engine library must be loaded (SdeLibrary::load).
InstallResult installDataFolder(const QString& folder, bool demo);

// The table files, as the program writes their names.
QStringList dataTableNames();
