// Conformance of the message store through the platform's interfaces only (the engine is
// used just to put messages in, as the SMS service would).
#include <cemapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "store/sqlite_db.h"
#include "testing/temp_image.h"

namespace pellix::device::store {
namespace {

template <typename T>
struct Ref {
  T* p = nullptr;
  Ref() = default;
  Ref(const Ref&) = delete;
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  T** out() { return &p; }
  LPUNKNOWN* unk() { return reinterpret_cast<LPUNKNOWN*>(&p); }
};

struct Buffer {
  void* p = nullptr;
  ~Buffer() { MAPIFreeBuffer(p); }
};

using Bytes = std::vector<uint8_t>;

class MapiStoreTest : public testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session_.out()), S_OK);
    OpenSmsStore();
  }
  void TearDown() override {
    if (store_.p) store_->Release(), store_.p = nullptr;
    if (session_.p) session_->Logoff(0, 0, 0), session_->Release(), session_.p = nullptr;
    DeviceTest::TearDown();
  }

  // As the module finds it: the stores table, one row at a time, until the row named "SMS".
  void OpenSmsStore() {
    Ref<IMAPITable> table;
    ASSERT_EQ(session_->GetMsgStoresTable(0, table.out()), S_OK);
    SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
    ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    for (;;) {
      LPSRowSet rows = nullptr;
      ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
      if (rows->cRows == 0) {
        FreeProws(rows);
        FAIL() << "no SMS store";
      }
      const SPropValue* v = rows->aRow[0].lpProps;
      if (std::u16string(v[0].Value.lpszW) == u"SMS") {
        ASSERT_EQ(session_->OpenMsgStore(0, v[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[1].Value.bin.lpb),
                                         nullptr, 0, store_.out()),
                  S_OK);
        FreeProws(rows);
        return;
      }
      FreeProws(rows);
    }
  }

  Bytes ReceiveFolderId() {
    ULONG cb = 0;
    LPENTRYID id = nullptr;
    EXPECT_EQ(store_->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &id, nullptr), S_OK);
    Bytes out(reinterpret_cast<uint8_t*>(id), reinterpret_cast<uint8_t*>(id) + cb);
    MAPIFreeBuffer(id);
    return out;
  }

  // A binary property of an object, empty when missing.
  static Bytes BinaryProp(IMAPIProp* object, ULONG tag) {
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG n = 0;
    LPSPropValue v = nullptr;
    HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v);
    Bytes out;
    if (hr == S_OK && v[0].ulPropTag == tag) out.assign(v[0].Value.bin.lpb, v[0].Value.bin.lpb + v[0].Value.bin.cb);
    MAPIFreeBuffer(v);
    return out;
  }
  static std::u16string TextProp(IMAPIProp* object, ULONG tag) {
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG n = 0;
    LPSPropValue v = nullptr;
    HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v);
    std::u16string out = hr == S_OK && v[0].ulPropTag == tag ? v[0].Value.lpszW : u"<missing>";
    MAPIFreeBuffer(v);
    return out;
  }

  template <typename T>
  HRESULT Open(IMAPISession* s, const Bytes& id, Ref<T>& out, ULONG* type = nullptr) {
    return s->OpenEntry(static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(id.data())),
                        nullptr, 0, type, out.unk());
  }

  int64_t Deliver(std::u16string text, std::u16string folder = u"Inbox", std::u16string from = u"+49171234567") {
    SmsMessage m;
    m.text = std::move(text);
    m.folder = std::move(folder);
    m.sender = std::move(from);
    auto key = DeliverSms(MessageStore::Of(device()), m);
    EXPECT_TRUE(key.ok());
    return key.ok() ? *key : 0;
  }

  // Entry identifiers of a folder's messages, through its contents table.
  std::vector<Bytes> Contents(IMAPIFolder* folder) {
    Ref<IMAPITable> table;
    EXPECT_EQ(folder->GetContentsTable(0, table.out()), S_OK);
    SizedSPropTagArray(1, columns) = {1, {PR_ENTRYID}};
    EXPECT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
    std::vector<Bytes> ids;
    for (;;) {
      LPSRowSet rows = nullptr;
      EXPECT_EQ(table->QueryRows(10, 0, &rows), S_OK);
      const ULONG n = rows->cRows;
      for (ULONG i = 0; i < n; ++i) {
        const SBinary& b = rows->aRow[i].lpProps[0].Value.bin;
        ids.emplace_back(b.lpb, b.lpb + b.cb);
      }
      FreeProws(rows);
      if (n == 0) return ids;
    }
  }

  Ref<IMAPISession> session_;
  Ref<IMsgStore> store_;
};

