// The clocks the link's waits run on.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdint>

#include "link/port_io.h"

namespace q5::link {
namespace {

std::int64_t thread_cpu_ns() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// The real clock's waits are never shorter than asked, whether they spin or
// sleep first (how much longer depends on the machine's load, so that is
// not tested).
TEST(SteadyClockWaits, LastAtLeastWhatWasAsked) {
  SteadyClock clock;
  const auto elapsed_ns = [](auto since) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - since).count();
  };
  for (std::int64_t us : {1, 100, 250, 999, 1000, 1001, 5000, 10000}) {
    SCOPED_TRACE(us);
    const auto start = std::chrono::steady_clock::now();
    clock.wait_ns(us * 1000);
    EXPECT_GE(elapsed_ns(start), us * 1000);
  }
}

// A settling wait leaves the processor to others: only its last fraction
// spins. A clock that spun all the way would burn the whole 50 ms.
TEST(SteadyClockWaits, LongWaitsSleepMostOfTheTime) {
  SteadyClock clock;
  constexpr std::int64_t kWaitNs = 50'000'000;
  const std::int64_t cpu_before = thread_cpu_ns();
  clock.wait_ns(kWaitNs);
  EXPECT_LT(thread_cpu_ns() - cpu_before, kWaitNs / 5);
}

}  // namespace
}  // namespace q5::link
