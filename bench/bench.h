// A small timing harness for VELDRIN's benchmarks: runs a procedure until
// enough time has passed, and prints times and ratios measured in the same
// run. Plain C++, for native and Windows programs alike.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

struct Timing {
  double medianUs; // median time of one call, microseconds
  double minUs;    // fastest call
  int runs;        // calls timed
};

// Calls fn once to warm up, then times single calls until at least minRuns
// calls and minSeconds in all have passed (at most maxRuns calls).
template <typename Fn>
Timing Measure(Fn&& fn, double minSeconds = 0.5, int minRuns = 5, int maxRuns = 100000) {
  using Clock = std::chrono::steady_clock;
  fn();
  std::vector<double> times;
  double total = 0;
  while ((total < minSeconds || static_cast<int>(times.size()) < minRuns) &&
         static_cast<int>(times.size()) < maxRuns) {
    const Clock::time_point start = Clock::now();
    fn();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    times.push_back(seconds * 1e6);
    total += seconds;
  }
  std::sort(times.begin(), times.end());
  return Timing{times[times.size() / 2], times.front(), static_cast<int>(times.size())};
}

// One printed line: name, median and fastest time.
inline void PrintTiming(const char* name, const Timing& t) {
  printf("  %-44s %12.1f us median %12.1f us min  (%d runs)\n", name, t.medianUs, t.minUs, t.runs);
}

// "How many times faster" for two timings of the same run: the ratio of the
// medians, and of the fastest calls (steadier on a busy machine).
inline void PrintRatio(const char* name, const Timing& slow, const Timing& fast) {
  printf("  %-44s %12.1fx median %11.1fx min\n", name, slow.medianUs / fast.medianUs,
         slow.minUs / fast.minUs);
}