TEST_F(MapiStoreTest, NewImageHasSmsStoreWithItsFolders) {
  EXPECT_EQ(TextProp(store_.p, PR_DISPLAY_NAME_W), u"SMS");
  Ref<IMAPIFolder> inbox;
  ULONG type = 0;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox, &type), S_OK);
  EXPECT_EQ(type, MAPI_FOLDER);
  EXPECT_EQ(TextProp(inbox.p, PR_DISPLAY_NAME_W), u"Inbox");
  const std::pair<ULONG, const char16_t*> special[] = {
      {PR_IPM_WASTEBASKET_ENTRYID, u"Deleted Items"},
      {PR_IPM_SENTMAIL_ENTRYID, u"Sent Items"},
      {PR_IPM_OUTBOX_ENTRYID, u"Outbox"},
  };
  for (const auto& [tag, name] : special) {
    Ref<IMAPIFolder> folder;
    ASSERT_EQ(Open(session_.p, BinaryProp(store_.p, tag), folder), S_OK);
    EXPECT_EQ(TextProp(folder.p, PR_DISPLAY_NAME_W), name);
  }
  // A folder names its store by identifier 0x3E06, and that opens the same store.
  Ref<IMsgStore> again;
  ULONG store_type = 0;
  ASSERT_EQ(Open(session_.p, BinaryProp(inbox.p, PROP_TAG(PT_BINARY, 0x3E06)), again, &store_type), S_OK);
  EXPECT_EQ(store_type, MAPI_STORE);
  EXPECT_EQ(TextProp(again.p, PR_DISPLAY_NAME_W), u"SMS");
}

TEST_F(MapiStoreTest, GetPropsReportsMissingPropertiesAsErrorValues) {
  const int64_t key = Deliver(u"Hello :)");
  (void)key;
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  auto ids = Contents(inbox.p);
  ASSERT_EQ(ids.size(), 1u);
  Ref<IMessage> message;
  ASSERT_EQ(Open(session_.p, ids[0], message), S_OK);

  const ULONG kMissing = PROP_TAG(PT_BOOLEAN, 0x8112);
  SizedSPropTagArray(4, tags) = {4, {PR_SUBJECT_W, kMissing, PR_MESSAGE_CLASS_W, PR_BODY_W}};
  ULONG n = 0;
  LPSPropValue v = nullptr;
  ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v),
            MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(n, 4u);
  EXPECT_EQ(v[0].ulPropTag, 0x0037001Fu);
  EXPECT_EQ(std::u16string(v[0].Value.lpszW), u"Hello :)");
  EXPECT_EQ(v[1].ulPropTag, 0x8112000Au);  // same identifier, type PT_ERROR
  EXPECT_EQ(v[1].Value.err, static_cast<SCODE>(0x8004010F));
  EXPECT_EQ(std::u16string(v[2].Value.lpszW), u"IPM.SMStext");
  EXPECT_EQ(v[3].ulPropTag, 0x1000000Au);
  EXPECT_EQ(MAPIFreeBuffer(v), 0u);

  // All present: plain success. Entry identifiers come back byte for byte.
  SizedSPropTagArray(2, present) = {2, {PR_ENTRYID, PR_SENDER_EMAIL_ADDRESS_W}};
  ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&present), MAPI_UNICODE, &n, &v), S_OK);
  EXPECT_EQ(Bytes(v[0].Value.bin.lpb, v[0].Value.bin.lpb + v[0].Value.bin.cb), ids[0]);
  EXPECT_EQ(std::u16string(v[1].Value.lpszW), u"+49171234567");
  MAPIFreeBuffer(v);
}

