#include <chrono>
#include <thread>

#include "port_io.h"

namespace q5::link {

std::int64_t SteadyClock::now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SteadyClock::busy_wait_ns(std::int64_t ns) {
  if (ns <= 0) return;
  const std::int64_t deadline = now_ns() + ns;
  while (now_ns() < deadline) {
    // Spin: a sleep could hand the processor away for far longer than one
    // bit of the cable lasts.
  }
}

void SteadyClock::sleep_ns(std::int64_t ns) {
  if (ns <= 0) return;
  const std::int64_t deadline = now_ns() + ns;
  // sleep_for may wake early on a signal; go back to sleep for the rest.
  for (std::int64_t left = ns; left > 0; left = deadline - now_ns()) {
    std::this_thread::sleep_for(std::chrono::nanoseconds(left));
  }
}

}  // namespace q5::link
