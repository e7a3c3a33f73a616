// A table read straight from its bytes, so that a test's checks share
// nothing with the program's table layer: the header's count and sizes, the
// field descriptors, and each record's fields as text.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <map>
#include <utility>

#include "store/file_names.h"

struct DbfFile {
    QByteArray bytes;
    int count = 0, header = 0, size = 0;
    std::map<QString, std::pair<int, int>> fields;  // name: offset, width

    explicit DbfFile(const QString& file) {
        QFile f(findFileAnyCase(QDir::current().filePath(file)));
        if (!f.open(QIODevice::ReadOnly) || (bytes = f.readAll()).size() < 32) return;
        auto le = [&](int at, int n) {
            int v = 0;
            for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
            return v;
        };
        count = le(4, 4), header = le(8, 2), size = le(10, 2);
        for (int at = 32, offset = 1; at + 32 <= header && bytes[at] != '\r'; at += 32) {
            const int width = static_cast<unsigned char>(bytes[at + 16]);
            fields[QString::fromLatin1(bytes.mid(at, 11).constData())] = {offset, width};
            offset += width;
        }
    }
    QByteArray record(int row) const { return bytes.mid(header + row * size, size); }
    QByteArray records(int rows) const { return bytes.mid(header, rows * size); }
    bool deleted(int row) const { return record(row).startsWith('*'); }
    QString text(int row, const char* field) const {
        const auto [offset, width] = fields.at(QLatin1String(field));
        QString t = QString::fromLatin1(record(row).mid(offset, width));
        while (t.endsWith(QLatin1Char(' '))) t.chop(1);
        return t;
    }
    double number(int row, const char* field) const { return text(row, field).trimmed().toDouble(); }
};