TEST_F(MapiStoreTest, SetPropsWritesThroughWithoutSaveChanges) {
  Deliver(u"first");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  const Bytes id = Contents(inbox.p).at(0);
  {
    Ref<IMessage> message;
    ASSERT_EQ(Open(session_.p, id, message), S_OK);
    SPropValue value[2] = {};
    value[0].ulPropTag = PR_MESSAGE_CLASS_W;
    value[0].Value.lpszW = const_cast<LPWSTR>(u"IPM.SMStext.Ravlo");
    value[1].ulPropTag = PROP_TAG(PT_BOOLEAN, 0x8112);
    value[1].Value.b = TRUE;
    ASSERT_EQ(message->SetProps(2, value, nullptr), S_OK);
  }
  // Another session sees it at once.
  Ref<IMAPISession> other;
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, other.out()), S_OK);
  Ref<IMessage> seen;
  ASSERT_EQ(Open(other.p, id, seen), S_OK);
  EXPECT_EQ(TextProp(seen.p, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");

  // And it survives the device: a new boot of the same image reads it from store.db.
  seen->Release(), seen.p = nullptr;
  other->Release(), other.p = nullptr;
  inbox->Release(), inbox.p = nullptr;
  store_->Release(), store_.p = nullptr;
  session_->Release(), session_.p = nullptr;
  const std::filesystem::path root = device().image().root();
  Device::Shutdown();
  auto image = DeviceImage::Open(root);
  ASSERT_TRUE(image.ok()) << image.error().message;
  Device::Boot(std::move(*image));
  ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session_.out()), S_OK);
  Ref<IMessage> after;
  ASSERT_EQ(Open(session_.p, id, after), S_OK);
  EXPECT_EQ(TextProp(after.p, PR_MESSAGE_CLASS_W), u"IPM.SMStext.Ravlo");
  SizedSPropTagArray(1, tags) = {1, {PROP_TAG(PT_BOOLEAN, 0x8112)}};
  ULONG n = 0;
  LPSPropValue v = nullptr;
  ASSERT_EQ(after->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &n, &v), S_OK);
  EXPECT_EQ(v[0].Value.b, 1);
  MAPIFreeBuffer(v);
}

TEST_F(MapiStoreTest, ValuesOfEveryTypeRoundTrip) {
  Deliver(u"x");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  Ref<IMessage> m;
  ASSERT_EQ(Open(session_.p, Contents(inbox.p).at(0), m), S_OK);
  BYTE bytes[] = {0, 1, 0xFE, 0xFF};
  GUID guid = IID_IMessage;
  SPropValue in[9] = {};
  in[0].ulPropTag = PROP_TAG(PT_I2, 0x8001); in[0].Value.i = -2;
  in[1].ulPropTag = PROP_TAG(PT_LONG, 0x8002); in[1].Value.l = -123456;
  in[2].ulPropTag = PROP_TAG(PT_BOOLEAN, 0x8003); in[2].Value.b = 7;  // any non-zero is TRUE
  in[3].ulPropTag = PROP_TAG(PT_I8, 0x8004); in[3].Value.li.QuadPart = -(int64_t{1} << 40);
  in[4].ulPropTag = PROP_TAG(PT_SYSTIME, 0x8005); in[4].Value.ft = {0x89ABCDEF, 0x01D9F00D};
  in[5].ulPropTag = PROP_TAG(PT_DOUBLE, 0x8006); in[5].Value.dbl = 2.5;
  in[6].ulPropTag = PROP_TAG(PT_UNICODE, 0x8007); in[6].Value.lpszW = const_cast<LPWSTR>(u"\u00e9\U0001F600");
  in[7].ulPropTag = PROP_TAG(PT_BINARY, 0x8008); in[7].Value.bin = {4, bytes};
  in[8].ulPropTag = PROP_TAG(PT_CLSID, 0x8009); in[8].Value.lpguid = &guid;
  ASSERT_EQ(m->SetProps(9, in, nullptr), S_OK);
  SizedSPropTagArray(9, tags) = {9, {}};
  for (int i = 0; i < 9; ++i) tags.aulPropTag[i] = in[i].ulPropTag;
  ULONG n = 0;
  LPSPropValue v = nullptr;
  ASSERT_EQ(m->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v), S_OK);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(v[i].ulPropTag, in[i].ulPropTag) << i;
  EXPECT_EQ(v[0].Value.i, -2);
  EXPECT_EQ(v[1].Value.l, -123456);
  EXPECT_EQ(v[2].Value.b, 1);
  EXPECT_EQ(v[3].Value.li.QuadPart, -(int64_t{1} << 40));
  EXPECT_EQ(v[4].Value.ft.dwLowDateTime, 0x89ABCDEFu);
  EXPECT_EQ(v[4].Value.ft.dwHighDateTime, 0x01D9F00Du);
  EXPECT_EQ(v[5].Value.dbl, 2.5);
  EXPECT_EQ(std::u16string(v[6].Value.lpszW), u"\u00e9\U0001F600");
  EXPECT_EQ(Bytes(v[7].Value.bin.lpb, v[7].Value.bin.lpb + 4), Bytes(bytes, bytes + 4));
  EXPECT_TRUE(IsEqualGUID(*v[8].Value.lpguid, IID_IMessage));
  MAPIFreeBuffer(v);
}

