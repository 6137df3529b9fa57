// Read from pager and Write to pager as whole pager sessions against the
// emulated chip. On the real clock: how close a command comes to the sum of
// the waits it asks for (the cable cannot go faster than that), and what it
// costs the processor, with the clock the link uses and with clocks that
// spin through waits as the link did before its long waits slept. On the
// virtual clock: what the protocol and the emulation themselves cost.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>

#include "link/emulated/emulated_access.h"
#include "link/pager_session.h"
#include "session_bench.h"

namespace {

using namespace q5::link;
using q5::bench::Command;
using q5::bench::pattern;
using q5::bench::thread_cpu_seconds;

// Spins through every wait.
class SpinningClock final : public Clock {
 public:
  std::int64_t now_ns() override { return steady_.now_ns(); }
  void wait_ns(std::int64_t ns) override {
    const std::int64_t deadline = now_ns() + ns;
    while (now_ns() < deadline) {
    }
  }

 private:
  SteadyClock steady_;
};

// The link's waits as they were before: bit waits and the 5 ms programming
// pauses spun, the settling times of 10 ms and more slept whole.
class SpinUnder10msClock final : public Clock {
 public:
  std::int64_t now_ns() override { return steady_.now_ns(); }
  void wait_ns(std::int64_t ns) override {
    if (ns >= kSleepFromNs) {
      const std::int64_t deadline = now_ns() + ns;
      for (std::int64_t left = ns; left > 0; left = deadline - now_ns()) {
        const timespec t{static_cast<time_t>(left / 1'000'000'000), static_cast<long>(left % 1'000'000'000)};
        nanosleep(&t, nullptr);
      }
      return;
    }
    spinning_.wait_ns(ns);
  }

 private:
  static constexpr std::int64_t kSleepFromNs = 10'000'000;
  SteadyClock steady_;
  SpinningClock spinning_;
};

// A pager on LPT1, timed on `ClockType`.
template <class ClockType>
struct Pager {
  Pager() { port.chip().load(pattern()); }

  SessionResult run(Command command) { return q5::bench::run(session, command); }

  ClockType clock;
  EmulatedPagerPort port{clock, kLpt1Base};
  EmulatedLptAccess access{port, clock, 0};
  PagerSession session{access, nullptr};
};

// The sum of the waits a command asks for: the same command on a virtual
// clock.
double nominal_seconds(Command command) {
  Pager<VirtualClock> pager;
  pager.run(command);
  return static_cast<double>(pager.clock.now_ns()) / 1e9;
}

template <class ClockType, Command command>
void BM_Session(benchmark::State& state) {
  Pager<ClockType> pager;
  double wall = 0;
  double cpu = 0;
  for (auto _ : state) {
    const std::int64_t wall_start = pager.clock.now_ns();
    const double cpu_start = thread_cpu_seconds();
    const SessionResult result = pager.run(command);
    cpu += thread_cpu_seconds() - cpu_start;
    wall += static_cast<double>(pager.clock.now_ns() - wall_start) / 1e9;
    if (result.outcome != Outcome::ok) state.SkipWithError("the command failed");
  }
  const double nominal = nominal_seconds(command);
  const double iterations = static_cast<double>(state.iterations());
  state.counters["nominal_s"] = nominal;
  state.counters["wall_s"] = wall / iterations;
  state.counters["wall_over_nominal_pct"] = (wall / iterations / nominal - 1) * 100;
  state.counters["cpu_s"] = cpu / iterations;
  state.counters["timing_violations"] = static_cast<double>(pager.port.chip().violation_count());
}

// The clock the link uses: long waits sleep, and only their tail spins.
BENCHMARK_TEMPLATE2(BM_Session, SteadyClock, Command::read)
    ->UseRealTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE2(BM_Session, SteadyClock, Command::write)
    ->UseRealTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
// As before: everything under 10 ms spun.
BENCHMARK_TEMPLATE2(BM_Session, SpinUnder10msClock, Command::read)
    ->UseRealTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE2(BM_Session, SpinUnder10msClock, Command::write)
    ->UseRealTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
// Every wait spun: the processor time is the wall time.
BENCHMARK_TEMPLATE2(BM_Session, SpinningClock, Command::read)
    ->UseRealTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE2(BM_Session, SpinningClock, Command::write)
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// No waiting at all: the processor's share of a whole command, protocol,
// cable and emulated chip together.
template <Command command>
void BM_SessionOnVirtualClock(benchmark::State& state) {
  Pager<VirtualClock> pager;
  for (auto _ : state) {
    benchmark::DoNotOptimize(pager.run(command));
  }
}
BENCHMARK_TEMPLATE(BM_SessionOnVirtualClock, Command::read)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_SessionOnVirtualClock, Command::write)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
