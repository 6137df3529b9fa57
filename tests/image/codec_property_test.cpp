// Round trips over many generated forms and arbitrary images. The generator
// is seeded, so a failure repeats with the same values.
#include <gtest/gtest.h>

#include <random>

#include "image/codec.h"
#include "image/frequency.h"
#include "image/number_text.h"

namespace q5::image {
namespace {

constexpr int kRounds = 2000;
constexpr char kPagerCharacters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ ";

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int pick(int first, int last) { return std::uniform_int_distribution<int>(first, last)(rng_); }
  bool coin() { return pick(0, 1) == 1; }

  std::string text(std::size_t width) {
    std::string t(width, ' ');
    for (char& c : t) c = kPagerCharacters[pick(0, sizeof kPagerCharacters - 2)];
    return t;
  }

  std::string digits(std::size_t width) {
    std::string t(width, '0');
    for (char& c : t) c = static_cast<char>('0' + pick(0, 9));
    return t;
  }

  std::uint8_t byte() { return static_cast<std::uint8_t>(pick(0, 255)); }

  // The frequency as the window hands it over: snapped to the chosen step.
  std::string snapped_frequency(int step_code, int chip) {
    const std::int64_t hz = std::uniform_int_distribution<std::int64_t>(0, 999'999'990)(rng_);
    const Frequency f{hz * 1000};
    return check_and_snap(f, raster_hz(is_high_band(f), step_code), chip).text;
  }

  Settings settings();

 private:
  std::mt19937 rng_;
};

Settings Generator::settings() {
  Settings s;
  for (auto& a : s.address) a = digits(width::address);
  for (auto&& on : s.address_enabled) on = coin();
  s.pll_chip = pick(0, 2);
  s.baud_rate = pick(0, 2);
  s.firmware = pick(0, 1);
  s.step_code = s.firmware == 0 ? pick(2, 3) : pick(0, 3);  // "R1" lists only reach codes 2 and 3
  s.frequency = snapped_frequency(s.step_code, s.pll_chip);
  s.data_polarity = pick(0, 1);
  s.serial = digits(width::serial);
  s.hello = text(width::hello_text);
  s.model = pick(0, 1);
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
  s.special_vib_time = pick(0, 15);
  s.time_format = pick(0, 1);
  s.date_format = pick(0, 1);
  s.char_set = pick(0, 1);
  s.canned_messages = coin();
  s.canned_command = pick(0, 2);
  for (auto& t : s.tone_only) t = text(width::tone_only_msg);
  for (auto& t : s.canned) t = text(width::canned_msg);
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
  s.num_message = pick(0, 255);
  s.hand_code_password = coin();
  s.baud_handcode = coin();
  s.freq_handcode = coin();
  s.addr_handcode = coin();
  s.password = digits(width::password);
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

TEST(CodecProperty, ValidFormsSurviveTheRoundTrip) {
  Generator gen(20240501);
  for (int round = 0; round < kRounds; ++round) {
    const Settings s = gen.settings();
    const Image img = encode(s);
    ASSERT_EQ(verify(img), ChecksumFault::none) << "round " << round;
    ASSERT_EQ(model_bit(img), s.model == 1) << "round " << round;
    ASSERT_EQ(encode(s), img) << "round " << round;
    ASSERT_EQ(decode(img), s) << "round " << round << ", frequency " << s.frequency;
  }
}

bool frequency_digits_valid(const Image& img) {
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint8_t b = img[off::freq_bcd + i];
    if ((b >> 4) > 9 || (b & 0x0F) > 9) return false;
  }
  return true;
}

TEST(CodecProperty, ArbitraryImagesDecodeAndEncodeAgain) {
  Generator gen(77);
  for (int round = 0; round < kRounds; ++round) {
    Image foreign{};
    for (auto& b : foreign) b = gen.byte();
    if (round % 4 == 0) {
      // Keep the frequency readable in a share of the rounds, so the encode
      // below runs as often as it is refused.
      for (std::size_t i = 0; i < 4; ++i) {
        foreign[off::freq_bcd + i] = static_cast<std::uint8_t>(gen.pick(0, 9) << 4 | gen.pick(0, 9));
      }
    }
    const Settings shown = decode(foreign);
    Image again{};
    try {
      again = encode(shown);
    } catch (const ConversionError&) {
      ASSERT_FALSE(frequency_digits_valid(foreign)) << "round " << round << ", frequency " << shown.frequency;
      continue;
    }
    ASSERT_TRUE(frequency_digits_valid(foreign)) << "round " << round;
    ASSERT_EQ(verify(again), ChecksumFault::none) << "round " << round;
    // Whatever a foreign image held, one pass through the form settles it.
    ASSERT_EQ(encode(decode(again)), again) << "round " << round;
  }
}

}  // namespace
}  // namespace q5::image
