// The form to an image and back through the real window: what the window adds
// to the codec (reading hidden and disabled controls, the step list, the
// handlers a decode sets off, the error box) rather than the byte layout,
// which the image library's own tests cover.
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <map>
#include <random>
#include <sstream>
#include <vector>

#include "image/codec.h"
#include "image/frequency.h"
#include "support/default_image.h"
#include "support/window_fixture.h"

namespace {

using q5::image::Image;
using q5::image::Settings;
using q5::test::kDefaultImage;

std::string str(const QString& text) { return text.toStdString(); }
QString qstr(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

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

// Each named control's state, for comparing whole forms.
std::map<std::string, std::string> form_state(const MainPageForm& ui) {
  std::map<std::string, std::string> state;
  for (QWidget* widget : ui.client->findChildren<QWidget*>()) {
    QString value;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      value = "text '" + edit->text() + "'";
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      QStringList items;
      for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
      value = QString("item %1 of [%2]").arg(combo->currentIndex()).arg(items.join(','));
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      value = static_cast<QAbstractButton*>(widget)->isChecked() ? "checked" : "unchecked";
    } else {
      continue;
    }
    value += widget->isEnabled() ? ", enabled" : ", disabled";
    state[str(widget->objectName())] = str(value);
  }
  return state;
}

// Random but valid settings, as a technician could leave them on the form.
class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int pick(int first, int last) { return std::uniform_int_distribution<int>(first, last)(rng_); }
  bool coin() { return pick(0, 1) == 1; }

  std::string digits(std::size_t width) {
    std::string t(width, '0');
    for (char& c : t) c = static_cast<char>('0' + pick(0, 9));
    return t;
  }

  // Up to `width` characters of the pager's character set.
  std::string text(std::size_t width) {
    static constexpr char kCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
    std::string t(static_cast<std::size_t>(pick(0, static_cast<int>(width))), ' ');
    for (char& c : t) c = kCharacters[pick(0, sizeof kCharacters - 2)];
    return t;
  }

  // An address inside one of the three permitted ranges.
  std::string address() {
    static constexpr int kRanges[3][2] = {{8, 2007663}, {2007672, 2045055}, {2045064, 2097143}};
    const auto& range = kRanges[pick(0, 2)];
    return QString::number(pick(range[0], range[1])).rightJustified(7, '0').toStdString();
  }

  // "DDD.DDDDD" as it could be typed.
  std::string typed_frequency() { return digits(3) + "." + digits(5); }

  Settings settings();

 private:
  std::mt19937 rng_;
};

Settings Generator::settings() {
  Settings s;
  for (auto& a : s.address) a = address();
  for (auto&& on : s.address_enabled) on = coin();
  s.pll_chip = pick(0, 2);
  s.baud_rate = pick(0, 2);
  s.firmware = pick(0, 1);
  s.step_code = s.firmware == 0 ? pick(2, 3) : pick(0, 3);  // the lists of "R1" hold codes 2 and 3 only
  // Snapped on the step it is stored with, as the window's frequency check leaves it.
  const std::int64_t hz = std::uniform_int_distribution<std::int64_t>(0, 999'999'990)(rng_);
  const q5::image::Frequency f{hz * 1000};
  s.frequency = q5::image::check_and_snap(f, q5::image::raster_hz(q5::image::is_high_band(f), s.step_code),
                                          s.pll_chip).text;
  s.data_polarity = pick(0, 1);
  s.serial = digits(8);
  s.hello = text(14);
  s.model = 0;  // "Normal" images are refused before they reach the form
  s.daily_alarm = coin();
  s.date_time_display = coin();
  s.sleep_timer = coin();
  s.pager_off_menu = coin();
  for (int& v : s.re_values) v = pick(0, 255);
  s.alert_reset = pick(0, 5);
  s.urgent_call_addr = pick(0, 5);
  s.urgent_call_tone = pick(0, 5);
  s.select_tone = pick(0, 1);
  s.alert_duration = pick(0, 7);
  s.alert_type = pick(0, 8);
  s.vib_pattern = pick(0, 3);
  s.special_vib_time = pick(0, 12);
  s.time_format = pick(0, 1);
  s.date_format = pick(0, 1);
  s.char_set = pick(0, 1);
  s.canned_messages = coin();
  s.canned_command = pick(0, 2);
  for (auto& t : s.tone_only) t = text(12);
  for (auto& t : s.canned) t = text(6);
  s.dup_msg_rejection = coin();
  s.dup_msg_time = pick(0, 5);
  s.repeat_msg_tone = pick(0, 1);
  s.msg_time_stamp = coin();
  s.message_status = coin();
  s.unread_display = coin();
  s.unread_reminder = coin();
  s.unread_reminder_time = pick(0, 1);
  s.full_msg = coin();
  s.error_correction = coin();
  s.protect_menu = coin();
  s.message_order = pick(0, 1);
  s.num_message = pick(1, 12);
  s.hand_code_password = coin();
  s.baud_handcode = coin();
  s.freq_handcode = coin();
  s.addr_handcode = coin();
  s.password = digits(4);
  s.ota_autotime = coin();
  s.ota_poweroff = coin();
  s.ota_msgdel = coin();
  s.ota_alertmode = coin();
  s.out_range_func = coin();
  s.in_out_range = pick(0, 1);
  s.no_service = coin();
  s.outrange_time = pick(0, 14);
  s.low_batt = pick(0, 1);
  s.lcd_order = pick(0, 1);
  s.lcd_manual = pick(0, 1);
  s.re1_active = coin();
  s.re2_active = coin();
  s.re3_active = coin();
  s.orctl_ds = coin();
  s.call_termination = pick(0, 3);
  return s;
}

