// Record locks and open modes between two work areas of this process and
// between two processes, and appends from both sides of each pair.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <set>

#include "dbf_table.h"
#include "errors.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

using Bytes = std::vector<unsigned char>;

// TICKET C6, LIBELLE C20: records of 27 bytes; three rows to start with.
class LocksTest : public ::testing::Test {
protected:
    void SetUp() override {
        DbfTable::create(table_, {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 20, 0}});
        auto t = DbfTable::open(table_, DbfTable::Mode::Exclusive);
        for (const char* ticket : {"1", "2", "3"}) t->appendRecord(row(ticket, "Biere").data());
    }

    static Bytes row(const std::string& ticket, const std::string& label) {
        std::string r = " " + ticket;
        r.resize(7, ' ');
        r += label;
        r.resize(27, ' ');
        return Bytes(r.begin(), r.end());
    }

    std::unique_ptr<WorkArea> area(DbfTable::Mode mode = DbfTable::Mode::Shared) {
        return std::make_unique<WorkArea>("SALES", DbfTable::open(table_, mode), AreaSettings{});
    }

    // Appends one row and writes it, as the till books a sale.
    static void book(WorkArea& wa, const std::string& ticket) {
        wa.appendBlank();
        wa.putRecord(row(ticket, "Biere").data());
        wa.unlock(0);
    }

    // Every ticket of the table in index order, checking the index on the way.
    std::multiset<std::string> ticketsByIndex() {
        auto wa = area();
        wa->openIndex(index_);
        EXPECT_EQ(wa->currentIndex()->checkStructure(wa->recCount()), "");
        std::multiset<std::string> out;
        Bytes image(27);
        for (wa->goTop(); !wa->eof(); wa->skip(1)) {
            wa->getRecord(image.data());
            out.insert(std::string(image.begin() + 1, image.begin() + 7));
        }
        return out;
    }

    TempDir dir_;
    const std::string table_ = dir_.file("SALES.DBF");
    const std::string index_ = dir_.file("SALES.NTX");
};

// Runs `body` in a child process and gives its exit status; the child never
// returns into the test framework. Objects of the parent are not to be used
// there: the child opens its own files.
int inChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 100;
        try {
            rc = body();
        } catch (...) {
            rc = 101;
        }
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A pipe for "ready" / "go on" between parent and child.
struct Signal {
    int fd[2];
    Signal() {
        if (pipe(fd) != 0) throw std::runtime_error("pipe");
    }
    ~Signal() {
        close(fd[0]);
        close(fd[1]);
    }
    void send() const { EXPECT_EQ(write(fd[1], "x", 1), 1); }
    void wait() const {
        char c;
        EXPECT_EQ(read(fd[0], &c, 1), 1);
    }
};

}  // namespace

TEST_F(LocksTest, RecordLockOfOneWorkAreaExcludesTheOther) {
    auto a = area(), b = area();
    EXPECT_TRUE(a->rlock(2));
    EXPECT_FALSE(b->rlock(2));
    EXPECT_TRUE(b->rlock(3));
    EXPECT_FALSE(a->rlock(3));
    a->unlock(2);
    EXPECT_FALSE(a->locked(2));
    EXPECT_TRUE(b->rlock(2));
    EXPECT_FALSE(a->rlock(4)) << "past the last row";
}

TEST_F(LocksTest, UnlockZeroReleasesEveryLockOfThatWorkAreaOnly) {
    auto a = area(), b = area();
    for (uint32_t r : {1u, 2u}) ASSERT_TRUE(a->rlock(r));
    ASSERT_TRUE(b->rlock(3));
    a->unlock(0);
    EXPECT_FALSE(a->locked(1));
    EXPECT_TRUE(b->locked(3));
    auto c = area();
    EXPECT_TRUE(c->rlock(1));
    EXPECT_TRUE(c->rlock(2));
    EXPECT_FALSE(c->rlock(3));
}

TEST_F(LocksTest, ClosingOneWorkAreaKeepsTheLocksOfAnother) {
    auto a = area(), b = area();
    ASSERT_TRUE(a->rlock(1));
    ASSERT_TRUE(b->rlock(2));
    b.reset();  // closes b's descriptor of the same file
    auto c = area();
    EXPECT_FALSE(c->rlock(1)) << "a's lock went with b's close";
    EXPECT_TRUE(c->rlock(2));
    EXPECT_EQ(inChild([&] { return DbfTable::open(table_, DbfTable::Mode::Shared)->lockRecord(1, false) ? 1 : 0; }), 0);
}

TEST_F(LocksTest, ExclusiveAndSharedOpensExcludeEachOther) {
    {
        auto a = area();
        EXPECT_THROW(DbfTable::open(table_, DbfTable::Mode::Exclusive), EngineError);
        EXPECT_NO_THROW(DbfTable::open(table_, DbfTable::Mode::ReadOnly));
    }
    auto x = area(DbfTable::Mode::Exclusive);
    for (auto mode : {DbfTable::Mode::Shared, DbfTable::Mode::ReadOnly, DbfTable::Mode::Exclusive}) {
        try {
            DbfTable::open(table_, mode);
            ADD_FAILURE() << "opened while held exclusively";
        } catch (const EngineError& e) {
            EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
        }
    }
    x.reset();
    EXPECT_NO_THROW(area());
}

