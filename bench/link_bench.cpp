// The link's transfers against the emulated chip: on the real clock, how
// close a transfer comes to the sum of the waits it asks for; on the
// virtual clock, what the protocol and the emulation cost the processor.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "link/eeprom_link.h"
#include "link/emulated_pager.h"

namespace {

using namespace q5::link;
namespace image = q5::image;

image::Image pattern() {
  image::Image img{};
  for (std::size_t i = 0; i < img.size(); ++i) img[i] = static_cast<std::uint8_t>(i * 13 + 7);
  return img;
}

void open_read_close(EepromLink& link, image::Image& img) {
  if (!link.open_link()) return;
  link.read_eeprom(img);
  link.close_link();
}

// The sum of the waits an operation asks for, measured on a virtual clock.
template <class Op>
double nominal_seconds(Op op) {
  VirtualClock clock;
  EmulatedPagerPort port(clock);
  port.chip().load(pattern());
  EepromLink link(port, clock, [] { return kLpt1Base; });
  op(link);
  return static_cast<double>(clock.now_ns()) / 1e9;
}

void report(benchmark::State& state, double nominal_s, std::size_t violations) {
  state.counters["nominal_s"] = nominal_s;
  state.counters["timing_violations"] = static_cast<double>(violations);
}

void BM_OpenReadClose(benchmark::State& state) {
  SteadyClock clock;
  EmulatedPagerPort port(clock);
  port.chip().load(pattern());
  EepromLink link(port, clock, [] { return kLpt1Base; });
  image::Image img{};
  for (auto _ : state) {
    open_read_close(link, img);
    benchmark::DoNotOptimize(img);
  }
  if (img != pattern()) state.SkipWithError("read gave wrong bytes");
  report(state, nominal_seconds([](EepromLink& l) { image::Image i{}; open_read_close(l, i); }),
         port.chip().violation_count());
}
BENCHMARK(BM_OpenReadClose)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Write(benchmark::State& state) {
  SteadyClock clock;
  EmulatedPagerPort port(clock);
  EepromLink link(port, clock, [] { return kLpt1Base; });
  const image::Image img = pattern();
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.write_eeprom(img));
  }
  if (port.chip().save() != img) state.SkipWithError("chip does not hold the image");
  report(state, nominal_seconds([&img](EepromLink& l) { l.write_eeprom(img); }),
         port.chip().violation_count());
}
BENCHMARK(BM_Write)->UseRealTime()->Iterations(2)->Unit(benchmark::kMillisecond);

// No waiting at all: the processor's share of a full read, protocol and
// emulated chip together (about 12,000 port accesses).
void BM_ReadOnVirtualClock(benchmark::State& state) {
  VirtualClock clock;
  EmulatedPagerPort port(clock);
  port.chip().load(pattern());
  EepromLink link(port, clock, [] { return kLpt1Base; });
  image::Image img{};
  for (auto _ : state) {
    link.read_eeprom(img);
    benchmark::DoNotOptimize(img);
  }
}
BENCHMARK(BM_ReadOnVirtualClock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
