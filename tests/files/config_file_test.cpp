#include "files/config_file.h"

#include "files/as_user.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace q5::files;
using q5::image::Image;
using Bytes = std::vector<std::uint8_t>;

Image sample_image(std::uint8_t seed) {
  Image image{};
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(seed + i * 7);
  return image;
}

Bytes bytes_of(const Image& image) { return {image.begin(), image.end()}; }

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "q5files.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  void write_file(const std::string& name, const Bytes& bytes) const {
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good());
  }

  Bytes read_file(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  // The names in the test folder, to prove that no temporary was left behind.
  std::vector<std::string> entries(const std::string& sub = "") const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / sub)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  ino_t inode_of(const std::string& name) const {
    struct stat st {};
    return ::stat(path(name).c_str(), &st) == 0 ? st.st_ino : 0;
  }

  // Saves as an ordinary user, whom permission bits stop even where the
  // tests run as root; nullopt when no such user can be had.
  std::optional<SaveResult> save_as_user(const std::string& name, const Image& image) const {
    const std::optional<int> status =
        q5::test::run_as_user(dir_, [&] { return static_cast<int>(save_image(path(name), image)); });
    if (!status) return std::nullopt;
    return static_cast<SaveResult>(*status);
  }

  fs::perms mode_of(const std::string& name) const { return fs::status(path(name)).permissions() & fs::perms::mask; }

  fs::path dir_;
};

TEST_F(ConfigFile, SaveWritesExactly256BytesAndLoadReadsOnlyThem) {
  const std::string name(250, 'n');  // a long name, whose temporary must still fit the limit
  write_file(name, Bytes(1000, 0xAA));
  const Image saved = sample_image(3);
  ASSERT_EQ(save_image(path(name), saved), SaveResult::ok);
  EXPECT_EQ(read_file(name), bytes_of(saved));
  EXPECT_EQ(entries(), std::vector<std::string>{name});

  Image loaded = sample_image(99);
  ASSERT_EQ(load_image(path(name), loaded), LoadResult::ok);
  EXPECT_EQ(loaded, saved);

  // Bytes after the image are ignored.
  Bytes longer = bytes_of(sample_image(1));
  longer.resize(300, 0xEE);
  write_file("long.txt", longer);
  ASSERT_EQ(load_image(path("long.txt"), loaded), LoadResult::ok);
  EXPECT_EQ(loaded, sample_image(1));

  // A short file leaves the image unchanged.
  for (std::size_t size : {0u, 1u, 255u}) {
    write_file("short.eep", Bytes(size, 0x11));
    EXPECT_EQ(load_image(path("short.eep"), loaded), LoadResult::read_error) << size;
    EXPECT_EQ(loaded, sample_image(1)) << size;
  }
}

TEST_F(ConfigFile, WhatIsNotARegularFileIsRefusedUntouched) {
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);  // without a writer, a plain open or read would block
  fs::create_directory(path("folder"));
  fs::create_directory_symlink("folder", path("folder-link"));
  fs::create_symlink("loop2", path("loop1"));
  fs::create_symlink("loop1", path("loop2"));
  for (const std::string& name : {path("missing.eep"), path("folder"), path("fifo"), path("loop1"),
                                  std::string("/dev/null"), std::string("")}) {
    SCOPED_TRACE(name);
    Image image = sample_image(8);
    EXPECT_EQ(load_image(name, image), LoadResult::open_error);
    EXPECT_EQ(image, sample_image(8));
  }
  for (const char* name : {"fifo", "folder", "folder-link", "folder/", "loop1", "nowhere/a.eep"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(save_image(path(name), sample_image(2)), SaveResult::open_error);
  }
  EXPECT_TRUE(fs::is_fifo(path("fifo")));
  EXPECT_TRUE(fs::is_empty(path("folder")));
  EXPECT_EQ(entries(), (std::vector<std::string>{"fifo", "folder", "folder-link", "loop1", "loop2"}));
}

TEST_F(ConfigFile, SaveLeavesReadOnlyFolderAndFileAlone) {
  fs::create_directory(path("ro"));
  write_file("ro/locked.eep", {1, 2, 3});
  write_file("b.eep", {4, 5});
  fs::permissions(path("ro/locked.eep"), fs::perms::owner_read);
  fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  fs::permissions(path("b.eep"), fs::perms::owner_read);
  for (const char* name : {"ro/new.eep", "ro/locked.eep", "b.eep"}) {
    SCOPED_TRACE(name);
    const std::optional<SaveResult> result = save_as_user(name, sample_image(2));
    if (!result) GTEST_SKIP() << "no ordinary user to save as";
    EXPECT_EQ(result, SaveResult::open_error);
  }
  EXPECT_EQ(read_file("ro/locked.eep"), (Bytes{1, 2, 3}));
  EXPECT_EQ(read_file("b.eep"), (Bytes{4, 5}));
  EXPECT_EQ(entries("ro"), std::vector<std::string>{"locked.eep"});
  fs::permissions(path("ro"), fs::perms::owner_all);  // so that it can be removed
}

