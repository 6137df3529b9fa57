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

// Bits of the flag bytes, one namespace per byte. A check box is 1 when
// checked; a two-item list stores its item position in its bit.
namespace bit {
namespace display {  // display_flags, byte 64
constexpr std::uint8_t full_msg = 1U << 0;
constexpr std::uint8_t message_order = 1U << 2;
constexpr std::uint8_t lcd_order = 1U << 3;
constexpr std::uint8_t date_format = 1U << 4;
constexpr std::uint8_t time_format = 1U << 5;
constexpr std::uint8_t char_set = 1U << 6;
}  // namespace display
namespace message {  // message_flags, byte 65
constexpr std::uint8_t out_range_func = 1U << 0;
constexpr std::uint8_t in_out_range = 1U << 1;
constexpr std::uint8_t no_service = 1U << 2;
constexpr std::uint8_t dup_msg_rejection = 1U << 3;
constexpr std::uint8_t repeat_msg_tone = 1U << 4;
constexpr std::uint8_t unread_reminder = 1U << 5;
constexpr std::uint8_t unread_reminder_time = 1U << 6;
}  // namespace message
namespace test {  // test_flags, byte 68
constexpr std::uint8_t orctl_ds = 1U << 2;
constexpr std::uint8_t re3_active = 1U << 3;
constexpr std::uint8_t re2_active = 1U << 4;
constexpr std::uint8_t re1_active = 1U << 5;
constexpr std::uint8_t data_polarity = 1U << 7;
}  // namespace test
namespace receiver {  // receiver_flags, byte 69
constexpr unsigned call_termination_shift = 2;  // 2-bit field, bits 2-3
constexpr unsigned baud_shift = 4;              // 2-bit field, bits 4-5
constexpr std::uint8_t field_mask = 0x3;        // width of both fields
constexpr std::uint8_t always_set = 0xC0;       // bits 6 and 7, fixed by the pager
}  // namespace receiver
namespace synth {  // synth_flags, byte 70
constexpr std::uint8_t band_mask = 0x03;
constexpr std::uint8_t step_code_low = 1U << 2;
constexpr std::uint8_t hand_code_password = 1U << 3;
constexpr std::uint8_t lcd_manual = 1U << 4;
constexpr std::uint8_t step_code_high = 1U << 6;
constexpr std::uint8_t chip_rx8308 = 1U << 7;
}  // namespace synth
namespace handcode {  // handcode_flags, byte 71
constexpr std::uint8_t addr_handcode = 1U << 0;
constexpr std::uint8_t freq_handcode = 1U << 1;
constexpr std::uint8_t chip_sm5170 = 1U << 2;
constexpr std::uint8_t baud_handcode = 1U << 3;
constexpr std::uint8_t ota_autotime = 1U << 4;
constexpr std::uint8_t ota_poweroff = 1U << 5;
constexpr std::uint8_t ota_msgdel = 1U << 6;
constexpr std::uint8_t ota_alertmode = 1U << 7;
}  // namespace handcode
namespace function {  // function_flags, byte 80
constexpr std::uint8_t unread_display = 1U << 1;
constexpr std::uint8_t daily_alarm = 1U << 2;
constexpr std::uint8_t pager_off_menu = 1U << 3;
constexpr std::uint8_t protect_menu = 1U << 4;
constexpr std::uint8_t model = kModelBitMask;
constexpr std::uint8_t msg_time_stamp = 1U << 6;
constexpr std::uint8_t date_time_display = 1U << 7;
}  // namespace function
namespace option {  // option_flags, byte 81
constexpr std::uint8_t canned_messages = 1U << 0;
constexpr std::uint8_t message_status = 1U << 1;
constexpr std::uint8_t select_tone = 1U << 2;
constexpr std::uint8_t low_batt = 1U << 3;       // the decoder reads this one
constexpr std::uint8_t low_batt_copy = 1U << 4;  // written equal to bit 3, never read
constexpr std::uint8_t sleep_timer = 1U << 5;
constexpr std::uint8_t error_correction = 1U << 7;
}  // namespace option
}  // namespace bit

// Fixed bytes 66 and 67: the pager expects them, nothing on the form sets them.
constexpr std::uint8_t kConstant8E = 0x8E;
constexpr std::uint8_t kConstant00 = 0x00;

// The address slot's last low nibble: 0 = enabled, anything else disabled.
constexpr std::uint8_t kAddressDisabledNibble = 0x1;

// Code tables of the list fields, indexed by item position.
// Alert_type: items 6 to 8 skip the codes 6 and 7.
constexpr int kAlertTypeDirectLast = 5;  // positions 0..5 are their own code
constexpr int kAlertTypeGap = 2;         // later positions store position + 2
constexpr int kAlertTypeItems = 9;
// Alert_reset: one bit per address, all four for "ALL".
constexpr std::array<std::uint8_t, 6> kAlertResetCodes{0x0, 0x1, 0x2, 0x4, 0x8, 0xF};
// Alert_duration in seconds; the pager counts "32" as 31, and older images hold 32.
constexpr std::array<std::uint8_t, 8> kAlertDurationSeconds{1, 2, 3, 4, 8, 16, 31, 64};
constexpr std::uint8_t kAlertDurationAlias32 = 32;
constexpr int kAlertDuration32Position = 6;
// Urgent_call_addr and Urgent_call_tone: "ALL" (the last item) is code 7.
constexpr int kUrgentItems = 6;
constexpr int kUrgentAllPosition = 5;
constexpr std::uint8_t kUrgentAllCode = 7;
// CannedMsg_command: "--", "[[", "]]".
constexpr std::array<std::uint8_t, 3> kCannedCommandCodes{0xDD, 0xFF, 0xEE};
// Item counts of the other lists.
constexpr int kVibPatternItems = 4;
constexpr int kDupMsgTimeItems = 6;    // 1 to 6 minutes, stored as position + 1
constexpr int kOutrangeTimeItems = 15; // 1 to 15 minutes, stored as position + 1
constexpr int kBaudRateItems = 3;      // stored as position + 1, so code 0 never occurs
constexpr int kCallTerminationItems = 4;
constexpr int kTwoItemList = 2;

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
// What a pager or file of the other model is refused with.
inline constexpr const char* kModelErrorText = "Model Error, please check...";

}  // namespace q5::image
