// The form to an image and back. The packing is q5::image's; here the
// controls are read and written in the order the handlers they fire expect.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/Q5_c.h"
#include "image/codec.h"
#include "image/frequency.h"
#include "image/number_text.h"

using q5::image::Settings;

namespace {

std::string latin1(const QLineEdit* edit) { return edit->text().toLatin1().toStdString(); }
QString latin1(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }
int to_int(const QLineEdit* edit) { return q5::strict_to_int(edit->text().toStdString()); }

// Resets a flag however the scope is left.
struct FlagScope {
  bool& flag;
  explicit FlagScope(bool& f) : flag(f) { flag = true; }
  ~FlagScope() { flag = false; }
};

}  // namespace

// Everything but the numbers typed as text and the frequency, which may fail
// and so are read by encode_image in packing order.
Settings TMain_Page::read_plain_settings() const {
  Settings s;
  for (int row = 0; row < 4; ++row) {
    s.address[row] = latin1(ui.sc_address[row]);
    s.address_enabled[row] = ui.sc_addractv[row]->isChecked();
  }
  s.pll_chip = pll_chip_code();
  s.baud_rate = ui.Baud_rate->currentIndex();
  s.data_polarity = ui.Date_polarity->currentIndex();
  s.serial = latin1(ui.Serial_no);
  s.hello = latin1(ui.Hello_msg);
  s.model = ui.ModelCB->currentIndex();
  s.firmware = ui.FirmwareVer->currentIndex();
  s.daily_alarm = ui.Daily_Alarm_checkbox->isChecked();
  s.date_time_display = ui.Date_time_disp_checkbox->isChecked();
  s.sleep_timer = ui.Sleep_timer_checkbox->isChecked();
  s.pager_off_menu = ui.Pager_off_menu_checkbox->isChecked();

  s.alert_reset = ui.Alert_reset->currentIndex();
  s.urgent_call_addr = ui.Urgent_call_addr->currentIndex();
  s.urgent_call_tone = ui.Urgent_call_tone->currentIndex();
  s.select_tone = ui.Select_tone->currentIndex();
  s.alert_duration = ui.Alert_duration->currentIndex();
  s.alert_type = ui.Alert_type->currentIndex();
  s.vib_pattern = ui.Vib_pattern->currentIndex();
  s.time_format = ui.Time_format->currentIndex();
  s.date_format = ui.Date_format->currentIndex();
  s.char_set = ui.Char_set->currentIndex();

  s.canned_messages = ui.CanMsg_checkbox->isChecked();
  s.canned_command = ui.CannedMsg_command->currentIndex();
  for (int i = 0; i < q5::image::kToneOnlyMessages; ++i) s.tone_only[i] = latin1(ui.T_only_msg[i]);
  for (int i = 0; i < q5::image::kCannedMessages; ++i) s.canned[i] = latin1(ui.N_canned_msg[i]);

  s.dup_msg_rejection = ui.Dup_msg_rejection_chekbox->isChecked();
  s.dup_msg_time = ui.Dup_msg_time->currentIndex();
  s.repeat_msg_tone = ui.Repeat_msg_tone->currentIndex();
  s.msg_time_stamp = ui.Msg_time_stamp_checkbox->isChecked();
  s.message_status = ui.Message_status_checkbox->isChecked();
  s.unread_display = ui.Unread_disp_checkbox->isChecked();
  s.unread_reminder = ui.Unread_reminder->isChecked();
  s.unread_reminder_time = ui.Uread_reminder_time->currentIndex();
  s.full_msg = ui.Full_msg->isChecked();
  s.error_correction = ui.Error_eduction_checkbox->isChecked();
  s.protect_menu = ui.Protect_menu_checkbox->isChecked();
  s.message_order = ui.Message_order->currentIndex();

  s.hand_code_password = ui.Hand_code_pss_checkbox->isChecked();
  s.baud_handcode = ui.Baud_handcode_checkbox->isChecked();
  s.freq_handcode = ui.Freq_handcode_checkbox->isChecked();
  s.addr_handcode = ui.Addr_handcode_checkbox->isChecked();
  s.password = latin1(ui.Password);

  s.ota_autotime = ui.OTA_autotime_checkbox->isChecked();
  s.ota_poweroff = ui.OTA_poweroff_checkbox->isChecked();
  s.ota_msgdel = ui.OTA_msgdel_checkbox->isChecked();
  s.ota_alertmode = ui.OTA_alertmode_checkbox->isChecked();

  s.out_range_func = ui.Out_range_func_checkbox->isChecked();
  s.in_out_range = ui.In_out_range->currentIndex();
  s.no_service = ui.No_service->isChecked();
  s.outrange_time = ui.Outrange_time->currentIndex();
  s.low_batt = ui.LowbattComb->currentIndex();
  s.lcd_order = ui.LcdorderComb->currentIndex();
  s.lcd_manual = ui.lcdmannulCB->currentIndex();

  s.re1_active = ui.Re1Chk->isChecked();
  s.re2_active = ui.Re2Chk->isChecked();
  s.re3_active = ui.Re3Chk->isChecked();
  s.orctl_ds = ui.ORCTChk->isChecked();
  s.call_termination = ui.ct_radio_index();
  return s;
}

