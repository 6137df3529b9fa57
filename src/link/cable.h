// The cable between the PC and the pager's EEPROM, as the Microwire protocol
// sees it: chip select, data in, the clock, data out and the release lines,
// driven through bit-level operations.
//
// A cable may carry out each operation at once (the parallel-port cable) or
// queue operations and send them in one transfer (a USB cable). Results of
// clock_in() and clock_until_low() are therefore written to the caller's
// variables no later than the next flush(); sample_do() and wait_at_least()
// flush first. Every time given is a minimum at the pins.
#pragma once

#include <cstdint>
#include <string>

namespace q5::link {

// The shortest half period of the clock and the data set-up time before a
// rising clock edge: 100 us, far more than a 93C56 needs.
constexpr std::int64_t kBitWaitNs = 100'000;

class Cable {
 public:
  virtual ~Cable() = default;

  // Chip select high, data in at `di`.
  virtual void select(bool di) = 0;
  // Chip select and data in low.
  virtual void deselect() = 0;
  // Chip deselected and the release lines high: the pager runs on its own.
  virtual void release_lines() = 0;
  // The clock line to its idle (low) level.
  virtual void clock_idle() = 0;

  // `n` clock periods, data in unchanged: clock high for at least 100 us,
  // then low for at least 100 us, ending low.
  virtual void pulse(int n) = 0;
  // The `n` low bits of `bits`, most significant first (n <= 32), chip
  // select staying high: for each, data in set, at least 100 us of set-up,
  // then one clock period.
  virtual void shift_out(std::uint32_t bits, int n) = 0;
  // `n` times (n <= 32): one clock period, then data out sampled. The bits
  // land in *bits, first one most significant, by the next flush().
  virtual void clock_in(int n, std::uint32_t* bits) = 0;
  // Clock periods until data out reads low after one, at most `max`. *pulse
  // becomes the number of the period after which it first read low (1 for
  // the first), or 0 when it never did, by the next flush(). A cable that
  // queues may give all `max` periods; the chip ignores the ones after.
  virtual void clock_until_low(int max, int* pulse) = 0;
  // Data out now (a high line means a ready chip, or no chip at all).
  virtual bool sample_do() = 0;

  // Holds the lines as they are for at least `ns`.
  virtual void wait_at_least(std::int64_t ns) = 0;
  // The time on the clock the waits are measured on, in nanoseconds: what
  // bounds a wait made of looks at data out, each of which may cost more
  // than the wait between them (a USB round trip).
  virtual std::int64_t now_ns() = 0;
  // True for a cable whose clock_in() results arrive only at the next
  // flush(), so that a caller showing progress flushes to see the data move.
  virtual bool queues() const { return false; }
  // Everything queued has reached the pins and every result is in place.
  virtual void flush() = 0;

  // False once the cable has stopped answering (a USB board unplugged or
  // timing out). From then on nothing reaches the pins, every data-out bit
  // reads high, and the command in progress ends in the link error.
  virtual bool healthy() const { return true; }
  // Why the cable failed, for the log; empty while it is healthy.
  virtual std::string fault() const { return {}; }
};

}  // namespace q5::link
