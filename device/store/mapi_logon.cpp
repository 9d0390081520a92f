// cemapi: logon and the compose form.
#include <cemapi.h>

#include "kernel/device.h"
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

// The compose form itself belongs to the Inbox; until it is there, the request is journalled
// so that callers can be checked.
HRESULT MailComposeMessage(MAILCOMPOSEFIELDS* pmcf) {
  if (pmcf == nullptr) return E_INVALIDARG;
  if (pmcf->cbSize != MAILCOMPOSEFIELDS_SIZE && pmcf->cbSize != sizeof(MAILCOMPOSEFIELDS))
    return E_INVALIDARG;
  Device* device = Device::Current();
  if (device == nullptr) return E_FAIL;
  auto text = [](LPCWSTR s) { return s ? pellix::device::Utf16ToUtf8(s) : std::string(); };
  device->journal().Append(pellix::device::journal_kind::kCompose,
                           "account=" + text(pmcf->pszAccount) + "; to=" + text(pmcf->pszTo) +
                               "; subject=" + text(pmcf->pszSubject) + "; body=" + text(pmcf->pszBody));
  return S_OK;
}
