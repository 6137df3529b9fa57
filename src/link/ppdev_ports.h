// The parallel ports through the kernel's ppdev driver: LPT1 (0x378) is
// /dev/parport0, LPT2 (0x278) is /dev/parport1. No direct port I/O.
//
// The devices are opened at start-up but claimed only while a pager command
// runs, so that a print job or a second q5prog can have the port in
// between; and a claim waits for the port about 2 s at most, so that a port
// held elsewhere never hangs the program.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lpt_cable.h"
#include "pager_session.h"
#include "port_io.h"

namespace q5::link {

// How opening one port's device went at start-up.
struct PortOpening {
  std::string name;  // "LPT1 (/dev/parport0)"
  int error = 0;     // errno of open(), 0 when it opened
};

// The window's start-up lines for the ports that could not be opened, in
// port order: "LPT2 (/dev/parport1): Permission denied - add yourself to
// the group lp", or the system's text alone for other errors. A missing
// device is normal for a second port and logged only when no port opened
// at all, then with "- is the ppdev module loaded?". When no port has a
// device at all, one line names them and what to try next: "No parallel
// port: LPT1, LPT2 - is the ppdev module loaded? Choose LPT > USB for a USB
// cable, or start q5prog-demo to try the program."
std::vector<std::string> port_opening_log(const std::vector<PortOpening>& openings);
// Why one chosen port cannot be used, judged alone (its missing device is
// worth the line even when the other port opened); empty when it opened.
std::vector<std::string> port_problem(const PortOpening& port);
// "Port init success." is logged when this holds.
bool any_port_opened(const std::vector<PortOpening>& openings);

// Takes a ppdev device for this process and blocks while another holds it.
// Returns 0, or -1 with errno set (EINTR when a signal cut it short).
using BlockingClaim = std::function<int(int fd)>;
int ppdev_claim(int fd);  // PPCLAIM

constexpr std::chrono::milliseconds kClaimTimeout{2000};

// Runs `claim` on `fd` and cuts it short after `timeout`: a timer signals
// the calling thread, whose handler lets the blocked call return EINTR.
// claimed, in_use when the time ran out, unavailable for any other error
// (the cause starts with `name`). *interrupted, when given, tells whether
// any try ended in EINTR: the kernel then leaves the device on the port's
// wait list, so that the port is handed to it later, to nobody's use,
// until the device is closed.
Claim claim_within(const BlockingClaim& claim, int fd, std::chrono::nanoseconds timeout, const std::string& name,
                   bool* interrupted = nullptr);

// Opening and closing a port's device, and giving a claimed port back: the
// kernel's calls unless a test puts its own in.
using DeviceOpen = std::function<int(const std::string& path)>;  // fd, or -1 with errno
using DeviceClose = std::function<void(int fd)>;
using PortRelease = std::function<void(int fd)>;
int ppdev_open(const std::string& path);  // open(), read-write
void ppdev_close(int fd);                 // close()
void ppdev_release(int fd);               // PPRELEASE

struct PpdevOptions {
  std::array<std::string, 2> devices{kLptPorts[0].device, kLptPorts[1].device};
  BlockingClaim claim = ppdev_claim;
  std::chrono::nanoseconds claim_timeout = kClaimTimeout;
  DeviceOpen open = ppdev_open;
  DeviceClose close = ppdev_close;
  PortRelease release = ppdev_release;
};

class PpdevPorts final : public PortIo {
 public:
  // Opens both devices, without claiming them.
  explicit PpdevPorts(Clock& clock, PpdevOptions options = {});
  ~PpdevPorts() override;
  PpdevPorts(const PpdevPorts&) = delete;
  PpdevPorts& operator=(const PpdevPorts&) = delete;

  // LPT1 and LPT2, in that order.
  const std::vector<PortOpening>& openings() const { return openings_; }
  bool is_open(std::size_t lpt_index) const;

  // The cable on a port. claim() gives unavailable, with the error of the
  // open, for a device that did not open; after a claim the data lines
  // drive (PPDATADIR forward). A claim that was cut short closes the device
  // and opens it again, so that the port is not handed to it afterwards.
  CableAccess& access(std::size_t lpt_index);

  // Register access at base + 0 (data, PPWDATA), + 1 (status, PPRSTATUS),
  // + 2 (control, PPWCONTROL, the raw register value). A port that is not
  // open, or not claimed, reads 0xFF (an absent port floats high) and
  // ignores writes.
  std::uint8_t port_in(std::uint16_t port) override;
  void port_out(std::uint16_t port, std::uint8_t value) override;

 private:
  class Access;

  // Closes port `index`'s device and opens it anew; openings() then tells
  // how the new opening went.
  void reopen(std::size_t index);

  PpdevOptions options_;
  std::array<int, 2> fds_{-1, -1};
  std::vector<PortOpening> openings_;
  std::array<std::unique_ptr<Access>, 2> accesses_;
};

}  // namespace q5::link
