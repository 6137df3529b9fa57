// The pager commands on the window's worker thread: the window goes on
// serving events while a pager is written, and the register's refusal
// keeps a held address out of a second pager.
#include <QTemporaryDir>
#include <QTimer>

#include "image/codec.h"
#include "link/eeprom_link.h"
#include "register/register.h"
#include "support/window_fixture.h"

namespace {

constexpr const char* kWriteOk = "Write eeprom OK!";

class WorkerWindowTest : public WindowTest {
 protected:
  WorkerWindowTest() {
    q5::image::Settings pager;
    pager.serial = "00000042";
    chip().load(q5::image::encode(pager));
  }
  q5::link::Eeprom93C56& chip() { return platform.pager.chip(); }
};

TEST_F(WorkerWindowTest, TheWindowServesEventsWhileAPagerIsWritten) {
  const Qt::HANDLE gui_thread = QThread::currentThreadId();
  int ticks_during_transfer = 0;
  bool ticked_on_gui_thread = true;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!window->transfer_running()) return;
    ++ticks_during_transfer;
    ticked_on_gui_thread = ticked_on_gui_thread && QThread::currentThreadId() == gui_thread;
  });
  timer.start(0);

  ui().WritetoPager1->trigger();
  // The command has handed the transfer over and returned at once.
  EXPECT_TRUE(window->transfer_running());
  wait_for_transfer();

  EXPECT_EQ(last_log(), kWriteOk);
  EXPECT_GT(ticks_during_transfer, 10);
  EXPECT_TRUE(ticked_on_gui_thread);
  EXPECT_EQ(chip().save(), window->image());
}

TEST_F(WorkerWindowTest, FileExitDuringATransferWaitsForItsEnd) {
  ui().WritetoPager1->trigger();
  ASSERT_TRUE(window->transfer_running());
  ui().Exit1->trigger();
  EXPECT_TRUE(window->isVisible());
  wait_for_transfer();
  EXPECT_TRUE(log().contains(kWriteOk));
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(platform.close_calls, 1);
}

// An address that another pager holds in the register: the box names the
// holder, and nothing reaches the pager.
TEST_F(WorkerWindowTest, AWriteRefusedForAHeldAddressLeavesThePagerUntouched) {
  QTemporaryDir dir;
  const q5::reg::Location location{q5::reg::Location::Kind::sqlite, dir.filePath("register.sqlite3").toStdString()};
  auto reg = q5::reg::open_register(location);
  const std::string address = ui().sc_address[0]->text().toStdString();
  reg->add_pool({"fleet", 8, 2007663, q5::reg::PoolKind::individual});
  q5::reg::WritePlan plan;
  plan.serial_read = plan.serial_written = "00000099";
  plan.addresses[0] = {address, true};
  const q5::reg::Reservation held = reg->reserve(plan);
  ASSERT_FALSE(held.refusal);
  q5::reg::PagerEvent event;
  event.command = "write";
  event.result = kWriteOk;
  event.verified = true;
  event.serial_read = event.serial_written = "00000099";
  event.addresses[0] = {address, true};
  reg->record(event, &held);

  window->set_register(std::move(reg), location.target, {}, nullptr);
  const q5::image::Image pager_bytes = chip().save();
  chip().clear_records();
  ui().WritetoPager1->trigger();
  wait_for_transfer();

  EXPECT_EQ(prompts.messages, QStringList{QString::fromStdString("Address 1 (" + address + ") belongs to pager 00000099")});
  EXPECT_FALSE(log().contains(kWriteOk));
  EXPECT_EQ(chip().save(), pager_bytes);
  for (const std::uint16_t command : chip().commands()) EXPECT_NE(command & 0x300, q5::link::kCmdWrite & 0x300);
}

}  // namespace

namespace {

// An address the range check warns about never reaches a pager: the
// warning, then why nothing was written; the pager is not even read.
TEST_F(WorkerWindowTest, AnAddressOutOfRangeIsNotWritten) {
  for (const char* address : {"9999999", "2007671", "0000007"}) {
    SCOPED_TRACE(address);
    ui().sc_address[1]->setText(address);
    platform.pager.clear_records();
    prompts.clear();
    const QStringList before = log();
    ui().WritetoPager1->trigger();
    wait_for_transfer();
    EXPECT_EQ(log().mid(before.size()),
              (QStringList{"Address [2] range out, should be within 8-2007663; 2007672-2045055; 2045064-2097143",
                           "Not written: address 2 is out of range"}));
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(platform.pager.clock_pulses(), 0u);
  }
}

}  // namespace
