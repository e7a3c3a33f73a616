#include "reference_figures.h"

namespace bench {

namespace {

struct Timing {
    const char* step;
    double exclusive100k[2], exclusive1m[2], shared100k[2], shared1m[2];
};

// Run 1 / run 2, seconds.
const Timing kTimings[] = {
    {"a", {0.811, 0.876}, {7.272, 7.643}, {1.678, 1.679}, {16.742, 15.752}},
    {"b", {0.078, 0.092}, {0.668, 0.668}, {0.087, 0.087}, {0.687, 0.545}},
    {"c1", {0.046, 0.049}, {0.052, 0.072}, {0.063, 0.075}, {0.070, 0.043}},
    {"c2", {0.040, 0.037}, {0.053, 0.059}, {0.056, 0.058}, {0.065, 0.042}},
    {"d1", {0.073, 0.076}, {0.644, 0.649}, {0.061, 0.069}, {0.685, 0.493}},
    {"d2", {0.086, 0.109}, {0.812, 0.782}, {0.177, 0.214}, {2.046, 1.841}},
    {"d3", {0.071, 0.077}, {0.653, 0.604}, {0.058, 0.075}, {0.707, 0.578}},
    {"e1", {0.064, 0.078}, {0.722, 0.652}, {0.203, 0.239}, {2.156, 2.277}},
    {"e2", {0.085, 0.092}, {1.022, 1.037}, {0.222, 0.262}, {2.691, 2.689}},
    {"e3", {0.023, 0.022}, {0.277, 0.214}, {0.067, 0.081}, {0.780, 0.716}},
    {"e4", {0.002, 0.002}, {0.017, 0.022}, {0.001, 0.002}, {0.018, 0.018}},
};

struct FileSize {
    const char* file;
    uint64_t rows100k, rows1m;
};

const FileSize kFileSizes[] = {
    {"BENCH.DBF", 9300259, 93000259},
    {"BENCHU.NTX", 994304, 10024960},
    {"BENCHT.NTX", 2931712, 29821952},
    {"BENCHL.NTX", 4271104, 42672128},
};

}  // namespace

std::optional<double> referenceSeconds(const std::string& step, bool shared, uint64_t rows) {
    if (rows != 100000 && rows != 1000000) return std::nullopt;
    bool big = rows == 1000000;
    for (const auto& t : kTimings) {
        if (step != t.step) continue;
        const double* runs = shared ? (big ? t.shared1m : t.shared100k)
                                    : (big ? t.exclusive1m : t.exclusive100k);
        return (runs[0] + runs[1]) / 2;
    }
    return std::nullopt;
}

std::optional<uint64_t> referenceFileSize(const std::string& file, uint64_t rows) {
    if (rows != 100000 && rows != 1000000) return std::nullopt;
    for (const auto& f : kFileSizes)
        if (file == f.file) return rows == 100000 ? f.rows100k : f.rows1m;
    return std::nullopt;
}

}  // namespace bench
