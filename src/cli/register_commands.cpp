// register: the pager register's pools, look-ups, restore and export. The
// register itself is chosen by the global --register/--no-register, else
// $Q5PROG_REGISTER, else the bench's own file.
#include <CLI/CLI.hpp>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/commands.h"
#include "files/batch_log.h"
#include "files/config_file.h"
#include "register/event_json.h"
#include "rules/address_rules.h"

namespace q5::cli {

struct RegisterCommand {
  CLI::App* command = nullptr;
  CLI::App* pool = nullptr;
  CLI::App* pool_add = nullptr;
  CLI::App* pool_list = nullptr;
  CLI::App* pool_remove = nullptr;
  CLI::App* find = nullptr;
  CLI::App* history = nullptr;
  CLI::App* restore = nullptr;
  CLI::App* export_ = nullptr;
  bool demo = false;
  std::string name, first, last;
  bool individual = false, group = false;
  bool json = false;
  std::string address, serial, at, out;
};

void RegisterCommandDeleter::operator()(RegisterCommand* command) const { delete command; }

reg::Location RegisterChoice::location(bool simulated) const {
  return reg::resolve_location(value, none, std::getenv("Q5PROG_REGISTER"), simulated);
}

namespace {

constexpr const char* kRegisterDescription =
    "Manage and search the pager register: pools of addresses, which pager holds an address, a pager's "
    "history, its last written image, and every event.\n"
    "The register records every write that reaches a pager and every read. It is an SQLite file on one bench "
    "($XDG_DATA_HOME/q5prog/register.sqlite3, register-simulated.sqlite3 with --demo) or a PostgreSQL "
    "database shared by several benches, chosen with the global --register or Q5PROG_REGISTER.";
constexpr const char* kRegisterFooter =
    "Exit status: 0 on success; 2 for usage errors, a register that cannot be\n"
    "opened, and anything the register refuses (with its reason, the database's\n"
    "own words when it refuses the right to do it).";

constexpr const char* kPoolDescription =
    "Manage the pools of addresses.\n"
    "An individual pool's addresses belong to one pager each: a write that would give a held address to "
    "another pager is refused before the pager is touched. A group pool's addresses are shared on purpose. "
    "Addresses outside every pool are recorded but not checked.";
constexpr const char* kPoolAddDescription =
    "Add the pool NAME of the addresses FIRST to LAST.\n"
    "Refused when it overlaps another pool, or when the range holds an address the pager cannot use (valid: "
    "8-2007663, 2007672-2045055, 2045064-2097143). On a shared register only administrators may add pools.";
constexpr const char* kPoolListDescription = "List the pools: name, range, kind and how many addresses are held.";
constexpr const char* kPoolRemoveDescription =
    "Remove the pool NAME.\nRefused while a pager holds one of its addresses.";
constexpr const char* kFindDescription =
    "Show which pager holds ADDRESS and the verified writes that gave it to a pager.\n"
    "With --json: {\"address\", \"pool\", \"holder\" (a serial number or null), \"events\"}.";
constexpr const char* kHistoryDescription =
    "Show every event of the pager with serial number SERIAL, as read or as written.\n"
    "With --json: {\"serial\", \"events\"}. Each event has time, bench, operator, cable, command, result, "
    "serial_read, serial_written, addresses (four {address, enabled}), image_before_sha256 and "
    "image_after_sha256.";
constexpr const char* kRestoreDescription =
    "Save the image of the pager's last verified write as a configuration file.\n"
    "With --at TIME (ISO 8601 in UTC, e.g. 2026-12-08T17:03:21Z or 2026-12-08), the last write at or before "
    "TIME. The file's checksum is sealed, so that it is ready for 'q5prog-cli write'.";
constexpr const char* kExportDescription =
    "Write every event to standard output, oldest first.\n"
    "CSV by default: the batch log's columns first (time, result, serial, the four addresses, frequency, step, "
    "baud rate, synthesiser, firmware), then bench, operator, program_version, cable, command, verified, "
    "serial_read, serial_written, image_before_sha256 and image_after_sha256. With --json one array of events.";

std::string pad7(std::int64_t value) {
  std::string text = std::to_string(value);
  return std::string(text.size() < 7 ? 7 - text.size() : 0, '0') + text;
}

std::optional<std::int64_t> address_number(const std::string& text) {
  if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoll(text);
}

std::string addresses_text(const reg::PagerEvent& e) {
  std::string text;
  for (const reg::AddressSlot& slot : e.addresses) {
    if (!text.empty()) text += ' ';
    text += slot.address.empty() ? "-" : slot.address;
    if (!slot.enabled) text += "(off)";
  }
  return text;
}

// One event on one line: time, bench, operator, cable, command, serials, addresses, result.
std::string event_line(const reg::PagerEvent& e) {
  std::string serial = e.serial_read;
  if (e.command == "write" && e.serial_written != e.serial_read) serial += " -> " + e.serial_written;
  return e.time_utc + "  " + e.bench + "  " + e.operator_name + "  " + e.cable + "  " + e.command + "  serial " +
         serial + "  addresses " + addresses_text(e) + "  " + e.result;
}

std::string csv_cell(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

std::string export_row(const reg::PagerEvent& e) {
  files::BatchLogRow row;
  row.time = e.time_utc;
  row.result = e.result;
  row.serial = e.command == "write" ? e.serial_written : e.serial_read;
  for (std::size_t n = 0; n < row.addresses.size(); ++n) {
    const reg::AddressSlot& slot = e.addresses[n];
    row.addresses[n].enabled = slot.address.empty() ? "" : (slot.enabled ? "1" : "0");
    row.addresses[n].address = slot.address;
    if (const auto a = address_number(slot.address)) row.addresses[n].frame = std::string(1, rules::frame_digit(*a));
  }
  row.frequency = e.frequency;
  row.step = e.step;
  row.baud_rate = e.baud_rate;
  row.synthesiser = e.synthesiser;
  row.firmware = e.firmware;
  std::string record = files::csv_record(row);
  record.resize(record.size() - 2);  // its CRLF, put back after our columns
  for (const std::string& cell : {e.bench, e.operator_name, e.program_version, e.cable, e.command,
                                  std::string(e.verified ? "1" : "0"), e.serial_read, e.serial_written,
                                  e.image_before_sha256, e.image_after_sha256}) {
    record += ',' + csv_cell(cell);
  }
  return record + "\r\n";
}

nlohmann::json events_json(const std::vector<reg::PagerEvent>& events) {
  nlohmann::json array = nlohmann::json::array();
  for (const reg::PagerEvent& e : events) array.push_back(reg::event_summary(e));
  return array;
}

nlohmann::json nullable(const std::optional<std::string>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json();
}

int pool_add(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  if (!c.individual && !c.group) {
    streams.err << "q5prog-cli: register pool add: give --individual or --group\n";
    return kRefused;
  }
  const auto first = address_number(c.first);
  const auto last = address_number(c.last);
  if (!first || !last) {
    streams.err << "q5prog-cli: FIRST and LAST are addresses of up to 7 digits, not " << c.first << " and " << c.last
                << '\n';
    return kRefused;
  }
  for (std::int64_t a = *first; a <= *last; ++a) {
    if (!rules::address_in_range(a)) {
      streams.err << "q5prog-cli: pool " << c.name << " holds the address " << pad7(a)
                  << ", which the pager cannot use; valid are 8-2007663, 2007672-2045055, 2045064-2097143\n";
      return kRefused;
    }
  }
  reg.add_pool({c.name, *first, *last, c.group ? reg::PoolKind::group : reg::PoolKind::individual, 0});
  streams.out << "pool " << c.name << " added: " << pad7(*first) << "-" << pad7(*last) << ", "
              << (c.group ? "group" : "individual") << '\n';
  return kSuccess;
}

int pool_list(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  const auto pools = reg.pools();
  if (c.json) {
    nlohmann::json array = nlohmann::json::array();
    for (const reg::Pool& p : pools) {
      array.push_back({{"name", p.name}, {"first", pad7(p.first)}, {"last", pad7(p.last)},
                       {"kind", reg::kind_name(p.kind)}, {"held", p.held}});
    }
    streams.out << array.dump(2) << '\n';
    return kSuccess;
  }
  for (const reg::Pool& p : pools) {
    streams.out << p.name << "  " << pad7(p.first) << "-" << pad7(p.last) << "  " << reg::kind_name(p.kind) << "  "
                << p.held << " held\n";
  }
  return kSuccess;
}

int find(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  if (!address_number(c.address)) {
    streams.err << "q5prog-cli: an address is up to 7 digits, not " << c.address << '\n';
    return kRefused;
  }
  const reg::AddressInfo info = reg.find(c.address);
  if (c.json) {
    streams.out << nlohmann::json{{"address", info.address},
                                  {"pool", nullable(info.pool)},
                                  {"holder", nullable(info.holder)},
                                  {"events", events_json(info.events)}}
                       .dump(2)
                << '\n';
    return kSuccess;
  }
  streams.out << "address " << info.address << "\npool " << info.pool.value_or("none") << "\nholder "
              << info.holder.value_or("none") << '\n';
  for (const reg::PagerEvent& e : info.events) streams.out << event_line(e) << '\n';
  return kSuccess;
}

int history(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  const auto events = reg.history(c.serial);
  if (c.json) {
    streams.out << nlohmann::json{{"serial", c.serial}, {"events", events_json(events)}}.dump(2) << '\n';
    return kSuccess;
  }
  if (events.empty()) streams.err << "no event of pager " << c.serial << " is recorded\n";
  for (const reg::PagerEvent& e : events) streams.out << event_line(e) << '\n';
  return kSuccess;
}

int restore(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  std::optional<std::string> at;
  if (!c.at.empty()) {
    at = reg::normalize_utc(c.at);
    if (!at) {
      streams.err << "q5prog-cli: --at wants a time in ISO 8601, UTC, as 2026-12-08T17:03:21Z, not " << c.at << '\n';
      return kRefused;
    }
  }
  std::optional<image::Image> image = reg.restore(c.serial, at);
  if (!image) {
    streams.err << "q5prog-cli: no verified write of pager " << c.serial << " is recorded"
                << (at ? " at or before " + *at : std::string()) << '\n';
    return kRefused;
  }
  image::seal(*image);
  if (files::save_image(c.out, *image) != files::SaveResult::ok) {
    streams.err << c.out << ": File write error\n";
    return kRefused;
  }
  streams.out << "pager " << c.serial << " restored to " << c.out << '\n';
  return kSuccess;
}

int export_events(const RegisterCommand& c, reg::Register& reg, Streams streams) {
  constexpr std::int64_t kPage = 1000;
  if (c.json) streams.out << "[";
  if (!c.json) {
    streams.out << files::kBatchLogHeader
                << ",bench,operator,program_version,cable,command,verified,serial_read,serial_written,"
                   "image_before_sha256,image_after_sha256\r\n";
  }
  bool first = true;
  for (std::int64_t offset = 0;; offset += kPage) {
    const auto page = reg.events({}, offset, kPage);
    for (const reg::PagerEvent& e : page) {
      if (c.json) {
        nlohmann::json json = reg::event_summary(e);
        json["program_version"] = e.program_version;
        json["verified"] = e.verified;
        for (const auto& [key, value] : {std::pair{"frequency", &e.frequency}, std::pair{"step", &e.step},
                                         std::pair{"baud_rate", &e.baud_rate},
                                         std::pair{"synthesiser", &e.synthesiser}, std::pair{"firmware", &e.firmware}}) {
          json[key] = *value;
        }
        streams.out << (first ? "\n" : ",\n") << json.dump();
      } else {
        streams.out << export_row(e);
      }
      first = false;
    }
    if (static_cast<std::int64_t>(page.size()) < kPage) break;
  }
  if (c.json) streams.out << (first ? "]\n" : "\n]\n");
  return kSuccess;
}

void set_footer(CLI::App* app) { app->footer(kRegisterFooter); }

}  // namespace

RegisterCommandPtr add_register_command(CLI::App& app) {
  RegisterCommandPtr c(new RegisterCommand);
  c->command = app.add_subcommand("register", kRegisterDescription);
  c->command->require_subcommand(1);
  c->command->add_flag("--demo", c->demo,
                       "Without --register or Q5PROG_REGISTER: the simulated pager's register "
                       "(register-simulated.sqlite3) instead of the bench's.");
  set_footer(c->command);

  c->pool = c->command->add_subcommand("pool", kPoolDescription);
  c->pool->require_subcommand(1);
  set_footer(c->pool);
  c->pool_add = c->pool->add_subcommand("add", kPoolAddDescription);
  c->pool_add->add_option("NAME", c->name, "The pool's name.")->required();
  c->pool_add->add_option("FIRST", c->first, "Its first address.")->required();
  c->pool_add->add_option("LAST", c->last, "Its last address.")->required();
  CLI::Option* individual =
      c->pool_add->add_flag("--individual", c->individual, "Each address belongs to one pager only.");
  CLI::Option* group = c->pool_add->add_flag("--group", c->group, "The addresses are shared by many pagers.");
  individual->excludes(group);
  set_footer(c->pool_add);
  c->pool_list = c->pool->add_subcommand("list", kPoolListDescription);
  c->pool_list->add_flag("--json", c->json, "One JSON array of {name, first, last, kind, held}.");
  set_footer(c->pool_list);
  c->pool_remove = c->pool->add_subcommand("remove", kPoolRemoveDescription);
  c->pool_remove->add_option("NAME", c->name, "The pool's name.")->required();
  set_footer(c->pool_remove);

  c->find = c->command->add_subcommand("find", kFindDescription);
  c->find->add_option("ADDRESS", c->address, "The address, up to 7 digits.")->required();
  c->find->add_flag("--json", c->json, "One JSON object.");
  set_footer(c->find);
  c->history = c->command->add_subcommand("history", kHistoryDescription);
  c->history->add_option("SERIAL", c->serial, "The pager's serial number, 8 digits.")->required();
  c->history->add_flag("--json", c->json, "One JSON object.");
  set_footer(c->history);
  c->restore = c->command->add_subcommand("restore", kRestoreDescription);
  c->restore->add_option("SERIAL", c->serial, "The pager's serial number, 8 digits.")->required();
  c->restore->add_option("--at", c->at, "The last write at or before TIME (ISO 8601, UTC).")->option_text("TIME");
  c->restore->add_option("-o,--output", c->out, "The configuration file to save.")->option_text("FILE")->required();
  set_footer(c->restore);
  c->export_ = c->command->add_subcommand("export", kExportDescription);
  c->export_->add_flag("--json", c->json, "One JSON array of events instead of CSV.");
  set_footer(c->export_);
  return c;
}

bool chosen(const RegisterCommand& command) { return command.command->parsed(); }

int run_register(const RegisterCommand& c, const RegisterChoice& choice, Streams streams) {
  try {
    const reg::Location location = choice.location(c.demo);
    if (location.kind == reg::Location::Kind::none) {
      streams.err << "q5prog-cli: register: --no-register leaves no register to work on\n";
      return kRefused;
    }
    const std::unique_ptr<reg::Register> reg = reg::open_register(location);
    if (c.pool_add->parsed()) return pool_add(c, *reg, streams);
    if (c.pool_list->parsed()) return pool_list(c, *reg, streams);
    if (c.pool_remove->parsed()) {
      reg->remove_pool(c.name);
      streams.out << "pool " << c.name << " removed\n";
      return kSuccess;
    }
    if (c.find->parsed()) return find(c, *reg, streams);
    if (c.history->parsed()) return history(c, *reg, streams);
    if (c.restore->parsed()) return restore(c, *reg, streams);
    if (c.export_->parsed()) return export_events(c, *reg, streams);
  } catch (const reg::RegisterError& error) {
    streams.err << "q5prog-cli: " << error.what() << '\n';
  }
  return kRefused;
}

}  // namespace q5::cli
