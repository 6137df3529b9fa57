// The USB cable through the window: the LPT menu's third item, and Write to
// pager and Read from pager over an emulated FT232H with a pager on its
// cable, with the same reports as on the parallel port.
#include <QAction>

#include "image/codec.h"
#include "image/frequency.h"
#include "support/form_snapshot.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;
using q5::image::Settings;
namespace link = q5::link;

constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kWriteOk = "Write eeprom OK!";
constexpr const char* kReadOk = "Read from eeprom OK!";

class UsbWindowTest : public WindowTest {
 protected:
  UsbWindowTest() { start_in_setup = false; }

  void SetUp() override {
    Settings pager;
    pager.firmware = 1;
    pager.pll_chip = q5::image::kChipKS8809;
    pager.serial = "00000077";
    board().pager().load(q5::image::encode(pager));
  }

  // Starts the window with the USB cable chosen.
  void start_on_usb() {
    start();
    ui().N31->trigger();
    ASSERT_TRUE(window->usb_chosen());
    prompts.clear();
  }

  link::EmulatedMpsse& board() { return platform.usb_board; }
  link::Eeprom93C56& chip() { return platform.usb_board.pager(); }

  void write() {
    ui().WritetoPager1->trigger();
    wait_for_transfer();
  }
  void read() {
    ui().ReadFromPager1->trigger();
    wait_for_transfer();
  }
};

TEST_F(UsbWindowTest, UsbIsAThirdChoiceThatEnablesThePagerCommandsWithoutAParallelPort) {
  platform.ports_open = false;
  start();
  EXPECT_EQ(ui().N31->text(), "USB (FT232H/FT2232H)");
  EXPECT_FALSE(ui().WritetoPager1->isEnabled());

  // Each step: the item chosen, then the three marks and the commands.
  const std::tuple<QAction*, bool, bool, bool, bool> steps[] = {
      {ui().N31, false, false, true, true},
      {ui().N21, false, true, false, false},
      {ui().N31, false, false, true, true},
      {ui().N31, false, false, true, true},  // chosen again: still the only mark
      {ui().N11, true, false, false, false},
  };
  for (const auto& [item, lpt1, lpt2, usb, commands] : steps) {
    item->trigger();
    EXPECT_EQ(ui().N11->isChecked(), lpt1);
    EXPECT_EQ(ui().N21->isChecked(), lpt2);
    EXPECT_EQ(ui().N31->isChecked(), usb);
    EXPECT_EQ(ui().WritetoPager1->isEnabled(), commands);
    EXPECT_EQ(ui().ReadFromPager1->isEnabled(), commands);
  }
  EXPECT_EQ(window->port_base(), link::kLpt1Base);
}

// The same form written over either cable leaves the same image.
TEST_F(UsbWindowTest, WriteLeavesTheSameImageAsTheParallelPortAndReadShowsTheSameForm) {
  platform.pager.chip().load(chip().save());  // the same pager on LPT1
  start();
  ui().WritetoPager1->trigger();
  wait_for_transfer();
  ASSERT_EQ(last_log(), kWriteOk);
  const Image over_lpt = platform.pager.chip().save();
  ui().ReadFromPager1->trigger();
  wait_for_transfer();
  ASSERT_EQ(last_log(), kReadOk);
  const FormSnapshot read_over_lpt = snapshot(*window);

  ui().N31->trigger();
  write();
  ASSERT_EQ(last_log(), kWriteOk);
  EXPECT_EQ(chip().save(), over_lpt);
  EXPECT_FALSE(chip().write_enabled());
  EXPECT_EQ(chip().violation_count(), 0u);
  EXPECT_TRUE(board().problems().empty());
  EXPECT_FALSE(board().is_open());  // given back after the command

  read();
  EXPECT_EQ(last_log(), kReadOk);
  EXPECT_EQ(prompts.messages.constLast(), kReadOk);
  EXPECT_EQ(differences(snapshot(*window), read_over_lpt), "");
}

