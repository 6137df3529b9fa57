// The pager character code, packed digits, checksum and model bit.
#include <gtest/gtest.h>

#include <vector>

#include "image/image.h"

namespace q5::image {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes codes_of(std::string_view text, std::size_t width) {
  Bytes codes(width);
  text_to_codes(text, codes.data(), width);
  return codes;
}

TEST(PagerCode, CharactersMapToTheirCodes) {
  struct Case {
    char c;
    std::uint8_t code;
  };
  const Case cases[] = {{'0', 0x00}, {'9', 0x09}, {'A', 0x10}, {'O', 0x1E}, {'Z', 0x29}, {' ', 0x30},
                        // Anything outside the pager's set is stored like "0".
                        {'-', 0x00}, {'.', 0x00}, {'a', 0x00}, {'[', 0x00}, {'\xC4', 0x00}};
  for (const Case& c : cases) EXPECT_EQ(char_to_code(c.c), c.code) << "character " << int(c.c);
}

TEST(PagerCode, CodesMapBackToCharacters) {
  struct Case {
    std::uint8_t code;
    char c;
  };
  const Case cases[] = {{0x00, '0'}, {0x09, '9'}, {0x10, 'A'}, {0x29, 'Z'}, {0x30, ' '},
                        {0x0A, ';'}, {0x0F, '@'}, {0x2A, '['}, {0x2F, '`'}, {0xCF, '\0'}, {0xFF, '0'}};
  for (const Case& c : cases) EXPECT_EQ(code_to_char(c.code), c.c) << "code " << int(c.code);
}

TEST(PagerCode, ShortTextIsFilledWithSpaces) {
  EXPECT_EQ(codes_of("GO", 6), (Bytes{0x16, 0x1E, 0x30, 0x30, 0x30, 0x30}));
  EXPECT_EQ(codes_of("", 3), (Bytes{0x30, 0x30, 0x30}));
}

TEST(PagerCode, LongTextIsCutAtTheFieldWidth) {
  Bytes buffer(8, 0xAA);
  text_to_codes("ABCDEFGH", buffer.data(), 6);
  // The two bytes past the field stay untouched.
  EXPECT_EQ(buffer, (Bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0xAA, 0xAA}));
}

TEST(PagerCode, PunctuationComesBackAsZero) {
  const Bytes codes = codes_of("A-B", 3);
  EXPECT_EQ(codes, (Bytes{0x10, 0x00, 0x11}));
  EXPECT_EQ(codes_to_text(codes.data(), 3), "A0B");
}

TEST(PagerCode, DecodedTextKeepsTrailingSpaces) {
  const Bytes codes{0x16, 0x1E, 0x30, 0x30, 0x30, 0x30};
  EXPECT_EQ(codes_to_text(codes.data(), codes.size()), "GO    ");
}

TEST(PagerCode, EndMarkStopsTheText) {
  const Bytes codes{0x16, 0xCF, 0x1E, 0x30};
  EXPECT_EQ(codes_to_text(codes.data(), codes.size()), "G");
  const Bytes first{0xCF, 0x10};
  EXPECT_EQ(codes_to_text(first.data(), first.size()), "");
}

TEST(PackedDigits, HighNibbleFirst) {
  Bytes out(4, 0xEE);
  pack_digits("13897500", out.data());
  EXPECT_EQ(out, (Bytes{0x13, 0x89, 0x75, 0x00}));
  pack_digits("2004008", out.data());  // an odd count leaves the last low nibble zero
  EXPECT_EQ(out, (Bytes{0x20, 0x04, 0x00, 0x80}));
  pack_digits(":?", out.data());  // a digit is its character's low four bits
  EXPECT_EQ(out[0], 0xAF);
}

TEST(PackedDigits, UnpackShowsNibblesAboveNineAsPunctuation) {
  const Bytes in{0x73, 0x16, 0xAF};
  EXPECT_EQ(unpack_digits(in.data(), 4), "7316");
  EXPECT_EQ(unpack_digits(in.data(), 6), "7316:?");
  EXPECT_EQ(unpack_digits(in.data(), 5), "7316:");
}

TEST(Checksum, AllZeroImageIsValid) {
  Image img{};
  EXPECT_EQ(checksum(img), 0);
  EXPECT_EQ(verify(img), ChecksumFault::none);
}

TEST(Checksum, LargestSumFitsSixteenBits) {
  Image img{};
  img.fill(0xFF);
  EXPECT_EQ(checksum(img), 0xFD02);  // the two checksum bytes are not summed
  seal(img);
  EXPECT_EQ(img[254], 0xFD);
  EXPECT_EQ(img[255], 0x02);
  EXPECT_EQ(verify(img), ChecksumFault::none);
}

TEST(Checksum, VerifyNamesTheFirstFailingByte) {
  Image img{};
  img[10] = 0x12;
  img[20] = 0x34;
  seal(img);  // sum 0x46: 00 46
  ASSERT_EQ(verify(img), ChecksumFault::none);

  Image low_wrong = img;
  low_wrong[255] ^= 1;
  EXPECT_EQ(verify(low_wrong), ChecksumFault::low_byte);

  Image high_wrong = img;
  high_wrong[254] = 0x01;
  EXPECT_EQ(verify(high_wrong), ChecksumFault::high_byte);

  Image both_wrong = high_wrong;
  both_wrong[255] ^= 1;
  EXPECT_EQ(verify(both_wrong), ChecksumFault::high_byte);  // high byte is compared first
}

TEST(ModelBit, OnlyBitFiveOfByte80Counts) {
  Image img{};
  EXPECT_FALSE(model_bit(img));
  img[80] = 0xDF;  // every other bit
  EXPECT_FALSE(model_bit(img));
  img[80] = 0x20;
  EXPECT_TRUE(model_bit(img));
  img[80] = 0;
  img[81] = 0x20;
  EXPECT_FALSE(model_bit(img));
}

}  // namespace
}  // namespace q5::image
