// The command line: subcommands, options, help (written to become the
// manual page through help2man) and exit statuses.
#include "cli/cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "cli/option_values.h"

#ifndef Q5_VERSION
#error "Q5_VERSION must be defined by the build"
#endif

namespace q5::cli {

namespace {

constexpr std::size_t kHelpWidth = 79;
constexpr std::size_t kOptionColumn = 30;
constexpr int kMaxOffset = 8;

// Words of `text` in lines of at most `width`, each line after the first
// indented by `indent`. Blank lines (paragraphs) stay.
std::string wrap(const std::string& text, std::size_t width, std::size_t indent) {
  std::string wrapped;
  std::istringstream paragraphs(text);
  std::string paragraph;
  bool first_line = true;
  while (std::getline(paragraphs, paragraph)) {
    std::istringstream words(paragraph);
    std::string word;
    std::size_t column = 0;
    const auto new_line = [&] {
      if (!first_line) wrapped += '\n' + std::string(indent, ' ');
      first_line = false;
      column = indent;
    };
    new_line();
    if (paragraph.empty()) continue;
    bool line_empty = true;
    while (words >> word) {
      if (!line_empty && column + 1 + word.size() > width) {
        new_line();
        line_empty = true;
      }
      if (!line_empty) {
        wrapped += ' ';
        ++column;
      }
      wrapped += word;
      column += word.size();
      line_empty = false;
    }
  }
  return wrapped;
}

// Usage first, then the description, so that help2man finds its synopsis
// and description paragraph; long option texts wrapped to the terminal.
class HelpFormatter final : public CLI::Formatter {
 public:
  HelpFormatter() { column_width(kOptionColumn); }

  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    std::ostringstream out;
    out << make_usage(app, name) << '\n';
    // The summary line and the paragraph after it, a blank line apart.
    std::string description = app->get_description();
    if (const std::size_t end = description.find('\n'); end != std::string::npos) description.insert(end, "\n");
    if (!description.empty()) out << wrap(description, kHelpWidth, 0) << '\n';
    out << make_positionals(app) << make_groups(app, mode) << make_subcommands(app, mode) << '\n' << make_footer(app);
    return out.str();
  }

  // The value's name alone: positionals are named already, and the allowed
  // values are in the text.
  std::string make_option_opts(const CLI::Option* option) const override {
    if (option->get_positional() || option->get_type_size() == 0) return {};
    return " " + option->get_option_text();
  }

  std::string make_option(const CLI::Option* option, bool is_positional) const override {
    return entry(make_option_name(option, is_positional) + make_option_opts(option), make_option_desc(option));
  }

  // A subcommand in the list: the first line of its description.
  std::string make_subcommand(const CLI::App* sub) const override {
    const std::string description = sub->get_description();
    return entry(sub->get_display_name(true), description.substr(0, description.find('\n')));
  }

