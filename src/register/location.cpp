// Which register a program uses, and how it is named in messages.
#include <libpq-fe.h>

#include <openssl/evp.h>

#include <cstdio>
#include <ctime>
#include <string_view>

#include "files/batch_log.h"
#include "register/register.h"

namespace q5::reg {

namespace {

bool is_postgres_uri(std::string_view value) {
  return value.starts_with("postgresql://") || value.starts_with("postgres://");
}

Location classify(const std::string& value) {
  if (!is_postgres_uri(value)) return {Location::Kind::sqlite, value};
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(value.c_str(), &error);
  if (options == nullptr) {
    std::string reason = error != nullptr ? error : "out of memory";
    PQfreemem(error);
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    throw RegisterError("Register " + value + ": " + reason);
  }
  bool has_password = false;
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
    if (std::string_view(option->keyword) == "password" && option->val != nullptr && *option->val != '\0') {
      has_password = true;
    }
  }
  PQconninfoFree(options);
  if (has_password) {
    // Not even echoed: the text holds the password.
    throw RegisterError(
        "Register: a password inside the URI is refused; give it in ~/.pgpass, PGPASSWORD or a service file");
  }
  return {Location::Kind::postgres, value};
}

// The folder of the default batch log holds the default register too.
std::string beside_batch_log(bool simulated, std::string_view name, std::string_view simulated_name) {
  const std::string log = files::default_batch_log_path(simulated);
  const auto slash = log.rfind('/');
  if (log.empty() || slash == std::string::npos) return {};
  return log.substr(0, slash + 1) + std::string(simulated ? simulated_name : name);
}

}  // namespace

Location resolve_location(const std::optional<std::string>& option, bool no_register, const char* env,
                          bool simulated) {
  if (no_register) return {};
  if (option) {
    if (option->empty()) throw RegisterError("Register: --register needs a path or a postgresql:// URI");
    return classify(*option);
  }
  if (env != nullptr && *env != '\0') return classify(env);
  const std::string path = beside_batch_log(simulated, "register.sqlite3", "register-simulated.sqlite3");
  if (path.empty()) throw RegisterError("Register: no home folder for the default register; give --register");
  return {Location::Kind::sqlite, path};
}

std::string display_name(const Location& location) {
  switch (location.kind) {
    case Location::Kind::none:
      return "none";
    case Location::Kind::sqlite:
      return location.target;
    case Location::Kind::postgres:
      return location.target + " (shared)";
  }
  return {};
}

std::string default_pending_path(bool simulated) {
  return beside_batch_log(simulated, "pending-events.jsonl", "pending-events-simulated.jsonl");
}

std::string iso8601_utc(std::time_t time) {
  std::tm parts{};
  if (gmtime_r(&time, &parts) == nullptr) return {};
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

std::string sha256_hex(const image::Image& image) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(image.data(), image.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    throw RegisterError("SHA-256 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0xF];
  }
  return hex;
}

}  // namespace q5::reg
