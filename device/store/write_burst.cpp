#include "store/write_burst.h"

namespace pellix::device::store {

WriteBurst::WriteBurst(std::recursive_mutex& mutex, sql::Database& db, Timing timing)
    : mutex_(mutex), db_(db), timing_(timing) {}

WriteBurst::~WriteBurst() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    if (holding_) Release();
  }
  wake_.notify_all();
  if (helper_.joinable()) helper_.join();
}

void WriteBurst::BeforeWrite() {
  if (holding_ || db_.read_only()) return;
  const auto now = Clock::now();
  streak_ = (last_end_ != Clock::time_point{} && now - last_end_ <= timing_.gap) ? streak_ + 1 : 0;
  if (streak_ >= timing_.streak && now >= rest_until_) Hold();
}

void WriteBurst::AfterWrite() {
  last_end_ = Clock::now();
  if (holding_ && last_end_ - held_since_ >= timing_.longest) Release();
}

void WriteBurst::Hold() {
  // Without waiting: another process that has the database open keeps it shared.
  db_.SetBusyTimeout(0);
  bool held = db_.Exec("PRAGMA locking_mode = EXCLUSIVE").ok();
  // The exclusive lock is taken by the first write transaction and kept from then on.
  if (held) held = db_.Exec("BEGIN IMMEDIATE; COMMIT").ok();
  if (!held) {
    db_.Exec("ROLLBACK").ok();
    db_.Exec("PRAGMA locking_mode = NORMAL").ok();
    rest_until_ = Clock::now() + timing_.rest;
    streak_ = 0;
  }
  db_.SetBusyTimeout(timing_.busy_ms);
  if (!held) return;
  holding_ = true;
  held_since_ = Clock::now();
  if (!helper_.joinable()) helper_ = std::thread([this] { Watch(); });
  wake_.notify_all();
}

void WriteBurst::Release() {
  // Back in shared mode, the end of a write transaction drops the exclusive lock.
  db_.Exec("PRAGMA locking_mode = NORMAL").ok();
  db_.Exec("BEGIN IMMEDIATE; COMMIT").ok();
  holding_ = false;
  streak_ = 0;
  rest_until_ = Clock::now() + timing_.rest;
}

void WriteBurst::Watch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (!holding_) {
      wake_.wait(lock, [this] { return stopping_ || holding_; });
      continue;
    }
    const auto now = Clock::now();
    const auto idle_end = last_end_ + timing_.idle;
    const auto hold_end = held_since_ + timing_.longest;
    if (now >= idle_end || now >= hold_end) {
      Release();
      continue;
    }
    wake_.wait_until(lock, std::min(idle_end, hold_end));
  }
}

}  // namespace pellix::device::store
