// The folder checker behind caisse-check, and processes killed at random
// moments while they post: after each kill the files are checked with it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "dbf_table.h"
#include "file_check.h"
#include "journal.h"
#include "little_endian.h"
#include "ntx_index.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes saleRow(uint32_t i) {
    char text[64];
    std::snprintf(text, sizeof text, " %-6u%-20s%8s", i / 3 + 1, ("Article " + std::to_string(i % 40)).c_str(),
                  "2.50");
    return Bytes(text, text + 35);
}

struct Folder {
    TempDir dir;
    std::string table = dir.file("SALES.DBF");
    std::string tickets = dir.file("TICKET.NTX");
    std::string labels = dir.file("LIBELLE.NTX");

    explicit Folder(uint32_t rows) {
        DbfTable::create(table, {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 20, 0}, {"PRIX", 'N', 0, 8, 2}});
        WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Exclusive), {});
        for (uint32_t i = 1; i <= rows; ++i) wa.appendRecord(saleRow(i).data());
        wa.createIndex(tickets, "upper(ticket)", false, false, "");
        wa.createIndex(labels, "upper(libelle)", false, false, "");
    }
    std::unique_ptr<WorkArea> open() {
        auto wa = std::make_unique<WorkArea>("SALES", DbfTable::open(table, DbfTable::Mode::Shared), AreaSettings{});
        wa->openIndex(tickets);
        wa->openIndex(labels);
        return wa;
    }
    void patch(const std::string& path, const std::function<void(Bytes&)>& change) {
        Bytes b = readAll(path);
        change(b);
        writeAll(path, b);
    }
};

}  // namespace

