// Rows read through the table's read view (dbf_table.h): what another
// process appends or rewrites shows without reopening, also past the end of
// the first view; a zap or a rolled-back change leaves no stale row; a file
// cut short under a reader gives an error, never a crash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "dbf_table.h"
#include "errors.h"
#include "journal.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;
using ::testing::HasSubstr;

namespace {

using Bytes = std::vector<unsigned char>;

// Four C250 fields: records of 1,001 bytes, so that 1,100 of them reach past
// the view made for the first few.
constexpr uint32_t kWideRecord = 1001;

Bytes wideRow(uint32_t i, char fill = 'x') {
    std::string r = " " + std::to_string(i) + " ";
    r.resize(kWideRecord, static_cast<char>(fill + static_cast<char>(i % 7)));
    return Bytes(r.begin(), r.end());
}

std::string makeWide(const TempDir& dir, uint32_t rows) {
    const std::string path = dir.file("WIDE.DBF");
    DbfTable::create(path, {{"A", 'C', 0, 250, 0}, {"B", 'C', 0, 250, 0}, {"C", 'C', 0, 250, 0},
                            {"D", 'C', 0, 250, 0}});
    auto t = DbfTable::open(path, DbfTable::Mode::Exclusive);
    for (uint32_t i = 1; i <= rows; ++i) t->appendRecord(wideRow(i).data());
    return path;
}

Bytes readRow(DbfTable& t, uint32_t recno) {
    Bytes image(t.recordLength());
    t.readRecord(recno, image.data());
    return image;
}

Bytes blockRow(DbfTable& t, uint32_t recno) {
    const unsigned char* image = t.cachedRecord(recno);
    return Bytes(image, image + t.recordLength());
}

// Runs `body` in a child process; `body` ends it with _exit when what it
// leaves behind must not be tidied by destructors (an open change).
void inOtherProcess(const std::function<void()>& body) {
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int rc = 0;
        try {
            body();
        } catch (...) {
            rc = 1;
        }
        _exit(rc);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the other process failed";
}

// Read system calls this process has made (read, pread), from /proc.
uint64_t readCalls() {
    std::ifstream io("/proc/self/io");
    std::string name;
    uint64_t value = 0;
    while (io >> name >> value)
        if (name == "syscr:") return value;
    ADD_FAILURE() << "no read count in /proc/self/io";
    return 0;
}

}  // namespace

TEST(ReadViewWalk, WalkInLabelOrderReadsNoRowWithASystemCall) {
    TempDir dir;
    const std::string table = dir.file("SALES.DBF");
    const std::string labels = dir.file("LIBELLE.NTX");
    DbfTable::create(table, {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 20, 0}});
    constexpr uint32_t kRows = 3000;
    {
        WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Exclusive), {});
        wa.createIndex(labels, "upper(libelle)", false, false, "");
        for (uint32_t i = 1; i <= kRows; ++i) {
            char row[32];
            std::snprintf(row, sizeof row, " %-6u%-20s", i, ("Article " + std::to_string(i * 7919 % kRows)).c_str());
            wa.appendRecord(reinterpret_cast<const unsigned char*>(row));
        }
    }
    for (auto mode : {DbfTable::Mode::Shared, DbfTable::Mode::Exclusive}) {
        SCOPED_TRACE(mode == DbfTable::Mode::Shared ? "shared" : "exclusive");
        WorkArea wa("SALES", DbfTable::open(table, mode), {});
        wa.openIndex(labels);
        wa.setOrder(1);
        // Each step a call of its own, as through the library's entry points.
        const uint64_t before = readCalls();
        uint32_t rows = 0;
        for (wa.goTop(); !wa.eof(); wa.skip(1)) {
            ++rows;
            wa.beginCall();
        }
        const uint64_t calls = readCalls() - before;
        EXPECT_EQ(rows, kRows);
        // The index pages are read (about a hundred), the rows are not.
        EXPECT_LT(calls, kRows / 10) << calls << " reads for " << rows << " rows";
    }
}

class ReadView : public ::testing::TestWithParam<DbfTable::Mode> {};

