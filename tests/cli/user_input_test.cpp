// What a user types and what the command line answers: one row per case,
// with the arguments, standard input, the exit status and a piece of the
// message. Each row runs in a scratch folder holding good.eep (a file the
// window saves), ten.eep (10 bytes), long.eep (a good image and 44 bytes
// more) and the folder adir; the simulated pager answers --demo.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_run.h"
#include "image/codec.h"
#include "simulated_bench.h"

namespace {

using namespace q5::test;

struct Row {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::string says;        // found in standard error
  std::string input = {};  // standard input; "good.eep" stands for that file's bytes
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const q5::image::Image kGood = q5::image::encode(q5::image::Settings{});

Bytes other_file() {
  q5::image::Settings settings;
  settings.serial = "00000002";
  return bytes_of(q5::image::encode(settings));
}

class UserInput : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    write_file(dir / "good.eep", bytes_of(kGood));
    write_file(dir / "ten.eep", Bytes(10, 0x5A));
    Bytes longer = bytes_of(q5::image::encode(q5::image::Settings{}));
    longer.resize(300, 0xEE);
    write_file(dir / "long.eep", longer);
    std::filesystem::create_directory(dir / "adir");
  }

  ScratchFolder dir;
};

TEST_P(UserInput, AnswersWithItsStatusAndSaysWhy) {
  const Row& row = GetParam();
  const CurrentFolder here(dir / "");
  SimulatedBench bench;
  std::string input = row.input;
  if (input == "good.eep") input.assign(kGood.begin(), kGood.end());
  if (input == "other.eep") {
    const Bytes other = other_file();
    input.assign(other.begin(), other.end());
  }
  const CliRun run = run_cli(row.args, bench.environment(), input);
  EXPECT_EQ(run.status, row.status) << run.err;
  EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
  if (run.status == 2) {
    // Refused: nothing saved over, no pager touched.
    EXPECT_EQ(read_file("good.eep"), bytes_of(kGood));
    EXPECT_EQ(bench.port().chip().save(), q5::link::SimulatedPager::factory_image());
  }
}

