// show, diff and set: configuration files through the form, as the
// window's File > Open and File > Save handle them.
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/assignments.h"
#include "cli/commands.h"
#include "cli/form_file.h"
#include "cli/text.h"
#include "files/config_file.h"
#include "image/number_text.h"

namespace q5::cli {

namespace {

constexpr const char* kFileOpenError = "File open error";
constexpr const char* kFileWriteError = "File write error";

// A file shown in a fresh form, with its warnings reported.
struct ShownFile {
  rules::Form form = started_form();
  image::Image bytes{};
  std::optional<std::string> refusal;
};

void open_shown(const std::string& path, ShownFile& file, std::ostream& err, const std::string& prefix = {}) {
  file.refusal = open_into(path, file.form, file.bytes);
  if (file.refusal) {
    err << prefix << *file.refusal << '\n';
    return;
  }
  (void)report_notices(file.form, err, prefix);
}

}  // namespace

int show(const ShowOptions& options, Streams streams) {
  ShownFile file;
  open_shown(options.file, file, streams.err);
  if (file.refusal) return kRefused;
  const nlohmann::ordered_json settings = shown_settings(file.form);
  if (options.json) {
    streams.out << settings.dump(2) << '\n';
  } else {
    print_settings_text(settings, streams.out);
  }
  return kSuccess;
}

int diff(const DiffOptions& options, Streams streams) {
  ShownFile a;
  ShownFile b;
  open_shown(options.a, a, streams.err, options.a + ": ");
  if (a.refusal) return kRefused;
  open_shown(options.b, b, streams.err, options.b + ": ");
  if (b.refusal) return kRefused;

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
  if (!options.fresh) {
    image::Image bytes{};
    if (const auto refusal = open_into(options.file, form, bytes)) {
      streams.err << *refusal << '\n';
      return kRefused;
    }
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

  switch (files::save_image(options.out.empty() ? options.file : options.out, encoded)) {
    case files::SaveResult::ok:
      return kSuccess;
    case files::SaveResult::open_error:
      streams.err << kFileOpenError << '\n';
      return kRefused;
    case files::SaveResult::write_error:
      streams.err << kFileWriteError << '\n';
      return kRefused;
  }
  return kRefused;
}

}  // namespace q5::cli
