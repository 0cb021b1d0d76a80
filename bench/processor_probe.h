#pragma once

#include <string>

namespace velmora::bench {

// What the processors this process may use are like, measured in a second or so: how long a cache
// line takes to go from one processor to another and back, and how long a read of memory that is
// in no cache takes on each. Two processors of one machine can differ a lot (virtual machines
// place their processors on cores that may share nothing, not even a memory controller), and the
// parallel fill's speed-up over two threads follows from both. One line, for a bench's header.
std::string DescribeProcessors();

}  // namespace velmora::bench
