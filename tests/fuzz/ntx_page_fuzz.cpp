// Fuzz target: any bytes as an index file of a fixed table whose fields
// cover every key expression of the golden indexes. Walking it both ways,
// seeking, checking it, moving a work area in its order and changing keys
// must either work or throw EngineError. When the input passes
// checkStructure, the engine's own changes must keep it sound.
//
// Build: CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DSDE_FUZZ=ON
// Run:   build-fuzz/bin/ntx_page_fuzz CORPUS SEEDS -max_len=65536 -max_total_time=120
//        (SEEDS: a folder with copies of the small golden *.NTX files)
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "../store_engine/memory_file.h"
#include "dbf_table.h"
#include "errors.h"
#include "ntx_index.h"
#include "work_area.h"

using namespace sde;

namespace {

const std::string kTable = "/mem/FUZZ.DBF";
const std::string kIndex = "/mem/FUZZ.NTX";
constexpr size_t kMaxSteps = 20000;  // a damaged tree may loop; bound every walk

const test::Bytes& tableBytes() {
    static const test::Bytes bytes = [] {
        test::MemoryFiles files;
        DbfTable::create(kTable, {{"NOM", 'C', 0, 40, 0}, {"LIBELLE", 'C', 0, 30, 0},
                                  {"PRIX", 'N', 0, 8, 2}, {"TICKET", 'C', 0, 6, 0},
                                  {"DATE", 'D', 0, 8, 0}, {"TIME", 'C', 0, 5, 0},
                                  {"ORDRE", 'C', 0, 2, 0}, {"AMOUNT", 'N', 0, 8, 2},
                                  {"QTY", 'N', 0, 5, 0}, {"DAY", 'D', 0, 8, 0},
                                  {"FLAG", 'L', 0, 1, 0}, {"NOTE", 'C', 0, 6, 0}});
        auto t = DbfTable::open(kTable, DbfTable::Mode::Exclusive);
        for (int r = 1; r <= 40; ++r) {
            std::vector<unsigned char> row = t->blankRecord();
            for (const FieldInfo& f : t->fields()) {
                std::string v = std::to_string((r * 7919) % 1000);
                if (f.type == 'D') v = "2024" + std::to_string(10 + r % 3) + std::to_string(10 + r % 19);
                if (f.type == 'L') v = r % 2 ? "T" : "F";
                std::memcpy(row.data() + f.offset, v.data(), std::min<size_t>(v.size(), f.width));
            }
            t->appendRecord(row.data());
        }
        t.reset();
        return files.get(kTable);
    }();
    return bytes;
}

// A broken promise of the engine: say which, then stop for libFuzzer.
[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "ntx_page_fuzz: %s\n", what.c_str());
    __builtin_trap();
}

struct Entry {
    std::string key;
    uint32_t recno;
};

// Reads the whole index; traps when a sound tree does not read consistently.
std::vector<Entry> readIndex(const std::vector<FieldInfo>& fields, bool* sound) {
    auto ix = NtxIndex::open(kIndex, false, false, fields);
    std::vector<Entry> entries;
    NtxCursor c;
    for (bool ok = ix->first(c); ok && entries.size() < kMaxSteps; ok = ix->next(c))
        entries.push_back({c.key, c.recno});
    size_t backwards = 0;
    for (bool ok = ix->last(c); ok && backwards < kMaxSteps; ok = ix->prev(c)) ++backwards;
    *sound = ix->checkStructure(entries.size()).empty() && ix->header().freeHead == 0;
    if (*sound && backwards != entries.size()) fail("walks both ways differ");
    for (size_t i = 0; i < entries.size() && i < 64; ++i) {
        const Entry& e = entries[i * 7 % entries.size()];
        bool found = ix->find(c, e.key, e.recno);
        bool sought = ix->seek(c, e.key, e.key.size()) && c.key == e.key;
        (void)ix->seek(c, e.key, 1);
        if (*sound && !(found && sought)) fail("an entry of a sound index is not found");
    }
    (void)ix->seek(c, std::string(ix->header().keySize, '\xff'), ix->header().keySize);
    return entries;
}

void walkWorkArea() {
    WorkArea wa("FUZZ", DbfTable::open(kTable, DbfTable::Mode::Shared), AreaSettings{});
    wa.openIndex(kIndex);
    size_t steps = 0;
    for (wa.goTop(); !wa.eof() && steps < kMaxSteps; wa.skip(1)) ++steps;
    steps = 0;
    for (wa.goBottom(); !wa.eof() && !wa.bof() && steps < kMaxSteps; wa.skip(-1)) ++steps;
    wa.seek("1");
}

// Inserts enough keys to split pages (and the root), then takes them out
// again with some of the original entries, so that pages merge.
void changeKeys(const std::vector<FieldInfo>& fields, const std::vector<Entry>& entries,
                bool sound, uint32_t seed) {
    auto ix = NtxIndex::open(kIndex, true, true, fields);
    const size_t keySize = ix->header().keySize;
    const size_t adds = std::min<size_t>(2u * ix->header().maxKeys + 3, 200);
    std::vector<Entry> added;
    for (size_t i = 0; i < adds; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::string key = entries.empty() ? std::string(keySize, ' ') : entries[seed % entries.size()].key;
        key[seed % keySize] = static_cast<char>('0' + (seed >> 8) % 43);
        added.push_back({key, 100000 + static_cast<uint32_t>(i)});
        ix->insert(key, added.back().recno);
    }
    // A unique index skips keys it holds already.
    uint64_t expected = ix->header().unique ? ix->countEntries() : entries.size() + adds;
    if (sound) {
        std::string problem = ix->checkStructure(expected);
        if (!problem.empty()) fail("after inserts: " + problem);
    }
    for (size_t i = 0; i < added.size(); i += 2)
        if (ix->remove(added[i].key, added[i].recno)) --expected;
    for (size_t i = 1; i < added.size(); i += 2)
        if (ix->remove(added[i].key, added[i].recno)) --expected;
    for (size_t i = 0; i < entries.size() && i < 100; i += 2)
        if (ix->remove(entries[i].key, entries[i].recno)) --expected;
    if (sound) {
        std::string problem = ix->checkStructure(expected);
        if (!problem.empty()) fail("after removals: " + problem);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const test::Bytes& table = tableBytes();  // before `files`: it installs an opener of its own
    test::MemoryFiles files;
    files.put(kTable, table);
    files.put(kIndex, test::Bytes(data, data + size));
    std::vector<FieldInfo> fields = DbfTable::open(kTable, DbfTable::Mode::ReadOnly)->fields();
    std::vector<Entry> entries;
    bool sound = false;
    try {
        entries = readIndex(fields, &sound);
    } catch (const EngineError&) {
    }
    try {
        walkWorkArea();
    } catch (const EngineError&) {
    }
    try {
        changeKeys(fields, entries, sound, static_cast<uint32_t>(size));
    } catch (const EngineError&) {
    }
    return 0;
}
