// Writes that fail half-way: a disk that fills up, an I/O error after some
// bytes. The error must reach the caller, and after reopening the files
// must show the state before the call or the state after it, never a mix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "dbf_table.h"
#include "errors.h"
#include "ntx_index.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

using Bytes = std::vector<unsigned char>;

// How the disk under the files whose name ends in `suffix` misbehaves. The
// write that exceeds the budget is cut short, then fails.
struct FaultPlan {
    std::string suffix;
    uint64_t budget = UINT64_MAX;  // bytes that still go through
    bool diskFull = false;   // only bytes that grow a file count; truncating gives space back
    bool transient = false;  // after one failure the disk works again
    int failures = 0;
};

class FaultyFile final : public FileWrapper {
public:
    FaultyFile(std::unique_ptr<File> inner, FaultPlan& plan) : FileWrapper(std::move(inner)), plan_(plan) {}

    void writeAt(uint64_t off, const void* buf, size_t n) override {
        uint64_t from = std::max(off, target().size());  // where growth starts
        uint64_t counted = plan_.diskFull ? (off + n > from ? off + n - from : 0) : n;
        if (counted <= plan_.budget) {
            if (plan_.budget != UINT64_MAX) plan_.budget -= counted;
            target().writeAt(off, buf, n);
            return;
        }
        uint64_t fits = plan_.diskFull ? (from - off) + plan_.budget : plan_.budget;
        if (fits > 0) target().writeAt(off, buf, static_cast<size_t>(fits));
        plan_.budget = plan_.transient ? UINT64_MAX : 0;
        ++plan_.failures;
        throw IoError("Cannot write: no space left on device");
    }
    void truncate(uint64_t length) override {
        uint64_t size = target().size();
        if (plan_.diskFull && length < size && plan_.budget != UINT64_MAX)
            plan_.budget += size - length;
        target().truncate(length);
    }
    const unsigned char* mapForReading(uint64_t length) override { return target().mapForReading(length); }

private:
    FaultPlan& plan_;
};

// Puts the faulty disk under the engine for its lifetime.
class FaultyDisk {
public:
    explicit FaultyDisk(FaultPlan& plan) {
        setFileOpener([&plan](const std::string& path, OpenFlags flags) -> std::unique_ptr<File> {
            auto f = openPosixFile(path, flags);
            if (path.size() < plan.suffix.size() ||
                path.compare(path.size() - plan.suffix.size(), plan.suffix.size(), plan.suffix) != 0)
                return f;
            return std::make_unique<FaultyFile>(std::move(f), plan);
        });
    }
    ~FaultyDisk() { setFileOpener({}); }
};

constexpr uint32_t kRows = 5;

// TICKET C6, LIBELLE C20, PRIX N8.2: records of 35 bytes.
std::vector<FieldInfo> salesFields() {
    return {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 20, 0}, {"PRIX", 'N', 0, 8, 2}};
}

Bytes salesRow(const std::string& ticket, const std::string& label, const std::string& price) {
    std::string r = " " + ticket;
    r.resize(7, ' ');
    r += label;
    r.resize(27, ' ');
    r += std::string(8 - price.size(), ' ') + price;
    return Bytes(r.begin(), r.end());
}

std::string makeSales(const TempDir& dir, uint32_t rows) {
    std::string path = dir.file("SALES.DBF");
    DbfTable::create(path, salesFields());
    auto t = DbfTable::open(path, DbfTable::Mode::Exclusive);
    for (uint32_t i = 1; i <= rows; ++i) {
        char ticket[16];
        std::snprintf(ticket, sizeof ticket, "T%04u", i);
        t->appendRecord(salesRow(ticket, "Biere pression", "2.50").data());
    }
    return path;
}

