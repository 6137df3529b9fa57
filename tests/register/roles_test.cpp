// The shared register under the two roles of register-roles.sql: what an
// operator may not do, the database itself refuses, in its own words.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "cli/cli_run.h"
#include "register/engines.h"

namespace q5::test {
namespace {

class Roles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!engine_.start("postgres")) GTEST_SKIP();
    const auto owner = reg::open_register(engine_.location());
    owner->add_pool({"fleet", 2004000, 2004999, reg::PoolKind::individual});
    owner->add_pool({"spare", 5000, 5999, reg::PoolKind::group});
    std::ifstream file(Q5_ROLES_SQL);
    std::stringstream sql;
    sql << file.rdbuf();
    ASSERT_FALSE(sql.str().empty());
    reg::Database& admin = *engine_.admin();
    admin.exec_script("SET search_path TO " + engine_.tag());
    admin.exec_script(sql.str());
    const char* password = std::getenv("PGPASSWORD");
    const std::string with_password =
        password != nullptr ? " PASSWORD '" + std::string(password) + "'" : std::string();
    for (const auto& [user, role] : {std::pair{operator_, "q5_operators"}, std::pair{administrator_, "q5_administrators"}}) {
      admin.exec_script("CREATE ROLE " + user + " LOGIN" + with_password + " IN ROLE " + role);
    }
  }
  void TearDown() override {
    if (engine_.admin() == nullptr) return;
    for (const std::string& user : {operator_, administrator_}) {
      try {
        engine_.admin()->exec_script("DROP OWNED BY " + user + "; DROP ROLE IF EXISTS " + user);
      } catch (const std::exception&) {
      }
    }
  }

  std::unique_ptr<reg::Register> as(const std::string& user) {
    return reg::open_register({reg::Location::Kind::postgres, engine_.uri_for(user)});
  }

  // A verified write of the pager with address 1.
  static reg::Reservation write(reg::Register& reg, const std::string& serial, const std::string& address,
                                bool reassign = false) {
    reg::WritePlan plan;
    plan.serial_read = plan.serial_written = serial;
    plan.addresses[0] = {address, true};
    plan.reassign = reassign;
    reg::Reservation reservation = reg.reserve(plan);
    if (reservation.refusal) return reservation;
    reg::PagerEvent event;
    event.command = "write";
    event.verified = true;
    event.serial_read = event.serial_written = serial;
    event.addresses = plan.addresses;
    reg.record(event, &reservation);
    return reservation;
  }

  EngineRegister engine_;
  std::string operator_ = "q5t_operator_" + std::to_string(::getpid());
  std::string administrator_ = "q5t_admin_" + std::to_string(::getpid());
};

TEST_F(Roles, OperatorsWriteAndAllocateButOnlyAdministratorsManagePoolsAndReassign) {
  const auto operator_register = as(operator_);
  ASSERT_FALSE(write(*operator_register, "00000001", "2004001").refusal);
  reg::WritePlan allocate;
  allocate.serial_read = "00000002";
  allocate.allocate[0] = "fleet";
  allocate.allocate_serial = true;
  const reg::Reservation allocated = operator_register->reserve(allocate);
  ASSERT_FALSE(allocated.refusal);
  EXPECT_EQ(allocated.allocated[0], "2004000");
  operator_register->cancel(allocated);

  // Refused by the database, with its reason, on the command line ...
  const std::vector<std::vector<std::string>> refused{
      {"register", "pool", "add", "more", "3000", "3999", "--group"},
      {"register", "pool", "remove", "spare"},
  };
  for (const auto& args : refused) {
    std::vector<std::string> words{"--register", engine_.uri_for(operator_)};
    words.insert(words.end(), args.begin(), args.end());
    const CliRun result = run_cli(words);
    EXPECT_EQ(result.status, 2) << args[2];
    EXPECT_NE(result.err.find("permission denied for table q5_pools"), std::string::npos) << result.err;
  }
  // ... and in the library, with nothing reserved.
  try {
    write(*operator_register, "00000003", "2004001", /*reassign=*/true);
    ADD_FAILURE() << "an operator reassigned";
  } catch (const reg::RegisterError& error) {
    EXPECT_NE(std::string(error.what()).find("permission denied for table q5_reassignments"), std::string::npos)
        << error.what();
  }
  EXPECT_THROW(operator_register->release("2004001", "bench", "op"), reg::RegisterError);
  EXPECT_EQ(operator_register->find("2004001").holder, "00000001");
  EXPECT_FALSE(write(*operator_register, "00000004", "2004002").refusal) << "the refused write reserved nothing";

  const auto administrator_register = as(administrator_);
  const CliRun added = run_cli({"--register", engine_.uri_for(administrator_), "register", "pool", "add", "more",
                                "3000", "3999", "--group"});
  EXPECT_EQ(added.status, 0) << added.err;
  const reg::Reservation moved = write(*administrator_register, "00000003", "2004001", /*reassign=*/true);
  ASSERT_FALSE(moved.refusal);
  EXPECT_EQ(administrator_register->find("2004001").holder, "00000003");
  EXPECT_EQ(administrator_register->release("2004002", "bench", "bob"), "00000004");
}

}  // namespace
}  // namespace q5::test
