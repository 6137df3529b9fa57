// The form to an image and back through the real window: what the window adds
// to the codec (reading hidden and disabled controls, the step list, the
// handlers a decode sets off, the error box) rather than the byte layout,
// which the image library's own tests cover.
#include <map>
#include <random>
#include <sstream>

#include "image/codec.h"
#include "support/default_image.h"
#include "support/form_snapshot.h"
#include "support/random_form.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;
using q5::image::Settings;

std::string str(const QString& text) { return text.toStdString(); }

// "" when equal, else the first byte that differs: short failure messages.
std::string first_difference(const Image& actual, const Image& expected) {
  for (std::size_t i = 0; i < actual.size(); ++i) {
    if (actual[i] != expected[i]) {
      std::ostringstream out;
      out << "byte " << i << ": 0x" << std::hex << int{actual[i]} << ", expected 0x" << int{expected[i]};
      return out.str();
    }
  }
  return "";
}

// The default image with some bytes changed, sealed again.
Image default_with(const std::map<std::size_t, std::uint8_t>& bytes) {
  Image img = kDefaultImage;
  for (const auto& [offset, value] : bytes) img[offset] = value;
  q5::image::seal(img);
  return img;
}

class CodecWindowTest : public WindowTest {
 protected:
  Image encode_form() {
    window->encode_image();
    return window->image();
  }

  // Puts an image in the window and shows it. Every way in (file, pager)
  // checks an image before it reaches the decoder; here the decoder itself
  // is under test, so the image is placed directly.
  void show_image(const Image& img) {
    const_cast<Image&>(window->image()) = img;
    window->decode_image();
  }
};

// --- Encoding -----------------------------------------------------------------

TEST_F(CodecWindowTest, DefaultFormEncodesToTheDefaultImage) {
  const auto before = snapshot(*window);
  const Image img = encode_form();
  for (std::size_t i = 0; i < img.size(); ++i) EXPECT_EQ(int{img[i]}, int{kDefaultImage[i]}) << "byte " << i;
  EXPECT_EQ(img[60], 0x73);
  EXPECT_EQ(img[61], 0x16);
  EXPECT_EQ(img[254] << 8 | img[255], 0x236D);
  // Packing reads the form and changes nothing on it.
  EXPECT_EQ(differences(snapshot(*window), before), "");
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(first_difference(encode_form(), img), "");
}

// The encode checks the frequency first, on the chip of the list: without a
// selection that is the RX8308, with the KS8809's limit (the SM5170's is
// lower). A pasted frequency is the only way past the limits.
TEST_F(CodecWindowTest, EncodeChecksTheFrequencyOnTheChipWithoutAnItem) {
  ui().PLL_select->setCurrentIndex(-1);
  ui().Frequency->setText("2700.0000");
  window->FrequencyExit();                  // left: the high-band list
  ui().Frequency_step->setCurrentIndex(1);  // "10kHz", so q = count / 10000 = 267860
  ui().Frequency->setText("2700.0000");     // pasted again over the snapped value
  const int lines = log().size();
  prompts.clear();
  const Image img = encode_form();
  EXPECT_EQ(log().mid(lines), QStringList{"Frequency counter overflow in KS8809/RX8308 PLL, please use SM5170"});
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(str(ui().Frequency->text()), "999.99000");
  EXPECT_EQ(q5::image::verify(img), q5::image::ChecksumFault::none);
  EXPECT_TRUE(img[70] & 0x80);  // the RX8308's bit
}

// A number field that is not a number ends the encode with the conversion
// error; the image of the last good encode stays as it was.
TEST_F(CodecWindowTest, EmptiedNumberFieldEndsTheEncodeWithTheConversionError) {
  for (QLineEdit* field : {ui().Num_message, ui().Special_vib_time, ui().E512bs1, ui().E1200bs3, ui().E2400bs3,
                           ui().Frequency}) {
    SCOPED_TRACE(str(field->objectName()));
    ASSERT_EQ(first_difference(encode_form(), kDefaultImage), "");
    const QString text = field->text();
    field->setText("");
    prompts.clear();  // emptying a field with a change rule has had its own say
    const auto before = snapshot(*window);
    window->guarded([this] { window->encode_image(); });
    EXPECT_EQ(prompts.errors, QStringList{field == ui().Frequency ? "'' is not a valid floating point value"
                                                                   : "'' is not a valid integer value"});
    EXPECT_EQ(first_difference(window->image(), kDefaultImage), "");
    EXPECT_EQ(differences(snapshot(*window), before), "");
    field->setText(text);
  }
}

