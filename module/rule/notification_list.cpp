#include "rule/notification_list.h"

#include <cstdlib>

#include "core/debug_log.h"

DWORD g_dwNotificationNumber = NOTIFICATION_NUMBER_FIRST;

namespace {

SmsNotification* g_pSmsHead = nullptr;

// The list lock lives as long as the module: created with the first list operation, never
// destroyed while a thread may still use it.
CRITICAL_SECTION* ListLock() {
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    return &cs;
  }();
  return lock;
}

class ListGuard {
 public:
  ListGuard() { EnterCriticalSection(ListLock()); }
  ~ListGuard() { LeaveCriticalSection(ListLock()); }
  ListGuard(const ListGuard&) = delete;
  ListGuard& operator=(const ListGuard&) = delete;
};

}  // namespace

void FreeSmsRecord(SmsNotification* record) {
  if (!record) return;
  free(record->lpFolderEntryId);
  record->lpFolderEntryId = nullptr;
  free(record->lpMsgEntryId);
  record->lpMsgEntryId = nullptr;
  free(record->pszHTML);
  record->pszHTML = nullptr;
  free(record->pszSender);
  record->pszSender = nullptr;
  if (record->hPicture) DeleteObject(record->hPicture);
  free(record);
}

SmsNotification* AddSms(DWORD number) {
  auto* record = static_cast<SmsNotification*>(calloc(1, sizeof(SmsNotification)));
  if (!record) return nullptr;
  record->dwNumber = number;
  ListGuard hold;
  SmsNotification** tail = &g_pSmsHead;
  while (*tail) tail = &(*tail)->pNext;
  *tail = record;
  return record;
}

SmsNotification* findsms(DWORD number) {
  {
    ListGuard hold;
    for (SmsNotification* p = g_pSmsHead; p; p = p->pNext)
      if (p->dwNumber == number) return p;
  }
  WriteLog(TEXT("findsms returned NULL!\r\n"));
  return nullptr;
}

void RemoveSms(DWORD number) {
  SmsNotification* found = nullptr;
  {
    ListGuard hold;
    for (SmsNotification** link = &g_pSmsHead; *link; link = &(*link)->pNext) {
      if ((*link)->dwNumber == number) {
        found = *link;
        *link = found->pNext;
        break;
      }
    }
  }
  FreeSmsRecord(found);
}

BOOL IsSmsListEmpty() {
  ListGuard hold;
  return g_pSmsHead == nullptr;
}

int ClearSmsList(void (*removed)(DWORD number)) {
  SmsNotification* list;
  {
    ListGuard hold;
    list = g_pSmsHead;
    g_pSmsHead = nullptr;
  }
  int count = 0;
  while (list) {
    SmsNotification* next = list->pNext;
    if (removed) removed(list->dwNumber);
    FreeSmsRecord(list);
    list = next;
    ++count;
  }
  return count;
}
