// One bench of the concurrency test: writes COUNT pagers of its own, each
// getting address 1 allocated from POOL, as the write job does it (reserve,
// then record the verified write). A pager already written (before a kill)
// is skipped, so the test can restart a killed bench.
//   register_worker sqlite|postgres TARGET BENCH COUNT POOL
#include <cstdio>
#include <cstdlib>
#include <string>

#include "register/register.h"

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: register_worker sqlite|postgres TARGET BENCH COUNT POOL\n");
    return 2;
  }
  using namespace q5::reg;
  const Location location{std::string(argv[1]) == "sqlite" ? Location::Kind::sqlite : Location::Kind::postgres,
                          argv[2]};
  const int bench = std::atoi(argv[3]);
  const int count = std::atoi(argv[4]);
  try {
    const auto reg = open_register(location);
    for (int k = 0; k < count; ++k) {
      char serial[16];
      std::snprintf(serial, sizeof serial, "%08d", bench * 100000 + k);
      const auto history = reg->history(serial);
      if (!history.empty() && history.back().verified) continue;
      WritePlan plan;
      plan.serial_read = plan.serial_written = serial;
      plan.allocate[0] = argv[5];
      plan.bench = "bench" + std::to_string(bench);
      const Reservation reservation = reg->reserve(plan);
      if (reservation.refusal) {
        std::fprintf(stderr, "refused: %s\n", reservation.refusal->text.c_str());
        return 1;
      }
      PagerEvent event;
      event.bench = plan.bench;
      event.command = "write";
      event.result = "Write eeprom OK!";
      event.verified = true;
      event.serial_read = event.serial_written = serial;
      event.addresses[0] = {*reservation.allocated[0], true};
      event.image_after = q5::image::Image{};
      reg->record(event, &reservation);
    }
  } catch (const RegisterError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
