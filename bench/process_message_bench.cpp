// The rule client's work on one incoming ordinary message, store included: settings, the
// keep-awake thread and unattended mode, three reads, the class change, the notification mark,
// the HTML page and SaveChanges. The bubble is off (ShowMyBubble 0), so no thread is waited for.
#include <benchmark/benchmark.h>
#include <cemapi.h>

#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "kernel/device.h"
#include "platform/message_store.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "rule/process_message.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

void SetDword(LPCWSTR path, LPCWSTR name, DWORD value) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  if (name) RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  RegCloseKey(key);
}

void BM_ProcessMessage(benchmark::State& state) {
  pellix::testing::TempDir dir;
  Profile profile;
  // Each call leaves a keep-awake thread that notices within a device second that it may end;
  // a fast clock lets those threads go at once instead of piling up over the run.
  profile.clock_speed = 1000;
  auto image = DeviceImage::Create(dir.path() / "image", profile);
  if (!image) std::abort();
  Device::Boot(std::move(*image));
  SetDword(PELLIX_SETTINGS_KEY, TEXT("ShowMyBubble"), 0);
  SetDword(RAVLO_MSGTYPE_KEY, nullptr, 0);
  // As after the rule client's initialisation.
  GetSettings();
  LoadSmileyTable();
  LoadTemplates();

  store::SmsMessage m;
  m.sender = u"+49171234567";
  m.text = u"See you at 8 at the station :-) call +49171234567 or www.example.org";
  auto key = store::DeliverSms(store::MessageStore::Of(Device::Get()), m);
  if (!key) std::abort();
  auto id = store::MakeEntryId(store::EntryKind::kMessage, *key);

  LPMAPISESSION session = nullptr;
  LPMDB mdb = nullptr;
  ULONG cbInbox = 0;
  LPENTRYID inbox = nullptr;
  if (MAPILogonEx(0, nullptr, nullptr, 0, &session) != S_OK ||
      OpenStoreByName(session, SMS_STORE_NAME, &mdb) != S_OK ||
      mdb->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox, &inbox, nullptr) != S_OK)
    std::abort();

  for (auto _ : state) {
    ULONG event = 0;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    HRESULT hr = ProcessMessage(mdb, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                cbInbox, inbox, &event, &handled);
    if (hr != S_OK || handled != MRC_HANDLED_CONTINUE) state.SkipWithError("not handled");
  }

  MAPIFreeBuffer(inbox);
  mdb->Release();
  session->Logoff(0, 0, 0);
  session->Release();
  FreeTemplates();
  FreeSmileyTable();
  Device::Shutdown();
}
BENCHMARK(BM_ProcessMessage)->Unit(benchmark::kMicrosecond);

}  // namespace
