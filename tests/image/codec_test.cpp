// Encoder and decoder on the default form and on the field values that are
// easy to get wrong: shifted codes, aliases, nibbles and repeated bits.
#include <gtest/gtest.h>

#include "image/codec.h"
#include "image/frequency.h"
#include "image/number_text.h"
#include "support/default_image.h"

namespace q5::image {
namespace {

using q5::test::kDefaultImage;

// Texts as the decoder gives them back: filled with spaces to the field width.
std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

Settings decoded_form_of_defaults() {
  Settings s;
  for (auto& t : s.tone_only) t = padded(t, width::tone_only_msg);
  for (auto& t : s.canned) t = padded(t, width::canned_msg);
  s.hello = padded(s.hello, width::hello_text);
  return s;
}

TEST(DefaultImage, DefaultFormGivesTheDefaultImage) {
  const Image img = encode(Settings{});
  for (std::size_t i = 0; i < kImageSize; ++i) {
    EXPECT_EQ(img[i], kDefaultImage[i]) << "byte " << i;
  }
  EXPECT_EQ(checksum(img), 0x236D);
  EXPECT_EQ(verify(img), ChecksumFault::none);
}

TEST(DefaultImage, DecodesToTheDefaultForm) {
  const Settings s = decode(kDefaultImage);
  EXPECT_EQ(s, decoded_form_of_defaults());
  EXPECT_EQ(s.canned[10], "GO    ");
  EXPECT_EQ(encode(s), kDefaultImage);
}

// One setting changed from the defaults, and the byte it must give.
struct EncodeCase {
  const char* what;
  void (*change)(Settings&);
  std::size_t offset;
  std::uint8_t expected;
};

class EncodeField : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeField, StoresTheExpectedByte) {
  const EncodeCase& c = GetParam();
  Settings s;
  c.change(s);
  const Image img = encode(s);
  EXPECT_EQ(img[c.offset], c.expected) << c.what;
  EXPECT_EQ(verify(img), ChecksumFault::none) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, EncodeField,
    ::testing::Values(
        // Disabling a row sets its switch nibble and keeps the digits.
        EncodeCase{"row 2 off", [](Settings& s) { s.address_enabled[1] = false; }, 15, 0x81},
        EncodeCase{"row 1 off", [](Settings& s) { s.address_enabled[0] = false; }, 11, 0x01},
        EncodeCase{"short address", [](Settings& s) { s.address[3] = "8"; }, 20, 0x00},
        EncodeCase{"short address tail", [](Settings& s) { s.address[3] = "8"; }, 23, 0x80},
        EncodeCase{"long address", [](Settings& s) { s.address[0] = "20971439"; }, 11, 0x30}));

INSTANTIATE_TEST_SUITE_P(
    DigitTexts, EncodeField,
    ::testing::Values(EncodeCase{"short serial", [](Settings& s) { s.serial = "42"; }, 0, 0x00},
                      EncodeCase{"short serial end", [](Settings& s) { s.serial = "42"; }, 7, 0x02},
                      EncodeCase{"long serial", [](Settings& s) { s.serial = "123456789"; }, 7, 0x08},
                      EncodeCase{"short password end", [](Settings& s) { s.password = "5"; }, 61, 0x05},
                      EncodeCase{"long password", [](Settings& s) { s.password = "123456"; }, 61, 0x34}));

INSTANTIATE_TEST_SUITE_P(
    Alerts, EncodeField,
    ::testing::Values(EncodeCase{"T/M", [](Settings& s) { s.alert_type = 4; }, 40, 0x40},
                      EncodeCase{"T only", [](Settings& s) { s.alert_type = 6; }, 40, 0x80},
                      EncodeCase{"V only", [](Settings& s) { s.alert_type = 7; }, 40, 0x90},
                      EncodeCase{"T+V", [](Settings& s) { s.alert_type = 8; }, 40, 0xA0},
                      EncodeCase{"reset ADDRESS 3", [](Settings& s) { s.alert_reset = 3; }, 40, 0x04},
                      EncodeCase{"reset ALL", [](Settings& s) { s.alert_reset = 5; }, 40, 0x0F},
                      EncodeCase{"both nibbles",
                                 [](Settings& s) {
                                   s.alert_type = 8;
                                   s.alert_reset = 5;
                                 },
                                 40, 0xAF},
                      EncodeCase{"duration 32", [](Settings& s) { s.alert_duration = 6; }, 45, 31},
                      EncodeCase{"duration 64", [](Settings& s) { s.alert_duration = 7; }, 45, 64},
                      EncodeCase{"urgent ALL tone, ADDRESS 2",
                                 [](Settings& s) {
                                   s.urgent_call_tone = 5;
                                   s.urgent_call_addr = 2;
                                 },
                                 47, 0x72},
                      EncodeCase{"urgent ALL addr", [](Settings& s) { s.urgent_call_addr = 5; }, 47, 0x07},
                      EncodeCase{"vib Continuous", [](Settings& s) { s.vib_pattern = 3; }, 44, 0xC3},
                      EncodeCase{"vib time low 4 bits", [](Settings& s) { s.special_vib_time = 0x15; }, 44, 0x50}));

INSTANTIATE_TEST_SUITE_P(
    Receiver, EncodeField,
    ::testing::Values(
        EncodeCase{"2400 bps, two codewords",
                   [](Settings& s) {
                     s.baud_rate = 0;
                     s.call_termination = 2;
                   },
                   69, 0xD8},
        EncodeCase{"1200 bps, two codewords", [](Settings& s) { s.call_termination = 2; }, 69, 0xF8},
        EncodeCase{"512 bps, address codeword",
                   [](Settings& s) {
                     s.baud_rate = 1;
                     s.call_termination = 0;
                   },
                   69, 0xE0}));

INSTANTIATE_TEST_SUITE_P(
    Chips, EncodeField,
    ::testing::Values(EncodeCase{"KS8809 flags 70", [](Settings& s) { s.pll_chip = 0; }, 70, 0x58},
                      EncodeCase{"KS8809 flags 71", [](Settings& s) { s.pll_chip = 0; }, 71, 0xFB},
                      EncodeCase{"RX8308 flags 70", [](Settings& s) { s.pll_chip = 2; }, 70, 0xD8},
                      EncodeCase{"RX8308 flags 71", [](Settings& s) { s.pll_chip = 2; }, 71, 0xFB},
                      EncodeCase{"hand code off, LCD off",
                                 [](Settings& s) {
                                   s.hand_code_password = false;
                                   s.lcd_manual = 0;
                                 },
                                 70, 0x40}));

INSTANTIATE_TEST_SUITE_P(
    OtherFlags, EncodeField,
    ::testing::Values(EncodeCase{"canned ]]", [](Settings& s) { s.canned_command = 2; }, 72, 0xEE},
                      EncodeCase{"low battery Special", [](Settings& s) { s.low_batt = 1; }, 81, 0xBB},
                      EncodeCase{"model Normal", [](Settings& s) { s.model = 1; }, 80, 0xFE},
                      EncodeCase{"invert polarity, RE1",
                                 [](Settings& s) {
                                   s.data_polarity = 1;
                                   s.re1_active = true;
                                 },
                                 68, 0xA0},
                      EncodeCase{"firmware R2", [](Settings& s) { s.firmware = 1; }, 43, 0x01},
                      EncodeCase{"outrange 15 min", [](Settings& s) { s.outrange_time = 14; }, 55, 15},
                      EncodeCase{"messages low byte", [](Settings& s) { s.num_message = 0x10C; }, 79, 0x0C},
                      EncodeCase{"RE value low byte", [](Settings& s) { s.re_values[5] = 300; }, 53, 0x2C},
                      EncodeCase{"hello punctuation", [](Settings& s) { s.hello = "HI!"; }, 240, 0x00}));

INSTANTIATE_TEST_SUITE_P(
    NoSelectionIsTheFirstItem, EncodeField,
    ::testing::Values(EncodeCase{"alert type", [](Settings& s) { s.alert_type = kNoSelection; }, 40, 0x00},
                      EncodeCase{"alert duration", [](Settings& s) { s.alert_duration = kNoSelection; }, 45, 1},
                      EncodeCase{"urgent", [](Settings& s) { s.urgent_call_addr = kNoSelection; }, 47, 0x00},
                      EncodeCase{"baud", [](Settings& s) { s.baud_rate = kNoSelection; }, 69, 0xDC},
                      EncodeCase{"canned cmd", [](Settings& s) { s.canned_command = kNoSelection; }, 72, 0xDD},
                      EncodeCase{"past the end", [](Settings& s) { s.alert_reset = 9; }, 40, 0x00}));

TEST(Encode, FixedBytesWhateverTheForm) {
  Settings s;
  s.serial = "99999999";
  s.canned_command = 1;
  s.low_batt = 1;
  s.hello = "ZZZZZZZZZZZZZZ";
  const Image img = encode(s);
  EXPECT_EQ(img[66], 0x8E);
  EXPECT_EQ(img[67], 0x00);
  for (const std::size_t reserved : {36, 37, 38, 39, 41, 42, 46, 62, 63, 78, 252, 253}) {
    EXPECT_EQ(img[reserved], 0) << "byte " << reserved;
  }
}

TEST(Encode, FrequencyTextIsStoredInItsNineCharacterForm) {
  Settings s;
  s.frequency = "138.975";  // a number, though not yet in the field's shape
  const Image img = encode(s);
  EXPECT_EQ(img[56], 0x13);
  EXPECT_EQ(img[57], 0x89);
  EXPECT_EQ(img[58], 0x75);
  EXPECT_EQ(img[59], 0x00);
}

TEST(Encode, FrequencyThatIsNotANumberStopsTheEncode) {
  Settings s;
  s.frequency = "";
  try {
    encode(s);
    FAIL() << "an empty frequency was encoded";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'' is not a valid floating point value");
  }
}

TEST(Encode, SameSettingsSameImage) {
  Settings s;
  s.frequency = "459.02500";
  s.step_code = 0;
  s.firmware = 1;
  EXPECT_EQ(encode(s), encode(s));
}

// An image that differs from the default image in one byte.
Image default_with(std::size_t offset, std::uint8_t value) {
  Image img = kDefaultImage;
  img[offset] = value;
  seal(img);
  return img;
}

struct DecodeCase {
  const char* what;
  std::size_t offset;
  std::uint8_t value;
  int (*read)(const Settings&);
  int expected;
};

class DecodeField : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeField, GivesTheExpectedPosition) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(c.read(decode(default_with(c.offset, c.value))), c.expected) << c.what;
}