class CodecWindowTest : public WindowTest {
 protected:
  MainPageForm& ui() { return window->ui; }

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

  // Sets every control from `s`: lists by position (their handlers are not
  // needed for packing), then the frequency typed and left, and the step
  // chosen from the list that the frequency brought.
  void set_form(const Settings& s, const std::string& typed_frequency, int step_index) {
    for (int row = 0; row < 4; ++row) {
      ui().sc_address[row]->setText(qstr(s.address[row]));
      ui().sc_addractv[row]->setChecked(s.address_enabled[row]);
    }
    ui().PLL_select->setCurrentIndex(s.pll_chip == q5::image::kChipRX8308 ? -1 : s.pll_chip);
    ui().Baud_rate->setCurrentIndex(s.baud_rate);
    ui().Date_polarity->setCurrentIndex(s.data_polarity);
    ui().Serial_no->setText(qstr(s.serial));
    ui().Hello_msg->setText(qstr(s.hello));
    ui().ModelCB->setCurrentIndex(s.model);
    ui().Daily_Alarm_checkbox->setChecked(s.daily_alarm);
    ui().Date_time_disp_checkbox->setChecked(s.date_time_display);
    ui().Sleep_timer_checkbox->setChecked(s.sleep_timer);
    ui().Pager_off_menu_checkbox->setChecked(s.pager_off_menu);
    const std::array<QLineEdit*, 6> re{ui().E512bs1,  ui().E512bs3,  ui().E1200bs1,
                                       ui().E1200bs3, ui().E2400bs1, ui().E2400bs3};
    for (std::size_t i = 0; i < re.size(); ++i) re[i]->setText(QString::number(s.re_values[i]));
    ui().Alert_reset->setCurrentIndex(s.alert_reset);
    ui().Urgent_call_addr->setCurrentIndex(s.urgent_call_addr);
    ui().Urgent_call_tone->setCurrentIndex(s.urgent_call_tone);
    ui().Select_tone->setCurrentIndex(s.select_tone);
    ui().Alert_duration->setCurrentIndex(s.alert_duration);
    ui().Alert_type->setCurrentIndex(s.alert_type);
    ui().Vib_pattern->setCurrentIndex(s.vib_pattern);
    ui().Special_vib_time->setText(QString::number(s.special_vib_time));
    ui().Time_format->setCurrentIndex(s.time_format);
    ui().Date_format->setCurrentIndex(s.date_format);
    ui().Char_set->setCurrentIndex(s.char_set);
    ui().CanMsg_checkbox->setChecked(s.canned_messages);
    ui().CannedMsg_command->setCurrentIndex(s.canned_command);
    for (int i = 0; i < 4; ++i) ui().T_only_msg[i]->setText(qstr(s.tone_only[i]));
    for (int i = 0; i < 20; ++i) ui().N_canned_msg[i]->setText(qstr(s.canned[i]));
    ui().Dup_msg_rejection_chekbox->setChecked(s.dup_msg_rejection);
    ui().Dup_msg_time->setCurrentIndex(s.dup_msg_time);
    ui().Repeat_msg_tone->setCurrentIndex(s.repeat_msg_tone);
    ui().Msg_time_stamp_checkbox->setChecked(s.msg_time_stamp);
    ui().Message_status_checkbox->setChecked(s.message_status);
    ui().Unread_disp_checkbox->setChecked(s.unread_display);
    ui().Unread_reminder->setChecked(s.unread_reminder);
    ui().Uread_reminder_time->setCurrentIndex(s.unread_reminder_time);
    ui().Full_msg->setChecked(s.full_msg);
    ui().Error_eduction_checkbox->setChecked(s.error_correction);
    ui().Protect_menu_checkbox->setChecked(s.protect_menu);
    ui().Message_order->setCurrentIndex(s.message_order);
    ui().Num_message->setText(QString::number(s.num_message));
    ui().Hand_code_pss_checkbox->setChecked(s.hand_code_password);
    ui().Baud_handcode_checkbox->setChecked(s.baud_handcode);
    ui().Freq_handcode_checkbox->setChecked(s.freq_handcode);
    ui().Addr_handcode_checkbox->setChecked(s.addr_handcode);
    ui().Password->setText(qstr(s.password));
    ui().OTA_autotime_checkbox->setChecked(s.ota_autotime);
    ui().OTA_poweroff_checkbox->setChecked(s.ota_poweroff);
    ui().OTA_msgdel_checkbox->setChecked(s.ota_msgdel);
    ui().OTA_alertmode_checkbox->setChecked(s.ota_alertmode);
    ui().Out_range_func_checkbox->setChecked(s.out_range_func);
    ui().In_out_range->setCurrentIndex(s.in_out_range);
    ui().No_service->setChecked(s.no_service);
    ui().Outrange_time->setCurrentIndex(s.outrange_time);
    ui().LowbattComb->setCurrentIndex(s.low_batt);
    ui().LcdorderComb->setCurrentIndex(s.lcd_order);
    ui().lcdmannulCB->setCurrentIndex(s.lcd_manual);
    ui().Re1Chk->setChecked(s.re1_active);
    ui().Re2Chk->setChecked(s.re2_active);
    ui().Re3Chk->setChecked(s.re3_active);
    ui().ORCTChk->setChecked(s.orctl_ds);
    ui().set_ct_radio_index(s.call_termination);

    ui().FirmwareVer->setCurrentIndex(s.firmware);
    window->FirmwareVerChange();
    ui().Frequency->setText(qstr(typed_frequency));
    window->FrequencyExit();
    ui().Frequency_step->setCurrentIndex(step_index);
    window->Frequency_stepChange();
  }
};

