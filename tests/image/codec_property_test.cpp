// Round trips over many generated forms and arbitrary images. The generator
// is seeded, so a failure repeats with the same values.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <utility>

#include "image/codec.h"
#include "image/frequency.h"
#include "image/number_text.h"

namespace q5::image {
namespace {

constexpr int kRounds = 2000;

struct Generator {
  int pick(int first, int last) { return std::uniform_int_distribution<int>(first, last)(rng); }
  std::string text(std::size_t width, std::string_view characters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ ") {
    std::string t(width, ' ');
    for (char& c : t) c = characters[static_cast<std::size_t>(pick(0, static_cast<int>(characters.size()) - 1))];
    return t;
  }
  std::string digits(std::size_t width) { return text(width, "0123456789"); }
  Settings settings();

  std::mt19937 rng;
};

// Every field of the form, each over its whole range.
Settings Generator::settings() {
  Settings s;
  for (auto& a : s.address) a = digits(width::address);
  for (bool& on : s.address_enabled) on = pick(0, 1) == 1;
  for (int& v : s.re_values) v = pick(0, 255);
  for (auto& t : s.tone_only) t = text(width::tone_only_msg);
  for (auto& t : s.canned) t = text(width::canned_msg);
  s.serial = digits(width::serial);
  s.password = digits(width::password);
  s.hello = text(width::hello_text);
  using S = Settings;
  for (bool S::*box : {&S::daily_alarm, &S::date_time_display, &S::sleep_timer, &S::pager_off_menu,
                       &S::canned_messages, &S::dup_msg_rejection, &S::msg_time_stamp, &S::message_status,
                       &S::unread_display, &S::unread_reminder, &S::full_msg, &S::error_correction,
                       &S::protect_menu, &S::hand_code_password, &S::baud_handcode, &S::freq_handcode,
                       &S::addr_handcode, &S::ota_autotime, &S::ota_poweroff, &S::ota_msgdel, &S::ota_alertmode,
                       &S::out_range_func, &S::no_service, &S::re1_active, &S::re2_active, &S::re3_active,
                       &S::orctl_ds}) {
    s.*box = pick(0, 1) == 1;
  }
  const std::pair<int S::*, int> lists[] = {  // field, last position
      {&S::pll_chip, 2}, {&S::baud_rate, 2}, {&S::data_polarity, 1}, {&S::model, 1}, {&S::firmware, 1},
      {&S::alert_reset, 5}, {&S::urgent_call_addr, 5}, {&S::urgent_call_tone, 5}, {&S::select_tone, 1},
      {&S::alert_duration, 7}, {&S::alert_type, 8}, {&S::vib_pattern, 3}, {&S::special_vib_time, 15},
      {&S::time_format, 1}, {&S::date_format, 1}, {&S::char_set, 1}, {&S::canned_command, 2}, {&S::dup_msg_time, 5},
      {&S::repeat_msg_tone, 1}, {&S::unread_reminder_time, 1}, {&S::message_order, 1}, {&S::num_message, 255},
      {&S::in_out_range, 1}, {&S::outrange_time, 14}, {&S::low_batt, 1}, {&S::lcd_order, 1}, {&S::lcd_manual, 1},
      {&S::call_termination, 3}};
  for (const auto& [field, last] : lists) s.*field = pick(0, last);
  s.step_code = s.firmware == 0 ? pick(2, 3) : pick(0, 3);  // "R1" lists only reach codes 2 and 3
  // The frequency as the window hands it over: snapped to the chosen step.
  const Frequency f{std::uniform_int_distribution<std::int64_t>(0, 999'999'990)(rng) * 1000};
  s.frequency = check_and_snap(f, raster_hz(is_high_band(f), s.step_code), s.pll_chip).text;
  return s;
}

TEST(CodecProperty, ValidFormsSurviveTheRoundTrip) {
  Generator gen{std::mt19937(20240501)};
  for (int round = 0; round < kRounds; ++round) {
    const Settings s = gen.settings();
    const Image img = encode(s);
    ASSERT_EQ(verify(img), ChecksumFault::none) << "round " << round;
    ASSERT_EQ(model_bit(img), s.model == 1) << "round " << round;
    ASSERT_EQ(img[66], 0x8E) << "round " << round;  // fixed bytes, whatever the form
    for (const std::size_t zero : {36, 37, 38, 39, 41, 42, 46, 62, 63, 67, 78, 252, 253}) {
      ASSERT_EQ(img[zero], 0) << "round " << round << ", byte " << zero;
    }
    ASSERT_EQ(encode(s), img) << "round " << round;
    ASSERT_EQ(decode(img), s) << "round " << round << ", frequency " << s.frequency;
  }
}

TEST(CodecProperty, ArbitraryImagesDecodeAndEncodeAgain) {
  Generator gen{std::mt19937(77)};
  for (int round = 0; round < kRounds; ++round) {
    Image foreign{};
    for (auto& b : foreign) b = static_cast<std::uint8_t>(gen.pick(0, 255));
    if (round % 4 == 0) {
      // Keep the frequency readable in a share of the rounds, so the encode
      // below runs as often as it is refused.
      for (std::size_t i = 0; i < 4; ++i) {
        foreign[off::freq_bcd + i] = static_cast<std::uint8_t>(gen.pick(0, 9) << 4 | gen.pick(0, 9));
      }
    }
    const bool digits_valid = std::all_of(&foreign[off::freq_bcd], &foreign[off::freq_bcd + 4],
                                          [](std::uint8_t b) { return b >> 4 <= 9 && (b & 0x0F) <= 9; });
    const Settings shown = decode(foreign);
    Image again{};
    try {
      again = encode(shown);
    } catch (const ConversionError&) {
      ASSERT_FALSE(digits_valid) << "round " << round << ", frequency " << shown.frequency;
      continue;
    }
    ASSERT_TRUE(digits_valid) << "round " << round;
    ASSERT_EQ(verify(again), ChecksumFault::none) << "round " << round;
    // Whatever a foreign image held, one pass through the form settles it.
    ASSERT_EQ(encode(decode(again)), again) << "round " << round;
  }
}

}  // namespace
}  // namespace q5::image
