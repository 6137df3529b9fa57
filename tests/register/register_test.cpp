// The register's rules on both engines: refusals, holdings, allocation,
// pools, look-ups, expiry and the schema version.
#include <gtest/gtest.h>

#include <functional>

#include "register/register.h"
#include "register/engines.h"

namespace q5::reg {
namespace {

using Slots = std::array<AddressSlot, 4>;

Slots slots(std::initializer_list<const char*> enabled) {
  Slots result;
  std::size_t n = 0;
  for (const char* address : enabled) result[n++] = {address, true};
  return result;
}

image::Image image_with(std::uint8_t fill) {
  image::Image image{};
  image.fill(fill);
  return image;
}

class RegisterTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (!fresh()) GTEST_SKIP();
  }

  // An empty register of its own.
  bool fresh() {
    reg_.reset();
    engine_ = std::make_unique<test::EngineRegister>();
    if (!engine_->start(GetParam())) return false;
    Options options;
    options.now = [this] { return now_; };
    reg_ = open_register(engine_->location(), options);
    return true;
  }

  // A verified write of the pager, through a reservation as the write job does it.
  Reservation write(const std::string& serial_read, const std::string& serial_written, const Slots& addresses,
                    bool verified = true, bool reassign = false) {
    WritePlan plan;
    plan.serial_read = serial_read;
    plan.serial_written = serial_written;
    plan.addresses = addresses;
    plan.reassign = reassign;
    plan.bench = "bench1";
    plan.operator_name = "ann";
    Reservation reservation = reg_->reserve(plan);
    if (reservation.refusal) return reservation;
    record_write(serial_read, serial_written, addresses, verified, &reservation);
    return reservation;
  }

  void record_write(const std::string& serial_read, const std::string& serial_written, const Slots& addresses,
                    bool verified, const Reservation* reservation, std::string time = {}) {
    PagerEvent event;
    event.time_utc = std::move(time);
    event.bench = "bench1";
    event.operator_name = "ann";
    event.program_version = "1.22";
    event.cable = "LPT1";
    event.command = "write";
    event.result = verified ? "Write eeprom OK!" : "Link error, please check Connection";
    event.verified = verified;
    event.serial_read = serial_read;
    event.serial_written = serial_written;
    event.addresses = addresses;
    event.image_before = image_with(0x11);
    event.image_after = image_with(static_cast<std::uint8_t>(serial_written.empty() ? 0 : serial_written.back()));
    reg_->record(event, reservation);
  }

  std::optional<std::string> holder(const std::string& address) { return reg_->find(address).holder; }

  std::unique_ptr<test::EngineRegister> engine_;
  std::time_t now_ = 1796000000;
  std::unique_ptr<Register> reg_;
};

// What the register has, before the write being planned.
struct Pager {
  std::string serial;
  Slots addresses;
};
struct ReserveCase {
  const char* name;
  std::vector<Pool> pools;
  std::vector<Pager> pagers;  // written and verified first
  std::string serial_read, serial_written;
  Slots addresses;
  std::string refusal;  // empty: reserved
  std::string warning;  // empty: none
};