// --- Decoding -------------------------------------------------------------------

TEST_F(CodecWindowTest, DefaultImageGivesTheDefaultForm) {
  auto expected = snapshot(*window);
  const int lines = log().size();
  show_image(kDefaultImage);
  auto shown = snapshot(*window);

  // Numbers come back without leading zeros, texts filled to their width.
  EXPECT_EQ(str(ui().E512bs1->text()), "3");
  EXPECT_EQ(str(ui().E512bs3->text()), "9");
  EXPECT_EQ(str(ui().N_canned_msg[10]->text()), "GO    ");
  EXPECT_EQ(str(ui().T_only_msg[0]->text()), "TONE ONLY A ");
  std::vector<QLineEdit*> filled(ui().T_only_msg.begin(), ui().T_only_msg.end());
  filled.insert(filled.end(), ui().N_canned_msg.begin(), ui().N_canned_msg.end());
  for (QLineEdit* edit : filled) EXPECT_EQ(edit->text().size(), edit->maxLength()) << str(edit->objectName());
  filled.insert(filled.end(), {ui().E512bs1, ui().E512bs3});
  for (QLineEdit* edit : filled) {
    expected.erase(str(edit->objectName()));
    shown.erase(str(edit->objectName()));
  }
  EXPECT_EQ(differences(shown, expected), "");
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(log().size(), lines);
  EXPECT_EQ(first_difference(encode_form(), kDefaultImage), "");
}

// One stored byte and the list position it must give; each is shown on
// whatever the previous one left, as a decode sets every list.
TEST_F(CodecWindowTest, StoredCodesSelectTheirPositions) {
  const std::tuple<const char*, std::size_t, std::uint8_t, QComboBox* MainPageForm::*, const char*> cases[] = {
      {"duration 31", 45, 31, &MainPageForm::Alert_duration, "32"},
      {"duration 32", 45, 32, &MainPageForm::Alert_duration, "32"},
      {"duration 5", 45, 5, &MainPageForm::Alert_duration, ""},
      {"urgent address 7", 47, 0x07, &MainPageForm::Urgent_call_addr, "ALL"},
      {"urgent address 5", 47, 0x05, &MainPageForm::Urgent_call_addr, "ALL"},
      {"urgent tone 7", 47, 0x70, &MainPageForm::Urgent_call_tone, "ALL"},
      {"urgent tone 5", 47, 0x50, &MainPageForm::Urgent_call_tone, "ALL"},
      {"RX8308 chip", 70, 0xD8, &MainPageForm::PLL_select, ""},
      {"KS8809 chip", 71, 0xFB, &MainPageForm::PLL_select, "KS8809"},
      {"step code 0 under R1", 70, 0x18, &MainPageForm::Frequency_step, ""},
  };
  for (const auto& [what, offset, value, list, text] : cases) {
    show_image(default_with({{offset, value}}));
    EXPECT_EQ(str((ui().*list)->currentText()), text) << what;
    EXPECT_EQ((ui().*list)->currentIndex() < 0, !*text) << what;
  }
  EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CodecWindowTest, FirmwareR2BringsTheFourItemList) {
  show_image(default_with({{43, 0x7F}}));
  EXPECT_EQ(str(ui().FirmwareVer->currentText()), "R2");
  EXPECT_EQ(items(ui().Frequency_step), (QStringList{"12.5kHz", "10kHz", "6.25kHz", "5kHz"}));
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_EQ(str(ui().Frequency_step->currentText()), "6.25kHz");  // step code 2 as stored
  EXPECT_EQ(str(ui().Frequency->text()), "138.97500");
  // Firmware 0x7F is shown as "R2" and written back as 1.
  EXPECT_EQ(first_difference(encode_form(), default_with({{43, 1}})), "");
}

