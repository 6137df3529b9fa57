// An image shown on the form: the list positions stored codes give, the step
// list of the firmware, the handlers a decode sets off and the one error box
// of a decode. The window's part (widgets following the form, no list's
// choice event) is tested in tests/app.
#include <gtest/gtest.h>

#include "image/number_text.h"
#include "rules/form_probe.h"
#include "support/default_image.h"

namespace q5::rules {
namespace {

using image::Image;
using test::default_with;
using test::kDefaultImage;
using Kind = Notice::Kind;

class Decode : public ::testing::Test {
 protected:
  void SetUp() override {
    form.start_up();
    (void)form.take_notices();
  }
  Form form;
};

// One stored byte and the list position it must give; each is shown on
// whatever the previous one left, as a decode sets every list.
TEST_F(Decode, StoredCodesSelectTheirPositions) {
  const std::tuple<const char*, std::size_t, std::uint8_t, List Form::*, const char*> cases[] = {
      {"duration 31", 45, 31, &Form::Alert_duration, "32"},
      {"duration 32", 45, 32, &Form::Alert_duration, "32"},
      {"duration 5", 45, 5, &Form::Alert_duration, ""},
      {"urgent address 7", 47, 0x07, &Form::Urgent_call_addr, "ALL"},
      {"urgent address 5", 47, 0x05, &Form::Urgent_call_addr, "ALL"},
      {"urgent tone 7", 47, 0x70, &Form::Urgent_call_tone, "ALL"},
      {"urgent tone 5", 47, 0x50, &Form::Urgent_call_tone, "ALL"},
      {"RX8308 chip", 70, 0xD8, &Form::PLL_select, ""},
      {"KS8809 chip", 71, 0xFB, &Form::PLL_select, "KS8809"},
      {"step code 0 under R1", 70, 0x18, &Form::Frequency_step, ""},
  };
  for (const auto& [what, offset, value, list, text] : cases) {
    form.decode(default_with({{offset, value}}));
    EXPECT_EQ((form.*list).text(), text) << what;
    EXPECT_EQ((form.*list).index < 0, !*text) << what;
  }
  EXPECT_TRUE(logged(form.take_notices(), Kind::error).empty());
  // A code the canned-command list has no item for leaves it as it was.
  form.select(form.CannedMsg_command, 2);
  for (const std::uint8_t code : {0x00, 0x12}) {
    form.decode(default_with({{72, code}}));
    EXPECT_EQ(form.CannedMsg_command.text(), "]]");
  }
  form.decode(default_with({{72, 0xFF}}));
  EXPECT_EQ(form.CannedMsg_command.text(), "[[");
}

TEST_F(Decode, FirmwareR2BringsTheFourItemListAndTheModelBitTheFlag) {
  form.decode(default_with({{43, 0x7F}}));
  EXPECT_EQ(form.FirmwareVer.text(), "R2");
  EXPECT_EQ(form.Frequency_step.items, (std::vector<std::string>{"12.5kHz", "10kHz", "6.25kHz", "5kHz"}));
  EXPECT_EQ(form.Step_offset, 0);
  EXPECT_EQ(form.Frequency_step.text(), "6.25kHz");  // step code 2 as stored
  EXPECT_EQ(form.Frequency.text, "138.97500");
  // Firmware 0x7F is shown as "R2" and written back as 1.
  EXPECT_EQ(form.encode(), default_with({{43, 1}}));

  form.decode(default_with({{80, 0xFE}}));
  EXPECT_EQ(form.ModelCB.text(), "Normal");
  EXPECT_EQ(form.model_flag, 0);
  form.decode(kDefaultImage);
  EXPECT_EQ(form.ModelCB.text(), "Orbit");
  EXPECT_EQ(form.model_flag, 1);
}

// A stored frequency on its own step's raster stays where it is, though the
// first item of the list has another raster that would move it.
TEST_F(Decode, StoredFrequencyOnItsRasterIsNotMoved) {
  const std::tuple<int, int, const char*, const char*> cases[] = {
      {0, 3, "138.98000", "5kHz"},    // not on 6.25 kHz
      {1, 1, "459.02000", "20kHz"},   // not on 25 kHz
      {1, 3, "170.00500", "5kHz"},    // not on 12.5 kHz
      {0, 3, "300.01000", "10kHz"}};  // not on 12.5 kHz
  for (const auto& [firmware, step_code, frequency, step] : cases) {
    SCOPED_TRACE(frequency);
    image::Settings s;
    s.firmware = firmware;
    s.step_code = step_code;
    s.frequency = frequency;
    const Image img = image::encode(s);
    form.decode(img);
    EXPECT_EQ(form.Frequency.text, frequency);
    EXPECT_EQ(form.Frequency_step.text(), step);
    EXPECT_EQ(form.encode(), img);
  }
  EXPECT_TRUE(logged(form.take_notices(), Kind::error).empty());
}

// A digit above 9 upsets the address or frequency rule; the technician hears
// of it once per decode, and the rest of the image is still shown.
TEST_F(Decode, OddDigitsGiveOneErrorAndTheDecodeGoesOn) {
  Image img = kDefaultImage;
  img[9] = 0xA4;   // address 1: 2, 0, ':', 4, ...
  img[16] = 0xB0;  // address 3: ';', 0, ...
  img[56] = 0x1A;  // frequency: 1, ':', 8, ...
  img[79] = 200;   // a later handler still runs
  image::text_to_codes("THE END", &img[238], 14);
  image::seal(img);
  form.decode(img);
  EXPECT_EQ(logged(form.take_notices(), Kind::error), std::vector<std::string>{"'20:4000' is not a valid integer value"});
  EXPECT_EQ(form.sc_address[0].text, "20:4000");
  EXPECT_EQ(form.sc_address[2].text, ";004016");
  EXPECT_EQ(form.sc_address[3].text, "2004024");
  EXPECT_EQ(form.Frequency.text, "1:8.97500");
  EXPECT_EQ(form.Frequency_step.text(), "6.25kHz");
  EXPECT_EQ(form.Num_message.text, "12");
  EXPECT_EQ(form.Hello_msg.text, "THE END       ");

  img[9] = 0x04;  // the addresses mended, the frequency still odd
  img[16] = 0x20;
  image::seal(img);
  form.decode(img);
  EXPECT_EQ(logged(form.take_notices(), Kind::error),
            std::vector<std::string>{"'1:8.97500' is not a valid floating point value"});
  EXPECT_EQ(form.Hello_msg.text, "THE END       ");
  // Such a form cannot be encoded until the frequency is mended.
  EXPECT_THROW((void)form.encode(), ConversionError);
}

// A stored number reaches the field's change rule whole, not cut to the
// field's two characters.
TEST_F(Decode, StoredNumbersGoThroughTheChangeRule) {
  const std::string too_many = "The number of message value range out,the max is 12  ";
  const std::string too_long = "The Special vibrate time value range out,the max is 12 seconds ";
  const std::tuple<std::size_t, std::uint8_t, Edit Form::*, const char*, std::string> cases[] = {
      {79, 200, &Form::Num_message, "12", too_many},
      {79, 100, &Form::Num_message, "12", too_many},  // "10" if cut to the field's width
      {79, 7, &Form::Num_message, "7", ""},
      {44, 0xF0, &Form::Special_vib_time, "12", too_long},
      {44, 0x50, &Form::Special_vib_time, "5", ""}};
  for (const auto& [offset, value, field, shown, warning] : cases) {
    SCOPED_TRACE(std::to_string(offset) + " = " + std::to_string(value));
    form.decode(default_with({{offset, value}}));
    EXPECT_EQ((form.*field).text, shown);
    const std::vector<Notice> notices = form.take_notices();
    EXPECT_EQ(logged(notices, Kind::log), warning.empty() ? std::vector<std::string>{} : std::vector{warning});
    EXPECT_EQ(logged(notices, Kind::beep).size(), warning.empty() ? 0u : 1u);
    EXPECT_TRUE(logged(notices, Kind::error).empty());
  }
}

TEST_F(Decode, CheckBoxesRunTheirHandlers) {
  // Canned messages off, duplicate rejection off, address row 2 off.
  form.decode(default_with({{81, 0xA2}, {65, 0x27}, {15, 0x8F}}));
  EXPECT_FALSE(form.sc_addractv[1].checked);
  EXPECT_FALSE(form.sc_address[1].enabled);
  EXPECT_FALSE(form.sc_autoinc[1].enabled);
  EXPECT_FALSE(form.N_canned_msg[5].enabled);
  EXPECT_FALSE(form.T_only_msg[2].enabled);
  EXPECT_FALSE(form.CannedMsg_command.enabled);
  EXPECT_FALSE(form.Dup_msg_time.enabled);
  form.decode(kDefaultImage);
  EXPECT_TRUE(form.N_canned_msg[5].enabled);
  EXPECT_TRUE(form.Dup_msg_time.enabled);
  EXPECT_TRUE(form.sc_address[1].enabled);
}

}  // namespace
}  // namespace q5::rules
