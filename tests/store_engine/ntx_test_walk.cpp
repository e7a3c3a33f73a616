#include "ntx_test_walk.h"

#include <functional>
#include <set>

#include "test_support.h"

namespace sde::test {

EntryList walkForward(NtxIndex& ix) {
    EntryList out;
    NtxCursor c;
    for (bool ok = ix.first(c); ok; ok = ix.next(c)) out.push_back({c.recno, c.key});
    return out;
}

EntryList walkBackward(NtxIndex& ix) {
    EntryList out;
    NtxCursor c;
    for (bool ok = ix.last(c); ok; ok = ix.prev(c)) out.push_back({c.recno, c.key});
    return out;
}

std::string firstDifference(const EntryList& got, const EntryList& want) {
    for (size_t i = 0; i < got.size() && i < want.size(); ++i)
        if (!(got[i] == want[i]))
            return "entry " + std::to_string(i + 1) + ": got record " +
                   std::to_string(got[i].recno) + " |" + got[i].key + "|, want record " +
                   std::to_string(want[i].recno) + " |" + want[i].key + "|";
    if (got.size() != want.size())
        return "got " + std::to_string(got.size()) + " entries, want " +
               std::to_string(want.size());
    return "";
}

bool TableRows::next(const unsigned char** image, uint32_t* recno) {
    if (++at_ > t_.recordCount()) return false;
    *image = t_.cachedRecord(at_);
    *recno = at_;
    return true;
}

NtxLayout readNtxLayout(const std::string& path) {
    NtxLayout out;
    auto bytes = readAll(path);
    auto get16 = [&](size_t at) { return at + 2 <= bytes.size() ? readLe16(&bytes[at]) : 0u; };
    auto get32 = [&](size_t at) { return at + 4 <= bytes.size() ? readLe32(&bytes[at]) : 0u; };
    if (bytes.size() < 2 * kNtxPageSize || bytes.size() % kNtxPageSize) {
        out.error = "file size " + std::to_string(bytes.size());
        return out;
    }
    out.filePages = static_cast<uint32_t>(bytes.size() / kNtxPageSize);
    out.root = get32(4);
    std::set<uint32_t> seen;
    auto claim = [&](uint32_t off, const char* what) {
        if (off == 0 || off % kNtxPageSize || off >= bytes.size() || !seen.insert(off).second) {
            if (out.error.empty()) out.error = std::string(what) + " page " + std::to_string(off);
            return false;
        }
        return true;
    };
    // Item i of a page, through the slot table.
    auto child = [&](uint32_t page, unsigned i) { return get32(page + get16(page + 2 + 2 * i)); };
    std::function<void(uint32_t, size_t)> visit = [&](uint32_t page, size_t depth) {
        if (depth > 40 || !claim(page, "tree")) return;
        unsigned n = get16(page);
        if (out.levels.size() <= depth) out.levels.resize(depth + 1);
        out.levels[depth].push_back(static_cast<int>(n));
        if (child(page, 0) == 0) return;  // a leaf
        for (unsigned i = 0; i <= n; ++i) visit(child(page, i), depth + 1);
    };
    visit(out.root, 0);
    for (uint32_t f = get32(8); f != 0 && out.error.empty(); f = child(f, 0)) {
        if (!claim(f, "free")) break;
        if (get16(f) != 0) out.error = "free page with keys " + std::to_string(f);
        out.freePages.push_back(f);
    }
    if (out.error.empty() && seen.size() != out.filePages - 1u)
        out.error = std::to_string(out.filePages - 1 - seen.size()) + " pages neither in the tree "
                    "nor on the free list";
    return out;
}

}  // namespace sde::test
