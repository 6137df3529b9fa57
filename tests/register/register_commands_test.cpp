// q5prog-cli's register subcommands on an SQLite register.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "cli/cli_run.h"
#include "files/batch_log.h"
#include "files/config_file.h"
#include "register/register.h"

namespace q5::test {
namespace {

class RegisterCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("Q5PROG_REGISTER");
    ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
  }

  CliRun run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--register", path_});
    return run_cli(args);
  }

  // Pager 00000042 written twice (verified), then read.
  void seed() {
    auto reg = reg::open_register({reg::Location::Kind::sqlite, path_});
    reg->add_pool({"fleet", 2004000, 2004999, reg::PoolKind::individual});
    for (const char* time : {"2026-12-01T10:00:00Z", "2026-12-05T10:00:00Z"}) {
      reg::PagerEvent e;
      e.time_utc = time;
      e.bench = "bench,1";
      e.operator_name = "ann";
      e.cable = "LPT1";
      e.command = "write";
      e.result = "Write eeprom OK!";
      e.verified = true;
      e.serial_read = "00000041";
      e.serial_written = "00000042";
      e.addresses = {reg::AddressSlot{"2004008", true}, {"0001234", false}, {}, {}};
      e.frequency = "153.2750";
      image::Image after{};
      after[0] = time[9] == '1' ? 1 : 5;
      e.image_after = after;
      reg->record(e);
    }
  }

  ScratchFolder folder_;
  std::string path_ = folder_ / "register.sqlite3";
};

TEST_F(RegisterCommands, PoolsAreAddedListedAndRemoved) {
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;  // expected start of standard output
    std::string err;  // expected part of standard error
  };
  const std::vector<Step> steps{
      {{"register", "pool", "add", "fleet", "2004000", "2004999", "--individual"}, 0,
       "pool fleet added: 2004000-2004999, individual\n", ""},
      {{"register", "pool", "add", "calls", "8", "100", "--group"}, 0, "pool calls added: 0000008-0000100, group\n",
       ""},
      {{"register", "pool", "add", "low", "0", "10", "--group"}, 2, "", "holds the address 0000000, which the pager"},
      {{"register", "pool", "add", "gap", "2007600", "2007700", "--group"}, 2, "", "holds the address 2007664"},
      {{"register", "pool", "add", "top", "2097140", "2097150", "--group"}, 2, "", "holds the address 2097144"},
      {{"register", "pool", "add", "over", "2004999", "2005100", "--group"}, 2, "",
       "pool over (2004999-2005100) overlaps pool fleet (2004000-2004999)"},
      {{"register", "pool", "add", "kindless", "3000", "3100"}, 2, "", "give --individual or --group"},
      {{"register", "pool", "add", "both", "3000", "3100", "--individual", "--group"}, 2, "", "excludes"},
      {{"register", "pool", "add", "word", "abc", "3100", "--group"}, 2, "", "FIRST and LAST are addresses"},
      {{"register", "pool", "list"}, 0, "calls  0000008-0000100  group  0 held\nfleet  2004000-2004999  individual", ""},
      {{"register", "pool", "remove", "calls"}, 0, "pool calls removed\n", ""},
      {{"register", "pool", "remove", "calls"}, 2, "", "there is no pool calls"},
  };
  for (const Step& step : steps) {
    const CliRun result = run(step.args);
    std::string words;
    for (const std::string& word : step.args) words += word + ' ';
    SCOPED_TRACE(words);
    EXPECT_EQ(result.status, step.status) << result.err;
    EXPECT_EQ(result.out.rfind(step.out, 0), 0U) << result.out;
    EXPECT_NE(result.err.find(step.err), std::string::npos) << result.err;
  }
  const auto json = nlohmann::json::parse(run({"register", "pool", "list", "--json"}).out);
  ASSERT_EQ(json.size(), 1U);
  EXPECT_EQ(json[0], (nlohmann::json{{"name", "fleet"}, {"first", "2004000"}, {"last", "2004999"},
                                     {"kind", "individual"}, {"held", 0}}));
}

