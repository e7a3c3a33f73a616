#include "bench_probe.h"

#include <sys/resource.h>

#include <fstream>
#include <string>

namespace bench {

void resetPeakResident() {
    // "5" asks Linux to reset the peak resident size of this process.
    std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {

long statusKb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
    return -1;
}

}  // namespace

long peakResidentKb() { return statusKb("VmHWM:"); }
long residentKb() { return statusKb("VmRSS:"); }
long privateResidentKb() { return statusKb("RssAnon:"); }

long maxResidentEverKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return secs(usage.ru_utime) + secs(usage.ru_stime);
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

}  // namespace bench
