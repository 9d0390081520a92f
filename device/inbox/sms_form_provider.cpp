// smsforms.dll: FormFactoryEx, the provider, and what the two forms share.
#include <cstdio>

#include "contacts/contact_store.h"
#include "inbox/sms_forms.h"
#include "kernel/device.h"
#include "kernel/module_loader.h"

namespace pellix::device::inbox {

HRESULT SmsFormFactoryEx(LPCWSTR message_class, IInboxFormProvider** provider) {
  if (message_class == nullptr || provider == nullptr) return E_INVALIDARG;
  *provider = com::MakeComObject<SmsFormProvider>(std::u16string(message_class));
  return S_OK;
}

void* SmsFormProvider::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IInboxFormProvider) ? static_cast<IInboxFormProvider*>(this) : nullptr;
}

STDMETHODIMP SmsFormProvider::QueryFlag(ULONG_PTR, ULONG_PTR, ULONG_PTR, DWORD flags, ULONG_PTR, ULONG_PTR,
                                        ULONG_PTR, BOOL* result) {
  if (result == nullptr) return E_FAIL;
  *result = (flags & IFQF_READFORM) ? TRUE : FALSE;
  return S_OK;
}

STDMETHODIMP SmsFormProvider::CreateReadForm(IInboxFormHost* host, IMessage* message, HWND frame, HWND* window,
                                             IInboxMessageForm** form) {
  if (message == nullptr || form == nullptr) return E_FAIL;
  *form = nullptr;
  auto* read = com::MakeComObject<SmsReadForm>(host, message);
  INBOXFORMCREATE create{};
  create.dwFlags = IFCF_CHILD | IFCF_FILL;
  HRESULT hr = read->CreateFormWindow(this, frame, window, &create);
  if (FAILED(hr)) {
    read->Release();
    return hr;
  }
  *form = read;
  return S_OK;
}

STDMETHODIMP SmsFormProvider::CreateComposeForm(IInboxFormHost* host, IMessage* message, ULONG compose_type,
                                                IMessage* original, DWORD, HWND frame, HWND* window,
                                                IInboxMessageForm** form) {
  if (message == nullptr || form == nullptr) return E_FAIL;
  *form = nullptr;
  auto* compose = com::MakeComObject<SmsComposeForm>(host, message, compose_type, original);
  INBOXFORMCREATE create{};
  create.dwFlags = IFCF_CHILD | IFCF_FILL;
  HRESULT hr = compose->CreateFormWindow(this, frame, window, &create);
  if (FAILED(hr)) {
    compose->Release();
    return hr;
  }
  *form = compose;
  return S_OK;
}

std::u16string ContactNameFor(std::u16string_view number) {
  Device* device = Device::Current();
  if (device == nullptr || number.empty()) return {};
  contacts::ContactStore& store = contacts::ContactStore::Of(*device);
  if (!store.status()) return {};
  auto match = store.FindByNumber(number);
  if (!match) return {};
  auto contact = store.Load(match->oid);
  return contact ? contact->DisplayName() : std::u16string();
}

std::u16string FormatMessageTime(uint64_t filetime) {
  constexpr uint64_t kTicksPerSecond = 10000000;
  constexpr int64_t kEpochDelta = 11644473600;
  const int64_t seconds = static_cast<int64_t>(filetime / kTicksPerSecond) - kEpochDelta;
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  const int64_t rest = seconds - days * 86400;
  // Civil date from days since 1970-01-01.
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
  char text[48];
  std::snprintf(text, sizeof text, "%02u.%02u.%04lld %02d:%02d", day, month, static_cast<long long>(year),
                static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60));
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string ReadText(IMessage* message, ULONG tag) {
  if (message == nullptr) return {};
  SizedSPropTagArray(1, tags) = {1, {tag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  std::u16string text;
  if (SUCCEEDED(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values)) &&
      values && count == 1 && PROP_TYPE(values[0].ulPropTag) == PT_UNICODE && values[0].Value.lpszW)
    text = values[0].Value.lpszW;
  MAPIFreeBuffer(values);
  return text;
}

namespace {

extern "C" HRESULT SmsFormsFormFactoryEx(LPCWSTR message_class, IInboxFormProvider** provider) {
  return SmsFormFactoryEx(message_class, provider);
}

// Every image has the library; new images name it for "IPM.SMStext" (device_image.cpp).
const bool kRegistered = RegisterBuiltinLibrary(
    u"smsforms.dll", {.exports = {{"FormFactoryEx", 0, reinterpret_cast<void*>(&SmsFormsFormFactoryEx)}}});

}  // namespace

}  // namespace pellix::device::inbox
