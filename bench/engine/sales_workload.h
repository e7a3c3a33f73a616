// The sales-table workload, step by step, through the C entry points of
// libsde50.so, the way the till program calls the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bench {

struct StepResult {
    std::string id;    // "a", "b", "c1", ... as in the reference table
    std::string what;
    double seconds = 0;
    double cpuSeconds = 0;            // user + system, to tell a busy machine apart
    long peakKb = 0;                  // resident peak during the step
    std::optional<uint64_t> count;    // rows found, when the step counts
    std::optional<uint64_t> expected; // what the data says it must be
    // Private (anonymous) resident memory at the end of the step: the
    // resident peak also counts the file pages mapped from the page cache.
    long privateKb = 0;
};

// Runs steps a to e4 on a fresh table of `rows` rows in `dir`, opened shared
// or exclusive. Throws std::runtime_error with the engine's message when a
// call fails.
std::vector<StepResult> runSalesWorkload(const std::string& dir, uint64_t rows, bool shared);

// Step b10: appends `rows` rows without indexes (exclusive), then builds
// upper(libelle) over them. Returns the generation and the build.
std::vector<StepResult> runBigLabelBuild(const std::string& dir, uint64_t rows);

}  // namespace bench
