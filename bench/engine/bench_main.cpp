// bench_engine [--n N] [--mode shared|exclusive|both] [--dir FOLDER] [--big]
// Times the sales-table workload through libsde50.so and prints it beside
// Harbour's figures for the same work. Nothing is forced to disk.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "bench_probe.h"
#include "bench_report.h"
#include "sales_workload.h"

namespace {

struct Options {
    uint64_t rows = 100000;
    bool shared = true;
    bool exclusive = true;
    std::string dir = "/tmp/sde-bench";
    bool big = false;
};

int usage() {
    std::fprintf(stderr, "usage: bench_engine [--n N] [--mode shared|exclusive|both] [--dir FOLDER] [--big]\n");
    return 2;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--big") {
            o.big = true;
        } else if (arg == "--n" && hasValue) {
            char* end = nullptr;
            o.rows = std::strtoull(argv[++i], &end, 10);
            if (*end || o.rows < 3 || o.rows > 100000000) return false;
        } else if (arg == "--mode" && hasValue) {
            std::string m = argv[++i];
            if (m != "shared" && m != "exclusive" && m != "both") return false;
            o.shared = m != "exclusive";
            o.exclusive = m != "shared";
        } else if (arg == "--dir" && hasValue) {
            o.dir = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) return usage();
    std::printf("resident size at start, engine loaded: %.1f MB\n",
                static_cast<double>(bench::residentKb()) / 1024);
    try {
        std::filesystem::create_directories(o.dir);
        for (bool shared : {false, true}) {
            if (!(shared ? o.shared : o.exclusive)) continue;
            bench::Stopwatch mode;
            auto steps = bench::runSalesWorkload(o.dir, o.rows, shared);
            bench::printWorkloadTable(steps, shared, o.rows);
            bench::printFileSizes(o.dir, o.rows);
            std::printf("wall time of this mode: %.3f s\n", mode.seconds());
        }
        if (o.big) bench::printBigBuild(bench::runBigLabelBuild(o.dir, 10000000), 10000000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_engine: %s\n", e.what());
        return 1;
    }
    std::printf("\nprocess peak resident size (ru_maxrss): %.1f MB\n",
                static_cast<double>(bench::maxResidentEverKb()) / 1024);
    return 0;
}
