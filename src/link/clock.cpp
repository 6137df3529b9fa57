#include <time.h>

#include <cerrno>

#include "port_io.h"

namespace q5::link {

namespace {

constexpr std::int64_t kNsPerSecond = 1'000'000'000;

// Sleeps until the monotonic clock reads `deadline_ns`; a signal that cuts
// the sleep short only sends it back to sleep.
void sleep_until(std::int64_t deadline_ns) {
  timespec until{};
  until.tv_sec = static_cast<time_t>(deadline_ns / kNsPerSecond);
  until.tv_nsec = static_cast<long>(deadline_ns % kNsPerSecond);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
  }
}

}  // namespace

std::int64_t SteadyClock::now_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

void SteadyClock::wait_ns(std::int64_t ns) {
  if (ns <= 0) return;
  const std::int64_t deadline = now_ns() + ns;
  if (ns >= kSleepFromNs) sleep_until(deadline - kSpinTailNs);
  // The deadline itself is met by spinning: it is what keeps every wait at
  // least as long as asked, whatever the sleep did.
  while (now_ns() < deadline) {
  }
}

}  // namespace q5::link
