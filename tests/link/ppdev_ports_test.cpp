// The ppdev ports where no parallel port can be had: the failure must say
// which device and why, and the ports must then behave as absent ones.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "link/ppdev_ports.h"

namespace q5::link {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PpdevPorts, FailureNamesTheDeviceTheErrorAndTheRemedyAndPortsFloatHigh) {
  struct Case {
    const char* name;
    std::string device;
    int error;
    const char* remedy;
  };
  const fs::path dir = fs::temp_directory_path() / ("q5_ppdev_test_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const auto plain_file = [&dir](const char* name, fs::perms perms) {
    std::ofstream(dir / name) << "not a port";
    fs::permissions(dir / name, perms);
    return (dir / name).string();
  };
  const std::string missing = (dir / "parport-missing").string();
  const Case cases[] = {
      {"no such device", missing, ENOENT, "sudo modprobe ppdev"},
      {"not a parallel port", plain_file("plain", fs::perms::owner_read | fs::perms::owner_write), ENOTTY, ""},
      {"permission refused", plain_file("locked", fs::perms::none), EACCES, "sudo adduser $USER lp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.error == EACCES && ::geteuid() == 0) continue;  // root opens anything
    PpdevPorts ports(c.device, missing);
    EXPECT_FALSE(ports.open_all());
    EXPECT_FALSE(ports.is_open(0));
    const std::string& text = ports.failures();
    EXPECT_TRUE(contains(text, c.device + " (LPT1, 0x378)")) << text;
    EXPECT_TRUE(contains(text, std::strerror(c.error))) << text;
    EXPECT_TRUE(contains(text, c.remedy)) << text;
    // Both devices are reported, one line each.
    EXPECT_TRUE(contains(text, "\n" + missing + " (LPT2, 0x278)")) << text;

    // Ports not opened read as nothing attached, and writes to them go nowhere.
    for (std::uint16_t base : {kLpt1Base, kLpt2Base}) {
      for (std::uint16_t reg : {kDataRegister, kStatusRegister, kControlRegister}) {
        const auto port = static_cast<std::uint16_t>(base + reg);
        ports.port_out(port, 0x00);
        EXPECT_EQ(ports.port_in(port), 0xFF) << std::hex << port;
      }
    }
    ports.close_all();
    EXPECT_EQ(ports.port_in(kLpt1Base + kStatusRegister), 0xFF);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace q5::link