int alert_type(const Settings& s) { return s.alert_type; }
int alert_reset(const Settings& s) { return s.alert_reset; }
int alert_duration(const Settings& s) { return s.alert_duration; }
int urgent_addr(const Settings& s) { return s.urgent_call_addr; }
int urgent_tone(const Settings& s) { return s.urgent_call_tone; }
int vib_pattern(const Settings& s) { return s.vib_pattern; }
int vib_time(const Settings& s) { return s.special_vib_time; }
int dup_time(const Settings& s) { return s.dup_msg_time; }
int outrange_time(const Settings& s) { return s.outrange_time; }
int firmware(const Settings& s) { return s.firmware; }
int baud(const Settings& s) { return s.baud_rate; }
int termination(const Settings& s) { return s.call_termination; }
int step_code(const Settings& s) { return s.step_code; }
int chip(const Settings& s) { return s.pll_chip; }
int canned_command(const Settings& s) { return s.canned_command; }
int model(const Settings& s) { return s.model; }
int low_batt(const Settings& s) { return s.low_batt; }
int enabled_row2(const Settings& s) { return s.address_enabled[1] ? 1 : 0; }

INSTANTIATE_TEST_SUITE_P(
    Alerts, DecodeField,
    ::testing::Values(DecodeCase{"type 5", 40, 0x50, alert_type, 5}, DecodeCase{"type 6", 40, 0x60, alert_type, 4},
                      DecodeCase{"type 7", 40, 0x70, alert_type, 5}, DecodeCase{"type 8", 40, 0x80, alert_type, 6},
                      DecodeCase{"type 10", 40, 0xA0, alert_type, 8},
                      DecodeCase{"type 11", 40, 0xB0, alert_type, kNoSelection},
                      DecodeCase{"reset 4", 40, 0x04, alert_reset, 3}, DecodeCase{"reset F", 40, 0x0F, alert_reset, 5},
                      DecodeCase{"reset 3", 40, 0x03, alert_reset, kNoSelection},
                      DecodeCase{"reset 5", 40, 0x05, alert_reset, kNoSelection},
                      DecodeCase{"duration 31", 45, 31, alert_duration, 6},
                      DecodeCase{"duration 32", 45, 32, alert_duration, 6},
                      DecodeCase{"duration 64", 45, 64, alert_duration, 7},
                      DecodeCase{"duration 0", 45, 0, alert_duration, kNoSelection},
                      DecodeCase{"duration 5", 45, 5, alert_duration, kNoSelection},
                      DecodeCase{"urgent addr 7", 47, 0x07, urgent_addr, 5},
                      DecodeCase{"urgent addr 5", 47, 0x05, urgent_addr, 5},
                      DecodeCase{"urgent addr 6", 47, 0x06, urgent_addr, kNoSelection},
                      DecodeCase{"urgent addr 8", 47, 0x08, urgent_addr, kNoSelection},
                      DecodeCase{"urgent tone 7", 47, 0x70, urgent_tone, 5},
                      DecodeCase{"vib pattern 3", 44, 0xC3, vib_pattern, 3},
                      DecodeCase{"vib pattern 4", 44, 0xC4, vib_pattern, kNoSelection},
                      DecodeCase{"vib time 15", 44, 0xF0, vib_time, 15}));

