// The command line of q5prog and q5prog-demo:
//
//   q5prog [--batch-log FILE | --no-batch-log] [FILE]
//
// Read with CLI11 before Qt starts, so that --help and --version answer (and
// a bad command line is refused) without a display: help2man makes the man
// pages from them at build time. No Qt here, by design.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace q5::app {

// Exit statuses of the window programs.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

// Which of the two programs reads the command line: the names, the default
// batch log and the help differ.
struct Program {
  const char* name;
  bool simulated;
};
inline constexpr Program kWindowProgram{"q5prog", false};
inline constexpr Program kDemoProgram{"q5prog-demo", true};

enum class BatchLog {
  default_file,  // the per-user log of this program
  chosen_file,   // --batch-log FILE
  off,           // --no-batch-log
};

struct CommandLine {
  enum class Action { start, help, version, usage_error };
  Action action = Action::start;
  BatchLog batch_log = BatchLog::default_file;
  std::string batch_log_file;  // with BatchLog::chosen_file, as given
  std::string file;            // the configuration file to open; empty: none
  std::optional<std::string> register_value;  // --register URI|PATH
  bool no_register = false;                   // --no-register
  std::string error;           // with Action::usage_error: what is wrong
};

// The arguments after the program's name. Read from left to right: --help
// and --version answer at once, the first mistake ends the reading. "--"
// ends the options, so that a FILE may start with a dash.
CommandLine parse_command_line(const std::vector<std::string>& arguments);
CommandLine parse_command_line(int argc, const char* const* argv);

std::string help_text(Program program);
std::string version_text(Program program);  // "q5prog 1.22\n"

// What needs no window: the help or the version on `out` (status 0), a bad
// command line on `err` (status 2). nullopt: start the window.
std::optional<int> answer_without_window(const CommandLine& line, Program program, std::ostream& out,
                                         std::ostream& err);

// The file the window logs its write attempts to, empty for none. The
// default log's folder is made here; a folder that cannot be made shows up
// in the window's log at the first write. A chosen file is made absolute,
// so that the log line of a failure names it completely; its folder is the
// user's to make.
std::string prepare_batch_log(const CommandLine& line, Program program);

}  // namespace q5::app
