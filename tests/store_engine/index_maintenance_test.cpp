// Indexes kept up to date through a work area: a long seeded mix of appends,
// key changes, deletions and recalls checked against a brute-force model,
// and ZAP with the indexes open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>

#include "dbf_table.h"
#include "ntx_test_walk.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

const std::vector<FieldInfo> kSalesLayout = {
    {"NOM", 'C', 0, 30, 0},   {"LIBELLE", 'C', 0, 30, 0}, {"PRIX", 'N', 0, 8, 2},
    {"TVA", 'N', 0, 5, 2},    {"TICKET", 'C', 0, 6, 0},   {"DATE", 'D', 0, 8, 0},
    {"TIME", 'C', 0, 5, 0}};

std::unique_ptr<WorkArea> openSales(const std::string& path) {
    DbfTable::create(path, kSalesLayout);
    return std::make_unique<WorkArea>("SALES", DbfTable::open(path, DbfTable::Mode::Exclusive),
                                      AreaSettings{});
}

struct Sale {
    std::string ticket;
    std::string label;
    long cents = 0;
    bool deleted = false;
    bool blank = false;  // appended and never written: every field spaces
};

std::string upperAscii(std::string s, size_t width) {
    s.resize(width, ' ');
    for (auto& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

// The key of N8.2: digits zero-filled, each digit of a negative value
// written as 0x5C minus the digit's byte.
std::string priceKey(long cents) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08.2f", std::labs(cents) / 100.0);
    std::string k(buf);
    if (cents < 0)
        for (auto& c : k)
            if (c != '.') c = static_cast<char>(0x5C - c);
    return k;
}

class SalesModel {
public:
    std::vector<Sale> rows;                        // record n at n - 1
    std::map<std::string, uint32_t> ticketHolder;  // the unique ticket index

    static std::string ticketKey(const Sale& s) { return upperAscii(s.ticket, 6); }

    void added(uint32_t r) { ticketHolder.emplace(ticketKey(rows[r - 1]), r); }

    // The holder's old key leaves; a new key already held is not stored.
    void changed(uint32_t r, const Sale& before) {
        std::string oldKey = ticketKey(before), newKey = ticketKey(rows[r - 1]);
        if (oldKey == newKey) return;
        auto it = ticketHolder.find(oldKey);
        if (it != ticketHolder.end() && it->second == r) ticketHolder.erase(it);
        ticketHolder.emplace(newKey, r);
    }

    // Every row by key, equal keys in record order.
    template <class KeyOf>
    EntryList allRows(KeyOf keyOf) const {
        EntryList out;
        for (uint32_t r = 1; r <= rows.size(); ++r) out.push_back({r, keyOf(rows[r - 1])});
        std::stable_sort(out.begin(), out.end(),
                         [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; });
        return out;
    }

    EntryList uniqueTickets() const {
        EntryList out;
        for (const auto& [key, r] : ticketHolder) out.push_back({r, key});
        return out;
    }
};

// The record image of the sales layout (offsets fixed by the layout above).
std::vector<unsigned char> imageOf(const Sale& s) {
    std::vector<unsigned char> img(93, ' ');
    img[0] = s.deleted ? '*' : ' ';
    if (s.blank) return img;
    auto put = [&](int offset, const std::string& text, size_t width) {
        std::string t = text;
        t.resize(width, ' ');
        std::copy(t.begin(), t.end(), img.begin() + offset);
    };
    put(1, "Caissier1", 30);
    put(31, s.label, 30);
    char price[16];
    std::snprintf(price, sizeof price, "%8.2f", static_cast<double>(s.cents) / 100.0);
    put(61, price, 8);
    put(69, " 6.00", 5);
    put(74, s.ticket, 6);
    put(80, "20240302", 8);
    put(88, "18:05", 5);
    return img;
}

// One index of the mix, and what its layout showed so far.
struct MixOrder {
    const char* file;
    const char* key;
    bool unique;
    NtxIndex* ix = nullptr;
    size_t peakEntries = 0;
    size_t maxDepth = 0;
    size_t lastFree = 0;
    bool sawFree = false;
    bool sawReuse = false;
};

// Every index walked both ways against the model, its structure checked and
// its pages counted.
void checkOrders(WorkArea& area, const SalesModel& model, std::vector<MixOrder>& orders,
                 const TempDir& dir, int op) {
    SCOPED_TRACE("after operation " + std::to_string(op));
    area.flushPendingAppend();
    ASSERT_EQ(area.recCount(), model.rows.size());
    std::vector<EntryList> want = {
        model.allRows([](const Sale& s) { return upperAscii(s.ticket, 6); }),
        model.uniqueTickets(),
        model.allRows([](const Sale& s) { return upperAscii(s.label, 30); }),
        model.allRows([](const Sale& s) { return priceKey(s.cents); })};
    for (size_t i = 0; i < orders.size(); ++i) {
        MixOrder& o = orders[i];
        SCOPED_TRACE(o.file);
        ASSERT_EQ(firstDifference(walkForward(*o.ix), want[i]), "");
        EntryList back = walkBackward(*o.ix);
        std::reverse(back.begin(), back.end());
        ASSERT_EQ(firstDifference(back, want[i]), "") << "walking backwards";
        ASSERT_EQ(o.ix->checkStructure(want[i].size()), "");
        // Every page is in the tree or on the free list, and the file
        // never holds more pages than the largest tree so far needed
        // (pages below the root hold at least half a page of keys).
        NtxLayout lay = readNtxLayout(dir.file(o.file));
        ASSERT_EQ(lay.error, "");
        ASSERT_LE(lay.filePages - 1, o.peakEntries / o.ix->header().halfPage + 1);
        o.maxDepth = std::max(o.maxDepth, lay.levels.size());
        o.sawFree = o.sawFree || !lay.freePages.empty();
        o.sawReuse = o.sawReuse || lay.freePages.size() < o.lastFree;
        o.lastFree = lay.freePages.size();
    }
}

// The seeded mix of appends, key changes, deletions and recalls on a work
// area, each applied to the model as well.
class SalesMix {
public:
    explicit SalesMix(WorkArea& area) : area_(area) {}

    // Operation `op`: values spread wide, squeezed into a handful between
    // operations 14,000 and 26,000.
    void step(int op) {
        const bool squeeze = op > 14000 && op <= 26000;
        const long dice = pick(0, 99);
        const uint32_t n = static_cast<uint32_t>(model.rows.size());
        if (squeeze && sweep_.empty()) {
            for (uint32_t r = 1; r <= n; ++r) sweep_.push_back(r);
            std::shuffle(sweep_.begin(), sweep_.end(), rng_);
        }
        if (n < 50 || (!squeeze && dice < 50)) {
            Sale s = wideSale();
            area_.appendBlank();
            if (dice % 10 == 0) {
                s = Sale{};  // left blank: its keys are written on the next move
                s.blank = true;
            } else {
                area_.putRecord(imageOf(s).data());
            }
            model.rows.push_back(s);
            model.added(n + 1);
        } else if (dice < 85) {
            uint32_t r = squeeze ? sweep_[sweepAt_++ % sweep_.size()] : static_cast<uint32_t>(pick(1, n));
            area_.go(r);
            area_.getRecord(buf_.data());
            ASSERT_EQ(buf_, imageOf(model.rows[r - 1])) << "record " << r;
            Sale before = model.rows[r - 1];
            Sale& s = model.rows[r - 1];
            s.blank = false;
            if (squeeze) {
                s.ticket = std::to_string(pick(1, 4));
                s.label = "zz " + std::to_string(pick(1, 3));
            } else {
                Sale w = wideSale();
                if (dice % 3 != 0) s.ticket = w.ticket;
                if (dice % 3 != 1) s.label = w.label;
                if (dice % 2 == 0) s.cents = w.cents;
            }
            area_.putRecord(imageOf(s).data());
            model.changed(r, before);
        } else {
            uint32_t r = static_cast<uint32_t>(pick(1, n));
            bool del = dice < 93;
            area_.go(r);
            area_.setDeletedFlag(del);
            model.rows[r - 1].deleted = del;
        }
    }

    SalesModel model;

private:
    long pick(long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng_); }
    Sale wideSale() {
        static const char* words[] = {"Biere", "coca", "Chips", "Caf\xe9", "Bi\xe8re", "eau", "Frais", "ZERO"};
        Sale s;
        s.ticket = std::to_string(pick(1, 2500));
        s.label = std::string(words[pick(0, 7)]) + " " + std::to_string(pick(0, 999));
        s.cents = pick(-5000, 20000);
        return s;
    }

    WorkArea& area_;
    std::mt19937 rng_{20240302};
    std::vector<unsigned char> buf_ = std::vector<unsigned char>(93);
    std::vector<uint32_t> sweep_;  // the order in which the squeeze visits rows
    size_t sweepAt_ = 0;
};

}  // namespace