TEST(FileCheck, FindsWhatIsWrongAndRebuildsTheIndexes) {
    struct Case {
        const char* what;
        std::function<void(Folder&)> harm;
        const char* tableProblem;  // "" when the table stays sound
        const char* indexProblem;  // in TICKET.NTX
        bool labelsStale = false;  // LIBELLE.NTX misses the change too
    };
    const std::vector<Case> cases = {
        {"sound files", [](Folder&) {}, "", ""},
        {"a row appended without its keys",
         [](Folder& f) {
             WorkArea wa("SALES", DbfTable::open(f.table, DbfTable::Mode::Shared), {});
             wa.appendRecord(saleRow(999).data());
         },
         "", "clés manquantes", true},
        {"a key changed behind the index's back",
         [](Folder& f) {
             auto t = DbfTable::open(f.table, DbfTable::Mode::Shared);
             t->writeRecord(5, saleRow(700).data());
         },
         "", "ne correspond plus", true},
        {"a child link outside the file",
         [](Folder& f) {
             f.patch(f.tickets, [](Bytes& b) {
                 uint32_t root = readLe32(&b[kNtxRoot]);
                 writeLe32(&b[root + readLe16(&b[root + kNtxSlotTable])], 1u << 24);
             });
         },
         "", "index endommagé"},
        {"keys out of order",
         [](Folder& f) {
             f.patch(f.tickets, [](Bytes& b) {
                 uint32_t leaf = kNtxPageSize;  // the first page written is the first leaf
                 std::memcpy(&b[leaf + readLe16(&b[leaf + kNtxSlotTable]) + kNtxItemKey], "99999 ", 6);
             });
         },
         "", "index"},
        {"a numeric field with letters",
         [](Folder& f) {
             auto t = DbfTable::open(f.table, DbfTable::Mode::Shared);
             Bytes row = saleRow(7);
             std::memcpy(row.data() + 27, "  abc.de", 8);
             t->writeRecord(7, row.data());
         },
         "champ PRIX illisible", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Folder f(300);
        c.harm(f);
        std::string table = checkTable(f.table);
        if (*c.tableProblem)
            EXPECT_NE(table.find(c.tableProblem), std::string::npos) << table;
        else
            EXPECT_EQ(table, "");
        EXPECT_EQ(checkIndex(f.table, f.labels).empty(), !c.labelsStale);
        std::string index = checkIndex(f.table, f.tickets);
        if (!*c.indexProblem) {
            EXPECT_EQ(index, "");
            continue;
        }
        EXPECT_NE(index.find(c.indexProblem), std::string::npos) << index;
        rebuildIndex(f.table, f.tickets);
        EXPECT_EQ(checkIndex(f.table, f.tickets), "");
    }
    // An index of another table: its key does not fit these fields.
    Folder f(10);
    const std::string other = f.dir.file("OTHER.DBF");
    DbfTable::create(other, {{"NOM", 'C', 0, 20, 0}});
    bool fits = true;
    EXPECT_NE(checkIndex(other, f.tickets, &fits), "");
    EXPECT_FALSE(fits);
}

// Processes posting rows with both indexes open, killed with SIGKILL at
// random moments: after each kill a fresh open (which rolls back a change
// cut short) finds every row reported posted, no torn row, and indexes
// that the checker finds sound.
TEST(KillLoop, PostsKilledAtRandomLoseNothing) {
    constexpr int kRounds = 200;
    Folder f(0);
    std::mt19937 rng(20261208);
    uint64_t posted = 0, lost = 0, torn = 0, mismatches = 0, killedMidChange = 0;
    for (int round = 0; round < kRounds; ++round) {
        int pipeFd[2];
        ASSERT_EQ(pipe(pipeFd), 0);
        std::fflush(nullptr);
        pid_t child = fork();
        if (child == 0) {
            close(pipeFd[0]);
            try {
                auto wa = f.open();
                for (;;) {
                    uint32_t n = wa->recCount() + 1;
                    wa->appendRecord(saleRow(n).data());
                    // Reported posted only once the call returned.
                    if (write(pipeFd[1], &n, sizeof n) != sizeof n) _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(pipeFd[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(100, 5000)(rng)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the poster stopped by itself: " << WEXITSTATUS(status);
        uint32_t last = 0, n;
        while (read(pipeFd[0], &n, sizeof n) == sizeof n) {
            last = n;
            ++posted;
        }
        close(pipeFd[0]);
        if (fileExists(Journal::pathFor(f.table)) &&
            Journal::hot(*openFile(Journal::pathFor(f.table), OpenFlags::ReadOnly)))
            ++killedMidChange;
        // The next open puts back what a change cut short had written.
        auto t = DbfTable::open(f.table, DbfTable::Mode::Shared);
        if (t->recordCount() < last) lost += last - t->recordCount();
        Bytes image(t->recordLength());
        for (uint32_t r = 1; r <= t->recordCount(); ++r) {
            t->readRecord(r, image.data());
            if (image != saleRow(r)) {
                if (torn == 0)
                    std::printf("torn %u: |%s| want |%s|\n", r, std::string(image.begin(), image.end()).c_str(),
                                std::string(saleRow(r).begin(), saleRow(r).end()).c_str());
                ++torn;
            }
        }
        t.reset();
        for (const auto& ix : {f.tickets, f.labels})
            if (std::string p = checkIndex(f.table, ix); !p.empty()) {
                if (mismatches == 0) std::printf("mismatch %s: %s\n", ix.c_str(), p.c_str());
                ++mismatches;
            }
        if (::testing::Test::HasFailure()) break;
    }
    std::printf("kill loop: %d rounds, %llu posted rows, %llu lost, %llu torn, %llu index mismatches "
                "(%llu kills left a journal)\n",
                kRounds, static_cast<unsigned long long>(posted), static_cast<unsigned long long>(lost),
                static_cast<unsigned long long>(torn), static_cast<unsigned long long>(mismatches),
                static_cast<unsigned long long>(killedMidChange));
    EXPECT_GT(posted, 0u);
    EXPECT_EQ(lost, 0u);
    EXPECT_EQ(torn, 0u);
    EXPECT_EQ(mismatches, 0u);
}
