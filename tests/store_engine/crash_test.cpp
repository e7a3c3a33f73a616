// Crashes at every write, as SQLite's crash tests do: an operation runs with
// all writes stopped after write number N (the process dies there), then a
// fresh engine opens the files, rolls back what the journal holds, and the
// table and its indexes must agree, with every row posted before still
// there. N goes 0, 1, 2, ... until the operation completes. The same with a
// power cut (every write since the last commit lost), and with a disk that
// fills up at every byte of a post.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "dbf_table.h"
#include "errors.h"
#include "journal.h"
#include "ntx_index.h"
#include "ntx_test_walk.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

using Bytes = std::vector<unsigned char>;

// What the disk under the engine does. Writes, cuts and removals count as
// writes; after `limit` of them every write fails and changes nothing.
// `budget` (bytes that still fit, growth only when diskFull) models a full
// disk instead.
struct Disk {
    uint64_t limit = UINT64_MAX;
    uint64_t writes = 0;
    bool stopped = false;
    uint64_t budget = UINT64_MAX;
    bool diskFull = true;
    int failures = 0;
    std::map<std::string, Bytes> durable;  // each file as of its last sync

    void write(const std::string& what) {
        if (writes >= limit) {
            stopped = true;
            throw IoError("Cannot write " + what + ": the process died here");
        }
        ++writes;
    }
};

class TestFile final : public FileWrapper {
public:
    TestFile(std::unique_ptr<File> inner, std::string path, Disk& disk)
        : FileWrapper(std::move(inner)), path_(std::move(path)), disk_(disk) {}

    void writeAt(uint64_t off, const void* buf, size_t n) override {
        disk_.write(path_);
        uint64_t from = std::max(off, target().size());
        uint64_t counted = disk_.diskFull ? (off + n > from ? off + n - from : 0) : n;
        if (counted > disk_.budget) {
            uint64_t fits = disk_.diskFull ? (from - off) + disk_.budget : disk_.budget;
            if (fits > 0) target().writeAt(off, buf, static_cast<size_t>(fits));
            // A full disk stays full (writing old bytes back needs no room);
            // an I/O error passes.
            disk_.budget = disk_.diskFull ? 0 : UINT64_MAX;
            ++disk_.failures;
            throw IoError("Cannot write " + path_ + ": no space left on device");
        }
        if (disk_.budget != UINT64_MAX) disk_.budget -= counted;
        target().writeAt(off, buf, n);
    }
    void truncate(uint64_t length) override {
        disk_.write(path_);
        uint64_t size = target().size();
        if (disk_.diskFull && length < size && disk_.budget != UINT64_MAX) disk_.budget += size - length;
        target().truncate(length);
    }
    void sync() override {
        target().sync();
        disk_.durable[path_] = readAll(path_);
    }
    // No writable mapping: every header write goes through writeAt, where it
    // counts. Records are read through the read view, as on a real disk.
    const unsigned char* mapForReading(uint64_t length) override { return target().mapForReading(length); }

private:
    std::string path_;
    Disk& disk_;
};

// Puts the disk under the engine for its lifetime.
class DiskScope {
public:
    explicit DiskScope(Disk& disk) {
        setFileOpener([&disk](const std::string& path, OpenFlags flags) -> std::unique_ptr<File> {
            return std::make_unique<TestFile>(openPosixFile(path, flags), path, disk);
        });
        setFileRemover([&disk](const std::string& path) {
            disk.write(path);
            std::remove(path.c_str());
        });
    }
    ~DiskScope() {
        setFileOpener({});
        setFileRemover({});
    }
};

// TICKET C6, LIBELLE C20, PRIX N8.2: 35-byte records. Index TICKET.NTX on
// upper(ticket) (62 keys a page, bulk-built full: the next insert splits),
// LIBELLE.NTX on upper(libelle) (32 keys a page, grown by inserts: pages
// half full, so that a removal merges).
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

std::string label(uint32_t i) {
    char text[32];
    std::snprintf(text, sizeof text, "Article %05u", i);
    return text;
}

struct Files {
    std::string table, tickets, labels;
    std::map<std::string, Bytes> saved;

    explicit Files(const TempDir& dir)
        : table(dir.file("SALES.DBF")), tickets(dir.file("TICKET.NTX")), labels(dir.file("LIBELLE.NTX")) {}

    std::unique_ptr<WorkArea> open(DbfTable::Mode mode = DbfTable::Mode::Shared) {
        auto wa = std::make_unique<WorkArea>("SALES", DbfTable::open(table, mode), AreaSettings{});
        wa->openIndex(tickets);
        wa->openIndex(labels);
        return wa;
    }
    void save() {
        saved.clear();
        for (const auto& p : {table, tickets, labels}) saved[p] = readAll(p);
    }
    void restore() const {
        for (const auto& [p, bytes] : saved) writeAll(p, bytes);
        std::remove(Journal::pathFor(table).c_str());
    }
    bool unchanged() const {
        for (const auto& [p, bytes] : saved)
            if (readAll(p) != bytes) return false;
        return true;
    }
};

