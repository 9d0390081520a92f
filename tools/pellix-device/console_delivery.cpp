#include "console_delivery.h"

#include <windows.h>

#include <chrono>

#include "deliver_command.h"
#include "inbox/inbox.h"
#include "install/registration.h"
#include "kernel/device.h"
#include "message_print.h"
#include "store/entry_id.h"

namespace pellix::tool {
namespace {

// Long enough for a burst whose first message loads the skin on a slow machine.
constexpr std::chrono::seconds kProcessingLimit{60};

bool HasDword(HKEY root, const WCHAR* path, const WCHAR* name, DWORD wanted) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, 0, &key) != ERROR_SUCCESS) return false;
  DWORD type = 0, value = 0, size = sizeof(value);
  const bool found = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                         ERROR_SUCCESS &&
                     type == REG_DWORD && value == wanted;
  RegCloseKey(key);
  return found;
}

bool HasKey(HKEY root, const WCHAR* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, 0, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

}  // namespace

// Pellix counts as installed when the Inbox would create its rule client: the rule is listed
// and its class names a module. A person who only wants the registration's other parts back
// runs `install`; the console needs the rule client for its bubbles.
device::Result<bool> EnsurePellixInstalled() {
  if (HasDword(HKEY_LOCAL_MACHINE, SMS_RULES_KEY, PELLIX_RULE_CLSID_TEXT, 1) &&
      HasKey(HKEY_CLASSES_ROOT, PELLIX_CLASS_KEY TEXT("\\InprocServer32")))
    return false;
  HMODULE module = LoadLibraryW(PELLIX_MODULE_NAME);
  if (!module) return device::Fail("the device cannot load " + device::Utf16ToUtf8(PELLIX_MODULE_NAME));
  auto* reg = reinterpret_cast<HRESULT (*)()>(GetProcAddressW(module, u"DllRegisterServer"));
  const HRESULT hr = reg ? reg() : E_FAIL;
  FreeLibrary(module);
  if (hr != S_OK || !HasDword(HKEY_LOCAL_MACHINE, SMS_RULES_KEY, PELLIX_RULE_CLSID_TEXT, 1))
    return device::Fail("Pellix could not be installed in the image (can it be written?)");
  return true;
}

device::Result<std::vector<DeliveredSms>> DeliverIncomingSms(const IncomingSms& sms) {
  static const char16_t* const kClasses[] = {u"IPM.SMStext", u"IPM.SMStext.REPORT.DR", u"IPM.SMStext.REPORT.NDR"};
  device::store::SmsMessage message;
  message.sender = device::Utf8ToUtf16(sms.from);
  message.text = device::Utf8ToUtf16(sms.text);
  message.message_class = kClasses[sms.report >= 0 && sms.report <= 2 ? sms.report : 0];
  auto& inbox = device::inbox::Inbox::Of(device::Device::Get());
  // The whole burst is stored before the Inbox is waited for, so its messages queue behind one
  // another as they do when a phone receives several at once.
  std::vector<int64_t> keys;
  for (int i = 0; i < sms.count; ++i) {
    auto key = inbox.Deliver(message);
    if (!key) return key.error();
    keys.push_back(*key);
  }
  if (!inbox.WaitUntilIdle(kProcessingLimit)) return device::Fail("the Inbox did not finish the messages");
  std::vector<DeliveredSms> delivered;
  for (int64_t key : keys) {
    DeliveredSms d;
    d.entry_id = Hex(device::store::MakeEntryId(device::store::EntryKind::kMessage, key));
    if (auto arrival = inbox.Outcome(key)) d.outcomes = DescribeOutcomes(*arrival);
    delivered.push_back(std::move(d));
  }
  return delivered;
}

}  // namespace pellix::tool