void TMain_Page::encode_image() {
  Settings s = read_plain_settings();
  // The numbers are converted in the order their fields are packed, so the
  // error box names the first field that is not a number, and the frequency
  // check (which may snap the text and warn) runs before the count is read.
  const std::array<QLineEdit*, 6> re_edits{ui.E512bs1,  ui.E512bs3,  ui.E1200bs1,
                                           ui.E1200bs3, ui.E2400bs1, ui.E2400bs3};
  for (std::size_t i = 0; i < re_edits.size(); ++i) s.re_values[i] = to_int(re_edits[i]);
  s.special_vib_time = to_int(ui.Special_vib_time);
  FrequencyExit();
  s.frequency = latin1(ui.Frequency);
  s.step_code = q5::image::step_code_of(ui.Frequency_step->currentIndex(), Step_offset);
  s.num_message = to_int(ui.Num_message);
  image_ = q5::image::encode(s);
}

// Shows the stored step without moving a frequency that lies on its raster:
// the list is rebuilt for the stored firmware and the stored frequency's side
// of 175 MHz, the stored step selected, and only then is the frequency
// checked and snapped, against that step. (Snapping against the list's first
// item first, and selecting the stored step afterwards, could move a stored
// frequency by one channel.)
void TMain_Page::show_stored_step(int step_code) {
  bool high_band = High_band_list;
  try {
    high_band = q5::image::is_high_band(q5::image::parse_frequency(ui.Frequency->text().toStdString()));
  } catch (const q5::ConversionError&) {
    // FrequencyExit below reports it.
  }
  rebuild_step_list(high_band);
  ui.Frequency_step->setCurrentIndex(step_code - Step_offset);
  guarded([this] { FrequencyExit(); });
}

