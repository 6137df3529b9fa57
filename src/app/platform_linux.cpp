// The window's platform on a catalogue of cables.
#include <cstdio>
#include <memory>

#include "app/platform.h"

namespace {

class CablesPlatform final : public Platform {
 public:
  explicit CablesPlatform(std::unique_ptr<q5::jobs::Cables> cables) : cables_(std::move(cables)) {}

  q5::jobs::PortsOpened open_ports() override {
    q5::jobs::PortsOpened opened = cables_->open_ports();
    // Also for whoever started the program from a terminal.
    for (const std::string& problem : opened.problems) std::fprintf(stderr, "%s\n", problem.c_str());
    return opened;
  }
  void close_ports() override { cables_->close_ports(); }
  q5::link::CableAccess& access(const q5::jobs::CableChoice& choice) override { return cables_->access(choice); }
  std::vector<std::string> problems(const q5::jobs::CableChoice& choice) override { return cables_->problems(choice); }
  bool simulated() const override { return cables_->simulated(); }
  void timer_init() override {}

 private:
  std::unique_ptr<q5::jobs::Cables> cables_;
};

}  // namespace

std::unique_ptr<Platform> make_platform(std::unique_ptr<q5::jobs::Cables> cables) {
  return std::make_unique<CablesPlatform>(std::move(cables));
}

std::unique_ptr<Platform> make_linux_platform() { return make_platform(q5::jobs::make_machine_cables()); }
