// The command line run in-process, as a shell would run it, and a scratch
// folder for its files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "image/image.h"

namespace q5::test {

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline CliRun run_cli(const std::vector<std::string>& args, const q5::cli::Environment& environment = {},
                      const std::string& input = {}) {
  std::vector<std::string> words{"q5prog-cli"};
  // Without a register unless the test is about one: each test's pagers
  // would otherwise meet the others' in one register.
  const bool about_register = std::any_of(args.begin(), args.end(), [](const std::string& a) {
    return a == "register" || a == "--register" || a == "--no-register";
  });
  if (!about_register) words.push_back("--no-register");
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::ostringstream out;
  std::ostringstream err;
  std::istringstream in(input);
  CliRun run;
  run.status = q5::cli::run_cli(static_cast<int>(words.size()), argv.data(), out, err, in, environment);
  run.out = out.str();
  run.err = err.str();
  return run;
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// A folder of its own for each test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "q5cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no scratch folder";
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

using Bytes = std::vector<std::uint8_t>;

inline Bytes read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes bytes_of(const q5::image::Image& image) { return Bytes(image.begin(), image.end()); }

inline q5::image::Image image_of(const Bytes& bytes) {
  q5::image::Image image{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), image.size()), image.begin());
  return image;
}

}  // namespace q5::test
