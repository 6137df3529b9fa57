// Four benches allocate from one pool at once while the test kills them at
// random: no address may end up with two pagers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "register/engines.h"

namespace q5::test {
namespace {

constexpr int kBenches = 4;
constexpr int kPagersEach = 200;
constexpr int kKills = 8;

class Concurrency : public ::testing::TestWithParam<std::string> {
 protected:
  pid_t start_bench(int bench) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      const std::string number = std::to_string(bench);
      const std::string count = std::to_string(kPagersEach);
      ::execl(Q5_REGISTER_WORKER, Q5_REGISTER_WORKER, GetParam().c_str(), engine_.location().target.c_str(),
              number.c_str(), count.c_str(), "fleet", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  }

  EngineRegister engine_;
};

TEST_P(Concurrency, FourBenchesGetDistinctAddressesDespiteKills) {
  if (!engine_.start(GetParam())) GTEST_SKIP();
  reg::open_register(engine_.location())->add_pool({"fleet", 10000, 11999, reg::PoolKind::individual});

  std::array<pid_t, kBenches> pids{};
  for (int b = 0; b < kBenches; ++b) pids[b] = start_bench(b + 1);
  std::mt19937 random(std::random_device{}());
  for (int kill = 0; kill < kKills; ++kill) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 400)(random)));
    const int b = std::uniform_int_distribution<int>(0, kBenches - 1)(random);
    ::kill(pids[b], SIGKILL);
    int status = 0;
    ::waitpid(pids[b], &status, 0);
    pids[b] = start_bench(b + 1);  // a bench that ended already just finds nothing left to do
  }
  for (int b = 0; b < kBenches; ++b) {
    int status = 0;
    ASSERT_EQ(::waitpid(pids[b], &status, 0), pids[b]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "bench " << b + 1 << " status " << status;
  }

  const auto db = engine_.raw();
  // No address in two pagers, in the holdings or in what the pagers were last given.
  EXPECT_TRUE(db->query("SELECT address FROM q5_pager_addresses GROUP BY address HAVING COUNT(*) > 1").empty());
  EXPECT_TRUE(db->query("SELECT serial FROM q5_holdings GROUP BY serial HAVING COUNT(*) <> 1").empty());
  EXPECT_EQ(db->query("SELECT COUNT(*) FROM q5_holdings")[0][0], std::to_string(kBenches * kPagersEach));
  EXPECT_EQ(db->query("SELECT COUNT(*) FROM q5_pagers")[0][0], std::to_string(kBenches * kPagersEach));
  // Every address a verified write gave a pager is held by that very pager.
  const auto strays = db->query(
      "SELECT e.serial_written, a.address FROM q5_events e JOIN q5_event_addresses a ON a.event_id = e.id "
      "LEFT JOIN q5_holdings h ON h.address = a.address WHERE e.verified = 1 AND "
      "(h.serial IS NULL OR h.serial <> e.serial_written)");
  EXPECT_TRUE(strays.empty()) << *strays[0][0] << " lost " << *strays[0][1];
  EXPECT_EQ(db->query("SELECT COUNT(*) FROM q5_events")[0][0], std::to_string(kBenches * kPagersEach))
      << "each pager written once";
}

INSTANTIATE_TEST_SUITE_P(Engines, Concurrency, ::testing::Values("sqlite", "postgres"), engine_name);

}  // namespace
}  // namespace q5::test