// --- The default form ---------------------------------------------------------

TEST_F(CodecWindowTest, DefaultFormEncodesToTheDefaultImage) {
  const auto before = form_state(ui());
  const Image img = encode_form();
  for (std::size_t i = 0; i < img.size(); ++i) EXPECT_EQ(int{img[i]}, int{kDefaultImage[i]}) << "byte " << i;
  EXPECT_EQ(img[60], 0x73);
  EXPECT_EQ(img[61], 0x16);
  EXPECT_EQ(q5::image::checksum(img), 0x236D);
  EXPECT_EQ(img[254] << 8 | img[255], 0x236D);
  // The RE edits' leading zeros do not matter: "03", "09" are 3 and 9.
  EXPECT_EQ(str(ui().E512bs1->text()), "03");
  EXPECT_EQ(str(ui().E512bs3->text()), "09");
  EXPECT_EQ(img[48], 0x03);
  EXPECT_EQ(img[49], 0x09);
  // Packing reads the form and changes nothing on it.
  EXPECT_EQ(form_state(ui()), before);
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(first_difference(encode_form(), img), "");
}

// --- The encoder reads every control, hidden or disabled ------------------------

struct EncodeCase {
  const char* what;
  void (*change)(TMain_Page&);
  // What makes the case worth having (hidden, disabled, no selection).
  bool (*precondition)(const TMain_Page&);
  std::map<std::size_t, std::uint8_t> bytes;  // the bytes that differ from the default image
};
void PrintTo(const EncodeCase& c, std::ostream* os) { *os << c.what; }

class EncodeControl : public CodecWindowTest, public ::testing::WithParamInterface<EncodeCase> {};

