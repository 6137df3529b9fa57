// The register's cost per write: the reservation before the pager is touched
// (address 1 allocated from an individual pool, the others checked) and the
// record of the verified write with both images afterwards. On an SQLite
// file in a temporary folder, and on the PostgreSQL server the PG* variables
// name (skipped without them; run under pg_virtualenv).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "register/database.h"
#include "register/register.h"

namespace {

using namespace q5::reg;

// state.range(0): how many pagers of the fleet hold an address of the pool already.
void write_pagers(benchmark::State& state, const Location& location, Database& raw) {
  const auto reg = open_register(location);
  reg->add_pool({"fleet", 10000, 1999999, PoolKind::individual});
  if (const auto held = state.range(0); held > 0) {
    PagerEvent first;
    first.command = "write";
    reg->record(first);
    raw.exec("INSERT INTO q5_holdings (address, serial, event_id) SELECT 10000 + i, 'F' || CAST(i AS TEXT), "
             "(SELECT MIN(id) FROM q5_events) FROM (WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n "
             "WHERE i < CAST(? AS BIGINT) - 1) SELECT i FROM n) AS fleet",
             {std::to_string(held)});
  }
  q5::image::Image before{};
  q5::image::Image after{};
  before.fill(0x30);
  after.fill(0x31);
  int pager = 0;
  for (auto _ : state) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "%08d", ++pager);
    WritePlan plan;
    plan.serial_read = plan.serial_written = serial;
    plan.allocate[0] = "fleet";
    plan.addresses[1] = {"0000100", true};  // outside every pool: recorded, not checked
    plan.bench = "bench1";
    plan.operator_name = "ann";
    const Reservation reservation = reg->reserve(plan);
    if (reservation.refusal) {
      state.SkipWithError(reservation.refusal->text.c_str());
      break;
    }
    PagerEvent event;
    event.bench = "bench1";
    event.operator_name = "ann";
    event.program_version = "1.22";
    event.cable = "LPT1";
    event.command = "write";
    event.result = "Write eeprom OK!";
    event.verified = true;
    event.serial_read = event.serial_written = serial;
    event.addresses = plan.addresses;
    event.addresses[0] = {*reservation.allocated[0], true};
    event.frequency = "153.2750";
    event.image_before = before;
    event.image_after = after;
    reg->record(event, &reservation);
  }
  state.counters["pagers"] = pager;
}

void BM_RegisterWriteSqlite(benchmark::State& state) {
  std::string folder = (std::filesystem::temp_directory_path() / "q5regbench-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string path = folder + "/register.sqlite3";
  {
    const auto raw = open_sqlite(path);
    write_pagers(state, {Location::Kind::sqlite, path}, *raw);
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_RegisterWriteSqlite)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RegisterWritePostgres(benchmark::State& state) {
  if (std::getenv("PGHOST") == nullptr && std::getenv("PGPORT") == nullptr && std::getenv("PGSERVICE") == nullptr) {
    state.SkipWithError("no PostgreSQL server (no PG* variables); run under pg_virtualenv");
    return;
  }
  const std::string schema = "q5bench_" + std::to_string(::getpid());
  const auto admin = open_postgres("");
  admin->exec_script("CREATE SCHEMA " + schema);
  try {
    const std::string uri = "postgresql://?options=-csearch_path%3D" + schema;
    const auto raw = open_postgres(uri);
    write_pagers(state, {Location::Kind::postgres, uri}, *raw);
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
  }
  admin->exec_script("DROP SCHEMA " + schema + " CASCADE");
}
BENCHMARK(BM_RegisterWritePostgres)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
