// show, diff and set without the window: the worked frequency examples, the
// refusals and usage errors with their statuses and texts, and text that
// leaves the program as valid UTF-8.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_run.h"
#include "image/codec.h"
#include "image/frequency.h"

namespace {

using namespace q5::test;
using q5::image::Image;
using q5::image::Settings;
using Json = nlohmann::ordered_json;

constexpr const char* kLowWarning = "Frequency counter overflow, pager can't work in this lower frequency";

class FileCommandsTest : public ::testing::Test {
 protected:
  std::string file_of(const Settings& settings, const std::string& name = "file.eep") {
    write_file(dir / name, bytes_of(q5::image::encode(settings)));
    return dir / name;
  }
  Json shown(const std::string& path) {
    const CliRun run = run_cli({"show", "--json", path});
    EXPECT_EQ(run.status, 0) << run.err;
    return Json::parse(run.out);
  }

  ScratchFolder dir;
};

// ------------------------------------------------------------ set

struct Typed {
  std::vector<std::string> assignments;
  std::string frequency;
  std::string step;
  std::vector<std::string> warnings;
};

class SetFrequency : public FileCommandsTest, public ::testing::WithParamInterface<Typed> {};

TEST_P(SetFrequency, IsTypedLeftAndSnappedAsInTheWindow) {
  const Typed& t = GetParam();
  std::vector<std::string> args{"set", dir / "new.eep", "--new"};
  args.insert(args.end(), t.assignments.begin(), t.assignments.end());
  const CliRun run = run_cli(args);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(lines_of(run.err), t.warnings);
  const Json settings = shown(dir / "new.eep");
  EXPECT_EQ(settings["Frequency"], t.frequency);
  EXPECT_EQ(settings["Frequency_step"], t.step);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SetFrequency,
    ::testing::Values(
        // The orderings are the form's (tests/rules); here the file gets them,
        // and a warning the encode repeats is printed once.
        Typed{{"Frequency=25"}, "025.00000", "6.25kHz", {kLowWarning}},
        Typed{{"Frequency_step=5kHz", "Frequency=138.91"}, "138.91000", "5kHz", {}},
        Typed{{"Frequency=25", "Frequency_step=5kHz"}, "025.00000", "5kHz", {kLowWarning}}));

TEST_F(FileCommandsTest, SetAppliesTheFieldRulesWithTheirWarnings) {
  const CliRun run = run_cli({"set", dir / "f.eep", "--new", "Num_message=13", "Serial_no=42", "Hello_msg=good day",
                              "Urgent_call_addr=address  2", "Urgent_call_tone=TONE B", "Password=7", "sc_address1=8",
                              "Full_msg=false", "CtRadio=Uncollectible codeword"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(lines_of(run.err), (std::vector<std::string>{"The number of message value range out,the max is 12  "}));
  const Json s = shown(dir / "f.eep");
  EXPECT_EQ(s["Num_message"], "12");
  EXPECT_EQ(s["Serial_no"], "00000042");
  EXPECT_EQ(s["Hello_msg"], "GOOD DAY      ");
  EXPECT_EQ(s["Urgent_call_tone"], "TONE B");
  EXPECT_EQ(s["Password"], "0007");
  EXPECT_EQ(s["sc_address1"], "0000008");
  EXPECT_EQ(s["Full_msg"], false);
  EXPECT_EQ(s["CtRadio"], "Uncollectible codeword");
}

// Only what was set changes: the other bytes are the file's.
TEST_F(FileCommandsTest, SetChangesOnlyWhatItIsToldAndCanSaveElsewhere) {
  Settings settings;
  settings.hello = "KEEP ME       ";
  settings.baud_rate = 0;
  const std::string file = file_of(settings);
  const Bytes before = read_file(file);

  const CliRun run = run_cli({"set", file, "Baud_rate=512   bps", "-o", dir / "out.eep"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(file), before);
  settings.baud_rate = 1;
  EXPECT_EQ(read_file(dir / "out.eep"), bytes_of(q5::image::encode(settings)));

  ASSERT_EQ(run_cli({"set", file, "Baud_rate=512   bps"}).status, 0);
  EXPECT_EQ(read_file(file), read_file(dir / "out.eep"));
}

// ------------------------------------------------------------ refusals

struct BadFile {
  const char* name;
  Bytes (*make)(const Bytes& valid);
  std::string text;
  std::string reason = {};  // a file not opened or read: after its name
};
void PrintTo(const BadFile& f, std::ostream* os) { *os << f.name; }

class RefusedFile : public FileCommandsTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RefusedFile, GivesStatusTwoAndTheWindowsTextInEveryCommand) {
  const std::string good = file_of(Settings{}, "good.eep");
  const std::string bad = dir / "bad.eep";
  if (GetParam().make) write_file(bad, GetParam().make(read_file(good)));
  // A file that was read is judged with the window's words; one that could
  // not be is named, with the reason, in the message itself.
  const bool named = !GetParam().reason.empty();
  const std::string text = named ? GetParam().text + ": " + bad + ": " + GetParam().reason : GetParam().text;
  const std::string diff_text = named ? text : bad + ": " + text;
  struct Command {
    std::vector<std::string> args;
    std::string err;
  };
  for (const Command& c : std::vector<Command>{
           {{"show", bad}, text + "\n"},
           {{"show", "--json", bad}, text + "\n"},
           {{"set", bad, "Baud_rate=2400 bps"}, text + "\n"},
           {{"diff", bad, good}, diff_text + "\n"},
           {{"diff", good, bad}, diff_text + "\n"},
           {{"write", bad, "--demo"}, text + "\n"},
       }) {
    SCOPED_TRACE(c.args.front());
    const Bytes before = read_file(bad);
    const CliRun run = run_cli(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_file(bad), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RefusedFile,
                         ::testing::Values(BadFile{"Missing", nullptr, "File open error", "No such file or directory"},
                                           BadFile{"Short",
                                                   [](const Bytes& v) { return Bytes(v.begin(), v.begin() + 255); },
                                                   "File read error",
                                                   "255 bytes, a configuration file has 256"},
                                           BadFile{"Checksum",
                                                   [](const Bytes& v) {
                                                     Bytes b = v;
                                                     ++b[100];
                                                     return b;
                                                   },
                                                   "checksum is error!"},
                                           BadFile{"OtherModel",
                                                   [](const Bytes& v) {
                                                     Image image = image_of(v);
                                                     image[q5::image::off::function_flags] |= q5::image::kModelBitMask;
                                                     q5::image::seal(image);
                                                     return bytes_of(image);
                                                   },
                                                   "Model Error, please check..."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileCommandsTest, AFolderIsAnOpenErrorAndCannotBeSavedOver) {
  const std::string folder = dir / "folder.eep";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(run_cli({"show", folder}).err, "File open error: " + folder + ": Is a directory\n");
  const CliRun run = run_cli({"set", folder, "--new", "--force", "Baud_rate=2400 bps"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "File open error: " + folder + ": Is a directory\n");
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

struct Misuse {
  std::vector<std::string> args;
  std::string says;  // part of the error
};
void PrintTo(const Misuse& m, std::ostream* os) {
  for (const std::string& a : m.args) *os << a << ' ';
}

class UsageError : public FileCommandsTest, public ::testing::WithParamInterface<Misuse> {};

TEST_P(UsageError, GivesStatusTwoAndSaysWhy) {
  const std::string file = file_of(Settings{});
  const Bytes before = read_file(file);
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) args.push_back(a == "FILE" ? file : a);
  const CliRun run = run_cli(args);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(read_file(file), before);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, UsageError,
    ::testing::Values(
        Misuse{{}, "A subcommand is required"}, Misuse{{"print", "FILE"}, "unknown command 'print'"},
        Misuse{{"show"}, "FILE is required"}, Misuse{{"show", "FILE", "--xml"}, "--xml"},
        Misuse{{"diff", "FILE"}, "B is required"}, Misuse{{"set", "FILE"}, "NAME=VALUE"},
        Misuse{{"set", "FILE", "Baud_rate"}, "expected NAME=VALUE"},
        Misuse{{"set", "FILE", "Baud=2400 bps"},
               "\"Baud\" is not a setting of a configuration file; did you mean Baud_rate?"},
        Misuse{{"set", "FILE", "Hello_msg=HELLO WORLD!"},
               "Hello_msg: \"!\" cannot be stored in the pager (digits, A-Z and space only)"},
        Misuse{{"set", "FILE", "Hello_msg=Gr\xC3\xBC\xC3\x9F" "e"}, "Hello_msg: \"\xC3\xBC\xC3\x9F\" cannot be stored"},
        Misuse{{"set", "FILE", "Frequency_step=12.5kHz"},
               "Frequency_step has no item \"12.5kHz\" with FirmwareVer R1; set FirmwareVer=R2 with it"},
        Misuse{{"set", "FILE", "Dup_msg_rejection_chekbox=false", "Dup_msg_time=2 min"},
               "set Dup_msg_rejection_chekbox=true with it"},
        Misuse{{"set", "FILE", "sc_address3=2004008"}, "sc_address3 holds sc_address2's address 2004008"},
        // Kept by the window, but not in a file.
        Misuse{{"set", "FILE", "CheckBox1=true"}, "\"CheckBox1\" is not a setting"},
        Misuse{{"set", "FILE", "sc_autoinc1=8"}, "\"sc_autoinc1\" is not a setting"},
        Misuse{{"set", "FILE", "Baud_rate=9600 bps"},
               "Baud_rate has no item \"9600 bps\"; its items are \"2400 bps\", \"512   bps\", \"1200 bps\""},
        Misuse{{"set", "FILE", "CtRadio=Never"}, "CtRadio has no button \"Never\""},
        Misuse{{"set", "FILE", "Full_msg=yes"}, "Full_msg takes true or false"},
        Misuse{{"set", "FILE", "Serial_no=12a"}, "Serial_no: the field does not take 'a'"},
        Misuse{{"set", "FILE", "sc_address2=-5"}, "sc_address2: the field does not take '-'"},
        Misuse{{"set", "FILE", "Frequency=138.9.5"}, "Frequency: a point the field does not take"},
        Misuse{{"set", "FILE", "Hello_msg=FIFTEEN LETTERS"}, "Hello_msg: longer than its 14 characters"},
        Misuse{{"set", "FILE", "Hello_msg=\xE2\x82\xAC"}, "Hello_msg: \"\xE2\x82\xAC\" holds a character"},
        Misuse{{"set", "FILE", "Hello_msg=\xC3"}, "Hello_msg: "},
        // An emptied number field: the window's error box.
        Misuse{{"set", "FILE", "Num_message="}, "'' is not a valid integer value"},
        Misuse{{"set", "FILE", "Frequency="}, "'' is not a valid floating point value"},
        Misuse{{"set", "FILE", "--new"}, "exists: set --new replaces it only with --force"}, Misuse{{"read"}, "OUT is required"},
        Misuse{{"read", "x.eep", "--lpt", "3"}, "--lpt"}, Misuse{{"write", "FILE", "--count", "0"}, "--count"},
        Misuse{{"write", "FILE", "--offsets", "8,8,8"}, "expected four offsets from 0 to 8"},
        Misuse{{"write", "FILE", "--offsets", "1,2,3,9"}, "expected four offsets from 0 to 8"},
        Misuse{{"write", "FILE", "--offsets", "1,2,3,4,5"}, "expected four offsets from 0 to 8"},
        Misuse{{"write", "FILE", "--log"}, "--log"}));

TEST_F(FileCommandsTest, HelpOnEveryCommandAndTheVersion) {
  for (const std::string command : {"", "show", "diff", "set", "read", "write"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args;
    if (!command.empty()) args.push_back(command);
    args.push_back("--help");
    const CliRun run = run_cli(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: q5prog-cli" + (command.empty() ? "" : " " + command), 0), 0U) << run.out;
    EXPECT_NE(run.out.find("Exit status"), std::string::npos);
  }
  const CliRun version = run_cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "q5prog-cli 1.22\n");
}

// ------------------------------------------------------------ show and diff

// Bytes from 0x80 up in the texts and the serial number: each character
// is the Unicode character of its code, and what leaves is UTF-8.
TEST_F(FileCommandsTest, HighBytesLeaveAsUtf8InTextAndJson) {
  Image image = q5::image::encode(Settings{});
  // Letters are their character less 0x31: code 0xB8 is 0xE9, which the
  // upper-case field shows as 0xC9.
  image[q5::image::off::hello_text] = 0xB8;
  image[q5::image::off::hello_text + 1] = 0xD0;  // shows as 0x01, a control character
  image[q5::image::off::serial_digits] = 0xB5;
  q5::image::seal(image);
  const std::string file = dir / "high.eep";
  write_file(file, bytes_of(image));

  const CliRun text = run_cli({"show", file});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Hello_msg: \"\xC3\x89\\u0001PPY EVERYDAY\"\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Serial_no: \"\xC2\xB5"
                          "2345678\"\n"),
            std::string::npos)
      << text.out;

  const CliRun json = run_cli({"show", "--json", file});
  ASSERT_EQ(json.status, 0) << json.err;
  const Json parsed = Json::parse(json.out);  // throws on invalid UTF-8
  EXPECT_EQ(parsed["Hello_msg"],
            "\xC3\x89\x01"
            "PPY EVERYDAY");
  EXPECT_EQ(parsed["Serial_no"],
            "\xC2\xB5"
            "2345678");
  const CliRun diff = run_cli({"diff", "--json", file, file_of(Settings{})});
  EXPECT_EQ(diff.status, 1);
  EXPECT_EQ(Json::parse(diff.out)["settings"]["Hello_msg"][0], parsed["Hello_msg"]);
}

TEST_F(FileCommandsTest, ShowWarnsOnStandardErrorAndStillShows) {
  Settings settings;
  settings.frequency = "025.00000";
  const CliRun run = run_cli({"show", file_of(settings)});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, std::string(kLowWarning) + "\n");
  EXPECT_NE(run.out.find("Frequency: \"025.00000\"\n"), std::string::npos);
  // One line per setting: the window's controls less the frame numbers,
  // the offsets and the "Auto" box.
  EXPECT_EQ(lines_of(run.out).size(), 98U);
}

TEST_F(FileCommandsTest, DiffNamesTheSettingsAndTheBytesThatDiffer) {
  Settings a;
  Settings b = a;
  b.baud_rate = 0;
  b.hello = "OTHER GREETING";
  b.address_enabled[1] = false;
  const std::string fa = file_of(a, "a.eep");
  const std::string fb = file_of(b, "b.eep");

  const CliRun same = run_cli({"diff", fa, fa});
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out, "");

  const CliRun text = run_cli({"diff", fa, fb});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(lines_of(text.out).at(0), "sc_addractv2: true -> false");
  EXPECT_EQ(lines_of(text.out).at(1), "Baud_rate: \"1200 bps\" -> \"2400 bps\"");
  EXPECT_EQ(lines_of(text.out).at(2), "Hello_msg: \"HAPPY EVERYDAY\" -> \"OTHER GREETING\"");
  const Image ia = q5::image::encode(a);
  const Image ib = q5::image::encode(b);
  std::string offsets = "bytes:";
  for (std::size_t at = 0; at < ia.size(); ++at) {
    if (ia[at] != ib[at]) offsets += " " + std::to_string(at);
  }
  EXPECT_EQ(lines_of(text.out).at(3), offsets);
  EXPECT_EQ(lines_of(text.out).size(), 4U);

  const Json json = Json::parse(run_cli({"diff", "--json", fa, fb}).out);
  EXPECT_EQ(json["settings"].size(), 3U);
  EXPECT_EQ(json["settings"]["Baud_rate"], Json::array({"1200 bps", "2400 bps"}));
  EXPECT_EQ(json["bytes"].size(), static_cast<std::size_t>(std::count(offsets.begin(), offsets.end(), ' ')));
}

// Bytes the form does not show still make two files differ.
TEST_F(FileCommandsTest, DiffOfBytesAloneIsADifference) {
  const std::string fa = file_of(Settings{}, "a.eep");
  Image image = q5::image::encode(Settings{});
  image[q5::image::off::constant_00] = 0x55;  // a byte no setting holds
  q5::image::seal(image);
  write_file(dir / "b.eep", bytes_of(image));
  const CliRun run = run_cli({"diff", fa, dir / "b.eep"});
  EXPECT_EQ(run.status, 1);
  const Image a = q5::image::encode(Settings{});
  std::string expected = "bytes:";
  for (const std::size_t at : {std::size_t{67}, q5::image::off::checksum, q5::image::off::checksum + 1}) {
    if (a[at] != image[at]) expected += " " + std::to_string(at);
  }
  EXPECT_EQ(run.out, expected + "\n");
}

}  // namespace
