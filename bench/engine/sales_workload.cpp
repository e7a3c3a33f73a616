#include "sales_workload.h"

#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>

#include "bench_probe.h"
#include "sales_rows.h"
#include "sde50.h"

namespace bench {

namespace {

constexpr int kSeeks = 10000;
constexpr uint32_t kRowSeed = 20240101;
constexpr uint32_t kSeekSeed = 7;

void check(long ok, const std::string& call) {
    if (!ok) throw std::runtime_error(call + " failed: " + sx_ErrorText());
}

void closeChecked() {
    sx_Close();
    if (*sx_ErrorText()) throw std::runtime_error(std::string("sx_Close failed: ") + sx_ErrorText());
}

void setOrder(int order) {
    sx_SetOrder(order);
    if (sx_IndexOrd() != order)
        throw std::runtime_error("sx_SetOrder " + std::to_string(order) + " failed: " + sx_ErrorText());
}

// Rows visible in the current order, by GO TOP and SKIP 1 to the end.
uint64_t countByWalk() {
    check(sx_GoTop(), "sx_GoTop");
    uint64_t n = 0;
    while (!sx_Eof()) {
        ++n;
        check(sx_Skip(1), "sx_Skip");
    }
    return n;
}

class Workload {
public:
    Workload(const std::string& dir, uint64_t rows, bool shared)
        : dir_(dir), rows_(rows), mode_(shared ? SDE_SHARED : SDE_EXCLUSIVE),
          maxTicket_(SalesRows::ticketOf(rows)) {}

    std::vector<StepResult> run();

private:
    std::string file(const char* name) const { return dir_ + "/" + name; }
    void step(const char* id, const char* what, const std::function<std::optional<uint64_t>()>& body,
              std::optional<uint64_t> expected = std::nullopt);
    void openWithTicketIndexes();
    void appendRows();
    uint64_t rowsOfTicket(uint64_t t) const;
    uint64_t rowsOfTicketsStartingWith(const std::string& prefix) const;
    std::optional<uint64_t> seekTickets();
    std::optional<uint64_t> seekLabels();
    uint64_t countQuery(const std::string& query, int order);

