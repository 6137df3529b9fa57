#include "image.h"

#include <algorithm>
#include <numeric>

namespace q5::image {

namespace {

constexpr std::uint8_t kLastDigitCode = 0x09;
// Letters sit 0x31 below their character value: "A" (0x41) is 0x10.
constexpr int kLetterOffset = 0x31;
constexpr std::uint8_t kUnknownCode = 0x00;  // anything else is stored like "0"
constexpr std::uint8_t kNibbleMask = 0x0F;
constexpr unsigned kNibbleBits = 4;

}  // namespace

std::uint8_t char_to_code(char c) {
  if (c == ' ') return kSpaceCode;
  if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c >= 'A' && c <= 'Z') return static_cast<std::uint8_t>(c - kLetterOffset);
  return kUnknownCode;
}

char code_to_char(std::uint8_t code) {
  if (code == kSpaceCode) return ' ';
  if (code <= kLastDigitCode) return static_cast<char>('0' + code);
  // Every other code maps back by the letter offset, wrapping at 256, so codes
  // that no character produces still show as something (0xCF gives NUL).
  return static_cast<char>(static_cast<std::uint8_t>(code + kLetterOffset));
}

void text_to_codes(std::string_view text, std::uint8_t* dst, std::size_t width) {
  const std::size_t used = std::min(text.size(), width);
  std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(used), dst, char_to_code);
  std::fill(dst + used, dst + width, kSpaceCode);
}

std::string codes_to_text(const std::uint8_t* src, std::size_t width) {
  std::string text;
  text.reserve(width);
  for (std::size_t i = 0; i < width; ++i) {
    const char c = code_to_char(src[i]);
    if (c == '\0') break;  // the pager's end-of-text mark
    text.push_back(c);
  }
  return text;
}

void pack_digits(std::string_view digits, std::uint8_t* dst) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const auto nibble = static_cast<std::uint8_t>(static_cast<unsigned char>(digits[i]) & kNibbleMask);
    std::uint8_t& byte = dst[i / 2];
    if (i % 2 == 0) {
      byte = static_cast<std::uint8_t>(nibble << kNibbleBits);
    } else {
      byte = static_cast<std::uint8_t>(byte | nibble);
    }
  }
}

std::string unpack_digits(const std::uint8_t* src, std::size_t count) {
  std::string digits(count, '0');
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t byte = src[i / 2];
    const unsigned nibble = (i % 2 == 0) ? (byte >> kNibbleBits) : (byte & kNibbleMask);
    digits[i] = static_cast<char>('0' + nibble);
  }
  return digits;
}

void clear(Image& image) {
  // Byte 255 is left alone: the seal always overwrites it.
  std::fill(image.begin(), image.begin() + off::checksum + 1, std::uint8_t{0});
}

std::uint16_t checksum(const Image& image) {
  // 254 bytes of at most 255 sum to at most 64,770, so 16 bits never overflow.
  const unsigned sum = std::accumulate(image.begin(), image.begin() + off::checksummed_end, 0U);
  return static_cast<std::uint16_t>(sum);
}

void seal(Image& image) {
  const std::uint16_t sum = checksum(image);
  image[off::checksum] = static_cast<std::uint8_t>(sum >> 8);
  image[off::checksum + 1] = static_cast<std::uint8_t>(sum & 0xFF);
}

ChecksumFault verify(const Image& image) {
  const std::uint16_t sum = checksum(image);
  if (image[off::checksum] != static_cast<std::uint8_t>(sum >> 8)) return ChecksumFault::high_byte;
  if (image[off::checksum + 1] != static_cast<std::uint8_t>(sum & 0xFF)) return ChecksumFault::low_byte;
  return ChecksumFault::none;
}

bool model_bit(const Image& image) { return (image[off::function_flags] & kModelBitMask) != 0; }

}  // namespace q5::image
