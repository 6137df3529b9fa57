// The pager's 256-byte configuration image: the content of its EEPROM and of
// a configuration file alike. Offsets, masks and the small byte operations
// that every other part of the program shares.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace q5::image {

constexpr std::size_t kImageSize = 256;
using Image = std::array<std::uint8_t, kImageSize>;

// Field offsets, named as in the pager's memory map.
namespace off {
constexpr std::size_t serial_digits = 0;     // 8 bytes, one digit each
constexpr std::size_t address1 = 8;          // 4 bytes per address slot
constexpr std::size_t address_slot_size = 4;
constexpr std::size_t tone_only_msg1 = 24;   // 12 bytes
constexpr std::size_t alert_mode = 40;
constexpr std::size_t firmware_code = 43;
constexpr std::size_t vib_setting = 44;
constexpr std::size_t alert_seconds = 45;
constexpr std::size_t urgent_call = 47;
constexpr std::size_t re_values = 48;        // 6 bytes
constexpr std::size_t dup_minutes = 54;
constexpr std::size_t outrange_minutes = 55;
constexpr std::size_t freq_bcd = 56;         // 4 bytes, 8 BCD digits
constexpr std::size_t password_bcd = 60;     // 2 bytes, 4 BCD digits
constexpr std::size_t display_flags = 64;
constexpr std::size_t message_flags = 65;
constexpr std::size_t constant_8e = 66;
constexpr std::size_t constant_00 = 67;
constexpr std::size_t test_flags = 68;
constexpr std::size_t receiver_flags = 69;
constexpr std::size_t synth_flags = 70;
constexpr std::size_t handcode_flags = 71;
constexpr std::size_t canned_cmd = 72;
constexpr std::size_t synth_count = 73;      // 3 bytes, big-endian
constexpr std::size_t ref_word = 76;         // 2 bytes, little-endian
constexpr std::size_t msg_count = 79;
constexpr std::size_t function_flags = 80;
constexpr std::size_t option_flags = 81;
constexpr std::size_t tone_only_msg2 = 82;   // 12 bytes
constexpr std::size_t tone_only_msg3 = 94;   // 12 bytes
constexpr std::size_t tone_only_msg4 = 106;  // 12 bytes
constexpr std::size_t canned_msg1 = 118;     // 20 x 6 bytes
constexpr std::size_t hello_text = 238;      // 14 bytes
constexpr std::size_t checksum = 254;        // 2 bytes, high byte first
constexpr std::size_t checksummed_end = 254; // bytes [0, 254) are summed

constexpr std::size_t address(int row) { return address1 + address_slot_size * static_cast<std::size_t>(row); }
constexpr std::size_t canned_msg(int index) { return canned_msg1 + 6 * static_cast<std::size_t>(index); }
}  // namespace off

// Widths of the text fields, in character positions.
namespace width {
constexpr std::size_t tone_only_msg = 12;
constexpr std::size_t canned_msg = 6;
constexpr std::size_t hello_text = 14;
constexpr std::size_t serial = 8;
constexpr std::size_t address = 7;
constexpr std::size_t password = 4;
}  // namespace width

constexpr int kCannedMessages = 20;
constexpr int kToneOnlyMessages = 4;
constexpr int kAddressRows = 4;

// Byte 80, bit 5: set in images of the "Normal" model, which this program refuses.
constexpr std::uint8_t kModelBitMask = 0x20;

// The space code of the pager's character set.
constexpr std::uint8_t kSpaceCode = 0x30;

// Pager character code. Characters are Latin-1 bytes held in std::string.
std::uint8_t char_to_code(char c);
char code_to_char(std::uint8_t code);
// Writes `width` codes: the text's characters, then space codes.
// Characters beyond `width` are ignored.
void text_to_codes(std::string_view text, std::uint8_t* dst, std::size_t width);
// Reads `width` codes back; the text ends early at the first code that decodes
// to NUL (code 0xCF).
std::string codes_to_text(const std::uint8_t* src, std::size_t width);

// Packed BCD, first digit in the high nibble. A digit is its character's low
// four bits; an odd digit count leaves the last low nibble zero.
void pack_digits(std::string_view digits, std::uint8_t* dst);
// Unpacks `count` nibbles into characters "0" + v (nibbles above 9 give ':' to '?').
std::string unpack_digits(const std::uint8_t* src, std::size_t count);

void clear(Image& image);  // bytes 0 to 254 to zero
std::uint16_t checksum(const Image& image);
void seal(Image& image);
enum class ChecksumFault { none, high_byte, low_byte };
ChecksumFault verify(const Image& image);  // high byte compared first
bool model_bit(const Image& image);

}  // namespace q5::image
