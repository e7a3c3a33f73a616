#include "file_check.h"

#include <algorithm>
#include <cctype>

#include "dbf_table.h"
#include "errors.h"
#include "ntx_index.h"
#include "work_area.h"

namespace sde {
namespace {

// The bytes of one field as a dBase program writes them.
bool fieldReadable(const FieldInfo& f, const unsigned char* p) {
    auto all = [&](auto ok) { return std::all_of(p, p + f.width, ok); };
    switch (f.type) {
        case 'N':
            return all([](unsigned char c) { return c == ' ' || c == '.' || c == '-' || std::isdigit(c); });
        case 'D':
            return all([](unsigned char c) { return c == ' '; }) ||
                   all([](unsigned char c) { return std::isdigit(c) != 0; });
        case 'L':
            return std::string("TtFfYyNn ?").find(static_cast<char>(*p)) != std::string::npos;
        default:
            return true;
    }
}


}  // namespace

std::string checkTable(const std::string& tablePath) {
    try {
        auto t = DbfTable::open(tablePath, DbfTable::Mode::ReadOnly);
        for (uint32_t r = 1; r <= t->recordCount(); ++r) {
            const unsigned char* image = t->cachedRecord(r);
            if (image[0] != ' ' && image[0] != kDbfDeletedFlag)
                return "enregistrement " + std::to_string(r) + " : marque d'effacement illisible";
            for (const FieldInfo& f : t->fields())
                if (!fieldReadable(f, image + f.offset))
                    return "enregistrement " + std::to_string(r) + " : champ " + f.name + " illisible";
        }
    } catch (const EngineError& e) {
        return std::string("illisible (") + e.what() + ")";
    }
    return "";
}

std::string checkIndex(const std::string& tablePath, const std::string& indexPath, bool* keyCompiles) {
    if (keyCompiles) *keyCompiles = false;
    try {
        auto t = DbfTable::open(tablePath, DbfTable::Mode::ReadOnly);
        // Whether the index belongs to the table: its key, which a damaged
        // header may still name, reads the table's fields.
        try {
            Expression::compile(NtxIndex::readDefinition(indexPath).keyExpr, t->fields());
        } catch (const ExpressionError&) {
            return "clé sans rapport avec la table";
        }
        if (keyCompiles) *keyCompiles = true;
        auto ix = NtxIndex::open(indexPath, false, false, t->fields());
        // What the index must hold: the key of every row that passes its
        // condition, in key order, equal keys in record order; one per key
        // when unique.
        struct Entry {
            std::string key;
            uint32_t recno;
        };
        std::vector<Entry> want;
        WorkArea::TableRecords rows(*t);
        const unsigned char* image;
        uint32_t recno;
        while (rows.next(&image, &recno))
            if (ix->passesFor(image, recno)) want.push_back({ix->makeKey(image, recno, true), recno});
        std::stable_sort(want.begin(), want.end(), [&](const Entry& a, const Entry& b) {
            int c = ix->compareKeys(reinterpret_cast<const unsigned char*>(a.key.data()),
                                    reinterpret_cast<const unsigned char*>(b.key.data()), a.key.size());
            return c != 0 ? c < 0 : a.recno < b.recno;
        });
        if (ix->header().unique)
            want.erase(std::unique(want.begin(), want.end(),
                                   [](const Entry& a, const Entry& b) { return a.key == b.key; }),
                       want.end());
        const uint64_t entries = ix->countEntries();
        std::string structure = ix->checkStructure(entries);
        if (!structure.empty()) return "index endommagé (" + structure + ")";
        if (entries < want.size())
            return "index périmé (" + std::to_string(want.size() - entries) + " clés manquantes)";
        if (entries > want.size())
            return "index périmé (" + std::to_string(entries - want.size()) + " clés en trop)";
        NtxCursor c;
        size_t i = 0;
        for (bool ok = ix->first(c); ok; ok = ix->next(c), ++i) {
            if (c.recno < 1 || c.recno > t->recordCount())
                return "index endommagé (enregistrement " + std::to_string(c.recno) + " absent de la table)";
            std::string rowKey = ix->makeKey(t->cachedRecord(c.recno), c.recno, true);
            if (rowKey != c.key)
                return "index périmé (la clé de l'enregistrement " + std::to_string(c.recno) +
                       " ne correspond plus)";
            if (!ix->header().unique && (i >= want.size() || want[i].recno != c.recno))
                return "index périmé (enregistrement " + std::to_string(c.recno) + " mal placé ou en trop)";
        }
        if (i != want.size()) return "index périmé (" + std::to_string(want.size() - i) + " clés manquantes)";
    } catch (const EngineError& e) {
        return std::string("index endommagé (") + e.what() + ")";
    }
    return "";
}

void rebuildIndex(const std::string& tablePath, const std::string& indexPath) {
    WorkArea wa("CHECK", DbfTable::open(tablePath, DbfTable::Mode::Exclusive), AreaSettings{});
    wa.openIndex(indexPath);
    wa.reindex();
}

}  // namespace sde
