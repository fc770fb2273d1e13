#include "frame/database/connection_pool.h"

#include <chrono>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace quenmark::db {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kIdlePerString = 4;
constexpr size_t kStrings = 32;
constexpr auto kIdleLifetime = std::chrono::seconds(60);

struct Idle {
  std::unique_ptr<Connection> connection;
  Clock::time_point since;
};

using IdleMap = std::unordered_map<std::string, std::deque<Idle>>;

IdleMap& ThreadIdle() {
  thread_local IdleMap idle;
  return idle;
}

std::mutex process_mutex;
IdleMap& ProcessIdle() {
  static IdleMap* idle = new IdleMap;  // outlives every thread that may still return one
  return *idle;
}

ReusableConnection* AsReusable(Connection* connection) {
  return dynamic_cast<ReusableConnection*>(connection);
}

std::unique_ptr<Connection> TakeIdle(IdleMap& idle, const std::string& key) {
  auto it = idle.find(key);
  if (it == idle.end()) return nullptr;
  std::deque<Idle>& waiting = it->second;
  Clock::time_point now = Clock::now();
  while (!waiting.empty()) {
    Idle candidate = std::move(waiting.back());
    waiting.pop_back();
    if (now - candidate.since < kIdleLifetime) return std::move(candidate.connection);
  }
  idle.erase(it);
  return nullptr;
}

void PutIdle(IdleMap& idle, const std::string& key, std::unique_ptr<Connection> connection) {
  if (idle.size() >= kStrings && !idle.contains(key)) idle.clear();
  std::deque<Idle>& waiting = idle[key];
  if (waiting.size() >= kIdlePerString) waiting.pop_front();
  waiting.push_back(Idle{std::move(connection), Clock::now()});
}

void Release(const std::string& key, std::unique_ptr<Connection> connection) {
  ReusableConnection* reusable = AsReusable(connection.get());
  if (!reusable || !connection->IsOpen()) return;
  switch (reusable->ReuseScope()) {
    case ReusableConnection::Scope::kNone: return;
    case ReusableConnection::Scope::kThread: PutIdle(ThreadIdle(), key, std::move(connection)); return;
    case ReusableConnection::Scope::kProcess: {
      std::lock_guard lock(process_mutex);
      PutIdle(ProcessIdle(), key, std::move(connection));
      return;
    }
  }
}

// Hands calls to the pooled connection and returns it to the pool when closed.
class PooledConnection : public Connection {
 public:
  PooledConnection(std::string key, std::unique_ptr<Connection> inner)
      : key_(std::move(key)), inner_(std::move(inner)) {}
  ~PooledConnection() override { PooledConnection::Close(); }

  const std::string& ConnectionString() const override { return key_; }
  Result<std::unique_ptr<Recordset>> Execute(std::string_view sql, int64_t max_records) override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->Execute(sql, max_records);
  }
  Result<std::unique_ptr<Recordset>> Call(const Command& command, int64_t max_records) override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->Call(command, max_records);
  }
  Result<std::vector<CatalogEntry>> Tables() override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->Tables();
  }
  Result<std::vector<CatalogEntry>> Views() override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->Views();
  }
  Result<std::vector<CatalogEntry>> Procedures() override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->Procedures();
  }
  Result<std::vector<ProcedureParameter>> ProcedureParameters(
      std::string_view procedure) override {
    if (!inner_) return Status::Failure("The connection is closed.");
    return inner_->ProcedureParameters(procedure);
  }
  void Close() override {
    if (inner_) Release(key_, std::move(inner_));
  }
  bool IsOpen() const override { return inner_ && inner_->IsOpen(); }

 private:
  std::string key_;
  std::unique_ptr<Connection> inner_;
};

}  // namespace

Result<std::unique_ptr<Connection>> AcquirePooled(
    std::string_view connection_string,
    Result<std::unique_ptr<Connection>> (*open)(std::string_view)) {
  std::string key(connection_string);
  for (;;) {
    std::unique_ptr<Connection> idle = TakeIdle(ThreadIdle(), key);
    if (!idle) {
      std::lock_guard lock(process_mutex);
      idle = TakeIdle(ProcessIdle(), key);
    }
    if (!idle) break;
    if (AsReusable(idle.get())->Revive()) {
      return std::unique_ptr<Connection>(std::make_unique<PooledConnection>(key, std::move(idle)));
    }
  }
  Result<std::unique_ptr<Connection>> opened = open(connection_string);
  if (!opened.ok()) return opened;
  std::unique_ptr<Connection> connection = std::move(*opened);
  ReusableConnection* reusable = AsReusable(connection.get());
  if (!reusable || reusable->ReuseScope() == ReusableConnection::Scope::kNone) {
    return connection;
  }
  return std::unique_ptr<Connection>(
      std::make_unique<PooledConnection>(key, std::move(connection)));
}

}  // namespace quenmark::db