TEST_F(MapiStoreTest, SetPropsReportsPropertiesItCannotKeep) {
  Deliver(u"x");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  Ref<IMessage> m;
  ASSERT_EQ(Open(session_.p, Contents(inbox.p).at(0), m), S_OK);
  BYTE fake[4] = {1, 2, 3, 4};
  SPropValue in[3] = {};
  in[0].ulPropTag = PR_ENTRYID;  // the store's own
  in[0].Value.bin = {4, fake};
  in[1].ulPropTag = PROP_TAG(PT_OBJECT, 0x8010);
  in[2].ulPropTag = PR_SUBJECT_W;
  in[2].Value.lpszW = const_cast<LPWSTR>(u"kept");
  LPSPropProblemArray problems = nullptr;
  ASSERT_EQ(m->SetProps(3, in, &problems), S_OK);
  ASSERT_NE(problems, nullptr);
  ASSERT_EQ(problems->cProblem, 2u);
  EXPECT_EQ(problems->aProblem[0].ulIndex, 0u);
  EXPECT_EQ(problems->aProblem[0].scode, MAPI_E_COMPUTED);
  EXPECT_EQ(problems->aProblem[1].ulIndex, 1u);
  EXPECT_EQ(problems->aProblem[1].scode, MAPI_E_INVALID_TYPE);
  MAPIFreeBuffer(problems);
  EXPECT_EQ(TextProp(m.p, PR_SUBJECT_W), u"kept");
  EXPECT_EQ(m->SaveChanges(0), S_OK);
  EXPECT_EQ(m->SetProps(1, nullptr, nullptr), MAPI_E_INVALID_PARAMETER);
}

TEST_F(MapiStoreTest, UnknownEntryIdentifiers) {
  Deliver(u"x");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  const Bytes good = Contents(inbox.p).at(0);
  Bytes deleted_elsewhere = good;
  deleted_elsewhere[24] ^= 0x40;  // the key of a message that never existed
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes foreign = good;
  foreign[5] ^= 1;
  struct Case {
    const char* what;
    Bytes id;
    HRESULT expected;
  };
  const Case cases[] = {
      {"empty", {}, MAPI_E_INVALID_ENTRYID},
      {"truncated", truncated, MAPI_E_INVALID_ENTRYID},
      {"another provider's", foreign, MAPI_E_INVALID_ENTRYID},
      {"no such message", deleted_elsewhere, MAPI_E_NOT_FOUND},
      {"random bytes", Bytes(32, 0xA5), MAPI_E_INVALID_ENTRYID},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Ref<IUnknown> unk;
    ULONG type = 99;
    EXPECT_EQ(session_->OpenEntry(static_cast<ULONG>(c.id.size()),
                                  reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(c.id.data())), nullptr, 0,
                                  &type, unk.unk()),
              c.expected);
    EXPECT_EQ(unk.p, nullptr);
    EXPECT_EQ(store_->OpenEntry(static_cast<ULONG>(c.id.size()),
                                reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(c.id.data())), nullptr, 0,
                                &type, unk.unk()),
              c.expected);
  }
  // Asking for an interface the object lacks.
  Ref<IUnknown> table;
  EXPECT_EQ(session_->OpenEntry(static_cast<ULONG>(good.size()), reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(good.data())),
                                &IID_IMAPITable, 0, nullptr, table.unk()),
            MAPI_E_INTERFACE_NOT_SUPPORTED);
  ULONG same = 0;
  EXPECT_EQ(session_->CompareEntryIDs(static_cast<ULONG>(good.size()), reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(good.data())),
                                      static_cast<ULONG>(good.size()), reinterpret_cast<LPENTRYID>(const_cast<uint8_t*>(good.data())), 0, &same),
                        S_OK);
  EXPECT_EQ(same, 1u);
}

