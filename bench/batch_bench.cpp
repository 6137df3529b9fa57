// A batch at the bench: pagers per operator-hour, each pager written with
// the next addresses and serial number, on the emulated pager (the link's
// times on the virtual clock) and with a modelled handling time for taking
// one pager off the clip and putting the next one on.
//
//   enter_full:     every word written, Enter pressed for the next pager;
//   enter_changed:  only the words that differ, Enter pressed;
//   hands_free:     only the words that differ, the next pager found by
//                   polling the link check every 0.5 s: taken off after two
//                   failed checks in a row, put on after two passed ones.
//
// The pager on the clip holds the image written before it (a batch being
// reprogrammed), so a step changes six words: the four address words, the
// serial's last word and the checksum. The first write over a pager that
// holds something else entirely is measured too: it must not take longer
// than writing all words.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>

#include "image/image.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/pager_session.h"
#include "link/usb_access.h"
#include "session_bench.h"

namespace {

using namespace q5::link;
namespace image = q5::image;

constexpr double kHandlingS = 8.0;  // unclip the pager, clip the next one (Enter included)
constexpr double kPollS = 0.5;      // from one check's start to the next
constexpr int kChecksInARow = 2;
// The old pager comes off this long into the handling; the next goes on at
// its end. Polls fall anywhere against that: the phases are averaged.
constexpr double kOffAfterS = 1.0;
constexpr int kPhases = 10;

enum class Mode { enter_full, enter_changed, hands_free };
enum class Cable { lpt, usb };

// The next pager's image: each address up by 8 in its last byte, the
// serial's last digit up by one, the checksum anew.
image::Image next_in_batch(image::Image img) {
  img[image::off::serial_digits + 7] = static_cast<std::uint8_t>((img[image::off::serial_digits + 7] + 1) % 10);
  for (int row = 0; row < 4; ++row) {
    const std::size_t last = image::off::address(row) + image::off::address_slot_size - 1;
    img[last] = static_cast<std::uint8_t>(img[last] + 8);
  }
  const std::uint16_t sum = image::checksum(img);
  img[image::off::checksum] = static_cast<std::uint8_t>(sum >> 8);
  img[image::off::checksum + 1] = static_cast<std::uint8_t>(sum & 0xFF);
  return img;
}

int words_between(const image::Image& a, const image::Image& b) {
  int words = 0;
  for (std::size_t w = 0; w < a.size() / 2; ++w) words += a[2 * w] != b[2 * w] || a[2 * w + 1] != b[2 * w + 1];
  return words;
}

// One pager on one cable, on the virtual clock.
class Station {
 public:
  explicit Station(Cable cable) {
    if (cable == Cable::lpt) {
      port_ = std::make_unique<EmulatedPagerPort>(clock_, kLpt1Base);
      access_ = std::make_unique<EmulatedLptAccess>(*port_, clock_, 0);
    } else {
      board_ = std::make_unique<EmulatedMpsse>(clock_);
      access_ = std::make_unique<UsbCableAccess>(*board_, clock_);
    }
    session_ = std::make_unique<PagerSession>(*access_, nullptr);
  }

  Eeprom93C56& chip() { return port_ ? port_->chip() : board_->pager(); }
  void set_present(bool present) {
    if (port_) {
      port_->set_present(present);
    } else {
      board_->set_pager_present(present);
    }
  }
  double now_s() { return static_cast<double>(clock_.now_ns()) / 1e9; }
  void wait_until_s(double t) { clock_.advance_ns(static_cast<std::int64_t>((t - now_s()) * 1e9)); }

  // Writes `img` over whatever the pager holds; the seconds it took.
  double write(const image::Image& img, bool all_words, int* words = nullptr) {
    const double start = now_s();
    const SessionResult result = session_->write([&img](const image::Image&) { return img; }, {.all_words = all_words});
    if (result.outcome != Outcome::ok) return -1;
    if (words) *words = result.words_written;
    return now_s() - start;
  }

  // Polls from now until `passes` checks in a row say `connected`; the
  // pager is on the clip before `off_at` and from `on_at`. The checks made.
  int poll_until(bool connected, double off_at, double on_at) {
    int checks = 0;
    for (int in_a_row = 0; in_a_row < kChecksInARow;) {
      const double start = now_s();
      set_present(start < off_at || start >= on_at);
      const bool answered = session_->check_link().state == LinkState::connected;
      ++checks;
      in_a_row = answered == connected ? in_a_row + 1 : 0;
      if (in_a_row < kChecksInARow) wait_until_s(std::max(now_s(), start + kPollS));
    }
    return checks;
  }

