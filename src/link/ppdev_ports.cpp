#include "ppdev_ports.h"

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

// Older C libraries name the thread of a SIGEV_THREAD_ID timer only through
// the union member.
#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

namespace q5::link {

namespace {

constexpr const char* kGroupRemedy = " - add yourself to the group lp";
constexpr const char* kModuleRemedy = " - is the ppdev module loaded?";
constexpr const char* kNoPortNextSteps =
    " Choose LPT > USB for a USB cable, or start q5prog-demo to try the program.";

// Once the claim's time is up, the timer keeps signalling at this interval,
// so a claim retried after an unrelated signal cannot block for good.
constexpr std::int64_t kReinterruptNs = 50'000'000;
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

// The system's own English text, whatever the locale the window set: the
// rest of every log line is English too.
std::string system_text(int err) {
  const char* text = strerrordesc_np(err);
  return text != nullptr ? text : std::strerror(err);
}

std::int64_t monotonic_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

timespec to_timespec(std::int64_t ns) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(ns / kNsPerSecond);
  t.tv_nsec = static_cast<long>(ns % kNsPerSecond);
  return t;
}

std::string seconds_text(std::chrono::nanoseconds timeout) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", std::chrono::duration<double>(timeout).count());
  return text;
}

int claim_signal() { return SIGRTMIN; }

// Does nothing: it is there so that the signal interrupts the claim instead
// of ending the process. Installed without SA_RESTART, so the blocked call
// returns EINTR rather than being restarted.
void on_claim_timer(int) {}

void install_claim_handler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = on_claim_timer;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(claim_signal(), &action, nullptr);
  });
}

// A timer that signals the calling thread after `timeout`, and again every
// kReinterruptNs after that, for as long as it lives.
class ClaimTimer {
 public:
  explicit ClaimTimer(std::chrono::nanoseconds timeout) {
    install_claim_handler();
    sigset_t signal_only;
    sigemptyset(&signal_only);
    sigaddset(&signal_only, claim_signal());
    pthread_sigmask(SIG_UNBLOCK, &signal_only, &old_mask_);

    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = claim_signal();
    event.sigev_notify_thread_id = gettid();
    if (timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) {
      error_ = errno;
      return;
    }
    created_ = true;
    // A zero first expiry would disarm the timer instead of firing it.
    const std::int64_t first_ns = std::max<std::int64_t>(timeout.count(), 1);
    deadline_ns_ = monotonic_ns() + first_ns;
    itimerspec when{};
    when.it_value = to_timespec(first_ns);
    when.it_interval = to_timespec(kReinterruptNs);
    if (timer_settime(timer_, 0, &when, nullptr) != 0) error_ = errno;
  }

  ~ClaimTimer() {
    if (created_) timer_delete(timer_);
    pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
    // A signal that came after the claim returned, and that the restored
    // mask now blocks, would otherwise cut short some later call.
    sigset_t pending;
    sigpending(&pending);
    if (sigismember(&pending, claim_signal()) == 1) {
      sigset_t signal_only;
      sigemptyset(&signal_only);
      sigaddset(&signal_only, claim_signal());
      const timespec no_wait{};
      sigtimedwait(&signal_only, nullptr, &no_wait);
    }
  }
  ClaimTimer(const ClaimTimer&) = delete;
  ClaimTimer& operator=(const ClaimTimer&) = delete;

  int error() const { return error_; }
  bool expired() const { return monotonic_ns() >= deadline_ns_; }

 private:
  timer_t timer_{};
  bool created_ = false;
  int error_ = 0;
  std::int64_t deadline_ns_ = 0;
  sigset_t old_mask_{};
};

std::string opening_line(const PortOpening& port, bool none_opened) {
  std::string line = port.name + ": " + system_text(port.error);
  switch (port.error) {
    case EACCES:
    case EPERM:
      return line + kGroupRemedy;
    case ENOENT:
      return none_opened ? line + kModuleRemedy : std::string();
    default:
      return line;
  }
}

// ------------------------------------------------------------ start-up

// "LPT1" of "LPT1 (/dev/parport0)".
std::string short_name(const std::string& name) { return name.substr(0, name.find(" (")); }

}  // namespace