TEST_F(MapiStoreTest, MoveToDeletedItemsLikeTheBubbleDoes) {
  Deliver(u"keep");
  Deliver(u"bin me");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  const Bytes inbox_id = BinaryProp(inbox.p, PR_ENTRYID);
  auto ids = Contents(inbox.p);
  ASSERT_EQ(ids.size(), 2u);
  Ref<IMessage> message;
  ASSERT_EQ(Open(session_.p, ids[1], message), S_OK);
  const Bytes message_id = BinaryProp(message.p, PR_ENTRYID);

  // Folder -> its store (0x3E06) -> the store's wastebasket -> that folder.
  Ref<IMAPIFolder> folder;
  ASSERT_EQ(Open(session_.p, inbox_id, folder), S_OK);
  Ref<IMsgStore> store;
  ASSERT_EQ(Open(session_.p, BinaryProp(folder.p, PROP_TAG(PT_BINARY, 0x3E06)), store), S_OK);
  const Bytes bin_id = BinaryProp(store.p, PR_IPM_WASTEBASKET_ENTRYID);
  Ref<IMAPIFolder> deleted_items;
  ASSERT_EQ(Open(session_.p, bin_id, deleted_items), S_OK);

  SBinary entry = {static_cast<ULONG>(message_id.size()), const_cast<uint8_t*>(message_id.data())};
  ENTRYLIST list = {1, &entry};
  ASSERT_EQ(folder->CopyMessages(&list, nullptr, deleted_items.p, 0, nullptr, MESSAGE_MOVE), S_OK);
  EXPECT_EQ(Contents(inbox.p), std::vector<Bytes>{ids[0]});
  EXPECT_EQ(Contents(deleted_items.p), std::vector<Bytes>{message_id});
  // The open message follows it.
  EXPECT_EQ(BinaryProp(message.p, PR_PARENT_ENTRYID), bin_id);
  EXPECT_EQ(TextProp(message.p, PR_SUBJECT_W), u"bin me");
  // Moving it again from the Inbox fails: it is no longer there, and nothing changes.
  EXPECT_EQ(folder->CopyMessages(&list, nullptr, deleted_items.p, 0, nullptr, MESSAGE_MOVE), MAPI_E_NOT_FOUND);
  EXPECT_EQ(Contents(deleted_items.p).size(), 1u);
}

TEST_F(MapiStoreTest, CopyAndDeleteAreAllOrNothing) {
  Deliver(u"one");
  Deliver(u"two");
  Deliver(u"sent", u"Sent Items");
  Ref<IMAPIFolder> inbox, bin, sent;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  ASSERT_EQ(Open(session_.p, BinaryProp(store_.p, PR_IPM_WASTEBASKET_ENTRYID), bin), S_OK);
  ASSERT_EQ(Open(session_.p, BinaryProp(store_.p, PR_IPM_SENTMAIL_ENTRYID), sent), S_OK);
  auto in = Contents(inbox.p);
  auto out = Contents(sent.p);
  ASSERT_EQ(in.size(), 2u);
  ASSERT_EQ(out.size(), 1u);

  // Copy: new identifiers, same contents, source untouched.
  SBinary one = {static_cast<ULONG>(in[0].size()), in[0].data()};
  ENTRYLIST list1 = {1, &one};
  ASSERT_EQ(inbox->CopyMessages(&list1, nullptr, bin.p, 0, nullptr, 0), S_OK);
  auto copies = Contents(bin.p);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_NE(copies[0], in[0]);
  Ref<IMessage> copy;
  ASSERT_EQ(Open(session_.p, copies[0], copy), S_OK);
  EXPECT_EQ(TextProp(copy.p, PR_SUBJECT_W), u"one");
  EXPECT_EQ(Contents(inbox.p).size(), 2u);

  // A list naming a message of another folder deletes nothing at all.
  SBinary mixed[2] = {{static_cast<ULONG>(in[1].size()), in[1].data()}, {static_cast<ULONG>(out[0].size()), out[0].data()}};
  ENTRYLIST list2 = {2, mixed};
  EXPECT_EQ(inbox->DeleteMessages(&list2, 0, nullptr, 0), MAPI_E_NOT_FOUND);
  EXPECT_EQ(Contents(inbox.p).size(), 2u);
  EXPECT_EQ(Contents(sent.p).size(), 1u);

  // Deleted for good: an open message then reports itself deleted.
  Ref<IMessage> doomed;
  ASSERT_EQ(Open(session_.p, in[1], doomed), S_OK);
  ENTRYLIST list3 = {1, mixed};
  ASSERT_EQ(inbox->DeleteMessages(&list3, 0, nullptr, 0), S_OK);
  EXPECT_EQ(Contents(inbox.p), std::vector<Bytes>{in[0]});
  Ref<IUnknown> gone;
  EXPECT_EQ(Open(session_.p, in[1], gone), MAPI_E_NOT_FOUND);
  ULONG n = 0;
  LPSPropValue v = nullptr;
  SizedSPropTagArray(1, tags) = {1, {PR_SUBJECT_W}};
  EXPECT_EQ(doomed->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v), MAPI_E_OBJECT_DELETED);
  EXPECT_EQ(v, nullptr);
  SPropValue set = {};
  set.ulPropTag = PR_SUBJECT_W;
  set.Value.lpszW = const_cast<LPWSTR>(u"ghost");
  EXPECT_EQ(doomed->SetProps(1, &set, nullptr), MAPI_E_OBJECT_DELETED);
  // Nothing was written for the ghost.
  EXPECT_EQ(Contents(inbox.p).size(), 1u);
}

