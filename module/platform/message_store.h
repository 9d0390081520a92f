// The module's view of the platform's message store: the properties and values it relies on
// beyond the SDK's own names, and thin wrappers for the calls it makes the same way everywhere.
// The callers keep their own order of calls, log lines and use of results.
//
// Threads: any; nothing here keeps state. Every property array handed out is the store's and
// is freed with MAPIFreeBuffer.
#pragma once

#include <windows.h>
#include <cemapi.h>

// A boolean the module sets TRUE on an incoming message so that the platform raises no
// new-message notification of its own.
#define PR_SMS_NO_PLATFORM_NOTIFY PROP_TAG(PT_BOOLEAN, 0x8112)
// The entry identifier of the store that a folder belongs to.
#define PR_FOLDER_STORE_ENTRYID PROP_TAG(PT_BINARY, 0x3E06)

// The store that holds text messages, by its PR_DISPLAY_NAME_W.
#define SMS_STORE_NAME TEXT("SMS")
// The platform's class of a text message, and the module's own class that its read form opens.
#define SMS_MESSAGE_CLASS TEXT("IPM.SMStext")
#define RAVLO_MESSAGE_CLASS TEXT("IPM.SMStext.Ravlo")

// Reads one property of `object` with MAPI_UNICODE. *value receives the store's one-value array
// (MAPIFreeBuffer it), or null when the call failed. A property the object lacks comes back as an
// error value with the call's warning MAPI_W_ERRORS_RETURNED, which is not a failure.
HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value);

// TRUE when `value` is missing or is an error value (PT_ERROR): the property is absent.
BOOL IsErrorProp(const SPropValue* value);

// Writes one string, or one boolean, property.
HRESULT SetStringProp(LPMAPIPROP object, ULONG tag, LPCWSTR text);
HRESULT SetBoolProp(LPMAPIPROP object, ULONG tag, BOOL value);

// Opens the store whose display name is `name`, reading the session's stores table one row at
// a time. MAPI_E_NOT_FOUND when no store has that name.
HRESULT OpenStoreByName(LPMAPISESSION session, LPCWSTR name, LPMDB* store);
