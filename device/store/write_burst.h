// Holding the message store's database for a burst of small writes.
//
// Every change to the store commits a transaction of its own before the call returns. In the
// database's shared mode each commit takes and drops six file locks, which costs more than the
// write itself. When writes follow each other closely (a sweep that changes every message of a
// folder), the store asks for the database for itself (SQLite's exclusive locking mode): commits
// then take no locks, and each is still in the database's log, safe from a crash of the
// process, when its call returns. Once writes pause, or after a while even in a burst, a helper
// thread gives the database back, so another process waits at most that long for it. While
// another process has the database open, it cannot be had for exclusive use; the store then
// stays in shared mode and asks again only later.
//
// Threads: BeforeWrite and AfterWrite run with the store's lock held; the helper thread takes
// that lock to give the database back. The helper starts at the first burst and ends with
// the object.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "store/sqlite_db.h"

namespace pellix::device::store {

class WriteBurst {
 public:
  using Clock = std::chrono::steady_clock;

  struct Timing {
    int streak = 32;  // writes that follow closely before the database is held
    Clock::duration gap = std::chrono::milliseconds(1);   // "closely": at most this apart
    Clock::duration idle = std::chrono::milliseconds(20);  // a pause that ends the hold
    Clock::duration longest = std::chrono::milliseconds(500);  // the longest hold
    Clock::duration rest = std::chrono::milliseconds(50);  // shared mode after a hold, or a refusal
    int busy_ms = 5000;  // the database's usual wait for other processes' locks
  };

  // `mutex` guards `db`; both outlive this object.
  WriteBurst(std::recursive_mutex& mutex, sql::Database& db, Timing timing);
  WriteBurst(std::recursive_mutex& mutex, sql::Database& db) : WriteBurst(mutex, db, Timing{}) {}
  ~WriteBurst();
  WriteBurst(const WriteBurst&) = delete;
  WriteBurst& operator=(const WriteBurst&) = delete;

  // REQUIRES: the store's lock held, before a write transaction begins.
  void BeforeWrite();
  // REQUIRES: the store's lock held, after the transaction ended, committed or not.
  void AfterWrite();

  // Whether the database is held now (tests). REQUIRES: the store's lock held.
  bool holding() const { return holding_; }

 private:
  void Hold();     // REQUIRES: lock held
  void Release();  // REQUIRES: lock held
  void Watch();    // the helper thread

  std::recursive_mutex& mutex_;
  sql::Database& db_;
  const Timing timing_;
  int streak_ = 0;
  bool holding_ = false;
  bool stopping_ = false;
  Clock::time_point last_end_{};
  Clock::time_point held_since_{};
  Clock::time_point rest_until_{};
  std::condition_variable_any wake_;
  std::thread helper_;
};

}  // namespace pellix::device::store