struct UsbFault {
  const char* name;
  void (*arrange)(link::EmulatedMpsse&);
  bool write;
  QStringList log;  // what the command adds to the log
};
void PrintTo(const UsbFault& f, std::ostream* out) { *out << f.name; }

class UsbFaults : public UsbWindowTest, public ::testing::WithParamInterface<UsbFault> {};

TEST_P(UsbFaults, GiveTheirReportAndNothingIsOk) {
  const UsbFault& fault = GetParam();
  start_on_usb();
  for (QComboBox* offset : ui().sc_autoinc) offset->setCurrentIndex(8);
  const QStringList log_before = log();
  fault.arrange(board());

  fault.write ? write() : read();

  const QStringList added = log().mid(log_before.size());
  ASSERT_EQ(added.size(), fault.log.size()) << added.join(" | ").toStdString();
  for (qsizetype i = 0; i < added.size(); ++i) {
    EXPECT_TRUE(added[i].startsWith(fault.log[i])) << added[i].toStdString();
  }
  EXPECT_FALSE(log().contains(kWriteOk));
  EXPECT_FALSE(log().contains(kReadOk));
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_EQ(ui().sc_address[0]->text().toStdString(), "2004000");  // the batch did not step
  EXPECT_FALSE(board().is_open());
}

INSTANTIATE_TEST_SUITE_P(
    Bench, UsbFaults,
    ::testing::Values(
        UsbFault{"NoChip", [](link::EmulatedMpsse& b) { b.set_pager_present(false); }, true, {kLinkError}},
        UsbFault{"CablePulledDuringTheRead", [](link::EmulatedMpsse& b) { b.pull_cable_after_pulses(900); }, false,
                 {kLinkError}},
        UsbFault{"CablePulledDuringTheWrite", [](link::EmulatedMpsse& b) { b.pull_cable_after_pulses(4000); }, true,
                 {"Verify error, please check Connection"}},
        UsbFault{"ChipNeverReady",
                 [](link::EmulatedMpsse& b) { b.pager().set_program_time_ns(link::Eeprom93C56::kNeverReady); }, true,
                 {kLinkError}},
        UsbFault{"BoardStopsAnswering", [](link::EmulatedMpsse& b) { b.stop_answering_after_transfers(20); }, true,
                 {"USB cable (FT232H/FT2232H) stopped answering", kLinkError}},
        UsbFault{"BoardUnplugged", [](link::EmulatedMpsse& b) { b.unplug_after_transfers(20); }, false,
                 {"USB cable (FT232H/FT2232H) lost", kLinkError}},
        UsbFault{"NoBoard", [](link::EmulatedMpsse& b) { b.set_boards({}); }, true,
                 {"USB cable (FT232H/FT2232H) not found", kLinkError}},
        UsbFault{"OldBoard",
                 [](link::EmulatedMpsse& b) {
                   b.set_boards({link::EmulatedBoard{link::kFt2232Product, link::FtdiChip::ft2232cd, "OLD", {}}});
                 },
                 true, {"USB cable: FT2232C/D boards are not supported", kLinkError}},
        UsbFault{"BoardHeldElsewhere",
                 [](link::EmulatedMpsse& b) {
                   b.set_boards({link::EmulatedBoard{link::kFt232hProduct, link::FtdiChip::ft232h, "Q5USB001",
                                                     link::FtdiOpen::busy}});
                 },
                 true, {"USB (FT232H/FT2232H) is in use by another program"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A chip slower than the 5 ms pause is waited for over USB too.
TEST_F(UsbWindowTest, SlowChipIsProgrammed) {
  start_on_usb();
  chip().set_program_time_ns(6'000'000);
  write();
  EXPECT_EQ(last_log(), kWriteOk);
  EXPECT_EQ(chip().save(), window->image());
  EXPECT_EQ(chip().violation_count(), 0u);
}

}  // namespace
