// The register's rules in SQL that both engines run alike.
#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>
#include <type_traits>

#include "register/database.h"
#include "register/register.h"
#include "register/schema.h"
#include "files/batch_log.h"

namespace q5::reg {

namespace {

constexpr const char* kEventColumns =
    "id, time_utc, bench, operator_name, program_version, cable, command, result, verified, serial_read, "
    "serial_written, address1, enabled1, address2, enabled2, address3, enabled3, address4, enabled4, frequency, "
    "step, baud_rate, synthesiser, firmware, image_before_sha256, image_after_sha256";
constexpr std::size_t kEventColumnCount = 26;

std::optional<std::int64_t> number(std::string_view text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

std::string padded(std::int64_t value, std::size_t width) {
  std::string text = std::to_string(value);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string text(const Value& value) { return value.value_or(std::string()); }
std::int64_t integer(const Value& value) { return value ? number(*value).value_or(0) : 0; }
std::string str(std::int64_t value) { return std::to_string(value); }

std::string hex(const image::Image& image) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(image.size() * 2);
  for (const std::uint8_t byte : image) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  }
  return out;
}

std::optional<image::Image> unhex(const Value& value) {
  if (!value || value->size() != image::kImageSize * 2) return std::nullopt;
  image::Image image{};
  const auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < image.size(); ++i) {
    const int high = nibble((*value)[2 * i]);
    const int low = nibble((*value)[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    image[i] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return image;
}

PagerEvent event_of(const Row& row) {
  PagerEvent e;
  e.id = integer(row[0]);
  e.time_utc = text(row[1]);
  e.bench = text(row[2]);
  e.operator_name = text(row[3]);
  e.program_version = text(row[4]);
  e.cable = text(row[5]);
  e.command = text(row[6]);
  e.result = text(row[7]);
  e.verified = integer(row[8]) != 0;
  e.serial_read = text(row[9]);
  e.serial_written = text(row[10]);
  for (std::size_t n = 0; n < 4; ++n) {
    e.addresses[n].address = text(row[11 + 2 * n]);
    e.addresses[n].enabled = integer(row[12 + 2 * n]) != 0;
  }
  e.frequency = text(row[19]);
  e.step = text(row[20]);
  e.baud_rate = text(row[21]);
  e.synthesiser = text(row[22]);
  e.firmware = text(row[23]);
  e.image_before_sha256 = text(row[24]);
  e.image_after_sha256 = text(row[25]);
  if (row.size() > kEventColumnCount + 1) {
    e.image_before = unhex(row[kEventColumnCount]);
    e.image_after = unhex(row[kEventColumnCount + 1]);
  }
  return e;
}

struct PoolRow {
  std::string name;
  std::int64_t first, last;
  PoolKind kind;
};

// The enabled addresses of the slots that are numbers, each once.
std::set<std::int64_t> enabled_addresses(const std::array<AddressSlot, 4>& slots) {
  std::set<std::int64_t> addresses;
  for (const AddressSlot& slot : slots) {
    if (!slot.enabled) continue;
    if (const auto a = number(slot.address)) addresses.insert(*a);
  }
  return addresses;
}

class SqlRegister final : public Register {
 public:
  SqlRegister(std::unique_ptr<Database> db, std::string name, Options options)
      : db_(std::move(db)), name_(std::move(name)), options_(std::move(options)) {}

  std::string name() const override { return name_; }

  Reservation reserve(const WritePlan& plan) override {
    return guarded([&] { return reserve_in_transaction(plan); });
  }

  void cancel(const Reservation& reservation) override {
    if (reservation.id == 0) return;
    guarded([&] {
      WriteTransaction transaction(*db_);
      drop_reservation(reservation.id);
      transaction.commit();
      return 0;
    });
  }

  void record(const PagerEvent& event, const Reservation* reservation) override {
    guarded([&] {
      WriteTransaction transaction(*db_);
      record_in_transaction(event, reservation);
      transaction.commit();
      return 0;
    });
  }

  void add_pool(const Pool& pool) override {
    guarded([&] {
      if (pool.name.empty()) throw RegisterError("a pool needs a name");
      if (pool.first > pool.last) {
        throw RegisterError("pool " + pool.name + ": the first address " + str(pool.first) + " is above the last " +
                            str(pool.last));
      }
      WriteTransaction transaction(*db_);
      if (!db_->query("SELECT 1 FROM q5_pools WHERE name = ?", {pool.name}).empty()) {
        throw RegisterError("pool " + pool.name + " exists already");
      }
      const auto overlap = db_->query(
          "SELECT name, first_address, last_address FROM q5_pools WHERE first_address <= CAST(? AS BIGINT) AND "
          "last_address >= CAST(? AS BIGINT) ORDER BY first_address LIMIT 1",
          {str(pool.last), str(pool.first)});
      if (!overlap.empty()) {
        throw RegisterError("pool " + pool.name + " (" + str(pool.first) + "-" + str(pool.last) + ") overlaps pool " +
                            text(overlap[0][0]) + " (" + text(overlap[0][1]) + "-" + text(overlap[0][2]) + ")");
      }
      db_->exec("INSERT INTO q5_pools (name, first_address, last_address, kind) VALUES (?, CAST(? AS BIGINT), "
                "CAST(? AS BIGINT), ?)",
                {pool.name, str(pool.first), str(pool.last), std::string(kind_name(pool.kind))});
      transaction.commit();
      return 0;
    });
  }

  void remove_pool(const std::string& name) override {
    guarded([&] {
      WriteTransaction transaction(*db_);
      const auto rows = db_->query("SELECT first_address, last_address FROM q5_pools WHERE name = ?", {name});
      if (rows.empty()) throw RegisterError("there is no pool " + name);
      const auto held = db_->query(
          "SELECT COUNT(*) FROM q5_holdings WHERE address BETWEEN CAST(? AS BIGINT) AND CAST(? AS BIGINT)",
          {rows[0][0], rows[0][1]});
      if (const std::int64_t count = integer(held[0][0]); count > 0) {
        throw RegisterError("pool " + name + " is not removed: " + str(count) +
                            (count == 1 ? " of its addresses is held by a pager" : " of its addresses are held by pagers"));
      }
      db_->exec("DELETE FROM q5_pools WHERE name = ?", {name});
      transaction.commit();
      return 0;
    });
  }

  std::vector<Pool> pools() override {
    return guarded([&] {
      std::vector<Pool> result;
      for (const Row& row : db_->query(
               "SELECT p.name, p.first_address, p.last_address, p.kind, (SELECT COUNT(*) FROM q5_holdings h WHERE "
               "h.address BETWEEN p.first_address AND p.last_address) FROM q5_pools p ORDER BY p.first_address")) {
        result.push_back({text(row[0]), integer(row[1]), integer(row[2]),
                          text(row[3]) == "group" ? PoolKind::group : PoolKind::individual, integer(row[4])});
      }
      return result;
    });
  }

  AddressInfo find(const std::string& address) override {
    return guarded([&] {
      const auto a = number(address);
      if (!a) throw RegisterError("not an address: " + address);
      AddressInfo info;
      info.address = padded(*a, image::width::address);
      for (const PoolRow& pool : load_pools()) {
        if (*a >= pool.first && *a <= pool.last) info.pool = pool.name;
      }
      const auto holder = db_->query("SELECT serial FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(*a)});
      if (!holder.empty()) info.holder = text(holder[0][0]);
      for (const Row& row : db_->query(std::string("SELECT ") + kEventColumns +
                                       " FROM q5_events WHERE command = 'write' AND verified = 1 AND id IN (SELECT "
                                       "event_id FROM q5_event_addresses WHERE address = CAST(? AS BIGINT)) ORDER BY id",
                                       {str(*a)})) {
        info.events.push_back(event_of(row));
      }
      return info;
    });
  }

  std::vector<PagerEvent> history(const std::string& serial) override {
    return events(EventFilter{serial, {}}, 0, -1, false);
  }

  std::optional<image::Image> restore(const std::string& serial, const std::optional<std::string>& at_utc) override {
    return guarded([&]() -> std::optional<image::Image> {
      std::string sql =
          "SELECT image_after FROM q5_events WHERE serial_written = ? AND command = 'write' AND verified = 1 AND "
          "image_after IS NOT NULL";
      Params params{serial};
      if (at_utc) {
        sql += " AND time_utc <= ?";
        params.push_back(*at_utc);
      }
      sql += " ORDER BY time_utc DESC, id DESC LIMIT 1";
      const auto rows = db_->query(sql, params);
      if (rows.empty()) return std::nullopt;
      return unhex(rows[0][0]);
    });
  }

  std::optional<std::string> release(const std::string& address, const std::string& bench,
                                     const std::string& operator_name) override {
    return guarded([&]() -> std::optional<std::string> {
      const auto a = number(address);
      if (!a) throw RegisterError("not an address: " + address);
      WriteTransaction transaction(*db_);
      const auto holder = db_->query("SELECT serial FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(*a)});
      if (holder.empty()) return std::nullopt;
      note_reassignment(*a, text(holder[0][0]), "", bench, operator_name);
      db_->exec("DELETE FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(*a)});
      transaction.commit();
      return text(holder[0][0]);
    });
  }

  std::vector<PagerEvent> events(const EventFilter& filter, std::int64_t offset, std::int64_t limit,
                                 bool with_images) override {
    return guarded([&] {
      Params params;
      std::string sql = std::string("SELECT ") + kEventColumns +
                        (with_images ? ", image_before, image_after" : "") + " FROM q5_events" + where(filter, params) +
                        " ORDER BY id";
      if (limit >= 0) sql += " LIMIT " + str(limit);
      if (offset > 0) {
        // SQLite wants a LIMIT before an OFFSET; -1 is none.
        if (limit < 0 && db_->engine() == Database::Engine::sqlite) sql += " LIMIT -1";
        sql += " OFFSET " + str(offset);
      }
      std::vector<PagerEvent> result;
      for (const Row& row : db_->query(sql, params)) result.push_back(event_of(row));
      return result;
    });
  }

  std::int64_t count_events(const EventFilter& filter) override {
    return guarded([&] {
      Params params;
      return integer(db_->query("SELECT COUNT(*) FROM q5_events" + where(filter, params), params)[0][0]);
    });
  }

  std::optional<PagerEvent> event(std::int64_t id) override {
    return guarded([&]() -> std::optional<PagerEvent> {
      const auto rows = db_->query(std::string("SELECT ") + kEventColumns +
                                       ", image_before, image_after FROM q5_events WHERE id = CAST(? AS BIGINT)",
                                   {str(id)});
      if (rows.empty()) return std::nullopt;
      return event_of(rows[0]);
    });
  }

 private:
  // Every failure leaves as a RegisterError naming the register.
  template <typename F>
  std::invoke_result_t<F&> guarded(F&& body) {
    try {
      return body();
    } catch (const RegisterError& error) {
      throw RegisterError("Register " + name_ + ": " + error.what());
    } catch (const DatabaseError& error) {
      throw RegisterError("Register " + name_ + ": " + error.what());
    } catch (const std::exception& error) {
      throw RegisterError("Register " + name_ + ": " + error.what());
    }
  }

  static std::string where(const EventFilter& filter, Params& params) {
    std::string sql;
    const auto add = [&sql](const std::string& condition) { sql += (sql.empty() ? " WHERE " : " AND ") + condition; };
    if (!filter.serial.empty()) {
      add("(serial_read = ? OR serial_written = ?)");
      params.push_back(filter.serial);
      params.push_back(filter.serial);
    }
    if (!filter.address.empty()) {
      // An address that is no number matches no event.
      add("id IN (SELECT event_id FROM q5_event_addresses WHERE address = CAST(? AS BIGINT))");
      params.push_back(str(number(filter.address).value_or(-1)));
    }
    return sql;
  }

  std::vector<PoolRow> load_pools() {
    std::vector<PoolRow> pools;
    for (const Row& row : db_->query("SELECT name, first_address, last_address, kind FROM q5_pools")) {
      pools.push_back(
          {text(row[0]), integer(row[1]), integer(row[2]), text(row[3]) == "group" ? PoolKind::group : PoolKind::individual});
    }
    return pools;
  }

  static const PoolRow* pool_of(const std::vector<PoolRow>& pools, std::int64_t address) {
    for (const PoolRow& pool : pools) {
      if (address >= pool.first && address <= pool.last) return &pool;
    }
    return nullptr;
  }

  // "written 2026-12-08T17:03:21Z on bench2 by ann", from the pager's last verified write.
  std::string where_when(const std::string& serial) {
    const auto rows = db_->query(
        "SELECT time_utc, bench, operator_name FROM q5_events WHERE serial_written = ? AND command = 'write' AND "
        "verified = 1 ORDER BY id DESC LIMIT 1",
        {serial});
    if (rows.empty()) {
      const auto seen = db_->query(
          "SELECT time_utc, bench, operator_name FROM q5_events WHERE serial_read = ? ORDER BY id DESC LIMIT 1",
          {serial});
      if (seen.empty()) return "no event of it is recorded";
      return "read " + text(seen[0][0]) + " on " + text(seen[0][1]) + " by " + text(seen[0][2]);
    }
    return "written " + text(rows[0][0]) + " on " + text(rows[0][1]) + " by " + text(rows[0][2]);
  }

  void note_reassignment(std::int64_t address, const std::string& from, const std::string& to,
                         const std::string& bench, const std::string& operator_name) {
    // Administrators alone may insert here; the database refuses operators.
    db_->exec("INSERT INTO q5_reassignments (time_utc, address, from_serial, to_serial, bench, operator_name) "
              "VALUES (?, CAST(? AS BIGINT), ?, ?, ?, ?)",
              {iso8601_utc(options_.now()), str(address), from, to, bench, operator_name});
  }

  void drop_reservation(std::int64_t id) {
    db_->exec("DELETE FROM q5_reserved_addresses WHERE reservation_id = CAST(? AS BIGINT)", {str(id)});
    db_->exec("DELETE FROM q5_reserved_serials WHERE reservation_id = CAST(? AS BIGINT)", {str(id)});
    db_->exec("DELETE FROM q5_reservations WHERE id = CAST(? AS BIGINT)", {str(id)});
  }

  void drop_expired(std::time_t now) {
    const std::string cut = str(now);
    db_->exec("DELETE FROM q5_reserved_addresses WHERE reservation_id IN (SELECT id FROM q5_reservations WHERE "
              "expires_at < CAST(? AS BIGINT))",
              {cut});
    db_->exec("DELETE FROM q5_reserved_serials WHERE reservation_id IN (SELECT id FROM q5_reservations WHERE "
              "expires_at < CAST(? AS BIGINT))",
              {cut});
    db_->exec("DELETE FROM q5_reservations WHERE expires_at < CAST(? AS BIGINT)", {cut});
  }

  // The addresses of [first, last] that are held or reserved, ascending.
  std::vector<std::int64_t> taken(std::int64_t first, std::int64_t last) {
    std::vector<std::int64_t> addresses;
    for (const Row& row : db_->query(
             "SELECT address FROM q5_holdings WHERE address BETWEEN CAST(? AS BIGINT) AND CAST(? AS BIGINT) UNION "
             "SELECT address FROM q5_reserved_addresses WHERE address BETWEEN CAST(? AS BIGINT) AND CAST(? AS BIGINT) "
             "ORDER BY 1",
             {str(first), str(last), str(first), str(last)})) {
      addresses.push_back(integer(row[0]));
    }
    return addresses;
  }

  Reservation reserve_in_transaction(const WritePlan& plan) {
    WriteTransaction transaction(*db_);
    const std::time_t now = options_.now();
    drop_expired(now);
    const std::vector<PoolRow> pools = load_pools();
    const bool guarded_pools = std::any_of(pools.begin(), pools.end(), [](const PoolRow& p) { return p.kind == PoolKind::individual; });
    const std::string self = plan.serial_read.empty() ? plan.serial_written : plan.serial_read;
    Reservation reservation;
    const auto refuse = [&reservation](std::string text, std::string where_when) {
      reservation.refusal = Refusal{std::move(text), std::move(where_when)};
      reservation.allocated = {};
      reservation.allocated_serial.reset();
      reservation.warnings.clear();
      return reservation;
    };

    // A reservation this pager left behind (a write that died) is its own.
    if (!self.empty()) {
      for (const Row& row : db_->query("SELECT id FROM q5_reservations WHERE serial_read = ? OR serial_written = ?",
                                       {self, self})) {
        drop_reservation(integer(row[0]));
      }
    }

    // Allocation: the lowest address of the pool nobody holds or has reserved.
    std::array<AddressSlot, 4> slots = plan.addresses;
    std::set<std::int64_t> chosen;
    for (std::size_t n = 0; n < 4; ++n) {
      if (!plan.allocate[n]) continue;
      const std::string& name = *plan.allocate[n];
      const auto pool = std::find_if(pools.begin(), pools.end(), [&](const PoolRow& p) { return p.name == name; });
      if (pool == pools.end()) return refuse("There is no pool " + name + " to allocate address " + str(n + 1) + " from", "");
      if (pool->kind != PoolKind::individual) {
        return refuse("Pool " + name + " is a group pool; addresses are allocated from individual pools only", "");
      }
      const std::vector<std::int64_t> used = taken(pool->first, pool->last);
      std::int64_t candidate = pool->first;
      for (const std::int64_t a : used) {
        while (chosen.count(candidate) != 0) ++candidate;
        if (a > candidate) break;
        if (a == candidate) ++candidate;
      }
      while (chosen.count(candidate) != 0) ++candidate;
      if (candidate > pool->last) return refuse("Pool " + name + " has no free address left", "");
      chosen.insert(candidate);
      slots[n] = {padded(candidate, image::width::address), true};
      reservation.allocated[n] = slots[n].address;
    }

    // The serial number.
    std::string serial = plan.serial_written;
    if (plan.allocate_serial) {
      std::int64_t next = 0;
      // Pagers being written on other benches count too, by both serials.
      for (const char* sql : {"SELECT MAX(serial) FROM q5_pagers WHERE length(serial) = 8",
                              "SELECT MAX(serial) FROM q5_reserved_serials WHERE length(serial) = 8",
                              "SELECT MAX(serial_read) FROM q5_reservations WHERE length(serial_read) = 8",
                              "SELECT MAX(serial_written) FROM q5_reservations WHERE length(serial_written) = 8"}) {
        if (const auto highest = number(text(db_->query(sql)[0][0]))) next = std::max(next, *highest + 1);
      }
      next = std::max(next, number(plan.serial_written).value_or(0));
      if (next > 99999999) return refuse("No serial number is left to allocate", "");
      serial = padded(next, image::width::serial);
      reservation.allocated_serial = serial;
    }
    const bool assigning = !serial.empty() && serial != plan.serial_read;
    bool reserve_serial = assigning;
    if (assigning) {
      if (!db_->query("SELECT 1 FROM q5_pagers WHERE serial = ?", {serial}).empty()) {
        if (guarded_pools) return refuse("Serial number " + serial + " belongs to another pager", where_when(serial));
        reservation.warnings.push_back("serial number " + serial + " is also held by another pager (" +
                                       where_when(serial) + ")");
      }
      const auto reserved = db_->query(
          "SELECT r.bench, r.created_utc FROM q5_reserved_serials s JOIN q5_reservations r ON r.id = s.reservation_id "
          "WHERE s.serial = ?",
          {serial});
      if (!reserved.empty()) {
        const std::string when = "reserved " + text(reserved[0][1]) + " on " + text(reserved[0][0]);
        if (guarded_pools) return refuse("Serial number " + serial + " is reserved for another pager", when);
        reservation.warnings.push_back("serial number " + serial + " is also reserved for another pager (" + when + ")");
        reserve_serial = false;
      }
    }

    // Every enabled address: checked (individual pools), or compared with
    // other pagers (no individual pool at all).
    struct Reserved {
      std::int64_t address;
      bool reassign;
    };
    std::vector<Reserved> to_reserve;
    std::set<std::int64_t> seen;
    for (std::size_t n = 0; n < 4; ++n) {
      if (!slots[n].enabled) continue;
      const auto a = number(slots[n].address);
      if (!a || !seen.insert(*a).second) continue;
      const std::string label = "Address " + str(n + 1) + " (" + slots[n].address + ")";
      const PoolRow* pool = pool_of(pools, *a);
      if (pool == nullptr || pool->kind != PoolKind::individual) {
        if (guarded_pools) continue;
        const auto other = db_->query(
            "SELECT serial FROM q5_pager_addresses WHERE address = CAST(? AS BIGINT) AND serial <> ? ORDER BY serial "
            "LIMIT 1",
            {str(*a), self});
        if (!other.empty()) {
          reservation.warnings.push_back("address " + slots[n].address + " is also held by pager " +
                                         text(other[0][0]));
        }
        continue;
      }
      const auto reserved = db_->query(
          "SELECT r.serial_read, r.serial_written, r.bench, r.created_utc FROM q5_reserved_addresses a JOIN "
          "q5_reservations r ON r.id = a.reservation_id WHERE a.address = CAST(? AS BIGINT)",
          {str(*a)});
      if (!reserved.empty()) {
        const std::string other = text(reserved[0][0]).empty() ? text(reserved[0][1]) : text(reserved[0][0]);
        return refuse(label + " is reserved for pager " + other,
                      "reserved " + text(reserved[0][3]) + " on " + text(reserved[0][2]));
      }
      bool reassign = false;
      const auto holder = db_->query("SELECT serial FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(*a)});
      if (!holder.empty() && text(holder[0][0]) != self) {
        const std::string other = text(holder[0][0]);
        if (!plan.reassign) return refuse(label + " belongs to pager " + other, where_when(other));
        note_reassignment(*a, other, serial.empty() ? self : serial, plan.bench, plan.operator_name);
        reservation.warnings.push_back("address " + slots[n].address + " is taken from pager " + other);
        reassign = true;
      }
      to_reserve.push_back({*a, reassign});
    }

    const auto id = db_->query(
        "INSERT INTO q5_reservations (serial_read, serial_written, bench, operator_name, created_utc, expires_at) "
        "VALUES (?, ?, ?, ?, ?, CAST(? AS BIGINT)) RETURNING id",
        {plan.serial_read, serial, plan.bench, plan.operator_name, iso8601_utc(now), str(now + kReservationSeconds)});
    reservation.id = integer(id.at(0)[0]);
    for (const Reserved& r : to_reserve) {
      db_->exec("INSERT INTO q5_reserved_addresses (address, reservation_id, reassign) VALUES (CAST(? AS BIGINT), "
                "CAST(? AS BIGINT), CAST(? AS INTEGER))",
                {str(r.address), str(reservation.id), r.reassign ? "1" : "0"});
    }
    if (reserve_serial) {
      db_->exec("INSERT INTO q5_reserved_serials (serial, reservation_id) VALUES (?, CAST(? AS BIGINT))",
                {serial, str(reservation.id)});
    }
    transaction.commit();
    return reservation;
  }

  void record_in_transaction(const PagerEvent& given, const Reservation* reservation) {
    PagerEvent e = given;
    if (e.time_utc.empty()) e.time_utc = iso8601_utc(options_.now());
    Params params{e.time_utc, e.bench, e.operator_name, e.program_version, e.cable, e.command, e.result,
                  e.verified ? "1" : "0", e.serial_read, e.serial_written};
    for (const AddressSlot& slot : e.addresses) {
      params.push_back(slot.address);
      params.push_back(slot.enabled ? "1" : "0");
    }
    for (const std::string* field : {&e.frequency, &e.step, &e.baud_rate, &e.synthesiser, &e.firmware}) {
      params.push_back(*field);
    }
    for (const auto* image : {&e.image_before, &e.image_after}) {
      if (*image) {
        params.push_back(hex(**image));
        params.push_back(sha256_hex(**image));
      } else {
        params.emplace_back();
        params.emplace_back();
      }
    }
    const auto inserted = db_->query(
        "INSERT INTO q5_events (time_utc, bench, operator_name, program_version, cable, command, result, verified, "
        "serial_read, serial_written, address1, enabled1, address2, enabled2, address3, enabled3, address4, enabled4, "
        "frequency, step, baud_rate, synthesiser, firmware, image_before, image_before_sha256, image_after, "
        "image_after_sha256) VALUES (?, ?, ?, ?, ?, ?, ?, CAST(? AS INTEGER), ?, ?, ?, CAST(? AS INTEGER), ?, "
        "CAST(? AS INTEGER), ?, CAST(? AS INTEGER), ?, CAST(? AS INTEGER), ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
        params);
    const std::string id = text(inserted.at(0)[0]);
    const std::set<std::int64_t> addresses = enabled_addresses(e.addresses);
    for (const std::int64_t a : addresses) {
      db_->exec("INSERT INTO q5_event_addresses (event_id, address) VALUES (CAST(? AS BIGINT), CAST(? AS BIGINT))",
                {id, str(a)});
    }

    if (e.command == "write" && e.verified) {
      const std::string serial = e.serial_written.empty() ? e.serial_read : e.serial_written;
      if (!e.serial_read.empty() && e.serial_read != serial) {
        // The pager changed its serial number: what it held goes with it.
        db_->exec("UPDATE q5_holdings SET serial = ? WHERE serial = ?", {serial, e.serial_read});
        db_->exec("DELETE FROM q5_pager_addresses WHERE serial = ?", {e.serial_read});
        db_->exec("DELETE FROM q5_pagers WHERE serial = ?", {e.serial_read});
      }
      if (!serial.empty()) {
        db_->exec("INSERT INTO q5_pagers (serial, last_event_id) VALUES (?, CAST(? AS BIGINT)) ON CONFLICT (serial) DO "
                  "UPDATE SET last_event_id = excluded.last_event_id",
                  {serial, id});
        db_->exec("DELETE FROM q5_pager_addresses WHERE serial = ?", {serial});
        for (const std::int64_t a : addresses) {
          db_->exec("INSERT INTO q5_pager_addresses (serial, address) VALUES (?, CAST(? AS BIGINT))", {serial, str(a)});
        }
        take_holdings(serial, id, addresses, reservation);
      }
    } else if (e.command == "read" && !e.serial_read.empty()) {
      db_->exec("INSERT INTO q5_pagers (serial, last_event_id) VALUES (?, CAST(? AS BIGINT)) ON CONFLICT (serial) DO "
                "NOTHING",
                {e.serial_read, id});
    }
    if (reservation != nullptr && reservation->id != 0) drop_reservation(reservation->id);
  }

  // After a verified write the pager holds its enabled individual addresses
  // and nothing else. An address another pager holds stays with it unless
  // this write reserved it with --reassign.
  void take_holdings(const std::string& serial, const std::string& event_id, const std::set<std::int64_t>& addresses,
                     const Reservation* reservation) {
    const std::vector<PoolRow> pools = load_pools();
    std::set<std::int64_t> reassigned;
    if (reservation != nullptr && reservation->id != 0) {
      for (const Row& row : db_->query(
               "SELECT address FROM q5_reserved_addresses WHERE reservation_id = CAST(? AS BIGINT) AND reassign = 1",
               {str(reservation->id)})) {
        reassigned.insert(integer(row[0]));
      }
    }
    std::set<std::int64_t> wanted;
    for (const std::int64_t a : addresses) {
      const PoolRow* pool = pool_of(pools, a);
      if (pool == nullptr || pool->kind != PoolKind::individual) continue;
      wanted.insert(a);
      const auto holder = db_->query("SELECT serial FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(a)});
      if (holder.empty()) {
        db_->exec("INSERT INTO q5_holdings (address, serial, event_id) VALUES (CAST(? AS BIGINT), ?, CAST(? AS BIGINT))",
                  {str(a), serial, event_id});
      } else if (text(holder[0][0]) == serial || reassigned.count(a) != 0) {
        db_->exec("UPDATE q5_holdings SET serial = ?, event_id = CAST(? AS BIGINT) WHERE address = CAST(? AS BIGINT)",
                  {serial, event_id, str(a)});
      }
    }
    for (const Row& row : db_->query("SELECT address FROM q5_holdings WHERE serial = ?", {serial})) {
      const std::int64_t a = integer(row[0]);
      if (wanted.count(a) == 0) db_->exec("DELETE FROM q5_holdings WHERE address = CAST(? AS BIGINT)", {str(a)});
    }
  }

  std::unique_ptr<Database> db_;
  std::string name_;
  Options options_;
};

}  // namespace

const char* kind_name(PoolKind kind) { return kind == PoolKind::group ? "group" : "individual"; }

std::optional<std::string> normalize_utc(const std::string& given) {
  std::string text = given;
  if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.pop_back();
  // YYYY-MM-DD, then optionally THH:MM, then optionally :SS.
  static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char want = kShape[i];
    const char c = (want == 'T' && text[i] == ' ') ? 'T' : text[i];
    if (want == 'd' ? (c < '0' || c > '9') : c != want) return std::nullopt;
    text[i] = c;
  }
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  if (text.size() == 10) text += "T00:00:00";
  if (text.size() == 16) text += ":00";
  if (std::stoi(text.substr(11, 2)) > 23 || std::stoi(text.substr(14, 2)) > 59 || std::stoi(text.substr(17, 2)) > 60) {
    return std::nullopt;
  }
  return text + "Z";
}

std::unique_ptr<Register> open_register(const Location& location, const Options& options) {
  if (location.kind == Location::Kind::none) return nullptr;
  const std::string name = display_name(location);
  try {
    std::unique_ptr<Database> db;
    if (location.kind == Location::Kind::sqlite) {
      if (const auto problem = files::create_batch_log_folder(location.target)) throw DatabaseError(*problem);
      db = open_sqlite(location.target);
    } else {
      db = open_postgres(location.target);
    }
    prepare_schema(*db, kSchemaVersion);
    return std::make_unique<SqlRegister>(std::move(db), name, options);
  } catch (const std::exception& error) {
    throw RegisterError("Register " + name + ": " + error.what());
  }
}

}  // namespace q5::reg
