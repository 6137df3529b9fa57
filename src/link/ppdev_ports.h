// The parallel ports through the kernel's ppdev driver: LPT1 (0x378) is
// /dev/parport0, LPT2 (0x278) is /dev/parport1. No direct port I/O.
#pragma once

#include <array>
#include <string>

#include "port_io.h"

namespace q5::link {

class PpdevPorts final : public PortIo {
 public:
  PpdevPorts();  // default device paths
  PpdevPorts(std::string lpt1_device, std::string lpt2_device);
  ~PpdevPorts() override;
  PpdevPorts(const PpdevPorts&) = delete;
  PpdevPorts& operator=(const PpdevPorts&) = delete;

  // Opens and claims (PPCLAIM) both devices. True when at least one could be
  // claimed. Each failure is described in failures(): which device, which
  // error and, for a refused permission, what to do about it.
  bool open_all();
  // Releases and closes whatever open_all() claimed.
  void close_all();
  const std::string& failures() const { return failures_; }
  bool is_open(int lpt_index) const;

  // Register access at base + 0 (data, PPWDATA), + 1 (status, PPRSTATUS),
  // + 2 (control, PPWCONTROL, the raw register value). A port whose device
  // is not open reads 0xFF (an absent port floats high) and ignores writes.
  std::uint8_t port_in(std::uint16_t port) override;
  void port_out(std::uint16_t port, std::uint8_t value) override;

 private:
  std::array<std::string, 2> paths_;
  std::array<int, 2> fds_{-1, -1};
  std::string failures_;
};

}  // namespace q5::link