TEST_F(RegisterCommands, FindAndHistoryGiveTheIssuesKeys) {
  seed();
  const CliRun found = run({"register", "find", "2004008", "--json"});
  ASSERT_EQ(found.status, 0) << found.err;
  const auto json = nlohmann::json::parse(found.out);
  EXPECT_EQ(json["address"], "2004008");
  EXPECT_EQ(json["pool"], "fleet");
  EXPECT_EQ(json["holder"], "00000042");
  ASSERT_EQ(json["events"].size(), 2U);
  const auto& event = json["events"][0];
  std::vector<std::string> keys;
  for (const auto& [key, value] : event.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"addresses", "bench", "cable", "command", "image_after_sha256",
                                            "image_before_sha256", "operator", "result", "serial_read",
                                            "serial_written", "time"}));
  EXPECT_EQ(event["addresses"][1], (nlohmann::json{{"address", "0001234"}, {"enabled", false}}));
  EXPECT_TRUE(event["image_before_sha256"].is_null());
  EXPECT_EQ(event["image_after_sha256"].get<std::string>().size(), 64U);

  const auto unheld = nlohmann::json::parse(run({"register", "find", "0000009", "--json"}).out);
  EXPECT_TRUE(unheld["holder"].is_null());
  EXPECT_TRUE(unheld["pool"].is_null());
  EXPECT_EQ(run({"register", "find", "20x4"}).status, 2);

  const auto history = nlohmann::json::parse(run({"register", "history", "00000041", "--json"}).out);
  EXPECT_EQ(history["serial"], "00000041");
  EXPECT_EQ(history["events"].size(), 2U);
  const CliRun text = run({"register", "history", "00000042"});
  EXPECT_EQ(lines_of(text.out).size(), 2U);
  EXPECT_NE(text.out.find("2026-12-01T10:00:00Z  bench,1  ann  LPT1  write  serial 00000041 -> 00000042"),
            std::string::npos)
      << text.out;
}

TEST_F(RegisterCommands, RestoreSavesASealedImageOfTheChosenWrite) {
  seed();
  struct Case {
    std::vector<std::string> at;
    int status;
    std::uint8_t first_byte;
  };
  for (const Case& c : std::vector<Case>{{{}, 0, 5},
                                         {{"--at", "2026-12-04"}, 0, 1},
                                         {{"--at", "2026-12-05T10:00:00Z"}, 0, 5},
                                         {{"--at", "2026-11-30"}, 2, 0},
                                         {{"--at", "yesterday"}, 2, 0}}) {
    const std::string out = folder_ / "restored.bin";
    std::vector<std::string> args{"register", "restore", "00000042", "-o", out};
    args.insert(args.end(), c.at.begin(), c.at.end());
    const CliRun result = run(args);
    SCOPED_TRACE(c.at.empty() ? "latest" : c.at[1]);
    ASSERT_EQ(result.status, c.status) << result.err;
    if (c.status != 0) continue;
    image::Image image{};
    ASSERT_EQ(files::load_image(out, image), files::LoadResult::ok);
    EXPECT_EQ(image[0], c.first_byte);
    EXPECT_EQ(image::verify(image), image::ChecksumFault::none);
  }
  EXPECT_EQ(run({"register", "restore", "00000099", "-o", folder_ / "x.bin"}).status, 2);
}

TEST_F(RegisterCommands, ExportPutsTheBatchLogsColumnsFirst) {
  seed();
  const CliRun csv = run({"register", "export"});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const auto lines = lines_of(csv.out);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_EQ(lines[0].rfind(std::string(files::kBatchLogHeader) + ",bench,operator,", 0), 0U);
  EXPECT_EQ(lines[1].rfind("2026-12-01T10:00:00Z,Write eeprom OK!,00000042,1,2004008,0,0,0001234,2,,,,,,,153.2750,", 0),
            0U)
      << lines[1];
  EXPECT_NE(lines[1].find(",\"bench,1\",ann,"), std::string::npos) << lines[1];

  const auto json = nlohmann::json::parse(run({"register", "export", "--json"}).out);
  ASSERT_EQ(json.size(), 2U);
  EXPECT_EQ(json[1]["time"], "2026-12-05T10:00:00Z");
  EXPECT_EQ(json[1]["frequency"], "153.2750");
}

TEST_F(RegisterCommands, TheRegisterIsChosenByOptionVariableOrDefault) {
  seed();
  const std::string expected_default = folder_ / "data/q5prog/register.sqlite3";
  ::setenv("Q5PROG_REGISTER", path_.c_str(), 1);
  EXPECT_NE(run_cli({"register", "find", "2004008"}).out.find("holder 00000042"), std::string::npos);
  ::unsetenv("Q5PROG_REGISTER");
  EXPECT_NE(run_cli({"register", "find", "2004008"}).out.find("holder none"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(expected_default));
  EXPECT_EQ(run_cli({"register", "--demo", "pool", "list"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "data/q5prog/register-simulated.sqlite3"));

  const CliRun none = run_cli({"--no-register", "register", "pool", "list"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("--no-register"), std::string::npos);
  const CliRun password = run_cli({"--register", "postgresql://ann:pw@h/q5", "register", "pool", "list"});
  EXPECT_EQ(password.status, 2);
  EXPECT_NE(password.err.find("password inside the URI is refused"), std::string::npos);
}

}  // namespace
}  // namespace q5::test
