#include "cli/cable_choice.h"

#include <CLI/App.hpp>
#include <CLI/Validators.hpp>

#include "cli/option_values.h"
#include "jobs/cables.h"

namespace q5::cli {

namespace {

// The chosen cable out of a bench's catalogue, kept alive with it.
class CatalogueCable final : public OpenedCable {
 public:
  CatalogueCable(std::unique_ptr<jobs::Cables> cables, jobs::CableChoice choice)
      : cables_(std::move(cables)), choice_(std::move(choice)) {}
  link::CableAccess& access() override { return cables_->access(choice_); }
  std::vector<std::string> problems() const override { return cables_->problems(choice_); }

 private:
  std::unique_ptr<jobs::Cables> cables_;
  jobs::CableChoice choice_;
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
      "number 00000001) on LPT1, and another on a simulated USB board (with --usb), as fast as real ones.");
  (void)demo;
  for (CLI::Option* usb_option : {usb, usb_serial}) usb_option->excludes(lpt);
}

std::unique_ptr<OpenedCable> open_cable(const CableChoice& choice) {
  std::unique_ptr<jobs::Cables> cables = choice.simulated ? jobs::make_simulated_cables() : jobs::make_machine_cables();
  const jobs::CableChoice chosen = choice.usb ? jobs::CableChoice::usb(choice.usb_serial)
                                              : jobs::CableChoice::lpt(choice.lpt_index);
  return std::make_unique<CatalogueCable>(std::move(cables), chosen);
}

}  // namespace q5::cli
