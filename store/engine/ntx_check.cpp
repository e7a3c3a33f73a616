// A structural check of an index file, used by the tests: every page within
// the file, keys in order, all leaves at one depth, no page reached twice,
// and the number of entries.
#include <functional>
#include <set>

#include "errors.h"
#include "ntx_index.h"
#include "ntx_page.h"

namespace sde {
namespace {

struct Checker {
    NtxIndex& ix;
    std::set<uint32_t> seen;
    int leafDepth = -1;
    uint64_t entries = 0;
    std::string lastKey;
    uint32_t lastRec = 0;
    bool haveLast = false;
    std::string error;

    bool fail(const std::string& why) {
        if (error.empty()) error = why;
        return false;
    }

    bool entry(const unsigned char* key, uint32_t recno) {
        std::string k(reinterpret_cast<const char*>(key), ix.header().keySize);
        if (haveLast) {
            int c = ix.compareKeys(reinterpret_cast<const unsigned char*>(lastKey.data()),
                                   key, k.size());
            if (c > 0) return fail("keys out of order at record " + std::to_string(recno));
            if (c == 0 && ix.header().unique) return fail("duplicate key in a unique index");
        }
        lastKey = k;
        lastRec = recno;
        haveLast = true;
        ++entries;
        return true;
    }
};

}  // namespace

std::string NtxIndex::checkStructure(uint64_t expectedEntries) {
    Checker ck{*this, {}, -1, 0, {}, 0, false, {}};
    std::function<bool(uint32_t, int, bool)> walk = [&](uint32_t off, int depth, bool isRoot) {
        if (depth > kNtxMaxDepth) return ck.fail("tree too deep (cycle?)");
        if (!ck.seen.insert(off).second) return ck.fail("page reached twice: " + std::to_string(off));
        std::shared_ptr<const NtxPage> pg;
        try {
            pg = page(off);
        } catch (const EngineError& e) {
            return ck.fail(e.what());
        }
        NtxNodeView v{pg->data()};
        int n = v.count();
        if (!isRoot && n < 1) return ck.fail("empty page below the root");
        if (v.leaf()) {
            for (int i = 0; i <= n; ++i)
                if (v.child(i) != 0) return ck.fail("leaf with a child link");
            if (ck.leafDepth < 0) ck.leafDepth = depth;
            if (ck.leafDepth != depth) return ck.fail("leaves at different depths");
            for (int i = 0; i < n; ++i)
                if (!ck.entry(v.key(i), v.recno(i))) return false;
            return true;
        }
        for (int i = 0; i <= n; ++i) {
            uint32_t c = v.child(i);
            if (c == 0) return ck.fail("inner page with a missing child");
            if (!walk(c, depth + 1, false)) return false;
            if (i < n && !ck.entry(v.key(i), v.recno(i))) return false;
        }
        return true;
    };
    walk(hdr_.root, 0, true);
    if (ck.error.empty() && ck.entries != expectedEntries)
        ck.error = "entry count " + std::to_string(ck.entries) + ", expected " +
                   std::to_string(expectedEntries);
    return ck.error;
}

}  // namespace sde