// A table of `rows` sales with both indexes; the label index grown by
// inserts one row at a time.
Files makeSales(const TempDir& dir, uint32_t rows) {
    Files f(dir);
    DbfTable::create(f.table, salesFields());
    {
        WorkArea wa("SALES", DbfTable::open(f.table, DbfTable::Mode::Exclusive), {});
        wa.createIndex(f.labels, "upper(libelle)", false, false, "");
        for (uint32_t i = 1; i <= rows; ++i) {
            char ticket[16];
            std::snprintf(ticket, sizeof ticket, "T%04u", i);
            wa.appendRecord(salesRow(ticket, label(i), "2.50").data());
        }
        wa.createIndex(f.tickets, "upper(ticket)", false, false, "");
    }
    f.save();
    return f;
}

// "" when the table and both indexes agree (each index walked equals the
// sorted keys of the rows) and are sound; else what is wrong.
std::string agreement(Files& f, uint32_t* rowsOut = nullptr) {
    try {
        auto wa = f.open(DbfTable::Mode::ReadOnly);
        DbfTable& t = wa->table();
        uint32_t rows = t.recordCount();
        if (rowsOut) *rowsOut = rows;
        for (int order = 1; order <= 2; ++order) {
            wa->setOrder(order);
            NtxIndex& ix = *wa->currentIndex();
            EntryList want;
            Bytes image(t.recordLength());
            for (uint32_t r = 1; r <= rows; ++r) {
                t.readRecord(r, image.data());
                want.push_back({r, ix.makeKey(image.data(), r, true)});
            }
            std::sort(want.begin(), want.end(), [](const IndexEntry& a, const IndexEntry& b) {
                return a.key != b.key ? a.key < b.key : a.recno < b.recno;
            });
            std::string diff = firstDifference(walkForward(ix), want);
            if (!diff.empty()) return ix.path() + ": " + diff;
            std::string structure = ix.checkStructure(want.size());
            if (!structure.empty()) return ix.path() + ": " + structure;
        }
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

struct CrashRun {
    uint64_t points = 0;      // write numbers tried
    uint64_t completedAt = 0;  // writes the operation needs
};

// Runs `op` on freshly restored files with writes stopped after N, for
// every N until it completes; after each stop, a fresh engine reopens the
// files and `check` judges them (the rows before the operation, and
// whether it had completed).
CrashRun crashEverywhere(Files& f, const std::function<void(WorkArea&)>& op,
                         const std::function<void(Files&, bool completed)>& check,
                         DbfTable::Mode mode = DbfTable::Mode::Shared) {
    CrashRun run;
    for (uint64_t n = 0;; ++n) {
        SCOPED_TRACE("writes stopped after " + std::to_string(n));
        f.restore();
        Disk disk;
        bool completed = false;
        {
            DiskScope scope(disk);
            try {
                auto wa = f.open(mode);
                disk.limit = disk.writes + n;
                op(*wa);
                completed = !disk.stopped;
            } catch (const EngineError&) {
                EXPECT_TRUE(disk.stopped) << "only the stopped disk may fail the operation";
            }
            // The work area is gone with the process: its closing writes fail too.
        }
        ++run.points;
        check(f, completed);
        if (::testing::Test::HasFatalFailure()) return run;
        if (completed) {
            run.completedAt = n;
            return run;
        }
        if (n > 100000) {
            ADD_FAILURE() << "the operation never completes";
            return run;
        }
    }
}

}  // namespace

TEST(CrashPoints, PostWithTwoIndexesIsWholeOrAbsent) {
    TempDir dir;
    Files f = makeSales(dir, 62);  // TICKET.NTX's root leaf is full: the post splits it
    const Bytes row = salesRow("T0001A", "Chips paprika", "1.00");
    CrashRun run = crashEverywhere(
        f, [&](WorkArea& wa) { wa.appendRecord(row.data()); },
        [&](Files& files, bool completed) {
            uint32_t rows = 0;
            ASSERT_EQ(agreement(files, &rows), "");
            if (completed) {
                EXPECT_EQ(rows, 63u);
            }
            EXPECT_TRUE(rows == 62 || rows == 63) << rows;
        });
    EXPECT_GT(run.completedAt, 4u) << "journal, row, header, index pages, end of journal";
    std::printf("post with a split: %llu write points, all recovered\n",
                static_cast<unsigned long long>(run.points));
}

TEST(CrashPoints, EditThatMovesAKeyIsOldOrNew) {
    TempDir dir;
    Files f = makeSales(dir, 200);
    // Row 20's label leaves a half-full leaf of LIBELLE.NTX (a merge) and
    // goes to the end; its ticket moves too.
    const Bytes changed = salesRow("T9999", "Zz last article", "3.00");
    Bytes old;
    {
        auto wa = f.open();
        old.resize(wa->table().recordLength());
        wa->table().readRecord(20, old.data());
    }
    CrashRun run = crashEverywhere(
        f,
        [&](WorkArea& wa) {
            wa.go(20);
            wa.putRecord(changed.data());
        },
        [&](Files& files, bool completed) {
            uint32_t rows = 0;
            ASSERT_EQ(agreement(files, &rows), "");
            ASSERT_EQ(rows, 200u);
            Bytes now(old.size());
            DbfTable::open(files.table, DbfTable::Mode::ReadOnly)->readRecord(20, now.data());
            if (completed) {
                EXPECT_EQ(now, changed);
            }
            EXPECT_TRUE(now == old || now == changed);
        });
    std::printf("edit with a merge: %llu write points, all recovered\n",
                static_cast<unsigned long long>(run.points));
}

TEST(CrashPoints, ReindexAndZapLeaveTheOldFilesOrTheNewOnes) {
    TempDir dir;
    Files f = makeSales(dir, 150);
    CrashRun reindex = crashEverywhere(
        f, [&](WorkArea& wa) { wa.reindex(); },
        [&](Files& files, bool) {
            uint32_t rows = 0;
            ASSERT_EQ(agreement(files, &rows), "");
            EXPECT_EQ(rows, 150u);
        });
    CrashRun zap = crashEverywhere(
        f, [&](WorkArea& wa) { wa.zap(); },
        [&](Files& files, bool completed) {
            uint32_t rows = 0;
            ASSERT_EQ(agreement(files, &rows), "");
            EXPECT_TRUE(rows == 150u || rows == 0u) << rows;
            if (completed) {
                EXPECT_EQ(rows, 0u);
            }
        },
        DbfTable::Mode::Exclusive);
    std::printf("reindex: %llu write points, zap: %llu, all recovered\n",
                static_cast<unsigned long long>(reindex.points),
                static_cast<unsigned long long>(zap.points));
}

// A power cut loses every write since the last commit (sx_Commit): what
// was committed stays, whatever the post in progress had written.
TEST(CrashPoints, PowerCutKeepsWhatWasCommitted) {
    TempDir dir;
    Files f = makeSales(dir, 62);
    const Bytes closed = salesRow("T0100", "Ticket closed", "4.00");
    const Bytes open = salesRow("T0101", "Ticket open", "5.00");
    uint64_t points = 0;
    for (uint64_t n = 0;; ++n) {
        SCOPED_TRACE("power cut after " + std::to_string(n) + " writes of the second post");
        f.restore();
        Disk disk;
        bool completed = false;
        {
            DiskScope scope(disk);
            auto wa = f.open();
            wa->commit();  // the files as they are now are on disk
            wa->appendRecord(closed.data());
            wa->commit();
            disk.limit = disk.writes + n;
            try {
                wa->appendRecord(open.data());
                completed = !disk.stopped;
            } catch (const EngineError&) {
            }
        }
        // The cut: each file as of its last sync; a file never synced is gone.
        for (const std::string& p : {f.table, f.tickets, f.labels}) writeAll(p, disk.durable.at(p));
        std::remove(Journal::pathFor(f.table).c_str());
        ++points;
        uint32_t rows = 0;
        ASSERT_EQ(agreement(f, &rows), "");
        ASSERT_EQ(rows, 63u) << "the committed post is there, the other one not";
        Bytes last(closed.size());
        DbfTable::open(f.table, DbfTable::Mode::ReadOnly)->readRecord(63, last.data());
        EXPECT_EQ(last, closed);
        if (completed) break;
    }
    std::printf("power cut: %llu points, all kept the committed post\n",
                static_cast<unsigned long long>(points));
}

// A disk that fills up (or fails) at any byte of a post, journal included:
// the post fails and every file is exactly as before; once there is room
// again the same work area posts the row.
TEST(DiskFull, PostThatFailsAtAnyByteChangesNothing) {
    TempDir dir;
    Files f = makeSales(dir, 62);
    const Bytes row = salesRow("T0001A", "Chips paprika", "1.00");
    int failedCalls = 0;
    for (bool diskFull : {true, false}) {
        // A full disk at every byte; an I/O error at every 64th byte and the next.
        for (uint64_t budget = 0;; ++budget) {
            if (!diskFull && budget % 64 > 1) budget += 64 - budget % 64;
            SCOPED_TRACE((diskFull ? "disk full after " : "I/O error after ") + std::to_string(budget));
            f.restore();
            Disk disk;
            disk.diskFull = diskFull;
            bool failed = false;
            {
                DiskScope scope(disk);
                auto wa = f.open();
                disk.budget = budget;
                try {
                    wa->appendRecord(row.data());
                } catch (const EngineError& e) {
                    failed = true;
                    ++failedCalls;
                    EXPECT_EQ(e.kind(), ErrorKind::Io);
                    EXPECT_TRUE(f.unchanged()) << "files changed by a failed post";
                    EXPECT_EQ(wa->recCount(), 62u);
                    disk.budget = UINT64_MAX;  // room again
                    wa->appendRecord(row.data());
                }
            }
            if (!failed || budget % 64 == 0) {  // the retry's result, now and then (a walk is slow)
                uint32_t rows = 0;
                ASSERT_EQ(agreement(f, &rows), "");
                EXPECT_EQ(rows, 63u);
            }
            if (!failed) break;
        }
    }
    EXPECT_GT(failedCalls, 2000) << "every byte of the journal, the row and the pages";
    std::printf("disk full or failing: %d failed posts, each left every file unchanged\n", failedCalls);
}
