// The pager character code, packed digits, checksum and model bit.
#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "image/image.h"

namespace q5::image {
namespace {

// Most codes and digits are read and written by the default image in
// codec_test.cpp; these are the ones it does not hold.
TEST(PagerCode, OddCharactersAndCodes) {
  EXPECT_EQ(char_to_code('Z'), 0x29);
  for (const char c : {'-', '.', 'a', '[', '\xC4'}) EXPECT_EQ(char_to_code(c), 0x00) << "stored like 0: " << int(c);
  const std::pair<std::uint8_t, char> back[] = {{0x0A, ';'}, {0x0F, '@'}, {0x2A, '['}, {0x2F, '`'}, {0xFF, '0'}};
  for (const auto& [code, c] : back) EXPECT_EQ(code_to_char(code), c) << "code " << int(code);
}

TEST(PagerCode, TextsAreCutAtTheFieldWidthAndStopAtTheEndMark) {
  std::array<std::uint8_t, 8> buffer;
  buffer.fill(0xAA);
  text_to_codes("ABCDEFGH", buffer.data(), 6);  // the two bytes past the field stay untouched
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 8>{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0xAA, 0xAA}));
  buffer[1] = 0xCF;
  EXPECT_EQ(codes_to_text(buffer.data(), 6), "A");
  EXPECT_EQ(codes_to_text(buffer.data() + 1, 5), "");
}

TEST(Checksum, LargestSumFitsSixteenBitsAndVerifyNamesTheFirstFailingByte) {
  Image img{};
  img.fill(0xFF);
  EXPECT_EQ(checksum(img), 0xFD02);  // the two checksum bytes are not summed
  seal(img);
  EXPECT_EQ(img[254], 0xFD);
  EXPECT_EQ(img[255], 0x02);
  EXPECT_EQ(verify(img), ChecksumFault::none);

  img.fill(0);
  img[10] = 0x12;
  img[20] = 0x34;
  seal(img);  // sum 0x46: 00 46
  ASSERT_EQ(verify(img), ChecksumFault::none);
  img[255] ^= 1;
  EXPECT_EQ(verify(img), ChecksumFault::low_byte);
  img[254] = 0x01;
  EXPECT_EQ(verify(img), ChecksumFault::high_byte);  // high byte is compared first
  img[255] ^= 1;
  EXPECT_EQ(verify(img), ChecksumFault::high_byte);
}

TEST(ModelBit, OnlyBitFiveOfByte80Counts) {
  Image img{};
  img[80] = 0xDF;  // every other bit
  img[81] = 0x20;
  EXPECT_FALSE(model_bit(img));
  img[80] = 0x20;
  EXPECT_TRUE(model_bit(img));
}

}  // namespace
}  // namespace q5::image
