// The Microwire conversation with the pager's 93C56 EEPROM, spoken through
// the bit-level operations of a cable. Nothing here knows how the cable
// reaches the lines: results are read only after the cable has flushed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

#include "cable.h"
#include "image/image.h"

namespace q5::link {

// Ten-bit command fields (after the start bit).
constexpr std::uint16_t kCmdRead0 = 0x200;
constexpr std::uint16_t kCmdEwen = 0x0C0;
constexpr std::uint16_t kCmdWrite = 0x100;  // + word address
constexpr std::uint16_t kCmdEwds = 0x00F;

constexpr int kWords = 128;

// Clock periods the link check gives at most, and the one after which a
// 93C56 drives its dummy zero (the first opcode bit and eight address bits
// go before it; two more periods come before the loop).
constexpr int kCheckMaxPulses = 11;
constexpr int kDummyZeroPulse = 9;

// Deselected before each WRITE, so that the previous word can program.
constexpr std::int64_t kProgramPauseNs = 5'000'000;
// How much longer than that pause a chip may stay busy: 93C56 parts are
// rated up to 10 ms per word, and this leaves them twice as much.
constexpr std::int64_t kReadyTimeoutNs = 20'000'000;
// Once the write has given up on a word, how much longer the chip is given
// to finish it, so that it can still take EWDS: a part far slower than rated
// (30 to 60 ms) then goes back into the pager write-disabled.
constexpr std::int64_t kLateReadyNs = 100'000'000;
// Between chip select rising and DO showing the chip's state (a real chip
// needs well under 1 us), and between two looks at DO while it is busy.
constexpr std::int64_t kStatusValidNs = 10'000;
constexpr std::int64_t kReadyPollNs = 100'000;

// A read that shows its progress on a cable that queues takes its data in
// exchanges of this many bytes, advancing the progress as each arrives.
constexpr std::size_t kPacedReadBytes = 32;

// Settling times of the lines when the link opens and closes.
constexpr std::int64_t kClockIdleSettleNs = 200'000'000;
constexpr std::int64_t kDeselectSettleNs = 100'000'000;
constexpr std::int64_t kCloseSettleNs = 10'000'000;
constexpr std::int64_t kReleaseSettleNs = 100'000'000;

class EepromLink {
 public:
  explicit EepromLink(Cable& cable);

  // Called once per byte read and once per word written or skipped (the
  // progress bar).
  void set_progress(std::function<void()> advance) { advance_ = std::move(advance); }
  // While the progress is on screen: each byte read advances it once its
  // data has arrived, which on a cable that queues means exchanges of
  // kPacedReadBytes instead of one for the whole read.
  void set_progress_paced(bool paced) { paced_ = paced; }

  bool open_link();
  void close_link();
  bool check_link();
  void send_command(std::uint16_t field);
  void read_eeprom(image::Image& image);
  // Writes words 0 to 127 of `image`; given what the chip holds now
  // (`on_chip`), only the words that differ from it. Each WRITE, the EWDS
  // after the last one included, waits for the previous word's programming
  // cycle: the 5 ms pause, then the chip's own ready signal. False when the
  // chip never became ready: the write stops there, and the chip gets up to
  // kLateReadyNs more to finish before EWDS goes out anyway.
  bool write_eeprom(const image::Image& image, const image::Image* on_chip = nullptr);
  // The WRITE commands the last write_eeprom() sent.
  int words_written() const { return words_written_; }

 private:
  void advance();
  bool let_previous_word_program(bool word_written);
  bool wait_until_ready(std::int64_t timeout_ns);

  Cable& cable_;
  std::function<void()> advance_;
  bool paced_ = false;
  int words_written_ = 0;
};

}  // namespace q5::link
