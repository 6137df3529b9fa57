#include "cli/form_file.h"

#include <type_traits>
#include <variant>

#include "cli/text.h"
#include "files/config_file.h"
#include "image/number_text.h"

namespace q5::cli {

namespace {

nlohmann::ordered_json item_or_null(const std::vector<std::string>& items, int index) {
  if (index < 0 || index >= static_cast<int>(items.size())) return nullptr;
  return latin1_to_utf8(items[static_cast<std::size_t>(index)]);
}

}  // namespace

rules::Form started_form() {
  rules::Form form;
  form.start_up();
  return form;
}

OpenedFile open_file_into(const std::string& path, std::istream* in, rules::Form& form, image::Image& bytes) {
  OpenedFile opened;
  opened.refusal = in != nullptr && path == kStandardInput ? files::load_configuration(*in, bytes, &opened.reason)
                                                          : files::load_configuration(path, bytes, &opened.reason);
  if (!opened.refusal) form.guarded([&] { form.show_file(bytes); });
  return opened;
}

namespace {

std::string with_file_and_reason(const char* words, const std::string& path, const files::FileReason& reason) {
  std::string text = std::string(words) + ": " + path;
  if (const std::string why = reason.text(); !why.empty()) text += ": " + why;
  return text;
}

}  // namespace

std::string refusal_message(files::OpenRefusal refusal, const std::string& path, const files::FileReason& reason) {
  const char* words = files::refusal_text(refusal);
  if (refusal != files::OpenRefusal::open_error && refusal != files::OpenRefusal::read_error) return words;
  return with_file_and_reason(words, path, reason);
}

std::string save_error_message(files::SaveResult result, const std::string& path, const files::FileReason& reason) {
  return with_file_and_reason(result == files::SaveResult::open_error ? "File open error" : "File write error", path,
                              reason);
}

std::optional<std::string> open_into(const std::string& path, rules::Form& form, image::Image& bytes) {
  const OpenedFile opened = open_file_into(path, nullptr, form, bytes);
  if (!opened.refusal) return std::nullopt;
  return refusal_message(*opened.refusal, path, opened.reason);
}

namespace {

std::optional<std::string> report(rules::Form& form, std::ostream& err, const std::string& prefix,
                                  std::set<std::string>* printed) {
  std::optional<std::string> first_error;
  for (const rules::Notice& notice : form.take_notices()) {
    if (notice.kind != rules::Notice::Kind::log && notice.kind != rules::Notice::Kind::error) continue;
    const std::string text = latin1_to_utf8(notice.text);
    if (notice.kind == rules::Notice::Kind::error && !first_error) first_error = text;
    if (printed && !printed->insert(text).second) continue;
    err << prefix << text << '\n';
  }
  return first_error;
}

}  // namespace

std::optional<std::string> report_notices(rules::Form& form, std::ostream& err, const std::string& prefix) {
  return report(form, err, prefix, nullptr);
}

std::optional<std::string> report_notices_once(rules::Form& form, std::ostream& err, std::set<std::string>& printed) {
  return report(form, err, {}, &printed);
}

nlohmann::ordered_json shown_settings(rules::Form& form) {
  nlohmann::ordered_json settings = nlohmann::ordered_json::object();
  for (const rules::NamedControl& control : form.stored_controls()) {
    const std::string name(control.name);
    std::visit(
        [&](auto* c) {
          using T = std::remove_pointer_t<decltype(c)>;
          if constexpr (std::is_same_v<T, rules::Edit>) {
            settings[name] = latin1_to_utf8(c->text);
          } else if constexpr (std::is_same_v<T, rules::Check>) {
            settings[name] = c->checked;
          } else {
            settings[name] = item_or_null(c->items, c->index);
          }
        },
        control.control);
  }
  return settings;
}

void print_settings_text(const nlohmann::ordered_json& settings, std::ostream& out) {
  for (const auto& [name, value] : settings.items()) out << name << ": " << value.dump() << '\n';
}

}  // namespace q5::cli
