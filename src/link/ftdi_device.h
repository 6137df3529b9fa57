// The few calls of the USB library that the USB cable makes, as an interface:
// the real board goes through libftdi1 (libftdi_device.h), the tests put an
// emulated board behind it (emulated_mpsse.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace q5::link {

constexpr std::uint16_t kFtdiVendor = 0x0403;
constexpr std::uint16_t kFt232hProduct = 0x6014;
// The FT2232H, and the older FT2232C/D, which lack the high-speed commands.
constexpr std::uint16_t kFt2232Product = 0x6010;

// The chip on an open board, as the library tells it from the device.
enum class FtdiChip { ft232h, ft2232h, ft2232cd, other };

enum class FtdiOpen {
  opened,
  not_found,          // no board with that ID (and serial number), or fewer than asked for
  permission_denied,  // found, but this user may not open it
  busy,               // found, but another program has claimed it
  failed,             // any other reason: error() gives it
};

enum class FtdiMode { reset, mpsse };

enum class FtdiTransfer { ok, timed_out, failed };

class FtdiDevice {
 public:
  virtual ~FtdiDevice() = default;

  // Interface A of the `index`th board (0 the first) with USB ID
  // 0403:`product` and, unless it is empty, the serial number `serial`:
  // reset, its buffers emptied, each transfer bounded in time.
  virtual FtdiOpen open(std::uint16_t product, const std::string& serial, int index) = 0;
  // What chip the open board carries.
  virtual FtdiChip chip() const = 0;
  // Leaves the engine (reset: the pins go back to their serial-port roles)
  // or starts it with every pin an input.
  virtual bool set_mode(FtdiMode mode) = 0;
  virtual FtdiTransfer write(std::span<const std::uint8_t> data) = 0;
  // All of `data`, or timed_out once `timeout` passed before it arrived.
  virtual FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) = 0;
  virtual void close() = 0;
  // What went wrong last, in the library's words.
  virtual std::string error() const = 0;
};

}  // namespace q5::link
