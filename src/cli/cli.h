// q5prog-cli: configuration files and pagers from the command line, on the
// same form and rules as the window.
#pragma once

#include <chrono>
#include <ctime>
#include <thread>
#include <functional>
#include <iosfwd>
#include <memory>

#include "cli/cable_choice.h"

namespace q5::cli {

// Exit statuses.
enum Status : int {
  kSuccess = 0,
  kDifferent = 1,      // diff: the files differ
  kPagerFailed = 1,    // read, write: link, verify, model or port-in-use error
  kRefused = 2,        // usage, a refused or unwritable file, a refused value
  kFileNotStepped = 3,  // write: a pager verified, but FILE not saved again
  kEndedEarly = 4       // write: the batch ended early (end of input, Ctrl-C)
};

// True once the technician pressed Ctrl-C while a batch waits for the next
// pager (the wait watches for it; elsewhere Ctrl-C ends the program).
bool interrupted_by_user();

// What the commands take from the machine, so that tests can give them
// an emulated pager and a fixed clock.
struct Environment {
  CableOpener open_cable = cli::open_cable;
  // A progress bar on the error stream (only when it is a terminal).
  bool progress_bar = false;
  std::function<std::time_t()> now = [] { return std::time(nullptr); };
  // The pause between the hands-free batch's link checks, and whether the
  // technician asked to stop; tests give a virtual clock and a schedule.
  std::function<void(std::chrono::nanoseconds)> pause = [](std::chrono::nanoseconds d) {
    std::this_thread::sleep_for(d);
  };
  std::function<bool()> interrupted = interrupted_by_user;
};

// The whole program: parses the command line, runs the command, returns
// the exit status. Results go to `out`, warnings, errors and prompts to
// `err`; `in` answers the prompts between pagers.
int run_cli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in,
            const Environment& environment);

// The same on the machine's cables; the progress bar is shown when `err`
// is the process's standard error and that is a terminal.
int run_cli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in);

}  // namespace q5::cli