TEST_P(ReadView, RowsAnotherProcessAppendsOrRewritesShowWithoutReopening) {
    TempDir dir;
    const std::string path = makeWide(dir, 10);
    auto reader = DbfTable::open(path, GetParam());
    for (uint32_t r = 1; r <= 10; ++r) ASSERT_EQ(readRow(*reader, r), wideRow(r));
    constexpr uint32_t kRows = 1500;
    inOtherProcess([&] {
        auto writer = DbfTable::open(path, DbfTable::Mode::Shared);
        for (uint32_t i = 11; i <= kRows; ++i) writer->appendRecord(wideRow(i).data());
        writer->writeRecord(5, wideRow(5, 'a').data());
    });
    EXPECT_EQ(readRow(*reader, 5), wideRow(5, 'a'));
    reader->refreshCount();
    ASSERT_EQ(reader->recordCount(), kRows);
    for (uint32_t r = kRows; r >= 1; r -= 7) {  // the far end first, then backwards in steps
        ASSERT_EQ(readRow(*reader, r), r == 5 ? wideRow(5, 'a') : wideRow(r)) << "record " << r;
        ASSERT_EQ(blockRow(*reader, r), readRow(*reader, r)) << "record " << r;
        if (r <= 7) break;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, ReadView,
                         ::testing::Values(DbfTable::Mode::Shared, DbfTable::Mode::ReadOnly));

TEST(ReadViewCut, FileCutShortUnderAReaderGivesAnErrorNotACrash) {
    // The header is 162 bytes: a cut after 1,000 records falls inside a page,
    // whose tail then reads as zeros; pages wholly past the cut fault.
    struct Case {
        const char* what;
        uint32_t kept;
        uint32_t read;
    };
    const Case cases[] = {
        {"the next record, in the cut page", 1000, 1001},
        {"a record pages past the cut", 1000, 1400},
        {"the first record, the file cut to its header", 0, 1},
        {"the last record, the file cut to its header", 0, 1500},
    };
    for (const Case& c : cases) {
        for (auto mode : {DbfTable::Mode::Shared, DbfTable::Mode::ReadOnly}) {
            SCOPED_TRACE(std::string(c.what) + (mode == DbfTable::Mode::Shared ? ", shared" : ", read only"));
            TempDir dir;
            const std::string path = makeWide(dir, 1500);
            auto reader = DbfTable::open(path, mode);
            ASSERT_EQ(readRow(*reader, 1500), wideRow(1500));
            ASSERT_EQ(::truncate(path.c_str(), reader->headerLength() + off_t{c.kept} * kWideRecord), 0);
            for (bool block : {false, true}) {
                reader->invalidateCache();
                try {
                    if (block)
                        blockRow(*reader, c.read);
                    else
                        readRow(*reader, c.read);
                    ADD_FAILURE() << "read a record past the end of the file";
                } catch (const CorruptFileError& e) {
                    EXPECT_THAT(e.what(), HasSubstr("Truncated file"));
                }
            }
            if (c.kept > 0) {
                EXPECT_EQ(readRow(*reader, c.kept), wideRow(c.kept));
            }
        }
    }
}

TEST(ReadViewChanges, ZapLeavesNoStaleRow) {
    TempDir dir;
    const std::string path = makeWide(dir, 40);
    auto t = DbfTable::open(path, DbfTable::Mode::Exclusive);
    for (uint32_t r = 1; r <= 40; ++r) ASSERT_EQ(blockRow(*t, r), wideRow(r));
    t->zap();
    EXPECT_EQ(t->recordCount(), 0u);
    EXPECT_THROW(readRow(*t, 1), EngineError);
    for (uint32_t i = 1; i <= 3; ++i) t->appendRecord(wideRow(i, 'z').data());
    for (uint32_t r = 1; r <= 3; ++r) {
        EXPECT_EQ(readRow(*t, r), wideRow(r, 'z'));
        EXPECT_EQ(blockRow(*t, r), wideRow(r, 'z'));
    }
    EXPECT_THROW(readRow(*t, 4), EngineError);
}

TEST(ReadViewChanges, ChangeOfADeadWriterRolledBackUnderAReaderLeavesNoStaleRow) {
    TempDir dir;
    const std::string path = makeWide(dir, 20);
    WorkArea wa("WIDE", DbfTable::open(path, DbfTable::Mode::Shared), {});
    Bytes image(kWideRecord);
    for (wa.goTop(); !wa.eof(); wa.skip(1)) {
        wa.getRecord(image.data());
        ASSERT_EQ(image, wideRow(wa.recno()));
    }
    // Another process appends three rows in a change and dies before its end.
    inOtherProcess([&] {
        auto t = DbfTable::open(path, DbfTable::Mode::Shared);
        if (!t->lockHeader(true)) _exit(1);
        auto journalFile = openFile(Journal::pathFor(path), OpenFlags::CreateOrEmpty);
        Journal journal(*journalFile);
        journal.add(t->file(), kDbfDate + kDbfUpdatedSize);
        journal.begin();
        for (uint32_t i = 21; i <= 23; ++i) t->appendRecord(wideRow(i, 'd').data());
        _exit(0);
    });
    // Its rows are there until the next writer rolls them back.
    ASSERT_EQ(wa.recCount(), 23u);
    wa.go(23);
    wa.getRecord(image.data());
    EXPECT_EQ(image, wideRow(23, 'd'));
    wa.appendRecord(wideRow(21, 'n').data());
    EXPECT_EQ(wa.recCount(), 21u);
    for (uint32_t r : {21u, 20u, 1u}) {
        wa.go(r);
        wa.getRecord(image.data());
        EXPECT_EQ(image, r == 21 ? wideRow(21, 'n') : wideRow(r)) << "record " << r;
    }
    wa.go(22);
    EXPECT_TRUE(wa.eof());
    EXPECT_EQ(readAll(path).size(), wa.table().headerLength() + 21u * kWideRecord + 1);
}
