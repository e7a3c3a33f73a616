// The version text of a program file, read from the version record that the
// build links into our executables (Windows VS_VERSIONINFO layout, in the ELF
// section ".fileversion"). The about box and three printouts show it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

// The FileVersion string of the named file's record, looked up under its
// first translation pair; empty when the file is missing, unreadable or has
// no record. A name without a folder is looked for in the program's folder,
// then in the working folder.
QString FileVersion(const QString& fileName);

// The version text of the running program's own file, as the about box and
// the printouts show it.
QString programFileVersion();

// The program's title: its file name without folder, cut before the first
// dot, its first character as it stands and the others lower case ("caisse"
// stays "caisse").
QString applicationTitle();
QString programTitle(const QString& programFilePath);

// The file that `fileName` names: letter case is ignored, and a name ending
// in ".exe" also matches the file without it. Empty when there is none.
QString findProgramFile(const QString& fileName);

// The raw bytes of the ".fileversion" section of the ELF image in `image`,
// empty when it has none or its headers are damaged.
QByteArray readVersionSection(QIODevice& image);

// The FileVersion string of a VS_VERSIONINFO record, empty when absent.
QString recordFileVersion(QByteArrayView record);
