#include "bench_report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "bench_probe.h"
#include "reference_figures.h"

namespace bench {

namespace {

struct Goal {
    double limit;
    const char* rule;
};

// What each step must reach against Harbour (same open mode unless said).
std::optional<Goal> goalFor(const std::string& id, bool shared, uint64_t rows) {
    if (id == "d2") return Goal{0.001, "< 1 ms"};
    auto same = referenceSeconds(id, shared, rows);
    auto exclusive = referenceSeconds(id, false, rows);
    if (!same || !exclusive) return std::nullopt;
    if (id == "a")
        return shared ? Goal{std::min(*same / 2, *exclusive), "<= min(ref/2, ref excl)"}
                      : Goal{*exclusive, "<= ref excl"};
    if (id == "b" || id == "d1") return Goal{*same / 2, "<= ref/2"};
    if (id[0] == 'c' || id[0] == 'e') return Goal{*exclusive, "<= ref excl"};
    return std::nullopt;
}

std::string grouped(uint64_t n) {
    std::string s = std::to_string(n);
    // One ',' rather than ",": GCC 12 at -O3 reports a false -Wrestrict overlap there.
    for (int at = static_cast<int>(s.size()) - 3; at > 0; at -= 3) s.insert(static_cast<size_t>(at), 1, ',');
    return s;
}

std::string seconds(std::optional<double> s) {
    if (!s) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", *s);
    return text;
}

std::string megabytes(long kb) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(kb) / 1024);
    return text;
}

}  // namespace

int printWorkloadTable(const std::vector<StepResult>& steps, bool shared, uint64_t rows) {
    std::printf("\n%s open, N = %s (reference: Harbour DBFNTX, average of its 2 runs)\n",
                shared ? "Shared" : "Exclusive", grouped(rows).c_str());
    std::printf("load average before: %s\n", loadAverage().c_str());
    std::printf("%-4s %-32s %9s %8s %9s %9s %9s %9s %9s %9s  %s\n", "step", "what", "ours s", "cpu s",
                "peak RSS", "private", "count", "expected", "ref s", "ref excl", "goal");
    int missed = 0;
    double total = 0;
    for (const auto& r : steps) {
        total += r.seconds;
        auto goal = goalFor(r.id, shared, rows);
        std::string verdict = "";
        if (goal) {
            char text[64];
            bool met = r.seconds <= goal->limit;
            missed += met ? 0 : 1;
            std::snprintf(text, sizeof text, "%s = %.4f %s", goal->rule, goal->limit, met ? "met" : "MISSED");
            verdict = text;
        }
        bool countWrong = r.count && r.expected && *r.count != *r.expected;
        std::printf("%-4s %-32s %9.4f %8.3f %9s %9s %9s %9s %9s %9s  %s", r.id.c_str(), r.what.c_str(),
                    r.seconds, r.cpuSeconds, megabytes(r.peakKb).c_str(),
                    r.privateKb ? megabytes(r.privateKb).c_str() : "-", r.count ? grouped(*r.count).c_str() : "-",
                    r.expected ? grouped(*r.expected).c_str() : "-",
                    seconds(referenceSeconds(r.id, shared, rows)).c_str(),
                    seconds(referenceSeconds(r.id, false, rows)).c_str(), verdict.c_str());
        if (r.id == "d2") std::printf("  (%.0f us)", r.seconds * 1e6);
        if (countWrong) std::printf("  COUNT WRONG");
        std::printf("\n");
    }
    std::printf("sum of the steps: %.3f s; goals missed: %d\n", total, missed);
    return missed;
}

void printFileSizes(const std::string& dir, uint64_t rows) {
    std::printf("files:");
    for (const char* name : {"BENCH.DBF", "BENCHU.NTX", "BENCHT.NTX", "BENCHL.NTX"}) {
        std::error_code ec;
        auto size = std::filesystem::file_size(dir + "/" + name, ec);
        auto ref = referenceFileSize(name, rows);
        std::printf("  %s %s (ref %s)", name, ec ? "?" : grouped(size).c_str(),
                    ref ? grouped(*ref).c_str() : "-");
    }
    std::printf("\n");
}

void printBigBuild(const std::vector<StepResult>& steps, uint64_t rows) {
    std::printf("\nBig label index, N = %s (exclusive)\n", grouped(rows).c_str());
    for (const auto& r : steps)
        std::printf("%-6s %-36s %9.3f s (cpu %.3f s)  peak RSS %s\n", r.id.c_str(), r.what.c_str(),
                    r.seconds, r.cpuSeconds, megabytes(r.peakKb).c_str());
}

}  // namespace bench