void TMain_Page::decode_image() {
  const Settings s = q5::image::decode(image_);
  FlagScope scope(decoding_);
  decode_error_shown_ = false;

  replace_text(ui.Serial_no, latin1(s.serial));
  for (int row = 0; row < 4; ++row) {
    replace_text(ui.sc_address[row], latin1(s.address[row]));
    ui.sc_addractv[row]->setChecked(s.address_enabled[row]);
  }
  replace_text(ui.T_only_msg[0], latin1(s.tone_only[0]));

  const std::array<QLineEdit*, 6> re_edits{ui.E512bs1,  ui.E512bs3,  ui.E1200bs1,
                                           ui.E1200bs3, ui.E2400bs1, ui.E2400bs3};
  for (std::size_t i = 0; i < re_edits.size(); ++i) set_number(re_edits[i], s.re_values[i]);

  ui.Alert_type->setCurrentIndex(s.alert_type);
  ui.Alert_reset->setCurrentIndex(s.alert_reset);
  ui.Vib_pattern->setCurrentIndex(s.vib_pattern);
  set_number(ui.Special_vib_time, s.special_vib_time);
  ui.Alert_duration->setCurrentIndex(s.alert_duration);
  ui.Urgent_call_addr->setCurrentIndex(s.urgent_call_addr);
  ui.Urgent_call_tone->setCurrentIndex(s.urgent_call_tone);
  ui.Dup_msg_time->setCurrentIndex(s.dup_msg_time);
  ui.Outrange_time->setCurrentIndex(s.outrange_time);

  // The frequency goes in before the firmware version, whose step list
  // depends on it.
  replace_text(ui.Frequency, latin1(s.frequency));
  ui.FirmwareVer->setCurrentIndex(s.firmware);
  show_stored_step(s.step_code);

  replace_text(ui.Password, latin1(s.password));

  ui.Full_msg->setChecked(s.full_msg);
  ui.Message_order->setCurrentIndex(s.message_order);
  ui.LcdorderComb->setCurrentIndex(s.lcd_order);
  ui.Date_format->setCurrentIndex(s.date_format);
  ui.Time_format->setCurrentIndex(s.time_format);
  ui.Char_set->setCurrentIndex(s.char_set);

  ui.Out_range_func_checkbox->setChecked(s.out_range_func);
  ui.In_out_range->setCurrentIndex(s.in_out_range);
  ui.No_service->setChecked(s.no_service);
  ui.Dup_msg_rejection_chekbox->setChecked(s.dup_msg_rejection);
  ui.Repeat_msg_tone->setCurrentIndex(s.repeat_msg_tone);
  ui.Unread_reminder->setChecked(s.unread_reminder);
  ui.Uread_reminder_time->setCurrentIndex(s.unread_reminder_time);

  ui.Date_polarity->setCurrentIndex(s.data_polarity);
  ui.Baud_rate->setCurrentIndex(s.baud_rate);
  ui.ORCTChk->setChecked(s.orctl_ds);
  ui.Re3Chk->setChecked(s.re3_active);
  ui.Re2Chk->setChecked(s.re2_active);
  ui.Re1Chk->setChecked(s.re1_active);
  ui.set_ct_radio_index(s.call_termination);

  ui.PLL_select->setCurrentIndex(s.pll_chip);  // chip code 2 has no item: no selection
  ui.Hand_code_pss_checkbox->setChecked(s.hand_code_password);
  ui.lcdmannulCB->setCurrentIndex(s.lcd_manual);
  if (s.canned_command != q5::image::kNoSelection) ui.CannedMsg_command->setCurrentIndex(s.canned_command);

  ui.Addr_handcode_checkbox->setChecked(s.addr_handcode);
  ui.Freq_handcode_checkbox->setChecked(s.freq_handcode);
  ui.Baud_handcode_checkbox->setChecked(s.baud_handcode);
  ui.OTA_autotime_checkbox->setChecked(s.ota_autotime);
  ui.OTA_poweroff_checkbox->setChecked(s.ota_poweroff);
  ui.OTA_msgdel_checkbox->setChecked(s.ota_msgdel);
  ui.OTA_alertmode_checkbox->setChecked(s.ota_alertmode);

  set_number(ui.Num_message, s.num_message);

  ui.Unread_disp_checkbox->setChecked(s.unread_display);
  ui.Daily_Alarm_checkbox->setChecked(s.daily_alarm);
  ui.Pager_off_menu_checkbox->setChecked(s.pager_off_menu);
  ui.Protect_menu_checkbox->setChecked(s.protect_menu);
  ui.Msg_time_stamp_checkbox->setChecked(s.msg_time_stamp);
  ui.Date_time_disp_checkbox->setChecked(s.date_time_display);

  ui.ModelCB->setCurrentIndex(s.model);
  model_flag_ = ui.ModelCB->currentIndex() == 0 ? 1 : 0;

  ui.CanMsg_checkbox->setChecked(s.canned_messages);
  ui.Message_status_checkbox->setChecked(s.message_status);
  ui.Select_tone->setCurrentIndex(s.select_tone);
  ui.LowbattComb->setCurrentIndex(s.low_batt);
  ui.Sleep_timer_checkbox->setChecked(s.sleep_timer);
  ui.Error_eduction_checkbox->setChecked(s.error_correction);

  for (int i = 1; i < q5::image::kToneOnlyMessages; ++i) replace_text(ui.T_only_msg[i], latin1(s.tone_only[i]));
  for (int i = 0; i < q5::image::kCannedMessages; ++i) replace_text(ui.N_canned_msg[i], latin1(s.canned[i]));
  replace_text(ui.Hello_msg, latin1(s.hello));
}
