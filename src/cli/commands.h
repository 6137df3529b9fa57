// The subcommands, each given its parsed options.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/cable_choice.h"
#include "cli/cli.h"
#include "register/register.h"

namespace q5::cli {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
};

// The global --register and --no-register, given before the command.
struct RegisterChoice {
  std::optional<std::string> value;  // --register URI|PATH
  bool none = false;                 // --no-register
  // Resolved against $Q5PROG_REGISTER and the default file (the simulated
  // pager's with `simulated`). Throws reg::RegisterError (a password in the URI).
  reg::Location location(bool simulated) const;
};

struct ShowOptions {
  std::string file;
  bool json = false;
};
int show(const ShowOptions& options, Streams streams);

struct DiffOptions {
  std::string a;
  std::string b;
  bool json = false;
};
int diff(const DiffOptions& options, Streams streams);

struct SetOptions {
  std::string file;
  std::vector<std::string> assignments;  // NAME=VALUE
  bool fresh = false;                    // --new: the defaults, not FILE
  bool force = false;                    // --new may replace a file that exists
  std::string out;                       // empty: FILE itself
};
int set(const SetOptions& options, Streams streams);

struct ReadOptions {
  std::string out;
  CableChoice cable;
  RegisterChoice register_choice;
};
int read(const ReadOptions& options, Streams streams, const Environment& environment);

constexpr int kAddressRows = 4;

struct WriteOptions {
  std::string file;
  CableChoice cable;
  int count = 1;
  std::array<int, kAddressRows> offsets{};  // sc_autoinc1 to 4
  bool auto_serial = false;                 // the serial's "Auto" box
  std::string log;                          // the batch log; empty: none
  RegisterChoice register_choice;
  bool all_words = false;                                         // every word, not only those that differ
  std::array<std::optional<std::string>, kAddressRows> allocate;  // --allocate N=POOL
  bool allocate_serial = false;
  bool reassign = false;
  // Instead of waiting for Enter, watch the link: the pager taken off, the
  // next one connected.
  bool hands_free = false;
};
int write(const WriteOptions& options, Streams streams, const Environment& environment);

// register: pools, look-ups, restore and export of the pager register.
struct RegisterCommand;  // its parsed options, in register_commands.cpp
struct RegisterCommandDeleter {
  void operator()(RegisterCommand* command) const;
};
using RegisterCommandPtr = std::unique_ptr<RegisterCommand, RegisterCommandDeleter>;
// Adds `register` and its subcommands to the program.
RegisterCommandPtr add_register_command(CLI::App& app);
// Whether the command line chose `register`.
bool chosen(const RegisterCommand& command);
int run_register(const RegisterCommand& command, const RegisterChoice& choice, Streams streams);

}  // namespace q5::cli
