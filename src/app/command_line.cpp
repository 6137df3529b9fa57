#include "app/command_line.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "files/batch_log.h"

#ifndef Q5_VERSION
#error "Q5_VERSION must name the project's version"
#endif

namespace q5::app {

namespace {

constexpr std::string_view kBatchLogOption = "--batch-log";
constexpr std::string_view kNoBatchLogOption = "--no-batch-log";
constexpr std::string_view kEndOfOptions = "--";

CommandLine refused(std::string error) {
  CommandLine line;
  line.action = CommandLine::Action::usage_error;
  line.error = std::move(error);
  return line;
}

// "--name=value" split at its first '='; no value when there is none.
struct Option {
  std::string_view name;
  std::optional<std::string_view> value;
};

Option split_option(std::string_view argument) {
  const auto equals = argument.find('=');
  if (equals == std::string_view::npos) return {argument, std::nullopt};
  return {argument.substr(0, equals), argument.substr(equals + 1)};
}

bool is_option(std::string_view argument) { return argument.size() > 1 && argument.front() == '-'; }

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool batch_log_chosen = false;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || !is_option(argument)) {
      if (!line.file.empty()) return refused("only one FILE can be opened");
      if (argument.empty()) return refused("FILE is empty");
      line.file = argument;
      continue;
    }
    if (argument == kEndOfOptions) {
      options_ended = true;
      continue;
    }
    const Option option = split_option(argument);
    if (option.name == "--help" || option.name == "--version") {
      if (option.value) return refused(std::string(option.name) + " takes no value");
      line.action = option.name == "--help" ? CommandLine::Action::help : CommandLine::Action::version;
      return line;
    }
    if (option.name != kBatchLogOption && option.name != kNoBatchLogOption) {
      return refused("unknown option '" + std::string(option.name) + "'");
    }
    // Two choices of the log would leave the technician's record to the
    // order of the words: refuse them instead of guessing.
    if (batch_log_chosen) return refused("choose the batch log once: --batch-log FILE or --no-batch-log");
    batch_log_chosen = true;
    if (option.name == kNoBatchLogOption) {
      if (option.value) return refused("--no-batch-log takes no value");
      line.batch_log = BatchLog::off;
      continue;
    }
    std::string file;
    if (option.value) {
      file = *option.value;
    } else if (i + 1 < arguments.size()) {
      file = arguments[++i];
    }
    if (file.empty()) return refused("--batch-log needs a FILE");
    line.batch_log = BatchLog::chosen_file;
    line.batch_log_file = file;
  }
  return line;
}

CommandLine parse_command_line(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return parse_command_line(arguments);
}

std::string help_text(Program program) {
  const std::string name = program.name;
  const std::string log_name = program.simulated ? "writes-simulated.csv" : "writes.csv";
  std::string text = "Usage: " + name + " [--batch-log FILE | --no-batch-log] [FILE]\n";
  if (program.simulated) {
    text +=
        "Try the pager programmer without a cable: the window of q5prog, with a\n"
        "simulated pager in place of the parallel port.\n";
  } else {
    text +=
        "Program radio pagers through a cable on the PC's parallel port: fill in a\n"
        "pager's settings on a form, write them to the pager, read a pager back, and\n"
        "keep settings in 256-byte configuration files.\n";
  }
  text +=
      "\n"
      "FILE is a configuration file to open once the window is shown, as\n"
      "File > Open opens it.\n"
      "\n"
      "Options:\n"
      "      --batch-log FILE  log every attempt to write a pager as a CSV row in FILE\n"
      "      --no-batch-log    log no write attempts\n"
      "      --help            show this help and exit\n"
      "      --version         show the version and exit\n"
      "\n"
      "Without --batch-log, the write attempts are logged in\n";
  text += "$XDG_DATA_HOME/q5prog/" + log_name + ", which is\n";
  text += "~/.local/share/q5prog/" + log_name + " when XDG_DATA_HOME is not set.\n";
  text +=
      "\n"
      "Qt's own settings come from the environment (QT_QPA_PLATFORM and the\n"
      "like), not from the command line.\n"
      "\n"
      "The README is at /usr/share/doc/q5prog/README.md once installed.\n";
  return text;
}

std::string version_text(Program program) { return std::string(program.name) + " " + Q5_VERSION + "\n"; }

std::optional<int> answer_without_window(const CommandLine& line, Program program, std::ostream& out,
                                         std::ostream& err) {
  switch (line.action) {
    case CommandLine::Action::start:
      return std::nullopt;
    case CommandLine::Action::help:
      out << help_text(program) << std::flush;
      return kExitOk;
    case CommandLine::Action::version:
      out << version_text(program) << std::flush;
      return kExitOk;
    case CommandLine::Action::usage_error:
      err << program.name << ": " << line.error << "\n"
          << "Try '" << program.name << " --help' for more information.\n"
          << std::flush;
      return kExitUsage;
  }
  return kExitUsage;
}

std::string prepare_batch_log(const CommandLine& line, Program program) {
  switch (line.batch_log) {
    case BatchLog::off:
      return {};
    case BatchLog::chosen_file: {
      std::error_code error;
      const std::filesystem::path absolute = std::filesystem::absolute(line.batch_log_file, error);
      return error ? line.batch_log_file : absolute.lexically_normal().string();
    }
    case BatchLog::default_file: {
      const std::string path = files::default_batch_log_path(program.simulated);
      if (!path.empty()) (void)files::create_batch_log_folder(path);
      return path;
    }
  }
  return {};
}

}  // namespace q5::app
