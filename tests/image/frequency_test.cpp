// Step lists, counter check and snap, and the synthesiser words, on the
// worked examples of the pager's frequency plan.
#include <gtest/gtest.h>

#include "image/frequency.h"
#include "image/settings.h"

namespace q5::image {
namespace {

Frequency mhz(const char* text) { return parse_frequency(text); }

TEST(StepList, ListsByFirmwareAndSideNameTheirRasters) {
  struct Case {
    bool r1, high;
    std::vector<std::string> items;
    int offset;
  };
  const Case cases[] = {{true, false, {"6.25kHz", "5kHz"}, 2},
                        {true, true, {"12.5kHz", "10kHz"}, 2},
                        {false, false, {"12.5kHz", "10kHz", "6.25kHz", "5kHz"}, 0},
                        {false, true, {"25kHz", "20kHz", "12.5kHz", "10kHz"}, 0}};
  for (const Case& c : cases) {
    const StepList list = step_list(c.r1, c.high);
    EXPECT_EQ(list.items, c.items);
    EXPECT_EQ(list.step_offset, c.offset);
    for (std::size_t i = 0; i < list.items.size(); ++i) {
      const int raster = raster_hz(c.high, step_code_of(static_cast<int>(i), list.step_offset));
      EXPECT_EQ(std::stod(list.items[i]) * 1000, raster) << list.items[i];
    }
  }
  EXPECT_EQ(step_code_of(kNoSelection, 2), 2);  // no selection counts as the first item
  EXPECT_EQ(step_code_of(kNoSelection, 0), 0);
  // The lists switch strictly above 175 MHz.
  EXPECT_FALSE(is_high_band(mhz("175.00000")));
  EXPECT_TRUE(is_high_band(mhz("175.00001")));
  EXPECT_FALSE(is_high_band(mhz("000.00000")));
}

TEST(Snap, CountsWarnsAndSnaps) {
  EXPECT_EQ(counter_hz(mhz("21.4000019")), 1);  // the count drops its fraction toward zero
  EXPECT_EQ(counter_hz(mhz("21.3999981")), -1);
  struct Case {
    const char* text;
    int raster;
    int chip;
    const char* snapped;
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"138.98000", 6250, kChipSM5170, "138.98125", {}},  // q = 18812.8
      {"138.975", 6250, kChipSM5170, "138.97500", {}},    // short text gets its nine characters
      // Binary floating point would make this 65,662,499.99... Hz and round down to 065.66000.
      {"065.66250", 5000, kChipSM5170, "065.66500", {}},
      // Below 21.4 MHz the fraction is dropped instead: q = -1823.52 gives -1823.
      {"010.00300", 6250, kChipSM5170, "010.00625", {kWarnLowFrequency}},
      // q = 1056 exactly is the lowest count that passes, at either raster.
      {"028.00000", 6250, kChipSM5170, "028.00000", {}},
      {"026.68000", 5000, kChipSM5170, "026.68000", {}},
      {"027.999999", 6250, kChipSM5170, "028.00000", {kWarnLowFrequency}},
      {"026.67500", 5000, kChipSM5170, "026.67500", {kWarnLowFrequency}},
      {"000.00000", 6250, kChipSM5170, "000.00000", {kWarnLowFrequency}},
      {"-5.0", 6250, kChipSM5170, "000.00000", {kWarnLowFrequency}},
      // q = 131071 exactly passes on the SM5170; a millihertz more does not.
      {"676.75500", 5000, kChipSM5170, "676.75500", {}},
      {"676.755001", 5000, kChipSM5170, "676.75500", {kWarnSm5170High}},
      {"676.755001", 5000, kChipKS8809, "676.75500", {}},
      // q = 262144 exactly passes on the KS8809 and RX8308; a millihertz more does not.
      {"1332.12", 5000, kChipKS8809, "999.99500", {}},
      {"1332.120001", 5000, kChipKS8809, "999.99500", {kWarnKs8809High}},
      {"1332.120001", 5000, kChipRX8308, "999.99500", {kWarnKs8809High}},
      {"1332.120001", 5000, kChipSM5170, "999.99500", {kWarnSm5170High}},
      {"1332.120001", 5000, -1, "999.99500", {}},  // an unknown chip has no upper limit to check
      // Rounding would reach 1000.00000: the highest raster point below it is taken.
      {"999.99999", 6250, kChipKS8809, "999.99375", {}},
      {"999.99999", 25000, kChipKS8809, "999.97500", {}},
      {"999.97500", 25000, kChipKS8809, "999.97500", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " at " << c.raster << " Hz, chip " << c.chip);
    const SnapResult result = check_and_snap(mhz(c.text), c.raster, c.chip);
    EXPECT_EQ(result.text, c.snapped);
    EXPECT_EQ(result.warnings, c.warnings);
  }
}

// The words and the bytes they give, over synth_flags bits that were set
// before (only band and step bits may change).
TEST(Words, BandCountReferenceAndTheirBytes) {
  struct Case {
    const char* text;
    int step_code;
    std::uint32_t count;
    std::uint8_t flags_before;
    std::array<std::uint8_t, 6> bytes;  // synth_flags (band in bits 0-1), count (3), reference word (2)
  };
  const Case cases[] = {
      {"138.97500", 2, 18812, 0x00, {0x40, 0x00, 0x49, 0x7C, 0x02, 0x00}},
      {"138.97500", 3, 23515, 0x00, {0x44, 0x00, 0x5B, 0xDB, 0x02, 0x80}},
      {"138.97500", 1, 11758, 0x00, {0x04, 0x00, 0x2D, 0xEE, 0x01, 0x40}},
      {"280.00000", 2, 20688, 0x00, {0x41, 0x00, 0x50, 0xD0, 0x02, 0x00}},
      {"929.58750", 2, 72655, 0x00, {0x43, 0x01, 0x1B, 0xCF, 0x02, 0x00}},
      // bits 3, 4, 5, 7 kept; band 2; step bits cleared
      {"459.02500", 0, 17505, 0xFF, {0xBA, 0x00, 0x44, 0x61, 0x01, 0x00}},
      // 175.0 is already band 1 with the doubled step, the same synthesiser frequency.
      {"175.00000", 2, 12288, 0x00, {0x41, 0x00, 0x30, 0x00, 0x02, 0x00}},
      // An exact half rounds up: 44,262,500 / 5000 = 8852.5.
      {"065.66250", 3, 8853, 0x00, {0x44, 0x00, 0x22, 0x95, 0x02, 0x80}},
      // -21.4 MHz / 6.25 kHz = -3424 keeps its low 24 bits.
      {"000.00000", 2, static_cast<std::uint32_t>(-3424), 0x00, {0x40, 0xFF, 0xF2, 0xA0, 0x02, 0x00}},
      {"174.99375", 2, 24575, 0x00, {0x40, 0x00, 0x5F, 0xFF, 0x02, 0x00}},
      {"289.98750", 2, 21487, 0x00, {0x41, 0x00, 0x53, 0xEF, 0x02, 0x00}},
      {"290.00000", 2, 21488, 0x00, {0x42, 0x00, 0x53, 0xF0, 0x02, 0x00}},
      {"499.98750", 2, 38287, 0x00, {0x42, 0x00, 0x95, 0x8F, 0x02, 0x00}},
      {"500.00000", 2, 38288, 0x00, {0x43, 0x00, 0x95, 0x90, 0x02, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " step code " << c.step_code);
    const PllWords words = pll_words(mhz(c.text), c.step_code);
    EXPECT_EQ(words.count, c.count);
    Image img{};
    img[off::synth_flags] = c.flags_before;
    store_pll_words(img, words);
    const std::array<std::uint8_t, 6> got{img[off::synth_flags], img[off::synth_count], img[off::synth_count + 1],
                                          img[off::synth_count + 2], img[off::ref_word], img[off::ref_word + 1]};
    EXPECT_EQ(got, c.bytes);
  }
}

}  // namespace
}  // namespace q5::image
