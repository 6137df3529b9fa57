#include "files/batch_log.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/as_user.h"

namespace {

namespace fs = std::filesystem;
using namespace q5::files;
using Records = std::vector<std::vector<std::string>>;

constexpr std::size_t kColumns = 20;

// Splits a log into records by RFC 4180. nullopt when any of it is malformed:
// a stray quote, a lone CR or LF, or a last record without its CRLF.
std::optional<Records> parse_csv(std::string_view text) {
  Records records;
  std::vector<std::string> cells;
  std::size_t i = 0;
  while (i < text.size()) {
    std::string cell;
    if (text[i] == '"') {
      for (++i;; ++i) {
        if (i >= text.size()) return std::nullopt;
        if (text[i] == '"' && (i + 1 >= text.size() || text[i + 1] != '"')) break;
        if (text[i] == '"') ++i;
        cell += text[i];
      }
      ++i;
    } else {
      for (; i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n'; ++i) {
        if (text[i] == '"') return std::nullopt;
        cell += text[i];
      }
    }
    cells.push_back(std::move(cell));
    if (i < text.size() && text[i] == ',') {
      ++i;
      continue;
    }
    if (text.substr(i, 2) != "\r\n") return std::nullopt;
    i += 2;
    records.push_back(std::move(cells));
    cells.clear();
  }
  if (!cells.empty()) return std::nullopt;
  return records;
}

BatchLogRow sample_row(const std::string& serial) {
  BatchLogRow row;
  row.time = "2026-12-08T14:03:21+01:00";
  row.result = "Write eeprom OK!";
  row.serial = serial;
  row.addresses[0] = {"1", "1234567", "3"};
  row.addresses[1] = {"0", "0000008", "0"};
  row.frequency = "439.9875";
  row.step = "12.5K";
  row.baud_rate = "1200";
  row.synthesiser = "Type \"B\", 2 chips";  // quoted and doubled
  row.firmware = "V1.22";
  return row;
}

// Sets or unsets one environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class BatchLog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "q5log.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  std::string read_file(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  void write_file(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }

  fs::path dir_;
};

const std::string kHeaderLine = std::string(kBatchLogHeader) + "\r\n";

TEST(BatchLogRecord, CellsFollowTheHeaderInOrder) {
  BatchLogRow named;
  named.time = "time";
  named.result = "result";
  named.serial = "serial";
  for (std::size_t i = 0; i < named.addresses.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    named.addresses[i] = {"addr" + n + "_enabled", "addr" + n, "frame" + n};
  }
  named.frequency = "frequency";
  named.step = "step";
  named.baud_rate = "baud_rate";
  named.synthesiser = "synthesiser";
  named.firmware = "firmware";
  EXPECT_EQ(csv_record(named),
            "time,result,serial,addr1_enabled,addr1,frame1,addr2_enabled,addr2,frame2,addr3_enabled,addr3,frame3,"
            "addr4_enabled,addr4,frame4,frequency,step,baud_rate,synthesiser,firmware\r\n");
  EXPECT_EQ(csv_record(named), kHeaderLine);
}

TEST(BatchLogRecord, QuotesOnlyCellsThatNeedIt) {
  const struct {
    std::string cell;
    std::string shown;
  } cases[] = {
      {"Write eeprom OK!", "Write eeprom OK!"},
      {" spaced ", " spaced "},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"Model \"Normal\"", "\"Model \"\"Normal\"\"\""},
      {"\"", "\"\"\"\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"lf\n", "\"lf\n\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cell);
    BatchLogRow row;
    row.time = "T";
    row.result = c.cell;
    row.firmware = c.cell;
    EXPECT_EQ(csv_record(row), "T," + c.shown + std::string(kColumns - 2, ',') + c.shown + "\r\n");
  }
}

TEST(BatchLogTime, LocalTimeWithItsOffset) {
  constexpr std::time_t kWinter = 1796735001;  // 2026-12-08 13:03:21 UTC
  constexpr std::time_t kSummer = 1782900000;  // 2026-07-01 10:00:00 UTC
  const struct {
    const char* tz;
    std::time_t time;
    const char* shown;
  } cases[] = {
      {"UTC0", kWinter, "2026-12-08T13:03:21+00:00"},
      {"UTC-1", kWinter, "2026-12-08T14:03:21+01:00"},
      {"IST-5:30", kWinter, "2026-12-08T18:33:21+05:30"},
      {"NST+3:30", kWinter, "2026-12-08T09:33:21-03:30"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", kWinter, "2026-12-08T14:03:21+01:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", kSummer, "2026-07-01T12:00:00+02:00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tz);
    const ScopedEnv tz("TZ", c.tz);
    ::tzset();
    EXPECT_EQ(local_iso8601(c.time), c.shown);
  }
  ::tzset();
}

TEST(BatchLogPath, DataHomeOrTheDefaultBelowHome) {
  const struct {
    const char* xdg;
    bool simulated;
    const char* expected;
  } cases[] = {
      {"/data", false, "/data/q5prog/writes.csv"},
      {"/data/", true, "/data/q5prog/writes-simulated.csv"},
      {nullptr, false, "/home/tech/.local/share/q5prog/writes.csv"},
      {"", true, "/home/tech/.local/share/q5prog/writes-simulated.csv"},
      {"relative/data", false, "/home/tech/.local/share/q5prog/writes.csv"},
  };
  const ScopedEnv home("HOME", "/home/tech");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
    const ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
    EXPECT_EQ(default_batch_log_path(c.simulated), c.expected);
  }
}

