#pragma once

#include <optional>
#include <string>

namespace velmora {

// The number of processors this process may run on at once: the processors its affinity allows,
// lowered to its control group's processor quota (rounded up) when one is set. At least 1.
int UsableCores();

// The whole processors a cgroup v2 `cpu.max` text ("QUOTA PERIOD" or "max PERIOD") grants,
// rounded up; nothing when it sets no limit or cannot be read.
std::optional<int> CoresOfQuota(const std::string& cpuMax);

}  // namespace velmora
