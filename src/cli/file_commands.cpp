// show, diff and set: configuration files through the form, as the
// window's File > Open and File > Save handle them.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <system_error>

#include "cli/assignments.h"
#include "cli/commands.h"
#include "cli/form_file.h"
#include "cli/text.h"
#include "files/config_file.h"
#include "image/number_text.h"

namespace q5::cli {

namespace {

// A file shown in a fresh form, with its warnings reported.
struct ShownFile {
  rules::Form form = started_form();
  image::Image bytes{};
  bool refused = false;
};

// The name a file goes by in messages: "-" is standard input.
std::string shown_name(const std::string& path) { return path == kStandardInput ? kStandardInputName : path; }

// Warnings and a refusal for the file or checksum go after `prefix`; a file
// that cannot be read is named in its message already.
void open_shown(const std::string& path, std::istream& in, ShownFile& file, std::ostream& err,
                const std::string& prefix = {}) {
  const OpenedFile opened = open_file_into(path, &in, file.form, file.bytes);
  file.refused = opened.refusal.has_value();
  if (file.refused) {
    const bool unread =
        *opened.refusal == files::OpenRefusal::open_error || *opened.refusal == files::OpenRefusal::read_error;
    err << (unread ? std::string() : prefix) << refusal_message(*opened.refusal, shown_name(path), opened.reason)
        << '\n';
    return;
  }
  (void)report_notices(file.form, err, prefix);
}

bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ignored;
  return a == b || std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

int show(const ShowOptions& options, Streams streams) {
  ShownFile file;
  open_shown(options.file, streams.in, file, streams.err);
  if (file.refused) return kRefused;
  const nlohmann::ordered_json settings = shown_settings(file.form);
  if (options.json) {
    streams.out << settings.dump(2) << '\n';
  } else {
    print_settings_text(settings, streams.out);
  }
  return kSuccess;
}

int diff(const DiffOptions& options, Streams streams) {
  if (options.a == kStandardInput && options.b == kStandardInput) {
    streams.err << "diff: only one of A and B can be standard input (-)\n";
    return kRefused;
  }
  ShownFile a;
  ShownFile b;
  open_shown(options.a, streams.in, a, streams.err, shown_name(options.a) + ": ");
  if (a.refused) return kRefused;
  open_shown(options.b, streams.in, b, streams.err, shown_name(options.b) + ": ");
  if (b.refused) return kRefused;

  const nlohmann::ordered_json shown_a = shown_settings(a.form);
  const nlohmann::ordered_json shown_b = shown_settings(b.form);
  nlohmann::ordered_json settings = nlohmann::ordered_json::object();
  for (const auto& [name, value] : shown_a.items()) {
    if (value != shown_b.at(name)) settings[name] = {value, shown_b.at(name)};
  }
  nlohmann::ordered_json bytes = nlohmann::ordered_json::array();
  for (std::size_t at = 0; at < image::kImageSize; ++at) {
    if (a.bytes[at] != b.bytes[at]) bytes.push_back(at);
  }

  if (options.json) {
    nlohmann::ordered_json result;
    result["settings"] = settings;
    result["bytes"] = bytes;
    streams.out << result.dump(2) << '\n';
  } else {
    for (const auto& [name, values] : settings.items()) {
      streams.out << name << ": " << values[0].dump() << " -> " << values[1].dump() << '\n';
    }
    if (!bytes.empty()) {
      streams.out << "bytes:";
      for (const auto& at : bytes) streams.out << ' ' << at.get<std::size_t>();
      streams.out << '\n';
    }
  }
  return settings.empty() && bytes.empty() ? kSuccess : kDifferent;
}

int set(const SetOptions& options, Streams streams) {
  const std::string& target = options.out.empty() ? options.file : options.out;
  if (!options.fresh && options.assignments.empty()) {
    streams.err << "set: give the settings to change as NAME=VALUE (or --new to save the defaults)\n";
    return kRefused;
  }
  if (options.fresh && !options.force && exists(target)) {
    streams.err << target << " exists: set --new replaces it only with --force\n";
    return kRefused;
  }

  rules::Form form = started_form();
  std::vector<Assignment> assignments;
  for (const std::string& argument : options.assignments) {
    std::optional<Assignment> assignment = parse_assignment(argument);
    if (!assignment) {
      streams.err << "expected NAME=VALUE, not \"" << argument << "\"\n";
      return kRefused;
    }
    if (const auto unknown = unknown_setting(form, assignment->name)) {
      streams.err << *unknown << '\n';
      return kRefused;
    }
    assignments.push_back(std::move(*assignment));
  }

  std::set<std::string> printed;
  std::uintmax_t read_size = image::kImageSize;
  if (!options.fresh) {
    image::Image bytes{};
    const OpenedFile opened = open_file_into(options.file, nullptr, form, bytes);
    if (opened.refusal) {
      streams.err << refusal_message(*opened.refusal, options.file, opened.reason) << '\n';
      return kRefused;
    }
    read_size = opened.reason.bytes;
    // A file the rules complain about may be just what this command mends;
    // what cannot be saved is refused when it is encoded.
    (void)report_notices_once(form, streams.err, printed);
  }
  if (!apply_assignments(form, assignments, streams.err, printed)) return kRefused;

  // As the window's save: an address past seven digits would reach the file
  // as another address.
  if (form.refuse_overlong_address()) {
    (void)report_notices_once(form, streams.err, printed);
    return kRefused;
  }
  image::Image encoded{};
  try {
    encoded = form.encode();
  } catch (const ConversionError& error) {
    (void)report_notices_once(form, streams.err, printed);
    if (printed.insert(latin1_to_utf8(error.what())).second) streams.err << latin1_to_utf8(error.what()) << '\n';
    return kRefused;
  }
  (void)report_notices_once(form, streams.err, printed);

  files::FileReason reason;
  const files::SaveResult saved = files::save_image(target, encoded, &reason);
  if (saved != files::SaveResult::ok) {
    streams.err << save_error_message(saved, target, reason) << '\n';
    return kRefused;
  }
  // Loaded from its first 256 bytes, the file is now those alone.
  if (read_size > image::kImageSize && same_file(target, options.file)) {
    streams.err << target << " held " << read_size << " bytes: saved as the " << image::kImageSize
                << " of a configuration file\n";
  }
  return kSuccess;
}

}  // namespace q5::cli
