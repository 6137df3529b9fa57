// Read from pager and Write to pager over the USB cable, on the emulated
// board. On the virtual clock: the time at the pins against the sum of the
// minimums the protocol asks for, and against the parallel-port cable; the
// exchanges with the board; what protocol, cable and emulation cost the
// processor. On the real clock: the cable's host-side waits, the board's
// clock spun by the emulation.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "link/eeprom_link.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/usb_access.h"

#include "session_bench.h"

namespace {

using namespace q5::link;
using q5::bench::Command;
using q5::bench::pattern;
using q5::bench::run;
using q5::bench::thread_cpu_seconds;

// The minimums at the pins: every bit one 200 us period, the settling
// times, the link checks (13 periods each), the 5 ms pauses, and a fast
// chip ready at its first look.
double minimum_seconds(Command command) {
  constexpr std::int64_t kPeriod = 2 * mpsse::kHalfPeriodNs;
  constexpr std::int64_t kCheck = 4 * kBitWaitNs + (2 + kCheckMaxPulses) * kPeriod;
  constexpr std::int64_t kOpen = kClockIdleSettleNs + kDeselectSettleNs + kCheck;
  constexpr std::int64_t kSend = 11 * kPeriod + kBitWaitNs;
  constexpr std::int64_t kReadAll = kSend + 256 * 8 * kPeriod + kBitWaitNs;
  constexpr std::int64_t kRead = kOpen + kReadAll + kCheck + kCloseSettleNs + kReleaseSettleNs;
  constexpr std::int64_t kWord = kProgramPauseNs + kSend + 16 * kPeriod;
  constexpr std::int64_t kWriteAll =
      kSend + kWords * kWord + kWords * kStatusValidNs + kProgramPauseNs + kSend + kBitWaitNs;
  constexpr std::int64_t kWrite = kRead + kOpen + kWriteAll + kReadAll + kCheck;
  return static_cast<double>(command == Command::read ? kRead : kWrite) / 1e9;
}

template <class ClockType>
struct UsbPager {
  UsbPager() { board.pager().load(pattern()); }
  ClockType clock;
  EmulatedMpsse board{clock};
  UsbCableAccess usb{board, clock};
  PagerSession session{usb, nullptr};
};

// The progress window, counting.
class ShownProgress final : public Progress {
 public:
  void advanced() override { ++advances; }
  int advances = 0;
};

// The board behind a USB round trip of `rtt_ns`: each reply comes that long
// after its request, on the virtual clock.
class RoundTrip final : public FtdiDevice {
 public:
  RoundTrip(EmulatedMpsse& board, VirtualClock& clock, std::int64_t rtt_ns)
      : board_(board), clock_(clock), rtt_ns_(rtt_ns) {}
  FtdiOpen open(std::uint16_t product, const std::string& serial, int index) override {
    return board_.open(product, serial, index);
  }
  FtdiChip chip() const override { return board_.chip(); }
  bool set_mode(FtdiMode mode) override { return board_.set_mode(mode); }
  FtdiTransfer write(std::span<const std::uint8_t> data) override { return board_.write(data); }
  FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) override {
    clock_.advance_ns(rtt_ns_);
    return board_.read(data, timeout);
  }
  void close() override { board_.close(); }
  std::string error() const override { return board_.error(); }

 private:
  EmulatedMpsse& board_;
  VirtualClock& clock_;
  std::int64_t rtt_ns_;
};

// Read and write with and without the progress shown (a read that shows it
// goes in exchanges of 32 bytes), with the round trips free or costing
// `rtt_us` each: the time at the pins and the exchanges.
template <Command command, bool shown, int rtt_us>
void BM_UsbProgressAndRoundTrips(benchmark::State& state) {
  double pins = 0;
  std::uint64_t exchanges = 0;
  for (auto _ : state) {
    VirtualClock clock;
    EmulatedMpsse board{clock};
    board.pager().load(pattern());
    RoundTrip device(board, clock, std::int64_t{rtt_us} * 1000);
    UsbCableAccess usb(device, clock);
    ShownProgress progress;
    PagerSession session(usb, shown ? &progress : nullptr);
    if (run(session, command).outcome != Outcome::ok) state.SkipWithError("the command failed");
    pins = static_cast<double>(clock.now_ns()) / 1e9;
    exchanges = board.reads();
  }
  state.counters["pins_s"] = pins;
  state.counters["exchanges"] = static_cast<double>(exchanges);
}
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::read, false, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::read, true, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::read, false, 1000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::read, true, 1000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::write, false, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::write, true, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::write, false, 1000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbProgressAndRoundTrips, Command::write, true, 1000)->Unit(benchmark::kMillisecond);

double lpt_seconds(Command command) {
  VirtualClock clock;
  EmulatedPagerPort port(clock, kLpt1Base);
  port.chip().load(pattern());
  EmulatedLptAccess lpt(port, clock, 0);
  PagerSession session(lpt, nullptr);
  run(session, command);
  return static_cast<double>(clock.now_ns()) / 1e9;
}

// The time at the pins (the virtual clock) and the processor's share.
template <Command command>
void BM_UsbAtThePins(benchmark::State& state) {
  double pins = 0;
  std::uint64_t exchanges = 0;
  std::uint64_t problems = 0;
  std::uint64_t violations = 0;
  for (auto _ : state) {
    UsbPager<VirtualClock> pager;
    if (run(pager.session, command).outcome != Outcome::ok) state.SkipWithError("the command failed");
    pins = static_cast<double>(pager.clock.now_ns()) / 1e9;
    exchanges = pager.board.reads();
    problems = pager.board.problems().size();
    violations = pager.board.pager().violation_count();
  }
  state.counters["pins_s"] = pins;
  state.counters["minimums_s"] = minimum_seconds(command);
  state.counters["pins_over_minimums_pct"] = (pins / minimum_seconds(command) - 1) * 100;
  state.counters["lpt_pins_s"] = lpt_seconds(command);
  state.counters["exchanges"] = static_cast<double>(exchanges);
  state.counters["engine_problems"] = static_cast<double>(problems);
  state.counters["timing_violations"] = static_cast<double>(violations);
}
BENCHMARK_TEMPLATE(BM_UsbAtThePins, Command::read)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbAtThePins, Command::write)->Unit(benchmark::kMillisecond);

// On the real clock: the emulated board spins each half period, the cable
// sleeps through its waits as the link does on hardware.
template <Command command>
void BM_UsbOnTheRealClock(benchmark::State& state) {
  UsbPager<SteadyClock> pager;
  double wall = 0;
  double cpu = 0;
  for (auto _ : state) {
    const std::int64_t start = pager.clock.now_ns();
    const double cpu_start = thread_cpu_seconds();
    if (run(pager.session, command).outcome != Outcome::ok) state.SkipWithError("the command failed");
    cpu += thread_cpu_seconds() - cpu_start;
    wall += static_cast<double>(pager.clock.now_ns() - start) / 1e9;
  }
  const double iterations = static_cast<double>(state.iterations());
  state.counters["minimums_s"] = minimum_seconds(command);
  state.counters["wall_s"] = wall / iterations;
  state.counters["wall_over_minimums_pct"] = (wall / iterations / minimum_seconds(command) - 1) * 100;
  state.counters["cpu_s"] = cpu / iterations;
  state.counters["timing_violations"] = static_cast<double>(pager.board.pager().violation_count());
}
BENCHMARK_TEMPLATE(BM_UsbOnTheRealClock, Command::read)->UseRealTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_UsbOnTheRealClock, Command::write)->UseRealTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