TEST_F(LocksTest, OtherProcessMeetsTheLocksAndOpenModesOfThisOne) {
    auto a = area();
    ASSERT_TRUE(a->rlock(2));
    // Bit 0: record 2 was lockable there; bit 1: record 3 was not.
    int rc = inChild([&] {
        auto t = DbfTable::open(table_, DbfTable::Mode::Shared);
        return (t->lockRecord(2, false) ? 1 : 0) | (t->lockRecord(3, false) ? 0 : 2);
    });
    EXPECT_EQ(rc, 0);
    auto tryExclusive = [&] {
        try {
            DbfTable::open(table_, DbfTable::Mode::Exclusive);
            return 1;
        } catch (const EngineError&) {
            return 0;
        }
    };
    EXPECT_EQ(inChild(tryExclusive), 0) << "exclusive open beside a shared one";
    a.reset();
    EXPECT_EQ(inChild(tryExclusive), 1) << "nobody has the table open any more";

    auto x = area(DbfTable::Mode::Exclusive);
    EXPECT_EQ(inChild([&] {
                  try {
                      DbfTable::open(table_, DbfTable::Mode::Shared);
                      return 1;
                  } catch (const EngineError&) {
                      return 0;
                  }
              }),
              0);
}

TEST_F(LocksTest, LocksOfAProcessThatEndsAreReleased) {
    Signal ready, done;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 0;
        try {
            auto t = DbfTable::open(table_, DbfTable::Mode::Shared);
            rc = t->lockRecord(1, false) ? 0 : 1;
            ready.send();
            done.wait();
        } catch (...) {
            rc = 2;
        }
        _exit(rc);  // no unlock: the system releases the locks of an ended process
    }
    ready.wait();
    auto a = area();
    EXPECT_FALSE(a->rlock(1));
    done.send();
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(a->rlock(1));
}

TEST_F(LocksTest, InterleavedAppendsOfTwoWorkAreasKeepEveryRowAndShowEachOthers) {
    {
        auto x = area(DbfTable::Mode::Exclusive);
        x->createIndex(index_, "upper(ticket)", false, false, "");
    }
    auto a = area(), b = area();
    a->openIndex(index_);
    b->openIndex(index_);
    std::multiset<std::string> expected{"1     ", "2     ", "3     "};
    Bytes image(27);
    for (int i = 0; i < 40; ++i) {
        auto& writer = i % 2 ? *b : *a;
        auto& reader = i % 2 ? *a : *b;
        // Appended: GCC 12 at -O3 reports a false -Wrestrict overlap in "B" + string.
        std::string ticket(1, i % 2 ? 'B' : 'A');
        ticket += std::to_string(100 + i);
        book(writer, ticket);
        expected.insert(ticket + std::string(6 - ticket.size(), ' '));

        // The other work area sees the new row at its next call.
        reader.beginCall();
        EXPECT_EQ(reader.recCount(), 3u + i + 1);
        reader.setOrder(0);
        reader.goBottom();
        reader.getRecord(image.data());
        EXPECT_EQ(std::string(image.begin() + 1, image.begin() + 5), ticket);
        reader.setOrder(1);
        EXPECT_TRUE(reader.seek(ticket)) << ticket;
        EXPECT_EQ(reader.recno(), 3u + i + 1);
    }
    a.reset();
    b.reset();
    EXPECT_EQ(ticketsByIndex(), expected);
}

TEST_F(LocksTest, AppendsFromTwoProcessesAtOnceKeepEveryRow) {
    {
        auto x = area(DbfTable::Mode::Exclusive);
        x->createIndex(index_, "upper(ticket)", false, false, "");
    }
    constexpr int kEach = 60;
    auto appendMany = [&](const char* prefix) {
        auto wa = area();
        wa->openIndex(index_);
        for (int i = 0; i < kEach; ++i) {
            wa->beginCall();
            // Appended: GCC 12 at -O3 reports a false -Wrestrict overlap in prefix + string
            book(*wa, std::string(prefix).append(std::to_string(1000 + i)));
        }
        return 0;
    };
    Signal go;
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int rc = 0;
        try {
            go.wait();
            rc = appendMany("C");
        } catch (...) {
            rc = 1;
        }
        _exit(rc);
    }
    go.send();
    appendMany("P");
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::multiset<std::string> expected{"1     ", "2     ", "3     "};
    for (int i = 0; i < kEach; ++i)
        for (const char* prefix : {"C", "P"}) expected.insert(prefix + std::to_string(1000 + i) + " ");
    EXPECT_EQ(ticketsByIndex(), expected);

    // In record order too: every row once, none torn.
    auto t = DbfTable::open(table_, DbfTable::Mode::ReadOnly);
    ASSERT_EQ(t->recordCount(), 3u + 2 * kEach);
    std::multiset<std::string> rows;
    Bytes image(27);
    for (uint32_t r = 1; r <= t->recordCount(); ++r) {
        t->readRecord(r, image.data());
        EXPECT_EQ(std::string(image.begin() + 7, image.end()), "Biere" + std::string(15, ' '));
        rows.insert(std::string(image.begin() + 1, image.begin() + 7));
    }
    EXPECT_EQ(rows, expected);
}
