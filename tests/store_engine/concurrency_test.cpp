// Readers in one process while another process appends: opens and index
// walks must never report damage in files that are sound.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "dbf_table.h"
#include "errors.h"
#include "test_support.h"
#include "work_area.h"

using namespace sde;
using namespace sde::test;

namespace {

std::vector<unsigned char> saleRow(uint32_t i) {
    char text[64];
    std::snprintf(text, sizeof text, " %-6u%-20s%8s", i / 3 + 1, ("Article " + std::to_string(i % 40)).c_str(),
                  "2.50");
    return std::vector<unsigned char>(text, text + 35);
}

}  // namespace

TEST(ConcurrentReaders, OpensAndWalksWhileAnotherProcessAppendsSeeNoDamage) {
    TempDir dir;
    const std::string table = dir.file("SALES.DBF");
    const std::string tickets = dir.file("TICKET.NTX");
    const std::string labels = dir.file("LIBELLE.NTX");
    DbfTable::create(table, {{"TICKET", 'C', 0, 6, 0}, {"LIBELLE", 'C', 0, 20, 0}, {"PRIX", 'N', 0, 8, 2}});
    {
        WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Shared), {});
        wa.createIndex(tickets, "upper(ticket)", false, false, "");
        wa.createIndex(labels, "upper(libelle)", false, false, "");
        for (uint32_t i = 1; i <= 100; ++i) wa.appendRecord(saleRow(i).data());
    }
    constexpr uint32_t kAppends = 4000;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int rc = 0;
        try {
            WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Shared), {});
            wa.openIndex(tickets);
            wa.openIndex(labels);
            for (uint32_t i = 101; i <= 100 + kAppends; ++i) wa.appendRecord(saleRow(i).data());
        } catch (...) {
            rc = 1;
        }
        _exit(rc);
    }
    int opens = 0, walks = 0;
    std::vector<std::string> refusals;
    int status = 0;
    // At least a few hundred of each, and on until the writer is done.
    while (waitpid(child, &status, WNOHANG) == 0 || opens < 300) {
        try {
            auto t = DbfTable::open(table, DbfTable::Mode::Shared);
            ++opens;
        } catch (const EngineError& e) {
            refusals.push_back(std::string("open: ") + e.what());
        }
        try {
            WorkArea wa("SALES", DbfTable::open(table, DbfTable::Mode::Shared), {});
            wa.openIndex(walks % 2 ? tickets : labels);
            uint32_t seen = 0;
            for (wa.goTop(); !wa.eof() && seen <= wa.recCount(); wa.skip(1)) ++seen;
            wa.goBottom();
            wa.skip(-1);
            ++walks;
        } catch (const EngineError& e) {
            refusals.push_back(std::string("walk: ") + e.what());
        }
        if (refusals.size() > 20) break;
    }
    if (refusals.size() > 20) waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the writer failed";
    EXPECT_TRUE(refusals.empty()) << refusals.size() << " false refusals, the first: " << refusals.front();
    std::printf("%d opens and %d index walks during %u appends: %zu false refusals\n", opens, walks,
                kAppends, refusals.size());
}