// A stored frequency on its own step's raster stays where it is, though the
// first item of the list has another raster that would move it.
TEST_F(CodecWindowTest, StoredFrequencyOnItsRasterIsNotMoved) {
  const std::tuple<int, int, const char*, const char*> cases[] = {
      {0, 3, "138.98000", "5kHz"},    // not on 6.25 kHz
      {1, 1, "459.02000", "20kHz"},   // not on 25 kHz
      {1, 3, "170.00500", "5kHz"},    // not on 12.5 kHz
      {0, 3, "300.01000", "10kHz"}};  // not on 12.5 kHz
  for (const auto& [firmware, step_code, frequency, step] : cases) {
    SCOPED_TRACE(frequency);
    Settings s;
    s.firmware = firmware;
    s.step_code = step_code;
    s.frequency = frequency;
    const Image img = q5::image::encode(s);
    show_image(img);
    EXPECT_EQ(str(ui().Frequency->text()), frequency);
    EXPECT_EQ(str(ui().Frequency_step->currentText()), step);
    EXPECT_EQ(first_difference(encode_form(), img), "");
  }
  EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CodecWindowTest, UnknownCannedCommandLeavesTheListAsItWas) {
  ui().CannedMsg_command->setCurrentIndex(2);
  show_image(default_with({{72, 0x00}}));
  EXPECT_EQ(str(ui().CannedMsg_command->currentText()), "]]");
  show_image(default_with({{72, 0x12}}));
  EXPECT_EQ(str(ui().CannedMsg_command->currentText()), "]]");
  show_image(default_with({{72, 0xFF}}));
  EXPECT_EQ(str(ui().CannedMsg_command->currentText()), "[[");
}

// A digit above 9 upsets the address or frequency rule; the technician hears
// of it once per decode, and the rest of the image is still shown.
TEST_F(CodecWindowTest, OddDigitsGiveOneErrorAndTheDecodeGoesOn) {
  Image img = kDefaultImage;
  img[9] = 0xA4;   // address 1: 2, 0, ':', 4, ...
  img[16] = 0xB0;  // address 3: ';', 0, ...
  img[56] = 0x1A;  // frequency: 1, ':', 8, ...
  img[79] = 200;   // a later handler still runs
  q5::image::text_to_codes("THE END", &img[238], 14);
  q5::image::seal(img);
  show_image(img);
  EXPECT_EQ(prompts.errors, QStringList{"'20:4000' is not a valid integer value"});
  EXPECT_EQ(str(ui().sc_address[0]->text()), "20:4000");
  EXPECT_EQ(str(ui().sc_address[2]->text()), ";004016");
  EXPECT_EQ(str(ui().sc_address[3]->text()), "2004024");
  EXPECT_EQ(str(ui().Frequency->text()), "1:8.97500");
  EXPECT_EQ(str(ui().Frequency_step->currentText()), "6.25kHz");
  EXPECT_EQ(str(ui().Num_message->text()), "12");
  EXPECT_EQ(str(ui().Hello_msg->text()), "THE END       ");

  img[9] = 0x04;  // the addresses mended, the frequency still odd
  img[16] = 0x20;
  q5::image::seal(img);
  prompts.clear();
  show_image(img);
  EXPECT_EQ(prompts.errors, QStringList{"'1:8.97500' is not a valid floating point value"});
  EXPECT_EQ(str(ui().Hello_msg->text()), "THE END       ");
  // Such a form cannot be encoded until the frequency is mended.
  prompts.clear();
  window->guarded([this] { window->encode_image(); });
  EXPECT_EQ(prompts.errors, QStringList{"'1:8.97500' is not a valid floating point value"});
  EXPECT_EQ(first_difference(window->image(), img), "");
}

// A stored number reaches the field's change rule whole, not cut to the
// field's two characters.
TEST_F(CodecWindowTest, StoredNumbersGoThroughTheChangeRule) {
  const QString too_many = "The number of message value range out,the max is 12  ";
  const QString too_long = "The Special vibrate time value range out,the max is 12 seconds ";
  const std::tuple<std::size_t, std::uint8_t, QLineEdit* MainPageForm::*, const char*, QStringList> cases[] = {
      {79, 200, &MainPageForm::Num_message, "12", {too_many}},
      {79, 100, &MainPageForm::Num_message, "12", {too_many}},  // "10" if cut to the field's width
      {79, 7, &MainPageForm::Num_message, "7", {}},
      {44, 0xF0, &MainPageForm::Special_vib_time, "12", {too_long}},
      {44, 0x50, &MainPageForm::Special_vib_time, "5", {}}};
  for (const auto& [offset, value, field, shown, warnings] : cases) {
    SCOPED_TRACE(std::to_string(offset) + " = " + std::to_string(value));
    const int lines = log().size();
    prompts.clear();
    show_image(default_with({{offset, value}}));
    EXPECT_EQ(str((ui().*field)->text()), shown);
    EXPECT_EQ(log().mid(lines), warnings);
    EXPECT_EQ(prompts.beeps, warnings.size());
    EXPECT_TRUE(prompts.errors.isEmpty());
  }
}

