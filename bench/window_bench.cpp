// One encode and one decode through the real window: the codec itself is
// cheap (see q5_image_bench); this is what the controls, the step list and
// the handlers a decode sets off add to every Save, Open, Write and Read.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

#include "app/Q5_c.h"
#include "support/fake_platform.h"
#include "support/recording_prompts.h"

namespace {

// The main window on the test platform, shown as the program shows it.
struct ShownWindow {
  FakePlatform platform;
  RecordingPrompts prompts;
  std::unique_ptr<TMain_Page> window;

  ShownWindow() {
    window = std::make_unique<TMain_Page>(platform, prompts);
    window->show();
    QApplication::processEvents();
  }
};

void BM_EncodeThroughWindow(benchmark::State& state) {
  ShownWindow w;
  for (auto _ : state) {
    w.window->encode_image();
    benchmark::DoNotOptimize(w.window->image());
  }
  if (!w.prompts.errors.isEmpty()) state.SkipWithError("the encode reported an error");
}
BENCHMARK(BM_EncodeThroughWindow);

// The default image onto the default form: every text is still emptied and
// filled again, so each edit's change handler runs twice.
void BM_DecodeThroughWindow(benchmark::State& state) {
  ShownWindow w;
  w.window->encode_image();
  for (auto _ : state) w.window->decode_image();
  if (!w.prompts.errors.isEmpty()) state.SkipWithError("the decode reported an error");
}
BENCHMARK(BM_DecodeThroughWindow);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  benchmark::Initialize(&argc, argv);  // takes its flags out before Qt sees the rest
  QApplication app(argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