TEST_P(RegisterTest, ReservesOrRefusesAsTheRegisterHoldsThem) {
  const Pool individual{"fleet", 2004000, 2004999, PoolKind::individual};
  const Pool group{"brigade", 2005000, 2005099, PoolKind::group};
  const std::vector<ReserveCase> cases{
      {"held by another pager", {individual}, {{"00000042", slots({"2004008"})}}, "00000050", "00000050",
       slots({"2004008"}), "Address 1 (2004008) belongs to pager 00000042", ""},
      {"held in a later slot", {individual}, {{"00000042", slots({"2004010"})}}, "00000050", "00000050",
       slots({"2004001", "2004002", "2004010"}), "Address 3 (2004010) belongs to pager 00000042", ""},
      {"held by the pager itself", {individual}, {{"00000042", slots({"2004008"})}}, "00000042", "00000042",
       slots({"2004008"}), "", ""},
      {"disabled address is not checked", {individual}, {{"00000042", slots({"2004008"})}}, "00000050", "00000050",
       Slots{AddressSlot{"2004008", false}}, "", ""},
      {"group pool is shared", {individual, group}, {{"00000042", slots({"2005001"})}}, "00000050", "00000050",
       slots({"2005001"}), "", ""},
      {"outside every pool", {individual}, {{"00000042", slots({"0000100"})}}, "00000050", "00000050",
       slots({"0000100"}), "", ""},
      {"no individual pool: only a warning", {group}, {{"00000042", slots({"2004008"})}}, "00000050", "00000050",
       slots({"2004008"}), "", "address 2004008 is also held by pager 00000042"},
      {"serial of another pager", {individual}, {{"00000042", slots({})}}, "00000050", "00000042", slots({}),
       "Serial number 00000042 belongs to another pager", ""},
      {"serial of another pager, no pools", {}, {{"00000042", slots({})}}, "00000050", "00000042", slots({}), "",
       "serial number 00000042 is also held by another pager"},
      {"serial kept on re-programming", {individual}, {{"00000042", slots({"2004008"})}}, "00000042", "00000042",
       slots({"2004008", "2004009"}), "", ""},
      {"a serial change takes the holdings along", {individual}, {{"00000042", slots({"2004008"})}}, "00000042",
       "00000043", slots({"2004008"}), "", ""},
  };
  for (const ReserveCase& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(fresh());
    for (const Pool& pool : c.pools) reg_->add_pool(pool);
    for (const Pager& pager : c.pagers) ASSERT_FALSE(write(pager.serial, pager.serial, pager.addresses).refusal);
    WritePlan plan;
    plan.serial_read = c.serial_read;
    plan.serial_written = c.serial_written;
    plan.addresses = c.addresses;
    const Reservation reservation = reg_->reserve(plan);
    EXPECT_EQ(reservation.refusal ? reservation.refusal->text : "", c.refusal);
    if (reservation.refusal) {
      EXPECT_EQ(reservation.id, 0);
      if (!c.pagers.empty() && c.refusal.find("belongs") != std::string::npos) {
        EXPECT_NE(reservation.refusal->where_when.find("on bench1 by ann"), std::string::npos)
            << reservation.refusal->where_when;
      }
    }
    if (c.warning.empty()) {
      EXPECT_TRUE(reservation.warnings.empty()) << reservation.warnings.front();
    } else {
      ASSERT_EQ(reservation.warnings.size(), 1U);
      EXPECT_NE(reservation.warnings[0].find(c.warning), std::string::npos) << reservation.warnings[0];
    }
  }
}

TEST_P(RegisterTest, AReservationKeepsOthersOutUntilCancelledOrExpired) {
  reg_->add_pool({"fleet", 2004000, 2004999, PoolKind::individual});
  WritePlan first;
  first.serial_read = first.serial_written = "00000001";
  first.addresses = slots({"2004008"});
  first.bench = "bench1";
  WritePlan second = first;
  second.serial_read = second.serial_written = "00000002";
  second.bench = "bench2";

  const Reservation held = reg_->reserve(first);
  ASSERT_FALSE(held.refusal);
  const Reservation refused = reg_->reserve(second);
  ASSERT_TRUE(refused.refusal);
  EXPECT_EQ(refused.refusal->text, "Address 1 (2004008) is reserved for pager 00000001");
  EXPECT_NE(refused.refusal->where_when.find("bench1"), std::string::npos);

  reg_->cancel(held);
  const Reservation after_cancel = reg_->reserve(second);
  EXPECT_FALSE(after_cancel.refusal);

  // A bench that died leaves its reservation for ten minutes.
  now_ += kReservationSeconds - 1;
  EXPECT_TRUE(reg_->reserve(first).refusal);
  now_ += 2;
  EXPECT_FALSE(reg_->reserve(first).refusal);
}

TEST_P(RegisterTest, AVerifiedWriteTakesAndReleasesHoldingsAFailedOneNothing) {
  reg_->add_pool({"fleet", 2004000, 2004999, PoolKind::individual});
  write("00000042", "00000042", slots({"2004001", "2004002"}));
  EXPECT_EQ(holder("2004001"), "00000042");
  EXPECT_EQ(holder("2004002"), "00000042");

  write("00000042", "00000042", slots({"2004001", "2004003"}));
  EXPECT_EQ(holder("2004001"), "00000042");
  EXPECT_EQ(holder("2004002"), std::nullopt);
  EXPECT_EQ(holder("2004003"), "00000042");

  const Reservation failed = write("00000050", "00000050", slots({"2004009"}), /*verified=*/false);
  EXPECT_FALSE(failed.refusal);
  EXPECT_EQ(holder("2004009"), std::nullopt);
  // ... and its reservation is gone with it.
  EXPECT_FALSE(write("00000051", "00000051", slots({"2004009"})).refusal);
  EXPECT_EQ(holder("2004009"), "00000051");

  // A new serial number takes the pager's addresses along.
  write("00000042", "00000077", slots({"2004001", "2004003"}));
  EXPECT_EQ(holder("2004001"), "00000077");
  EXPECT_EQ(holder("2004003"), "00000077");
  EXPECT_TRUE(write("00000099", "00000042", slots({})).refusal == std::nullopt)
      << "00000042 belongs to no pager any more";
}

