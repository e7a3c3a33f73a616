#include "store/file_names.h"

#include <QDir>
#include <QFileInfo>

QString findFileAnyCase(const QString& path) {
    QFileInfo exact(path);
    if (exact.isFile()) return path;
    QDir dir = exact.dir();
    const QString name = exact.fileName();
    const auto entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries)
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return dir.filePath(entry);
    return {};
}
