// The register on a PostgreSQL server, through libpq.
#include <libpq-fe.h>

#include <cstdlib>

#include "register/database.h"

namespace q5::reg {

namespace {

// Every transaction that changes the register holds this advisory lock
// until it ends. Writes to the register are a few per minute per bench, so
// serialising them costs nothing noticeable, and it makes "choose the lowest
// free address, then reserve it" safe without SERIALIZABLE retries: a second
// bench only reads the pool after the first has committed its choice.
// (READ COMMITTED takes a fresh snapshot for every statement, so statements
// after the lock see everything committed before it was granted.)
constexpr const char* kWriteLock = "SELECT pg_advisory_xact_lock(5138700019)";

// `?` placeholders become $1, $2, ... (our statements never hold a `?` in a literal).
std::string numbered(const std::string& sql) {
  std::string out;
  int n = 0;
  for (const char c : sql) {
    if (c == '?') {
      out += '$' + std::to_string(++n);
    } else {
      out += c;
    }
  }
  return out;
}

std::string trimmed(const char* message) {
  std::string text = message != nullptr ? message : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

class PostgresDatabase final : public Database {
 public:
  explicit PostgresDatabase(const std::string& uri) : conn_(connect(uri)) {
    if (conn_ == nullptr) throw DatabaseError("out of memory");
    if (PQstatus(conn_) != CONNECTION_OK) {
      std::string reason = trimmed(PQerrorMessage(conn_));
      PQfinish(conn_);
      throw DatabaseError(reason);
    }
    PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
    exec_script("SET client_min_messages = warning");
  }
  ~PostgresDatabase() override { PQfinish(conn_); }

  Engine engine() const override { return Engine::postgres; }

  // A server that does not answer must not hang the bench: 10 s unless the
  // URI or PGCONNECT_TIMEOUT says otherwise (the URI's own values override
  // the ones before it).
  static PGconn* connect(const std::string& uri) {
    const char* env_timeout = std::getenv("PGCONNECT_TIMEOUT");
    const bool default_timeout = env_timeout == nullptr || *env_timeout == '\0';
    if (!default_timeout) return PQconnectdb(uri.c_str());
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"10", uri.c_str(), nullptr};
    return PQconnectdbParams(keywords, values, 1);
  }

  std::vector<Row> query(const std::string& sql, const Params& params) override {
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const Value& p : params) values.push_back(p ? p->c_str() : nullptr);
    PGresult* result = PQexecParams(conn_, numbered(sql).c_str(), static_cast<int>(values.size()), nullptr,
                                    values.data(), nullptr, nullptr, 0);
    struct Clear {
      PGresult* r;
      ~Clear() { PQclear(r); }
    } clear{result};
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw DatabaseError(trimmed(PQerrorMessage(conn_)));
    std::vector<Row> rows;
    const int count = PQntuples(result);
    const int columns = PQnfields(result);
    rows.reserve(static_cast<std::size_t>(count));
    for (int r = 0; r < count; ++r) {
      Row row;
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(result, r, c) != 0) {
          row.emplace_back();
        } else {
          row.emplace_back(std::string(PQgetvalue(result, r, c), static_cast<std::size_t>(PQgetlength(result, r, c))));
        }
      }
      rows.push_back(std::move(row));
    }
    return rows;
  }

  void exec_script(const std::string& sql) override {
    PGresult* result = PQexec(conn_, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    PQclear(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw DatabaseError(trimmed(PQerrorMessage(conn_)));
  }

  void begin_write() override {
    exec_script("BEGIN");
    try {
      exec_script(kWriteLock);
    } catch (...) {
      rollback();
      throw;
    }
  }
  void commit() override { exec_script("COMMIT"); }
  void rollback() override {
    if (PQtransactionStatus(conn_) != PQTRANS_IDLE) PQclear(PQexec(conn_, "ROLLBACK"));
  }

 private:
  PGconn* conn_;
};

}  // namespace

std::unique_ptr<Database> open_postgres(const std::string& uri) { return std::make_unique<PostgresDatabase>(uri); }

}  // namespace q5::reg