TEST_P(RegisterTest, ReassignAndReleaseMoveAnAddressOnPurpose) {
  reg_->add_pool({"fleet", 2004000, 2004999, PoolKind::individual});
  write("00000042", "00000042", slots({"2004008", "2004009"}));
  const Reservation moved = write("00000050", "00000050", slots({"2004008"}), true, /*reassign=*/true);
  ASSERT_FALSE(moved.refusal);
  ASSERT_EQ(moved.warnings.size(), 1U);
  EXPECT_EQ(moved.warnings[0], "address 2004008 is taken from pager 00000042");
  EXPECT_EQ(holder("2004008"), "00000050");

  EXPECT_EQ(reg_->release("2004009", "bench1", "ann"), "00000042");
  EXPECT_EQ(holder("2004009"), std::nullopt);
  EXPECT_EQ(reg_->release("2004009", "bench1", "ann"), std::nullopt);
  EXPECT_FALSE(write("00000051", "00000051", slots({"2004009"})).refusal);
}

TEST_P(RegisterTest, AllocatesTheLowestFreeAddressAndTheNextSerial) {
  reg_->add_pool({"small", 1000, 1003, PoolKind::individual});
  reg_->add_pool({"calls", 2000, 2009, PoolKind::group});
  write("00000005", "00000005", slots({"0001001"}));  // held
  WritePlan other;
  other.serial_read = other.serial_written = "00000006";
  other.addresses = slots({"0001002"});
  ASSERT_FALSE(reg_->reserve(other).refusal);  // reserved

  WritePlan plan;
  plan.serial_read = "00000000";
  plan.serial_written = "00000003";
  plan.allocate[0] = "small";
  plan.allocate[2] = "small";
  plan.allocate_serial = true;
  const Reservation r = reg_->reserve(plan);
  ASSERT_FALSE(r.refusal) << r.refusal->text;
  EXPECT_EQ(r.allocated[0], "0001000");
  EXPECT_EQ(r.allocated[1], std::nullopt);
  EXPECT_EQ(r.allocated[2], "0001003");
  // Highest known is the reserved 00000006 (the pager being written by
  // `other`), so the next is 00000007; the file's own serial is lower.
  EXPECT_EQ(r.allocated_serial, "00000007");

  // Another bench allocating meanwhile gets the next one, not the reserved one.
  WritePlan next_bench;
  next_bench.serial_read = "00000004";
  next_bench.allocate_serial = true;
  EXPECT_EQ(reg_->reserve(next_bench).allocated_serial, "00000008");

  WritePlan file_higher = plan;
  file_higher.allocate = {};
  file_higher.serial_read = "00000001";
  file_higher.serial_written = "00000500";
  EXPECT_EQ(reg_->reserve(file_higher).allocated_serial, "00000500");

  WritePlan empty_pool;
  empty_pool.serial_read = empty_pool.serial_written = "00000009";
  for (const auto& [pool, text] : std::vector<std::pair<std::string, std::string>>{
           {"small", "Pool small has no free address left"},
           {"calls", "Pool calls is a group pool; addresses are allocated from individual pools only"},
           {"nowhere", "There is no pool nowhere to allocate address 1 from"}}) {
    empty_pool.allocate[0] = pool;
    const Reservation refused = reg_->reserve(empty_pool);
    ASSERT_TRUE(refused.refusal) << pool;
    EXPECT_EQ(refused.refusal->text, text);
  }
}

TEST_P(RegisterTest, PoolsRefuseOverlapsAndRemovalWhileHeld) {
  reg_->add_pool({"a", 100, 199, PoolKind::individual});
  reg_->add_pool({"b", 300, 399, PoolKind::group});
  const std::vector<std::pair<Pool, std::string>> refused{
      {{"a", 500, 599, PoolKind::group}, "pool a exists already"},
      {{"c", 150, 250, PoolKind::group}, "pool c (150-250) overlaps pool a (100-199)"},
      {{"c", 50, 100, PoolKind::group}, "overlaps pool a"},
      {{"c", 199, 300, PoolKind::individual}, "overlaps pool a"},
      {{"c", 50, 500, PoolKind::individual}, "overlaps pool a"},
      {{"c", 20, 10, PoolKind::individual}, "is above the last"},
  };
  for (const auto& [pool, reason] : refused) {
    try {
      reg_->add_pool(pool);
      ADD_FAILURE() << "accepted " << pool.name << " " << pool.first << "-" << pool.last;
    } catch (const RegisterError& error) {
      EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << error.what();
      EXPECT_NE(std::string(error.what()).find(reg_->name()), std::string::npos) << error.what();
    }
  }
  reg_->add_pool({"c", 200, 299, PoolKind::individual});
  write("00000001", "00000001", slots({"0000150"}));
  const auto pools = reg_->pools();
  ASSERT_EQ(pools.size(), 3U);
  EXPECT_EQ(pools[0].name, "a");
  EXPECT_EQ(pools[0].held, 1);
  EXPECT_EQ(pools[1].name, "c");
  EXPECT_EQ(pools[2].kind, PoolKind::group);

  EXPECT_THROW(reg_->remove_pool("a"), RegisterError);
  EXPECT_THROW(reg_->remove_pool("zzz"), RegisterError);
  reg_->remove_pool("c");
  EXPECT_EQ(reg_->pools().size(), 2U);
}

