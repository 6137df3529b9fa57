#include "eeprom_link.h"

#include <array>
#include <utility>

namespace q5::link {

namespace {

constexpr int kCommandBits = 11;  // start bit and the 10-bit field
constexpr std::uint32_t kStartBit = 1U << 10;
constexpr int kWordBits = 16;
constexpr int kByteBits = 8;

}  // namespace

EepromLink::EepromLink(Cable& cable) : cable_(cable) {}

void EepromLink::advance() {
  if (advance_) advance_();
}

void EepromLink::send_command(std::uint16_t field) {
  cable_.shift_out(kStartBit | field, kCommandBits);
  cable_.select(false);
  cable_.wait_at_least(kBitWaitNs);
}

bool EepromLink::check_link() {
  // The start bit and the first opcode bit of a READ, both 1 ...
  cable_.select(true);
  cable_.wait_at_least(kBitWaitNs);
  cable_.pulse(2);
  // ... then DI stays low: the rest of the opcode and an all-zero address.
  cable_.select(false);
  cable_.wait_at_least(kBitWaitNs);

  // A 93C56 keeps DO high through the opcode bit and the eight address bits
  // and drives its dummy zero right after the last one. Earlier or later
  // means another chip or a line held low; never means nothing answers.
  int fell_after = 0;
  cable_.clock_until_low(kCheckMaxPulses, &fell_after);
  cable_.wait_at_least(kBitWaitNs);
  cable_.deselect();  // abandons the read
  cable_.wait_at_least(kBitWaitNs);
  cable_.flush();
  return fell_after == kDummyZeroPulse;
}

bool EepromLink::open_link() {
  cable_.clock_idle();
  cable_.wait_at_least(kClockIdleSettleNs);
  cable_.deselect();
  cable_.wait_at_least(kDeselectSettleNs);
  return check_link();
}

void EepromLink::close_link() {
  cable_.deselect();
  cable_.clock_idle();
  cable_.wait_at_least(kCloseSettleNs);
  cable_.release_lines();
  cable_.wait_at_least(kReleaseSettleNs);
  cable_.flush();
}

void EepromLink::read_eeprom(image::Image& image) {
  send_command(kCmdRead0);
  // The chip reads on through all words while chip select stays high. The
  // dummy zero after the address is never sampled: each bit is read after
  // the period that shifts it out.
  std::array<std::uint32_t, image::kImageSize> bytes{};
  const bool in_steps = paced_ && cable_.queues();
  std::size_t arrived = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (!in_steps) advance();
    cable_.clock_in(kByteBits, &bytes[i]);
    // A pause in the clock between two steps is only a longer low half
    // period, which the chip does not mind.
    if (in_steps && (i + 1 - arrived == kPacedReadBytes || i + 1 == bytes.size())) {
      cable_.flush();
      for (; arrived <= i; ++arrived) advance();
    }
  }
  cable_.deselect();
  cable_.wait_at_least(kBitWaitNs);
  cable_.flush();
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(bytes[i]);
}

bool EepromLink::wait_until_ready(std::int64_t timeout_ns) {
  // Selected between commands, a 93C56 shows busy on DO (low) until its
  // programming cycle ends. Chip select then stays high into the next start
  // bit. The time is read on the clock: on a USB cable each look at DO is a
  // round trip that may last longer than the wait between looks.
  cable_.select(false);
  cable_.wait_at_least(kStatusValidNs);
  // Every look is followed by a wait of kReadyPollNs, so the count of looks
  // ends the wait too on a clock that stands still (a cable that failed).
  const std::int64_t deadline = cable_.now_ns() + timeout_ns;
  for (std::int64_t looks = 0; !cable_.sample_do(); ++looks) {
    if (cable_.now_ns() >= deadline || looks * kReadyPollNs >= timeout_ns) return false;
    cable_.wait_at_least(kReadyPollNs);
  }
  return true;
}

// Deselecting ends the WRITE just sent, which starts the chip's programming
// cycle; the chip takes no command until the cycle is over. The fixed pause
// covers most chips, the ready signal the slower ones.
bool EepromLink::let_previous_word_program(bool word_written) {
  cable_.deselect();
  cable_.wait_at_least(kProgramPauseNs);
  return !word_written || wait_until_ready(kReadyTimeoutNs);
}

namespace {

std::uint16_t word_of(const image::Image& image, int w) {
  const auto at = 2 * static_cast<std::size_t>(w);
  return static_cast<std::uint16_t>(image[at] << kByteBits | image[at + 1]);
}

}  // namespace

bool EepromLink::write_eeprom(const image::Image& image, const image::Image* on_chip) {
  words_written_ = 0;
  send_command(kCmdEwen);
  bool ready = true;
  bool programming = false;  // a word sent, its cycle not yet seen through
  for (int w = 0; w < kWords; ++w) {
    advance();
    const std::uint16_t word = word_of(image, w);
    if (on_chip != nullptr && word_of(*on_chip, w) == word) continue;
    ready = let_previous_word_program(programming);
    if (!ready) break;
    send_command(static_cast<std::uint16_t>(kCmdWrite + w));
    cable_.shift_out(word, kWordBits);
    programming = true;
    ++words_written_;
  }
  // Sent with chip select still high, EWDS would only be trailing clocks of
  // the last WRITE, leaving the chip write-enabled; and like any command it
  // has to wait for that word.
  ready = ready && let_previous_word_program(programming);
  if (!ready) {
    // A chip slower than the wait allows must not go back into the pager
    // write-enabled: it gets a while longer to finish the word, and EWDS
    // goes out then, ready or not.
    cable_.deselect();
    cable_.wait_at_least(kBitWaitNs);
    wait_until_ready(kLateReadyNs);
  }
  send_command(kCmdEwds);
  cable_.deselect();
  cable_.wait_at_least(kBitWaitNs);
  cable_.flush();
  return ready;
}

}  // namespace q5::link
