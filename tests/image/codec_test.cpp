// Encoder and decoder on the default form and on the field values that are
// easy to get wrong: shifted codes, aliases, nibbles and repeated bits. Codes
// a valid form produces are read back by the round trips in
// codec_property_test.cpp; the decoder cases here are the codes it never
// produces.
#include <gtest/gtest.h>

#include "image/codec.h"
#include "image/number_text.h"
#include "support/default_image.h"

namespace q5::image {
namespace {

using q5::test::kDefaultImage;

TEST(DefaultImage, DefaultFormGivesTheDefaultImageAndBack) {
  const Image img = encode(Settings{});
  for (std::size_t i = 0; i < kImageSize; ++i) EXPECT_EQ(img[i], kDefaultImage[i]) << "byte " << i;
  EXPECT_EQ(checksum(img), 0x236D);

  // Texts come back filled with spaces to the field width.
  Settings padded;
  for (auto& t : padded.tone_only) t.resize(width::tone_only_msg, ' ');
  for (auto& t : padded.canned) t.resize(width::canned_msg, ' ');
  padded.hello.resize(width::hello_text, ' ');
  EXPECT_EQ(decode(kDefaultImage), padded);
  EXPECT_EQ(encode(padded), kDefaultImage);
}

// One setting changed from the defaults, and a byte it must give.
struct EncodeCase {
  const char* what;
  void (*change)(Settings&);
  std::size_t offset;
  std::uint8_t expected;
};

TEST(Encode, EachFieldStoresItsCode) {
  const EncodeCase cases[] = {
      // Disabling a row sets its switch nibble and keeps the digits.
      {"row 2 off", [](Settings& s) { s.address_enabled[1] = false; }, 15, 0x81},
      // Short digit texts are right-aligned with leading zeros.
      {"short address", [](Settings& s) { s.address[3] = "8"; }, 23, 0x80},
      {"long address", [](Settings& s) { s.address[0] = "20971439"; }, 11, 0x30},
      {"short serial", [](Settings& s) { s.serial = "42"; }, 7, 0x02},
      {"long serial", [](Settings& s) { s.serial = "123456789"; }, 7, 0x08},
      {"short password", [](Settings& s) { s.password = "5"; }, 61, 0x05},
      {"long password", [](Settings& s) { s.password = "123456"; }, 61, 0x34},
      {"password punctuation", [](Settings& s) { s.password = "7;16"; }, 60, 0x7B},  // a digit is its low four bits
      {"short frequency", [](Settings& s) { s.frequency = "38.975"; }, 56, 0x03},
      {"last direct type", [](Settings& s) { s.alert_type = 5; }, 40, 0x50},
      {"T only", [](Settings& s) { s.alert_type = 6; }, 40, 0x80},
      {"reset ADDRESS 3", [](Settings& s) { s.alert_reset = 3; }, 40, 0x04},
      {"T+V, reset ALL", [](Settings& s) { s.alert_type = 8; s.alert_reset = 5; }, 40, 0xAF},
      {"duration 32", [](Settings& s) { s.alert_duration = 6; }, 45, 31},
      {"duration 64", [](Settings& s) { s.alert_duration = 7; }, 45, 64},
      {"urgent ALL tone, ADDRESS 2", [](Settings& s) { s.urgent_call_tone = 5; s.urgent_call_addr = 2; }, 47, 0x72},
      {"urgent ALL addr", [](Settings& s) { s.urgent_call_addr = 5; }, 47, 0x07},
      {"vib Continuous", [](Settings& s) { s.vib_pattern = 3; }, 44, 0xC3},
      {"vib time low 4 bits", [](Settings& s) { s.special_vib_time = 0x15; }, 44, 0x50},
      {"2400 bps, two codewords", [](Settings& s) { s.baud_rate = 0; s.call_termination = 2; }, 69, 0xD8},
      {"1200 bps, two codewords", [](Settings& s) { s.call_termination = 2; }, 69, 0xF8},
      {"512 bps, address codeword", [](Settings& s) { s.baud_rate = 1; s.call_termination = 0; }, 69, 0xE0},
      {"KS8809 flags 71", [](Settings& s) { s.pll_chip = 0; }, 71, 0xFB},
      {"RX8308 flags 70", [](Settings& s) { s.pll_chip = 2; }, 70, 0xD8},
      {"RX8308 flags 71", [](Settings& s) { s.pll_chip = 2; }, 71, 0xFB},
      {"hand code off, LCD off", [](Settings& s) { s.hand_code_password = false; s.lcd_manual = 0; }, 70, 0x40},
      {"canned ]]", [](Settings& s) { s.canned_command = 2; }, 72, 0xEE},
      {"low battery Special", [](Settings& s) { s.low_batt = 1; }, 81, 0xBB},
      {"model Normal", [](Settings& s) { s.model = 1; }, 80, 0xFE},
      {"invert polarity, RE1", [](Settings& s) { s.data_polarity = 1; s.re1_active = true; }, 68, 0xA0},
      {"firmware R2", [](Settings& s) { s.firmware = 1; }, 43, 0x01},
      {"outrange 15 min", [](Settings& s) { s.outrange_time = 14; }, 55, 15},
      {"messages low byte", [](Settings& s) { s.num_message = 0x10C; }, 79, 0x0C},
      {"RE value low byte", [](Settings& s) { s.re_values[5] = 300; }, 53, 0x2C},
      {"hello punctuation", [](Settings& s) { s.hello = "HI!"; }, 240, 0x00},
      // No selection, or a position past the end, stores the first item.
      {"no alert type", [](Settings& s) { s.alert_type = kNoSelection; }, 40, 0x00},
      {"no alert duration", [](Settings& s) { s.alert_duration = kNoSelection; }, 45, 1},
      {"no urgent", [](Settings& s) { s.urgent_call_addr = kNoSelection; }, 47, 0x00},
      {"no baud", [](Settings& s) { s.baud_rate = kNoSelection; }, 69, 0xDC},
      {"no canned cmd", [](Settings& s) { s.canned_command = kNoSelection; }, 72, 0xDD},
      {"reset past the end", [](Settings& s) { s.alert_reset = 9; }, 40, 0x00},
  };
  for (const EncodeCase& c : cases) {
    SCOPED_TRACE(c.what);
    Settings s;
    c.change(s);
    const Image img = encode(s);
    EXPECT_EQ(img[c.offset], c.expected);
    EXPECT_EQ(verify(img), ChecksumFault::none);
  }
}

TEST(Encode, FrequencyThatIsNotANumberStopsTheEncode) {
  Settings s;
  s.frequency = "";  // the message is parse_frequency's, tested with it
  EXPECT_THROW(encode(s), ConversionError);
}

// An image that differs from the default image in one byte.
Image default_with(std::size_t offset, std::uint8_t value) {
  Image img = kDefaultImage;
  img[offset] = value;
  seal(img);
  return img;
}

TEST(Decode, CodesNoFormProducesGiveAliasesOrNoSelection) {
  using S = Settings;
  struct Case {
    const char* what;
    std::size_t offset;
    std::uint8_t value;
    int S::*field;
    int expected;
  };
  const int none = kNoSelection;
  const Case cases[] = {
      {"type 6", 40, 0x60, &S::alert_type, 4}, {"type 7", 40, 0x70, &S::alert_type, 5},
      {"type 11", 40, 0xB0, &S::alert_type, none},
      {"reset 3", 40, 0x03, &S::alert_reset, none}, {"reset 5", 40, 0x05, &S::alert_reset, none},
      {"duration 32", 45, 32, &S::alert_duration, 6}, {"duration 0", 45, 0, &S::alert_duration, none},
      {"duration 5", 45, 5, &S::alert_duration, none},
      {"urgent addr 5", 47, 0x05, &S::urgent_call_addr, 5}, {"urgent addr 6", 47, 0x06, &S::urgent_call_addr, none},
      {"urgent addr 8", 47, 0x08, &S::urgent_call_addr, none}, {"vib pattern 4", 44, 0xC4, &S::vib_pattern, none},
      {"dup 0", 54, 0, &S::dup_msg_time, none}, {"dup 7", 54, 7, &S::dup_msg_time, none},
      {"outrange 0", 55, 0, &S::outrange_time, none}, {"outrange 16", 55, 16, &S::outrange_time, none},
      {"firmware 7F", 43, 0x7F, &S::firmware, 1}, {"RX8308 beats SM5170", 70, 0xD8, &S::pll_chip, 2},
      {"baud 0", 69, 0xCC, &S::baud_rate, none}, {"fixed bits ignored", 69, 0x30, &S::baud_rate, 2},
      {"canned 00", 72, 0x00, &S::canned_command, none},
      {"low battery bit 3", 81, 0xA3 | 0x08, &S::low_batt, 1},
      {"low battery copy not read", 81, 0xA3 | 0x10, &S::low_batt, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(decode(default_with(c.offset, c.value)).*c.field, c.expected) << c.what;
  EXPECT_FALSE(decode(default_with(15, 0x8F)).address_enabled[1]) << "any nonzero nibble disables";
}

TEST(Decode, OddCodesInTextsAndDigits) {
  Image img = kDefaultImage;
  img[8] = 0xA2;   // address 1 starts with nibbles 10 and 2
  img[56] = 0x1F;  // frequency digit 2 is 15
  img[60] = 0x7B;  // password digit 2 is 11
  img[0] = 0x0A;   // serial digit 0 holds 10
  img[off::hello_text + 5] = 0xCF;  // end mark
  img[off::canned_msg(0) + 1] = 0x0A;
  const Settings s = decode(img);
  EXPECT_EQ(s.address[0], ":204000");
  EXPECT_EQ(s.frequency, "1?8.97500");
  EXPECT_EQ(s.password, "7;16");
  EXPECT_EQ(s.serial, ":2345678");
  EXPECT_EQ(s.hello, "HAPPY");
  EXPECT_EQ(s.canned[0], "P;EASE");
}

TEST(Decode, AllZeroImageWithSerialBytesOredWithTheDigitZero) {
  Image img{};
  img[0] = 0x35;  // already a character: OR keeps it "5"
  img[1] = 0x41;  // gives "q"
  const Settings s = decode(img);
  EXPECT_EQ(s.serial, "5q000000");
  EXPECT_EQ(s.frequency, "000.00000");
  EXPECT_EQ(s.address[0], "0000000");
  EXPECT_EQ(s.canned[0], "000000");
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
