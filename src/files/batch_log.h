// The batch log: one CSV row for every attempt to write a pager, so that the
// paging operator can learn which pager, by serial number, got which
// addresses. Several programs may append to one log at once.
#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "image/image.h"

namespace q5::files {

// The first line of every log, without its line end.
inline constexpr std::string_view kBatchLogHeader =
    "time,result,serial,addr1_enabled,addr1,frame1,addr2_enabled,addr2,frame2,addr3_enabled,addr3,frame3,"
    "addr4_enabled,addr4,frame4,frequency,step,baud_rate,synthesiser,firmware";

// One pager address as logged: enabled is "1" or "0", frame one digit.
struct BatchLogAddress {
  std::string enabled;
  std::string address;
  std::string frame;
};

// The cells of one row, in the header's order, as the caller wants them
// shown: lists as their item text, values as encoded for that attempt. All
// after `result` stay empty when the attempt ended before there was an image.
struct BatchLogRow {
  std::string time;
  std::string result;
  std::string serial;
  std::array<BatchLogAddress, image::kAddressRows> addresses;
  std::string frequency;
  std::string step;
  std::string baud_rate;
  std::string synthesiser;
  std::string firmware;
};

// Local time as ISO 8601 with its offset, e.g. 2026-12-08T14:03:21+01:00
// (+00:00 for UTC). Empty when the time cannot be converted.
std::string local_iso8601(std::time_t time);

// The row as one CSV record (RFC 4180): a cell holding a comma, double
// quote, CR or LF is quoted with its quotes doubled; the record ends in CRLF.
std::string csv_record(const BatchLogRow& row);

// Appends the row to the log at `path`, creating the file (mode 0666 less
// the umask) with a header when it is new or empty. The row goes out in one
// write() on an O_APPEND file under an exclusive flock, then fsync, so rows
// of several programs never interleave and only one of them writes the
// header. A row that cannot be written whole is taken back out. nullopt on
// success, else why not, naming the path ("…/writes.csv: Permission denied").
// Never throws.
std::optional<std::string> append(const std::string& path, const BatchLogRow& row);

// $XDG_DATA_HOME/q5prog/writes.csv, or ~/.local/share/q5prog/writes.csv when
// XDG_DATA_HOME is unset, empty or not absolute; writes-simulated.csv for the
// simulated pager. Empty when no home folder can be found.
std::string default_batch_log_path(bool simulated);

// Makes the folder that will hold the log at `log_path`, with its missing
// parents, each created one of mode 0700. nullopt when it exists afterwards,
// else why not, naming the folder. Never throws.
std::optional<std::string> create_batch_log_folder(const std::string& log_path);

}  // namespace q5::files