// Budgets around every place where a write may stop: each multiple of
// `step` and the bytes just before and after it.
std::vector<uint64_t> budgetsUpTo(uint64_t total, uint64_t step) {
    std::vector<uint64_t> out;
    for (uint64_t b = 0; b <= total; b += step) {
        for (uint64_t d : {0, 1, 12}) {
            if (b + d <= total) out.push_back(b + d);
            if (b >= d + 1) out.push_back(b - d - 1);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

TEST(FaultInjection, AppendThatFailsLeavesTheTableAsItWas) {
    TempDir dir;
    const std::string path = makeSales(dir, kRows);
    const Bytes before = readAll(path);
    const Bytes row = salesRow("T9999", "Chips", "1.00");
    int failedCalls = 0;

    for (bool diskFull : {true, false}) {
        // Record, end-of-file byte, then date and count in the header.
        for (uint64_t budget : budgetsUpTo(row.size() + 1 + 7, 1)) {
            SCOPED_TRACE((diskFull ? "disk full after " : "I/O error after ") + std::to_string(budget));
            writeAll(path, before);
            FaultPlan plan{"SALES.DBF", UINT64_MAX, diskFull, true};
            bool failed = false;
            {
                FaultyDisk disk(plan);
                auto t = DbfTable::open(path, DbfTable::Mode::Shared);
                plan.budget = budget;
                try {
                    t->appendRecord(row.data());
                } catch (const EngineError&) {
                    failed = true;
                    ++failedCalls;
                    EXPECT_EQ(t->recordCount(), kRows);
                }
                EXPECT_EQ(failed, plan.failures > 0);
            }
            auto t = DbfTable::open(path, DbfTable::Mode::ReadOnly);
            if (failed) {
                // Same rows, same bytes: no partial record, no count ahead of the rows.
                EXPECT_EQ(t->recordCount(), kRows);
                EXPECT_EQ(readAll(path), before);
            } else {
                ASSERT_EQ(t->recordCount(), kRows + 1);
                Bytes back(t->recordLength());
                t->readRecord(kRows + 1, back.data());
                EXPECT_EQ(back, row);
            }
        }
    }
    EXPECT_EQ(failedCalls, 35 + 43);  // disk full: the record's growth; I/O error: every byte
}

TEST(FaultInjection, RecordWriteThatFailsLeavesTheOldRecordWhole) {
    TempDir dir;
    const std::string path = makeSales(dir, kRows);
    const Bytes before = readAll(path);
    const Bytes changed = salesRow("T0003", "Coca Cola zero", "-12.75");
    Bytes old(changed.size());
    DbfTable::open(path, DbfTable::Mode::ReadOnly)->readRecord(3, old.data());

    for (uint64_t budget = 0; budget <= changed.size(); ++budget) {
        SCOPED_TRACE("I/O error after " + std::to_string(budget));
        writeAll(path, before);
        FaultPlan plan{"SALES.DBF", UINT64_MAX, false, true};
        bool failed = false;
        {
            FaultyDisk disk(plan);
            WorkArea wa("SALES", DbfTable::open(path, DbfTable::Mode::Shared), {});
            wa.go(3);
            plan.budget = budget;
            try {
                wa.putRecord(changed.data());
            } catch (const EngineError&) {
                failed = true;
            }
        }
        EXPECT_EQ(failed, budget < changed.size());
        Bytes back(changed.size());
        DbfTable::open(path, DbfTable::Mode::ReadOnly)->readRecord(3, back.data());
        EXPECT_EQ(back, failed ? old : changed);
    }
}

TEST(FaultInjection, IndexSplitThatFailsLeavesTheIndexWhole) {
    // Bulk-built pages are full, so the next insert splits a leaf: with 62
    // keys of 6 bytes the root leaf itself, with more a leaf under the root.
    for (uint32_t rows : {62u, 62u * 4 + 3}) {
        TempDir dir;
        const std::string table = makeSales(dir, rows);
        const std::string index = dir.file("SALES.NTX");
        {
            WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Exclusive), {});
            wa.createIndex(index, "upper(ticket)", false, false, "");
        }
        const Bytes before = readAll(index);
        const auto fields = DbfTable::open(table, DbfTable::Mode::ReadOnly)->fields();
        const std::string key = "T0001A";  // into the first leaf
        int failedCalls = 0;

        for (bool diskFull : {true, false}) {
            // Up to two new pages, one or two rewritten ones, the header.
            for (uint64_t budget : budgetsUpTo(4 * kNtxPageSize, kNtxPageSize / 2)) {
                SCOPED_TRACE(std::to_string(rows) + " keys, " +
                             (diskFull ? "disk full after " : "I/O error after ") + std::to_string(budget));
                writeAll(index, before);
                FaultPlan plan{"SALES.NTX", UINT64_MAX, diskFull, true};
                bool failed = false;
                Bytes leftByFailure;
                {
                    FaultyDisk disk(plan);
                    auto ix = NtxIndex::open(index, true, false, fields);
                    plan.budget = budget;
                    try {
                        ix->insert(key, rows + 1);
                    } catch (const EngineError&) {
                        failed = true;
                        ++failedCalls;
                    }
                    EXPECT_EQ(failed, plan.failures > 0);
                    if (failed) {
                        leftByFailure = readAll(index);
                        // The disk works again: the same index object carries on.
                        EXPECT_EQ(ix->checkStructure(rows), "");
                        ix->insert(key, rows + 1);
                    }
                }
                EXPECT_EQ(NtxIndex::open(index, false, false, fields)->checkStructure(rows + 1), "");
                if (!failed) continue;
                // Reopened after the failure alone, the index is as before or as after.
                writeAll(index, leftByFailure);
                auto ix = NtxIndex::open(index, false, false, fields);
                std::string asBefore = ix->checkStructure(rows);
                std::string asAfter = ix->checkStructure(rows + 1);
                EXPECT_TRUE(asBefore.empty() || asAfter.empty()) << asBefore << " / " << asAfter;
            }
        }
        EXPECT_GT(failedCalls, 20);
    }
}

TEST(FaultInjection, IndexWriteErrorReachesTheWorkAreaCaller) {
    TempDir dir;
    const std::string table = makeSales(dir, 62);
    const std::string index = dir.file("SALES.NTX");
    FaultPlan plan{"SALES.NTX", UINT64_MAX, true, false};
    FaultyDisk disk(plan);
    WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Shared), {});
    wa.createIndex(index, "upper(ticket)", false, false, "");
    const Bytes before = readAll(index);

    plan.budget = 0;  // the disk is full: the split cannot take a page
    wa.appendBlank();
    EXPECT_THROW(wa.putRecord(salesRow("T0001A", "Chips", "1.00").data()), EngineError);
    EXPECT_EQ(readAll(index), before);

    // The row is in the table without its key; a reindex once there is room
    // again brings the index back in line.
    EXPECT_EQ(wa.recCount(), 63u);
    plan.budget = UINT64_MAX;
    wa.reindex();
    EXPECT_EQ(wa.currentIndex()->checkStructure(63), "");
    EXPECT_TRUE(wa.seek("T0001A"));
    EXPECT_EQ(wa.recno(), 63u);
}