TEST_F(CodecWindowTest, ModelBitSetsTheModelFlag) {
  show_image(default_with({{80, 0xFE}}));
  EXPECT_EQ(str(ui().ModelCB->currentText()), "Normal");
  EXPECT_EQ(window->model_flag(), 0);
  show_image(kDefaultImage);
  EXPECT_EQ(str(ui().ModelCB->currentText()), "Orbit");
  EXPECT_EQ(window->model_flag(), 1);
}

// --- Events a decode sets off -----------------------------------------------------

TEST_F(CodecWindowTest, AnAddressIsEmptiedThenFilled) {
  QStringList texts;
  QObject::connect(ui().sc_address[0], &QLineEdit::textChanged, [&](const QString& t) { texts << t; });
  show_image(kDefaultImage);  // the same address as shown
  EXPECT_EQ(texts, (QStringList{"", "2004000"}));
  // The change rule ran on the new text: the frame number follows it.
  show_image(default_with({{11, 0x30}}));
  EXPECT_EQ(str(ui().sc_address[0]->text()), "2004003");
  EXPECT_EQ(str(ui().sc_framno[0]->text()), "3");
}

TEST_F(CodecWindowTest, CheckBoxesRunTheirHandlers) {
  // Canned messages off, duplicate rejection off, address row 2 off.
  show_image(default_with({{81, 0xA2}, {65, 0x27}, {15, 0x8F}}));
  EXPECT_FALSE(ui().sc_addractv[1]->isChecked());
  EXPECT_FALSE(ui().sc_address[1]->isEnabled());
  EXPECT_FALSE(ui().sc_autoinc[1]->isEnabled());
  EXPECT_FALSE(ui().N_canned_msg[5]->isEnabled());
  EXPECT_FALSE(ui().T_only_msg[2]->isEnabled());
  EXPECT_FALSE(ui().CannedMsg_command->isEnabled());
  EXPECT_FALSE(ui().Dup_msg_time->isEnabled());
  show_image(kDefaultImage);
  EXPECT_TRUE(ui().N_canned_msg[5]->isEnabled());
  EXPECT_TRUE(ui().Dup_msg_time->isEnabled());
  EXPECT_TRUE(ui().sc_address[1]->isEnabled());
}

TEST_F(CodecWindowTest, SelectingListsRunsNoListHandler) {
  int activated = 0;
  for (QComboBox* combo : ui().client->findChildren<QComboBox*>()) {
    QObject::connect(combo, &QComboBox::activated, [&] { ++activated; });
  }
  std::mt19937 rng(5);
  for (int round = 0; round < 5; ++round) show_image(q5::image::encode(random_settings(rng)));
  show_image(kDefaultImage);
  Settings s;
  s.alert_type = 6;  // "T only" would grey Vib_pattern, were its handler run
  show_image(q5::image::encode(s));
  EXPECT_EQ(activated, 0);
  EXPECT_EQ(str(ui().Alert_type->currentText()), "T only");
  EXPECT_TRUE(ui().Vib_pattern->isEnabled());
}

// --- Property -------------------------------------------------------------------

// Random forms set through the controls, hidden and greyed ones included,
// half of them with a frequency typed off the raster: the image verifies,
// encoding again gives the same image, and it holds every setting shown.
TEST_F(CodecWindowTest, FormsSetThroughTheControlsEncodeStably) {
  std::mt19937 rng(4711);
  for (int round = 0; round < 200; ++round) {
    Settings s = random_settings(rng);
    set_form(*window, s);
    std::string typed;
    if (rng() % 2) {
      for (int i = 0; i < 8; ++i) typed += static_cast<char>('0' + rng() % 10);
      typed.insert(3, ".");
      ui().Frequency->setText(QString::fromStdString(typed));
      window->FrequencyExit();
      s.frequency = str(ui().Frequency->text());
      s.step_code = ui().Frequency_step->currentIndex() + window->step_offset();
    }
    ASSERT_TRUE(prompts.errors.isEmpty()) << "round " << round;

    const Image img = encode_form();
    ASSERT_EQ(q5::image::verify(img), q5::image::ChecksumFault::none) << "round " << round;
    ASSERT_EQ(first_difference(encode_form(), img), "") << "round " << round << ", typed " << typed;
    ASSERT_EQ(first_difference(img, q5::image::encode(s)), "") << "round " << round << ", typed " << typed;
    ASSERT_EQ(q5::image::decode(img), s) << "round " << round;
  }
}

}  // namespace
