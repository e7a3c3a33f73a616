#include "common/file_version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

#include "store/file_names.h"

namespace {

// ---- The ELF container: every offset, size and count is checked against
// the file before it is used, so a damaged file only means "no record".

constexpr char kSectionName[] = ".fileversion";  // compared with its NUL
constexpr quint64 kMaxRecord = 0xFFFF;           // wLength is 16 bits
constexpr quint64 kNoBits = 8;                   // SHT_NOBITS: no bytes in the file
constexpr quint64 kExtendedIndex = 0xFFFF;       // SHN_XINDEX

// Where the fields sit in the ELF and section headers of either class.
struct ElfLayout {
    qsizetype headerSize, tableOffset, entrySizeField, countField, namesField;
    qsizetype entrySize, name, type, offset, size, link;
    int word;  // width of addresses, offsets and sizes
};
constexpr ElfLayout kElf32{52, 0x20, 0x2E, 0x30, 0x32, 40, 0, 4, 16, 20, 24, 4};
constexpr ElfLayout kElf64{64, 0x28, 0x3A, 0x3C, 0x3E, 64, 0, 4, 24, 32, 40, 8};

// Unsigned fields of a header in the file's byte order; 0 past its end.
struct Fields {
    QByteArrayView data;
    bool bigEndian;
    quint64 at(qsizetype offset, int width) const {
        if (offset < 0 || offset + width > data.size()) return 0;
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | quint8(data[offset + (bigEndian ? i : width - 1 - i)]);
        return value;
    }
};

// `size` bytes at `offset`, or nothing when the range leaves the file.
std::optional<QByteArray> readAt(QIODevice& image, quint64 offset, quint64 size) {
    const quint64 total = quint64(image.size());
    if (offset > total || size > total - offset || !image.seek(qint64(offset)))
        return std::nullopt;
    QByteArray data = image.read(qint64(size));
    if (quint64(data.size()) != size) return std::nullopt;
    return data;
}

// ---- The VS_VERSIONINFO record: nested blocks, each a length, a value
// length, a type (1: text), a UTF-16 key, a value and child blocks, all on
// 32-bit boundaries. Always little-endian.

qsizetype align4(qsizetype at) { return (at + 3) & ~qsizetype(3); }

quint16 word(QByteArrayView r, qsizetype at) {
    return quint16(quint8(r[at]) | quint8(r[at + 1]) << 8);
}

// Reads UTF-16 text from `begin` up to its NUL or `end`; returns where the
// NUL is, or -1 when there is none.
qsizetype readText(QByteArrayView r, qsizetype begin, qsizetype end, QString& text) {
    for (qsizetype at = begin; at + 2 <= end; at += 2) {
        const char16_t c = word(r, at);
        if (c == 0) return at;
        text += QChar(c);
    }
    return -1;
}

struct Block {
    QString key;
    qsizetype valueBegin = 0, valueEnd = 0, childrenBegin = 0, end = 0;
};

// The block at `at`, which must lie within `limit`; nothing when damaged.
std::optional<Block> blockAt(QByteArrayView r, qsizetype at, qsizetype limit) {
    if (at < 0 || limit > r.size() || at + 6 > limit) return std::nullopt;
    const qsizetype length = word(r, at);
    if (length < 6 || length > limit - at) return std::nullopt;
    Block block;
    block.end = at + length;
    const qsizetype keyEnd = readText(r, at + 6, block.end, block.key);
    if (keyEnd < 0) return std::nullopt;
    const qsizetype valueBytes = word(r, at + 2) * (word(r, at + 4) == 1 ? 2 : 1);
    block.valueBegin = std::min(align4(keyEnd + 2), block.end);
    block.valueEnd = std::min(block.valueBegin + valueBytes, block.end);
    block.childrenBegin = std::min(align4(block.valueEnd), block.end);
    return block;
}

// The child of `parent` named `key`; keys match without regard to case.
std::optional<Block> child(QByteArrayView r, const std::optional<Block>& parent,
                           const QString& key) {
    if (!parent) return std::nullopt;
    for (qsizetype at = parent->childrenBegin; at < parent->end;) {
        const auto block = blockAt(r, at, parent->end);
        if (!block) return std::nullopt;
        if (block->key.compare(key, Qt::CaseInsensitive) == 0) return block;
        at = align4(block->end);  // each block is at least 6 bytes: progress
    }
    return std::nullopt;
}

}  // namespace

