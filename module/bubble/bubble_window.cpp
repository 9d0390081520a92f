#include "bubble/bubble_window.h"

#include <cemapi.h>
#include <htmlctrl.h>
#include <pm.h>
#include <shellapi.h>

#include <cstdlib>

#include "bubble/alerts.h"
#include "bubble/bubble_actions.h"
#include "bubble/bubble_thread.h"
#include "bubble/popup_window.h"
#include "bubble/skin_shape.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "forms/number_menu.h"
#include "forms/open_form.h"
#include "forms/picture.h"
#include "render/smiley_table.h"
#include "resources/resource.h"
#include "rule/contact_lookup.h"
#include "rule/notification_list.h"
#include "skin/skin.h"

// {A877D65B-239C-47A7-9304-0D347F580408}
const CLSID CLSID_PellixIcon = {
    0xA877D65B, 0x239C, 0x47A7, {0x93, 0x04, 0x0D, 0x34, 0x7F, 0x58, 0x04, 0x08}};

LPWSTR g_pszPendingLink = nullptr;
DWORD g_dwPendingLinkNumber = 0;
BOOL g_bVibrating = FALSE;
DWORD g_dwIconNotificationNumber = 0;

namespace {

const DWORD kBubbleSeconds = 15;
const DWORD kRemoveAll = 0xFFFFFFFF;

HINSTANCE ModuleInstance() { return GetModuleHandleW(TEXT("PellixRule.dll")); }

// Pictures asked for by file name (the report icons): the smiley table does not keep them, and
// the view draws them for as long as it shows their page, so they stay until the thread ends.
const int kKeptPictures = 8;
PICTURE* g_keptPictures[kKeptPictures] = {};
int g_keptCount = 0;

void FreePicture(PICTURE* picture) {
  ReleasePicture(picture);
  delete picture;
}

// Keeps `picture` for the view. The oldest kept one goes when the list is full: only the page
// on screen draws pictures, and it holds at most one report icon.
void KeepBubblePicture(PICTURE* picture) {
  if (g_keptCount == kKeptPictures) {
    FreePicture(g_keptPictures[0]);
    for (int i = 1; i < kKeptPictures; ++i) g_keptPictures[i - 1] = g_keptPictures[i];
    --g_keptCount;
  }
  g_keptPictures[g_keptCount++] = picture;
}

void FreeKeptPictures() {
  for (int i = 0; i < g_keptCount; ++i) FreePicture(g_keptPictures[i]);
  g_keptCount = 0;
}

void FreePendingLink() {
  free(g_pszPendingLink);
  g_pszPendingLink = nullptr;
}

void StopVibrating(HWND hwnd) {
  if (!g_bVibrating) return;
  KillTimer(hwnd, BUBBLE_VIBRATION_TIMER);
  VibratorOff(FindVibrator());
  g_bVibrating = FALSE;
}

LRESULT OnAddNotification(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  WriteLog(TEXT("WM_ADDNOTIFICATION..\r\n"));
  HANDLE backlight = SetPowerRequirement(const_cast<WCHAR*>(TEXT("BKL1:")), D0, POWER_NAME, nullptr, 0);
  auto* request = reinterpret_cast<SHNOTIFICATIONDATA*>(lParam);
  BOOL shown = FALSE;
  LRESULT result = 0;
  if (request) {
    BubbleRequest bubble = {};
    request->cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
    request->hwndSink = hwnd;
    request->npPriority = SHNP_INFORM;
    request->csDuration = kBubbleSeconds;
    request->hicon = LoadIconW(ModuleInstance(), MAKEINTRESOURCE(IDI_NOTIFY));
    request->grfFlags = SHNF_FORCEMESSAGE | SHNF_DISPLAYON;
    request->clsid = CLSID_PellixBubble;
    SmsNotification* record = findsms(request->dwID);
    if (!record) {
      WriteLog(TEXT("unknown error at WM_ADDNOTIFICATION"));
    } else {
      request->grfFlags |= SHNF_HASMENU;
      const SOFTKEYMENU* keys = &g_skmMessage;
      DWORD resource = g_Settings.NotificationReplyDefault ? IDR_MENU_REPLY : IDR_MENU_MARKREAD;
      if (record->dwReportKind != 0) {
        keys = &g_skmReport;
        resource = IDR_MENU_REPORT;
      }
      request->skm = *keys;
      bubble.notification = *request;
      bubble.softKeys = *keys;
      bubble.menuResource = resource;
      shown = TRUE;
      result = wParam ? static_cast<LRESULT>(QueueBubble(&bubble)) : SHNotificationAdd(request);
      if (g_Settings.CompatibilityMode) {
        g_dwIconNotificationNumber = request->dwID;
        request->dwID = ICON_NOTIFICATION_NUMBER;
        request->hwndSink = nullptr;
        request->npPriority = SHNP_ICONIC;
        request->clsid = CLSID_PellixIcon;
        request->csDuration = 0xFFFFFFFF;
        if (SHNotificationAdd(request) != 0) {
          // The icon is there already: it now belongs to this notification, for a second.
          request->csDuration = 1;
          SHNotificationUpdate(SHNUM_DURATION, request);
        }
      }
    }
  }
  if (shown && result != 0) WriteLog(TEXT("Failed creating notification!"));
  if (backlight) ReleasePowerRequirement(backlight);
  return 0;
}

LRESULT OnSoundInitialize(HWND hwnd) {
  WriteLog(TEXT("WM_SOUNDINITIALIZE.."));
  try {
    PlayAlertSound();
    if (g_Settings.Vibrate) {
      SetTimer(hwnd, BUBBLE_VIBRATION_TIMER, g_Settings.VibrateMs, nullptr);
      VibratorOn(FindVibrator());
      g_bVibrating = TRUE;
    }
  } catch (...) {
    WriteLog(TEXT("\r\n"));
    throw;
  }
  WriteLog(TEXT("\r\n"));
  return 0;
}

LRESULT OnTimer(HWND hwnd, WPARAM id) {
  if (id == BUBBLE_VIBRATION_TIMER) {
    StopVibrating(hwnd);
  } else if (id == BUBBLE_ANIMATION_TIMER) {
    if (StepSmileyAnimation() && g_hPopupView) {
      // Hidden and shown again, the view repaints with the new frames.
      ShowWindow(g_hPopupView, SW_HIDE);
      ShowWindow(g_hPopupView, SW_SHOW);
    }
  }
  return 0;
}

LRESULT OnBubbleVisibility(HWND hwnd, WPARAM wParam) {
  if (wParam == 1) {
    if (g_Settings.Animation) SetTimer(hwnd, BUBBLE_ANIMATION_TIMER, static_cast<UINT>(g_Skin.GifFrameDelay), nullptr);
    return 0;
  }
  if (ContactCardOpen) {
    // The bubble went while a contact card was open for "Save to contacts": close the card.
    keybd_event(VK_F2, 0, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(VK_F2, 0, KEYEVENTF_KEYUP, 0);
    Sleep(0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    Sleep(0);
  }
  if (g_Settings.Animation) KillTimer(hwnd, BUBBLE_ANIMATION_TIMER);
  return 0;
}

LRESULT OnRemoveNotification(HWND hwnd, LPARAM lParam) {
  const DWORD number = static_cast<DWORD>(lParam);
  WriteLog(TEXT("WM_REMOVENOTIFICATION \r\n"));
  StopVibrating(hwnd);
  StopAlertSound();
  if (g_Settings.CompatibilityMode && g_dwIconNotificationNumber == number) {
    SHNOTIFICATIONDATA icon = {};
    icon.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
    icon.dwID = ICON_NOTIFICATION_NUMBER;
    icon.csDuration = 1;
    icon.clsid = CLSID_PellixIcon;
    SHNotificationUpdate(SHNUM_DURATION, &icon);
  }
  if (g_dwNotificationNumber >= NOTIFICATION_NUMBER_WRAP) g_dwNotificationNumber = NOTIFICATION_NUMBER_FIRST;
  FreePendingLink();
  if (number != kRemoveAll) {
    RemoveBubble(&CLSID_PellixBubble, number);
    RemoveSms(number);
    if (!IsSmsListEmpty()) return 0;
  }
  if (g_Settings.Animation) KillTimer(hwnd, BUBBLE_ANIMATION_TIMER);
  g_bBubbleWindowReady = FALSE;
  PostQuitMessage(0);
  return 0;
}

void OpenNumberMenu(HWND hwnd) { TrackNumberMenu(hwnd, g_ptTap); }

LRESULT OnHotspot(HWND hwnd, const NM_HTMLVIEW* view) {
  FreePendingLink();
  LPCWSTR target = view->szTarget ? view->szTarget : TEXT("");
  if (LPCWSTR command = wcsstr(target, TEXT("cmd:"))) {
    (void)command;
    // The number starts at the link's fifth character, as the bubble's pages write them.
    const LONG id = wcslen(target) >= 4 ? wcstol(target + 4, nullptr, 10) : 0;
    PostMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(id), static_cast<LPARAM>(view->hdr.idFrom));
  } else if (wcsstr(target, TEXT("http://"))) {
    SHELLEXECUTEINFO info = {};
    info.cbSize = 60;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = target;
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteEx(&info);
    if (info.hProcess) CloseHandle(info.hProcess);
  } else if (wcschr(target, u'@')) {
    const size_t cch = wcslen(target) + 20;
    g_pszPendingLink = static_cast<LPWSTR>(malloc(cch * sizeof(WCHAR)));
    if (g_pszPendingLink) {
      wsprintfW(g_pszPendingLink, TEXT("mailto:%s"), target);
      MAILCOMPOSEFIELDS fields = {};
      fields.cbSize = MAILCOMPOSEFIELDS_SIZE;
      fields.dwFlags = MCF_ACCOUNT_IS_TRANSPORT;
      fields.pszTo = g_pszPendingLink;
      MailComposeMessage(&fields);
    }
  } else {
    g_pszPendingLink = _wcsdup(target);
    g_dwPendingLinkNumber = static_cast<DWORD>(view->hdr.idFrom);
    RestartHideTimer();
    OpenNumberMenu(hwnd);
  }
  return 0;
}

void SetImage(HWND view, DWORD cookie, int height, int width, HBITMAP bitmap) {
  INLINEIMAGEINFO info = {};
  info.dwCookie = cookie;
  info.iOrigHeight = height;
  info.iOrigWidth = width;
  info.hbm = bitmap;
  info.bOwnBitmap = FALSE;
  SendMessageW(view, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
}

LRESULT OnInlineImage(const NM_HTMLVIEW* view) {
  SmsNotification* record = findsms(static_cast<DWORD>(view->hdr.idFrom));
  if (!record) return 1;
  WriteLog(TEXT("Adding smiley or pictureID..."));
  LPCWSTR name = view->szTarget ? view->szTarget : TEXT("");
  HWND from = view->hdr.hwndFrom;
  if (wcscmp(name, TEXT("PictureID")) == 0) {
    if (record->hPicture) {
      SetImage(from, view->dwCookie, record->lPictureHeight, record->lPictureWidth, record->hPicture);
      WriteLog(TEXT("pictureID loaded..."));
      return 1;
    }
    WriteLog(TEXT("pictureID loading failed..."));
  } else if (wcscmp(name, TEXT("DesktopBackground")) == 0) {
    RECT r = {};
    GetWindowRect(from, &r);
    // The view draws it until its next document; the previous one is no longer drawn.
    HBITMAP previous = g_hBackgroundBitmap;
    g_hBackgroundBitmap = CaptureBackground(r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, 100);
    if (IsWindow(from)) SetImage(from, view->dwCookie, r.bottom - r.top, r.right - r.left, g_hBackgroundBitmap);
    if (previous && previous != g_hBackgroundBitmap) DeleteObject(previous);
    WriteLog(TEXT("smiley loading..."));
    return 1;
  } else if (PICTURE* picture = GetSmileyImage(name)) {
    if (IsWindow(from)) SetImage(from, view->dwCookie, picture->height, picture->width, picture->hBitmap);
    // A picture named by file (a report icon) is not kept by the smiley table: it stays with
    // the bubble until the thread ends, since the view draws it for as long as it shows it.
    if (wcschr(name, u'.')) KeepBubblePicture(picture);
    WriteLog(TEXT("smiley loading..."));
    return 1;
  } else {
    WriteLog(TEXT("smiley loading failed..."));
  }
  SendMessageW(from, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(view->dwCookie));
  WriteLog(TEXT("\r\n"));
  return 0;
}

LRESULT OnNotify(HWND hwnd, LPARAM lParam) {
  WriteLog(TEXT("WM_NOTIFY.."));
  const auto* view = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
  if (!view) return 0;
  if (view->hdr.code == NM_HOTSPOT) return OnHotspot(hwnd, view);
  if (view->hdr.code == NM_INLINE_IMAGE) return OnInlineImage(view);
  return 0;
}

void RunCommand(UINT id, const SmsNotification* record, LPMAPISESSION session, LPMESSAGE message) {
  switch (id) {
    case IDM_REPLY:
    case IDM_FORWARD:
      ReplyOrForward(id, *record, session, message);
      break;
    case IDM_CALL_SENDER:
      CallSender(*record, session, message);
      break;
    case IDM_MARK_READ:
      if (session && message) MarkRead(session, message);
      break;
    case IDM_DELETE:
      if (session && message) DeleteMessage(*record, session, message);
      break;
    case IDM_DISMISS:
    case 3:
      WriteLog(TEXT("dismiss!\r\n"));
      break;
    case IDM_CALL:
      CallNumber(g_pszPendingLink);
      break;
    case IDM_SAVE_TO_CONTACTS:
      SaveNumber(&g_pszPendingLink);
      break;
    case IDM_SEND_SMS:
      SendSmsToNumber(g_pszPendingLink);
      break;
    default:
      WriteLog(TEXT("some unknown wm_command code!doing nothing!\r\n"));
      break;
  }
}

LRESULT OnCommand(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  WriteLog(TEXT("WM_COMMAND..."));
  const UINT id = LOWORD(wParam);
  const DWORD number = static_cast<DWORD>(lParam);
  BOOL findRecord = TRUE;
  switch (id) {
    case IDM_REPLY: case IDM_CALL_SENDER: case IDM_MARK_READ: case IDM_DELETE: case IDM_DISMISS:
    case IDM_FORWARD:
      PostMessageW(hwnd, WM_REMOVENOTIFICATION, 0, lParam);
      break;
    case IDM_CALL:
    case IDM_SEND_SMS:
      RemoveBubble(&CLSID_PellixBubble, g_dwPendingLinkNumber);
      PostMessageW(hwnd, WM_REMOVENOTIFICATION, 0, static_cast<LPARAM>(g_dwPendingLinkNumber));
      findRecord = FALSE;
      break;
    case IDM_SAVE_TO_CONTACTS:
      findRecord = FALSE;
      break;
    default:
      break;
  }

  LPMAPISESSION session = nullptr;
  LPMESSAGE message = nullptr;
  try {
    const SmsNotification* record = nullptr;
    BOOL run = TRUE;
    if (findRecord) {
      record = findsms(number);
      if (!record) {
        WriteLog(TEXT("SMS = NULL!\r\n"));
        MessageBoxW(nullptr, TEXT("SMS = NULL.Big error happened!"), TEXT("Error"), MB_OK);
        PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, static_cast<LPARAM>(kRemoveAll));
        run = FALSE;
      } else {
        if (SUCCEEDED(MAPILogonEx(0, nullptr, nullptr, 0, &session)) && session) {
          ULONG type = 0;
          IUnknown* opened = nullptr;
          if (SUCCEEDED(session->OpenEntry(record->cbMsgEntryId, reinterpret_cast<LPENTRYID>(record->lpMsgEntryId),
                                           nullptr, 0, &type, &opened)))
            message = static_cast<LPMESSAGE>(opened);
        }
        if (!session || !message) WriteLog(TEXT("Unable to login to mail or getmsg interface!\r\n"));
      }
    }
    if (run) RunCommand(id, record, session, message);
  } catch (...) {
    if (message) message->Release();
    if (session) {
      session->Logoff(0, 0, 0);
      session->Release();
    }
    throw;
  }
  if (message) message->Release();
  if (session) {
    session->Logoff(0, 0, 0);
    session->Release();
  }
  return 1;
}

LRESULT Dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUIT:
      PostQuitMessage(0);
      return 0;
    case WM_NOTIFY:
      return OnNotify(hwnd, lParam);
    case WM_COMMAND:
      return OnCommand(hwnd, wParam, lParam);
    case WM_TIMER:
      return OnTimer(hwnd, wParam);
    case WM_ADDNOTIFICATION:
      return OnAddNotification(hwnd, wParam, lParam);
    case WM_REMOVENOTIFICATION:
      return OnRemoveNotification(hwnd, lParam);
    case WM_SOUNDINITIALIZE:
      return OnSoundInitialize(hwnd);
    case WM_BUBBLEVISIBILITY:
      return OnBubbleVisibility(hwnd, wParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

}  // namespace

BOOL StepSmileyAnimation() {
  if (g_bReadWindowAnimating || !g_dwShownNumber || !g_SmileyTable) return FALSE;
  LockSmileyAnimation();
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    PICTURE* picture = g_SmileyTable[i].picture;
    // A still picture's bitmap already shows its only frame: only animated ones are redrawn.
    if (!picture || picture->frameCount < 2) continue;
    StepPictureFrame(picture);
  }
  UnlockSmileyAnimation();
  return TRUE;
}

void ResetBubbleWindowState() {
  FreePendingLink();
  FreeKeptPictures();
  g_dwPendingLinkNumber = 0;
  g_bVibrating = FALSE;
  g_dwIconNotificationNumber = 0;
}

LRESULT CALLBACK BubbleWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    return Dispatch(hwnd, message, wParam, lParam);
  } catch (...) {
    WriteLog(TEXT("in callback exception accoured!\r\n"));
    PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, lParam);
    return 0;
  }
}
