// A configuration file in the form, as a fresh window shows it after
// File > Open, and the settings that file holds as the window shows them.
#pragma once

#include <nlohmann/json.hpp>
#include <istream>
#include <optional>
#include <ostream>
#include <set>
#include <string>

#include "files/config_file.h"
#include "image/image.h"
#include "rules/form.h"

namespace q5::cli {

// The checks of File > Open, then the file shown in `form` (a form just
// started up). nullopt when the file was shown; else the window's text for
// the refusal, the form then untouched: "checksum is error!" or "Model
// Error, please check...", or for a file that could not be opened or read
// the window's words, the file and the reason ("File open error: a.eep: No
// such file or directory", "File read error: b.eep: 10 bytes, a
// configuration file has 256"). `bytes` gets the file's first 256 bytes
// once they could be read.
std::optional<std::string> open_into(const std::string& path, rules::Form& form, image::Image& bytes);

// The name standard input goes by on the command line, and in messages.
inline constexpr const char* kStandardInput = "-";
inline constexpr const char* kStandardInputName = "standard input";

// A file opened as open_into() opens it, with what is needed to word the
// refusal. With `in`, the path "-" reads `in` instead of a file.
struct OpenedFile {
  std::optional<files::OpenRefusal> refusal;
  files::FileReason reason;  // the file's size when it was read
};
OpenedFile open_file_into(const std::string& path, std::istream* in, rules::Form& form, image::Image& bytes);

// The text open_into() gives for a refusal of the file `path`.
std::string refusal_message(files::OpenRefusal refusal, const std::string& path, const files::FileReason& reason);

// "File open error: out.eep: Permission denied" and the like: the window's
// words for a failed save, the file and the reason.
std::string save_error_message(files::SaveResult result, const std::string& path, const files::FileReason& reason);

// A fresh form, started up as the window starts.
rules::Form started_form();

// The log lines and error boxes the form asked for since the last call, one
// line each on `err` in UTF-8, each after `prefix`. Returns the first error
// box's text (UTF-8), if any. Beeps and focus requests have no place here.
std::optional<std::string> report_notices(rules::Form& form, std::ostream& err, const std::string& prefix = {});

// The same, but each line once: lines in `printed` are left out, and the
// lines printed are added to it. The rules judge the frequency at each
// leave, at each encode and before a write, so one command can hear the
// same warning several times.
std::optional<std::string> report_notices_once(rules::Form& form, std::ostream& err, std::set<std::string>& printed);

// Every setting a file holds, in the order that sets them back from a
// fresh form: edits as their text, check boxes as true or false, lists and
// the radio group as the item shown or null.
nlohmann::ordered_json shown_settings(rules::Form& form);

// "NAME: VALUE" per setting, each value as its JSON literal.
void print_settings_text(const nlohmann::ordered_json& settings, std::ostream& out);

}  // namespace q5::cli
