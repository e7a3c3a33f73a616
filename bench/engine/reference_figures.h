// Harbour 3.2 (DBFNTX) timings of the same workload on a machine like ours,
// the figures our engine is measured against.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace bench {

// Average of the two reference runs in seconds; empty for a step or row
// count that was not measured.
std::optional<double> referenceSeconds(const std::string& step, bool shared, uint64_t rows);

// Size in bytes of a reference file (BENCH.DBF, BENCHU/T/L.NTX) after a run.
std::optional<uint64_t> referenceFileSize(const std::string& file, uint64_t rows);

}  // namespace bench
