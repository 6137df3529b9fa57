// The write job with a register that goes away: a verified write is kept on
// the bench and handed over at the next command, and a register that cannot
// be reached refuses the next write before the pager is touched.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "image/codec.h"
#include "jobs/write_job.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_pager.h"
#include "register/register.h"

namespace {

namespace reg = q5::reg;
namespace link = q5::link;

// The register of one bench, whose server can be taken away.
class FlakyRegister final : public reg::Register {
 public:
  explicit FlakyRegister(std::unique_ptr<reg::Register> real) : real_(std::move(real)) {}
  bool down = false;            // every call fails
  bool record_fails = false;    // only the record fails: the server went away mid-write

  std::string name() const override { return real_->name(); }
  reg::Reservation reserve(const reg::WritePlan& plan) override { return up()->reserve(plan); }
  void cancel(const reg::Reservation& r) override { up()->cancel(r); }
  void record(const reg::PagerEvent& e, const reg::Reservation* r) override {
    if (record_fails) throw reg::RegisterError("Register test: the server went away");
    up()->record(e, r);
  }
  void add_pool(const reg::Pool& pool) override { up()->add_pool(pool); }
  void remove_pool(const std::string& name) override { up()->remove_pool(name); }
  std::vector<reg::Pool> pools() override { return up()->pools(); }
  reg::AddressInfo find(const std::string& address) override { return up()->find(address); }
  std::vector<reg::PagerEvent> history(const std::string& serial) override { return up()->history(serial); }
  std::optional<q5::image::Image> restore(const std::string& serial, const std::optional<std::string>& at) override {
    return up()->restore(serial, at);
  }
  std::optional<std::string> release(const std::string& a, const std::string& b, const std::string& o) override {
    return up()->release(a, b, o);
  }
  std::vector<reg::PagerEvent> events(const reg::EventFilter& f, std::int64_t offset, std::int64_t limit,
                                      bool with_images) override {
    return up()->events(f, offset, limit, with_images);
  }
  std::int64_t count_events(const reg::EventFilter& f) override { return up()->count_events(f); }
  std::optional<reg::PagerEvent> event(std::int64_t id) override { return up()->event(id); }

 private:
  reg::Register* up() {
    if (down) throw reg::RegisterError("Register test: the server went away");
    return real_.get();
  }
  std::unique_ptr<reg::Register> real_;
};

class WriteJobRegister : public ::testing::Test {
 protected:
  WriteJobRegister() {
    q5::image::Settings pager;
    pager.serial = "00000042";
    port.chip().load(q5::image::encode(pager));
    form.start_up();
  }
  ~WriteJobRegister() override { std::filesystem::remove_all(folder); }

  q5::jobs::WriteOutcome write() {
    q5::jobs::WriteSettings settings;
    settings.reg.reg = &flaky;
    settings.reg.pending = &pending;
    q5::jobs::WriteJob job(form, lpt, nullptr, [this](const q5::jobs::Report& r) { reports.push_back(r.text); },
                           settings);
    return job.run();
  }
  std::size_t recorded() { return static_cast<std::size_t>(flaky.count_events({})); }

  std::filesystem::path folder = std::filesystem::temp_directory_path() / ("q5jobs-" + std::to_string(::getpid()));
  bool made = std::filesystem::create_directories(folder);
  FlakyRegister flaky{reg::open_register({reg::Location::Kind::sqlite, (folder / "register.sqlite3").string()})};
  reg::PendingEvents pending{(folder / "pending.jsonl").string()};
  link::VirtualClock clock;
  link::EmulatedPagerPort port{clock, link::kLpt1Base};
  link::EmulatedLptAccess lpt{port, clock, 0};
  q5::rules::Form form;
  std::vector<std::string> reports;
};

TEST_F(WriteJobRegister, AVerifiedWriteTheRegisterCannotTakeIsKeptAndHandedOverAtTheNextCommand) {
  flaky.record_fails = true;
  const q5::jobs::WriteOutcome kept = write();
  EXPECT_TRUE(kept.verified());
  EXPECT_TRUE(kept.register_deferred);
  EXPECT_EQ(pending.size(), 1u);
  EXPECT_EQ(recorded(), 0u);
  EXPECT_NE(reports.back().find("kept on this bench"), std::string::npos) << reports.back();

  flaky.record_fails = false;
  const q5::jobs::WriteOutcome next = write();
  EXPECT_TRUE(next.verified());
  EXPECT_FALSE(next.register_deferred);
  EXPECT_EQ(pending.size(), 0u);
  EXPECT_EQ(recorded(), 2u);  // the kept one went first
}

TEST_F(WriteJobRegister, ARegisterThatCannotBeReachedRefusesTheWriteBeforeThePagerIsTouched) {
  flaky.down = true;
  const q5::jobs::WriteOutcome outcome = write();
  EXPECT_TRUE(outcome.register_refused);
  EXPECT_FALSE(outcome.verified());
  EXPECT_EQ(port.clock_pulses(), 0u);
  EXPECT_NE(std::find(reports.begin(), reports.end(), "Not written: Register test: the server went away"),
            reports.end());
}

}  // namespace
