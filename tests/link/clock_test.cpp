// The real clock's waits: never shorter than asked (how much longer depends
// on the machine's load, so that is not tested).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "link/eeprom_link.h"
#include "link/emulated_pager.h"

namespace q5::link {
namespace {

std::int64_t elapsed_ns(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - since)
      .count();
}

TEST(SteadyClockWaits, LastAtLeastWhatWasAsked) {
  SteadyClock clock;
  EmulatedPagerPort port(clock);
  EepromLink link(port, clock, [] { return kLpt1Base; });
  for (std::uint32_t us : {1u, 100u, 250u, 5000u}) {
    SCOPED_TRACE(us);
    auto start = std::chrono::steady_clock::now();
    link.delay_us(us);
    EXPECT_GE(elapsed_ns(start), std::int64_t{us} * 1000);

    start = std::chrono::steady_clock::now();
    clock.sleep_ns(std::int64_t{us} * 1000);
    EXPECT_GE(elapsed_ns(start), std::int64_t{us} * 1000);
  }
}

}  // namespace
}  // namespace q5::link
