// The simulated pager of --demo on a virtual clock, so that a test's reads
// and batches take no time, and a test run inside its scratch folder, so
// that file names are written as a user types them.
#pragma once

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli.h"
#include "link/emulated/emulated_access.h"
#include "link/emulated/emulated_pager.h"
#include "link/emulated/simulated_pager.h"
#include "link/port_io.h"

namespace q5::test {

class SimulatedBench {
 public:
  SimulatedBench() { port_.chip().load(link::SimulatedPager::factory_image()); }
  SimulatedBench(const SimulatedBench&) = delete;
  SimulatedBench& operator=(const SimulatedBench&) = delete;

  // Every cable choice reaches the simulated pager; one without --demo is a
  // test failure, as no real cable is to be had here.
  q5::cli::Environment environment() {
    q5::cli::Environment e;
    e.open_cable = [this](const q5::cli::CableChoice& choice) -> std::unique_ptr<q5::cli::OpenedCable> {
      ++cables_opened;
      if (!choice.simulated) ADD_FAILURE() << "a real cable was asked for";
      return std::make_unique<Cable>(lpt_[choice.lpt_index < 2 ? choice.lpt_index : 0]);
    };
    e.now = [] { return std::time_t{1'800'000'000}; };
    return e;
  }

  link::EmulatedPagerPort& port() { return port_; }
  int cables_opened = 0;

 private:
  class Cable final : public q5::cli::OpenedCable {
   public:
    explicit Cable(link::CableAccess& access) : access_(access) {}
    link::CableAccess& access() override { return access_; }

   private:
    link::CableAccess& access_;
  };

  link::VirtualClock clock_;
  link::EmulatedPagerPort port_{clock_, link::kLpt1Base};
  link::EmulatedLptAccess lpt_[2] = {{port_, clock_, 0}, {port_, clock_, 1}};
};

// Makes `path` the current folder while it lives.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::string& path) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(path);
  }
  ~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path old_;
};

}  // namespace q5::test
