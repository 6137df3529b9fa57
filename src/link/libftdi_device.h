// The real board, through libftdi1 (and libusb under it). The library's
// own types stay in the source file.
#pragma once

#include <chrono>
#include <string>

#include "ftdi_device.h"

struct ftdi_context;

namespace q5::link {

class LibFtdiDevice final : public FtdiDevice {
 public:
  // How long one USB transfer may take before it counts as failed.
  static constexpr std::chrono::milliseconds kUsbTimeout{1000};
  // The board sends what it has at least this often (ms): with "send
  // immediate" it does not wait for it, but a read that polls sees
  // nothing-yet this quickly.
  static constexpr unsigned char kLatencyMs = 1;

  LibFtdiDevice() = default;
  ~LibFtdiDevice() override;
  LibFtdiDevice(const LibFtdiDevice&) = delete;
  LibFtdiDevice& operator=(const LibFtdiDevice&) = delete;

  FtdiOpen open(std::uint16_t product, const std::string& serial, int index) override;
  FtdiChip chip() const override;
  bool set_mode(FtdiMode mode) override;
  FtdiTransfer write(std::span<const std::uint8_t> data) override;
  FtdiTransfer read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) override;
  void close() override;
  std::string error() const override { return error_; }

 private:
  // How long the look at a board whose transfer failed may take.
  static constexpr std::chrono::milliseconds kProbeTimeout{200};

  FtdiOpen failed(const char* what);
  FtdiTransfer transfer_failed();
  bool prepare_opened();

  ftdi_context* context_ = nullptr;
  bool open_ = false;
  std::string error_;
};

}  // namespace q5::link
