// Cost of building an image from the default form and of reading it back.
#include <benchmark/benchmark.h>

#include "image/codec.h"

namespace {

void BM_EncodeDefaults(benchmark::State& state) {
  const q5::image::Settings settings;
  for (auto _ : state) benchmark::DoNotOptimize(q5::image::encode(settings));
}
BENCHMARK(BM_EncodeDefaults);

void BM_DecodeDefaults(benchmark::State& state) {
  const q5::image::Image image = q5::image::encode(q5::image::Settings{});
  for (auto _ : state) benchmark::DoNotOptimize(q5::image::decode(image));
}
BENCHMARK(BM_DecodeDefaults);

}  // namespace

BENCHMARK_MAIN();
