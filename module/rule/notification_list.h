// The notification list: one SmsNotification per notification that the bubble thread still
// knows, in order of arrival, keyed by its notification number.
//
// Threads: ProcessMessage (the Inbox's thread) appends records; the bubble thread's window
// procedure finds and removes them. The list lock guards the head and every record's pNext; a
// record's other fields are filled by ProcessMessage before its number is sent to the bubble
// thread, so the bubble thread never sees a half-filled record.
#pragma once

#include <windows.h>

struct SmsNotification {
  DWORD dwNumber;             // the key; the dwID of the request that carried it
  DWORD dwKindCode;           // 121 in every record ProcessMessage makes
  LPBYTE lpMsgEntryId;        // owned copy
  LPBYTE lpFolderEntryId;     // owned copy
  DWORD cbMsgEntryId;
  DWORD cbFolderEntryId;
  SmsNotification* pNext;
  HBITMAP hPicture;           // owned; the sender's contact picture or null
  LONG lPictureHeight;        // 50 when no picture was found
  LONG lPictureWidth;
  DWORD dwDisplayMode;        // 1: the module's own popup window
  DWORD dwState;              // 4 for a report whose text was not rewritten, else 0
  DWORD dwReportKind;         // 0 ordinary, 1 delivered, 2 not delivered
  LPWSTR pszHTML;             // owned
  LPWSTR pszSender;           // owned
};

#define NOTIFICATION_NUMBER_FIRST 40
#define NOTIFICATION_NUMBER_WRAP 5000

// The next notification number; ProcessMessage takes it and adds 1. Set back to 40 when the
// bubble thread ends, and by the bubble window when it reaches 5000.
extern DWORD g_dwNotificationNumber;

// Appends a new zeroed record with `number` and returns it (null when memory ran out).
SmsNotification* AddSms(DWORD number);
// The first record with `number`, or null (logged).
SmsNotification* findsms(DWORD number);
// Unlinks the first record with `number` and frees it with everything it owns.
void RemoveSms(DWORD number);
// Whether no record is listed.
BOOL IsSmsListEmpty();
// Frees every record, calling `removed` with each number first (the bubble's own clean-up).
// Returns the number of records that were still listed.
int ClearSmsList(void (*removed)(DWORD number));
// Frees what a record owns and the record (it must be unlinked already).
void FreeSmsRecord(SmsNotification* record);
