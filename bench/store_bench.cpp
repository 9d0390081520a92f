// Message store speed: the per-message work of the rule client, a class sweep over a whole
// folder through its contents table, and the module's own conversion, which makes the same
// sweep (the sweep alone is its baseline, measured in the same run).
#include <benchmark/benchmark.h>
#include <cemapi.h>

#include <string>

#include "install/message_class.h"
#include "kernel/device.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

// A booted device on a fresh image, with `count` SMS in the Inbox.
struct Fixture {
  pellix::testing::TempDir dir;
  explicit Fixture(int count) {
    auto image = DeviceImage::Create(dir.path() / "image", Profile{});
    if (!image) std::abort();
    Device::Boot(std::move(*image));
    auto& store = store::MessageStore::Of(Device::Get());
    for (int i = 0; i < count; ++i) {
      store::SmsMessage m;
      m.sender = u"+49171234567";
      m.text = u"Message number " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) + u" :-)";
      if (!store::DeliverSms(store, m)) std::abort();
    }
  }
  ~Fixture() { Device::Shutdown(); }
};

LPMDB OpenSmsStore(LPMAPISESSION session) {
  auto& engine = store::MessageStore::Of(Device::Get());
  LPMDB mdb = nullptr;
  for (const auto& s : engine.Stores()) {
    if (s.name != u"SMS") continue;
    LPMAPITABLE table = nullptr;
    session->GetMsgStoresTable(0, &table);
    LPSRowSet rows = nullptr;
    table->QueryRows(1, 0, &rows);
    const SBinary& id = rows->aRow[0].lpProps[1].Value.bin;
    session->OpenMsgStore(0, id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, 0, &mdb);
    FreeProws(rows);
    table->Release();
  }
  return mdb;
}

// Three one-tag reads, two one-value writes and SaveChanges on an opened message, as the
// rule client does for each incoming SMS (open and release included).
void BM_ProcessMessageStoreWork(benchmark::State& state) {
  Fixture fixture(1);
  LPMAPISESSION session = nullptr;
  MAPILogonEx(0, nullptr, nullptr, 0, &session);
  LPMDB mdb = OpenSmsStore(session);
  LPMAPIFOLDER inbox = nullptr;
  {
    ULONG cb = 0;
    LPENTRYID id = nullptr;
    mdb->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &id, nullptr);
    mdb->OpenEntry(cb, id, nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&inbox));
    MAPIFreeBuffer(id);
  }
  LPMAPITABLE table = nullptr;
  inbox->GetContentsTable(0, &table);
  LPSRowSet rows = nullptr;
  table->QueryRows(1, 0, &rows);
  const SBinary entry = rows->aRow[0].lpProps[0].Value.bin;

  const ULONG reads[3] = {PR_SUBJECT_W, PR_MESSAGE_CLASS_W, PR_SENDER_EMAIL_ADDRESS_W};
  bool flip = false;
  for (auto _ : state) {
    LPMESSAGE message = nullptr;
    mdb->OpenEntry(entry.cb, reinterpret_cast<LPENTRYID>(entry.lpb), nullptr, 0, nullptr,
                   reinterpret_cast<LPUNKNOWN*>(&message));
    for (ULONG tag : reads) {
      SizedSPropTagArray(1, tags) = {1, {tag}};
      ULONG n = 0;
      LPSPropValue v = nullptr;
      message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &n, &v);
      benchmark::DoNotOptimize(v);
      MAPIFreeBuffer(v);
    }
    SPropValue cls = {};
    cls.ulPropTag = PR_MESSAGE_CLASS_W;
    cls.Value.lpszW = const_cast<LPWSTR>(flip ? u"IPM.SMStext" : u"IPM.SMStext.Ravlo");
    flip = !flip;
    message->SetProps(1, &cls, nullptr);
    SPropValue quiet = {};
    quiet.ulPropTag = PROP_TAG(PT_BOOLEAN, 0x8112);
    quiet.Value.b = TRUE;
    message->SetProps(1, &quiet, nullptr);
    message->SaveChanges(0);
    message->Release();
  }
  FreeProws(rows);
  table->Release();
  inbox->Release();
  mdb->Release();
  session->Logoff(0, 0, 0);
  session->Release();
}
BENCHMARK(BM_ProcessMessageStoreWork)->Unit(benchmark::kMicrosecond);

// The class conversion sweep: contents table read one row at a time, each message opened
// through the session and its class set. Alternates direction so every pass changes all.
void BM_ClassSweep(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Fixture fixture(count);
  LPMAPISESSION session = nullptr;
  MAPILogonEx(0, nullptr, nullptr, 0, &session);
  LPMDB mdb = OpenSmsStore(session);
  ULONG cb = 0;
  LPENTRYID inbox_id = nullptr;
  mdb->GetReceiveFolder(nullptr, MAPI_UNICODE, &cb, &inbox_id, nullptr);
  bool to_own = true;
  for (auto _ : state) {
    LPMAPIFOLDER inbox = nullptr;
    mdb->OpenEntry(cb, inbox_id, nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&inbox));
    LPMAPITABLE table = nullptr;
    inbox->GetContentsTable(0, &table);
    SizedSPropTagArray(3, columns) = {3, {PR_MESSAGE_CLASS_W, PR_ENTRYID, PR_SUBJECT_W}};
    table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
    const std::u16string from = to_own ? u"IPM.SMStext" : u"IPM.SMStext.Ravlo";
    LPWSTR to = const_cast<LPWSTR>(to_own ? u"IPM.SMStext.Ravlo" : u"IPM.SMStext");
    int changed = 0;
    for (;;) {
      LPSRowSet rows = nullptr;
      if (table->QueryRows(1, 0, &rows) != S_OK) break;
      if (rows->cRows == 0) {
        FreeProws(rows);
        break;
      }
      const SPropValue* v = rows->aRow[0].lpProps;
      if (v[0].ulPropTag == PR_MESSAGE_CLASS_W && from == v[0].Value.lpszW) {
        LPMESSAGE m = nullptr;
        if (session->OpenEntry(v[1].Value.bin.cb, reinterpret_cast<LPENTRYID>(v[1].Value.bin.lpb), nullptr, 0,
                               nullptr, reinterpret_cast<LPUNKNOWN*>(&m)) == S_OK) {
          SPropValue cls = {};
          cls.ulPropTag = PR_MESSAGE_CLASS_W;
          cls.Value.lpszW = to;
          m->SetProps(1, &cls, nullptr);
          m->Release();
          ++changed;
        }
      }
      FreeProws(rows);
    }
    if (changed != count) state.SkipWithError("sweep missed messages");
    to_own = !to_own;
    table->Release();
    inbox->Release();
  }
  state.SetItemsProcessed(state.iterations() * count);
  MAPIFreeBuffer(inbox_id);
  mdb->Release();
  session->Release();
}
BENCHMARK(BM_ClassSweep)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

// The module's conversion of every stored SMS, alternating direction so every pass changes all.
void BM_ConvertAllMessages(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Fixture fixture(count);
  int direction = CONVERT_TO_OWN_CLASS;
  for (auto _ : state) {
    if (ConvertAllMessages(direction) != S_OK) state.SkipWithError("conversion failed");
    direction = direction == CONVERT_TO_OWN_CLASS ? CONVERT_TO_SMS_CLASS : CONVERT_TO_OWN_CLASS;
  }
  state.SetItemsProcessed(state.iterations() * count);
  state.SetComplexityN(count);
}
BENCHMARK(BM_ConvertAllMessages)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
