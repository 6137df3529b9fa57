// Write to pager and Read from pager through the real window, against the
// emulated chip on the real clock: how close each command comes to the sum
// of the waits it asks for (the cable cannot go faster than that), and what
// it costs the processor. The sum is measured by running the same command on
// a virtual clock.
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/platform.h"
#include "app/prompts.h"
#include "image/codec.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_pager.h"

namespace {

using q5::link::EmulatedPagerPort;

// Boxes are counted, not shown: a benchmark cannot wait for OK.
class CountingPrompts final : public Prompts {
 public:
  void message(const QString&) override { ++messages; }
  void error(const QString&) override { ++errors; }
  void beep() override { ++beeps; }
  QString open_file_name() override { return {}; }
  QString save_file_name() override { return {}; }

  int messages = 0;
  int errors = 0;
  int beeps = 0;
};

// A pager on LPT1, its port free to claim, timed on the given clock.
template <class ClockType>
class EmulatedPlatform final : public Platform {
 public:
  EmulatedPlatform() {
    q5::image::Settings factory;
    factory.firmware = 1;
    factory.pll_chip = 0;
    factory.serial = "00000001";
    pager.chip().load(q5::image::encode(factory));
  }

  q5::jobs::PortsOpened open_ports() override { return {true, {}}; }
  void close_ports() override {}
  void timer_init() override {}
  q5::link::CableAccess& access(const q5::jobs::CableChoice& choice) override {
    return choice.lpt_index == 0 ? lpt1 : lpt2;  // USB is not measured here
  }

  ClockType time;
  EmulatedPagerPort pager{time, q5::link::kLpt1Base};
  q5::link::EmulatedLptAccess lpt1{pager, time, 0};
  q5::link::EmulatedLptAccess lpt2{pager, time, 1};
};

// The main window and its progress window, shown as the program shows them.
template <class ClockType>
struct Bench {
  EmulatedPlatform<ClockType> platform;
  CountingPrompts prompts;
  std::unique_ptr<TMain_Page> window;
  std::unique_ptr<TState_Form> state;

  Bench() {
    window = std::make_unique<TMain_Page>(platform, prompts);
    state = std::make_unique<TState_Form>(window.get());
    window->set_state_form(state.get());
    window->show();
    QApplication::processEvents();
  }

  QString last_log() const {
    const QStringList lines = window->ui.Memo1->toPlainText().split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.constLast();
  }
};

enum class Command { write, read };

QAction* action(TMain_Page& window, Command command) {
  return command == Command::write ? window.ui.WritetoPager1 : window.ui.ReadFromPager1;
}

// The command runs on the window's worker thread: the window's own event
// loop turns until it has ended.
void run_to_end(TMain_Page& window, Command command) {
  action(window, command)->trigger();
  while (window.transfer_running()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

const char* success_line(Command command) {
  return command == Command::write ? "Write eeprom OK!" : "Read from eeprom OK!";
}

// The waits one command asks for, in seconds.
double nominal_seconds(Command command) {
  Bench<q5::link::VirtualClock> bench;
  const std::int64_t start = bench.platform.time.now_ns();
  run_to_end(*bench.window, command);
  return static_cast<double>(bench.platform.time.now_ns() - start) / 1e9;
}

void run_command(benchmark::State& state, Command command) {
  const double nominal = nominal_seconds(command);
  Bench<q5::link::SteadyClock> bench;
  double real_total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    run_to_end(*bench.window, command);
    real_total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (bench.last_log() != success_line(command)) {
      state.SkipWithError(("the command did not succeed: " + bench.last_log().toStdString()).c_str());
      break;
    }
  }
  const double mean = real_total / static_cast<double>(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["nominal_s"] = nominal;
  state.counters["real_over_nominal"] = mean / nominal;
  state.counters["timing_violations"] = static_cast<double>(bench.platform.pager.chip().violation_count());
  state.counters["beeps"] = bench.prompts.beeps;
}

// The same commands with the waits taken out (a virtual clock): what the
// window, the codec and the emulated chip cost on top of the cable's time.
template <Command command>
void BM_OnVirtualClock(benchmark::State& state) {
  Bench<q5::link::VirtualClock> bench;
  for (auto _ : state) run_to_end(*bench.window, command);
}
BENCHMARK(BM_OnVirtualClock<Command::read>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OnVirtualClock<Command::write>)->Unit(benchmark::kMillisecond);

void BM_ReadFromPager(benchmark::State& state) { run_command(state, Command::read); }
BENCHMARK(BM_ReadFromPager)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_WriteToPager(benchmark::State& state) { run_command(state, Command::write); }
BENCHMARK(BM_WriteToPager)->UseRealTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
