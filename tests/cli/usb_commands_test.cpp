// q5prog-cli --usb: read and write over the USB cable, on an emulated
// FT232H with a pager on its cable, timed on a virtual clock.
#include <gtest/gtest.h>

#include "cli_run.h"
#include "image/codec.h"
#include "link/emulated/emulated_mpsse.h"
#include "link/usb_access.h"

namespace {

using namespace q5::test;
namespace link = q5::link;

class UsbCable final : public q5::cli::OpenedCable {
 public:
  UsbCable(link::EmulatedMpsse& board, link::Clock& clock, const std::string& serial)
      : access_(board, clock, serial) {}
  link::CableAccess& access() override { return access_; }

 private:
  link::UsbCableAccess access_;
};

class UsbCommandsTest : public ::testing::Test {
 protected:
  UsbCommandsTest() {
    q5::image::Settings pager;
    pager.firmware = 1;
    pager.serial = "00000055";
    board.pager().load(q5::image::encode(pager));
  }

  CliRun run(const std::vector<std::string>& args) {
    q5::cli::Environment environment;
    environment.open_cable = [this](const q5::cli::CableChoice& choice) -> std::unique_ptr<q5::cli::OpenedCable> {
      EXPECT_TRUE(choice.usb);
      return std::make_unique<UsbCable>(board, clock, choice.usb_serial);
    };
    return run_cli(args, environment);
  }

  ScratchFolder dir;
  link::VirtualClock clock;
  link::EmulatedMpsse board{clock};
};

TEST_F(UsbCommandsTest, WritesAndReadsOverTheBoard) {
  q5::image::Settings form;
  form.address = {"0001000", "0001008", "0001016", "0001024"};
  const std::string file = dir / "form.eep";
  write_file(file, bytes_of(q5::image::encode(form)));

  const CliRun written = run({"write", file, "--usb", "--offsets", "8,0,0,0"});
  ASSERT_EQ(written.status, 0) << written.err;
  q5::image::Settings expected = form;
  expected.firmware = 1;  // the pager's own
  EXPECT_EQ(board.pager().save(), q5::image::encode(expected));
  EXPECT_FALSE(board.pager().write_enabled());
  EXPECT_TRUE(board.problems().empty());

  const CliRun read = run({"read", dir / "back.eep", "--usb"});
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(read_file(dir / "back.eep"), bytes_of(board.pager().save()));
}

// Of several boards, the one named; one that is not there is named too.
TEST_F(UsbCommandsTest, SerialNumberChoosesTheBoard) {
  board.set_boards({link::EmulatedBoard{link::kFt232hProduct, link::FtdiChip::ft232h, "FIRST", {}},
                    link::EmulatedBoard{link::kFt2232Product, link::FtdiChip::ft2232h, "SECOND", {}}});
  EXPECT_EQ(run({"read", dir / "a.eep", "--usb-serial", "SECOND"}).status, 0);
  EXPECT_EQ(board.opened_serial(), "SECOND");

  const CliRun missing = run({"read", dir / "b.eep", "--usb-serial", "THIRD"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("THIRD not found"), std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find("Link error, please check Connection"), std::string::npos);
}

}  // namespace