// A file that could not be opened or read is named with the reason, after
// the window's words.
INSTANTIATE_TEST_SUITE_P(
    FileErrors, UserInput,
    ::testing::Values(
        Row{"ShowMissing", {"show", "missing.eep"}, 2, "File open error: missing.eep: No such file or directory\n"},
        Row{"ShowFolder", {"show", "adir"}, 2, "File open error: adir: Is a directory\n"},
        Row{"ShowShort", {"show", "ten.eep"}, 2, "File read error: ten.eep: 10 bytes, a configuration file has 256\n"},
        Row{"ShowShortInput", {"show", "-"}, 2, "File read error: standard input: 0 bytes, a configuration file has"},
        Row{"DiffMissingB", {"diff", "good.eep", "missing.eep"}, 2, "File open error: missing.eep: No such file"},
        Row{"DiffShortA", {"diff", "ten.eep", "good.eep"}, 2, "File read error: ten.eep: 10 bytes"},
        Row{"SetMissing", {"set", "missing.eep", "Num_message=13"}, 2, "File open error: missing.eep: No such file"},
        Row{"SetIntoFolder", {"set", "--new", "adir", "--force"}, 2, "File open error: adir: Is a directory\n"},
        Row{"SetOutNowhere",
            {"set", "good.eep", "Num_message=13", "-o", "nowhere/x.eep"},
            2,
            "File open error: nowhere/x.eep: No such file or directory\n"},
        Row{"SetOverLonger", {"set", "long.eep", "Num_message=13"}, 0, "long.eep held 300 bytes: saved as the 256"},
        Row{"ReadOutNowhere",
            {"read", "nowhere/r.eep", "--demo"},
            2,
            "File open error: nowhere/r.eep: No such file or directory\n"},
        Row{"WriteShort", {"write", "ten.eep", "--demo"}, 2, "File read error: ten.eep: 10 bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

// Option values that are missing, empty, or another option.
INSTANTIATE_TEST_SUITE_P(
    OptionValues, UserInput,
    ::testing::Values(Row{"EmptyOutput", {"set", "good.eep", "Num_message=13", "-o", ""}, 2, "empty"},
                      Row{"EmptyLog", {"write", "good.eep", "--demo", "--log", ""}, 2, "--log: a value is needed"},
                      Row{"EmptyLpt", {"read", "r.eep", "--lpt", ""}, 2, "--lpt"},
                      Row{"LptThree", {"read", "r.eep", "--lpt", "3"}, 2, "--lpt"},
                      Row{"EmptyUsbSerial", {"read", "r.eep", "--usb-serial", ""}, 2, "--usb-serial"},
                      Row{"LogTakesDemo", {"write", "good.eep", "--log", "--demo"}, 2, "not the option --demo"},
                      Row{"OutputTakesNew", {"set", "good.eep", "Num_message=1", "-o", "--new"}, 2, "--new"},
                      Row{"CountTakesDemo", {"write", "good.eep", "--count", "--demo"}, 2, "--count"}),
    [](const auto& info) { return std::string(info.param.name); });

// set --new, standard input, and a command that does not exist.
INSTANTIATE_TEST_SUITE_P(
    Commands, UserInput,
    ::testing::Values(Row{"NewOverExisting", {"set", "--new", "good.eep"}, 2, "good.eep exists"},
                      Row{"NewOverExistingOut", {"set", "--new", "x.eep", "-o", "good.eep"}, 2, "good.eep exists"},
                      Row{"NewOverFolder", {"set", "--new", "adir", "Num_message=13"}, 2, "--force"},
                      Row{"NewForced", {"set", "--new", "long.eep", "--force", "Num_message=13"}, 0, ""},
                      Row{"NewDefaults", {"set", "--new", "fresh.eep"}, 0, ""},
                      Row{"ForceWithoutNew", {"set", "good.eep", "--force", "Num_message=13"}, 2, "--new"},
                      Row{"SetWithoutSettings", {"set", "good.eep"}, 2, "NAME=VALUE"},
                      Row{"ShowInput", {"show", "-"}, 0, "", "good.eep"},
                      Row{"ShowInputJson", {"show", "--json", "-"}, 0, "", "good.eep"},
                      Row{"DiffInputSame", {"diff", "-", "good.eep"}, 0, "", "good.eep"},
                      Row{"DiffInputOther", {"diff", "good.eep", "-"}, 1, "", "other.eep"},
                      Row{"DiffInputTwice", {"diff", "-", "-"}, 2, "only one of A and B"},
                      Row{"UnknownCommand", {"bogus"}, 2, "unknown command 'bogus'; the commands are show, diff"},
                      Row{"UnknownCommandWithFile", {"print", "good.eep"}, 2, "unknown command 'print'"},
                      Row{"UnknownAfterOption", {"--json", "bogus"}, 2, "unknown command 'bogus'"}),
    [](const auto& info) { return std::string(info.param.name); });

// What the rows above only count on: the files that set --new saves.
TEST(UserInputFiles, NewSavesTheDefaultsAndForceReplaces) {
  ScratchFolder dir;
  const CurrentFolder here(dir / "");
  ASSERT_EQ(run_cli({"set", "--new", "fresh.eep"}).status, 0);
  const Bytes defaults = read_file("fresh.eep");
  ASSERT_EQ(defaults.size(), 256U);
  // The defaults are the window's: the file shows as a fresh form.
  const CliRun shown = run_cli({"diff", "fresh.eep", "-"}, {}, std::string(defaults.begin(), defaults.end()));
  EXPECT_EQ(shown.status, 0) << shown.err;

  write_file("old.eep", Bytes(300, 0x11));
  ASSERT_EQ(run_cli({"set", "--new", "old.eep", "--force"}).status, 0);
  EXPECT_EQ(read_file("old.eep"), defaults);
  ASSERT_EQ(run_cli({"set", "--new", "old.eep"}).status, 2);
  EXPECT_EQ(read_file("old.eep"), defaults);

  // A longer file is cut to the 256 bytes it was loaded from.
  Bytes longer = defaults;
  longer.resize(400, 0xEE);
  write_file("long.eep", longer);
  ASSERT_EQ(run_cli({"set", "long.eep", "Num_message=13"}).status, 0);
  EXPECT_EQ(read_file("long.eep").size(), 256U);
}

}  // namespace
