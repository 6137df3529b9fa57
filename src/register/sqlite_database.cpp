// The register on an SQLite 3 file.
#include <sqlite3.h>

#include "register/database.h"

namespace q5::reg {

namespace {

// SQLite waits this long for another bench's write to finish before giving up.
constexpr int kBusyTimeoutMs = 10000;

class SqliteDatabase final : public Database {
 public:
  explicit SqliteDatabase(const std::string& path) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
      std::string reason = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      db_ = nullptr;
      throw DatabaseError(reason);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    // WAL lets benches read while one writes; FULL makes every commit
    // durable, so that a verified write, once recorded, survives a power cut.
    exec_script("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
  }
  ~SqliteDatabase() override { sqlite3_close(db_); }

  Engine engine() const override { return Engine::sqlite; }

  std::vector<Row> query(const std::string& sql, const Params& params) override {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
      throw DatabaseError(sqlite3_errmsg(db_));
    }
    struct Finalize {
      sqlite3_stmt* s;
      ~Finalize() { sqlite3_finalize(s); }
    } finalize{statement};
    for (std::size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const int rc = params[i] ? sqlite3_bind_text(statement, index, params[i]->data(),
                                                   static_cast<int>(params[i]->size()), SQLITE_TRANSIENT)
                               : sqlite3_bind_null(statement, index);
      if (rc != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(db_));
    }
    std::vector<Row> rows;
    for (;;) {
      const int rc = sqlite3_step(statement);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) throw DatabaseError(sqlite3_errmsg(db_));
      Row row;
      const int columns = sqlite3_column_count(statement);
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
          row.emplace_back();
        } else {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
          row.emplace_back(std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, c))));
        }
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  void exec_script(const std::string& sql) override {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      std::string reason = message != nullptr ? message : sqlite3_errmsg(db_);
      sqlite3_free(message);
      throw DatabaseError(reason);
    }
  }

  // IMMEDIATE takes the write lock before the first read, so two benches
  // choosing the lowest free address cannot both read the same state; the
  // second waits (busy timeout) until the first commits.
  void begin_write() override { exec_script("BEGIN IMMEDIATE"); }
  void commit() override { exec_script("COMMIT"); }
  void rollback() override {
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Database> open_sqlite(const std::string& path) { return std::make_unique<SqliteDatabase>(path); }

}  // namespace q5::reg
