#include "platform/message_store.h"

HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value) {
  *value = nullptr;
  SizedSPropTagArray(1, tags) = {1, {tag}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count,
                                &values);
  if (FAILED(hr)) {
    // A store that fails may still have handed out an array.
    MAPIFreeBuffer(values);
    return hr;
  }
  if (count == 0) {
    MAPIFreeBuffer(values);
    values = nullptr;
  }
  *value = values;
  return hr;
}

BOOL IsErrorProp(const SPropValue* value) {
  return value == nullptr || PROP_TYPE(value->ulPropTag) == PT_ERROR;
}

HRESULT SetStringProp(LPMAPIPROP object, ULONG tag, LPCWSTR text) {
  SPropValue value = {};
  value.ulPropTag = tag;
  value.Value.lpszW = const_cast<LPWSTR>(text);
  return object->SetProps(1, &value, nullptr);
}

HRESULT SetBoolProp(LPMAPIPROP object, ULONG tag, BOOL flag) {
  SPropValue value = {};
  value.ulPropTag = tag;
  value.Value.b = flag ? 1 : 0;
  return object->SetProps(1, &value, nullptr);
}

HRESULT OpenStoreByName(LPMAPISESSION session, LPCWSTR name, LPMDB* store) {
  *store = nullptr;
  LPMAPITABLE table = nullptr;
  HRESULT hr = session->GetMsgStoresTable(0, &table);
  if (FAILED(hr)) return hr;
  SizedSPropTagArray(2, columns) = {2, {PR_DISPLAY_NAME_W, PR_ENTRYID}};
  hr = table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0);
  while (SUCCEEDED(hr)) {
    LPSRowSet rows = nullptr;
    hr = table->QueryRows(1, 0, &rows);
    if (FAILED(hr)) break;
    if (rows == nullptr || rows->cRows == 0) {
      FreeProws(rows);
      hr = MAPI_E_NOT_FOUND;
      break;
    }
    const SRow& row = rows->aRow[0];
    const BOOL named = row.cValues >= 2 && row.lpProps[0].ulPropTag == PR_DISPLAY_NAME_W &&
                       row.lpProps[1].ulPropTag == PR_ENTRYID &&
                       wcscmp(row.lpProps[0].Value.lpszW, name) == 0;
    if (named) {
      const SBinary& id = row.lpProps[1].Value.bin;
      hr = session->OpenMsgStore(0, id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr, 0, store);
      FreeProws(rows);
      break;
    }
    FreeProws(rows);
  }
  table->Release();
  return hr;
}
