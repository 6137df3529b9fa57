// The register's tests run on both engines: an SQLite file in a folder of
// its own, and a schema of its own on the PostgreSQL server that the PG*
// variables name (pg_virtualenv sets them). Without a server the PostgreSQL
// cases skip, except under CI=true, where they fail.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "register/database.h"
#include "register/register.h"

namespace q5::test {

inline bool postgres_configured() {
  for (const char* name : {"PGHOST", "PGPORT", "PGDATABASE", "PGSERVICE"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

inline bool under_ci() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::string(ci) == "true";
}

// One register on one engine, dropped again afterwards.
class EngineRegister {
 public:
  // Returns false (after a skip or failure has been reported) when the
  // engine is not available.
  bool start(const std::string& engine, const std::string& user = {}) {
    std::mt19937_64 random(std::random_device{}());
    tag_ = "q5t_" + std::to_string(::getpid()) + "_" + std::to_string(random() % 1000000000);
    if (engine == "sqlite") {
      std::string pattern = (std::filesystem::temp_directory_path() / "q5reg-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no scratch folder";
        return false;
      }
      folder_ = pattern;
      location_ = {reg::Location::Kind::sqlite, folder_ + "/register.sqlite3"};
      return true;
    }
    if (!postgres_configured()) {
      if (under_ci()) {
        ADD_FAILURE() << "CI=true but no PostgreSQL server: run the tests under pg_virtualenv";
      } else {
        std::cout << "[  SKIPPED ] no PostgreSQL server (no PG* variables); run under pg_virtualenv\n";
      }
      return false;
    }
    try {
      admin_ = reg::open_postgres("");
      admin_->exec_script("CREATE SCHEMA " + tag_);
    } catch (const std::exception& error) {
      ADD_FAILURE() << "PostgreSQL: " << error.what();
      return false;
    }
    location_ = {reg::Location::Kind::postgres, uri_for(user)};
    return true;
  }

  ~EngineRegister() {
    if (admin_) {
      try {
        admin_->exec_script("DROP SCHEMA " + tag_ + " CASCADE");
      } catch (const std::exception&) {
      }
    }
    if (!folder_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
    }
  }

  // The register as the given login role (PostgreSQL) or the file (SQLite).
  std::string uri_for(const std::string& user) const {
    std::string uri = "postgresql://?options=-csearch_path%3D" + tag_;
    if (!user.empty()) uri += "&user=" + user;
    return uri;
  }
  const reg::Location& location() const { return location_; }
  const std::string& tag() const { return tag_; }
  const std::string& folder() const { return folder_; }
  // A connection of its own, for looking behind the register's back.
  std::unique_ptr<reg::Database> raw() const {
    if (location_.kind == reg::Location::Kind::sqlite) return reg::open_sqlite(location_.target);
    return reg::open_postgres(location_.target);
  }
  reg::Database* admin() const { return admin_.get(); }

 private:
  std::string tag_;
  std::string folder_;
  reg::Location location_;
  std::unique_ptr<reg::Database> admin_;
};

// Parameter names for the test list: "sqlite", "postgres".
inline std::string engine_name(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace q5::test