TEST_P(EncodeControl, ChangesExactlyItsBytes) {
  const EncodeCase& c = GetParam();
  c.change(*window);
  ASSERT_TRUE(c.precondition(*window));
  const Image img = encode_form();
  EXPECT_EQ(first_difference(img, default_with(c.bytes)), "");
  EXPECT_TRUE(prompts.errors.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    HiddenControls, EncodeControl,
    ::testing::Values(
        EncodeCase{"hidden RE edit E512bs1",
                   [](TMain_Page& w) { w.ui.E512bs1->setText("200"); },
                   [](const TMain_Page& w) { return !w.ui.E512bs1->isVisible(); },
                   {{48, 200}}},
        EncodeCase{"hidden RE edit E2400bs3",
                   [](TMain_Page& w) { w.ui.E2400bs3->setText("0"); },
                   [](const TMain_Page& w) { return !w.ui.E2400bs3->isVisible(); },
                   {{53, 0}}},
        EncodeCase{"Test page RE1 active",
                   [](TMain_Page& w) { w.ui.Re1Chk->setChecked(true); },
                   [](const TMain_Page& w) { return !w.ui.Re1Chk->isVisible(); },
                   {{68, 0x20}}},
        EncodeCase{"Test page RE2 active",
                   [](TMain_Page& w) { w.ui.Re2Chk->setChecked(true); },
                   [](const TMain_Page& w) { return !w.ui.Re2Chk->isVisible(); },
                   {{68, 0x10}}},
        EncodeCase{"Test page ORCTL-DS and RE3 active",
                   [](TMain_Page& w) {
                     w.ui.ORCTChk->setChecked(true);
                     w.ui.Re3Chk->setChecked(true);
                   },
                   [](const TMain_Page& w) { return !w.ui.ORCTChk->isVisible(); },
                   {{68, 0x0C}}},
        EncodeCase{"Test page call termination 2",
                   [](TMain_Page& w) { w.ui.set_ct_radio_index(2); },
                   [](const TMain_Page& w) { return !w.ui.CtRadio->isVisible(); },
                   {{69, 0xF8}}}));

INSTANTIATE_TEST_SUITE_P(
    DisabledControls, EncodeControl,
    ::testing::Values(
        EncodeCase{"Vib_pattern disabled by the alert type",
                   [](TMain_Page& w) {
                     w.ui.Vib_pattern->setCurrentIndex(3);
                     w.ui.Alert_type->setCurrentIndex(6);  // "T only"
                     w.Alert_typeChange();
                   },
                   [](const TMain_Page& w) { return !w.ui.Vib_pattern->isEnabled(); },
                   {{40, 0x80}, {44, 0xC3}}},
        EncodeCase{"Special_vib_time disabled",
                   [](TMain_Page& w) { w.ui.Special_vib_time->setText("5"); },
                   [](const TMain_Page& w) { return !w.ui.Special_vib_time->isEnabled(); },
                   {{44, 0x50}}},
        EncodeCase{"PLL_select disabled, KS8809",
                   [](TMain_Page& w) { w.ui.PLL_select->setCurrentIndex(0); },
                   [](const TMain_Page& w) { return !w.ui.PLL_select->isEnabled(); },
                   {{71, 0xFB}}},
        EncodeCase{"ModelCB disabled, Normal",
                   [](TMain_Page& w) { w.ui.ModelCB->setCurrentIndex(1); },
                   [](const TMain_Page& w) { return !w.ui.ModelCB->isEnabled(); },
                   {{80, 0xFE}}},
        EncodeCase{"address row 2 switched off keeps its digits",
                   [](TMain_Page& w) { w.ui.sc_addractv[1]->setChecked(false); },
                   [](const TMain_Page& w) { return !w.ui.sc_address[1]->isEnabled(); },
                   {{15, 0x81}}},
        EncodeCase{"Dup_msg_time disabled by its check box",
                   [](TMain_Page& w) {
                     w.ui.Dup_msg_time->setCurrentIndex(5);
                     w.ui.Dup_msg_rejection_chekbox->setChecked(false);
                   },
                   [](const TMain_Page& w) { return !w.ui.Dup_msg_time->isEnabled(); },
                   {{54, 6}, {65, 0x27}}},
        EncodeCase{"canned messages disabled",
                   [](TMain_Page& w) {
                     w.ui.CannedMsg_command->setCurrentIndex(2);
                     w.ui.N_canned_msg[0]->setText("X");
                     w.ui.CanMsg_checkbox->setChecked(false);
                   },
                   [](const TMain_Page& w) { return !w.ui.N_canned_msg[0]->isEnabled(); },
                   {{72, 0xEE}, {81, 0xA2}, {118, 0x27}, {119, 0x30}, {120, 0x30},
                    {121, 0x30}, {122, 0x30}, {123, 0x30}}},
        EncodeCase{"FirmwareVer disabled, R2",
                   [](TMain_Page& w) {
                     w.ui.FirmwareVer->setCurrentIndex(1);
                     w.FirmwareVerChange();  // "12.5kHz" first: step code 0
                   },
                   [](const TMain_Page& w) { return !w.ui.FirmwareVer->isEnabled(); },
                   {{43, 1}, {70, 0x18}, {73, 0x00}, {74, 0x24}, {75, 0xBE}, {76, 0x01}}}));

// A list left without a selection (only a decode can do that) counts as its
// first item, except the chip list: that is the chip the form has no item for.
INSTANTIATE_TEST_SUITE_P(
    ListsWithoutSelection, EncodeControl,
    ::testing::Values(
        EncodeCase{"Baud_rate",
                   [](TMain_Page& w) { w.ui.Baud_rate->setCurrentIndex(-1); },
                   [](const TMain_Page& w) { return w.ui.Baud_rate->currentIndex() == -1; },
                   {{69, 0xDC}}},
        EncodeCase{"Alert_duration",
                   [](TMain_Page& w) { w.ui.Alert_duration->setCurrentIndex(-1); },
                   [](const TMain_Page& w) { return w.ui.Alert_duration->currentText().isEmpty(); },
                   {{45, 1}}},
        EncodeCase{"Outrange_time",
                   [](TMain_Page& w) { w.ui.Outrange_time->setCurrentIndex(-1); },
                   [](const TMain_Page& w) { return w.ui.Outrange_time->currentIndex() == -1; },
                   {{55, 1}}},
        EncodeCase{"Frequency_step under R2",
                   [](TMain_Page& w) {
                     w.ui.FirmwareVer->setCurrentIndex(1);
                     w.FirmwareVerChange();
                     w.ui.Frequency_step->setCurrentIndex(-1);
                   },
                   [](const TMain_Page& w) { return w.ui.Frequency_step->currentIndex() == -1; },
                   {{43, 1}, {70, 0x18}, {73, 0x00}, {74, 0x24}, {75, 0xBE}, {76, 0x01}}},
        EncodeCase{"PLL_select is chip code 2",
                   [](TMain_Page& w) { w.ui.PLL_select->setCurrentIndex(-1); },
                   [](const TMain_Page& w) { return w.ui.PLL_select->currentIndex() == -1; },
                   {{70, 0xD8}, {71, 0xFB}}}));

// The chip list without a selection is checked as the RX8308: the KS8809's
// limit, not the SM5170's. A pasted frequency is the only way past the limits.
struct ChipLimitCase {
  int pll_index;
  const char* frequency;
  const char* warning;  // nullptr: none
};
void PrintTo(const ChipLimitCase& c, std::ostream* os) { *os << c.pll_index << " " << c.frequency; }

class ChipLimit : public CodecWindowTest, public ::testing::WithParamInterface<ChipLimitCase> {};

TEST_P(ChipLimit, WarnsForTheChipAndStillEncodes) {
  const ChipLimitCase& c = GetParam();
  ui().PLL_select->setCurrentIndex(c.pll_index);
  ui().Frequency->setText(c.frequency);
  window->FrequencyExit();                  // left: the high-band list
  ui().Frequency_step->setCurrentIndex(1);  // "10kHz", so q = count / 10000
  ui().Frequency->setText(c.frequency);     // pasted again over the snapped value
  const int lines = static_cast<int>(log().size());
  prompts.clear();
  const Image img = encode_form();
  EXPECT_EQ(str(log().mid(lines).join('|')), c.warning ? c.warning : "");
  EXPECT_EQ(prompts.beeps, c.warning ? 1 : 0);
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(q5::image::verify(img), q5::image::ChecksumFault::none);
  const bool rx8308 = c.pll_index < 0;
  EXPECT_EQ((img[70] & 0x80) != 0, rx8308);
  EXPECT_EQ((img[71] & 0x04) != 0, c.pll_index == 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChipLimit,
    ::testing::Values(ChipLimitCase{-1, "2700.0000", q5::image::kWarnKs8809High},  // q = 267860
                      ChipLimitCase{-1, "2000.0000", nullptr},                     // q = 197860
                      ChipLimitCase{0, "2700.0000", q5::image::kWarnKs8809High},
                      ChipLimitCase{1, "2000.0000", q5::image::kWarnSm5170High}));

TEST_F(CodecWindowTest, ShortDigitTextsArePaddedInTheImageOnly) {
  ui().Serial_no->setText("42");
  ui().sc_address[2]->setText("8");
  ui().Password->setText("5");
  const Image img = encode_form();
  const Image expected = default_with({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 4}, {7, 2},  // serial
                                       {16, 0x00}, {17, 0x00}, {18, 0x00}, {19, 0x80},  // address 3
                                       {60, 0x00}, {61, 0x05}});                        // password
  EXPECT_EQ(first_difference(img, expected), "");
  EXPECT_EQ(str(ui().Serial_no->text()), "42");
  EXPECT_EQ(str(ui().sc_address[2]->text()), "8");
  EXPECT_EQ(str(ui().Password->text()), "5");
}

// A number field that is not a number ends the encode with the conversion
// error; the image of the last good encode stays as it was.
struct EmptiedFieldCase {
  QLineEdit* MainPageForm::*field;
  const char* error;
};
void PrintTo(const EmptiedFieldCase& c, std::ostream* os) { *os << c.error; }

class EmptiedField : public CodecWindowTest, public ::testing::WithParamInterface<EmptiedFieldCase> {};

TEST_P(EmptiedField, EndsTheEncodeWithTheConversionError) {
  const EmptiedFieldCase& c = GetParam();
  ASSERT_EQ(encode_form(), kDefaultImage);
  (ui().*c.field)->setText("");
  prompts.clear();  // emptying a field with a change rule has had its own say
  const auto before = form_state(ui());
  window->guarded([this] { window->encode_image(); });
  EXPECT_EQ(str(prompts.errors.join('|')), c.error);
  EXPECT_EQ(first_difference(window->image(), kDefaultImage), "");
  EXPECT_EQ(form_state(ui()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EmptiedField,
    ::testing::Values(EmptiedFieldCase{&MainPageForm::Num_message, "'' is not a valid integer value"},
                      EmptiedFieldCase{&MainPageForm::Special_vib_time, "'' is not a valid integer value"},
                      EmptiedFieldCase{&MainPageForm::E512bs1, "'' is not a valid integer value"},
                      EmptiedFieldCase{&MainPageForm::E1200bs3, "'' is not a valid integer value"},
                      EmptiedFieldCase{&MainPageForm::E2400bs3, "'' is not a valid integer value"},
                      EmptiedFieldCase{&MainPageForm::Frequency, "'' is not a valid floating point value"}));

TEST_F(CodecWindowTest, SavingWithAnEmptiedNumberSavesNothing) {
  QTemporaryDir dir;
  const QString path = dir.filePath("pager.bin");
  ui().Num_message->setText("");
  prompts.clear();
  prompts.save_answers.push_back(path);
  ui().Save1->trigger();
  EXPECT_EQ(str(prompts.errors.join('|')), "'' is not a valid integer value");
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_FALSE(log().contains("File saved.OK !"));
}

// --- The decoder through the window ---------------------------------------------

TEST_F(CodecWindowTest, DefaultImageGivesTheDefaultForm) {
  auto expected = form_state(ui());
  const int lines = static_cast<int>(log().size());
  prompts.clear();
  show_image(kDefaultImage);
  auto shown = form_state(ui());

  // Numbers come back without leading zeros, texts filled to their width.
  EXPECT_EQ(str(ui().E512bs1->text()), "3");
  EXPECT_EQ(str(ui().E512bs3->text()), "9");
  EXPECT_EQ(str(ui().N_canned_msg[10]->text()), "GO    ");
  EXPECT_EQ(str(ui().T_only_msg[0]->text()), "TONE ONLY A ");
  std::vector<QLineEdit*> filled{ui().E512bs1, ui().E512bs3};
  filled.insert(filled.end(), ui().T_only_msg.begin(), ui().T_only_msg.end());
  filled.insert(filled.end(), ui().N_canned_msg.begin(), ui().N_canned_msg.end());
  for (QLineEdit* edit : filled) {
    if (edit->maxLength() < 100) {
      EXPECT_EQ(edit->text().size(), edit->maxLength()) << str(edit->objectName());
    }
    expected.erase(str(edit->objectName()));
    shown.erase(str(edit->objectName()));
  }
  EXPECT_EQ(shown, expected);

  EXPECT_EQ(window->step_offset(), 2);
  EXPECT_FALSE(window->high_band_list());
  EXPECT_EQ(window->model_flag(), 1);
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(static_cast<int>(log().size()), lines);
  EXPECT_EQ(first_difference(encode_form(), kDefaultImage), "");
}

// One stored byte and the list position it must give.
struct ListCase {
  const char* what;
  std::size_t offset;
  std::uint8_t value;
  QComboBox* MainPageForm::*list;
  int index;
  const char* text;
};
// Each is shown on whatever the previous one left: a decode sets every list.
const ListCase kListCases[] = {
    ListCase{"type 8", 40, 0x80, &MainPageForm::Alert_type, 6, "T only"},
    ListCase{"type 9", 40, 0x90, &MainPageForm::Alert_type, 7, "V only"},
    ListCase{"type 10", 40, 0xA0, &MainPageForm::Alert_type, 8, "T+V"},
    ListCase{"type 6", 40, 0x60, &MainPageForm::Alert_type, 4, "T/M"},
    ListCase{"type 7", 40, 0x70, &MainPageForm::Alert_type, 5, "V/M"},
    ListCase{"type 11", 40, 0xB0, &MainPageForm::Alert_type, -1, ""},
    ListCase{"reset 0xF", 40, 0x0F, &MainPageForm::Alert_reset, 5, "ALL"},
    ListCase{"reset 0x8", 40, 0x08, &MainPageForm::Alert_reset, 4, "ADDRESS 4"},
    ListCase{"reset 0x3", 40, 0x03, &MainPageForm::Alert_reset, -1, ""},
    ListCase{"duration 31", 45, 31, &MainPageForm::Alert_duration, 6, "32"},
    ListCase{"duration 32", 45, 32, &MainPageForm::Alert_duration, 6, "32"},
    ListCase{"duration 64", 45, 64, &MainPageForm::Alert_duration, 7, "64"},
    ListCase{"duration 5", 45, 5, &MainPageForm::Alert_duration, -1, ""},
    ListCase{"duration 0", 45, 0, &MainPageForm::Alert_duration, -1, ""},
    ListCase{"urgent address 7", 47, 0x07, &MainPageForm::Urgent_call_addr, 5, "ALL"},
    ListCase{"urgent address 5", 47, 0x05, &MainPageForm::Urgent_call_addr, 5, "ALL"},
    ListCase{"urgent address 6", 47, 0x06, &MainPageForm::Urgent_call_addr, -1, ""},
    ListCase{"urgent tone 7", 47, 0x70, &MainPageForm::Urgent_call_tone, 5, "ALL"},
    ListCase{"urgent tone 5", 47, 0x50, &MainPageForm::Urgent_call_tone, 5, "ALL"},
    ListCase{"vibrate pattern 4", 44, 0xC4, &MainPageForm::Vib_pattern, -1, ""},
    ListCase{"dup 0", 54, 0, &MainPageForm::Dup_msg_time, -1, ""},
    ListCase{"dup 7", 54, 7, &MainPageForm::Dup_msg_time, -1, ""},
    ListCase{"outrange 0", 55, 0, &MainPageForm::Outrange_time, -1, ""},
    ListCase{"outrange 15", 55, 15, &MainPageForm::Outrange_time, 14, "15 min"},
    ListCase{"baud code 0", 69, 0xCC, &MainPageForm::Baud_rate, -1, ""},
    ListCase{"baud code 2", 69, 0xEC, &MainPageForm::Baud_rate, 1, "512   bps"},
    ListCase{"baud code 1", 69, 0xDC, &MainPageForm::Baud_rate, 0, "2400 bps"},
    ListCase{"RX8308 chip", 70, 0xD8, &MainPageForm::PLL_select, -1, ""},
    ListCase{"KS8809 chip", 71, 0xFB, &MainPageForm::PLL_select, 0, "KS8809"},
    ListCase{"step code 0 under R1", 70, 0x18, &MainPageForm::Frequency_step, -1, ""},
    ListCase{"step code 3 under R1", 70, 0x5C, &MainPageForm::Frequency_step, 1, "5kHz"},
    ListCase{"low battery copy bit not read", 81, 0xB3, &MainPageForm::LowbattComb, 0, "Normal"},
    ListCase{"model bit", 80, 0xFE, &MainPageForm::ModelCB, 1, "Normal"},
};

TEST_F(CodecWindowTest, StoredCodesSelectTheirPositions) {
  for (const ListCase& c : kListCases) {
    SCOPED_TRACE(c.what);
    show_image(default_with({{c.offset, c.value}}));
    EXPECT_EQ((ui().*c.list)->currentIndex(), c.index);
    EXPECT_EQ(str((ui().*c.list)->currentText()), c.text);
  }
  EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(CodecWindowTest, FirmwareR2BringsTheFourItemList) {
  show_image(default_with({{43, 0x7F}}));
  EXPECT_EQ(str(ui().FirmwareVer->currentText()), "R2");
  QStringList items;
  for (int i = 0; i < ui().Frequency_step->count(); ++i) items << ui().Frequency_step->itemText(i);
  EXPECT_EQ(str(items.join('|')), "12.5kHz|10kHz|6.25kHz|5kHz");
  EXPECT_EQ(window->step_offset(), 0);
  EXPECT_EQ(str(ui().Frequency_step->currentText()), "6.25kHz");  // step code 2 as stored
  EXPECT_EQ(str(ui().Frequency->text()), "138.97500");
  // Firmware 0x7F is shown as "R2" and written back as 1.
  EXPECT_EQ(first_difference(encode_form(), default_with({{43, 1}})), "");
}

// A stored frequency on its own step's raster stays where it is, though the
// first item of the list has another raster that would move it.
TEST_F(CodecWindowTest, StoredFrequencyOnItsRasterIsNotMoved) {
  struct Stored {
    int firmware;
    int step_code;
    const char* frequency;
    const char* step;
  };
  for (const Stored& c : {Stored{0, 3, "138.98000", "5kHz"},      // not on 6.25 kHz
                          Stored{1, 1, "459.02000", "20kHz"},     // not on 25 kHz
                          Stored{1, 3, "170.00500", "5kHz"},      // not on 12.5 kHz
                          Stored{0, 3, "300.01000", "10kHz"}}) {  // not on 12.5 kHz
    SCOPED_TRACE(c.frequency);
    Settings s;
    s.firmware = c.firmware;
    s.step_code = c.step_code;
    s.frequency = c.frequency;
    const Image img = q5::image::encode(s);
    prompts.clear();
    show_image(img);
    EXPECT_EQ(str(ui().Frequency->text()), c.frequency);
    EXPECT_EQ(str(ui().Frequency_step->currentText()), c.step);
    EXPECT_EQ(first_difference(encode_form(), img), "");
    EXPECT_TRUE(prompts.errors.isEmpty());
  }
}

TEST_F(CodecWindowTest, RX8308ImageKeepsItsChipThroughTheForm) {
  const Image img = default_with({{70, 0xD8}, {71, 0xFB}});
  show_image(img);
  EXPECT_EQ(ui().PLL_select->currentIndex(), -1);
  EXPECT_EQ(first_difference(encode_form(), img), "");
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

TEST_F(CodecWindowTest, TextCodesOutsideTheCharacterSet) {
  show_image(default_with({{118, 0x0A}, {119, 0x2A}, {243, 0xCF}, {24, 0xCF}}));
  EXPECT_EQ(str(ui().N_canned_msg[0]->text()), ";[EASE");
  EXPECT_EQ(str(ui().Hello_msg->text()), "HAPPY");  // the end mark ends the text
  EXPECT_EQ(str(ui().T_only_msg[0]->text()), "");
}

TEST_F(CodecWindowTest, DisableNibbleSwitchesTheRowOff) {
  for (std::uint8_t nibble = 1; nibble <= 15; ++nibble) {
    SCOPED_TRACE(int{nibble});
    show_image(default_with({{15, static_cast<std::uint8_t>(0x80 | nibble)}}));
    EXPECT_FALSE(ui().sc_addractv[1]->isChecked());
    EXPECT_FALSE(ui().sc_address[1]->isEnabled());
    EXPECT_FALSE(ui().sc_framno[1]->isEnabled());
    EXPECT_FALSE(ui().sc_autoinc[1]->isEnabled());
    EXPECT_EQ(str(ui().sc_address[1]->text()), "2004008");
    EXPECT_TRUE(ui().sc_address[0]->isEnabled());
    // Written back as the one disabled value there is.
    EXPECT_EQ(encode_form()[15], 0x81);
    show_image(kDefaultImage);
    EXPECT_TRUE(ui().sc_addractv[1]->isChecked());
    EXPECT_TRUE(ui().sc_address[1]->isEnabled());
  }
}

// An address digit above 9 upsets the address rule; the technician hears of
// it once, and the rest of the image is still shown.
TEST_F(CodecWindowTest, OddAddressDigitsGiveOneErrorAndTheDecodeGoesOn) {
  Image img = kDefaultImage;
  img[9] = 0xA4;   // address 1: 2, 0, ':', 4, ...
  img[16] = 0xB0;  // address 3: ';', 0, ...
  img[79] = 200;   // a later handler still runs
  q5::image::text_to_codes("THE END", &img[238], 14);
  q5::image::seal(img);
  prompts.clear();
  show_image(img);
  EXPECT_EQ(str(prompts.errors.join('|')), "'20:4000' is not a valid integer value");
  EXPECT_EQ(str(ui().sc_address[0]->text()), "20:4000");
  EXPECT_EQ(str(ui().sc_address[2]->text()), ";004016");
  EXPECT_EQ(str(ui().sc_address[3]->text()), "2004024");
  EXPECT_EQ(str(ui().Num_message->text()), "12");
  EXPECT_EQ(str(ui().Hello_msg->text()), "THE END       ");
  // Each decode has its own one box.
  show_image(img);
  EXPECT_EQ(prompts.errors.size(), 2);
  // The odd digits are written back as the nibbles they came from.
  Image back = img;
  back[79] = 12;
  q5::image::seal(back);
  EXPECT_EQ(first_difference(encode_form(), back), "");
}

// A frequency digit above 9 cannot be checked; the box says so once and the
// rest of the image is still shown.
TEST_F(CodecWindowTest, OddFrequencyDigitGivesOneErrorAndTheDecodeGoesOn) {
  Image img = kDefaultImage;
  img[56] = 0x1A;  // 1, ':', 8, ...
  img[9] = 0xA4;   // and a bad address before it
  q5::image::text_to_codes("THE END", &img[238], 14);
  q5::image::seal(img);
  prompts.clear();
  show_image(img);
  EXPECT_EQ(str(prompts.errors.join('|')), "'20:4000' is not a valid integer value");
  EXPECT_EQ(str(ui().Frequency->text()), "1:8.97500");
  EXPECT_EQ(str(ui().Frequency_step->currentText()), "6.25kHz");
  EXPECT_EQ(str(ui().Hello_msg->text()), "THE END       ");

  img[9] = 0x04;
  q5::image::seal(img);
  prompts.clear();
  show_image(img);
  EXPECT_EQ(str(prompts.errors.join('|')), "'1:8.97500' is not a valid floating point value");
  EXPECT_EQ(str(ui().Hello_msg->text()), "THE END       ");
  // Such a form cannot be encoded until the frequency is mended.
  prompts.clear();
  window->guarded([this] { window->encode_image(); });
  EXPECT_EQ(str(prompts.errors.join('|')), "'1:8.97500' is not a valid floating point value");
  EXPECT_EQ(first_difference(window->image(), img), "");
}

// A stored number reaches the field's change rule whole, not cut to the
// field's two characters.
struct NumberCase {
  std::size_t offset;
  std::uint8_t value;
  QLineEdit* MainPageForm::*field;
  const char* shown;
  const char* warning;  // nullptr: none
};
void PrintTo(const NumberCase& c, std::ostream* os) { *os << c.offset << " = " << int{c.value}; }

class DecodeNumber : public CodecWindowTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(DecodeNumber, GoesThroughTheChangeRule) {
  const NumberCase& c = GetParam();
  const int lines = static_cast<int>(log().size());
  prompts.clear();
  show_image(default_with({{c.offset, c.value}}));
  QLineEdit* field = ui().*c.field;
  EXPECT_EQ(str(field->text()), c.shown);
  EXPECT_EQ(field->maxLength(), 2);
  EXPECT_EQ(str(log().mid(lines).join('|')), c.warning ? c.warning : "");
  EXPECT_EQ(prompts.beeps, c.warning ? 1 : 0);
  EXPECT_TRUE(prompts.errors.isEmpty());
}

constexpr const char* kTooManyMessages = "The number of message value range out,the max is 12  ";
constexpr const char* kVibTooLong = "The Special vibrate time value range out,the max is 12 seconds ";

INSTANTIATE_TEST_SUITE_P(
    Values, DecodeNumber,
    ::testing::Values(NumberCase{79, 200, &MainPageForm::Num_message, "12", kTooManyMessages},
                      NumberCase{79, 100, &MainPageForm::Num_message, "12", kTooManyMessages},
                      NumberCase{79, 255, &MainPageForm::Num_message, "12", kTooManyMessages},
                      NumberCase{79, 13, &MainPageForm::Num_message, "12", kTooManyMessages},
                      NumberCase{79, 7, &MainPageForm::Num_message, "7", nullptr},
                      NumberCase{79, 0, &MainPageForm::Num_message, "0", nullptr},
                      NumberCase{44, 0xF0, &MainPageForm::Special_vib_time, "12", kVibTooLong},
                      NumberCase{44, 0xD0, &MainPageForm::Special_vib_time, "12", kVibTooLong},
                      NumberCase{44, 0x50, &MainPageForm::Special_vib_time, "5", nullptr}));

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
  EXPECT_EQ(str(texts.join('|')), "|2004000");
  // The change rule ran on the new text: the frame number follows it.
  show_image(default_with({{11, 0x30}}));
  EXPECT_EQ(str(ui().sc_address[0]->text()), "2004003");
  EXPECT_EQ(str(ui().sc_framno[0]->text()), "3");
}

TEST_F(CodecWindowTest, CheckBoxesRunTheirHandlers) {
  show_image(default_with({{81, 0xA2}, {65, 0x27}}));  // canned messages off, duplicate rejection off
  EXPECT_FALSE(ui().N_canned_msg[5]->isEnabled());
  EXPECT_FALSE(ui().T_only_msg[2]->isEnabled());
  EXPECT_FALSE(ui().CannedMsg_command->isEnabled());
  EXPECT_FALSE(ui().Dup_msg_time->isEnabled());
  show_image(kDefaultImage);
  EXPECT_TRUE(ui().N_canned_msg[5]->isEnabled());
  EXPECT_TRUE(ui().Dup_msg_time->isEnabled());
}

TEST_F(CodecWindowTest, SelectingListsRunsNoListHandler) {
  int activated = 0;
  for (QComboBox* combo : ui().client->findChildren<QComboBox*>()) {
    QObject::connect(combo, &QComboBox::activated, [&] { ++activated; });
  }
  Generator gen(5);
  for (int round = 0; round < 5; ++round) show_image(q5::image::encode(gen.settings()));
  Settings s;
  s.alert_type = 6;  // "T only" would grey Vib_pattern, were its handler run
  show_image(q5::image::encode(s));
  EXPECT_EQ(activated, 0);
  EXPECT_EQ(str(ui().Alert_type->currentText()), "T only");
  EXPECT_TRUE(ui().Vib_pattern->isEnabled());
}

// --- Round trips ----------------------------------------------------------------

TEST_F(CodecWindowTest, EveryEncodedImageComesBackThroughTheForm) {
  Generator gen(20240611);
  for (int round = 0; round < 300; ++round) {
    const Settings s = gen.settings();
    const Image img = q5::image::encode(s);
    prompts.clear();
    show_image(img);
    ASSERT_EQ(first_difference(encode_form(), img), "")
        << "round " << round << ", frequency " << s.frequency << ", step code " << s.step_code
        << ", firmware " << s.firmware;
    ASSERT_TRUE(prompts.errors.isEmpty()) << "round " << round << ": " << str(prompts.errors.join('|'));
  }
}

TEST_F(CodecWindowTest, FormsSetThroughTheControlsEncodeStably) {
  Generator gen(4711);
  for (int round = 0; round < 200; ++round) {
    Settings s = gen.settings();
    const std::string typed = gen.typed_frequency();
    // The step is chosen from the list the frequency and firmware bring.
    const int step_index = gen.pick(0, s.firmware == 0 ? 1 : 3);
    prompts.clear();
    set_form(s, typed, step_index);
    ASSERT_TRUE(prompts.errors.isEmpty()) << "round " << round;

    const Image img = encode_form();
    ASSERT_EQ(q5::image::verify(img), q5::image::ChecksumFault::none) << "round " << round;
    ASSERT_EQ(first_difference(encode_form(), img), "") << "round " << round << ", typed " << typed;

    // Every control went into the image: the settings it decodes to are the
    // ones set, texts filled to their width.
    s.frequency = str(ui().Frequency->text());
    s.step_code = step_index + window->step_offset();
    for (auto& t : s.tone_only) t.resize(12, ' ');
    for (auto& t : s.canned) t.resize(6, ' ');
    s.hello.resize(14, ' ');
    ASSERT_EQ(first_difference(img, q5::image::encode(s)), "") << "round " << round << ", typed " << typed;
    ASSERT_EQ(q5::image::decode(img), s) << "round " << round;
  }
}

}  // namespace
