// The command line of the window programs, read before Qt starts. This test
// has no QApplication, and the programs themselves are run without a display:
// help, version and a bad command line must answer all the same.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace q5::app;
using Action = CommandLine::Action;
using Arguments = std::vector<std::string>;

std::string describe(const Arguments& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += "'" + argument + "' ";
  return text;
}

TEST(CommandLineParse, OptionsAndFile) {
  const struct {
    Arguments arguments;
    BatchLog batch_log;
    std::string batch_log_file;
    std::string file;
  } cases[] = {
      {{}, BatchLog::default_file, "", ""},
      {{"pager.eep"}, BatchLog::default_file, "", "pager.eep"},
      {{"--batch-log", "bench.csv", "pager.eep"}, BatchLog::chosen_file, "bench.csv", "pager.eep"},
      {{"--batch-log=a=b.csv"}, BatchLog::chosen_file, "a=b.csv", ""},
      {{"pager.eep", "--no-batch-log"}, BatchLog::off, "", "pager.eep"},
      // The value of --batch-log is taken whole, even when it looks like an option.
      {{"--batch-log", "--odd.csv"}, BatchLog::chosen_file, "--odd.csv", ""},
      // After "--" and on its own, a dash is part of a name.
      {{"--", "--help"}, BatchLog::default_file, "", "--help"},
      {{"-"}, BatchLog::default_file, "", "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.arguments));
    const CommandLine line = parse_command_line(c.arguments);
    EXPECT_EQ(line.action, Action::start);
    EXPECT_EQ(line.batch_log, c.batch_log);
    EXPECT_EQ(line.batch_log_file, c.batch_log_file);
    EXPECT_EQ(line.file, c.file);
    EXPECT_EQ(line.error, "");
  }
}

// Read from the left: the first of help, version or a mistake decides.
TEST(CommandLineParse, HelpVersionAndMistakes) {
  const struct {
    Arguments arguments;
    Action action;
    std::string error;
  } cases[] = {
      {{"--help"}, Action::help, ""},
      {{"--version"}, Action::version, ""},
      {{"--no-batch-log", "pager.eep", "--help", "--bogus"}, Action::help, ""},
      {{"--version", "--help"}, Action::version, ""},
      {{"--bogus", "--help"}, Action::usage_error, "unknown option '--bogus'"},
      {{"--batch-log-file=x"}, Action::usage_error, "unknown option '--batch-log-file'"},
      // Qt's own options are not taken from the command line.
      {{"-platform", "offscreen"}, Action::usage_error, "unknown option '-platform'"},
      {{"--batch-log"}, Action::usage_error, "--batch-log needs a FILE"},
      {{"--batch-log="}, Action::usage_error, "--batch-log needs a FILE"},
      {{"--batch-log", ""}, Action::usage_error, "--batch-log needs a FILE"},
      {{"--no-batch-log=yes"}, Action::usage_error, "--no-batch-log takes no value"},
      {{"--help=all"}, Action::usage_error, "--help takes no value"},
      // A flag's own value counts as a value too; "--batch-log=" takes no word after it.
      {{"--help=true"}, Action::usage_error, "--help takes no value"},
      {{"--no-batch-log=true"}, Action::usage_error, "--no-batch-log takes no value"},
      {{"--bogus", "--version=1"}, Action::usage_error, "unknown option '--bogus'"},
      {{"--batch-log=", "x.eep"}, Action::usage_error, "--batch-log needs a FILE"},
      {{"--batch-log", "a.csv", "--no-batch-log"},
       Action::usage_error,
       "choose the batch log once: --batch-log FILE or --no-batch-log"},
      {{"--batch-log=a.csv", "--batch-log=b.csv"},
       Action::usage_error,
       "choose the batch log once: --batch-log FILE or --no-batch-log"},
      {{"a.eep", "b.eep"}, Action::usage_error, "only one FILE can be opened"},
      {{""}, Action::usage_error, "FILE is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.arguments));
    const CommandLine line = parse_command_line(c.arguments);
    EXPECT_EQ(line.action, c.action);
    EXPECT_EQ(line.error, c.error);
  }
}

TEST(CommandLineParse, ArgvSkipsTheProgramName) {
  const char* argv[] = {"/usr/bin/q5prog", "--no-batch-log", "pager.eep", nullptr};
  const CommandLine line = parse_command_line(3, argv);
  EXPECT_EQ(line.batch_log, BatchLog::off);
  EXPECT_EQ(line.file, "pager.eep");
}

// --- Answers without a window ------------------------------------------------

struct Answer {
  std::optional<int> status;
  std::string out;
  std::string err;
};

Answer answer(Program program, const Arguments& arguments) {
  std::ostringstream out, err;
  const std::optional<int> status = answer_without_window(parse_command_line(arguments), program, out, err);
  return {status, out.str(), err.str()};
}

TEST(CommandLineAnswer, HelpVersionAndUsageErrors) {
  for (const Program program : {kWindowProgram, kDemoProgram}) {
    const std::string name = program.name;
    SCOPED_TRACE(name);
    const struct {
      Arguments arguments;
      std::optional<int> status;
      std::string out;
      std::string err;
    } cases[] = {
        {{"pager.eep"}, std::nullopt, "", ""},
        {{"--help"}, 0, help_text(program), ""},
        {{"--version"}, 0, name + " " + Q5_PROJECT_VERSION + "\n", ""},
        {{"--bogus"}, 2, "", name + ": unknown option '--bogus'\nTry '" + name + " --help' for more information.\n"},
        {{"a", "b"}, 2, "", name + ": only one FILE can be opened\nTry '" + name + " --help' for more information.\n"},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(describe(c.arguments));
      const Answer got = answer(program, c.arguments);
      EXPECT_EQ(got.status, c.status);
      EXPECT_EQ(got.out, c.out);
      EXPECT_EQ(got.err, c.err);
    }
  }
}

// What the man pages are made from: the synopsis, every option, the default
// log of the program, and where the README is.
TEST(CommandLineAnswer, HelpNamesTheOptionsTheDefaultLogAndTheReadme) {
  const struct {
    Program program;
    std::vector<std::string> lines;
  } cases[] = {
      {kWindowProgram,
       {"Usage: q5prog [--batch-log FILE | --no-batch-log] [--register URI|PATH | --no-register] [FILE]", "$XDG_DATA_HOME/q5prog/writes.csv, which is",
        "~/.local/share/q5prog/writes.csv when XDG_DATA_HOME is not set."}},
      {kDemoProgram,
       {"Usage: q5prog-demo [--batch-log FILE | --no-batch-log] [--register URI|PATH | --no-register] [FILE]",
        "$XDG_DATA_HOME/q5prog/writes-simulated.csv, which is",
        "~/.local/share/q5prog/writes-simulated.csv when XDG_DATA_HOME is not set."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program.name);
    std::vector<std::string> expected = c.lines;
    for (const char* option : {"      --batch-log FILE  ", "      --no-batch-log    ", "      --help            ",
                               "      --version         "}) {
      expected.emplace_back(option);
    }
    expected.emplace_back("The README is at /usr/share/doc/q5prog/README.md once installed.");
    const std::string help = "\n" + help_text(c.program);  // each line starts after a line end
    for (const std::string& line : expected) {
      EXPECT_NE(help.find("\n" + line), std::string::npos) << line << "\nin:" << help;
    }
    EXPECT_EQ(help.find("writes" + std::string(c.program.simulated ? ".csv" : "-simulated.csv")), std::string::npos);
  }
}

// --- The batch log the window gets --------------------------------------------

class CommandLineBatchLog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "q5cmd.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    if (const char* data_home = std::getenv("XDG_DATA_HOME")) old_data_home = data_home;
    old_cwd = fs::current_path();
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(old_cwd);
    old_data_home ? ::setenv("XDG_DATA_HOME", old_data_home->c_str(), 1) : ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(dir);
  }

  fs::path dir;
  fs::path old_cwd;
  std::optional<std::string> old_data_home;
};

TEST_F(CommandLineBatchLog, DefaultChosenOrNone) {
  const struct {
    Arguments arguments;
    Program program;
    fs::path expected;  // relative to the test's folder; empty: no log
    bool folder_made;
  } cases[] = {
      {{}, kWindowProgram, "data/q5prog/writes.csv", true},
      {{}, kDemoProgram, "data/q5prog/writes-simulated.csv", true},
      {{"--batch-log", "logs/../bench.csv"}, kWindowProgram, "bench.csv", false},
      {{"--batch-log", "missing/bench.csv"}, kDemoProgram, "missing/bench.csv", false},
      {{"--no-batch-log"}, kWindowProgram, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(describe(c.arguments) + c.program.name);
    fs::remove_all(dir / "data");
    const std::string log = prepare_batch_log(parse_command_line(c.arguments), c.program);
    EXPECT_EQ(log, c.expected.empty() ? std::string() : (dir / c.expected).string());
    EXPECT_EQ(fs::is_directory(dir / "data/q5prog"), c.folder_made);
    EXPECT_FALSE(fs::exists(dir / "missing"));  // a chosen file's folder is the user's to make
  }
}

// --- The programs themselves, without a display --------------------------------

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

// Runs `program` with no display to be found: had it started Qt, Qt would
// have ended it for want of one.
ProgramRun run_without_display(const std::string& program, const Arguments& arguments) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    ::close(out[0]);
    ::close(err[0]);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ProgramRun run;
  // Small outputs: the pipes hold them whole, so one is read after the other.
  run.out = read_all(out[0]);
  run.err = read_all(err[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

TEST(CommandLinePrograms, AnswerWithoutADisplay) {
  const struct {
    const char* path;
    Program program;
    Arguments arguments;
    int status;
    std::string out;
    bool err;
  } cases[] = {
      {Q5_WINDOW_PROGRAM, kWindowProgram, {"--help"}, 0, help_text(kWindowProgram), false},
      {Q5_DEMO_PROGRAM, kDemoProgram, {"--help"}, 0, help_text(kDemoProgram), false},
      {Q5_WINDOW_PROGRAM, kWindowProgram, {"--version"}, 0, version_text(kWindowProgram), false},
      {Q5_DEMO_PROGRAM, kDemoProgram, {"--version"}, 0, version_text(kDemoProgram), false},
      {Q5_WINDOW_PROGRAM, kWindowProgram, {"--bogus"}, 2, "", true},
      {Q5_DEMO_PROGRAM, kDemoProgram, {"-platform", "offscreen", "pager.eep"}, 2, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.program.name) + " " + describe(c.arguments));
    const ProgramRun run = run_without_display(c.path, c.arguments);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(!run.err.empty(), c.err) << run.err;
  }
}

}  // namespace
