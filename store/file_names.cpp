#include "store/file_names.h"

#include <QFile>

#include "file_any_case.h"

// The engine's own lookup, on the names as the system stores them.
QString findFileAnyCase(const QString& path) {
    const std::string found = sde::findFileAnyCase(QFile::encodeName(path).toStdString());
    return QFile::decodeName(QByteArray::fromStdString(found));
}
