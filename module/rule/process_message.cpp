#include "rule/process_message.h"

#include <aygshell.h>
#include <oleauto.h>
#include <pm.h>

#include <cstdlib>
#include <cstring>

#include "bubble/bubble_thread.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "platform/message_store.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "rule/contact_lookup.h"
#include "rule/keep_awake.h"
#include "rule/notification_list.h"

namespace {

// The first character of `text` that can start a telephone number, or null.
LPCWSTR FindNumberStart(LPCWSTR text) {
  for (; *text; ++text)
    if (wcschr(TEXT("+0123456789"), *text)) return text;
  return nullptr;
}

// A heap copy of `cb` bytes, or null when there are none or memory ran out.
LPBYTE CopyEntryId(const void* bytes, ULONG cb) {
  if (!bytes || cb == 0) return nullptr;
  auto* copy = static_cast<LPBYTE>(malloc(cb));
  if (copy) memcpy(copy, bytes, cb);
  return copy;
}

}  // namespace

BOOL IsOwnMessageTypeRegistered() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RAVLO_MSGTYPE_KEY, 0, 0, &key) != ERROR_SUCCESS)
    return FALSE;
  RegCloseKey(key);
  return TRUE;
}

// Texts that do not fit a working buffer are cut at its capacity rather than given a larger
// buffer: an SMS text is short by nature, so only a malformed message gets this far, and a cut
// report text still begins with the recipient's name, which is what its reader needs.
HRESULT ProcessMessage(IMsgStore* pMsgStore, ULONG cbMsg, LPENTRYID lpMsg, ULONG cbDestFolder,
                       LPENTRYID lpDestFolder, ULONG* pulEventType, MRCHANDLED* pHandled) {
  WriteLog(TEXT("ProcessMessage called! "));
  if (pHandled) *pHandled = MRC_NOT_HANDLED;

  GetSettings();
  if (!g_Settings.Enabled) {
    WriteLog(TEXT("Bubble notifications was turned down.no sms processing! "));
    return S_OK;
  }

  // Give a bubble thread that is still starting the time to make its window.
  if (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(500);
  if (!g_bBubbleThreadRunning && g_Settings.ShowMyBubble) StartBubbleThread();

  auto* pszNumber = static_cast<LPWSTR>(calloc(PM_NUMBER_CCH, sizeof(WCHAR)));
  auto* pszTitle = static_cast<LPWSTR>(calloc(PM_TITLE_CCH, sizeof(WCHAR)));
  auto* pszReport = static_cast<LPWSTR>(calloc(PM_REPORT_TEXT_CCH, sizeof(WCHAR)));
  if (!pszNumber || !pszTitle || !pszReport) {
    free(pszNumber);
    free(pszTitle);
    free(pszReport);
    return E_OUTOFMEMORY;
  }

  // The device must not fall asleep while the message is processed.
  StartKeepAwake();
  Sleep(0);
  PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);

  HRESULT hr = S_OK;
  BOOL exceptionCaught = FALSE;
  LPMESSAGE pMsg = nullptr;
  LPSPropValue pBody = nullptr;
  LPSPropValue pClass = nullptr;
  LPSPropValue pSender = nullptr;
  LPWSTR pszHTML = nullptr;
  BSTR bstrName = nullptr;
  LPCWSTR pszName = nullptr;  // the name put into a report's text, when it was rewritten
  HBITMAP hPicture = nullptr;
  LONG lWidth = 50;
  LONG lHeight = 50;
  UINT reportKind = SMS_REPORT_NONE;

  try {
    // Every way out of these steps (return) goes on to the clean-up below.
    [&] {
      hr = pMsgStore ? pMsgStore->OpenEntry(cbMsg, lpMsg, nullptr, 0, nullptr,
                                            reinterpret_cast<LPUNKNOWN*>(&pMsg))
                     : E_INVALIDARG;
      if (FAILED(hr) || !pMsg) {
        WriteLog(TEXT("Unable to get message!\r\n"));
        return;
      }

      hr = GetOneProp(pMsg, PR_SUBJECT_W, &pBody);
      if (FAILED(hr) || IsErrorProp(pBody)) {
        WriteLog(TEXT("Unable to get message body!\r\n"));
        return;
      }
      LPCWSTR body = pBody->Value.lpszW;

      hr = GetOneProp(pMsg, PR_MESSAGE_CLASS_W, &pClass);
      if (FAILED(hr) || IsErrorProp(pClass)) {
        WriteLog(TEXT("Unable to get message class!\r\n"));
        return;
      }

      LPCWSTR msgClass = pClass->Value.lpszW;
      if (wcsstr(msgClass, TEXT("REPORT"))) {
        WriteLog(TEXT("delivery "));
        // "NDR" first: it contains "DR" too.
        if (wcsstr(msgClass, TEXT("NDR"))) reportKind = SMS_REPORT_FAILED;
        else if (wcsstr(msgClass, TEXT("DR"))) reportKind = SMS_REPORT_DELIVERED;

        // The report names the recipient by number: put the contact's name in its place.
        LPCWSTR numberStart = g_Settings.DeliveryFix ? FindNumberStart(body) : nullptr;
        LPCWSTR numberEnd = numberStart ? wcschr(numberStart, TEXT(' ')) : nullptr;
        if (numberEnd) {
          StringCchCopyNW(pszNumber, PM_NUMBER_CCH, numberStart, numberEnd - numberStart);
          if (g_Settings.NewNotifyPicSmiley && g_Settings.ShowMyBubble)
            LookupContact(pszNumber, &bstrName, &hPicture, &lWidth, &lHeight);
          else
            LookupContact(pszNumber, &bstrName, nullptr, nullptr, nullptr);
          pszName = bstrName ? bstrName : pszNumber;

          StringCchCopyNW(pszReport, PM_REPORT_TEXT_CCH, body, numberStart - body);
          StringCchCatW(pszReport, PM_REPORT_TEXT_CCH, TEXT("\""));
          StringCchCatW(pszReport, PM_REPORT_TEXT_CCH, pszName);
          StringCchCatW(pszReport, PM_REPORT_TEXT_CCH, TEXT("\""));
          StringCchCatW(pszReport, PM_REPORT_TEXT_CCH, numberEnd);
          // Only the stored message changes; the bubble shows the text as received.
          hr = SetStringProp(pMsg, PR_SUBJECT_W, pszReport);
          if (FAILED(hr)) WriteLog(TEXT("deliveryreport SetProps failed!\r\n"));
        }
      } else {
        WriteLog(TEXT("normal sms "));
      }
      MAPIFreeBuffer(pClass);
      pClass = nullptr;

      WriteLog(TEXT("Finding Senders name!\r\n"));
      hr = GetOneProp(pMsg, PR_SENDER_EMAIL_ADDRESS_W, &pSender);
      if (FAILED(hr) || IsErrorProp(pSender)) {
        WriteLog(TEXT("Couldn't get the sender's address!\r\n"));
        return;
      }
      LPCWSTR sender = pSender->Value.lpszW;
      StringCchCopyW(pszTitle, PM_TITLE_CCH, sender);

      if (reportKind != SMS_REPORT_NONE && g_Settings.DeliveryFix && pszName &&
          g_Settings.ShowMyBubble) {
        StringCchCopyW(pszTitle, PM_TITLE_CCH, pszName);
        StringCchCatW(pszTitle, PM_TITLE_CCH, TEXT("-Delivery Report"));
        SysFreeString(bstrName);
        bstrName = nullptr;
        pszName = nullptr;
      }

      if (g_Settings.ShowMyBubble && g_Settings.NewNotifyPicSmiley &&
          reportKind == SMS_REPORT_NONE) {
        LPCWSTR number = FindNumberStart(pszTitle);
        if (number) {
          // A report class without a report kind may hold a picture from its rewrite already.
          HBITMAP hEarlier = hPicture;
          if (LookupContact(number, nullptr, &hPicture, &lWidth, &lHeight) == S_OK)
            WriteLog(TEXT("Picture found!\r\n"));
          else
            WriteLog(TEXT("Picture not found!\r\n"));
          if (hEarlier && hEarlier != hPicture) DeleteObject(hEarlier);
        }
      }

      // "Name" +15551234 becomes " Name": a blank, then the bare name.
      if (pszTitle[0] == TEXT('"')) {
        LPWSTR p = pszTitle;
        while (*p == TEXT('"')) ++p;
        if (*p) {
          if (LPWSTR close = wcschr(p, TEXT('"'))) *close = 0;
        }
        pszTitle[0] = TEXT(' ');
      }

      free(pszNumber);
      pszNumber = nullptr;
      pszName = nullptr;
      // The bubble shows the text as received, never the rewritten report.
      CreateHTMLFromSMSBody(body, &pszHTML, reportKind,
                            hPicture ? TEMPLATE_SLOT_BUBBLEPIC : TEMPLATE_SLOT_BUBBLE);

      if (g_Settings.ShowMyBubble) {
        WriteLog(TEXT("Preparing to add notification!\r\n"));
        SHNOTIFICATIONDATA nd = {};
        nd.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
        nd.dwID = g_dwNotificationNumber;
        nd.pszHTML = pszHTML;
        nd.pszTitle = pszTitle;

        if (IsOwnMessageTypeRegistered()) SetStringProp(pMsg, PR_MESSAGE_CLASS_W, RAVLO_MESSAGE_CLASS);

        SmsNotification* record = AddSms(nd.dwID);
        if (record) {
          record->dwKindCode = SMS_RECORD_KIND_CODE;
          record->pszHTML = pszHTML ? _wcsdup(pszHTML) : nullptr;
          record->pszSender = _wcsdup(sender);
          record->dwReportKind = reportKind;
          record->hPicture = hPicture;
          hPicture = nullptr;  // the record owns it now
          record->lPictureHeight = lHeight;
          record->lPictureWidth = lWidth;
          record->dwDisplayMode = 1;
          record->dwState = reportKind != SMS_REPORT_NONE && !g_Settings.DeliveryFix
                                ? SMS_RECORD_STATE_REPORT_UNCHANGED
                                : 0;
          record->lpMsgEntryId = CopyEntryId(lpMsg, cbMsg);
          record->cbMsgEntryId = record->lpMsgEntryId ? cbMsg : 0;
          record->lpFolderEntryId = CopyEntryId(lpDestFolder, cbDestFolder);
          record->cbFolderEntryId = record->lpFolderEntryId ? cbDestFolder : 0;
        }
        nd.lParam = reinterpret_cast<LPARAM>(record);
        ++g_dwNotificationNumber;

        while (g_bBubbleThreadRunning && !g_bBubbleWindowReady) Sleep(0);
        // Synchronous: the bubble thread takes what it keeps before the request goes.
        SendMessageW(g_hBubbleThreadWindow, WM_ADDNOTIFICATION, 1, reinterpret_cast<LPARAM>(&nd));
        PostMessageW(g_hBubbleThreadWindow, WM_SOUNDINITIALIZE, 0, 0);
        WriteLog(TEXT("Creating notification window finished!\r\n"));
      } else if (IsOwnMessageTypeRegistered()) {
        SetStringProp(pMsg, PR_MESSAGE_CLASS_W, RAVLO_MESSAGE_CLASS);
      }

      // Keeps the platform from raising its own new-message notification.
      if (!g_Settings.OriginalNotification) SetBoolProp(pMsg, PR_SMS_NO_PLATFORM_NOTIFY, TRUE);
      pMsg->SaveChanges(0);

      if (pHandled) *pHandled = MRC_HANDLED_CONTINUE;
      if (pulEventType) *pulEventType = fnevObjectModified;
      hr = S_OK;
    }();
  } catch (...) {
    exceptionCaught = TRUE;
  }

  PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
  StopKeepAwake();
  MAPIFreeBuffer(pSender);
  MAPIFreeBuffer(pBody);
  MAPIFreeBuffer(pClass);
  if (pMsg) pMsg->Release();
  free(pszTitle);
  free(pszHTML);
  free(pszReport);
  free(pszNumber);
  SysFreeString(bstrName);
  if (hPicture) DeleteObject(hPicture);
  WriteLog(TEXT("successfull proceesmessage exit\r\n"));
  if (exceptionCaught) WriteLog(TEXT("exception in processmessage!\r\n"));
  return hr;
}