TEST_P(RegisterTest, LooksUpEventsHistoryAndImages) {
  reg_->add_pool({"fleet", 2004000, 2004999, PoolKind::individual});
  record_write("00000042", "00000042", slots({"2004008"}), true, nullptr, "2026-12-01T10:00:00Z");
  record_write("00000042", "00000042", slots({"2004009"}), false, nullptr, "2026-12-02T10:00:00Z");
  record_write("00000042", "00000043", slots({"2004008"}), true, nullptr, "2026-12-03T10:00:00Z");
  PagerEvent read;
  read.command = "read";
  read.result = "Read eeprom OK!";
  read.serial_read = "00000043";
  read.time_utc = "2026-12-04T10:00:00Z";
  reg_->record(read);

  const AddressInfo info = reg_->find("2004008");
  EXPECT_EQ(info.pool, "fleet");
  EXPECT_EQ(info.holder, "00000043");
  ASSERT_EQ(info.events.size(), 2U);
  EXPECT_EQ(info.events[0].time_utc, "2026-12-01T10:00:00Z");
  EXPECT_EQ(info.events[0].image_after_sha256, sha256_hex(image_with('2')));
  EXPECT_EQ(reg_->find("2004009").events.size(), 0U) << "a failed write did not write it";

  EXPECT_EQ(reg_->history("00000042").size(), 3U);
  EXPECT_EQ(reg_->history("00000043").size(), 2U);

  EXPECT_EQ(reg_->restore("00000042", std::nullopt), image_with('2'));
  EXPECT_EQ(reg_->restore("00000043", std::nullopt), image_with('3'));
  EXPECT_EQ(reg_->restore("00000043", "2026-12-02T23:59:59Z"), std::nullopt);
  EXPECT_EQ(reg_->restore("00000042", "2026-12-01T10:00:00Z"), image_with('2'));

  EXPECT_EQ(reg_->count_events({}), 4);
  EXPECT_EQ(reg_->count_events({"", "2004008"}), 2);
  const auto page = reg_->events({}, 1, 2, true);
  ASSERT_EQ(page.size(), 2U);
  EXPECT_EQ(page[0].time_utc, "2026-12-02T10:00:00Z");
  EXPECT_EQ(page[1].image_after, image_with('3'));
  EXPECT_EQ(page[1].image_before, image_with(0x11));
  EXPECT_EQ(reg_->events({}, 3, -1).size(), 1U);
  EXPECT_EQ(reg_->event(page[0].id)->serial_read, "00000042");
}

TEST_P(RegisterTest, ANewerSchemaIsRefusedAndLeftAlone) {
  reg_->add_pool({"fleet", 2004000, 2004999, PoolKind::individual});
  reg_.reset();
  engine_->raw()->exec("UPDATE q5_schema SET version = 99");
  try {
    open_register(engine_->location());
    ADD_FAILURE() << "opened a newer register";
  } catch (const RegisterError& error) {
    EXPECT_NE(std::string(error.what()).find("its schema is version 99, newer than version 1"), std::string::npos)
        << error.what();
  }
  const auto raw = engine_->raw();
  EXPECT_EQ(raw->query("SELECT version FROM q5_schema")[0][0], "99");
  EXPECT_EQ(raw->query("SELECT COUNT(*) FROM q5_pools")[0][0], "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, RegisterTest, ::testing::Values("sqlite", "postgres"), test::engine_name);

// The register cannot be reached: the error names it and says why.
TEST(RegisterOpen, AnUnreachableRegisterIsAnErrorNamingIt) {
  const std::vector<std::pair<Location, std::string>> cases{
      {{Location::Kind::sqlite, "/proc/q5prog/register.sqlite3"}, "Register /proc/q5prog/register.sqlite3: "},
      {{Location::Kind::postgres, "postgresql://127.0.0.1:1/q5?connect_timeout=2"},
       "Register postgresql://127.0.0.1:1/q5?connect_timeout=2 (shared): "},
  };
  for (const auto& [location, start] : cases) {
    try {
      open_register(location);
      ADD_FAILURE() << location.target;
    } catch (const RegisterError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(start, 0), 0U) << error.what();
      EXPECT_GT(std::string(error.what()).size(), start.size() + 5) << "no reason given";
    }
  }
}

}  // namespace
}  // namespace q5::reg
