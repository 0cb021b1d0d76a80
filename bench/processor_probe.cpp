#include "processor_probe.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace velmora::bench {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<int> UsableProcessors() {
    std::vector<int> processors;
#if defined(__linux__)
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        for (int p = 0; p < CPU_SETSIZE; ++p)
            if (CPU_ISSET(p, &set)) processors.push_back(p);
#endif
    return processors;
}

// Starts `work` on a thread of its own bound to `processor`.
template <typename Work>
std::jthread StartOn(int processor, Work work) {
    return std::jthread([processor, work = std::move(work)]() mutable {
#if defined(__linux__)
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(processor, &set);
        pthread_setaffinity_np(pthread_self(), sizeof set, &set);
#else
        (void)processor;
#endif
        work();
    });
}

// Two threads hand one counter back and forth.
double RoundTripNanos(int first, int second) {
    constexpr int kTrips = 200000;
    alignas(64) std::atomic<int> turn{0};
    Clock::duration elapsed{};
    std::jthread answerer = StartOn(second, [&] {
        for (int i = 0; i < kTrips; ++i) {
            while (turn.load(std::memory_order_acquire) != 2 * i + 1) {
            }
            turn.store(2 * i + 2, std::memory_order_release);
        }
    });
    StartOn(first, [&] {
        const auto start = Clock::now();
        for (int i = 0; i < kTrips; ++i) {
            turn.store(2 * i + 1, std::memory_order_release);
            while (turn.load(std::memory_order_acquire) != 2 * i + 2) {
            }
        }
        elapsed = Clock::now() - start;
    }).join();
    answerer.join();
    return std::chrono::duration<double, std::nano>(elapsed).count() / kTrips;
}

// A chain of reads, each finding the next, through 64 MB in an order no prefetcher can guess.
double MemoryReadNanos(int processor, const std::vector<std::uint32_t>& chain) {
    constexpr int kReads = 2000000;
    double nanos = 0;
    StartOn(processor, [&] {
        std::uint32_t at = 0;
        for (int i = 0; i < 100000; ++i) at = chain[at];  // the translation caches warm up
        const auto start = Clock::now();
        for (int i = 0; i < kReads; ++i) at = chain[at];
        nanos = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kReads;
        volatile std::uint32_t end = at;  // the reads are the measurement: keep them
        (void)end;
    }).join();
    return nanos;
}

std::vector<std::uint32_t> RandomCycle() {
    constexpr std::size_t kEntries = (std::size_t{64} << 20) / sizeof(std::uint32_t);
    std::vector<std::uint32_t> order(kEntries);
    std::iota(order.begin(), order.end(), 0u);
    std::shuffle(order.begin() + 1, order.end(), std::mt19937(1));
    std::vector<std::uint32_t> chain(kEntries);
    for (std::size_t i = 0; i < kEntries; ++i) chain[order[i]] = order[(i + 1) % kEntries];
    return chain;
}

}  // namespace

std::string DescribeProcessors() {
    const std::vector<int> processors = UsableProcessors();
    if (processors.empty()) return "processors: unknown";
    const std::vector<std::uint32_t> chain = RandomCycle();
    std::string text = "processors:";
    char piece[96];
    for (const int p : processors) {
        std::snprintf(piece, sizeof piece, " %d (memory read %.0f ns)", p,
                      MemoryReadNanos(p, chain));
        text += piece;
    }
    if (processors.size() > 1) {
        std::snprintf(piece, sizeof piece, "; a cache line from %d to %d and back: %.0f ns",
                      processors[0], processors[1], RoundTripNanos(processors[0], processors[1]));
        text += piece;
    }
    return text;
}

}  // namespace velmora::bench
