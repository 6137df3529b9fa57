// Image to settings. An image from a foreign file or pager may hold anything,
// so every value is mapped through its table and anything outside comes back
// as "no selection" rather than as a position the list does not have.
#include <algorithm>

#include "codec.h"
#include "codec_fields.h"
#include "frequency.h"

namespace q5::image {

namespace {

using namespace detail;

bool has(std::uint8_t byte, std::uint8_t mask) { return (byte & mask) != 0; }
int bit_of(std::uint8_t byte, std::uint8_t mask) { return has(byte, mask) ? 1 : 0; }

// The position of value in a code table, or no selection.
template <std::size_t N>
int position_of(const std::array<std::uint8_t, N>& table, std::uint8_t value) {
  const auto it = std::find(table.begin(), table.end(), value);
  return it == table.end() ? kNoSelection : static_cast<int>(it - table.begin());
}

// A stored value that maps straight onto a list position, if the list has it.
int position_if_listed(int value, int items) { return (value >= 0 && value < items) ? value : kNoSelection; }

void get_serial(const Image& img, Settings& s) {
  s.serial.assign(width::serial, '0');
  for (std::size_t i = 0; i < width::serial; ++i) {
    // OR rather than add: digit values 0 to 9 become "0" to "9", and any other
    // byte still gives exactly one character.
    s.serial[i] = static_cast<char>(img[off::serial_digits + i] | '0');
  }
}

void get_addresses(const Image& img, Settings& s) {
  for (int row = 0; row < kAddressRows; ++row) {
    const auto r = static_cast<std::size_t>(row);
    const std::uint8_t* slot = &img[off::address(row)];
    s.address[r] = unpack_digits(slot, width::address);
    s.address_enabled[r] = low_nibble(slot[kAddressSwitchByte]) == 0;
  }
}

void get_texts(const Image& img, Settings& s) {
  for (std::size_t k = 0; k < kToneOnlyOffsets.size(); ++k) {
    s.tone_only[k] = codes_to_text(&img[kToneOnlyOffsets[k]], width::tone_only_msg);
  }
  for (int k = 0; k < kCannedMessages; ++k) {
    s.canned[static_cast<std::size_t>(k)] = codes_to_text(&img[off::canned_msg(k)], width::canned_msg);
  }
  s.hello = codes_to_text(&img[off::hello_text], width::hello_text);
}

int alert_type_position(std::uint8_t code) {
  if (code <= kAlertTypeDirectLast) return code;
  // Codes 6 and 7 land on "T/M" and "V/M", as they always have.
  return position_if_listed(code - kAlertTypeGap, kAlertTypeItems);
}

int alert_duration_position(std::uint8_t seconds) {
  if (seconds == kAlertDurationAlias32) return kAlertDuration32Position;
  return position_of(kAlertDurationSeconds, seconds);
}

// "ALL" is code 7; code 5 is also the position of "ALL".
int urgent_position(std::uint8_t code) {
  if (code == kUrgentAllCode) return kUrgentAllPosition;
  return position_if_listed(code, kUrgentItems);
}

void get_alerts(const Image& img, Settings& s) {
  const std::uint8_t mode = img[off::alert_mode];
  s.alert_type = alert_type_position(high_nibble(mode));
  s.alert_reset = position_of(kAlertResetCodes, low_nibble(mode));
  const std::uint8_t vib = img[off::vib_setting];
  s.vib_pattern = position_if_listed(low_nibble(vib), kVibPatternItems);
  s.special_vib_time = high_nibble(vib);
  s.alert_duration = alert_duration_position(img[off::alert_seconds]);
  const std::uint8_t urgent = img[off::urgent_call];
  s.urgent_call_addr = urgent_position(low_nibble(urgent));
  s.urgent_call_tone = urgent_position(high_nibble(urgent));
}

void get_numbers(const Image& img, Settings& s) {
  for (std::size_t i = 0; i < s.re_values.size(); ++i) s.re_values[i] = img[off::re_values + i];
  s.dup_msg_time = position_if_listed(img[off::dup_minutes] - 1, kDupMsgTimeItems);
  s.outrange_time = position_if_listed(img[off::outrange_minutes] - 1, kOutrangeTimeItems);
  s.num_message = img[off::msg_count];
  s.firmware = img[off::firmware_code] == 0 ? 0 : 1;
}

void get_frequency_and_password(const Image& img, Settings& s) {
  const std::string digits = unpack_digits(&img[off::freq_bcd], kFrequencyDigits);
  s.frequency = digits.substr(0, kFrequencyPointIndex) + "." + digits.substr(kFrequencyPointIndex);
  s.password = unpack_digits(&img[off::password_bcd], width::password);
}

void get_display_and_message_flags(const Image& img, Settings& s) {
  namespace d = bit::display;
  const std::uint8_t display = img[off::display_flags];
  s.full_msg = has(display, d::full_msg);
  s.message_order = bit_of(display, d::message_order);
  s.lcd_order = bit_of(display, d::lcd_order);
  s.date_format = bit_of(display, d::date_format);
  s.time_format = bit_of(display, d::time_format);
  s.char_set = bit_of(display, d::char_set);
  namespace m = bit::message;
  const std::uint8_t message = img[off::message_flags];
  s.out_range_func = has(message, m::out_range_func);
  s.in_out_range = bit_of(message, m::in_out_range);
  s.no_service = has(message, m::no_service);
  s.dup_msg_rejection = has(message, m::dup_msg_rejection);
  s.repeat_msg_tone = bit_of(message, m::repeat_msg_tone);
  s.unread_reminder = has(message, m::unread_reminder);
  s.unread_reminder_time = bit_of(message, m::unread_reminder_time);
}

void get_test_and_receiver_flags(const Image& img, Settings& s) {
  namespace t = bit::test;
  const std::uint8_t test = img[off::test_flags];
  s.data_polarity = bit_of(test, t::data_polarity);
  s.orctl_ds = has(test, t::orctl_ds);
  s.re3_active = has(test, t::re3_active);
  s.re2_active = has(test, t::re2_active);
  s.re1_active = has(test, t::re1_active);
  namespace r = bit::receiver;
  const std::uint8_t receiver = img[off::receiver_flags];
  s.call_termination = (receiver >> r::call_termination_shift) & r::field_mask;
  // Baud code 0 is never written, so it has no list position.
  s.baud_rate = position_if_listed(((receiver >> r::baud_shift) & r::field_mask) - 1, kBaudRateItems);
}

void get_synth_and_handcode_flags(const Image& img, Settings& s) {
  namespace y = bit::synth;
  namespace h = bit::handcode;
  const std::uint8_t synth = img[off::synth_flags];
  const std::uint8_t handcode = img[off::handcode_flags];
  // The raw step code: the window subtracts its step offset to find the item.
  s.step_code = bit_of(synth, y::step_code_low) + 2 * bit_of(synth, y::step_code_high);
  s.pll_chip = has(synth, y::chip_rx8308) ? kChipRX8308 : bit_of(handcode, h::chip_sm5170);
  s.hand_code_password = has(synth, y::hand_code_password);
  s.lcd_manual = bit_of(synth, y::lcd_manual);
  s.addr_handcode = has(handcode, h::addr_handcode);
  s.freq_handcode = has(handcode, h::freq_handcode);
  s.baud_handcode = has(handcode, h::baud_handcode);
  s.ota_autotime = has(handcode, h::ota_autotime);
  s.ota_poweroff = has(handcode, h::ota_poweroff);
  s.ota_msgdel = has(handcode, h::ota_msgdel);
  s.ota_alertmode = has(handcode, h::ota_alertmode);
  s.canned_command = position_of(kCannedCommandCodes, img[off::canned_cmd]);
}

void get_function_and_option_flags(const Image& img, Settings& s) {
  namespace fn = bit::function;
  const std::uint8_t function = img[off::function_flags];
  s.unread_display = has(function, fn::unread_display);
  s.daily_alarm = has(function, fn::daily_alarm);
  s.pager_off_menu = has(function, fn::pager_off_menu);
  s.protect_menu = has(function, fn::protect_menu);
  s.model = bit_of(function, fn::model);
  s.msg_time_stamp = has(function, fn::msg_time_stamp);
  s.date_time_display = has(function, fn::date_time_display);
  namespace o = bit::option;
  const std::uint8_t option = img[off::option_flags];
  s.canned_messages = has(option, o::canned_messages);
  s.message_status = has(option, o::message_status);
  s.select_tone = bit_of(option, o::select_tone);
  s.low_batt = bit_of(option, o::low_batt);  // its copy in bit 4 is not read
  s.sleep_timer = has(option, o::sleep_timer);
  s.error_correction = has(option, o::error_correction);
}

}  // namespace

Settings decode(const Image& img) {
  Settings s;
  get_serial(img, s);
  get_addresses(img, s);
  get_texts(img, s);
  get_alerts(img, s);
  get_numbers(img, s);
  get_frequency_and_password(img, s);
  get_display_and_message_flags(img, s);
  get_test_and_receiver_flags(img, s);
  get_synth_and_handcode_flags(img, s);
  get_function_and_option_flags(img, s);
  return s;
}

}  // namespace q5::image
