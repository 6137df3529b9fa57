#include "app/command_line.h"

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include <CLI/CLI.hpp>

#include "files/batch_log.h"

#ifndef Q5_VERSION
#error "Q5_VERSION must name the project's version"
#endif

namespace q5::app {

namespace {

CommandLine refused(std::string error) {
  CommandLine line;
  line.action = CommandLine::Action::usage_error;
  line.error = std::move(error);
  return line;
}

// Ends the reading at once: --help or --version, or the first mistake.
struct Decided {
  CommandLine line;
};

[[noreturn]] void refuse(std::string error) { throw Decided{refused(std::move(error))}; }

// What was left over so far, each word where it stood: an unknown option, or
// a second FILE. The "--" that ends the options is no word of its own.
std::optional<std::string> left_over_mistake(const CLI::App& app) {
  for (const std::string& word : app.remaining()) {
    if (word == "--") continue;
    if (word.size() > 1 && word.front() == '-') return "unknown option '" + word.substr(0, word.find('=')) + "'";
    return "only one FILE can be opened";
  }
  return std::nullopt;
}

}  // namespace

// Read from left to right, as a technician reads it: --help and --version
// answer at once, the first mistake ends the reading, and "--" ends the
// options so that a FILE may start with a dash. The words CLI11 cannot place
// are kept in their order; a decision looks at them first.
CommandLine parse_command_line(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool batch_log_chosen = false;
  CLI::App app;
  app.set_help_flag();
  app.allow_extras();
  const auto decide = [&app](CommandLine::Action action) {
    if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
    CommandLine decided;
    decided.action = action;
    throw Decided{decided};
  };
  // Two choices of the log would leave the technician's record to the order
  // of the words: refuse them instead of guessing.
  const auto choose_batch_log = [&] {
    if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
    if (batch_log_chosen) refuse("choose the batch log once: --batch-log FILE or --no-batch-log");
    batch_log_chosen = true;
  };
  app.add_flag_callback("--help", [&] { decide(CommandLine::Action::help); })
      ->trigger_on_parse();
  app.add_flag_callback("--version", [&] { decide(CommandLine::Action::version); })
      ->trigger_on_parse();
  app.add_flag_callback("--no-batch-log", [&] {
       choose_batch_log();
       line.batch_log = BatchLog::off;
     })
      ->trigger_on_parse();
  // Its value is taken whole, even when it looks like an option.
  app.add_option_function<std::string>("--batch-log", [&](const std::string& file) {
       choose_batch_log();
       if (file.empty()) refuse("--batch-log needs a FILE");
       line.batch_log = BatchLog::chosen_file;
       line.batch_log_file = file;
     })
      ->trigger_on_parse();
  app.add_flag_callback("--no-register", [&] {
       if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
       if (line.register_value) refuse("choose the register once: --register or --no-register");
       line.no_register = true;
     })
      ->trigger_on_parse();
  app.add_option_function<std::string>("--register", [&](const std::string& value) {
       if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
       if (value.empty()) refuse("--register needs a URI or a PATH");
       if (line.no_register || line.register_value) refuse("choose the register once: --register or --no-register");
       line.register_value = value;
     })
      ->trigger_on_parse();
  app.add_option_function<std::string>("FILE", [&](const std::string& file) {
       if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
       if (file.empty()) refuse("FILE is empty");
       line.file = file;
     })
      ->trigger_on_parse();

  // A flag given a value, and a --batch-log= with none, are refused where
  // they stand; CLI11 would take "--help=true" as the flag and the word after
  // "--batch-log=" as its value.
  constexpr const char* kFlagWithValue = "--q5-flag-given-a-value";
  app.add_option_function<std::string>(kFlagWithValue, [&](const std::string& flag) {
       if (const auto mistake = left_over_mistake(app)) refuse(*mistake);
       refuse(flag + " takes no value");
     })
      ->trigger_on_parse()
      ->group("");
  std::vector<std::string> words;
  bool options_ended = false;
  for (const std::string& argument : arguments) {
    options_ended = options_ended || argument == "--";
    const std::string name = argument.substr(0, argument.find('='));
    if (!options_ended && name != argument && (name == "--help" || name == "--version" || name == "--no-batch-log" ||
                                               name == "--no-register")) {
      words.insert(words.end(), {kFlagWithValue, name});
    } else if (!options_ended && argument == "--batch-log=") {
      words.insert(words.end(), {"--batch-log", ""});
    } else {
      words.push_back(argument);
    }
  }
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  try {
    app.parse(reversed);
  } catch (const Decided& decided) {
    return decided.line;
  } catch (const CLI::ArgumentMismatch&) {
    // The one option that takes a value, at the end of the line.
    return refused("--batch-log needs a FILE");
  } catch (const CLI::ParseError& error) {
    return refused(error.what());
  }
  if (const auto mistake = left_over_mistake(app)) return refused(*mistake);
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
  std::string text =
      "Usage: " + name + " [--batch-log FILE | --no-batch-log] [--register URI|PATH | --no-register] [FILE]\n";
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
      "      --register URI|PATH\n"
      "                        the pager register: a postgresql:// URI shared by\n"
      "                        several benches, or an SQLite file (passwords come\n"
      "                        from ~/.pgpass, PGPASSWORD or a service file)\n"
      "      --no-register     work without a pager register\n"
      "      --help            show this help and exit\n"
      "      --version         show the version and exit\n"
      "\n"
      "Without --batch-log, the write attempts are logged in\n";
  text += "$XDG_DATA_HOME/q5prog/" + log_name + ", which is\n";
  text += "~/.local/share/q5prog/" + log_name + " when XDG_DATA_HOME is not set.\n";
  text +=
      "\n"
      "Without --register, the register is $Q5PROG_REGISTER, or else\n"
      "$XDG_DATA_HOME/q5prog/" + std::string(program.simulated ? "register-simulated.sqlite3" : "register.sqlite3") + ".\n"
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
