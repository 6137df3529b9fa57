// Receive frequency, channel raster and the synthesiser words.
//
// Everything is exact integer arithmetic on the digits of the field's text:
// binary floating point loses a hertz on some exact half-raster values
// (065.66250 MHz becomes 65,662,499.99... Hz) and then rounds the wrong way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image.h"

namespace q5::image {

// A frequency held exactly, in millihertz (nine decimals of a megahertz,
// which covers every text the nine-character field can hold).
struct Frequency {
  std::int64_t millihertz = 0;
};

// Parses the field's text: an optional sign, digits, an optional point and
// decimals (at least one digit in all). Anything else, or more than nine
// integer digits, throws ConversionError with invalid_float_message(text).
// Decimals beyond the ninth are dropped.
Frequency parse_frequency(std::string_view text);

// The synthesiser runs 21.4 MHz below the receive frequency.
constexpr std::int64_t kIfOffsetHz = 21'400'000;

// Counter warnings, exactly as the log shows them.
inline constexpr const char* kWarnLowFrequency =
    "Frequency counter overflow, pager can't work in this lower frequency";
inline constexpr const char* kWarnSm5170High =
    "Frequency counter overflow in 5170 PLL, pager can't work in this higher frequency range";
inline constexpr const char* kWarnKs8809High =
    "Frequency counter overflow in KS8809/RX8308 PLL, please use SM5170";

// Synthesiser chip codes as the image stores them.
enum ChipCode : int { kChipKS8809 = 0, kChipSM5170 = 1, kChipRX8308 = 2 };

// The step lists switch sides strictly above 175 MHz (175.0 itself is low).
bool is_high_band(Frequency f);

// The items of Frequency_step for a firmware generation and side of 175 MHz,
// with the offset that turns an item position into a step code.
struct StepList {
  std::vector<std::string> items;
  int step_offset = 2;  // 2 under "R1", 0 under "R2"
};
StepList step_list(bool firmware_r1, bool high_band);

// Step code of a list position. No selection (-1) counts as the first item.
int step_code_of(int item_index, int step_offset);

// Channel raster in Hz for the list side and step code (0 to 3; only the
// low two bits are used).
int raster_hz(bool high_band, int step_code);

// Counter count in Hz: f x 1,000,000 - 21,400,000, fraction dropped toward zero.
std::int64_t counter_hz(Frequency f);

// Result of the frequency check and snap: warnings in order, and the
// nine-character text of the snapped frequency ("DDD.DDDDD").
struct SnapResult {
  std::vector<std::string> warnings;
  std::string text;
};
// Compares q = count / raster, unrounded, with the limits of the chip
// (chip code 1 is the SM5170, 0 and 2 share the KS8809 limit), then snaps to
// the nearest raster point, halves upward (toward zero below 21.4 MHz).
// A snap that would reach 1000 MHz takes the highest raster point below it;
// one below 0 MHz shows as 000.00000. Other chip codes (no selection) have
// no upper limit to check. Throws std::invalid_argument for a raster <= 0.
SnapResult check_and_snap(Frequency f, int raster_hz, int chip_code);

// "DDD.DDDDD" for a frequency in Hz from 0 to 999,999,990 (values outside
// are shown as the nearer end; the last 10 Hz are dropped).
std::string format_frequency_hz(std::int64_t hz);
// The same for a parsed frequency: fractions of a hertz are dropped.
std::string frequency_text(Frequency f);

struct PllWords {
  int band_code = 0;          // 0 below 175 MHz, 1 below 290, 2 below 500, 3 above
  int step_code = 2;          // 0 to 3
  std::uint32_t count = 0;    // low 24 bits are stored
  std::uint16_t ref_word = 0; // 0x0001, 0x4001, 0x0002 or 0x8002
};
// N = (f - 21.4 MHz) / (reference step x band multiplier), exact, halves
// upward (toward zero when negative). Only the step code's low two bits
// count, as the image holds two.
PllWords pll_words(Frequency f, int step_code);

// Writes band code and step-code bits into synth_flags (bits 0, 1, 2, 6 only),
// the 24-bit count big-endian and the reference word little-endian.
void store_pll_words(Image& image, const PllWords& words);

}  // namespace q5::image
