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
  window->run_rule(&q5::rules::Form::FrequencyExit);                  // left: the high-band list
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

// The codes each list position stands for, the step list, the change rules
// and the error box a decode sets off are the form's (tests/rules); here the
// widgets follow it.

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
      window->run_rule(&q5::rules::Form::FrequencyExit);
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
