// File names written in any letter case denote one file: "Ptsres.DBF",
// "PTSRES.dbf" and "ptsres.dbf" are the same table.
#pragma once

#include <QString>

// The existing file whose name matches without regard to case (the exact
// name first), or an empty text when there is none: the engine's rule
// (file_any_case.h), which opens the files by these names.
QString findFileAnyCase(const QString& path);
inline bool fileExistsAnyCase(const QString& path) { return !findFileAnyCase(path).isEmpty(); }
