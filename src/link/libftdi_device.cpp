#include "libftdi_device.h"

#include <ftdi.h>
#include <libusb.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "usb_access.h"

namespace q5::link {

namespace {

// libftdi's answers from ftdi_usb_open_dev() that mean another program
// has the interface (or the configuration) in use, and that the kernel's
// serial driver could not be detached for want of permission.
constexpr int kOpenConfigurationBusy = -3;
constexpr int kOpenClaimFailed = -5;
constexpr int kOpenNoPermission = -8;

constexpr std::size_t kSerialLength = 128;

// The device node libusb opens. A node this user may not open read-write is
// what the udev rule fixes; libftdi itself only says that opening failed.
bool permission_denied(libusb_device* device) {
  char path[64];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(device),
                libusb_get_device_address(device));
  return ::access(path, R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

class DeviceList {
 public:
  ~DeviceList() { ftdi_list_free(&head); }
  ftdi_device_list* head = nullptr;
};

// Whether `device` is one to count among the boards asked for: any board
// without a serial number asked for; else the one with it, or one whose
// number this user may not read (it may be the one, and opening it will
// say why it cannot be used).
bool candidate(ftdi_context* context, libusb_device* device, const std::string& serial) {
  if (serial.empty()) return true;
  char found[kSerialLength] = {};
  if (ftdi_usb_get_strings(context, device, nullptr, 0, nullptr, 0, found, sizeof found) < 0) {
    return permission_denied(device);
  }
  return serial == found;
}

}  // namespace

LibFtdiDevice::~LibFtdiDevice() { close(); }

FtdiOpen LibFtdiDevice::failed(const char* what) {
  error_ = std::string(what) + ": " + ftdi_get_error_string(context_);
  close();
  return FtdiOpen::failed;
}

FtdiOpen LibFtdiDevice::open(std::uint16_t product, const std::string& serial, int index) {
  close();
  context_ = ftdi_new();
  if (context_ == nullptr) {
    error_ = "libftdi could not be set up";
    return FtdiOpen::failed;
  }
  // Opening resets the board with a control transfer: bounded too.
  context_->usb_read_timeout = static_cast<int>(kUsbTimeout.count());
  context_->usb_write_timeout = static_cast<int>(kUsbTimeout.count());
  if (ftdi_set_interface(context_, INTERFACE_A) < 0) return failed("interface A");

  DeviceList list;
  if (ftdi_usb_find_all(context_, &list.head, kFtdiVendor, product) < 0) return failed("listing USB devices");
  int skip = index;
  for (ftdi_device_list* entry = list.head; entry != nullptr; entry = entry->next) {
    if (!candidate(context_, entry->dev, serial) || skip-- > 0) continue;
    if (permission_denied(entry->dev)) {
      close();
      error_ = "permission denied";
      return FtdiOpen::permission_denied;
    }
    switch (ftdi_usb_open_dev(context_, entry->dev)) {
      case 0:
        break;
      case kOpenConfigurationBusy:
      case kOpenClaimFailed:
        failed("opening");
        return FtdiOpen::busy;
      case kOpenNoPermission:
        failed("opening");
        return FtdiOpen::permission_denied;
      default:
        return failed("opening");
    }
    open_ = true;
    if (ftdi_usb_reset(context_) < 0) return failed("reset");
    if (ftdi_tcioflush(context_) < 0) return failed("emptying its buffers");
    if (ftdi_set_latency_timer(context_, kLatencyMs) < 0) return failed("latency timer");
    return FtdiOpen::opened;
  }
  close();
  return FtdiOpen::not_found;
}

FtdiChip LibFtdiDevice::chip() const {
  if (context_ == nullptr || !open_) return FtdiChip::other;
  switch (context_->type) {
    case TYPE_232H: return FtdiChip::ft232h;
    case TYPE_2232H: return FtdiChip::ft2232h;
    case TYPE_2232C: return FtdiChip::ft2232cd;
    default: return FtdiChip::other;
  }
}

bool LibFtdiDevice::set_mode(FtdiMode mode) {
  if (!open_) {
    error_ = "the board is not open";
    return false;
  }
  const unsigned char bitmode = mode == FtdiMode::mpsse ? BITMODE_MPSSE : BITMODE_RESET;
  if (ftdi_set_bitmode(context_, 0, bitmode) < 0) {
    error_ = ftdi_get_error_string(context_);
    return false;
  }
  return true;
}

// libftdi gives every failed bulk write as -1 and some failed reads without
// libusb's code: whether the board is still on the bus then tells a board
// that stopped answering (timed_out) from one that is gone (failed). A
// standard GET_STATUS on the control endpoint answers for any device that
// is there.
FtdiTransfer LibFtdiDevice::transfer_failed() {
  error_ = ftdi_get_error_string(context_);
  unsigned char status[2] = {};
  const int probe = libusb_control_transfer(context_->usb_dev, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_STATUS, 0, 0,
                                            status, sizeof status, static_cast<unsigned>(kProbeTimeout.count()));
  if (probe == LIBUSB_ERROR_NO_DEVICE) return FtdiTransfer::failed;
  error_ += " (the board is still on the bus)";
  return FtdiTransfer::timed_out;
}

FtdiTransfer LibFtdiDevice::write(std::span<const std::uint8_t> data) {
  if (!open_) {
    error_ = "the board is not open";
    return FtdiTransfer::failed;
  }
  const int size = static_cast<int>(data.size());
  if (ftdi_write_data(context_, data.data(), size) != size) return transfer_failed();
  return FtdiTransfer::ok;
}

FtdiTransfer LibFtdiDevice::read(std::span<std::uint8_t> data, std::chrono::milliseconds timeout) {
  if (!open_) {
    error_ = "the board is not open";
    return FtdiTransfer::failed;
  }
  // A read gives what has come so far, often nothing: each try waits for
  // the board's next packet, which comes within the latency time.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t got = 0;
  while (got < data.size()) {
    const int now = ftdi_read_data(context_, data.data() + got, static_cast<int>(data.size() - got));
    if (now == LIBUSB_ERROR_TIMEOUT) {
      error_ = "timed out";
      return FtdiTransfer::timed_out;
    }
    if (now == LIBUSB_ERROR_NO_DEVICE) {
      error_ = ftdi_get_error_string(context_);
      return FtdiTransfer::failed;
    }
    if (now < 0) return transfer_failed();
    got += static_cast<std::size_t>(now);
    if (got < data.size() && std::chrono::steady_clock::now() >= deadline) {
      error_ = "timed out";
      return FtdiTransfer::timed_out;
    }
  }
  return FtdiTransfer::ok;
}

void LibFtdiDevice::close() {
  if (context_ == nullptr) return;
  if (open_) ftdi_usb_close(context_);
  ftdi_free(context_);
  context_ = nullptr;
  open_ = false;
}

// ------------------------------------------------------------ the real cable

namespace {

// A board through libftdi1 and the cable on it, in one object: the device
// outlives the access, which gives the board back as it goes.
class LibFtdiCableAccess final : public CableAccess {
 public:
  LibFtdiCableAccess(Clock& clock, std::string serial) : access_(device_, clock, std::move(serial)) {}

  std::string name() const override { return access_.name(); }
  Claim claim() override { return access_.claim(); }
  void release() override { access_.release(); }
  Cable& cable() override { return access_.cable(); }

 private:
  LibFtdiDevice device_;
  UsbCableAccess access_;
};

}  // namespace

std::unique_ptr<CableAccess> make_usb_cable_access(Clock& clock, std::string serial) {
  return std::make_unique<LibFtdiCableAccess>(clock, std::move(serial));
}

}  // namespace q5::link
