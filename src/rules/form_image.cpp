// The frequency field and its step list, and the form to an image and back.
// The packing and the arithmetic are q5::image's; here the controls are read
// and written in the order the handlers they fire expect.
#include <utility>

#include "image/codec.h"
#include "image/frequency.h"
#include "image/number_text.h"
#include "rules/form.h"

namespace q5::rules {

namespace {

// The serial number has eight digits; one past 99999999 starts again at 0.
constexpr std::int64_t kSerialModulus = 100'000'000;

int to_int(const Edit& edit) { return strict_to_int(edit.text); }

// Resets a flag however the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

// ------------------------------------------------------------ frequency

void Form::rebuild_step_list(bool high_band) {
  const image::StepList list = image::step_list(FirmwareVer.index == 0, high_band);
  if (Frequency_step.items != list.items) {
    Frequency_step.items = list.items;
    changed(Frequency_step.name);
  }
  select(Frequency_step, 0);
  Step_offset = list.step_offset;
  High_band_list = high_band;
}

// The list for the firmware shown and the frequency's side of 175 MHz; the
// item labelled `step` stays selected when the new list has it.
void Form::rebuild_step_list_keeping(const std::string& step) {
  rebuild_step_list(image::is_high_band(image::parse_frequency(Frequency.text)));
  const int kept = step.empty() ? kNoSelection : Frequency_step.find(step);
  if (kept != kNoSelection) select(Frequency_step, kept);
}

int Form::pll_chip_code() const {
  // Only an image from an RX8308 pager leaves the list without a selection.
  return PLL_select.index < 0 ? image::kChipRX8308 : PLL_select.index;
}

void Form::FrequencyExit() {
  const image::Frequency f = image::parse_frequency(Frequency.text);
  const bool high_band = image::is_high_band(f);
  if (high_band != High_band_list) rebuild_step_list(high_band);

  const int step_code = image::step_code_of(Frequency_step.index, Step_offset);
  const image::SnapResult snap =
      image::check_and_snap(f, image::raster_hz(High_band_list, step_code), pll_chip_code());
  for (const std::string& warning : snap.warnings) {
    log(warning);
    beep();
  }
  set_text(Frequency, snap.text);
}

void Form::Frequency_stepChange() { FrequencyExit(); }

void Form::FirmwareVerChange() {
  rebuild_step_list_keeping({});
  FrequencyExit();
}

// ------------------------------------------------------------ to an image

image::Image Form::encode() {
  image::Settings s;
  for (std::size_t row = 0; row < 4; ++row) {
    s.address[row] = sc_address[row].text;
    s.address_enabled[row] = sc_addractv[row].checked;
  }
  s.pll_chip = pll_chip_code();
  s.baud_rate = Baud_rate.index;
  s.data_polarity = Date_polarity.index;
  s.serial = Serial_no.text;
  s.hello = Hello_msg.text;
  s.model = ModelCB.index;
  s.firmware = FirmwareVer.index;
  s.daily_alarm = Daily_Alarm_checkbox.checked;
  s.date_time_display = Date_time_disp_checkbox.checked;
  s.sleep_timer = Sleep_timer_checkbox.checked;
  s.pager_off_menu = Pager_off_menu_checkbox.checked;

  s.alert_reset = Alert_reset.index;
  s.urgent_call_addr = Urgent_call_addr.index;
  s.urgent_call_tone = Urgent_call_tone.index;
  s.select_tone = Select_tone.index;
  s.alert_duration = Alert_duration.index;
  s.alert_type = Alert_type.index;
  s.vib_pattern = Vib_pattern.index;
  s.time_format = Time_format.index;
  s.date_format = Date_format.index;
  s.char_set = Char_set.index;

  s.canned_messages = CanMsg_checkbox.checked;
  s.canned_command = CannedMsg_command.index;
  for (std::size_t i = 0; i < T_only_msg.size(); ++i) s.tone_only[i] = T_only_msg[i].text;
  for (std::size_t i = 0; i < N_canned_msg.size(); ++i) s.canned[i] = N_canned_msg[i].text;

  s.dup_msg_rejection = Dup_msg_rejection_chekbox.checked;
  s.dup_msg_time = Dup_msg_time.index;
  s.repeat_msg_tone = Repeat_msg_tone.index;
  s.msg_time_stamp = Msg_time_stamp_checkbox.checked;
  s.message_status = Message_status_checkbox.checked;
  s.unread_display = Unread_disp_checkbox.checked;
  s.unread_reminder = Unread_reminder.checked;
  s.unread_reminder_time = Uread_reminder_time.index;
  s.full_msg = Full_msg.checked;
  s.error_correction = Error_eduction_checkbox.checked;
  s.protect_menu = Protect_menu_checkbox.checked;
  s.message_order = Message_order.index;

  s.hand_code_password = Hand_code_pss_checkbox.checked;
  s.baud_handcode = Baud_handcode_checkbox.checked;
  s.freq_handcode = Freq_handcode_checkbox.checked;
  s.addr_handcode = Addr_handcode_checkbox.checked;
  s.password = Password.text;

  s.ota_autotime = OTA_autotime_checkbox.checked;
  s.ota_poweroff = OTA_poweroff_checkbox.checked;
  s.ota_msgdel = OTA_msgdel_checkbox.checked;
  s.ota_alertmode = OTA_alertmode_checkbox.checked;

  s.out_range_func = Out_range_func_checkbox.checked;
  s.in_out_range = In_out_range.index;
  s.no_service = No_service.checked;
  s.outrange_time = Outrange_time.index;
  s.low_batt = LowbattComb.index;
  s.lcd_order = LcdorderComb.index;
  s.lcd_manual = lcdmannulCB.index;

  s.re1_active = Re1Chk.checked;
  s.re2_active = Re2Chk.checked;
  s.re3_active = Re3Chk.checked;
  s.orctl_ds = ORCTChk.checked;
  s.call_termination = CtRadio.index;

  // The numbers are converted in the order their fields are packed, so the
  // error box names the first field that is not a number, and the frequency
  // check (which may snap the text and warn) runs before the count is read.
  const Edit* const re_edits[] = {&E512bs1, &E512bs3, &E1200bs1, &E1200bs3, &E2400bs1, &E2400bs3};
  for (std::size_t i = 0; i < s.re_values.size(); ++i) s.re_values[i] = to_int(*re_edits[i]);
  s.special_vib_time = to_int(Special_vib_time);
  FrequencyExit();
  s.frequency = Frequency.text;
  s.step_code = image::step_code_of(Frequency_step.index, Step_offset);
  s.num_message = to_int(Num_message);
  return image::encode(s);
}

// ------------------------------------------------------------ from an image

// Shows the stored step without moving a frequency that lies on its raster:
// the list is rebuilt for the stored firmware and the stored frequency's
// side of 175 MHz, the stored step selected, and only then is the frequency
// checked and snapped, against that step. (Snapping against the list's first
// item first could move a stored frequency by one channel.)
void Form::show_stored_step(int step_code) {
  bool high_band = High_band_list;
  try {
    high_band = image::is_high_band(image::parse_frequency(Frequency.text));
  } catch (const ConversionError&) {
    // FrequencyExit below reports it.
  }
  rebuild_step_list(high_band);
  select(Frequency_step, step_code - Step_offset);
  guarded([this] { FrequencyExit(); });
}

void Form::decode(const image::Image& image) {
  const image::Settings s = image::decode(image);
  const FlagScope scope(decoding_);
  decode_error_shown_ = false;

  replace_text(Serial_no, s.serial);
  for (std::size_t row = 0; row < 4; ++row) {
    replace_text(sc_address[row], s.address[row]);
    set_checked(sc_addractv[row], s.address_enabled[row]);
  }
  replace_text(T_only_msg[0], s.tone_only[0]);

  Edit* const re_edits[] = {&E512bs1, &E512bs3, &E1200bs1, &E1200bs3, &E2400bs1, &E2400bs3};
  for (std::size_t i = 0; i < s.re_values.size(); ++i) set_number(*re_edits[i], s.re_values[i]);

  select(Alert_type, s.alert_type);
  select(Alert_reset, s.alert_reset);
  select(Vib_pattern, s.vib_pattern);
  set_number(Special_vib_time, s.special_vib_time);
  select(Alert_duration, s.alert_duration);
  select(Urgent_call_addr, s.urgent_call_addr);
  select(Urgent_call_tone, s.urgent_call_tone);
  select(Dup_msg_time, s.dup_msg_time);
  select(Outrange_time, s.outrange_time);

  // The frequency goes in before the firmware version, whose step list
  // depends on it.
  replace_text(Frequency, s.frequency);
  select(FirmwareVer, s.firmware);
  show_stored_step(s.step_code);

  replace_text(Password, s.password);

  set_checked(Full_msg, s.full_msg);
  select(Message_order, s.message_order);
  select(LcdorderComb, s.lcd_order);
  select(Date_format, s.date_format);
  select(Time_format, s.time_format);
  select(Char_set, s.char_set);

  set_checked(Out_range_func_checkbox, s.out_range_func);
  select(In_out_range, s.in_out_range);
  set_checked(No_service, s.no_service);
  set_checked(Dup_msg_rejection_chekbox, s.dup_msg_rejection);
  select(Repeat_msg_tone, s.repeat_msg_tone);
  set_checked(Unread_reminder, s.unread_reminder);
  select(Uread_reminder_time, s.unread_reminder_time);

  select(Date_polarity, s.data_polarity);
  select(Baud_rate, s.baud_rate);
  set_checked(ORCTChk, s.orctl_ds);
  set_checked(Re3Chk, s.re3_active);
  set_checked(Re2Chk, s.re2_active);
  set_checked(Re1Chk, s.re1_active);
  select(CtRadio, s.call_termination);

  select(PLL_select, s.pll_chip);  // chip code 2 has no item: no selection
  set_checked(Hand_code_pss_checkbox, s.hand_code_password);
  select(lcdmannulCB, s.lcd_manual);
  if (s.canned_command != image::kNoSelection) select(CannedMsg_command, s.canned_command);

  set_checked(Addr_handcode_checkbox, s.addr_handcode);
  set_checked(Freq_handcode_checkbox, s.freq_handcode);
  set_checked(Baud_handcode_checkbox, s.baud_handcode);
  set_checked(OTA_autotime_checkbox, s.ota_autotime);
  set_checked(OTA_poweroff_checkbox, s.ota_poweroff);
  set_checked(OTA_msgdel_checkbox, s.ota_msgdel);
  set_checked(OTA_alertmode_checkbox, s.ota_alertmode);

  set_number(Num_message, s.num_message);

  set_checked(Unread_disp_checkbox, s.unread_display);
  set_checked(Daily_Alarm_checkbox, s.daily_alarm);
  set_checked(Pager_off_menu_checkbox, s.pager_off_menu);
  set_checked(Protect_menu_checkbox, s.protect_menu);
  set_checked(Msg_time_stamp_checkbox, s.msg_time_stamp);
  set_checked(Date_time_disp_checkbox, s.date_time_display);

  select(ModelCB, s.model);
  model_flag = ModelCB.index == 0 ? 1 : 0;

  set_checked(CanMsg_checkbox, s.canned_messages);
  set_checked(Message_status_checkbox, s.message_status);
  select(Select_tone, s.select_tone);
  select(LowbattComb, s.low_batt);
  set_checked(Sleep_timer_checkbox, s.sleep_timer);
  set_checked(Error_eduction_checkbox, s.error_correction);

  for (std::size_t i = 1; i < T_only_msg.size(); ++i) replace_text(T_only_msg[i], s.tone_only[i]);
  for (std::size_t i = 0; i < N_canned_msg.size(); ++i) replace_text(N_canned_msg[i], s.canned[i]);
  replace_text(Hello_msg, s.hello);
}

void Form::show_file(const image::Image& image) {
  decode(image);
  guarded([this] { Alert_typeChange(); });
  guarded([this] { Dup_msg_rejection_chekboxClick(); });
  // The lists these two options grey follow the loaded values too. Only
  // their enabled state: the rule that greys the display order would also
  // select "Left", changing what the file holds.
  set_enabled(Urgent_call_tone, Urgent_call_addr.index > 0);
  set_enabled(LcdorderComb, lcdmannulCB.index != 0);
}

// ------------------------------------------------------------ writing a pager

void Form::take_pager_hardware(const image::Image& pager) {
  const image::Settings hardware = image::decode(pager);
  select(PLL_select, hardware.pll_chip);
  select(FirmwareVer, hardware.firmware);
}

void Form::prepare_for_write(const image::Image& pager) {
  const std::string chosen_step = Frequency_step.text();
  take_pager_hardware(pager);
  // The step list is rebuilt for the pager's firmware. The step the
  // technician chose stays when the new list offers it, and the frequency
  // is checked against that step, not against the list's first item.
  rebuild_step_list_keeping(chosen_step);
  FrequencyExit();
  for (int row = 0; row < 4; ++row) sc_addressExit(row);
  Serial_noExit();
  FrequencyExit();
  Num_messageChange();
  PasswordExit();
}

void Form::step_serial() {
  const std::int64_t serial = to_int(Serial_no);
  set_text(Serial_no, std::to_string((serial + 1) % kSerialModulus));
}

}  // namespace q5::rules
