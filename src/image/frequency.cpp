#include "frequency.h"

#include <array>
#include <stdexcept>

#include "number_text.h"

namespace q5::image {

namespace {

constexpr std::int64_t kMilliPerHz = 1'000;
constexpr std::int64_t kMilliPerMHz = 1'000'000'000;
constexpr std::int64_t kHzPerMHz = 1'000'000;
constexpr int kMaxIntegerDigits = 9;
constexpr int kMaxDecimals = 9;  // a millihertz is the ninth decimal of a MHz

// The step lists and the band code both switch here, but on opposite sides of
// the boundary (175.0 itself is a low-band list but band code 1).
constexpr std::int64_t kHighBandMilli = 175 * kMilliPerMHz;
constexpr std::int64_t kBand2Milli = 290 * kMilliPerMHz;
constexpr std::int64_t kBand3Milli = 500 * kMilliPerMHz;

// Counter limits of the synthesiser chips, compared with the unrounded q.
constexpr std::int64_t kMinCounter = 1056;
constexpr std::int64_t kMaxCounterSm5170 = 131071;
constexpr std::int64_t kMaxCounterKs8809 = 262144;  // 2^18 itself still passes

// The frequency text has three integer digits, so a snap must stay below this.
constexpr std::int64_t kFieldLimitHz = 1000 * kHzPerMHz;

constexpr std::uint8_t kStepCodeMask = 0x3;  // the image holds two bits

// Raster in Hz by 4 x high band + step code: in the high-band lists the
// raster is twice the reference step.
constexpr std::array<int, 8> kRasterHz{12500, 10000, 6250, 5000, 25000, 20000, 12500, 10000};
// Reference step and reference word by step code.
constexpr std::array<int, 4> kReferenceStepHz{12500, 10000, 6250, 5000};
constexpr std::array<std::uint16_t, 4> kReferenceWord{0x0001, 0x4001, 0x0002, 0x8002};

int masked_step_code(int step_code) { return step_code & kStepCodeMask; }

// Nearest integer to num / den (den > 0), halves upward; a negative quotient
// loses its fraction instead, as the pager tool always did below 21.4 MHz.
std::int64_t round_half_up_div(std::int64_t num, std::int64_t den) {
  if (num < 0) return num / den;  // C++ division truncates toward zero
  return (2 * num + den) / (2 * den);
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Appends the digits at text[pos...] to value, at most max_digits of them
// (extra digits are skipped but consumed). Returns the number of digits read.
int read_digits(std::string_view text, std::size_t& pos, std::int64_t& value, int max_digits) {
  int count = 0;
  for (; pos < text.size() && is_digit(text[pos]); ++pos, ++count) {
    if (count < max_digits) value = value * 10 + (text[pos] - '0');
  }
  return count;
}

std::int64_t pow10(int exponent) {
  std::int64_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

std::vector<std::string> counter_warnings(std::int64_t count, std::int64_t raster, int chip_code) {
  // q = count / raster; comparing count with limit x raster keeps it exact.
  std::vector<std::string> warnings;
  if (count < kMinCounter * raster) warnings.emplace_back(kWarnLowFrequency);
  if (chip_code == kChipSM5170 && count > kMaxCounterSm5170 * raster) {
    warnings.emplace_back(kWarnSm5170High);
  }
  if ((chip_code == kChipKS8809 || chip_code == kChipRX8308) && count > kMaxCounterKs8809 * raster) {
    warnings.emplace_back(kWarnKs8809High);
  }
  return warnings;
}

// Keeps the snapped frequency inside what the nine-character text can show.
std::int64_t fit_to_field(std::int64_t snapped_hz, std::int64_t raster) {
  if (snapped_hz < 0) return 0;
  if (snapped_hz < kFieldLimitHz) return snapped_hz;
  const std::int64_t highest_n = (kFieldLimitHz - 1 - kIfOffsetHz) / raster;
  return highest_n * raster + kIfOffsetHz;
}

struct Band {
  int code;
  int multiplier;
};

Band band_of(Frequency f) {
  if (f.millihertz < kHighBandMilli) return {0, 1};
  if (f.millihertz < kBand2Milli) return {1, 2};
  if (f.millihertz < kBand3Milli) return {2, 2};
  return {3, 2};
}

}  // namespace

Frequency parse_frequency(std::string_view text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  std::int64_t whole = 0;
  const int integer_digits = read_digits(text, pos, whole, kMaxIntegerDigits);
  std::int64_t fraction = 0;
  int decimals = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    decimals = read_digits(text, pos, fraction, kMaxDecimals);
  }
  const bool malformed = pos != text.size() || integer_digits + decimals == 0;
  if (malformed || integer_digits > kMaxIntegerDigits) {
    throw ConversionError(invalid_float_message(text));
  }
  const int kept_decimals = decimals < kMaxDecimals ? decimals : kMaxDecimals;
  const std::int64_t millihertz = whole * kMilliPerMHz + fraction * pow10(kMaxDecimals - kept_decimals);
  return Frequency{negative ? -millihertz : millihertz};
}

bool is_high_band(Frequency f) { return f.millihertz > kHighBandMilli; }

StepList step_list(bool firmware_r1, bool high_band) {
  if (firmware_r1) {
    if (high_band) return StepList{{"12.5kHz", "10kHz"}, 2};
    return StepList{{"6.25kHz", "5kHz"}, 2};
  }
  if (high_band) return StepList{{"25kHz", "20kHz", "12.5kHz", "10kHz"}, 0};
  return StepList{{"12.5kHz", "10kHz", "6.25kHz", "5kHz"}, 0};
}

int step_code_of(int item_index, int step_offset) {
  const int position = item_index < 0 ? 0 : item_index;
  return position + step_offset;
}

int raster_hz(bool high_band, int step_code) {
  const std::size_t side = high_band ? 4 : 0;
  return kRasterHz[side + static_cast<std::size_t>(masked_step_code(step_code))];
}

std::int64_t counter_hz(Frequency f) {
  return (f.millihertz - kIfOffsetHz * kMilliPerHz) / kMilliPerHz;  // truncates toward zero
}

SnapResult check_and_snap(Frequency f, int raster, int chip_code) {
  if (raster <= 0) throw std::invalid_argument("check_and_snap: raster must be positive");
  const std::int64_t count = counter_hz(f);
  SnapResult result;
  result.warnings = counter_warnings(count, raster, chip_code);
  const std::int64_t n = round_half_up_div(count, raster);
  result.text = format_frequency_hz(fit_to_field(n * raster + kIfOffsetHz, raster));
  return result;
}

std::string format_frequency_hz(std::int64_t hz) {
  constexpr std::int64_t kHzPerLastDecimal = 10;
  constexpr std::int64_t kMaxHz = kFieldLimitHz - kHzPerLastDecimal;
  constexpr std::size_t kDigits = 8;
  const std::int64_t shown = hz < 0 ? 0 : (hz > kMaxHz ? kMaxHz : hz);
  std::string text = std::to_string(shown / kHzPerLastDecimal);
  text.insert(0, kDigits - text.size(), '0');
  text.insert(3, 1, '.');  // three integer digits, five decimals
  return text;
}

std::string frequency_text(Frequency f) { return format_frequency_hz(f.millihertz / kMilliPerHz); }

PllWords pll_words(Frequency f, int step_code) {
  const int code = masked_step_code(step_code);
  const Band band = band_of(f);
  const std::int64_t divisor_milli =
      static_cast<std::int64_t>(kReferenceStepHz[static_cast<std::size_t>(code)]) * band.multiplier * kMilliPerHz;
  const std::int64_t n = round_half_up_div(f.millihertz - kIfOffsetHz * kMilliPerHz, divisor_milli);
  PllWords words;
  words.band_code = band.code;
  words.step_code = code;
  words.count = static_cast<std::uint32_t>(n);  // wraps like the pager's 24-bit register
  words.ref_word = kReferenceWord[static_cast<std::size_t>(code)];
  return words;
}

void store_pll_words(Image& image, const PllWords& words) {
  constexpr std::uint8_t kOwnBits = bit::synth::band_mask | bit::synth::step_code_low | bit::synth::step_code_high;
  std::uint8_t flags = image[off::synth_flags] & static_cast<std::uint8_t>(~kOwnBits);
  flags |= static_cast<std::uint8_t>(words.band_code) & bit::synth::band_mask;
  if (words.step_code & 1) flags |= bit::synth::step_code_low;
  if (words.step_code & 2) flags |= bit::synth::step_code_high;
  image[off::synth_flags] = flags;

  image[off::synth_count + 0] = static_cast<std::uint8_t>(words.count >> 16);
  image[off::synth_count + 1] = static_cast<std::uint8_t>(words.count >> 8);
  image[off::synth_count + 2] = static_cast<std::uint8_t>(words.count);
  image[off::ref_word + 0] = static_cast<std::uint8_t>(words.ref_word);
  image[off::ref_word + 1] = static_cast<std::uint8_t>(words.ref_word >> 8);
}

}  // namespace q5::image
