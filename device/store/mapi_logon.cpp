// cemapi: logon and the compose form.
#include <cemapi.h>

#include "kernel/device.h"
#include "inbox/compose_frame.h"
#include "kernel/device_image.h"
#include "store/mapi_objects.h"

using pellix::device::Device;
using pellix::device::store::MessageStore;

HRESULT MAPIInitialize(LPVOID) { return S_OK; }

void MAPIUninitialize() {}

HRESULT MAPILogonEx(ULONG_PTR, LPWSTR, LPWSTR, FLAGS, LPMAPISESSION* lppSession) {
  if (lppSession == nullptr) return MAPI_E_INVALID_PARAMETER;
  *lppSession = nullptr;
  Device* device = Device::Current();
  if (device == nullptr) return MAPI_E_LOGON_FAILED;
  MessageStore& store = MessageStore::Of(*device);
  if (!store.status()) return MAPI_E_LOGON_FAILED;
  *lppSession = new pellix::device::store::SessionObject(store);
  return S_OK;
}

// Opens the compose form of the request's kind on the screen: a text message when the account
// is "SMS" (or no account is named and the flags do not ask for e-mail), else an e-mail.
HRESULT MailComposeMessage(MAILCOMPOSEFIELDS* pmcf) {
  if (pmcf == nullptr) return E_INVALIDARG;
  if (pmcf->cbSize != MAILCOMPOSEFIELDS_SIZE && pmcf->cbSize != sizeof(MAILCOMPOSEFIELDS))
    return E_INVALIDARG;
  if (Device::Current() == nullptr) return E_FAIL;
  auto text = [](LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); };
  pellix::device::inbox::ComposeRequest request;
  request.account = text(pmcf->pszAccount);
  request.to = text(pmcf->pszTo);
  request.subject = text(pmcf->pszSubject);
  request.body = text(pmcf->pszBody);
  std::u16string folded = request.account;
  for (char16_t& c : folded)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  const bool sms_account = folded == u"sms";
  request.email = request.account.empty() ? (pmcf->dwFlags & 4) != 0 : !sms_account;
  return pellix::device::inbox::OpenComposeForm(request);
}