    std::string dir_;
    uint64_t rows_;
    int mode_;
    uint64_t maxTicket_;
    std::mt19937 seekRng_{kSeekSeed};
    std::vector<StepResult> results_;
};

void Workload::step(const char* id, const char* what,
                    const std::function<std::optional<uint64_t>()>& body,
                    std::optional<uint64_t> expected) {
    resetPeakResident();
    double cpu = cpuSeconds();
    Stopwatch watch;
    std::optional<uint64_t> count = body();
    double seconds = watch.seconds();
    results_.push_back({id, what, seconds, cpuSeconds() - cpu, peakResidentKb(), count, expected});
    results_.back().privateKb = privateResidentKb();
}

// Orders 1 and 2: the unique and the plain ticket index.
void Workload::openWithTicketIndexes() {
    check(sx_Use(file("BENCH.DBF").c_str(), "SALES", mode_, SDE_NTX), "sx_Use");
    check(sx_IndexOpen(file("BENCHU.NTX").c_str()), "sx_IndexOpen unique ticket");
    check(sx_IndexOpen(file("BENCHT.NTX").c_str()), "sx_IndexOpen ticket");
}

void Workload::appendRows() {
    for (const char* name : {"BENCH.DBF", "BENCHU.NTX", "BENCHT.NTX", "BENCHL.NTX"})
        std::filesystem::remove(file(name));
    check(sx_CreateTable(file("BENCH.DBF").c_str(), kSalesLayout), "sx_CreateTable");
    check(sx_Use(file("BENCH.DBF").c_str(), "SALES", mode_, SDE_NTX), "sx_Use");
    check(sx_Index(file("BENCHU.NTX").c_str(), "upper(ticket)", 1, 0, ""), "sx_Index unique ticket");
    check(sx_Index(file("BENCHT.NTX").c_str(), "upper(ticket)", 0, 0, ""), "sx_Index ticket");
    closeChecked();

    openWithTicketIndexes();
    SalesRows rows(readSalesOffsets(), kRowSeed);
    std::vector<unsigned char> image;
    for (uint64_t i = 1; i <= rows_; ++i) {
        rows.build(i, image);
        check(sx_AppendRecord(image.data()), "sx_AppendRecord");
        if (mode_ == SDE_SHARED) check(sx_Unlock(0), "sx_Unlock");
    }
    closeChecked();
}

uint64_t Workload::rowsOfTicket(uint64_t t) const {
    uint64_t first = 3 * t - 2, last = std::min(3 * t, rows_);
    return last >= first ? last - first + 1 : 0;
}

uint64_t Workload::rowsOfTicketsStartingWith(const std::string& prefix) const {
    uint64_t n = 0;
    for (uint64_t t = 1; t <= maxTicket_; ++t)
        if (std::to_string(t).rfind(prefix, 0) == 0) n += rowsOfTicket(t);
    return n;
}

// Ticket numbers up to 5 % past the last one, so some seeks miss.
std::optional<uint64_t> Workload::seekTickets() {
    setOrder(2);
    std::uniform_int_distribution<uint64_t> pick(1, maxTicket_ + maxTicket_ / 20);
    uint64_t found = 0;
    for (int k = 0; k < kSeeks; ++k) found += sx_Seek(std::to_string(pick(seekRng_)).c_str());
    return found;
}

std::optional<uint64_t> Workload::seekLabels() {
    setOrder(3);
    uint64_t found = 0;
    for (int k = 0; k < kSeeks; ++k) found += sx_Seek(randomUpperLabel(seekRng_).c_str());
    return found;
}

uint64_t Workload::countQuery(const std::string& query, int order) {
    check(sx_Query(query.c_str()), "sx_Query " + query);
    setOrder(order);
    return countByWalk();
}

std::vector<StepResult> Workload::run() {
    sx_SetDeleted(1);
    sx_SetExact(1);
    step("a", "append N rows, 2 indexes open", [&]() -> std::optional<uint64_t> {
        appendRows();
        return std::nullopt;
    });
    openWithTicketIndexes();
    step("b", "index on upper(libelle)", [&]() -> std::optional<uint64_t> {
        check(sx_Index(file("BENCHL.NTX").c_str(), "upper(libelle)", 0, 0, ""), "sx_Index label");
        return std::nullopt;
    });
    check(sx_RecCount() == static_cast<long>(rows_), "row count after appending");
    step("c1", "10,000 seeks, ticket index", [&] { return seekTickets(); });
    step("c2", "10,000 seeks, label index", [&] { return seekLabels(); });

    std::string middle = "TICKET = '" + std::to_string((maxTicket_ + 1) / 2) + "'";
    uint64_t middleRows = rowsOfTicket((maxTicket_ + 1) / 2);
    step("d1", "query TICKET = x, record order",
         [&]() -> std::optional<uint64_t> { return countQuery(middle, 0); }, middleRows);
    step("d2", "same query, ticket-index order",
         [&]() -> std::optional<uint64_t> { return countQuery(middle, 2); }, middleRows);
    sx_SetExact(0);
    step("d3", "query TICKET = '12', exact off",
         [&]() -> std::optional<uint64_t> { return countQuery("TICKET = '12'", 0); },
         rowsOfTicketsStartingWith("12"));
    sx_SetExact(1);
    step("d3x", "query TICKET = '12', exact on",
         [&]() -> std::optional<uint64_t> { return countQuery("TICKET = '12'", 0); }, rowsOfTicket(12));
    check(sx_Query(""), "sx_Query clear");

    step("e1", "skip through ticket index",
         [&]() -> std::optional<uint64_t> { return countQuery("", 2); }, rows_);
    step("e2", "skip through label index",
         [&]() -> std::optional<uint64_t> { return countQuery("", 3); }, rows_);
    step("e3", "skip through unique index",
         [&]() -> std::optional<uint64_t> { return countQuery("", 1); }, maxTicket_);
    // The entries of the ticket index, from its page counts.
    step("e4", "ticket index key count",
         [&]() -> std::optional<uint64_t> {
             sx_SetOrder(2);
             return static_cast<uint64_t>(sx_KeyCount());
         },
         rows_);
    sx_CloseAll();
    return results_;
}

}  // namespace

std::vector<StepResult> runSalesWorkload(const std::string& dir, uint64_t rows, bool shared) {
    return Workload(dir, rows, shared).run();
}

std::vector<StepResult> runBigLabelBuild(const std::string& dir, uint64_t rows) {
    std::string dbf = dir + "/BIG.DBF", ntx = dir + "/BIGL.NTX";
    std::filesystem::remove(dbf);
    std::filesystem::remove(ntx);
    std::vector<StepResult> results;

    resetPeakResident();
    double cpu = cpuSeconds();
    Stopwatch generate;
    check(sx_CreateTable(dbf.c_str(), kSalesLayout), "sx_CreateTable");
    check(sx_Use(dbf.c_str(), "BIG", SDE_EXCLUSIVE, SDE_NTX), "sx_Use");
    SalesRows source(readSalesOffsets(), kRowSeed);
    std::vector<unsigned char> image;
    for (uint64_t i = 1; i <= rows; ++i) {
        source.build(i, image);
        check(sx_AppendBlank(), "sx_AppendBlank");
        check(sx_PutRecord(image.data()), "sx_PutRecord");
        // The engine keeps every appended row in its list of locks, even in
        // an exclusive open; emptied here so that the build is measured alone.
        check(sx_Unlock(0), "sx_Unlock");
    }
    results.push_back({"b10gen", "append rows, no index, exclusive", generate.seconds(),
                       cpuSeconds() - cpu, peakResidentKb(), std::nullopt, std::nullopt});

    resetPeakResident();
    cpu = cpuSeconds();
    Stopwatch build;
    check(sx_Index(ntx.c_str(), "upper(libelle)", 0, 0, ""), "sx_Index label");
    results.push_back({"b10", "index on upper(libelle), big table", build.seconds(),
                       cpuSeconds() - cpu, peakResidentKb(), std::nullopt, std::nullopt});
    closeChecked();
    std::filesystem::remove(dbf);  // about 1.4 GB together: not left behind
    std::filesystem::remove(ntx);
    return results;
}

}  // namespace bench
