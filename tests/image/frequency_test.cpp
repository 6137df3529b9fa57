// Step lists, counter check and snap, and the synthesiser words, on the
// worked examples of the pager's frequency plan.
#include <gtest/gtest.h>

#include "image/frequency.h"
#include "image/settings.h"

namespace q5::image {
namespace {

using Warnings = std::vector<std::string>;

Frequency mhz(const char* text) { return parse_frequency(text); }

Image stored(const PllWords& words, std::uint8_t synth_flags_before = 0) {
  Image img{};
  img[off::synth_flags] = synth_flags_before;
  store_pll_words(img, words);
  return img;
}

TEST(StepList, FourListsByFirmwareAndSide) {
  EXPECT_EQ(step_list(true, false).items, (std::vector<std::string>{"6.25kHz", "5kHz"}));
  EXPECT_EQ(step_list(true, true).items, (std::vector<std::string>{"12.5kHz", "10kHz"}));
  EXPECT_EQ(step_list(false, false).items, (std::vector<std::string>{"12.5kHz", "10kHz", "6.25kHz", "5kHz"}));
  EXPECT_EQ(step_list(false, true).items, (std::vector<std::string>{"25kHz", "20kHz", "12.5kHz", "10kHz"}));
  EXPECT_EQ(step_list(true, false).step_offset, 2);
  EXPECT_EQ(step_list(true, true).step_offset, 2);
  EXPECT_EQ(step_list(false, false).step_offset, 0);
  EXPECT_EQ(step_list(false, true).step_offset, 0);
}

TEST(StepList, RasterMatchesTheItemShown) {
  // Every list's item text names the raster that its step code selects.
  for (const bool r1 : {true, false}) {
    for (const bool high : {false, true}) {
      const StepList list = step_list(r1, high);
      for (std::size_t i = 0; i < list.items.size(); ++i) {
        const int raster = raster_hz(high, step_code_of(static_cast<int>(i), list.step_offset));
        EXPECT_EQ(std::stod(list.items[i]) * 1000, raster) << list.items[i];
      }
    }
  }
}

TEST(StepList, NoSelectionCountsAsFirstItem) {
  EXPECT_EQ(step_code_of(kNoSelection, 2), 2);
  EXPECT_EQ(step_code_of(kNoSelection, 0), 0);
  EXPECT_EQ(step_code_of(1, 2), 3);
}

TEST(StepList, Exactly175IsStillTheLowList) {
  EXPECT_FALSE(is_high_band(mhz("175.00000")));
  EXPECT_TRUE(is_high_band(mhz("175.00001")));
  EXPECT_FALSE(is_high_band(mhz("000.00000")));
}

TEST(Counter, DropsTheFractionTowardZero) {
  EXPECT_EQ(counter_hz(mhz("138.97500")), 117'575'000);
  EXPECT_EQ(counter_hz(mhz("21.4000019")), 1);
  EXPECT_EQ(counter_hz(mhz("21.3999981")), -1);
  EXPECT_EQ(counter_hz(mhz("000.00000")), -21'400'000);
}

struct SnapCase {
  const char* text;
  int raster;
  int chip;
  const char* snapped;
  Warnings warnings;
};

class Snap : public ::testing::TestWithParam<SnapCase> {};

TEST_P(Snap, WarnsAndSnaps) {
  const SnapCase& c = GetParam();
  const SnapResult result = check_and_snap(mhz(c.text), c.raster, c.chip);
  EXPECT_EQ(result.text, c.snapped);
  EXPECT_EQ(result.warnings, c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Snap,
    ::testing::Values(
        SnapCase{"138.97500", 6250, kChipSM5170, "138.97500", {}},
        SnapCase{"138.97500", 6250, kChipKS8809, "138.97500", {}},
        SnapCase{"138.98000", 6250, kChipSM5170, "138.98125", {}},  // q = 18812.8
        SnapCase{"280.00000", 12500, kChipSM5170, "280.00000", {}},
        SnapCase{"929.58750", 12500, kChipSM5170, "929.58750", {}},
        SnapCase{"459.02500", 25000, kChipSM5170, "459.02500", {}},
        SnapCase{"175.00000", 6250, kChipSM5170, "175.00000", {}},
        SnapCase{"138.975", 6250, kChipSM5170, "138.97500", {}},  // short text gets its nine characters
        // Binary floating point makes this 65,662,499.99... Hz and rounds down to 065.66000.
        SnapCase{"065.66250", 5000, kChipSM5170, "065.66500", {}},
        // Below 21.4 MHz the fraction is dropped instead: q = -1823.52 gives -1823.
        SnapCase{"010.00300", 6250, kChipSM5170, "010.00625", {kWarnLowFrequency}}));

INSTANTIATE_TEST_SUITE_P(
    LowerLimit, Snap,
    ::testing::Values(SnapCase{"028.00000", 6250, kChipSM5170, "028.00000", {}},  // q = 1056 exactly
                      SnapCase{"026.68000", 5000, kChipSM5170, "026.68000", {}},
                      SnapCase{"027.999999", 6250, kChipSM5170, "028.00000", {kWarnLowFrequency}},
                      SnapCase{"027.99375", 6250, kChipSM5170, "027.99375", {kWarnLowFrequency}},
                      SnapCase{"026.67500", 5000, kChipSM5170, "026.67500", {kWarnLowFrequency}},
                      SnapCase{"025.00000", 6250, kChipSM5170, "025.00000", {kWarnLowFrequency}},
                      SnapCase{"000.00000", 6250, kChipSM5170, "000.00000", {kWarnLowFrequency}},
                      SnapCase{"-5.0", 6250, kChipSM5170, "000.00000", {kWarnLowFrequency}}));

INSTANTIATE_TEST_SUITE_P(
    UpperLimits, Snap,
    ::testing::Values(
        // q = 131071 exactly passes on the SM5170; a millihertz more does not.
        SnapCase{"676.75500", 5000, kChipSM5170, "676.75500", {}},
        SnapCase{"676.755001", 5000, kChipSM5170, "676.75500", {kWarnSm5170High}},
        SnapCase{"676.755001", 5000, kChipKS8809, "676.75500", {}},
        // q = 262144 exactly passes on the KS8809 and RX8308; one hertz more does not.
        SnapCase{"1332.12", 5000, kChipKS8809, "999.99500", {}},
        SnapCase{"1332.12", 5000, kChipRX8308, "999.99500", {}},
        SnapCase{"1332.120001", 5000, kChipKS8809, "999.99500", {kWarnKs8809High}},
        SnapCase{"1332.120001", 5000, kChipRX8308, "999.99500", {kWarnKs8809High}},
        SnapCase{"1332.120001", 5000, kChipSM5170, "999.99500", {kWarnSm5170High}},
        // A chip the list does not know has no upper limit to check.
        SnapCase{"1332.120001", 5000, -1, "999.99500", {}}));

INSTANTIATE_TEST_SUITE_P(
    FieldLimit, Snap,
    ::testing::Values(
        // Rounding would reach 1000.00000: the highest raster point below it is taken.
        SnapCase{"999.99999", 6250, kChipKS8809, "999.99375", {}},
        SnapCase{"999.99999", 25000, kChipKS8809, "999.97500", {}},
        SnapCase{"999.97500", 25000, kChipKS8809, "999.97500", {}}));

struct WordsCase {
  const char* text;
  int step_code;
  int band_code;
  std::uint32_t count;
  std::uint16_t ref_word;
};

class Words : public ::testing::TestWithParam<WordsCase> {};

TEST_P(Words, BandCountAndReference) {
  const WordsCase& c = GetParam();
  const PllWords words = pll_words(mhz(c.text), c.step_code);
  EXPECT_EQ(words.band_code, c.band_code);
  EXPECT_EQ(words.step_code, c.step_code);
  EXPECT_EQ(words.count, c.count);
  EXPECT_EQ(words.ref_word, c.ref_word);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Words,
    ::testing::Values(WordsCase{"138.97500", 2, 0, 18812, 0x0002}, WordsCase{"138.97500", 3, 0, 23515, 0x8002},
                      WordsCase{"280.00000", 2, 1, 20688, 0x0002}, WordsCase{"929.58750", 2, 3, 72655, 0x0002},
                      WordsCase{"459.02500", 0, 2, 17505, 0x0001}, WordsCase{"138.97500", 1, 0, 11758, 0x4001},
                      // 175.0 is already band 1 with the doubled step, the same synthesiser frequency.
                      WordsCase{"175.00000", 2, 1, 12288, 0x0002},
                      // An exact half rounds up: 44,262,500 / 5000 = 8852.5.
                      WordsCase{"065.66250", 3, 0, 8853, 0x8002}));

INSTANTIATE_TEST_SUITE_P(BandEdges, Words,
                         ::testing::Values(WordsCase{"174.99375", 2, 0, 24575, 0x0002},
                                           WordsCase{"289.98750", 2, 1, 21487, 0x0002},
                                           WordsCase{"290.00000", 2, 2, 21488, 0x0002},
                                           WordsCase{"499.98750", 2, 2, 38287, 0x0002},
                                           WordsCase{"500.00000", 2, 3, 38288, 0x0002}));

TEST(Words, BytesInTheImage) {
  struct Case {
    const char* text;
    int step_code;
    std::array<std::uint8_t, 6> bytes;  // synth_flags, count (3), reference (2)
  };
  const Case cases[] = {
      {"138.97500", 2, {0x40, 0x00, 0x49, 0x7C, 0x02, 0x00}},
      {"138.97500", 3, {0x44, 0x00, 0x5B, 0xDB, 0x02, 0x80}},
      {"929.58750", 2, {0x43, 0x01, 0x1B, 0xCF, 0x02, 0x00}},
      {"138.97500", 1, {0x04, 0x00, 0x2D, 0xEE, 0x01, 0x40}},
  };
  for (const Case& c : cases) {
    const Image img = stored(pll_words(mhz(c.text), c.step_code));
    const std::array<std::uint8_t, 6> got{img[off::synth_flags], img[off::synth_count], img[off::synth_count + 1],
                                          img[off::synth_count + 2], img[off::ref_word], img[off::ref_word + 1]};
    EXPECT_EQ(got, c.bytes) << c.text << " step code " << c.step_code;
  }
}

TEST(Words, OtherSynthFlagBitsAreKept) {
  const Image img = stored(pll_words(mhz("459.02500"), 0), 0xFF);
  EXPECT_EQ(img[off::synth_flags], 0xBA);  // bits 3, 4, 5, 7 kept; band 2; step bits clear
}

TEST(Words, NegativeCountKeepsItsLow24Bits) {
  const PllWords words = pll_words(mhz("000.00000"), 2);  // -21.4 MHz / 6.25 kHz = -3424
  const Image img = stored(words);
  EXPECT_EQ(img[off::synth_count], 0xFF);
  EXPECT_EQ(img[off::synth_count + 1], 0xF2);
  EXPECT_EQ(img[off::synth_count + 2], 0xA0);
}

}  // namespace
}  // namespace q5::image