std::vector<std::string> port_opening_log(const std::vector<PortOpening>& openings) {
  const bool none_opened = !any_port_opened(openings);
  const bool all_missing = !openings.empty() && std::all_of(openings.begin(), openings.end(), [](const PortOpening& port) {
    return port.error == ENOENT;
  });
  if (all_missing) {
    // No device at all: one line, with what to try next.
    std::string names;
    for (const PortOpening& port : openings) names += (names.empty() ? "" : ", ") + short_name(port.name);
    return {"No parallel port: " + names + kModuleRemedy + kNoPortNextSteps};
  }
  std::vector<std::string> lines;
  for (const PortOpening& port : openings) {
    if (port.error == 0) continue;
    std::string line = opening_line(port, none_opened);
    if (!line.empty()) lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> port_problem(const PortOpening& port) {
  if (port.error == 0) return {};
  return {opening_line(port, true)};
}

bool any_port_opened(const std::vector<PortOpening>& openings) {
  for (const PortOpening& port : openings) {
    if (port.error == 0) return true;
  }
  return false;
}

// ------------------------------------------------------------ claiming

int ppdev_claim(int fd) { return ::ioctl(fd, PPCLAIM); }
int ppdev_open(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_CLOEXEC); }
void ppdev_close(int fd) { ::close(fd); }
void ppdev_release(int fd) { ::ioctl(fd, PPRELEASE); }

Claim claim_within(const BlockingClaim& claim, int fd, std::chrono::nanoseconds timeout, const std::string& name,
                   bool* interrupted) {
  if (interrupted != nullptr) *interrupted = false;
  const ClaimTimer timer(timeout);
  if (timer.error() != 0) {
    // Unbounded, a claim could hang the program: better not to claim.
    return {ClaimStatus::unavailable, name + ": cannot time the claim: " + system_text(timer.error())};
  }
  for (;;) {
    if (claim(fd) == 0) return {ClaimStatus::claimed, {}};
    const int err = errno;
    if (err != EINTR) return {ClaimStatus::unavailable, name + ": " + system_text(err)};
    if (interrupted != nullptr) *interrupted = true;
    if (timer.expired()) {
      return {ClaimStatus::in_use, name + ": still held by another program after " + seconds_text(timeout)};
    }
    // Some other signal: the time is not up yet, so wait on.
  }
}

// ------------------------------------------------------------ the ports

class PpdevPorts::Access final : public CableAccess {
 public:
  Access(PpdevPorts& ports, Clock& clock, std::size_t index)
      : ports_(ports), index_(index), cable_(ports, clock, [base = kLptPorts[index].base] { return base; }) {}
  ~Access() override { release(); }

  std::string name() const override { return ports_.openings_[index_].name; }

  Claim claim() override {
    const int fd = ports_.fds_[index_];
    if (fd < 0) return {ClaimStatus::unavailable, name() + ": " + system_text(ports_.openings_[index_].error)};
    if (claimed_) return {ClaimStatus::claimed, {}};
    bool interrupted = false;
    Claim claim = claim_within(ports_.options_.claim, fd, ports_.options_.claim_timeout, name(), &interrupted);
    if (claim.status != ClaimStatus::claimed) {
      // A claim cut short leaves this device waiting for the port in the
      // kernel: whoever holds it now would hand it over to us on letting
      // go, and nothing here would ever give it back, so that every later
      // print job blocked. Closing the device takes it off the wait list
      // (and gives back a port granted meanwhile).
      if (interrupted) ports_.reopen(index_);
      return claim;
    }
    claimed_ = true;
    // The data lines carry chip select and DI: they must drive.
    int forward = 0;
    ::ioctl(fd, PPDATADIR, &forward);
    return claim;
  }

  void release() override {
    if (!claimed_) return;
    ports_.options_.release(ports_.fds_[index_]);
    claimed_ = false;
  }

  Cable& cable() override { return cable_; }

 private:
  PpdevPorts& ports_;
  std::size_t index_;
  LptCable cable_;
  bool claimed_ = false;
};

PpdevPorts::PpdevPorts(Clock& clock, PpdevOptions options) : options_(std::move(options)) {
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    const std::string& device = options_.devices[i];
    fds_[i] = options_.open(device);
    const int error = fds_[i] < 0 ? errno : 0;
    openings_.push_back({lpt_cable_name({kLptPorts[i].name, device.c_str(), kLptPorts[i].base}), error});
    accesses_[i] = std::make_unique<Access>(*this, clock, i);
  }
}

PpdevPorts::~PpdevPorts() {
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    accesses_[i].reset();  // gives back a port still claimed
    if (fds_[i] >= 0) options_.close(fds_[i]);
  }
}

void PpdevPorts::reopen(std::size_t index) {
  if (fds_[index] >= 0) options_.close(fds_[index]);
  fds_[index] = options_.open(options_.devices[index]);
  openings_[index].error = fds_[index] < 0 ? errno : 0;
}

bool PpdevPorts::is_open(std::size_t lpt_index) const { return lpt_index < fds_.size() && fds_[lpt_index] >= 0; }

CableAccess& PpdevPorts::access(std::size_t lpt_index) { return *accesses_.at(lpt_index); }

namespace {

// Splits an I/O address into the port's index and the register offset;
// false for an address that belongs to neither port.
bool locate(std::uint16_t port, std::size_t& index, std::uint16_t& reg) {
  for (std::size_t i = 0; i < kLptPorts.size(); ++i) {
    const std::uint16_t base = kLptPorts[i].base;
    if (port >= base && port <= base + kControlRegister) {
      index = i;
      reg = static_cast<std::uint16_t>(port - base);
      return true;
    }
  }
  return false;
}

}  // namespace

std::uint8_t PpdevPorts::port_in(std::uint16_t port) {
  std::size_t i = 0;
  std::uint16_t reg = 0;
  if (!locate(port, i, reg) || fds_[i] < 0) return 0xFF;
  unsigned char value = 0xFF;
  unsigned long request = PPRSTATUS;
  if (reg == kDataRegister) request = PPRDATA;
  if (reg == kControlRegister) request = PPRCONTROL;
  if (::ioctl(fds_[i], request, &value) < 0) return 0xFF;
  return value;
}

void PpdevPorts::port_out(std::uint16_t port, std::uint8_t value) {
  std::size_t i = 0;
  std::uint16_t reg = 0;
  if (!locate(port, i, reg) || fds_[i] < 0) return;
  unsigned char v = value;
  // The status register is read-only.
  if (reg == kDataRegister) ::ioctl(fds_[i], PPWDATA, &v);
  if (reg == kControlRegister) ::ioctl(fds_[i], PPWCONTROL, &v);
}

}  // namespace q5::link