// Tickets and labels spread wide while the table grows, then squeezed into a
// handful of values (keys leave most pages: merges, rotations, a shrinking
// unique index), then spread again (pages taken back from the free list).
TEST(IndexMaintenance, RandomMixMatchesTheModelThroughSplitsAndMerges) {
    TempDir dir;
    auto area = openSales(dir.file("SALES.DBF"));
    ASSERT_EQ(area->table().recordLength(), 93);
    std::vector<MixOrder> orders = {{"TIC.NTX", "upper(ticket)", false},
                                    {"TICU.NTX", "upper(ticket)", true},
                                    {"LIB.NTX", "upper(libelle)", false},
                                    {"PRIX.NTX", "prix", false}};
    for (auto& o : orders) {
        area->createIndex(dir.file(o.file), o.key, o.unique, false, "");
        o.ix = area->currentIndex();
    }
    area->setOrder(0);

    SalesMix mix(*area);
    const SalesModel& model = mix.model;
    const int kOps = 40000, kBatch = 2000;
    for (int op = 1; op <= kOps; ++op) {
        mix.step(op);
        if (HasFatalFailure()) return;
        orders[1].peakEntries = std::max(orders[1].peakEntries, model.ticketHolder.size());
        for (size_t i : {0u, 2u, 3u}) orders[i].peakEntries = model.rows.size();
        if (op % kBatch == 0) {
            checkOrders(*area, model, orders, dir, op);
            if (HasFatalFailure()) return;
        }
        if (op == 26000) {
            // Squeezed: at most four tickets are left in the unique index.
            EXPECT_LE(model.ticketHolder.size(), 4u);
            EXPECT_EQ(readNtxLayout(dir.file("TICU.NTX")).levels.size(), 1u) << "root collapsed";
        }
    }
    for (const MixOrder& o : orders) {
        SCOPED_TRACE(o.file);
        EXPECT_GE(o.maxDepth, o.ix->header().maxKeys <= 24 ? 3u : 2u) << "pages split";
    }
    for (size_t i : {1u, 2u}) {  // the unique and the label index lost keys from pages
        EXPECT_TRUE(orders[i].sawFree) << orders[i].file << ": merges free pages";
        EXPECT_TRUE(orders[i].sawReuse) << orders[i].file << ": free pages taken back";
    }
}

