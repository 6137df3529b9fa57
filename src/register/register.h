// The pager register: every write and read of a pager, the individual
// addresses each pager holds, and the allocation of addresses and serial
// numbers shared by several benches. One bench keeps it in an SQLite file;
// a workshop shares it on a PostgreSQL server. No Qt.
//
// How a write uses it (the write job, for the window and the command line):
//   auto reg = open_register(resolve_location(option, no_register, getenv("Q5PROG_REGISTER"), simulated));
//   PendingEvents pending(default_pending_path(simulated)); pending.deliver(*reg);
//   Reservation r = reg->reserve(plan);          // refusal set: do not touch the pager
//   ... write the pager (with r.allocated / r.allocated_serial applied) ...
//   verified or not: reg->record(event, &r);     // throws RegisterError: pending.keep(event)
//   a write that never reached the pager session: reg->cancel(r)
// Every function of Register throws RegisterError when the register cannot
// be reached or refuses; its text names the register and gives the reason.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/image.h"

namespace q5::reg {

struct RegisterError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Which register: --no-register > --register VALUE > $Q5PROG_REGISTER > the
// default file. A value starting with postgresql:// or postgres:// is
// PostgreSQL (a libpq URI); anything else an SQLite path.
struct Location {
  enum class Kind { none, sqlite, postgres };
  Kind kind = Kind::none;
  std::string target;  // the path or URI
};

// `env` is the value of Q5PROG_REGISTER (nullptr or empty when unset). The
// default file is $XDG_DATA_HOME/q5prog/register.sqlite3
// (~/.local/share/q5prog/... when unset), register-simulated.sqlite3 for the
// simulated pager. Throws RegisterError for a URI holding a password
// (passwords come only from ~/.pgpass, PGPASSWORD or a service file), a URI
// libpq cannot parse, or when there is no home folder for the default.
Location resolve_location(const std::optional<std::string>& option, bool no_register, const char* env,
                          bool simulated);

// "/home/ann/.local/share/q5prog/register.sqlite3",
// "postgresql://workshop/q5 (shared)", or "none" for Kind::none.
std::string display_name(const Location& location);

// The local queue of events the register could not take, beside the default
// register: pending-events.jsonl (pending-events-simulated.jsonl).
std::string default_pending_path(bool simulated);

struct AddressSlot {
  std::string address;  // the form's digits, e.g. "2004008"
  bool enabled = false;
};

// One write that reached the pager session, or one read.
struct PagerEvent {
  std::int64_t id = 0;   // given by the register (0 before it is recorded)
  std::string time_utc;  // ISO 8601, 2026-12-08T17:03:21Z; filled in when empty
  std::string bench, operator_name, program_version, cable;
  std::string command;  // "write" or "read"
  std::string result;   // the session's text, "Write eeprom OK!" ...
  bool verified = false;  // a write whose verify passed
  std::string serial_read, serial_written;  // empty when unknown
  std::array<AddressSlot, 4> addresses;     // as written (write) or as read (read)
  std::string frequency, step, baud_rate, synthesiser, firmware;
  std::optional<image::Image> image_before, image_after;
  std::string image_before_sha256, image_after_sha256;  // filled in by record(); lower-case hex
};

// What a write is about to put into a pager.
struct WritePlan {
  std::string serial_read, serial_written;
  std::array<AddressSlot, 4> addresses;
  std::array<std::optional<std::string>, 4> allocate;  // a pool name: the register picks address N
  bool allocate_serial = false;  // one more than the highest serial known, or serial_written if higher
  bool reassign = false;         // take held addresses from their holders (administrators only)
  std::string bench, operator_name;
};

struct Refusal {
  std::string text;        // "Address 1 (2004008) belongs to pager 00000042"
  std::string where_when;  // "written 2026-12-08T17:03:21Z on bench2 by ann"
};

struct Reservation {
  std::int64_t id = 0;  // 0: nothing was reserved
  std::array<std::optional<std::string>, 4> allocated;  // 7 digits, to be enabled
  std::optional<std::string> allocated_serial;          // 8 digits
  std::vector<std::string> warnings;  // one line each, for the log or standard error
  std::optional<Refusal> refusal;     // set: nothing reserved, the write must not go ahead
};

enum class PoolKind { individual, group };
struct Pool {
  std::string name;
  std::int64_t first = 0, last = 0;
  PoolKind kind = PoolKind::individual;
  std::int64_t held = 0;  // addresses of the pool held by a pager
};
const char* kind_name(PoolKind kind);  // "individual", "group"

struct AddressInfo {
  std::string address;
  std::optional<std::string> pool;    // the pool it lies in
  std::optional<std::string> holder;  // the serial holding it
  std::vector<PagerEvent> events;     // the writes that put it into a pager, oldest first (no images)
};

struct EventFilter {
  std::string serial;   // as read or as written; empty: any
  std::string address;  // any of the four; empty: any
};

class Register {
 public:
  virtual ~Register() = default;

