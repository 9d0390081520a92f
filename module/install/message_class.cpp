#include "install/message_class.h"

#include <cemapi.h>

#include "platform/message_store.h"

namespace {

// The "SMS" store, found by reading the stores table one row at a time. Null when no row
// matches or a step fails.
LPMDB FindSmsStore(LPMAPISESSION session) {
  LPMAPITABLE table = nullptr;
  if (FAILED(session->GetMsgStoresTable(0, &table)) || !table) return nullptr;
  LPMDB store = nullptr;
  SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
  if (SUCCEEDED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) {
    for (;;) {
      LPSRowSet rows = nullptr;
      if (FAILED(table->QueryRows(1, 0, &rows)) || !rows || rows->cRows == 0) {
        FreeProws(rows);
        break;
      }
      const SRow& row = rows->aRow[0];
      const BOOL named = row.cValues >= 2 && row.lpProps[0].ulPropTag == PR_DISPLAY_NAME_W &&
                         row.lpProps[1].ulPropTag == PR_ENTRYID &&
                         wcscmp(row.lpProps[0].Value.lpszW, SMS_STORE_NAME) == 0;
      if (named) {
        const SBinary& id = row.lpProps[1].Value.bin;
        if (FAILED(session->OpenMsgStore(0, id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, 0,
                                         &store)))
          store = nullptr;
        FreeProws(rows);
        break;
      }
      FreeProws(rows);
    }
  }
  table->Release();
  return store;
}

// The class a message of class `current` gets, or null when the direction leaves it alone.
LPCWSTR NewClass(LPCWSTR current, int direction) {
  if (direction == CONVERT_TO_OWN_CLASS)
    return _wcsicmp(current, SMS_MESSAGE_CLASS) == 0 ? RAVLO_MESSAGE_CLASS : nullptr;
  if (direction == CONVERT_TO_SMS_CLASS)
    return _wcsicmp(current, RAVLO_MESSAGE_CLASS) == 0 ? SMS_MESSAGE_CLASS : nullptr;
  return nullptr;
}

}  // namespace

HRESULT ConvertAllMessages(int direction) {
  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;
  LPMAPIFOLDER folder = nullptr;
  LPMAPITABLE contents = nullptr;
  LPSRowSet rows = nullptr;
  LPENTRYID inboxId = nullptr;
  ULONG cbInboxId = 0;

  HRESULT hr = MAPILogonEx(0, nullptr, nullptr, 0, &session);
  if (SUCCEEDED(hr)) {
    store = FindSmsStore(session);
    if (!store) {
      // No SMS store is not an installation failure: there is nothing to convert.
      session->Logoff(0, 0, 0);
      session->Release();
      return 1;
    }
    hr = store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInboxId, &inboxId, nullptr);
    if (SUCCEEDED(hr))
      hr = store->OpenEntry(cbInboxId, inboxId, nullptr, 0, nullptr, reinterpret_cast<LPUNKNOWN*>(&folder));
    if (SUCCEEDED(hr)) hr = folder->GetContentsTable(0, &contents);
    if (SUCCEEDED(hr)) {
      SizedSPropTagArray(3, columns) = {3, {PR_MESSAGE_CLASS_W, PR_ENTRYID, PR_SUBJECT_W}};
      hr = contents->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
    }
    while (SUCCEEDED(hr)) {
      hr = contents->QueryRows(1, 0, &rows);
      if (FAILED(hr)) break;
      if (!rows || rows->cRows == 0) {
        hr = S_OK;
        break;
      }
      const SRow& row = rows->aRow[0];
      LPCWSTR to = nullptr;
      if (row.cValues >= 2 && row.lpProps[0].ulPropTag == PR_MESSAGE_CLASS_W &&
          row.lpProps[1].ulPropTag == PR_ENTRYID)
        to = NewClass(row.lpProps[0].Value.lpszW, direction);
      if (to) {
        const SBinary& id = row.lpProps[1].Value.bin;
        LPMESSAGE message = nullptr;
        if (SUCCEEDED(session->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, 0, nullptr,
                                         reinterpret_cast<LPUNKNOWN*>(&message))) &&
            message) {
          SetStringProp(message, PR_MESSAGE_CLASS_W, to);
          message->Release();
        }
      }
      FreeProws(rows);
      rows = nullptr;
    }
  }

  FreeProws(rows);
  MAPIFreeBuffer(inboxId);
  if (session) {
    session->Logoff(0, 0, 0);
    session->Release();
  }
  if (FAILED(hr))
    MessageBoxW(nullptr,
                TEXT("Failed registeringunregistering program.Make sure inbox is not open or another "
                     "program is not using it."),
                TEXT("Error"), MB_OK);
  if (contents) contents->Release();
  if (folder) folder->Release();
  if (store) store->Release();
  return hr;
}

extern "C" DLLEXPORT HRESULT MakeAllRavloSMSClass() { return ConvertAllMessages(CONVERT_TO_OWN_CLASS); }
