// The Microwire conversation with the pager's 93C56 EEPROM over the cable
// lines of the parallel port.
//
// Data register: bit 0 CS, bit 1 DI, bits 2-3 the release lines.
// Status register bit 6: DO. Control register bit 0: SK, inverted by the
// port hardware (1 = clock idle, pin low).
#pragma once

#include <cstdint>
#include <functional>

#include "image/image.h"
#include "port_io.h"

namespace q5::link {

// Values written to the data register.
constexpr std::uint8_t kDeselect = 0x00;
constexpr std::uint8_t kSelectBit0 = 0x01;
constexpr std::uint8_t kSelectBit1 = 0x03;
constexpr std::uint8_t kRelease = 0x0C;
constexpr std::uint8_t kDoMask = 0x40;

// Ten-bit command fields (after the start bit).
constexpr std::uint16_t kCmdRead0 = 0x200;
constexpr std::uint16_t kCmdEwen = 0x0C0;
constexpr std::uint16_t kCmdWrite = 0x100;  // + word address
constexpr std::uint16_t kCmdEwds = 0x00F;

constexpr int kWords = 128;

class EepromLink {
 public:
  // `port_base` is read at every register access, so a change of LPT in the
  // menu takes effect at once. `advance` is called once per byte read and
  // once per word written (the progress bar).
  EepromLink(PortIo& io, Clock& clock, std::function<std::uint16_t()> port_base);

  void set_progress(std::function<void()> advance) { advance_ = std::move(advance); }

  bool open_link();
  void close_link();
  bool check_link();
  void send_command(std::uint16_t field);
  void read_eeprom(image::Image& image);
  // Writes words 0 to 127. The last word, like every other, is deselected
  // and given 5 ms before the EWDS that follows it, so EWDS reaches the chip
  // and word 127 is programmed before it. Always returns true.
  bool write_eeprom(const image::Image& image);

  // The timing primitives, public for their own tests.
  void delay_us(std::uint32_t us);
  void delay_100us(std::uint32_t n) { delay_us(100 * n); }
  void clock_pulse();

 private:
  void data_out(std::uint8_t value);
  void control_out(std::uint8_t value);
  bool data_out_high();
  void send_bit(bool bit);
  void sleep_ms(int ms);

  PortIo& io_;
  Clock& clock_;
  std::function<std::uint16_t()> port_base_;
  std::function<void()> advance_;
};

}  // namespace q5::link