 private:
  static std::string entry(const std::string& name, const std::string& description) {
    std::string line = "  " + name;
    if (line.size() + 1 > kOptionColumn) {
      line += '\n' + std::string(kOptionColumn, ' ');
    } else {
      line += std::string(kOptionColumn - line.size(), ' ');
    }
    return line + wrap(description, kHelpWidth, kOptionColumn) + '\n';
  }
};

constexpr const char* kProgramDescription =
    "Shows, compares and changes pager configuration files, and reads and writes pagers, without the window.\n"
    "q5prog-cli works on the same settings form and rules as q5prog: a file is judged and shown as the "
    "window's File > Open shows it in a fresh window, a setting is changed as a technician would change it "
    "in the window, and a file is saved byte for byte as the window's File > Save would save it. Pagers are "
    "read and written through the same session as the window's Read_From_Pager and Write_to_Pager, on the "
    "parallel-port cable (through ppdev) or on the simulated pager of q5prog-demo.";

// Laid out by hand: help2man turns "Heading:" lines into sections.
constexpr const char* kProgramFooter = R"(Settings:
  The settings of a file are the window's controls that the file stores,
  named as in the window (Frequency, Baud_rate, sc_address1, Hello_msg, ...);
  'q5prog-cli show FILE' lists them all. An edit's value is its text, a check
  box's true or false, a list's (and the CtRadio group's) the text of the item
  shown, spaces included, or null when nothing is shown.

Exit status:
  0   success; diff: the files are the same.
  1   diff: the files differ; read, write: a link, verify, model or
      port-in-use error.
  2   usage errors, a refused file, a value the window would refuse, a file
      that cannot be saved; write: any of these before a pager was written.
  3   write: a pager was written and verified, but FILE could not be saved
      again, the batch log could not be appended, or the register could not
      take the write (this bench keeps it and hands it over at its next
      command).
  4   write: the batch ended early, at end of input or Ctrl-C between
      pagers ("K of N pagers written"); FILE holds the state after the last
      verified pager.

Files:
  write --log CSV appends one row for every attempt to write a pager to the
  batch log CSV. The window logs every write to
  $XDG_DATA_HOME/q5prog/writes.csv (~/.local/share/q5prog/writes.csv when
  XDG_DATA_HOME is not set), and q5prog-demo to writes-simulated.csv beside
  it: give one of those to --log to keep a single record.
  /dev/parport0 and /dev/parport1 are the ppdev devices of LPT1 and LPT2;
  using them needs membership of the group lp.)";

constexpr const char* kShowDescription =
    "Show the settings a configuration file holds.\n"
    "One line per setting, NAME: VALUE, each value written as its JSON literal; with --json one JSON object "
    "instead. The file is judged as File > Open judges it: a file that is too short, has a wrong checksum or "
    "is of the other pager model is refused with the window's text. Warnings of the rules (such as a "
    "frequency counter overflow) go to standard error.";
constexpr const char* kShowFooter =
    "Exit status: 0 for a file shown (with or without warnings), 2 for a refused file (\"File open error\", "
    "\"File read error\", \"checksum is error!\", \"Model Error, please check...\").";

constexpr const char* kDiffDescription =
    "Compare the settings of two configuration files.\n"
    "Prints each setting whose shown value differs, NAME: A-VALUE -> B-VALUE, then 'bytes:' and the offsets "
    "(0 to 255) of the bytes that differ. With --json: {\"settings\": {NAME: [A-VALUE, B-VALUE]}, \"bytes\": "
    "[offsets]}.";
constexpr const char* kDiffFooter =
    "Exit status: 0 when the files are the same, 1 when anything differs, 2 when either file is refused.";

constexpr const char* kSetDescription =
    "Change settings of a configuration file as a technician would in the window.\n"
    "Each NAME=VALUE is applied in the window's way: an edit's text is typed into the field through its key "
    "filter and maximum length, then the field is left, so that its rules run (padding, limits, the frequency "
    "check and snap) with their warnings on standard error; a list item is picked and the list's interlocks "
    "run; a check box (true or false) is clicked. FirmwareVer, Frequency and Frequency_step are applied first, "
    "in that order, the others in the order given. A list the window shows greyed cannot be changed (except "
    "FirmwareVer and PLL_select, which prepare a file for a known pager); ModelCB never. The result is saved "
    "atomically to OUT, or else to FILE, byte for byte as the window's File > Save saves it.";
constexpr const char* kSetFooter =
    "Exit status: 0 when saved (with or without warnings), 2 for a refused file, an unknown setting or item, "
    "a text the field does not take, an error of the rules, or a file that cannot be saved.";

constexpr const char* kReadDescription =
    "Read a pager into a configuration file.\n"
    "Reads the pager's 256 bytes, checks the link after the read, and saves the bytes to OUT atomically as "
    "they were read, even with a wrong checksum. A pager of the other model is refused. A progress bar is "
    "shown on standard error when it is a terminal.";
constexpr const char* kReadFooter =
    "Exit status: 0 when read and saved; 1 for a link error, a pager of the other model or a port in use "
    "(the window's text on standard error, nothing saved); 2 for usage errors or when OUT cannot be saved.";

constexpr const char* kWriteDescription =
    "Write the settings of a configuration file into one pager or a batch of pagers.\n"
    "Each pager is written as the window writes it: the pager is read first and keeps its synthesiser and "
    "firmware, the rules run before the image is built, with their warnings on standard error, and the write "
    "is verified by reading it back. After each verified pager one line goes to standard output, the four "
    "addresses step on by their offsets (and the serial number by one with --auto-serial), and FILE is saved "
    "again atomically with only the addresses and the serial number changed, so that a batch that stops "
    "resumes where it left off. Before each pager after the first, the program asks on standard error to "
    "connect it and waits for Enter; end of input ends the batch. The first failure stops the batch.";
constexpr const char* kWriteFooter =
    "Exit status: 0 when every pager was verified and FILE saved after each; 1 for a link, verify, model or "
    "port-in-use error (the window's text on standard error); 2 for usage or file errors, FILE or the log that "
    "could not be saved, or a pager refused before it was touched (an address the pager cannot receive, an "
    "address another pager holds in the register); 3 when a pager was written and verified but FILE, the batch "
    "log or the register could not take it (the next pager would repeat its addresses); 4 when the batch ended "
    "early at end of input or Ctrl-C (K of N pagers written).";

// The word where a command belongs, when it names none of the commands:
// the first argument that is not an option (the program's own options take
// no values).
std::optional<std::string> unknown_command(const CLI::App& app, int argc, char** argv) {
  if (!app.get_subcommands().empty()) return std::nullopt;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.empty() || word.front() != '-') return word;
  }
  return std::nullopt;
}

