#include "cli/batch.h"

#include <algorithm>

#include "cli/text.h"
#include "rules/field_rules.h"

namespace q5::cli {

namespace {

// The seventh digit sits in the high nibble of the slot's fourth byte; its
// low nibble is the address's disable switch.
constexpr std::size_t kSwitchByte = 3;
constexpr std::uint8_t kSwitchNibble = 0x0F;

constexpr int kBarWidth = 40;
constexpr int kPercent = 100;
// A write sends 128 words, then reads all 256 bytes back to verify them.
constexpr int kWriteAdvances = 128 + static_cast<int>(image::kImageSize);

bool all_digits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::optional<std::string> step_file(image::Image& file, const rules::Form& form, bool with_serial) {
  image::Image stepped = file;
  for (int row = 0; row < image::kAddressRows; ++row) {
    const rules::Edit& edit = form.sc_address[static_cast<std::size_t>(row)];
    const std::string digits = rules::pad_with_zeros(edit.text, image::width::address);
    if (digits.size() != image::width::address || !all_digits(digits)) {
      return edit.name + " \"" + latin1_to_utf8(edit.text) + "\" has no place in the file";
    }
    std::uint8_t* slot = &stepped[image::off::address(row)];
    const auto disable_switch = static_cast<std::uint8_t>(slot[kSwitchByte] & kSwitchNibble);
    image::pack_digits(digits, slot);
    slot[kSwitchByte] = static_cast<std::uint8_t>((slot[kSwitchByte] & ~kSwitchNibble) | disable_switch);
  }
  if (with_serial) {
    const std::string digits = rules::pad_with_zeros(form.Serial_no.text, image::width::serial);
    if (digits.size() != image::width::serial || !all_digits(digits)) {
      return form.Serial_no.name + " \"" + latin1_to_utf8(form.Serial_no.text) + "\" has no place in the file";
    }
    for (std::size_t i = 0; i < image::width::serial; ++i) {
      stepped[image::off::serial_digits + i] = static_cast<std::uint8_t>(digits[i] - '0');
    }
  }
  image::seal(stepped);
  file = stepped;
  return std::nullopt;
}

void TerminalProgress::shown(link::Transfer transfer) {
  const bool reading = transfer == link::Transfer::reading;
  label_ = reading ? "Reading from pager" : "Writing to pager  ";
  total_ = reading ? static_cast<int>(image::kImageSize) : kWriteAdvances;
  done_ = 0;
  drawn_percent_ = -1;
  visible_ = true;
  draw();
}

void TerminalProgress::advanced() {
  // The read that starts a write is not shown.
  if (!visible_) return;
  done_ = std::min(done_ + 1, total_);
  draw();
}

void TerminalProgress::hidden() {
  if (!visible_) return;
  visible_ = false;
  terminal_ << '\n' << std::flush;
}

void TerminalProgress::draw() {
  const int percent = done_ * kPercent / total_;
  // One redraw per percent: a terminal over a slow link keeps up.
  if (percent == drawn_percent_) return;
  drawn_percent_ = percent;
  const int filled = done_ * kBarWidth / total_;
  terminal_ << '\r' << label_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << percent << '%' << std::flush;
}

}  // namespace q5::cli
