#include "cli/cable_choice.h"

#include <CLI/App.hpp>
#include <CLI/Validators.hpp>

#include "cli/option_values.h"
#include "link/port_io.h"
#include "link/ppdev_ports.h"
#include "link/emulated/simulated_pager.h"
#include "link/usb_access.h"

namespace q5::cli {

namespace {

class ParallelPort final : public OpenedCable {
 public:
  explicit ParallelPort(std::size_t lpt_index) : ports_(clock_), lpt_index_(lpt_index) {}
  link::CableAccess& access() override { return ports_.access(lpt_index_); }
  std::vector<std::string> problems() const override {
    if (ports_.is_open(lpt_index_)) return {};
    // Judged alone, the chosen port's missing device is worth a line even
    // when the other port opened.
    return link::port_opening_log({ports_.openings().at(lpt_index_)});
  }

 private:
  link::SteadyClock clock_;
  link::PpdevPorts ports_;
  std::size_t lpt_index_;
};

class UsbCable final : public OpenedCable {
 public:
  explicit UsbCable(const std::string& serial) : access_(link::make_usb_cable_access(clock_, serial)) {}
  link::CableAccess& access() override { return *access_; }

 private:
  link::SteadyClock clock_;
  std::unique_ptr<link::CableAccess> access_;
};

class Simulated final : public OpenedCable {
 public:
  explicit Simulated(std::size_t lpt_index) : lpt_index_(lpt_index) {}
  link::CableAccess& access() override { return pager_.lpt(lpt_index_); }

 private:
  link::SimulatedPager pager_;
  std::size_t lpt_index_;
};

}  // namespace

void add_cable_options(CLI::App& command, CableChoice& choice) {
  CLI::Option* lpt = command
                         .add_option_function<int>(
                             "--lpt", [&choice](int port) { choice.lpt_index = static_cast<std::size_t>(port - 1); },
                             "The parallel port of the cable: 1 for LPT1 (/dev/parport0, the default) or 2 for LPT2 "
                             "(/dev/parport1).")
                         ->option_text("1|2")
                         ->check(given_value())
                         ->check(CLI::IsMember({1, 2}));
  CLI::Option* usb = command.add_flag("--usb", choice.usb,
                                      "Use the USB cable: the first FT232H or FT2232H board found, FT232H first.");
  CLI::Option* usb_serial = command
                                .add_option_function<std::string>(
                                    "--usb-serial",
                                    [&choice](const std::string& serial) {
                                      choice.usb = true;
                                      choice.usb_serial = serial;
                                    },
                                    "Use the USB cable on the board with serial number S.")
                                ->option_text("S")
                                ->check(given_value());
  CLI::Option* demo = command.add_flag(
      "--demo", choice.simulated,
      "Use the simulated pager of q5prog-demo instead of a cable: a pager holding the factory settings (serial "
      "number 00000001) on LPT1, as fast as a real one.");
  for (CLI::Option* usb_option : {usb, usb_serial}) usb_option->excludes(lpt)->excludes(demo);
}

std::unique_ptr<OpenedCable> open_cable(const CableChoice& choice) {
  if (choice.simulated) return std::make_unique<Simulated>(choice.lpt_index);
  if (choice.usb) return std::make_unique<UsbCable>(choice.usb_serial);
  return std::make_unique<ParallelPort>(choice.lpt_index);
}

}  // namespace q5::cli
