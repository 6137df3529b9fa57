// The ppdev ports where no parallel port can be had: what the window logs
// about ports that would not open, ports that then behave as absent ones,
// and a claim that gives up on a port held elsewhere instead of hanging.
#include "link/ppdev_ports.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace q5::link {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kLpt1 = "LPT1 (/dev/parport0)";
constexpr const char* kLpt2 = "LPT2 (/dev/parport1)";

TEST(PpdevStartUpLog, NamesEachPortThatWouldNotOpenAndWhatToDo) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    int lpt1, lpt2;  // errno of each open, 0 when it opened
    bool any_opened;
    Lines lines;
  };
  const Case cases[] = {
      {"both open", 0, 0, true, {}},
      {"no second port", 0, ENOENT, true, {}},
      {"second port refused",
       0,
       EACCES,
       true,
       {"LPT2 (/dev/parport1): Permission denied - add yourself to the group lp"}},
      {"first port not permitted",
       EPERM,
       0,
       true,
       {"LPT1 (/dev/parport0): Operation not permitted - add yourself to the group lp"}},
      {"second port without hardware", 0, ENODEV, true, {"LPT2 (/dev/parport1): No such device"}},
      // No device at all: one line that says what to try next.
      {"ppdev not loaded",
       ENOENT,
       ENOENT,
       false,
       {"No parallel port: LPT1, LPT2 - is the ppdev module loaded? Choose LPT > USB for a USB cable, or start "
        "q5prog-demo to try the program."}},
      {"refused, and no second port",
       EACCES,
       ENOENT,
       false,
       {"LPT1 (/dev/parport0): Permission denied - add yourself to the group lp",
        "LPT2 (/dev/parport1): No such file or directory - is the ppdev module loaded?"}},
      {"busy, and no second port",
       EBUSY,
       ENOENT,
       false,
       {"LPT1 (/dev/parport0): Device or resource busy",
        "LPT2 (/dev/parport1): No such file or directory - is the ppdev module loaded?"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<PortOpening> openings{{kLpt1, c.lpt1}, {kLpt2, c.lpt2}};
    EXPECT_EQ(port_opening_log(openings), c.lines);
    EXPECT_EQ(any_port_opened(openings), c.any_opened);
  }
}

// A port chosen for a command is judged alone: its missing device is worth
// the ppdev hint even when the other port opened, and never becomes the
// start-up's "No parallel port" line.
TEST(PpdevStartUpLog, AChosenPortSaysWhyItCannotBeUsed) {
  const std::pair<PortOpening, std::vector<std::string>> cases[] = {
      {{kLpt1, 0}, {}},
      {{kLpt1, ENOENT}, {"LPT1 (/dev/parport0): No such file or directory - is the ppdev module loaded?"}},
      {{kLpt2, EACCES}, {"LPT2 (/dev/parport1): Permission denied - add yourself to the group lp"}},
      {{kLpt2, ENODEV}, {"LPT2 (/dev/parport1): No such device"}},
  };
  for (const auto& [port, lines] : cases) {
    SCOPED_TRACE(port.name + " " + std::to_string(port.error));
    EXPECT_EQ(port_problem(port), lines);
  }
}

// A pipe that nobody writes stands in for a port another program holds:
// reading it blocks like PPCLAIM, until a signal or a byte arrives.
class HeldPort {
 public:
  HeldPort() { EXPECT_EQ(::pipe(fds_), 0); }
  ~HeldPort() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  BlockingClaim claim() const {
    return [fd = fds_[0]](int) {
      char byte = 0;
      return ::read(fd, &byte, 1) == 1 ? 0 : -1;
    };
  }
  void let_go() const { EXPECT_EQ(::write(fds_[1], "x", 1), 1); }

 private:
  int fds_[2] = {-1, -1};
};

TEST(PpdevClaim, GivesUpOnAPortHeldElsewhereAndTakesAFreeOne) {
  HeldPort held;
  const BlockingClaim free_port = [](int) { return 0; };
  const BlockingClaim no_port = [](int) {
    errno = ENXIO;
    return -1;
  };
  struct Case {
    const char* name;
    BlockingClaim claim;
    ClaimStatus status;
    std::string cause;
  };
  const Case cases[] = {
      {"free", free_port, ClaimStatus::claimed, ""},
      {"held for good", held.claim(), ClaimStatus::in_use,
       "LPT1 (/dev/parport0): still held by another program after 0.05 s"},
      {"no port behind the device", no_port, ClaimStatus::unavailable,
       "LPT1 (/dev/parport0): No such device or address"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Claim claim = claim_within(c.claim, 3, 50ms, kLpt1);
    EXPECT_EQ(claim.status, c.status);
    EXPECT_EQ(claim.cause, c.cause);
  }
}

TEST(PpdevClaim, TakesThePortWhenTheOtherProgramLetsGoInTime) {
  HeldPort held;
  std::thread other([&held] {
    std::this_thread::sleep_for(20ms);
    held.let_go();
  });
  EXPECT_EQ(claim_within(held.claim(), 3, 10s, kLpt1).status, ClaimStatus::claimed);
  other.join();
}

// A thread that blocks signals (as some libraries' threads do) must still
// have its claim cut short, and keeps its mask afterwards.
TEST(PpdevClaim, IsBoundedEvenWhereTheTimerSignalIsBlocked) {
  HeldPort held;
  sigset_t blocked, before, after;
  sigfillset(&blocked);
  pthread_sigmask(SIG_BLOCK, &blocked, &before);
  const Claim claim = claim_within(held.claim(), 3, 30ms, kLpt1);
  pthread_sigmask(SIG_SETMASK, &before, &after);
  EXPECT_EQ(claim.status, ClaimStatus::in_use);
  EXPECT_EQ(sigismember(&after, SIGRTMIN), 1);
  // Nothing of the claim's timer is left to interrupt what comes next.
  sigset_t pending;
  sigpending(&pending);
  EXPECT_EQ(sigismember(&pending, SIGRTMIN), 0);
}

class PpdevPortsTest : public ::testing::Test {
 protected:
  PpdevPortsTest() { fs::create_directories(dir); }
  ~PpdevPortsTest() override { fs::remove_all(dir); }

  std::string plain_file(const char* name, fs::perms perms) {
    std::ofstream(dir / name) << "not a port";
    fs::permissions(dir / name, perms);
    return (dir / name).string();
  }
  std::string missing() const { return (dir / "parport-missing").string(); }
  static std::string name(int lpt, const std::string& device) {
    return "LPT" + std::to_string(lpt) + " (" + device + ")";
  }

  const fs::path dir = fs::temp_directory_path() / ("q5_ppdev_test_" + std::to_string(::getpid()));
  VirtualClock clock;
};

// Start-up opens without claiming; the claim tells what is wrong with the
// device; and ports that cannot be used read as nothing attached, writes
// to them going nowhere.
TEST_F(PpdevPortsTest, FailureNamesTheDeviceTheErrorAndTheRemedyAndPortsFloatHigh) {
  struct Case {
    const char* name;
    std::string device;
    int open_error;
    std::string claim_cause;  // the device's part after "LPTn (path): "
    std::string log;          // LPT1's start-up line (LPT2 is missing)
  };
  const auto rw = fs::perms::owner_read | fs::perms::owner_write;
  const Case cases[] = {
      {"no such device", missing(), ENOENT, "No such file or directory",
       "No such file or directory - is the ppdev module loaded?"},
      {"not a parallel port", plain_file("plain", rw), 0, "Inappropriate ioctl for device", ""},
      {"permission refused", plain_file("locked", fs::perms::none), EACCES, "Permission denied",
       "Permission denied - add yourself to the group lp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.open_error == EACCES && ::geteuid() == 0) continue;  // root opens anything
    PpdevPorts ports(clock, {{c.device, missing()}, ppdev_claim, 50ms});
    ASSERT_EQ(ports.openings().size(), 2u);
    EXPECT_EQ(ports.openings()[0].error, c.open_error);
    EXPECT_EQ(ports.is_open(0), c.open_error == 0);
    EXPECT_EQ(ports.openings()[1].error, ENOENT);

    std::vector<std::string> log;
    if (c.open_error == ENOENT) {
      log.push_back("No parallel port: LPT1, LPT2 - is the ppdev module loaded? Choose LPT > USB for a USB cable, "
                    "or start q5prog-demo to try the program.");
    } else {
      if (!c.log.empty()) log.push_back(name(1, c.device) + ": " + c.log);
      if (c.open_error != 0)
        log.push_back(name(2, missing()) + ": No such file or directory - is the ppdev module loaded?");
    }
    EXPECT_EQ(port_opening_log(ports.openings()), log);

    const Claim lpt1 = ports.access(0).claim();
    EXPECT_EQ(lpt1.status, ClaimStatus::unavailable);
    EXPECT_EQ(lpt1.cause, name(1, c.device) + ": " + c.claim_cause);
    const Claim lpt2 = ports.access(1).claim();
    EXPECT_EQ(lpt2.status, ClaimStatus::unavailable);
    EXPECT_EQ(lpt2.cause, name(2, missing()) + ": No such file or directory");
    EXPECT_EQ(ports.access(1).name(), name(2, missing()));

    for (std::uint16_t base : {kLpt1Base, kLpt2Base}) {
      for (std::uint16_t reg : {kDataRegister, kStatusRegister, kControlRegister}) {
        const auto port = static_cast<std::uint16_t>(base + reg);
        ports.port_out(port, 0x00);
        EXPECT_EQ(ports.port_in(port), 0xFF) << std::hex << port;
      }
    }
  }
}

// The claim behind each port is the one the options give, bounded by their
// time-out.
TEST_F(PpdevPortsTest, ClaimsThroughTheGivenClaimAndTimeOut) {
  HeldPort held;
  const std::string device = plain_file("port", fs::perms::owner_read | fs::perms::owner_write);
  PpdevPorts ports(clock, {{device, device}, held.claim(), 30ms});
  const Claim refused = ports.access(1).claim();
  EXPECT_EQ(refused.status, ClaimStatus::in_use);
  EXPECT_EQ(refused.cause, name(2, device) + ": still held by another program after 0.03 s");
  held.let_go();
  EXPECT_EQ(ports.access(1).claim().status, ClaimStatus::claimed);
  ports.access(1).release();
}

// The kernel's side of one parallel port, as parport and ppdev keep it: each
// open device is registered; claiming a port someone else holds puts the
// device on the port's wait list and sleeps; a signal ends the sleep with
// EINTR but leaves the device on the list; letting go of the port hands it
// to the first device on the list, whether or not anyone still waits;
// closing a device takes it off the list and gives back a port it held.
class KernelPort {
 public:
  static constexpr int kNobody = -1;
  static constexpr int kPrintJob = -2;

  KernelPort() { EXPECT_EQ(::pipe(sleep_), 0); }
  ~KernelPort() {
    ::close(sleep_[0]);
    ::close(sleep_[1]);
  }

  void print_job_takes_it() { owner_ = kPrintJob; }
  void print_job_lets_go() {
    if (owner_ == kPrintJob) hand_on();
  }
  int owner() const { return owner_; }

  PpdevOptions options(const std::string& device, std::chrono::nanoseconds timeout) {
    PpdevOptions o;
    o.devices = {device, device};
    o.claim = [this](int fd) {
      if (owner_ == kNobody || owner_ == fd) {
        owner_ = fd;
        return 0;
      }
      if (std::find(waiting_.begin(), waiting_.end(), fd) == waiting_.end()) waiting_.push_back(fd);
      char byte = 0;
      if (::read(sleep_[0], &byte, 1) < 0) return -1;  // EINTR: still on the list
      return -1;
    };
    o.claim_timeout = timeout;
    o.open = [](const std::string&) { return ::open("/dev/null", O_RDWR | O_CLOEXEC); };
    o.close = [this](int fd) {
      waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), fd), waiting_.end());
      if (owner_ == fd) hand_on();
      ::close(fd);
    };
    o.release = [this](int fd) {
      if (owner_ == fd) hand_on();
    };
    return o;
  }

 private:
  void hand_on() {
    owner_ = kNobody;
    if (waiting_.empty()) return;
    owner_ = waiting_.front();
    waiting_.erase(waiting_.begin());
  }

  int sleep_[2] = {-1, -1};
  int owner_ = kNobody;
  std::vector<int> waiting_;
};

// q5prog gave up on a port a print job held. When the print job ends, the
// port must not go to q5prog's forgotten claim: nothing would ever give it
// back, and every later print job would block until the next pager command.
TEST(PpdevClaim, GivenUpLeavesNoWaiterForThePortToGoTo) {
  VirtualClock clock;
  KernelPort kernel;
  kernel.print_job_takes_it();
  PpdevPorts ports(clock, kernel.options("/dev/parport-under-test", 30ms));
  ASSERT_TRUE(ports.is_open(0));

  EXPECT_EQ(ports.access(0).claim().status, ClaimStatus::in_use);
  EXPECT_TRUE(ports.is_open(0)) << "the device opened again";
  kernel.print_job_lets_go();
  EXPECT_EQ(kernel.owner(), KernelPort::kNobody);

  // The next pager command gets the port, and gives it back.
  EXPECT_EQ(ports.access(0).claim().status, ClaimStatus::claimed);
  EXPECT_NE(kernel.owner(), KernelPort::kNobody);
  ports.access(0).release();
  EXPECT_EQ(kernel.owner(), KernelPort::kNobody);
}

}  // namespace
}  // namespace q5::link
