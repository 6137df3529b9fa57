#include "eeprom_link.h"

#include <utility>

namespace q5::link {

EepromLink::EepromLink(PortIo& io, Clock& clock, std::function<std::uint16_t()> port_base)
    : io_(io), clock_(clock), port_base_(std::move(port_base)) {}

void EepromLink::data_out(std::uint8_t value) {
  io_.port_out(static_cast<std::uint16_t>(port_base_() + kDataRegister), value);
}

void EepromLink::control_out(std::uint8_t value) {
  io_.port_out(static_cast<std::uint16_t>(port_base_() + kControlRegister), value);
}

bool EepromLink::data_out_high() {
  return (io_.port_in(static_cast<std::uint16_t>(port_base_() + kStatusRegister)) & kDoMask) != 0;
}

void EepromLink::delay_us(std::uint32_t us) {
  // Never shorter than asked: the chip's setup and clock times depend on it.
  clock_.busy_wait_ns(static_cast<std::int64_t>(us) * 1000);
}

void EepromLink::sleep_ms(int ms) {
  clock_.sleep_ns(static_cast<std::int64_t>(ms) * 1'000'000);
}

// Control bit 0 is inverted by the port: 0 drives the clock pin high.
void EepromLink::clock_pulse() {
  control_out(0);
  delay_100us(1);
  control_out(1);
  delay_100us(1);
}

void EepromLink::send_bit(bool bit) {
  data_out(bit ? kSelectBit1 : kSelectBit0);
  delay_100us(1);
  clock_pulse();
}

void EepromLink::send_command(std::uint16_t field) {
  data_out(kSelectBit1);  // start bit
  delay_100us(1);
  clock_pulse();
  for (int bit = 9; bit >= 0; --bit) send_bit(((field >> bit) & 1) != 0);
  data_out(kSelectBit0);
  delay_100us(1);
}

bool EepromLink::check_link() {
  // Start bit and the first opcode bit of a READ.
  data_out(kSelectBit1);
  delay_100us(1);
  clock_pulse();
  clock_pulse();
  // From here DI stays low: the rest of the opcode and an all-zero address.
  data_out(kSelectBit0);
  delay_100us(1);

  // A 93C56 keeps DO high through the opcode bit and the eight address bits
  // and drives its dummy zero right after the last one, so DO falls after
  // exactly the ninth pulse. Earlier or later means another chip or a line
  // held low; never means nothing is answering.
  int n = 8;
  while (n > -3) {
    clock_pulse();
    if (!data_out_high()) break;
    --n;
  }
  delay_100us(1);
  data_out(kDeselect);  // abandons the read
  delay_100us(1);
  return n == 0;
}

bool EepromLink::open_link() {
  control_out(1);
  sleep_ms(200);
  data_out(kDeselect);
  sleep_ms(100);
  return check_link();
}

void EepromLink::close_link() {
  data_out(kDeselect);
  control_out(1);
  sleep_ms(10);
  data_out(kRelease);
  sleep_ms(100);
}

void EepromLink::read_eeprom(image::Image& image) {
  send_command(kCmdRead0);
  // The chip reads on through all words while chip select stays high. The
  // dummy zero after the address is never sampled: each bit is read after
  // the pulse that shifts it out.
  for (std::size_t i = 0; i < image.size(); ++i) {
    if (advance_) advance_();
    std::uint8_t b = 0;
    for (int j = 0; j < 8; ++j) {
      clock_pulse();
      if (data_out_high()) b = static_cast<std::uint8_t>(b | (0x80 >> j));
    }
    image[i] = b;
  }
  data_out(kDeselect);
  delay_100us(1);
}

bool EepromLink::write_eeprom(const image::Image& image) {
  auto send_byte = [this](std::uint8_t b) {
    for (int j = 7; j >= 0; --j) send_bit(((b >> j) & 1) != 0);
  };
  // Deselecting ends the WRITE just sent, which starts the chip's own
  // programming cycle; 5 ms covers it, as the chip takes no command until
  // the cycle is over.
  auto deselect_and_let_program = [this] {
    data_out(kDeselect);
    delay_100us(50);
  };

  send_command(kCmdEwen);
  for (int w = 0; w < kWords; ++w) {
    if (advance_) advance_();
    deselect_and_let_program();
    send_command(static_cast<std::uint16_t>(kCmdWrite + w));
    send_byte(image[2 * static_cast<std::size_t>(w)]);
    send_byte(image[2 * static_cast<std::size_t>(w) + 1]);
  }
  // The last word needs the same pause: sent with chip select still high,
  // EWDS would only be trailing clocks of that WRITE, leaving the chip
  // write-enabled.
  deselect_and_let_program();
  send_command(kCmdEwds);
  data_out(kDeselect);
  delay_100us(1);
  return true;
}

}  // namespace q5::link