TEST_F(MapiStoreTest, ContentsTableSweepChangesEveryMessageOnce) {
  for (int i = 0; i < 25; ++i) Deliver(u"m" + std::u16string(1, static_cast<char16_t>(u'a' + i)));
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  Ref<IMAPITable> table;
  ASSERT_EQ(inbox->GetContentsTable(0, table.out()), S_OK);
  SizedSPropTagArray(3, columns) = {3, {PR_MESSAGE_CLASS_W, PR_ENTRYID, PR_SUBJECT_W}};
  ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
  int seen = 0;
  for (;;) {
    LPSRowSet rows = nullptr;
    ASSERT_EQ(table->QueryRows(1, 0, &rows), S_OK);
    if (rows->cRows == 0) {
      FreeProws(rows);
      break;
    }
    const SPropValue* v = rows->aRow[0].lpProps;
    ASSERT_EQ(rows->aRow[0].cValues, 3u);
    EXPECT_EQ(std::u16string(v[0].Value.lpszW), u"IPM.SMStext");
    EXPECT_EQ(std::u16string(v[2].Value.lpszW), u"m" + std::u16string(1, static_cast<char16_t>(u'a' + seen)));
    Ref<IMessage> m;
    ASSERT_EQ(session_->OpenEntry(v[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[1].Value.bin.lpb), nullptr, 0,
                                  nullptr, m.unk()),
              S_OK);
    SPropValue cls = {};
    cls.ulPropTag = PR_MESSAGE_CLASS_W;
    cls.Value.lpszW = const_cast<LPWSTR>(u"IPM.SMStext.Ravlo");
    ASSERT_EQ(m->SetProps(1, &cls, nullptr), S_OK);
    FreeProws(rows);
    ++seen;
  }
  EXPECT_EQ(seen, 25);
  // At the end it stays at the end.
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(5, 0, &rows), S_OK);
  EXPECT_EQ(rows->cRows, 0u);
  FreeProws(rows);
  EXPECT_EQ(MessageStore::Of(device()).CountMessages(1), 25);
}