TEST_F(BatchLog, FolderIsMadeWithItsParentsForTheOwnerOnly) {
  const mode_t old_mask = ::umask(022);
  const auto made = create_batch_log_folder(path("share/q5prog/writes.csv"));
  const auto again = create_batch_log_folder(path("share/q5prog/writes.csv"));
  ::umask(old_mask);
  EXPECT_EQ(made, std::nullopt);
  EXPECT_EQ(again, std::nullopt);
  for (const char* folder : {"share", "share/q5prog"}) {
    EXPECT_EQ(fs::status(path(folder)).permissions(), fs::perms::owner_all) << folder;
  }

  write_file("file", "");
  const auto blocked = create_batch_log_folder(path("file/q5prog/writes.csv"));
  ASSERT_TRUE(blocked);
  EXPECT_NE(blocked->find(path("file/q5prog")), std::string::npos) << *blocked;
}

TEST_F(BatchLog, HeaderOnlyAtTheStartOfANewOrEmptyFile) {
  const std::string first = csv_record(sample_row("00000001"));
  const std::string second = csv_record(sample_row("00000002"));
  const struct {
    const char* what;
    std::optional<std::string> before;
    std::string after;
  } cases[] = {
      {"new", std::nullopt, kHeaderLine + first + second},
      {"empty", "", kHeaderLine + first + second},
      {"with rows", kHeaderLine + first, kHeaderLine + first + first + second},
      {"last line without its end", "a,b", "a,b\r\n" + first + second},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(path("writes.csv"));
    if (c.before) write_file("writes.csv", *c.before);
    EXPECT_EQ(append(path("writes.csv"), sample_row("00000001")), std::nullopt);
    EXPECT_EQ(append(path("writes.csv"), sample_row("00000002")), std::nullopt);
    EXPECT_EQ(read_file("writes.csv"), c.after);
  }
}

TEST_F(BatchLog, FailureIsAReasonNamingThePathNeverAThrow) {
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);  // opening it to write would block
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {path("missing/writes.csv"), path("missing/writes.csv") + ": No such file or directory"},
      {dir_.string(), dir_.string() + ": not a regular file"},
      {path("fifo"), path("fifo") + ": not a regular file"},
      {"", ": No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<std::string> reason;
    EXPECT_NO_THROW(reason = append(c.path, sample_row("1")));
    EXPECT_EQ(reason, c.reason);
  }

  // A folder the user may not write to.
  fs::create_directory(path("ro"));
  fs::permissions(path("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  const std::string log = path("ro/writes.csv");
  const auto denied = q5::test::run_as_user(dir_, [&] {
    return append(log, sample_row("1")) == log + ": Permission denied" ? 0 : 1;
  });
  if (!denied) GTEST_SKIP() << "no ordinary user to append as";
  EXPECT_EQ(denied, 0);
  EXPECT_FALSE(fs::exists(log));
}

TEST_F(BatchLog, RowThatDoesNotFitIsTakenBackOut) {
  ASSERT_EQ(append(path("writes.csv"), sample_row("1")), std::nullopt);
  const std::string before = read_file("writes.csv");

  // A file size limit a few bytes past the end stands in for a full disk.
  rlimit saved_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
  rlimit small = saved_limit;
  small.rlim_cur = before.size() + 10;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto reason = append(path("writes.csv"), sample_row("2"));
  ::setrlimit(RLIMIT_FSIZE, &saved_limit);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(reason, path("writes.csv") + ": File too large");
  EXPECT_EQ(read_file("writes.csv"), before);
}

// Two programs start one new log at the same moment and keep appending.
TEST_F(BatchLog, TwoProgramsAtOnceWriteOneHeaderAndWholeRows) {
  constexpr int kPrograms = 2;
  constexpr int kRows = 150;
  constexpr int kRounds = 3;  // each on a new file, for more chances to race for the header
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    const std::string name = "writes" + std::to_string(round) + ".csv";
    const std::string log = path(name);
    int start[2];
    ASSERT_EQ(::pipe(start), 0);
    std::vector<pid_t> children;
    for (int program = 0; program < kPrograms; ++program) {
      const pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        ::close(start[1]);
        char go = 0;
        (void)!::read(start[0], &go, 1);  // returns when the parent closes its end
        int failures = 0;
        for (int row = 0; row < kRows; ++row) {
          BatchLogRow r = sample_row(std::to_string(program) + ":" + std::to_string(row));
          r.result = "Verify error,\r\n\"please\" check Connection";  // a cell that spans lines
          failures += append(log, r).has_value();
        }
        ::_exit(failures == 0 ? 0 : 1);
      }
      children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);
    for (const pid_t child : children) {
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    const auto records = parse_csv(read_file(name));
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1u + kPrograms * kRows);
    EXPECT_EQ(records->front(), parse_csv(kHeaderLine)->front());
    std::map<std::string, int> seen;
    for (std::size_t i = 1; i < records->size(); ++i) {
      ASSERT_EQ((*records)[i].size(), kColumns) << i;
      ++seen[(*records)[i][2]];
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kPrograms * kRows));
  }
}

}  // namespace