// A usage error is reported as CLI11 words it, with status 2; help and
// version are not errors. A command that does not exist is named.
int parse_failure(const CLI::App& app, const CLI::ParseError& error, std::ostream& out, std::ostream& err, int argc,
                  char** argv) {
  if (error.get_exit_code() != static_cast<int>(CLI::ExitCodes::Success)) {
    if (const auto word = unknown_command(app, argc, argv)) {
      err << "unknown command '" << *word << "'; the commands are";
      const char* separator = " ";
      for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        err << separator << command->get_name();
        separator = ", ";
      }
      err << "\nRun with --help for more information.\n";
      return kRefused;
    }
  }
  const int code = app.exit(error, out, err);
  return code == static_cast<int>(CLI::ExitCodes::Success) ? kSuccess : kRefused;
}

// "A,B,C,D": exactly four offsets from 0 to 8.
std::array<int, kAddressRows> parse_offsets(const std::string& text) {
  std::vector<std::string> values{""};
  for (const char c : text) {
    if (c == ',') {
      values.emplace_back();
    } else {
      values.back() += c;
    }
  }
  const auto is_offset = [](const std::string& v) { return v.size() == 1 && v[0] >= '0' && v[0] - '0' <= kMaxOffset; };
  if (values.size() != kAddressRows || !std::all_of(values.begin(), values.end(), is_offset)) {
    throw CLI::ValidationError("--offsets", "expected four offsets from 0 to 8, as 8,8,8,8, not " + text);
  }
  std::array<int, kAddressRows> offsets{};
  for (std::size_t row = 0; row < offsets.size(); ++row) offsets[row] = values[row][0] - '0';
  return offsets;
}

CLI::App* add_command(CLI::App& app, const char* name, const char* description, const char* footer) {
  CLI::App* command = app.add_subcommand(name, description);
  command->footer(wrap(footer, kHelpWidth, 0));
  return command;
}

}  // namespace