// Rows come out as the messages are when the row is returned, even where the table had
// read them ahead: changes through other objects and deletions. Another process's writes
// show from the next time the table reads, at the latest after a seek.
TEST_F(MapiStoreTest, ContentsTableRowsShowLaterChanges) {
  std::vector<int64_t> keys;
  for (int i = 0; i < 8; ++i) keys.push_back(Deliver(u"m" + std::u16string(1, static_cast<char16_t>(u'0' + i))));
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  Ref<IMAPITable> table;
  ASSERT_EQ(inbox->GetContentsTable(0, table.out()), S_OK);
  SizedSPropTagArray(1, columns) = {1, {PR_SUBJECT_W}};
  ASSERT_EQ(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
  auto next = [&](ULONG count, ULONG flags = 0) {
    std::vector<std::u16string> out;
    LPSRowSet rows = nullptr;
    EXPECT_EQ(table->QueryRows(static_cast<LONG>(count), flags, &rows), S_OK);
    for (ULONG i = 0; rows && i < rows->cRows; ++i) out.push_back(rows->aRow[i].lpProps[0].Value.lpszW);
    FreeProws(rows);
    return out;
  };
  using Texts = std::vector<std::u16string>;
  EXPECT_EQ(next(1), Texts{u"m0"});
  MessageStore& engine = MessageStore::Of(device());
  // In this process: a subject rewritten, a message deleted, one moved away.
  const Property subject = TextProperty(PR_SUBJECT_W, u"here");
  ASSERT_TRUE(engine.WriteProperties(keys[2], std::span(&subject, 1)).ok());
  ASSERT_TRUE(engine.DeleteMessages(std::span(&keys[3], 1), 1).ok());
  EXPECT_EQ(next(1, TBL_NOADVANCE), Texts{u"m1"});
  ASSERT_TRUE(engine.MoveMessages(std::span(&keys[1], 1), 1, 4).ok());
  EXPECT_EQ(next(2), (Texts{u"here", u"m4"}));
  // Another process rewrites a message ahead of the cursor.
  {
    auto other = sql::Database::Open(device().image().store_db());
    ASSERT_TRUE(other.ok());
    sql::Use q((*other)->Prepare("UPDATE properties SET value = 'there' WHERE message = ? AND id = 0x37"));
    q->Bind(1, keys[6]);
    ASSERT_TRUE(q->Run().ok());
  }
  ASSERT_EQ(table->SeekRow(BOOKMARK_CURRENT, 0, nullptr), S_OK);
  EXPECT_EQ(next(10), (Texts{u"m5", u"there", u"m7"}));
  // A message that arrives after the end was reached is the next row.
  Deliver(u"late");
  EXPECT_EQ(next(10), Texts{u"late"});
  EXPECT_EQ(next(10), Texts{});
}

// SetProps writes all of its values or none: a write refused in the middle (here by a
// trigger another process installed) leaves the values before it unwritten too.
TEST_F(MapiStoreTest, SetPropsFailingHalfwayWritesNothing) {
  const int64_t key = Deliver(u"before");
  {
    auto other = sql::Database::Open(device().image().store_db());
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE((*other)
                    ->Exec("CREATE TRIGGER refuse BEFORE INSERT ON properties WHEN NEW.id = 0x6001"
                           " BEGIN SELECT RAISE(ABORT, 'refused'); END;")
                    .ok());
  }
  const auto entry = [&] {
    Ref<IMAPIFolder> inbox;
    EXPECT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
    return Contents(inbox.p).at(0);
  }();
  Ref<IMessage> m;
  ASSERT_EQ(Open(session_.p, entry, m), S_OK);
  SPropValue values[3] = {};
  values[0].ulPropTag = PR_SUBJECT_W;
  values[0].Value.lpszW = const_cast<LPWSTR>(u"after");
  values[1].ulPropTag = PROP_TAG(PT_LONG, 0x6001);
  values[1].Value.l = 1;
  values[2].ulPropTag = PR_MESSAGE_CLASS_W;
  values[2].Value.lpszW = const_cast<LPWSTR>(u"IPM.SMStext.Ravlo");
  const HRESULT hr = m->SetProps(3, values, nullptr);
  EXPECT_TRUE(FAILED(hr));
  EXPECT_NE(hr, MAPI_E_OBJECT_DELETED);  // the message is still there
  EXPECT_EQ(TextProp(m.p, PR_SUBJECT_W), u"before");
  EXPECT_EQ(TextProp(m.p, PR_MESSAGE_CLASS_W), u"IPM.SMStext");
  auto stored = MessageStore::Of(device()).ReadProperty(key, PROP_TAG(PT_LONG, 0x6001));
  ASSERT_TRUE(stored.ok());
  EXPECT_FALSE(stored->has_value());
  // Without the refused value the same write goes through.
  EXPECT_EQ(m->SetProps(1, values, nullptr), S_OK);
  EXPECT_EQ(TextProp(m.p, PR_SUBJECT_W), u"after");
}

TEST_F(MapiStoreTest, TablePositionAndSeeking) {
  for (int i = 0; i < 6; ++i) Deliver(u"row");
  Ref<IMAPIFolder> inbox;
  ASSERT_EQ(Open(session_.p, ReceiveFolderId(), inbox), S_OK);
  Ref<IMAPITable> table;
  ASSERT_EQ(inbox->GetContentsTable(0, table.out()), S_OK);
  ULONG count = 0;
  ASSERT_EQ(table->GetRowCount(0, &count), S_OK);
  EXPECT_EQ(count, 6u);
  struct Step {
    BOOKMARK origin;
    LONG move;
    LONG sought;
    ULONG position;
  };
  const Step steps[] = {
      {BOOKMARK_BEGINNING, 2, 2, 2}, {BOOKMARK_CURRENT, 3, 3, 5}, {BOOKMARK_CURRENT, 4, 1, 6},
      {BOOKMARK_END, -1, -1, 5},     {BOOKMARK_CURRENT, -9, -5, 0}, {BOOKMARK_END, 0, 0, 6},
  };
  for (const Step& s : steps) {
    LONG sought = 0;
    ASSERT_EQ(table->SeekRow(s.origin, s.move, &sought), S_OK);
    EXPECT_EQ(sought, s.sought);
    ULONG row = 0, num = 0, den = 0;
    ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
    EXPECT_EQ(row, s.position);
  }
  ASSERT_EQ(table->SeekRow(BOOKMARK_BEGINNING, 4, nullptr), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(table->QueryRows(10, TBL_NOADVANCE, &rows), S_OK);
  EXPECT_EQ(rows->cRows, 2u);
  FreeProws(rows);
  ULONG row = 0, num = 0, den = 0;
  ASSERT_EQ(table->QueryPosition(&row, &num, &den), S_OK);
  EXPECT_EQ(row, 4u);  // not advanced
  EXPECT_EQ(table->SeekRow(7, 0, nullptr), MAPI_E_INVALID_BOOKMARK);
}

TEST_F(MapiStoreTest, RecipientTableRows) {
  SmsMessage m;
  m.folder = u"Sent Items";
  m.text = u"to two";
  m.to = {u"+491701", u"+491702"};
  ASSERT_TRUE(DeliverSms(MessageStore::Of(device()), m).ok());
  Ref<IMAPIFolder> sent;
  ASSERT_EQ(Open(session_.p, BinaryProp(store_.p, PR_IPM_SENTMAIL_ENTRYID), sent), S_OK);
  Ref<IMessage> message;
  ASSERT_EQ(Open(session_.p, Contents(sent.p).at(0), message), S_OK);
  Ref<IMAPITable> recipients;
  ASSERT_EQ(message->GetRecipientTable(0, recipients.out()), S_OK);
  SizedSPropTagArray(1, columns) = {1, {PR_EMAIL_ADDRESS_W}};
  ASSERT_EQ(recipients->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(recipients->QueryRows(10, 0, &rows), S_OK);
  ASSERT_EQ(rows->cRows, 2u);
  EXPECT_EQ(std::u16string(rows->aRow[0].lpProps[0].Value.lpszW), u"+491701");
  EXPECT_EQ(std::u16string(rows->aRow[1].lpProps[0].Value.lpszW), u"+491702");
  FreeProws(rows);
  SizedSPropTagArray(1, flags) = {1, {PR_MESSAGE_FLAGS}};
  ULONG n = 0;
  LPSPropValue v = nullptr;
  ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&flags), 0, &n, &v), S_OK);
  EXPECT_EQ(v[0].Value.l & MSGFLAG_FROMME, static_cast<LONG>(MSGFLAG_FROMME));
  MAPIFreeBuffer(v);
}