TEST_F(ConfigFile, WritableFileInReadOnlyFolderIsOverwrittenInPlace) {
  fs::create_directory(path("ro"));
  write_file("ro/a.eep", Bytes(1000, 0xAA));  // longer than an image, so it must be cut
  fs::create_symlink("ro/a.eep", path("link.eep"));
  const ino_t inode = inode_of("ro/a.eep");
  ASSERT_NE(inode, 0u);
  fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec);

  for (const auto& [name, seed] : {std::pair{"ro/a.eep", 5}, std::pair{"link.eep", 6}}) {
    SCOPED_TRACE(name);
    const Image image = sample_image(static_cast<std::uint8_t>(seed));
    const std::optional<SaveResult> result = save_as_user(name, image);
    if (!result) GTEST_SKIP() << "no ordinary user to save as";
    EXPECT_EQ(result, SaveResult::ok);
    EXPECT_EQ(read_file("ro/a.eep"), bytes_of(image));
    EXPECT_EQ(inode_of("ro/a.eep"), inode);
    EXPECT_EQ(entries("ro"), std::vector<std::string>{"a.eep"});
  }
  EXPECT_TRUE(fs::is_symlink(path("link.eep")));

  // A write that fails part way must say so; a file size limit stands in
  // for a full disk.
  const auto failed = q5::test::run_as_user(dir_, [this] {
    constexpr rlim_t kLimit = 100;
    const rlimit small{kLimit, kLimit};
    std::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return q5::test::kBodyThrew;
    return static_cast<int>(save_image(path("ro/a.eep"), sample_image(7)));
  });
  EXPECT_EQ(failed, static_cast<int>(SaveResult::write_error));
  EXPECT_EQ(entries("ro"), std::vector<std::string>{"a.eep"});
  fs::permissions(path("ro"), fs::perms::owner_all);
}

