// A copy of a file that can stand in for it: written in full under a
// temporary name in the target's folder, flushed to disk, compared byte for
// byte with the original, and only then given its name, which it never takes
// from an existing file. The folder is flushed too, so that the name
// survives a power cut. Nothing is left behind when any step fails.
#pragma once

#include <QString>

// Copies `source` to `target`. Returns false, with the reason in `why`,
// when the copy could not be made complete and named; `target` is then
// not created (an existing `target` is never touched).
bool archiveCopy(const QString& source, const QString& target, QString* why = nullptr);

// Whether the two files hold the same bytes (false when either cannot be
// read).
bool sameFileBytes(const QString& a, const QString& b);

// For tests: the copy's writes fail as on a full disk once `bytes` bytes
// have been written (a negative value lifts the limit).
void setArchiveWriteLimit(long long bytes);