TEST(MapiMemory, FreeBufferIsRobust) {
  void* root = nullptr;
  ASSERT_EQ(MAPIAllocateBuffer(16, &root), S_OK);
  void* more = nullptr;
  ASSERT_EQ(MAPIAllocateMore(100, root, &more), S_OK);
  void* more2 = nullptr;
  ASSERT_EQ(MAPIAllocateMore(8, more, &more2), S_OK);  // a chained block stands for its root
  int local = 0;
  EXPECT_EQ(MAPIFreeBuffer(&local), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));
  EXPECT_EQ(MAPIFreeBuffer(more), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));  // only roots
  EXPECT_EQ(MAPIFreeBuffer(root), 0u);   // frees the chain too (the sanitiser build checks)
  EXPECT_EQ(MAPIFreeBuffer(root), static_cast<ULONG>(MAPI_E_INVALID_PARAMETER));  // twice
  EXPECT_EQ(MAPIFreeBuffer(nullptr), 0u);
  FreeProws(nullptr);
  void* none = &local;
  EXPECT_EQ(MAPIAllocateMore(4, &local, &none), MAPI_E_INVALID_PARAMETER);
  EXPECT_EQ(none, nullptr);
}

TEST(MapiLogon, FailsWithoutDevice) {
  LPMAPISESSION s = reinterpret_cast<LPMAPISESSION>(1);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &s), MAPI_E_LOGON_FAILED);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, nullptr), MAPI_E_INVALID_PARAMETER);
}

}  // namespace
}  // namespace pellix::device::store
