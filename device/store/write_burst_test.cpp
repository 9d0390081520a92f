// Holding the store's database through bursts of writes: when it is held and given back, what
// other connections see meanwhile, a database another connection keeps open, and the durability
// of every write made while held, also when the process dies without closing.
#include "store/write_burst.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace pellix::device::store {
namespace {

using namespace std::chrono_literals;

// A database with one table, its writes marked for the burst as the store marks them.
class Writer {
 public:
  Writer(const std::filesystem::path& file, WriteBurst::Timing timing) {
    auto db = sql::Database::Open(file);
    EXPECT_TRUE(db.ok());
    db_ = std::move(*db);
    EXPECT_TRUE(db_->Exec("CREATE TABLE IF NOT EXISTS t(k INTEGER PRIMARY KEY, v INTEGER)").ok());
    burst_ = std::make_unique<WriteBurst>(mutex_, *db_, timing);
  }
  ~Writer() {
    burst_.reset();
    db_.reset();
  }

  bool Write(int64_t k, int64_t v) {
    std::lock_guard lock(mutex_);
    burst_->BeforeWrite();
    bool ok;
    {
      sql::Database::Transaction t(*db_);
      sql::Use q(db_->Prepare("INSERT OR REPLACE INTO t(k, v) VALUES (?, ?)"));
      q->Bind(1, k).Bind(2, v);
      ok = t.ok() && q->Run().ok() && t.Commit().ok();
    }
    burst_->AfterWrite();
    return ok;
  }
  bool holding() {
    std::lock_guard lock(mutex_);
    return burst_->holding();
  }
  // Waits (real time) until the hold is given back; false when it never is.
  bool WaitReleased(std::chrono::milliseconds most) {
    for (auto end = std::chrono::steady_clock::now() + most; std::chrono::steady_clock::now() < end;) {
      if (!holding()) return true;
      std::this_thread::sleep_for(1ms);
    }
    return !holding();
  }

 private:
  std::recursive_mutex mutex_;
  std::unique_ptr<sql::Database> db_;
  std::unique_ptr<WriteBurst> burst_;
};

// What another connection (in effect another process: SQLite keeps the two apart) can read now.
std::optional<int64_t> ReadElsewhere(const std::filesystem::path& file, int64_t k) {
  auto db = sql::Database::Open(file, /*busy_ms=*/0);
  if (!db.ok()) return std::nullopt;
  sql::Use q((*db)->Prepare("SELECT v FROM t WHERE k = ?"));
  q->Bind(1, k);
  if (!q->Step()) return std::nullopt;
  return q->Int(0);
}

WriteBurst::Timing Quick() {
  WriteBurst::Timing t;
  t.streak = 8;
  t.gap = 50ms;  // generous, so that a slow (sanitised, loaded) run still counts as a burst
  t.idle = 20ms;
  t.longest = 10s;
  t.rest = 0ms;
  return t;
}

TEST(WriteBurstConcurrency, HeldThroughABurstAndGivenBackWhenWritesPause) {
  pellix::testing::TempDir dir;
  const auto file = dir.path() / "burst.db";
  Writer w(file, Quick());
  // A few writes are not a burst.
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(w.Write(i, i));
  EXPECT_FALSE(w.holding());
  EXPECT_EQ(ReadElsewhere(file, 3), 3);

  for (int i = 0; i < 20; ++i) ASSERT_TRUE(w.Write(i, 100 + i));
  ASSERT_TRUE(w.holding());
  // Meanwhile nobody else may read.
  EXPECT_EQ(ReadElsewhere(file, 19), std::nullopt);

  ASSERT_TRUE(w.WaitReleased(5s));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(ReadElsewhere(file, i), 100 + i) << i;
}

TEST(WriteBurstConcurrency, ALongBurstIsInterrupted) {
  pellix::testing::TempDir dir;
  const auto file = dir.path() / "burst.db";
  WriteBurst::Timing t = Quick();
  t.longest = 30ms;
  t.rest = 20ms;
  Writer w(file, t);
  bool held = false, released_in_burst = false;
  const auto end = std::chrono::steady_clock::now() + 2s;
  int i = 0;
  while (std::chrono::steady_clock::now() < end && !(held && released_in_burst)) {
    ASSERT_TRUE(w.Write(i % 50, i));
    ++i;
    if (w.holding()) held = true;
    else if (held) released_in_burst = true;
  }
  EXPECT_TRUE(held);
  EXPECT_TRUE(released_in_burst);
}

TEST(WriteBurstConcurrency, ADatabaseOpenElsewhereStaysShared) {
  pellix::testing::TempDir dir;
  const auto file = dir.path() / "burst.db";
  Writer w(file, Quick());
  ASSERT_TRUE(w.Write(1, 1));
  auto other = sql::Database::Open(file, /*busy_ms=*/0);
  ASSERT_TRUE(other.ok());
  {
    sql::Use q((*other)->Prepare("SELECT v FROM t WHERE k = 1"));
    ASSERT_TRUE(q->Step());
  }
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(w.Write(i, 7));
  EXPECT_FALSE(w.holding());
  // The other connection keeps reading every change.
  sql::Use q((*other)->Prepare("SELECT COUNT(*) FROM t WHERE v = 7"));
  ASSERT_TRUE(q->Step());
  EXPECT_EQ(q->Int(0), 40);
}

TEST(WriteBurstConcurrency, EveryWriteOfABurstSurvivesAProcessThatDies) {
  pellix::testing::TempDir dir;
  const auto file = dir.path() / "store.db";
  int64_t first = 0;
  {
    MessageStore store(file);
    ASSERT_TRUE(store.status().ok());
    SmsMessage m;
    m.sender = u"+4917100";
    for (int i = 0; i < 200; ++i) {
      m.text = u"message";
      auto key = DeliverSms(store, m);
      ASSERT_TRUE(key.ok());
      if (i == 0) first = *key;
    }
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The store's own writes, one transaction each, then death without closing anything.
    auto* store = new MessageStore(file);
    for (int64_t k = first; k < first + 200; ++k) {
      const Property p = TextProperty(PR_MESSAGE_CLASS_W, u"IPM.SMStext.Ravlo");
      if (!store->WriteProperties(k, std::span(&p, 1)).ok()) _exit(2);
    }
    // Held at the end of the burst: nobody else may read.
    auto other = sql::Database::Open(file, /*busy_ms=*/0);
    bool readable = false;
    if (other.ok()) {
      sql::Use q((*other)->Prepare("SELECT COUNT(*) FROM messages"));
      readable = q->Step();
    }
    _exit(readable ? 3 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_NE(WEXITSTATUS(status), 2);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the store did not hold the database for the burst";
  MessageStore store(file);
  ASSERT_TRUE(store.status().ok());
  for (int64_t k = first; k < first + 200; ++k) {
    auto cls = store.ReadProperty(k, PR_MESSAGE_CLASS_W);
    ASSERT_TRUE(cls.ok() && cls->has_value()) << k;
    EXPECT_EQ(std::get<std::u16string>((*cls)->value), u"IPM.SMStext.Ravlo") << k;
  }
}

}  // namespace
}  // namespace pellix::device::store
