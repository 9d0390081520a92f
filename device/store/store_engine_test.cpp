// Unit tests of the store's engine pieces: identifiers, value conversion, times and
// transactions.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/property.h"
#include "store/sms_delivery.h"
#include "store/sqlite_db.h"
#include "testing/temp_image.h"

namespace pellix::device::store {
namespace {

TEST(EntryId, RoundTripsAndRejectsOthers) {
  for (EntryKind kind : {EntryKind::kStore, EntryKind::kFolder, EntryKind::kMessage}) {
    for (int64_t key : {int64_t{1}, int64_t{255}, int64_t{1} << 40}) {
      auto id = MakeEntryId(kind, key);
      ASSERT_EQ(id.size(), kEntryIdSize);
      auto ref = ParseEntryId(id.data(), id.size());
      ASSERT_TRUE(ref.has_value());
      EXPECT_EQ(ref->kind, kind);
      EXPECT_EQ(ref->key, key);
    }
  }
  auto id = MakeEntryId(EntryKind::kMessage, 7);
  EXPECT_FALSE(ParseEntryId(nullptr, kEntryIdSize));
  EXPECT_FALSE(ParseEntryId(id.data(), id.size() - 1));
  auto bad_kind = id;
  bad_kind[20] = 9;
  EXPECT_FALSE(ParseEntryId(bad_kind.data(), bad_kind.size()));
  auto zero_key = MakeEntryId(EntryKind::kMessage, 0);
  EXPECT_FALSE(ParseEntryId(zero_key.data(), zero_key.size()));
  // Identifiers of different objects differ.
  EXPECT_NE(MakeEntryId(EntryKind::kFolder, 7), id);
}

TEST(PropertyConversion, AnswersInTheRequestedType) {
  const Property text = TextProperty(PR_SUBJECT_W, u"caf\u00e9 \u20ac");
  struct Case {
    uint32_t requested;
    bool unicode;
    uint32_t tag;  // of the answer
  };
  const Case cases[] = {
      {PR_SUBJECT_W, true, PR_SUBJECT_W},
      {PROP_TAG(PT_STRING8, 0x0037), true, PROP_TAG(PT_STRING8, 0x0037)},
      {PROP_TAG(PT_UNSPECIFIED, 0x0037), true, PR_SUBJECT_W},
      {PROP_TAG(PT_UNSPECIFIED, 0x0037), false, PROP_TAG(PT_STRING8, 0x0037)},
      {PROP_TAG(PT_LONG, 0x0037), true, PROP_TAG(PT_ERROR, 0x0037)},
  };
  for (const Case& c : cases) EXPECT_EQ(AsRequested(text, c.requested, c.unicode).tag, c.tag) << c.requested;
  // Narrowed text keeps Latin-1 and marks what it cannot hold.
  auto narrow = AsRequested(text, PROP_TAG(PT_STRING8, 0x0037), true);
  EXPECT_EQ(std::get<std::vector<uint8_t>>(narrow.value),
            (std::vector<uint8_t>{'c', 'a', 'f', 0xE9, ' ', '?'}));
  auto missing = AsRequested(text, PROP_TAG(PT_LONG, 0x0037), true);
  EXPECT_EQ(std::get<int64_t>(missing.value), MAPI_E_NOT_FOUND);
}

TEST(PropertyConversion, RejectsValuesTheStoreCannotKeep) {
  SPropValue v = {};
  v.ulPropTag = PR_SUBJECT_W;  // null string
  EXPECT_EQ(FromPropValue(v).error().code, MAPI_E_INVALID_PARAMETER);
  v.ulPropTag = PROP_TAG(PT_BINARY, 0x8000);
  v.Value.bin = {3, nullptr};
  EXPECT_EQ(FromPropValue(v).error().code, MAPI_E_INVALID_PARAMETER);
  v.Value.bin = {0, nullptr};  // an empty binary is fine
  EXPECT_TRUE(FromPropValue(v).ok());
  for (uint32_t type : {PT_ERROR, PT_OBJECT, PT_NULL, PT_UNSPECIFIED, MV_FLAG | PT_LONG}) {
    v.ulPropTag = PROP_TAG(type, 0x8000);
    EXPECT_EQ(FromPropValue(v).error().code, MAPI_E_INVALID_TYPE) << type;
  }
}

TEST(IsoTime, ParsesAndFormats) {
  struct Case {
    const char* text;
    std::optional<uint64_t> ticks;
  };
  // Seconds from 1601-01-01 worked out separately: 1970-01-01 is 11644473600.
  const Case cases[] = {
      {"1970-01-01T00:00:00Z", 116444736000000000ull},
      {"1970-01-01 00:01", 116444736600000000ull},
      {"1601-01-01T00:00", 0ull},
      {"2000-02-29T12:00:00", 125962992000000000ull},
      {"2001-02-29T12:00:00", std::nullopt},
      {"2026-13-01T00:00", std::nullopt},
      {"2026-12-05T24:00", std::nullopt},
      {"2026-12-05", std::nullopt},
      {"2026-12-05T20:30:00ZZ", std::nullopt},
      {"1600-12-31T23:59", std::nullopt},
      {"", std::nullopt},
      // Offsets from UTC and fractions of a second.
      {"1970-01-01T01:00:00+01:00", 116444736000000000ull},
      {"1970-01-01T00:00:00-0530", 116444736000000000ull + 19800ull * 10000000},
      {"1970-01-01T09:00+09", 116444736000000000ull},
      {"1970-01-01T00:00:00.5Z", 116444736005000000ull},
      {"1970-01-01T00:00:00,123456789Z", 116444736001234567ull},
      {"1970-01-01T00:00:00.Z", std::nullopt},
      {"1970-01-01T00:00:00+1", std::nullopt},
      {"1970-01-01T00:00:00+24:00", std::nullopt},
      {"1601-01-01T00:00+01:00", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseIsoTime(c.text), c.ticks) << c.text;
  EXPECT_EQ(FormatIsoTime(125962992000000000ull), "2000-02-29T12:00:00Z");
  EXPECT_EQ(FormatIsoTime(0), "1601-01-01T00:00:00Z");
}

class StoreEngineTest : public testing::DeviceTest {};

TEST_F(StoreEngineTest, FailedCopyLeavesNoHalfWrittenMessage) {
  MessageStore& store = MessageStore::Of(device());
  SmsMessage m;
  m.text = u"one";
  auto a = DeliverSms(store, m);
  m.text = u"two";
  auto b = DeliverSms(store, m);
  ASSERT_TRUE(a.ok() && b.ok());
  const int64_t inbox = store.FolderOf(*a).value();
  // The second message is checked after the first is copied; the folder does not exist,
  // so the copy fails at the database and everything it did is rolled back.
  const int64_t keys[] = {*a, *b};
  EXPECT_FALSE(store.CopyMessages(keys, inbox, 999).ok());
  EXPECT_EQ(store.CountMessages(inbox), 2);
  EXPECT_EQ(store.CountMessages(999), 0);
  EXPECT_EQ(store.MessagesAfter(inbox, 0, 10), (std::vector<int64_t>{*a, *b}));
  // A message that failed to be created does not exist either.
  const Property p = TextProperty(PR_SUBJECT_W, u"x");
  EXPECT_EQ(store.CreateMessage(999, std::span(&p, 1)).error().code, MAPI_E_NOT_FOUND);
  EXPECT_EQ(store.MessagesAfter(inbox, *b, 10), std::vector<int64_t>{});
}

TEST_F(StoreEngineTest, WriterCrashLeavesStoreAsItWas) {
  MessageStore& store = MessageStore::Of(device());
  SmsMessage m;
  m.text = u"before";
  auto key = DeliverSms(store, m);
  ASSERT_TRUE(key.ok());
  // Another process starts changing the message and dies before committing.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto db = sql::Database::Open(device().image().store_db());
    if (db.ok())
      (*db)->Exec("BEGIN IMMEDIATE; UPDATE properties SET value = 'half' WHERE id = 0x37;"
                  "INSERT INTO messages(folder) VALUES (1);").ok();
    _exit(0);  // no commit, no close
  }
  int status = 0;
  waitpid(child, &status, 0);
  auto subject = store.ReadProperty(*key, PR_SUBJECT_W);
  ASSERT_TRUE(subject.ok());
  EXPECT_EQ(std::get<std::u16string>((*subject)->value), u"before");
  EXPECT_EQ(store.CountMessages(1), 1);
  // And the store still takes writes.
  const Property p = TextProperty(PR_SUBJECT_W, u"after");
  EXPECT_TRUE(store.WriteProperties(*key, std::span(&p, 1)).ok());
}

}  // namespace
}  // namespace pellix::device::store
