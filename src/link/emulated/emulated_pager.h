// A 93C56 serial EEPROM (x16: 128 words, 8-bit address field whose top bit
// is ignored) emulated cycle by cycle, and the parallel port with that chip
// on its cable. The simulated pager and the link's tests talk to these
// instead of the real port.
//
// Besides answering like the chip, the emulation checks that the program
// keeps the times it promises the chip (data set up before the clock rises,
// clock high and low long enough, no command while the chip is still
// programming a word) and records what it saw, so a test can assert on it.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "image/image.h"
#include "link/port_io.h"

namespace q5::link {

// The shortest times the chip is given while selected. The program waits
// 100 us for each of them, far more than a real chip needs; these defaults
// hold it to that.
struct LineTiming {
  std::int64_t setup_ns = 100'000;    // CS and DI stable before SK rises
  std::int64_t hold_ns = 100'000;     // DI unchanged after SK rose
  std::int64_t sk_high_ns = 100'000;  // SK high
  std::int64_t sk_low_ns = 100'000;   // SK low before it rises again
};

struct TimingViolation {
  std::int64_t at_ns;
  std::string what;  // readable, the time included
};

class Eeprom93C56 {
 public:
  static constexpr int kWords = 128;
  static constexpr std::int64_t kDefaultProgramNs = 3'000'000;

  Eeprom93C56();

  // 8 for a real 93C56 in x16 organisation; 7 or 9 emulate a chip of another
  // size on the cable (its dummy zero comes one clock early or late).
  void set_address_bits(int bits);
  int address_bits() const { return address_bits_; }
  // Length of the self-timed programming cycle after a WRITE: about 3 ms
  // for a fast part, up to 6 ms for a low-voltage one, 10 ms for the
  // slowest; kNeverReady for a chip that hangs in its first cycle.
  static constexpr std::int64_t kNeverReady = std::numeric_limits<std::int64_t>::max();
  void set_program_time_ns(std::int64_t ns) { program_ns_ = ns; }
  void set_timing(const LineTiming& timing) { timing_ = timing; }

  // Word w holds image bytes 2w (high half) and 2w + 1 (low half).
  void load(const image::Image& image);
  image::Image save() const;
  std::uint16_t word(int w) const { return words_[static_cast<std::size_t>(w & 0x7F)]; }
  void set_word(int w, std::uint16_t value) { words_[static_cast<std::size_t>(w & 0x7F)] = value; }

  bool write_enabled() const { return write_enabled_; }
  bool programming(std::int64_t now_ns) const { return now_ns < busy_until_ns_; }

  // The pins. drive() is given the input levels after every change of any
  // of them; data_out() is DO, high whenever the chip does not drive it
  // (the cable pulls it up).
  void drive(bool cs, bool sk, bool di, std::int64_t now_ns);
  bool data_out(std::int64_t now_ns) const;

  // Every command field decoded (opcode and address bits, without the start
  // bit), in order: 0x200 for READ of word 0, 0x0C0 EWEN, 0x1ww WRITE...
  const std::vector<std::uint16_t>& commands() const { return commands_; }
  // The first violations in full; the count goes on past them.
  const std::vector<TimingViolation>& violations() const { return violations_; }
  std::size_t violation_count() const { return violation_count_; }
  void clear_records();

 private:
  enum class Phase {
    idle,        // waiting for a start bit
    command,     // shifting in opcode and address
    read_out,    // shifting words out on DO
    write_data,  // shifting in the 16 data bits of WRITE or WRAL
    armed,       // complete WRITE/ERASE/WRAL/ERAL: programs when CS falls
    done,        // complete command; further clocks ignored until CS falls
    ignoring,    // command given while programming; ignored until CS falls
  };
  enum class Pending { none, write, write_all, erase, erase_all };

  void rising_edge(bool di, std::int64_t now_ns);
  void decode(std::int64_t now_ns);
  void deselected(std::int64_t now_ns);
  void violation(std::int64_t now_ns, const char* format, double got_us, double need_us);

  std::array<std::uint16_t, kWords> words_;
  int address_bits_ = 8;
  std::int64_t program_ns_ = kDefaultProgramNs;
  LineTiming timing_;

  // Input levels and when they last changed.
  bool cs_ = false, sk_ = false, di_ = false;
  std::int64_t last_input_change_ns_;
  std::int64_t last_sk_rise_ns_;
  std::int64_t last_sk_fall_ns_;

  Phase phase_ = Phase::idle;
  std::uint32_t shift_ = 0;
  int bits_ = 0;
  int read_word_ = 0;
  int read_bit_ = -1;  // -1: the dummy zero
  Pending pending_ = Pending::none;
  int target_word_ = 0;
  bool write_enabled_ = false;  // write-disabled at power-up
  std::int64_t busy_until_ns_;

  std::vector<std::uint16_t> commands_;
  std::vector<TimingViolation> violations_;
  std::size_t violation_count_ = 0;
};

// The parallel port at one base address with the chip on its cable: data
// register bit 0 CS, bit 1 DI; control register bit 0 SK through the port's
// inverter (0 = SK high); status bit 6 DO. Other addresses read 0xFF, as an
// absent port does, and ignore writes.
class EmulatedPagerPort final : public PortIo {
 public:
  // Status bits besides DO: what a port with nothing else on its inputs
  // typically shows.
  static constexpr std::uint8_t kStatusIdle = 0x3F;

  explicit EmulatedPagerPort(Clock& clock, std::uint16_t base = kLpt1Base);

  std::uint8_t port_in(std::uint16_t port) override;
  void port_out(std::uint16_t port, std::uint8_t value) override;

  Eeprom93C56& chip() { return chip_; }
  const Eeprom93C56& chip() const { return chip_; }
  std::uint16_t base() const { return base_; }

  // Faults. No chip: DO stays high. A pulled cable: from then on the chip's
  // inputs are low (so a selected chip is deselected) and DO reads high.
  void set_present(bool present) { present_ = present; }
  void pull_cable_at_ns(std::int64_t at_ns) { pull_at_ns_ = at_ns; }
  // The chip still sees `pulses` rising clock edges; the next one is lost.
  void pull_cable_after_pulses(std::uint64_t pulses) { pull_after_pulses_ = pulses; }
  bool cable_pulled() const { return pulled_; }
  // Plugs the cable back in (and cancels any pull still scheduled).
  void reconnect_cable();

  // Records of what the program did at this port.
  std::uint64_t clock_pulses() const { return pulses_; }  // rising SK edges
  const std::bitset<256>& data_values() const { return data_values_; }
  const std::bitset<256>& control_values() const { return control_values_; }
  const std::set<std::uint16_t>& foreign_ports() const { return foreign_ports_; }
  // Clears these records and the chip's.
  void clear_records();

 private:
  void check_cable(std::int64_t now_ns);
  void pull(std::int64_t now_ns);
  void feed_chip(std::int64_t now_ns);

  Clock& clock_;
  std::uint16_t base_;
  Eeprom93C56 chip_;
  bool present_ = true;
  bool pulled_ = false;
  std::int64_t pull_at_ns_;
  std::uint64_t pull_after_pulses_;

  std::uint8_t data_ = 0x00;
  std::uint8_t control_ = 0x01;  // clock idle
  std::uint64_t pulses_ = 0;
  std::bitset<256> data_values_;
  std::bitset<256> control_values_;
  std::set<std::uint16_t> foreign_ports_;
};

}  // namespace q5::link