INSTANTIATE_TEST_SUITE_P(
    Timers, DecodeField,
    ::testing::Values(DecodeCase{"dup 0", 54, 0, dup_time, kNoSelection}, DecodeCase{"dup 6", 54, 6, dup_time, 5},
                      DecodeCase{"dup 7", 54, 7, dup_time, kNoSelection},
                      DecodeCase{"outrange 0", 55, 0, outrange_time, kNoSelection},
                      DecodeCase{"outrange 15", 55, 15, outrange_time, 14},
                      DecodeCase{"outrange 16", 55, 16, outrange_time, kNoSelection}));

INSTANTIATE_TEST_SUITE_P(
    Hardware, DecodeField,
    ::testing::Values(DecodeCase{"firmware 0", 43, 0x00, firmware, 0},
                      DecodeCase{"firmware 7F", 43, 0x7F, firmware, 1}, DecodeCase{"firmware FF", 43, 0xFF, firmware, 1},
                      DecodeCase{"step code 0", 70, 0x18, step_code, 0}, DecodeCase{"step code 1", 70, 0x1C, step_code, 1},
                      DecodeCase{"step code 3", 70, 0x5C, step_code, 3},
                      DecodeCase{"RX8308 beats SM5170", 70, 0xD8, chip, 2},
                      DecodeCase{"KS8809", 71, 0xFB, chip, 0}, DecodeCase{"model Normal", 80, 0xFE, model, 1}));

