// The subcommands, each given its parsed options.
#pragma once

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cable_choice.h"
#include "cli/cli.h"

namespace q5::cli {

struct Streams {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
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
};
int write(const WriteOptions& options, Streams streams, const Environment& environment);

}  // namespace q5::cli
