#include "usable_cores.h"

#include <sched.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

namespace velmora {

namespace {

int AffinityCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(CPU_COUNT(&set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

// The tightest quota on the way from this process's cgroup up to the root of the hierarchy.
std::optional<int> QuotaCores() {
    std::ifstream groups("/proc/self/cgroup");
    std::string line;
    std::string path;
    while (std::getline(groups, line))
        if (line.rfind("0::", 0) == 0) path = line.substr(3);
    if (path.empty() || path[0] != '/') return std::nullopt;
    std::optional<int> tightest;
    for (;;) {
        std::ifstream file("/sys/fs/cgroup" + (path == "/" ? std::string() : path) + "/cpu.max");
        std::stringstream text;
        text << file.rdbuf();
        if (const std::optional<int> cores = CoresOfQuota(text.str()))
            tightest = std::min(tightest.value_or(*cores), *cores);
        if (path == "/") break;
        const std::size_t slash = path.rfind('/');
        path = slash == 0 ? "/" : path.substr(0, slash);
    }
    return tightest;
}

}  // namespace

std::optional<int> CoresOfQuota(const std::string& cpuMax) {
    std::istringstream fields(cpuMax);
    std::string quotaText;
    long long period = 0;
    if (!(fields >> quotaText >> period) || quotaText == "max" || period <= 0) return std::nullopt;
    std::size_t used = 0;
    long long quota = 0;
    try {
        quota = std::stoll(quotaText, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (used != quotaText.size() || quota <= 0) return std::nullopt;
    return static_cast<int>(std::min<long long>((quota + period - 1) / period, 1 << 16));
}

int UsableCores() {
    const int affinity = AffinityCores();
    const std::optional<int> quota = QuotaCores();
    return std::max(quota ? std::min(affinity, *quota) : affinity, 1);
}

}  // namespace velmora