// ZAP with the indexes open leaves each as a fresh empty index; appends then
// fill the root page as the other implementation does (ZAPPED.NTX).
TEST(IndexMaintenance, ZapEmptiesOpenIndexesAndAppendsRefillThem) {
    TempDir dir;
    auto area = openSales(dir.file("ZAPPED.DBF"));
    area->createIndex(dir.file("ZAPPED.NTX"), "upper(ticket)", false, false, "");
    area->createIndex(dir.file("ZAPU.NTX"), "upper(ticket)", true, false, "");
    area->createIndex(dir.file("ZAPLIB.NTX"), "upper(libelle)", false, false, "");
    for (int i = 0; i < 300; ++i) {
        area->appendBlank();
        area->putRecord(imageOf(Sale{std::to_string(i), "label " + std::to_string(i), i}).data());
    }
    area->flushPendingAppend();
    ASSERT_GT(readAll(dir.file("ZAPLIB.NTX")).size(), 10 * kNtxPageSize);

    area->zap();
    EXPECT_EQ(area->recCount(), 0u);
    // Equal to a build on an empty table but for the version counter (bytes 2, 3).
    auto sameButVersion = [](std::vector<unsigned char> a, std::vector<unsigned char> b) {
        if (a.size() != b.size() || a.size() < 4) return false;
        a[2] = b[2];
        a[3] = b[3];
        return a == b;
    };
    EXPECT_TRUE(sameButVersion(readAll(dir.file("ZAPPED.NTX")), readAll(goldenFile("EMPTY.NTX"))));
    EXPECT_TRUE(sameButVersion(readAll(dir.file("ZAPU.NTX")), readAll(goldenFile("EMPTYU.NTX"))));
    NtxLayout lib = readNtxLayout(dir.file("ZAPLIB.NTX"));
    EXPECT_EQ(lib.error, "");
    EXPECT_EQ(lib.filePages, 2u);
    EXPECT_EQ(lib.root, kNtxPageSize);
    EXPECT_EQ(lib.levels, std::vector<std::vector<int>>{{0}});

    for (const std::string& image : readRecordListing("ZAPPED")) {
        area->appendBlank();
        area->putRecord(reinterpret_cast<const unsigned char*>(image.data()));
    }
    area->flushPendingAppend();
    area->setOrder(1);
    EntryList want;
    for (const auto& e : readOrderListing("ZAPPED").entries) want.push_back({e.recno, e.key});
    EXPECT_EQ(firstDifference(walkForward(*area->currentIndex()), want), "");
    EXPECT_TRUE(sameButVersion(readAll(dir.file("ZAPPED.NTX")), readAll(goldenFile("ZAPPED.NTX"))))
        << "root page filled in place as by the other implementation";
    auto table = readAll(dir.file("ZAPPED.DBF")), golden = readAll(goldenFile("ZAPPED.DBF"));
    ASSERT_EQ(table.size(), golden.size());
    std::copy(golden.begin() + 1, golden.begin() + 4, table.begin() + 1);  // the date
    EXPECT_EQ(table, golden);
    area->setOrder(2);
    EXPECT_EQ(area->currentIndex()->checkStructure(2), "") << "unique: tickets 5 and 40";
    area->setOrder(3);
    EXPECT_EQ(area->currentIndex()->checkStructure(3), "");
}
