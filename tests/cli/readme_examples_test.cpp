// Every q5prog-cli example of the README, run as written in a scratch folder
// against the simulated pager (on a virtual clock), in the README's order.
// An example that needs a real cable ends in the comment "# needs a cable"
// and is only parsed.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "cli_run.h"
#include "image/codec.h"
#include "simulated_bench.h"

namespace {

using namespace q5::test;
constexpr const char* kCableMarker = "needs a cable";

struct Example {
  std::string line;
  std::vector<std::string> words;  // after "q5prog-cli", quotes removed
  std::string input_file;          // "< FILE"
  bool needs_cable = false;
};

// The words of a shell line as a POSIX shell splits them: single and
// double quotes, backslashes, and a comment from an unquoted '#' that starts
// a word. nullopt for what the shell would reject (an open quote).
std::optional<std::vector<std::string>> shell_words(const std::string& line, std::string& comment) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(std::exchange(word, {}));
      in_word = false;
    } else if (c == '#' && !in_word) {
      comment = line.substr(i + 1);
      break;
    } else if (c == '\'') {
      const std::size_t end = line.find('\'', i + 1);
      if (end == std::string::npos) return std::nullopt;
      word += line.substr(i + 1, end - i - 1);
      in_word = true;
      i = end;
    } else if (c == '"') {
      std::size_t j = i + 1;
      for (; j < line.size() && line[j] != '"'; ++j) {
        if (line[j] == '\\' && j + 1 < line.size() && std::string("\"\\$`").find(line[j + 1]) != std::string::npos) ++j;
        word += line[j];
      }
      if (j == line.size()) return std::nullopt;
      in_word = true;
      i = j;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      in_word = true;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  return words;
}

// The q5prog-cli lines of the README's code blocks.
std::vector<Example> readme_examples() {
  std::ifstream readme(Q5_README);
  EXPECT_TRUE(readme.good()) << Q5_README;
  std::vector<Example> examples;
  bool in_code = false;
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("```", 0) == 0) {
      in_code = !in_code;
      continue;
    }
    if (!in_code || line.rfind("q5prog-cli ", 0) != 0) continue;
    Example example;
    example.line = line;
    std::string comment;
    const auto words = shell_words(line, comment);
    EXPECT_TRUE(words.has_value()) << "an open quote: " << line;
    if (!words) continue;
    example.words.assign(words->begin() + 1, words->end());
    example.needs_cable = comment.find(kCableMarker) != std::string::npos;
    for (std::size_t i = 0; i < example.words.size(); ++i) {
      if (example.words[i] != "<") continue;
      EXPECT_EQ(i + 2, example.words.size()) << "only a final \"< FILE\" is run: " << line;
      if (i + 1 < example.words.size()) example.input_file = example.words[i + 1];
      example.words.resize(i);
      break;
    }
    examples.push_back(example);
  }
  return examples;
}

TEST(ReadmeExamples, TheSplitterSplitsAsTheShellDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> words;
    std::string comment;
  };
  for (const Case& c : std::vector<Case>{
           {R"(q5prog-cli set a.eep "Baud_rate=2400 bps" x=1   # two settings)", {"q5prog-cli", "set", "a.eep",
                                                                                    "Baud_rate=2400 bps", "x=1"},
            " two settings"},
           {R"(q5prog-cli set a.eep 'Hello_msg=A  B' Num#=1)", {"q5prog-cli", "set", "a.eep", "Hello_msg=A  B", "Num#=1"}, ""},
           {R"(q5prog-cli show "a \"b\".eep" x\ y)", {"q5prog-cli", "show", "a \"b\".eep", "x y"}, ""},
           {R"(q5prog-cli show "")", {"q5prog-cli", "show", ""}, ""},
       }) {
    std::string comment;
    EXPECT_EQ(shell_words(c.line, comment), c.words) << c.line;
    EXPECT_EQ(comment, c.comment) << c.line;
  }
  std::string comment;
  EXPECT_EQ(shell_words("q5prog-cli set a.eep \"Baud_rate=2400", comment), std::nullopt);
}

// The folder the examples run in starts with the files they name but do
// not make: pager.eep, old.eep and new.eep, as the window saves them.
TEST(ReadmeExamples, EveryExampleRunsAsWritten) {
  const std::vector<Example> examples = readme_examples();
  // show, diff, set, read and write at least.
  ASSERT_GE(examples.size(), 5U);
  ScratchFolder dir;
  const CurrentFolder here(dir / "");
  q5::image::Settings old_settings;
  q5::image::Settings new_settings;
  new_settings.serial = "00000002";
  write_file("pager.eep", bytes_of(q5::image::encode(old_settings)));
  write_file("old.eep", bytes_of(q5::image::encode(old_settings)));
  write_file("new.eep", bytes_of(q5::image::encode(new_settings)));

  SimulatedBench pager;
  int cable_examples = 0;
  for (const Example& example : examples) {
    SCOPED_TRACE(example.line);
    if (example.needs_cable) {
      ++cable_examples;
      continue;
    }
    std::string input(200, '\n');  // an Enter for every next pager
    if (!example.input_file.empty()) {
      const Bytes bytes = read_file(example.input_file);
      input.assign(bytes.begin(), bytes.end());
    }
    const CliRun run = run_cli(example.words, pager.environment(), input);
    // diff says 1 when the files differ, as its example's do.
    const int expected = example.words.front() == "diff" ? 1 : 0;
    EXPECT_EQ(run.status, expected) << run.err;
  }
  EXPECT_LT(cable_examples, static_cast<int>(examples.size()));
}

}  // namespace