TEST_F(ConfigFile, NewFileTakesTheUmaskAndAReplacedFileKeepsItsMode) {
  const mode_t old_mask = ::umask(027);
  const SaveResult result = save_image(path("new.eep"), sample_image(2));
  ::umask(old_mask);
  ASSERT_EQ(result, SaveResult::ok);
  EXPECT_EQ(mode_of("new.eep"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

  write_file("a.eep", {1, 2, 3});
  const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
  fs::permissions(path("a.eep"), mode);
  ASSERT_EQ(save_image(path("a.eep"), sample_image(2)), SaveResult::ok);
  EXPECT_EQ(mode_of("a.eep"), mode);
  EXPECT_EQ(read_file("a.eep"), bytes_of(sample_image(2)));
}

TEST_F(ConfigFile, FailedWriteKeepsOldFileAndLeavesNoTemporary) {
  const Image old_image = sample_image(1);
  ASSERT_EQ(save_image(path("a.eep"), old_image), SaveResult::ok);

  // A file size limit below 256 bytes makes write() fail part way, as a
  // full disk would. Nothing may print while the limit is in force.
  rlimit saved_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  rlimit small = saved_limit;
  small.rlim_cur = 100;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult over_old = save_image(path("a.eep"), sample_image(2));
  const SaveResult fresh = save_image(path("b.eep"), sample_image(2));
  ::setrlimit(RLIMIT_FSIZE, &saved_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(over_old, SaveResult::write_error);
  EXPECT_EQ(fresh, SaveResult::write_error);
  EXPECT_EQ(read_file("a.eep"), bytes_of(old_image));
  EXPECT_EQ(entries(), std::vector<std::string>{"a.eep"});
}

TEST_F(ConfigFile, SaveThroughSymlinkReplacesTheFileItNames) {
  write_file("real.eep", {1, 2, 3});
  fs::create_symlink("real.eep", path("link.eep"));
  ASSERT_EQ(save_image(path("link.eep"), sample_image(4)), SaveResult::ok);
  EXPECT_TRUE(fs::is_symlink(path("link.eep")));
  EXPECT_EQ(read_file("real.eep"), bytes_of(sample_image(4)));
  Image loaded{};
  ASSERT_EQ(load_image(path("link.eep"), loaded), LoadResult::ok);
  EXPECT_EQ(loaded, sample_image(4));

  // A link to a file that does not exist yet creates that file.
  fs::create_symlink("sub/later.eep", path("dangling.eep"));
  fs::create_directory(path("sub"));
  ASSERT_EQ(save_image(path("dangling.eep"), sample_image(6)), SaveResult::ok);
  EXPECT_TRUE(fs::is_symlink(path("dangling.eep")));
  EXPECT_EQ(read_file("sub/later.eep"), bytes_of(sample_image(6)));
}

}  // namespace

namespace {

// The reason a load or save gives beside its result, for the message that
// names the file: the system's words, or a short file's size.
TEST_F(ConfigFile, EveryFailureSaysWhy) {
  fs::create_directory(path("folder"));
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  fs::create_symlink("loop2", path("loop1"));
  fs::create_symlink("loop1", path("loop2"));
  write_file("ten.eep", Bytes(10, 1));
  write_file("one.eep", Bytes(1, 1));
  write_file("empty.eep", {});
  Bytes longer = bytes_of(sample_image(1));
  longer.resize(300, 0xEE);
  write_file("long.eep", longer);

  struct Load {
    std::string name;
    LoadResult result;
    std::string reason;
  };
  for (const Load& c : std::vector<Load>{
           {"missing.eep", LoadResult::open_error, "No such file or directory"},
           {"nowhere/a.eep", LoadResult::open_error, "No such file or directory"},
           {"folder", LoadResult::open_error, "Is a directory"},
           {"fifo", LoadResult::open_error, "not a regular file"},
           {"loop1", LoadResult::open_error, "Too many levels of symbolic links"},
           {"ten.eep", LoadResult::read_error, "10 bytes, a configuration file has 256"},
           {"one.eep", LoadResult::read_error, "1 byte, a configuration file has 256"},
           {"empty.eep", LoadResult::read_error, "0 bytes, a configuration file has 256"},
           {"long.eep", LoadResult::ok, ""},
       }) {
    SCOPED_TRACE(c.name);
    Image image{};
    FileReason reason;
    EXPECT_EQ(load_image(path(c.name), image, &reason), c.result);
    EXPECT_EQ(reason.text(), c.reason);
  }
  FileReason reason;
  Image image{};
  ASSERT_EQ(load_image(path("long.eep"), image, &reason), LoadResult::ok);
  EXPECT_EQ(reason.bytes, 300U);  // what a caller saving over it cuts away
  EXPECT_EQ(load_configuration(path("ten.eep"), image, &reason), OpenRefusal::read_error);
  EXPECT_EQ(reason.bytes, 10U);

  struct Save {
    std::string name;
    std::string reason;
  };
  for (const Save& c : std::vector<Save>{{"nowhere/a.eep", "No such file or directory"},
                                         {"folder", "Is a directory"},
                                         {"folder/", "Is a directory"},
                                         {"fifo", "not a regular file"},
                                         {"loop1", "Too many levels of symbolic links"},
                                         {"", "No such file or directory"}}) {
    SCOPED_TRACE(c.name);
    FileReason why;
    EXPECT_EQ(save_image(c.name.empty() ? "" : path(c.name), sample_image(2), &why), SaveResult::open_error);
    EXPECT_EQ(why.text(), c.reason);
  }
  FileReason saved;
  saved.error = EIO;  // a reason from before is not kept
  ASSERT_EQ(save_image(path("new.eep"), sample_image(2), &saved), SaveResult::ok);
  EXPECT_EQ(saved.text(), "");
}

// Standard input: its first 256 bytes, however they arrive.
TEST(ConfigStream, LoadsTheFirst256BytesOrSaysHowManyCame) {
  struct Case {
    std::size_t size;
    LoadResult result;
    std::string reason;
  };
  for (const Case& c : std::vector<Case>{{0, LoadResult::read_error, "0 bytes, a configuration file has 256"},
                                         {255, LoadResult::read_error, "255 bytes, a configuration file has 256"},
                                         {256, LoadResult::ok, ""},
                                         {1000, LoadResult::ok, ""}}) {
    SCOPED_TRACE(c.size);
    std::string bytes(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i) bytes[i] = static_cast<char>(sample_image(4)[i % 256]);
    std::istringstream in(bytes);
    Image image = sample_image(9);
    FileReason reason;
    EXPECT_EQ(load_image(in, image, &reason), c.result);
    EXPECT_EQ(reason.text(), c.reason);
    EXPECT_EQ(image, c.result == LoadResult::ok ? sample_image(4) : sample_image(9));
  }
  // Judged as a file is: here a checksum that does not add up.
  std::istringstream in(std::string(256, '\x01'));
  Image image{};
  EXPECT_EQ(load_configuration(in, image), OpenRefusal::checksum);
}

}  // namespace
