// One small interface over the two database engines the register runs on:
// an SQLite file on a single bench, a PostgreSQL server shared by several.
// Statements are written once, with `?` for each bound parameter; values
// travel as text (or NULL) both ways.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace q5::reg {

// What the engine said when it refused or failed: its own words.
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Value = std::optional<std::string>;
using Row = std::vector<Value>;
using Params = std::vector<Value>;

class Database {
 public:
  enum class Engine { sqlite, postgres };
  virtual ~Database() = default;

  virtual Engine engine() const = 0;
  // Runs one statement; its rows, if any, are returned (INSERT ... RETURNING too).
  virtual std::vector<Row> query(const std::string& sql, const Params& params = {}) = 0;
  void exec(const std::string& sql, const Params& params = {}) { query(sql, params); }
  // Several statements, without parameters (schema scripts).
  virtual void exec_script(const std::string& sql) = 0;

  // A transaction that changes the register. Only one such transaction runs
  // at a time across all benches: SQLite takes its write lock at once
  // (BEGIN IMMEDIATE), PostgreSQL a transaction-level advisory lock.
  virtual void begin_write() = 0;
  virtual void commit() = 0;
  virtual void rollback() = 0;  // never throws
};

// Opens (creating when missing) an SQLite file in WAL mode with a busy
// timeout of 10 s and full synchronisation of every commit.
std::unique_ptr<Database> open_sqlite(const std::string& path);
// Connects with a libpq connection string or URI.
std::unique_ptr<Database> open_postgres(const std::string& uri);

// begin_write() ... commit(), or rollback() when the scope is left by an exception.
class WriteTransaction {
 public:
  explicit WriteTransaction(Database& db) : db_(db) { db_.begin_write(); }
  ~WriteTransaction() {
    if (!done_) db_.rollback();
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  void commit() {
    db_.commit();
    done_ = true;
  }

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace q5::reg
