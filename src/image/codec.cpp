// Settings to image. Every field is rebuilt from scratch on each call, so an
// image never carries anything over from an earlier file or pager.
#include "codec.h"

#include "codec_fields.h"
#include "frequency.h"

namespace q5::image {

namespace {

using namespace detail;

// A position the list does not have (no selection after a decode, or
// anything past the end) is taken as the list's first item.
std::size_t position_in(int position, int items) {
  return (position >= 0 && position < items) ? static_cast<std::size_t>(position) : 0;
}

std::uint8_t flag(bool on, std::uint8_t mask) { return on ? mask : std::uint8_t{0}; }

// A two-item list stores its position in a single bit.
std::uint8_t list_bit(int position, std::uint8_t mask) {
  return flag(position_in(position, kTwoItemList) == 1, mask);
}

std::uint8_t low_byte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

// A digit field saved while still being typed may be short: it counts as
// padded with leading zeros, as the field itself pads it when left.
std::string digits_at_width(std::string_view text, std::size_t width) {
  if (text.size() >= width) return std::string(text.substr(0, width));
  return std::string(width - text.size(), '0').append(text);
}

void put_serial(Image& img, const Settings& s) {
  const std::string digits = digits_at_width(s.serial, width::serial);
  for (std::size_t i = 0; i < width::serial; ++i) {
    img[off::serial_digits + i] = static_cast<std::uint8_t>(digits[i] - '0');
  }
}

void put_addresses(Image& img, const Settings& s) {
  for (int row = 0; row < kAddressRows; ++row) {
    const auto r = static_cast<std::size_t>(row);
    std::uint8_t* slot = &img[off::address(row)];
    pack_digits(digits_at_width(s.address[r], width::address), slot);
    // The seventh digit leaves the slot's last low nibble free for the switch.
    if (!s.address_enabled[r]) slot[kAddressSwitchByte] |= kAddressDisabledNibble;
  }
}

void put_texts(Image& img, const Settings& s) {
  for (std::size_t k = 0; k < kToneOnlyOffsets.size(); ++k) {
    text_to_codes(s.tone_only[k], &img[kToneOnlyOffsets[k]], width::tone_only_msg);
  }
  for (int k = 0; k < kCannedMessages; ++k) {
    text_to_codes(s.canned[static_cast<std::size_t>(k)], &img[off::canned_msg(k)], width::canned_msg);
  }
  text_to_codes(s.hello, &img[off::hello_text], width::hello_text);
}

std::uint8_t alert_type_code(int position) {
  const auto p = static_cast<int>(position_in(position, kAlertTypeItems));
  return static_cast<std::uint8_t>(p <= kAlertTypeDirectLast ? p : p + kAlertTypeGap);
}

std::uint8_t urgent_code(int position) {
  const auto p = static_cast<int>(position_in(position, kUrgentItems));
  return p == kUrgentAllPosition ? kUrgentAllCode : static_cast<std::uint8_t>(p);
}

void put_alerts(Image& img, const Settings& s) {
  const std::uint8_t reset = kAlertResetCodes[position_in(s.alert_reset, kAlertResetCodes.size())];
  img[off::alert_mode] = to_high_nibble(alert_type_code(s.alert_type)) | reset;
  img[off::vib_setting] = to_high_nibble(low_byte(s.special_vib_time)) |
                          low_nibble(static_cast<std::uint8_t>(position_in(s.vib_pattern, kVibPatternItems)));
  img[off::alert_seconds] = kAlertDurationSeconds[position_in(s.alert_duration, kAlertDurationSeconds.size())];
  img[off::urgent_call] = to_high_nibble(urgent_code(s.urgent_call_tone)) | urgent_code(s.urgent_call_addr);
}

void put_numbers(Image& img, const Settings& s) {
  for (std::size_t i = 0; i < s.re_values.size(); ++i) img[off::re_values + i] = low_byte(s.re_values[i]);
  // Timers are stored in minutes, one more than their list position.
  img[off::dup_minutes] = static_cast<std::uint8_t>(position_in(s.dup_msg_time, kDupMsgTimeItems) + 1);
  img[off::outrange_minutes] = static_cast<std::uint8_t>(position_in(s.outrange_time, kOutrangeTimeItems) + 1);
  img[off::msg_count] = low_byte(s.num_message);
  img[off::firmware_code] = static_cast<std::uint8_t>(position_in(s.firmware, kTwoItemList));
}

// Throws ConversionError before anything is stored when the text is not a number.
void put_frequency(Image& img, const Settings& s) {
  const Frequency f = parse_frequency(s.frequency);
  // Packed from the canonical nine-character form, so a text that is a
  // number but not in "DDD.DDDDD" shape cannot run past its end.
  const std::string text = frequency_text(f);
  std::string digits = text.substr(0, kFrequencyPointIndex);
  digits += text.substr(kFrequencyPointIndex + 1);
  pack_digits(digits, &img[off::freq_bcd]);
  store_pll_words(img, pll_words(f, s.step_code));
}

void put_password(Image& img, const Settings& s) {
  pack_digits(digits_at_width(s.password, width::password), &img[off::password_bcd]);
}

void put_display_and_message_flags(Image& img, const Settings& s) {
  namespace d = bit::display;
  img[off::display_flags] = flag(s.full_msg, d::full_msg) | list_bit(s.message_order, d::message_order) |
                            list_bit(s.lcd_order, d::lcd_order) | list_bit(s.date_format, d::date_format) |
                            list_bit(s.time_format, d::time_format) | list_bit(s.char_set, d::char_set);
  namespace m = bit::message;
  img[off::message_flags] =
      flag(s.out_range_func, m::out_range_func) | list_bit(s.in_out_range, m::in_out_range) |
      flag(s.no_service, m::no_service) | flag(s.dup_msg_rejection, m::dup_msg_rejection) |
      list_bit(s.repeat_msg_tone, m::repeat_msg_tone) | flag(s.unread_reminder, m::unread_reminder) |
      list_bit(s.unread_reminder_time, m::unread_reminder_time);
}

void put_test_and_receiver_flags(Image& img, const Settings& s) {
  namespace t = bit::test;
  img[off::test_flags] = flag(s.orctl_ds, t::orctl_ds) | flag(s.re3_active, t::re3_active) |
                         flag(s.re2_active, t::re2_active) | flag(s.re1_active, t::re1_active) |
                         list_bit(s.data_polarity, t::data_polarity);
  namespace r = bit::receiver;
  const auto termination = static_cast<unsigned>(position_in(s.call_termination, kCallTerminationItems));
  // Baud code 0 is never written: it is the list position plus one.
  const auto baud = static_cast<unsigned>(position_in(s.baud_rate, kBaudRateItems) + 1);
  img[off::receiver_flags] = static_cast<std::uint8_t>(r::always_set | (termination << r::call_termination_shift) |
                                                       ((baud & r::field_mask) << r::baud_shift));
}

// Only bits 3, 4 and 7 of synth_flags: the PLL words own the others.
void put_synth_and_handcode_flags(Image& img, const Settings& s) {
  namespace y = bit::synth;
  namespace h = bit::handcode;
  const bool known_chip = s.pll_chip >= kChipKS8809 && s.pll_chip <= kChipRX8308;
  const int chip = known_chip ? s.pll_chip : kChipKS8809;
  img[off::synth_flags] |= flag(s.hand_code_password, y::hand_code_password) |
                           list_bit(s.lcd_manual, y::lcd_manual) | flag(chip == kChipRX8308, y::chip_rx8308);
  // The SM5170 bit is the low bit of the chip code, so an RX8308 leaves it clear.
  img[off::handcode_flags] = flag(s.addr_handcode, h::addr_handcode) | flag(s.freq_handcode, h::freq_handcode) |
                             flag((chip & 1) != 0, h::chip_sm5170) | flag(s.baud_handcode, h::baud_handcode) |
                             flag(s.ota_autotime, h::ota_autotime) | flag(s.ota_poweroff, h::ota_poweroff) |
                             flag(s.ota_msgdel, h::ota_msgdel) | flag(s.ota_alertmode, h::ota_alertmode);
}

void put_function_and_option_flags(Image& img, const Settings& s) {
  namespace fn = bit::function;
  img[off::function_flags] = flag(s.unread_display, fn::unread_display) | flag(s.daily_alarm, fn::daily_alarm) |
                             flag(s.pager_off_menu, fn::pager_off_menu) | flag(s.protect_menu, fn::protect_menu) |
                             list_bit(s.model, fn::model) | flag(s.msg_time_stamp, fn::msg_time_stamp) |
                             flag(s.date_time_display, fn::date_time_display);
  namespace o = bit::option;
  // The pager wants the low-battery choice twice, in bits 3 and 4.
  img[off::option_flags] = flag(s.canned_messages, o::canned_messages) |
                           flag(s.message_status, o::message_status) | list_bit(s.select_tone, o::select_tone) |
                           list_bit(s.low_batt, o::low_batt) | list_bit(s.low_batt, o::low_batt_copy) |
                           flag(s.sleep_timer, o::sleep_timer) | flag(s.error_correction, o::error_correction);
}

void put_fixed_bytes(Image& img, const Settings& s) {
  img[off::constant_8e] = kConstant8E;
  img[off::constant_00] = kConstant00;
  img[off::canned_cmd] = kCannedCommandCodes[position_in(s.canned_command, kCannedCommandCodes.size())];
}

}  // namespace

Image encode(const Settings& s) {
  Image img{};
  clear(img);
  put_frequency(img, s);  // first, as the only step that can throw
  put_serial(img, s);
  put_addresses(img, s);
  put_texts(img, s);
  put_alerts(img, s);
  put_numbers(img, s);
  put_password(img, s);
  put_display_and_message_flags(img, s);
  put_test_and_receiver_flags(img, s);
  put_synth_and_handcode_flags(img, s);
  put_function_and_option_flags(img, s);
  put_fixed_bytes(img, s);
  seal(img);
  return img;
}

}  // namespace q5::image
