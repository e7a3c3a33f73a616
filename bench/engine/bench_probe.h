// Wall time and resident memory of one benchmark step.
#pragma once

#include <chrono>
#include <string>

namespace bench {

// Resets the kernel's peak-resident mark (VmHWM) to the current resident
// size, so that the next peakResidentKb() covers one step only.
void resetPeakResident();
long peakResidentKb();     // VmHWM since the last reset
long residentKb();         // VmRSS now
long privateResidentKb();  // RssAnon now: resident memory that is not file pages
long maxResidentEverKb();  // getrusage ru_maxrss: the whole process
double cpuSeconds();       // user + system time of the process so far
std::string loadAverage(); // the first three figures of /proc/loadavg

class Stopwatch {
public:
    Stopwatch() : start_(std::chrono::steady_clock::now()) {}
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point start_;
};

}  // namespace bench
