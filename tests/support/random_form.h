// Random settings a technician could leave on the form, and the form set to
// them through its controls, for property tests of the codec and the files.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <random>
#include <string>

#include "app/Q5_c.h"
#include "image/frequency.h"
#include "image/settings.h"
#include "rules/address_rules.h"

namespace q5::test {

// Valid settings that a load shows back unchanged: addresses in range and
// distinct, texts at full width, a frequency on its step's raster without a
// counter warning, and no model bit (such images are refused).
inline q5::image::Settings random_settings(std::mt19937& rng) {
  auto pick = [&rng](int first, int last) { return std::uniform_int_distribution<int>(first, last)(rng); };
  auto coin = [&] { return pick(0, 1) == 1; };
  auto text = [&](std::size_t width, const std::string& alphabet) {
    std::string t(width, ' ');
    for (char& c : t) c = alphabet[static_cast<std::size_t>(pick(0, static_cast<int>(alphabet.size()) - 1))];
    return t;
  };
  const std::string digits = "0123456789", characters = digits + "ABCDEFGHIJKLMNOPQRSTUVWXYZ ";

  q5::image::Settings s;
  for (int row = 0; row < 4; ++row) {
    std::string address;
    do {
      address = std::to_string(pick(8, 2097143));
      address.insert(0, 7 - address.size(), '0');
    } while (!q5::rules::address_in_range(std::stoll(address)) ||
             std::count(s.address.begin(), s.address.begin() + row, address) > 0);
    s.address[row] = address;
    s.address_enabled[row] = coin();
  }
  s.pll_chip = pick(0, 2);
  s.firmware = pick(0, 1);
  const bool high_band = coin();
  const q5::image::StepList list = q5::image::step_list(s.firmware == 0, high_band);
  s.step_code = pick(0, static_cast<int>(list.items.size()) - 1) + list.step_offset;
  const int raster = q5::image::raster_hz(high_band, s.step_code);
  const int low_channel = ((high_band ? 176'000'000 : 40'000'000) - q5::image::kIfOffsetHz) / raster;
  const int channels = (high_band ? 814'000'000 : 135'000'000) / raster;
  for (;;) {
    s.frequency = q5::image::format_frequency_hz(q5::image::kIfOffsetHz +
                                                 std::int64_t{low_channel + pick(0, channels)} * raster);
    const q5::image::Frequency f = q5::image::parse_frequency(s.frequency);
    const q5::image::SnapResult snap = q5::image::check_and_snap(f, raster, s.pll_chip);
    if (q5::image::is_high_band(f) == high_band && snap.warnings.empty() && snap.text == s.frequency) break;
  }
  s.baud_rate = pick(0, 2);
  s.data_polarity = pick(0, 1);
  s.serial = text(8, digits);
  s.hello = text(14, characters);
  s.model = 0;
  for (bool* b : {&s.daily_alarm, &s.date_time_display, &s.sleep_timer, &s.pager_off_menu, &s.canned_messages,
                  &s.dup_msg_rejection, &s.msg_time_stamp, &s.message_status, &s.unread_display, &s.unread_reminder,
                  &s.full_msg, &s.error_correction, &s.protect_menu, &s.hand_code_password, &s.baud_handcode,
                  &s.freq_handcode, &s.addr_handcode, &s.ota_autotime, &s.ota_poweroff, &s.ota_msgdel,
                  &s.ota_alertmode, &s.out_range_func, &s.no_service, &s.re1_active, &s.re2_active, &s.re3_active,
                  &s.orctl_ds}) {
    *b = coin();
  }
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
  s.canned_command = pick(0, 2);
  for (auto& t : s.tone_only) t = text(12, characters);
  for (auto& t : s.canned) t = text(6, characters);
  s.dup_msg_time = pick(0, 5);
  s.repeat_msg_tone = pick(0, 1);
  s.unread_reminder_time = pick(0, 1);
  s.message_order = pick(0, 1);
  s.num_message = pick(1, 12);
  s.password = text(4, digits);
  s.in_out_range = pick(0, 1);
  s.outrange_time = pick(0, 14);
  s.low_batt = pick(0, 1);
  s.lcd_order = pick(0, 1);
  s.lcd_manual = pick(0, 1);
  s.call_termination = pick(0, 3);
  return s;
}

// Sets every control to `s` from code, as a load does: lists without their
// change handlers, check boxes and edits with theirs, the frequency checked
// on the stored step, and the lists that options grey brought up to date.
inline void set_form(TMain_Page& window, const q5::image::Settings& s) {
  MainPageForm& ui = window.ui;
  auto text = [](QLineEdit* edit, const std::string& t) { edit->setText(QString::fromStdString(t)); };
  auto number = [](QLineEdit* edit, int value) { edit->setText(QString::number(value)); };
  for (int row = 0; row < 4; ++row) {
    text(ui.sc_address[row], s.address[row]);
    ui.sc_addractv[row]->setChecked(s.address_enabled[row]);
  }
  const std::pair<QComboBox*, int> lists[] = {
      {ui.PLL_select, s.pll_chip},  // chip code 2 has no item: no selection
      {ui.Baud_rate, s.baud_rate}, {ui.Date_polarity, s.data_polarity}, {ui.ModelCB, s.model},
      {ui.Alert_reset, s.alert_reset}, {ui.Urgent_call_addr, s.urgent_call_addr},
      {ui.Urgent_call_tone, s.urgent_call_tone}, {ui.Select_tone, s.select_tone},
      {ui.Alert_duration, s.alert_duration}, {ui.Alert_type, s.alert_type}, {ui.Vib_pattern, s.vib_pattern},
      {ui.Time_format, s.time_format}, {ui.Date_format, s.date_format}, {ui.Char_set, s.char_set},
      {ui.CannedMsg_command, s.canned_command}, {ui.Dup_msg_time, s.dup_msg_time},
      {ui.Repeat_msg_tone, s.repeat_msg_tone}, {ui.Uread_reminder_time, s.unread_reminder_time},
      {ui.Message_order, s.message_order}, {ui.In_out_range, s.in_out_range}, {ui.Outrange_time, s.outrange_time},
      {ui.LowbattComb, s.low_batt}, {ui.LcdorderComb, s.lcd_order}, {ui.lcdmannulCB, s.lcd_manual}};
  for (const auto& [combo, index] : lists) combo->setCurrentIndex(index);
  const std::pair<QCheckBox*, bool> boxes[] = {
      {ui.Daily_Alarm_checkbox, s.daily_alarm}, {ui.Date_time_disp_checkbox, s.date_time_display},
      {ui.Sleep_timer_checkbox, s.sleep_timer}, {ui.Pager_off_menu_checkbox, s.pager_off_menu},
      {ui.CanMsg_checkbox, s.canned_messages}, {ui.Dup_msg_rejection_chekbox, s.dup_msg_rejection},
      {ui.Msg_time_stamp_checkbox, s.msg_time_stamp}, {ui.Message_status_checkbox, s.message_status},
      {ui.Unread_disp_checkbox, s.unread_display}, {ui.Unread_reminder, s.unread_reminder},
      {ui.Full_msg, s.full_msg}, {ui.Error_eduction_checkbox, s.error_correction},
      {ui.Protect_menu_checkbox, s.protect_menu}, {ui.Hand_code_pss_checkbox, s.hand_code_password},
      {ui.Baud_handcode_checkbox, s.baud_handcode}, {ui.Freq_handcode_checkbox, s.freq_handcode},
      {ui.Addr_handcode_checkbox, s.addr_handcode}, {ui.OTA_autotime_checkbox, s.ota_autotime},
      {ui.OTA_poweroff_checkbox, s.ota_poweroff}, {ui.OTA_msgdel_checkbox, s.ota_msgdel},
      {ui.OTA_alertmode_checkbox, s.ota_alertmode}, {ui.Out_range_func_checkbox, s.out_range_func},
      {ui.No_service, s.no_service}, {ui.Re1Chk, s.re1_active}, {ui.Re2Chk, s.re2_active},
      {ui.Re3Chk, s.re3_active}, {ui.ORCTChk, s.orctl_ds}};
  for (const auto& [box, checked] : boxes) box->setChecked(checked);
  QLineEdit* const re[] = {ui.E512bs1, ui.E512bs3, ui.E1200bs1, ui.E1200bs3, ui.E2400bs1, ui.E2400bs3};
  for (int i = 0; i < 6; ++i) number(re[i], s.re_values[i]);
  number(ui.Special_vib_time, s.special_vib_time);
  number(ui.Num_message, s.num_message);
  text(ui.Serial_no, s.serial);
  text(ui.Hello_msg, s.hello);
  text(ui.Password, s.password);
  for (int i = 0; i < 4; ++i) text(ui.T_only_msg[i], s.tone_only[i]);
  for (int i = 0; i < 20; ++i) text(ui.N_canned_msg[i], s.canned[i]);
  ui.set_ct_radio_index(s.call_termination);

  // The firmware's list for the frequency's side of 175 MHz, the stored
  // step, then the frequency checked again on that step (the list's first
  // item may have moved it).
  text(ui.Frequency, s.frequency);
  ui.FirmwareVer->setCurrentIndex(s.firmware);
  window.run_rule(&q5::rules::Form::FirmwareVerChange);
  ui.Frequency_step->setCurrentIndex(s.step_code - window.step_offset());
  text(ui.Frequency, s.frequency);
  window.run_rule(&q5::rules::Form::FrequencyExit);
  window.run_rule(&q5::rules::Form::Alert_typeChange);
  // As a load leaves them: greyed as the values say, selections untouched.
  ui.Urgent_call_tone->setEnabled(s.urgent_call_addr > 0);
  ui.LcdorderComb->setEnabled(s.lcd_manual != 0);
}

}  // namespace q5::test