QByteArray readVersionSection(QIODevice& image) {
    if (!image.isOpen() || image.isSequential()) return {};
    const auto ident = readAt(image, 0, 16);
    if (!ident || !ident->startsWith("\x7f" "ELF")) return {};
    const char elfClass = ident->at(4), encoding = ident->at(5);
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2)) return {};
    const ElfLayout& l = elfClass == 1 ? kElf32 : kElf64;
    const bool big = encoding == 2;

    const auto header = readAt(image, 0, quint64(l.headerSize));
    if (!header) return {};
    const Fields elf{*header, big};
    const quint64 tableOffset = elf.at(l.tableOffset, l.word);
    const quint64 entrySize = elf.at(l.entrySizeField, 2);
    quint64 count = elf.at(l.countField, 2);
    quint64 namesIndex = elf.at(l.namesField, 2);
    if (tableOffset == 0 || entrySize < quint64(l.entrySize)) return {};
    // With very many sections the count and the names index live in section 0.
    if (count == 0 || namesIndex == kExtendedIndex) {
        const auto first = readAt(image, tableOffset, entrySize);
        if (!first) return {};
        const Fields zero{*first, big};
        if (count == 0) count = zero.at(l.size, l.word);
        if (namesIndex == kExtendedIndex) namesIndex = zero.at(l.link, 4);
    }
    const quint64 total = quint64(image.size());
    if (tableOffset > total || count > (total - tableOffset) / entrySize) return {};
    const auto table = readAt(image, tableOffset, count * entrySize);
    if (!table || namesIndex >= count) return {};
    const auto section = [&](quint64 index) {
        return Fields{QByteArrayView(*table).sliced(qsizetype(index * entrySize),
                                                    qsizetype(entrySize)), big};
    };

    const Fields names = section(namesIndex);
    const auto nameTable = readAt(image, names.at(l.offset, l.word), names.at(l.size, l.word));
    if (!nameTable) return {};
    const QByteArrayView wanted(kSectionName, sizeof kSectionName);
    for (quint64 i = 0; i < count; ++i) {
        const Fields s = section(i);
        const quint64 name = s.at(l.name, 4);
        if (name > quint64(nameTable->size()) || nameTable->size() - name < sizeof kSectionName)
            continue;
        if (QByteArrayView(*nameTable).sliced(qsizetype(name), wanted.size()) != wanted) continue;
        if (s.at(l.type, 4) == kNoBits) return {};
        const quint64 size = std::min(s.at(l.size, l.word), kMaxRecord);
        return readAt(image, s.at(l.offset, l.word), size).value_or(QByteArray());
    }
    return {};
}

QString recordFileVersion(QByteArrayView record) {
    const auto root = blockAt(record, 0, record.size());
    if (!root || root->key != u"VS_VERSION_INFO") return {};
    // The strings are looked up under the first language and code page pair.
    const auto translation = child(record, child(record, root, "VarFileInfo"), "Translation");
    if (!translation || translation->valueEnd - translation->valueBegin < 4) return {};
    const QString tableKey = QString::asprintf("%04X%04X", word(record, translation->valueBegin),
                                               word(record, translation->valueBegin + 2));
    const auto strings = child(record, child(record, root, "StringFileInfo"), tableKey);
    const auto entry = child(record, strings, "FileVersion");
    if (!entry) return {};
    QString text;
    readText(record, entry->valueBegin, entry->valueEnd, text);
    return text;
}

QString findProgramFile(const QString& fileName) {
    if (fileName.isEmpty()) return {};
    QStringList names{fileName};
    if (fileName.size() > 4 && fileName.endsWith(u".exe", Qt::CaseInsensitive))
        names << fileName.chopped(4);  // our program files carry no extension
    QStringList folders{QString()};    // a name with a folder is taken as it is
    if (!fileName.contains(u'/'))
        folders = {QCoreApplication::applicationDirPath(), QDir::currentPath()};
    for (const QString& folder : folders) {
        for (const QString& name : names) {
            const QString found = findFileAnyCase(folder.isEmpty() ? name : QDir(folder).filePath(name));
            if (!found.isEmpty()) return found;
        }
    }
    return {};
}

QString FileVersion(const QString& fileName) {
    const QString path = findProgramFile(fileName);
    if (path.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return recordFileVersion(readVersionSection(file));
}

QString programTitle(const QString& programFilePath) {
    QString title = QFileInfo(programFilePath).fileName();
    const qsizetype dot = title.indexOf(u'.');
    if (dot >= 0) title.truncate(dot);
    if (title.isEmpty()) return title;
    // The title keeps the first character as the file name has it and
    // lowers the others: "caisse" stays "caisse", "CAISSE.EXE" is "Caisse".
    return title.left(1) + title.mid(1).toLower();
}

QString applicationTitle() { return programTitle(QCoreApplication::applicationFilePath()); }

QString programFileVersion() { return FileVersion(applicationTitle() + QStringLiteral(".exe")); }
