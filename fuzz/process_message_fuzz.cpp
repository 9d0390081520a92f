// Incoming message processing on arbitrary messages: class, text and sender of any length and
// content, with the settings that choose its path. Input: one byte of settings (bit 0
// ShowMyBubble, 1 DeliveryFix, 2 NewNotifyPicSmiley, 3 OriginalNotification, 4 the module's
// message type registered), then UTF-16 units (odd byte dropped): class, text and sender,
// separated by U+0000. A missing sender leaves the message without one.
#include <cemapi.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "bubble/bubble_thread.h"
#include "contacts/contact_store.h"
#include "core/settings.h"
#include "kernel/device.h"
#include "platform/message_store.h"
#include "rule/process_message.h"
#include "store/entry_id.h"
#include "store/message_store.h"
#include "store/sms_delivery.h"
#include "testing/temp_image.h"

namespace {

using namespace pellix::device;

void SetDword(LPCWSTR name, DWORD value) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  RegCloseKey(key);
}

struct Session {
  pellix::testing::TempDir dir;
  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;
  ULONG cbInbox = 0;
  LPENTRYID inbox = nullptr;

  Session() {
    Profile profile;
    profile.clock_speed = 1000;  // keep-awake threads end at once
    auto image = DeviceImage::Create(dir.path() / "image", profile);
    if (!image) std::abort();
    Device::Boot(std::move(*image));
    contacts::Contact anna;
    anna.fields[contacts::Field::kFileAs] = u"Anna Berg";
    anna.fields[contacts::Field::kMobilePhone] = u"+4915112345";
    if (!contacts::ContactStore::Of(Device::Get()).Save(anna).ok()) std::abort();
    if (MAPILogonEx(0, nullptr, nullptr, 0, &session) != S_OK ||
        OpenStoreByName(session, SMS_STORE_NAME, &store) != S_OK ||
        store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox, &inbox, nullptr) != S_OK)
      std::abort();
  }
  ~Session() {
    ShutdownBubbleThread();
    MAPIFreeBuffer(inbox);
    store->Release();
    session->Logoff(0, 0, 0);
    session->Release();
    Device::Shutdown();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Session s;
  static int processed = 0;
  if (size < 1) return 0;
  const uint8_t bits = data[0];
  SetDword(TEXT("ShowMyBubble"), bits & 1);
  SetDword(TEXT("DeliveryFix"), (bits >> 1) & 1);
  SetDword(TEXT("NewNotifyPicSmiley"), (bits >> 2) & 1);
  SetDword(TEXT("OriginalNotification"), (bits >> 3) & 1);
  if (bits & 16) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, RAVLO_MSGTYPE_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegCloseKey(key);
  } else {
    RegDeleteKeyW(HKEY_CURRENT_USER, RAVLO_MSGTYPE_KEY);
  }

  std::u16string parts[3];
  int part = 0;
  for (size_t i = 1; i + 1 < size; i += 2) {
    const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == 0) {
      if (++part == 3) break;
    } else {
      parts[part] += unit;
    }
  }
  store::SmsMessage m;
  m.message_class = parts[0];
  m.text = parts[1];
  m.sender = parts[2];
  auto& engine = store::MessageStore::Of(Device::Get());
  auto key = store::DeliverSms(engine, m);
  if (!key) return 0;
  auto id = store::MakeEntryId(store::EntryKind::kMessage, *key);
  ULONG event = 0;
  MRCHANDLED handled = MRC_NOT_HANDLED;
  ProcessMessage(s.store, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()), s.cbInbox,
                 s.inbox, &event, &handled);
  // Records stay listed until the bubble thread ends: end it now and then.
  if (++processed % 64 == 0) ShutdownBubbleThread();
  return 0;
}