  // One link check, on a pager that answers.
  double check_s() {
    set_present(true);
    const double start = now_s();
    session_->check_link();
    return now_s() - start;
  }

 private:
  VirtualClock clock_;
  std::unique_ptr<EmulatedPagerPort> port_;
  std::unique_ptr<EmulatedMpsse> board_;
  std::unique_ptr<CableAccess> access_;
  std::unique_ptr<PagerSession> session_;
};

// One pager of the batch, from the end of the last write to the end of
// this one: the operator's handling and whatever the program adds.
struct Step {
  double write_s = 0;
  double cycle_s = 0;
  double check_s = 0;     // one link check
  double noticed_s = 0;   // from the next pager going on to its write starting
  int checks = 0;
  int words = 0;
};

Step batch_step(Cable cable, Mode mode, int phase) {
  Station station(cable);
  const image::Image previous = q5::bench::pattern();
  station.chip().load(previous);
  const image::Image next = next_in_batch(previous);
  Step step;
  const bool all_words = mode == Mode::enter_full;
  if (mode != Mode::hands_free) {
    // Enter comes when the next pager is on; the handling is the operator's.
    step.write_s = station.write(next, all_words, &step.words);
    step.cycle_s = kHandlingS + step.write_s;
    return step;
  }
  // The last write has just ended: the pager comes off, the next goes on,
  // and the polls begin, somewhere in their period against the operator.
  const double start = station.now_s();
  station.wait_until_s(start + phase * kPollS / kPhases);
  const double off_at = start + kOffAfterS;
  const double on_at = start + kHandlingS;
  step.checks = station.poll_until(false, off_at, 1e9);
  step.checks += station.poll_until(true, off_at, on_at);
  step.noticed_s = station.now_s() - on_at;
  step.write_s = station.write(next, all_words, &step.words);
  step.cycle_s = station.now_s() - start;
  step.check_s = station.check_s();
  return step;
}

template <Cable cable, Mode mode>
void BM_Batch(benchmark::State& state) {
  Step sum;
  for (auto _ : state) {
    sum = {};
    const int phases = mode == Mode::hands_free ? kPhases : 1;
    for (int phase = 0; phase < phases; ++phase) {
      const Step step = batch_step(cable, mode, phase);
      if (step.write_s < 0) state.SkipWithError("the write failed");
      sum.write_s += step.write_s / phases;
      sum.cycle_s += step.cycle_s / phases;
      sum.check_s = step.check_s;
      sum.noticed_s += step.noticed_s / phases;
      sum.checks += step.checks;
      sum.words = step.words;
    }
    if (mode == Mode::hands_free) sum.checks /= phases;
  }
  state.counters["write_s"] = sum.write_s;
  state.counters["words_written"] = sum.words;
  state.counters["cycle_s"] = sum.cycle_s;
  state.counters["pagers_per_hour"] = 3600.0 / sum.cycle_s;
  if (mode == Mode::hands_free) {
    state.counters["checks_per_pager"] = sum.checks;
    state.counters["check_s"] = sum.check_s;
    // What pressing Enter may cost before hands-free is the quicker.
    state.counters["noticed_s"] = sum.noticed_s;
  }
}

BENCHMARK_TEMPLATE(BM_Batch, Cable::lpt, Mode::enter_full)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Batch, Cable::lpt, Mode::enter_changed)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Batch, Cable::lpt, Mode::hands_free)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Batch, Cable::usb, Mode::enter_full)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Batch, Cable::usb, Mode::enter_changed)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_Batch, Cable::usb, Mode::hands_free)->Iterations(1)->Unit(benchmark::kMillisecond);

// A first write over a pager that holds nothing of the new image (every word
// differs): changed words against all words, nominal seconds.
template <Cable cable>
void BM_FirstWrite(benchmark::State& state) {
  double changed = 0;
  double all = 0;
  int words = 0;
  for (auto _ : state) {
    image::Image other = q5::bench::pattern();
    for (std::size_t i = 0; i < other.size(); i += 2) other[i] = static_cast<std::uint8_t>(~other[i]);
    other[image::off::function_flags] &= static_cast<std::uint8_t>(~image::bit::function::model);
    const image::Image img = q5::bench::pattern();
    if (words_between(other, img) != 128) state.SkipWithError("the pagers share words");
    Station a(cable);
    a.chip().load(other);
    changed = a.write(img, false, &words);
    Station b(cable);
    b.chip().load(other);
    all = b.write(img, true);
  }
  state.counters["changed_words_s"] = changed;
  state.counters["all_words_s"] = all;
  state.counters["words_written"] = words;
}
BENCHMARK_TEMPLATE(BM_FirstWrite, Cable::lpt)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_FirstWrite, Cable::usb)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
