// Prints the benchmark's results beside the reference figures, with the
// goals our engine has to reach.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sales_workload.h"

namespace bench {

// Returns the number of steps that missed their goal.
int printWorkloadTable(const std::vector<StepResult>& steps, bool shared, uint64_t rows);
void printFileSizes(const std::string& dir, uint64_t rows);
void printBigBuild(const std::vector<StepResult>& steps, uint64_t rows);

}  // namespace bench