  virtual std::string name() const = 0;  // display_name of its location

  // In ONE transaction: expired reservations dropped, addresses and the
  // serial allocated, every enabled individual address and a serial being
  // assigned checked and reserved for this pager. While no individual pool
  // exists nothing is refused; clashes become warnings.
  virtual Reservation reserve(const WritePlan& plan) = 0;
  // Drops the reservation (a write that failed or never started).
  virtual void cancel(const Reservation& reservation) = 0;
  // Stores the event. For a verified write: holdings taken and released, a
  // changed serial's holdings moved. The reservation, if given, is consumed.
  virtual void record(const PagerEvent& event, const Reservation* reservation = nullptr) = 0;

  // Pools. add_pool refuses an empty range, a used name and a range
  // overlapping another pool; remove_pool a pool with a held address.
  virtual void add_pool(const Pool& pool) = 0;
  virtual void remove_pool(const std::string& name) = 0;
  virtual std::vector<Pool> pools() = 0;

  virtual AddressInfo find(const std::string& address) = 0;
  // Every event of the pager, as read or as written, oldest first (no images).
  virtual std::vector<PagerEvent> history(const std::string& serial) = 0;
  // The image of the pager's last verified write, or the last one at or
  // before `at_utc` (ISO 8601 UTC); nullopt when there is none.
  virtual std::optional<image::Image> restore(const std::string& serial, const std::optional<std::string>& at_utc) = 0;
  // Frees a held address (recorded as a reassignment; administrators only).
  // Returns its former holder, nullopt when nobody held it.
  virtual std::optional<std::string> release(const std::string& address, const std::string& bench,
                                             const std::string& operator_name) = 0;

  // Events oldest first, `limit` from `offset`, matching the filter; images
  // only when asked for.
  virtual std::vector<PagerEvent> events(const EventFilter& filter, std::int64_t offset, std::int64_t limit,
                                         bool with_images = false) = 0;
  virtual std::int64_t count_events(const EventFilter& filter) = 0;
  virtual std::optional<PagerEvent> event(std::int64_t id) = 0;  // with images
};

struct Options {
  std::function<std::time_t()> now = [] { return std::time(nullptr); };  // reservations' expiry, event times
};

// Opens the register, creating or migrating its schema. Throws RegisterError
// ("Register /path: <reason>") when it cannot be opened or has a newer schema
// (nothing is changed then). Kind::none gives nullptr.
std::unique_ptr<Register> open_register(const Location& location, const Options& options = {});

// How long a reservation stays when its write neither records nor cancels.
constexpr std::time_t kReservationSeconds = 600;
// The schema this program writes; a register with a higher one is refused.
constexpr int kSchemaVersion = 1;

// "2026-12-08T17:03:21Z"
std::string iso8601_utc(std::time_t time);
std::string sha256_hex(const image::Image& image);
// "2026-12-08", "2026-12-08T17:03" or "2026-12-08T17:03:21", with or without
// a final Z, as "2026-12-08T17:03:21Z" (missing parts are zero); nullopt for
// anything else.
std::optional<std::string> normalize_utc(const std::string& text);

// Events the register could not take, kept one JSON line each so that a
// verified write is never lost; delivered at the next command.
class PendingEvents {
 public:
  explicit PendingEvents(std::string path) : path_(std::move(path)) {}
  // Appends the event (with its images) under a lock, synced. Throws
  // RegisterError when the file cannot be written.
  void keep(const PagerEvent& event);
  // Records every kept event, oldest first, and removes the delivered ones.
  // Stops at the first the register refuses (the rest stay). Returns how
  // many were delivered.
  std::size_t deliver(Register& reg);
  std::size_t size() const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace q5::reg