INSTANTIATE_TEST_SUITE_P(
    Receiver, DecodeField,
    ::testing::Values(DecodeCase{"baud 2", 69, 0xEC, baud, 1}, DecodeCase{"baud 1", 69, 0xDC, baud, 0},
                      DecodeCase{"baud 0", 69, 0xCC, baud, kNoSelection},
                      DecodeCase{"termination 2", 69, 0xF8, termination, 2},
                      DecodeCase{"fixed bits ignored", 69, 0x30, baud, 2}));

INSTANTIATE_TEST_SUITE_P(
    Others, DecodeField,
    ::testing::Values(DecodeCase{"canned EE", 72, 0xEE, canned_command, 2},
                      DecodeCase{"canned 00", 72, 0x00, canned_command, kNoSelection},
                      DecodeCase{"low battery bit 3", 81, 0xA3 | 0x08, low_batt, 1},
                      DecodeCase{"low battery copy not read", 81, 0xA3 | 0x10, low_batt, 0},
                      DecodeCase{"disable nibble 1", 15, 0x81, enabled_row2, 0},
                      DecodeCase{"disable nibble F", 15, 0x8F, enabled_row2, 0},
                      DecodeCase{"disable nibble 0", 15, 0x80, enabled_row2, 1}));

TEST(Decode, DigitTextsShowOddNibblesAsPunctuation) {
  Image img = kDefaultImage;
  img[8] = 0xA2;    // address 1 starts with nibbles 10 and 2
  img[56] = 0x1F;   // frequency digit 2 is 15
  img[60] = 0x7B;   // password digit 2 is 11
  img[0] = 0x0A;    // serial digit 0 holds 10
  const Settings s = decode(img);
  EXPECT_EQ(s.address[0], ":204000");
  EXPECT_EQ(s.frequency, "1?8.97500");
  EXPECT_EQ(s.password, "7;16");
  EXPECT_EQ(s.serial, ":2345678");
}

TEST(Decode, SerialBytesAreOredWithTheDigitZero) {
  Image img{};
  img[0] = 0x35;  // already a character: OR keeps it "5"
  img[1] = 0x41;  // gives "q"
  const Settings s = decode(img);
  EXPECT_EQ(s.serial, "5q000000");
}

TEST(Decode, TextsStopAtTheEndMark) {
  Image img = kDefaultImage;
  img[off::hello_text + 5] = 0xCF;
  img[off::canned_msg(0) + 1] = 0x0A;
  const Settings s = decode(img);
  EXPECT_EQ(s.hello, "HAPPY");
  EXPECT_EQ(s.canned[0], "P;EASE");
}

TEST(Decode, AllZeroImage) {
  const Settings s = decode(Image{});
  EXPECT_EQ(s.firmware, 0);
  EXPECT_EQ(s.model, 0);
  EXPECT_EQ(s.baud_rate, kNoSelection);
  EXPECT_EQ(s.frequency, "000.00000");
  EXPECT_EQ(s.serial, "00000000");
  EXPECT_EQ(s.address[0], "0000000");
  EXPECT_TRUE(s.address_enabled[0]);
  EXPECT_EQ(s.canned[0], "000000");
  EXPECT_EQ(s.canned_command, kNoSelection);
  EXPECT_EQ(s.dup_msg_time, kNoSelection);
}

TEST(Decode, FrequencyComesFromItsDigitsNotTheWords) {
  Image img = kDefaultImage;
  img[off::synth_count] = 0x12;  // the words are recomputed at the next encode
  img[off::ref_word] = 0x80;
  const Settings s = decode(img);
  EXPECT_EQ(s.frequency, "138.97500");
  EXPECT_EQ(encode(s), kDefaultImage);
}

}  // namespace
}  // namespace q5::image