int run_cli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in,
            const Environment& environment) {
  CLI::App app(kProgramDescription, "q5prog-cli");
  app.formatter(std::make_shared<HelpFormatter>());
  app.set_version_flag("--version", "q5prog-cli " Q5_VERSION, "Print the version and exit.");
  app.set_help_flag("-h,--help", "Print this help and exit; after a command, that command's help.");
  app.require_subcommand(1);
  app.footer(kProgramFooter);

  RegisterChoice register_choice;
  app.add_option_function<std::string>(
         "--register", [&register_choice](const std::string& value) { register_choice.value = value; },
         "The pager register: a postgresql:// URI (passwords from ~/.pgpass, PGPASSWORD or a service file, never "
         "in the URI) or an SQLite file. Default: $Q5PROG_REGISTER, else "
         "$XDG_DATA_HOME/q5prog/register.sqlite3.")
      ->option_text("URI|PATH");
  app.add_flag("--no-register", register_choice.none, "Work without a pager register.");

  ShowOptions show_options;
  CLI::App* show_command = add_command(app, "show", kShowDescription, kShowFooter);
  show_command->add_option("FILE", show_options.file, "The configuration file; - reads it from standard input.")->required();
  show_command->add_flag("--json", show_options.json, "One JSON object with a key for every setting.");

  DiffOptions diff_options;
  CLI::App* diff_command = add_command(app, "diff", kDiffDescription, kDiffFooter);
  diff_command->add_option("A", diff_options.a, "The first configuration file; - reads it from standard input.")
      ->required();
  diff_command->add_option("B", diff_options.b, "The second configuration file; - reads it from standard input.")
      ->required();
  diff_command->add_flag("--json", diff_options.json, "The differences as one JSON object.");

  SetOptions set_options;
  CLI::App* set_command = add_command(app, "set", kSetDescription, kSetFooter);
  set_command->add_option("FILE", set_options.file, "The configuration file to change (with --new: to create).")
      ->required();
  set_command->add_option("NAME=VALUE", set_options.assignments,
                           "A setting and its new value: an edit's text, true or false for a check box, an item's "
                           "text for a list or CtRadio (quote values with spaces). At least one, except with --new.");
  CLI::Option* fresh = set_command->add_flag(
      "--new", set_options.fresh,
      "Start from the window's defaults instead of reading FILE; with no NAME=VALUE, save the defaults. The file "
      "saved (FILE, or OUT) must not exist yet.");
  set_command->add_flag("--force", set_options.force, "With --new, replace the file saved if it exists.")
      ->needs(fresh);
  set_command->add_option("-o,--output", set_options.out, "Save to OUT instead of FILE.")
      ->option_text("OUT")
      ->check(given_value());

  ReadOptions read_options;
  CLI::App* read_command = add_command(app, "read", kReadDescription, kReadFooter);
  read_command->add_option("OUT", read_options.out, "The file to save the pager's bytes to.")->required();
  add_cable_options(*read_command, read_options.cable);

  WriteOptions write_options;
  CLI::App* write_command = add_command(app, "write", kWriteDescription, kWriteFooter);
  write_command
      ->add_option("FILE", write_options.file,
                   "The configuration file to write, stepped on after "
                   "each pager.")
      ->required();
  add_cable_options(*write_command, write_options.cable);
  write_command->add_option("--count", write_options.count, "Write N pagers, one after the other (default 1).")
      ->option_text("N")
      ->check(given_value())
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.find_first_not_of("0123456789") == std::string::npos && text.find_first_not_of('0') != std::string::npos
                       ? std::string()
                       : "a number of pagers, 1 or more, not " + text;
          },
          "N"));
  write_command
      ->add_option_function<std::string>(
          "--offsets", [&write_options](const std::string& text) { write_options.offsets = parse_offsets(text); },
          "The auto-increment offsets of addresses 1 to 4 (sc_autoinc1 to sc_autoinc4), exactly four values from "
          "0 to 8, each address stepping on by its own after each pager (default 0,0,0,0).")
      ->option_text("A,B,C,D")
      ->check(given_value());
  write_command->add_flag("--auto-serial", write_options.auto_serial,
                          "Step the serial number on by one after each pager (the window's \"Auto\" box).");
  write_command
      ->add_option("--log", write_options.log,
                   "Append a row for every attempt to the batch log CSV (created with its header when new).")
      ->option_text("CSV")
      ->check(given_value());
  write_command->add_flag("--all-words", write_options.all_words,
                          "Write all 128 words of every pager, not only those that differ from what it holds.");
  write_command
      ->add_option_function<std::vector<std::string>>(
          "--allocate",
          [&write_options](const std::vector<std::string>& values) {
            for (const std::string& value : values) {
              const std::size_t equals = value.find('=');
              const std::string row = value.substr(0, equals);
              if (equals == std::string::npos || equals + 1 == value.size() || row.size() != 1 || row[0] < '1' ||
                  row[0] > '4') {
                throw CLI::ValidationError("--allocate", "expected N=POOL with N from 1 to 4, not " + value);
              }
              write_options.allocate[static_cast<std::size_t>(row[0] - '1')] = value.substr(equals + 1);
            }
          },
          "Give address N (1 to 4) of each pager the lowest address of the register's individual pool POOL that "
          "no pager holds or has reserved, and enable it; several benches allocating at once never get the same "
          "one. Repeatable.")
      ->option_text("N=POOL")
      ->check(given_value());
  write_command->add_flag("--allocate-serial", write_options.allocate_serial,
                          "Give each pager the serial number one above the highest the register knows (or the "
                          "file's own, if that is higher).");
  write_command->add_flag("--hands-free", write_options.hands_free,
                          "Between pagers, watch the link instead of waiting for Enter: after each verified pager "
                          "the program asks for it to be taken off the cable and checks the link every 0.5 s until "
                          "it has failed twice in a row, then asks for the next pager and writes it once the check "
                          "has passed twice in a row. The terminal bell sounds after each verified pager and three "
                          "times after a failure; Ctrl-C while waiting ends the batch.");
  write_command->add_flag("--reassign", write_options.reassign,
                          "Move an address another pager holds in the register to the pager being written "
                          "(recorded as a reassignment; administrators of a shared register only).");

  const RegisterCommandPtr register_command = add_register_command(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return parse_failure(app, error, out, err, argc, argv);
  }

  const Streams streams{out, err, in};
  read_options.register_choice = register_choice;
  write_options.register_choice = register_choice;
  try {
    if (chosen(*register_command)) return run_register(*register_command, register_choice, streams);
    if (*show_command) return show(show_options, streams);
    if (*diff_command) return diff(diff_options, streams);
    if (*set_command) return set(set_options, streams);
    if (*read_command) return read(read_options, streams, environment);
    if (*write_command) return write(write_options, streams, environment);
  } catch (const std::exception& error) {
    err << "q5prog-cli: " << error.what() << '\n';
  }
  return kRefused;
}

int run_cli(int argc, char** argv, std::ostream& out, std::ostream& err, std::istream& in) {
  Environment environment;
  environment.progress_bar = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
  return run_cli(argc, argv, out, err, in, environment);
}

}  // namespace q5::cli
