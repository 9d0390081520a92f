#include "bubble/popup_window.h"

#include <htmlctrl.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "bubble/bubble_thread.h"
#include "bubble/skin_shape.h"
#include "core/debug_log.h"
#include "core/settings.h"
#include "forms/open_form.h"
#include "forms/picture.h"
#include "render/templates.h"
#include "skin/skin.h"

// {6b1d4e82-3fa7-41c9-9d25-8e07c6a3f1b4}
const CLSID CLSID_PellixBubble = {
    0x6b1d4e82, 0x3fa7, 0x41c9, {0x9d, 0x25, 0x8e, 0x07, 0xc6, 0xa3, 0xf1, 0xb4}};

HWND g_hPopupWindow = nullptr;
HWND g_hPopupInner = nullptr;
HWND g_hPopupView = nullptr;
DWORD g_dwShownNumber = 0;
POINT g_ptTap = {0, 0};
HMODULE g_hHtmlLibrary = nullptr;
HBITMAP g_hBackgroundBitmap = nullptr;

namespace {

const DWORD kPopupStyle = 0x80410000;    // WS_POPUP | WS_DLGFRAME | WS_TABSTOP
const DWORD kPopupExStyle = 0x40000008;  // WS_EX_TOPMOST and the platform's no-animation bit
const DWORD kChildStyle = 0x54000000;    // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS
const UINT kClassStyle = 0x203;          // CS_HREDRAW | CS_VREDRAW | CS_NOCLOSE

struct BubbleNode {
  DWORD number;
  BubbleRequest* entry;
  BubbleNode* next;
};

BubbleNode* g_pBubbleHead = nullptr;
int g_nCurrentHeight = 0;
LPCWSTR g_pszCaption = nullptr;  // points into the shown entry
int g_nCaptionMetric = 0;
WNDPROC g_pfnCanvasProc = nullptr;

HINSTANCE ModuleInstance() { return GetModuleHandleW(TEXT("PellixRule.dll")); }

BubbleRequest* FindEntry(DWORD number) {
  for (BubbleNode* node = g_pBubbleHead; node; node = node->next)
    if (node->number == number) return node->entry;
  return nullptr;
}

void FreeEntry(BubbleRequest* entry) {
  if (!entry) return;
  if (entry->menuBar) DestroyWindow(entry->menuBar);
  free(const_cast<LPWSTR>(entry->notification.pszTitle));
  free(const_cast<LPWSTR>(entry->notification.pszHTML));
  free(entry->softKeys.prgskc);
  free(entry);
}

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// The size of a window's client area.
SIZE ClientSize(HWND hwnd) {
  RECT r = {};
  GetClientRect(hwnd, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Cuts `hwnd` to the shape of `picture` stretched to its client size. FALSE when no region
// could be made (the window keeps its shape).
BOOL CutToPicture(HWND hwnd, HBITMAP picture) {
  const SIZE size = ClientSize(hwnd);
  HBITMAP stretched = StretchBitmap(picture, size.cx, size.cy);
  HRGN region = nullptr;
  const BOOL made = stretched && BuildSkinRegion(stretched, &region) == 0;
  if (stretched) DeleteObject(stretched);
  if (!made) return FALSE;
  SetWindowRgn(hwnd, region, TRUE);
  return TRUE;
}

// Records where the person taps the HTML view, so the number menu opens there.
LRESULT CALLBACK CanvasTapProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ClientToScreen(hwnd, &p);
    g_ptTap = p;
  }
  return CallWindowProcW(g_pfnCanvasProc, hwnd, message, wParam, lParam);
}

void RegisterPopupClass(LPCWSTR name, int brush) {
  WNDCLASSW wc = {};
  wc.style = kClassStyle;
  wc.lpfnWndProc = HtmlWndProc;
  wc.hInstance = ModuleInstance();
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(brush));
  wc.lpszClassName = name;
  RegisterClassW(&wc);  // an earlier bubble thread may have registered it already
}

LRESULT OnPaint(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (dc && hwnd == g_hPopupInner) {
    RECT caption = {0, 0, ScreenWidth(), g_Skin.CaptionHeight};
    FillRect(dc, &caption, GetSysColorBrush(COLOR_ACTIVECAPTION));
    SetTextColor(dc, GetSysColor(COLOR_WINDOW));
    SetBkColor(dc, GetSysColor(COLOR_ACTIVECAPTION));
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    LPCWSTR text = g_pszCaption ? g_pszCaption : TEXT("");
    ExtTextOutW(dc, 15, g_Skin.CaptionHeight / 2 - tm.tmHeight / 2, ETO_OPAQUE, nullptr, text,
                static_cast<UINT>(wcslen(text)), nullptr);
  }
  EndPaint(hwnd, &ps);
  return 0;
}

LRESULT OnCommand(WPARAM wParam) {
  const DWORD number = g_dwShownNumber;
  BubbleRequest* entry = FindEntry(number);
  if (!entry || !entry->softKeys.prgskc) return 0;
  const SOFTKEYCMD* command = nullptr;
  for (UINT i = 0; i < entry->softKeys.cskc; ++i) {
    if (entry->softKeys.prgskc[i].wpCmd == LOWORD(wParam)) {
      command = &entry->softKeys.prgskc[i];
      break;
    }
  }
  if (!command) {
    WriteLog(TEXT("htmlWndProc-strange shouldnt happen!\r\n"));
    return 0;
  }
  const DWORD flags = command->grfFlags;
  PostMessageW(entry->notification.hwndSink, WM_COMMAND, wParam, static_cast<LPARAM>(number));
  if (flags == NOTIF_SOFTKEY_FLAGS_DISMISS) {
    RemoveBubble(&CLSID_PellixBubble, number);
    HideBubble();
  } else if (flags == NOTIF_SOFTKEY_FLAGS_HIDE) {
    HideBubble();
  } else {
    RestartHideTimer();
  }
  return 0;
}

LRESULT OnNotify(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
  if (!header) return DefWindowProcW(hwnd, message, wParam, lParam);
  BubbleRequest* entry = FindEntry(static_cast<DWORD>(header->idFrom));
  if (!header->hwndFrom) {
    if (header->code == SHNN_SHOW && entry && header->idFrom != g_dwShownNumber) {
      WriteLog(TEXT("htmlWndProc-show request\r\n"));
      ShowBubble(static_cast<DWORD>(header->idFrom));
      return 1;
    }
    if (header->code == SHNN_DISMISS) {
      WriteLog(TEXT("htmlWndProc-dissmiss request\r\n"));
      return 0;
    }
    DefWindowProcW(hwnd, message, wParam, lParam);
    return 1;
  }
  if (entry) return SendMessageW(entry->notification.hwndSink, message, wParam, lParam);
  DefWindowProcW(hwnd, message, wParam, lParam);
  return 1;
}

}  // namespace

BOOL mySHOnceInit() {
  WriteLog(TEXT("mySHOnceInit()\r\n"));
  LoadStyleSheet();
  LoadSkin();
  if (!g_hHtmlLibrary) g_hHtmlLibrary = LoadLibraryW(TEXT("htmlview.dll"));
  typedef BOOL (*INITHTMLCONTROL)(HINSTANCE);
  auto init = g_hHtmlLibrary
                  ? reinterpret_cast<INITHTMLCONTROL>(GetProcAddressW(g_hHtmlLibrary, MAKEINTRESOURCE(1)))
                  : nullptr;
  return init ? init(ModuleInstance()) : FALSE;
}

void mySHOnceDeInit() {
  WriteLog(TEXT("mySHOnceDeInit()\r\n"));
  if (g_hHtmlLibrary) FreeLibrary(g_hHtmlLibrary);
  g_hHtmlLibrary = nullptr;
  // The style sheet and the three templates.
  FreeTemplates();
}

void CreateBubbleWindows() {
  if (!g_hHtmlLibrary) mySHOnceInit();
  g_nCaptionMetric = GetSystemMetrics(SM_CYCAPTION);
  RegisterPopupClass(POPUP_WINDOW_CLASS, BLACK_BRUSH);
  RegisterPopupClass(POPUP_INNER_CLASS, WHITE_BRUSH);
  HINSTANCE instance = ModuleInstance();
  g_hPopupWindow = CreateWindowExW(kPopupExStyle, POPUP_WINDOW_CLASS, TEXT(""), kPopupStyle, 0, 0,
                                   ScreenWidth(), 50, nullptr, nullptr, instance, nullptr);
  g_hPopupInner = CreateWindowExW(0, POPUP_INNER_CLASS, TEXT(""), kChildStyle, 4, 4, 148, 50,
                                  g_hPopupWindow, nullptr, instance, nullptr);
  ShowWindow(g_hPopupWindow, SW_HIDE);
  g_hPopupView = CreateWindowExW(0, DISPLAYCLASS, TEXT(""), kChildStyle, 4, 4, 148, 50,
                                 g_hPopupInner, nullptr, instance, nullptr);
  if (g_hPopupView) {
    SetWindowLongW(g_hPopupView, GWL_ID, 0);
    SendMessageW(g_hPopupView, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TEXT("")));
  }
  g_ptTap.x = ScreenWidth() / 2 - 80;
  g_ptTap.y = ScreenHeight() / 2;
  if (HWND canvas = g_hPopupView ? GetWindow(g_hPopupView, GW_CHILD) : nullptr) {
    g_pfnCanvasProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(canvas, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(CanvasTapProc)));
  }
  g_nCurrentHeight = 0;
  LayoutBubble(0);
  Sleep(0);
}

void DestroyBubbleWindows() {
  if (g_hPopupWindow) DestroyWindow(g_hPopupWindow);
  // The classes carry this module's procedure: a module loaded again later registers its own.
  UnregisterClassW(POPUP_WINDOW_CLASS, ModuleInstance());
  UnregisterClassW(POPUP_INNER_CLASS, ModuleInstance());
  g_hPopupWindow = nullptr;
  g_hPopupInner = nullptr;
  g_hPopupView = nullptr;
  g_dwShownNumber = 0;
  g_pszCaption = nullptr;
  g_pfnCanvasProc = nullptr;
  if (g_hBackgroundBitmap) DeleteObject(g_hBackgroundBitmap);
  g_hBackgroundBitmap = nullptr;
}

DWORD QueueBubble(const BubbleRequest* request) {
  ShowWindow(g_hPopupWindow, SW_HIDE);
  auto* entry = static_cast<BubbleRequest*>(calloc(1, sizeof(BubbleRequest)));
  auto* node = static_cast<BubbleNode*>(calloc(1, sizeof(BubbleNode)));
  if (!entry || !node) {
    free(entry);
    free(node);
    return 0;
  }
  *entry = *request;
  entry->menuBar = nullptr;
  entry->softKeys.prgskc = nullptr;
  entry->notification.pszTitle = nullptr;
  entry->notification.pszHTML = nullptr;
  if (request->softKeys.cskc != 0 && request->softKeys.prgskc) {
    entry->softKeys.prgskc =
        static_cast<SOFTKEYCMD*>(malloc(request->softKeys.cskc * sizeof(SOFTKEYCMD)));
    if (entry->softKeys.prgskc) {
      memcpy(entry->softKeys.prgskc, request->softKeys.prgskc,
             request->softKeys.cskc * sizeof(SOFTKEYCMD));
    } else {
      entry->softKeys.cskc = 0;
    }
    entry->notification.skm.prgskc = entry->softKeys.prgskc;
    entry->menuBar = CreateBubbleMenuBar(request->menuResource);
    UpdateWindow(g_hPopupWindow);
  }
  entry->height = static_cast<DWORD>(g_Skin.NotifyWndHeight);

  // The platform shows the notification through the popup: it asks the popup to show it.
  SHNOTIFICATIONDATA registration = request->notification;
  registration.hwndSink = g_hPopupWindow;
  registration.csDuration = 1;
  registration.grfFlags &= ~static_cast<DWORD>(SHNF_FORCEMESSAGE);
  registration.skm.prgskc = entry->softKeys.prgskc;
  registration.skm.cskc = entry->softKeys.cskc;
  entry->notification.csDuration = 1;
  entry->notification.grfFlags = registration.grfFlags;
  // Appended before the platform hears of it, so a show request finds the entry.
  if (request->notification.pszTitle) entry->notification.pszTitle = _wcsdup(request->notification.pszTitle);
  if (request->notification.pszHTML) entry->notification.pszHTML = _wcsdup(request->notification.pszHTML);
  node->number = request->notification.dwID;
  node->entry = entry;
  BubbleNode** tail = &g_pBubbleHead;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
  SHNotificationAdd(&registration);
  Sleep(0);
  return 0;
}

void ShowBubble(DWORD number) {
  if (g_dwShownNumber) {
    if (BubbleRequest* shown = FindEntry(g_dwShownNumber); shown && shown->menuBar)
      ShowWindow(shown->menuBar, SW_HIDE);
  }
  g_dwShownNumber = 0;
  BubbleRequest* entry = FindEntry(number);
  if (!entry) return;
  if (HWND form = g_hOpenFormWindow.load()) SendMessageW(form, WM_CLOSEOPENFORM, 0, 0);
  if (entry->height != 0 && static_cast<int>(entry->height) != g_nCurrentHeight) LayoutBubble(number);
  KillTimer(g_hPopupWindow, POPUP_HIDE_TIMER);
  g_pszCaption = entry->notification.pszTitle;

  if (g_hPopupView && static_cast<DWORD>(GetWindowLongW(g_hPopupView, GWL_ID)) != number) {
    SetWindowLongW(g_hPopupView, GWL_ID, static_cast<LONG>(number));
    SendMessageW(g_hPopupView, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TEXT("")));
    SendMessageW(g_hPopupView, DTM_CLEAR, 0, 0);
    SendMessageW(g_hPopupView, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(entry->notification.pszHTML));
    if (g_StyleSheet) SendMessageW(g_hPopupView, DTM_ADDSTYLE, 0, reinterpret_cast<LPARAM>(g_StyleSheet));
    SendMessageW(g_hPopupView, DTM_ZOOMLEVEL, 0, static_cast<LPARAM>(g_Settings.ZoomLevel));
    SendMessageW(g_hPopupView, DTM_ENDOFSOURCE, 0, 0);
    if (g_Skin.DynamicHeight == 1) {
      const DWORD caption = static_cast<DWORD>(GetSystemMetrics(SM_CYCAPTION));
      const DWORD h = static_cast<DWORD>(SendMessageW(g_hPopupView, DTM_LAYOUTHEIGHT, 0, 0));
      if (h > entry->height - caption - 10) {
        entry->height = caption + h + 10;
        const DWORD most = static_cast<DWORD>(ScreenHeight()) - caption -
                           static_cast<DWORD>(g_nCaptionMetric) - 30;
        if (entry->height > most) entry->height = most;
      }
      LayoutBubble(number);
    }
  }

  if (g_hBackgroundBitmap && g_hPopupView) {
    RECT r = {};
    GetWindowRect(g_hPopupView, &r);
    CaptureBackground(r.left, r.top, r.right - r.left, r.bottom - r.top, g_hBackgroundBitmap,
                      static_cast<BYTE>(g_Skin.AlphaBlendBackground));
  }

  ShowWindow(g_hPopupWindow, SW_SHOW);
  if (g_hPopupView) ShowWindow(g_hPopupView, SW_SHOW);
  SetActiveWindow(g_hPopupWindow);
  SetForegroundWindow(g_hPopupWindow);
  if (entry->menuBar) ShowWindow(entry->menuBar, SW_SHOW);
  if (g_hPopupView) SetFocus(g_hPopupView);
  SetTimer(g_hPopupWindow, POPUP_HIDE_TIMER, POPUP_HIDE_MS, nullptr);
  g_dwShownNumber = number;
  PostMessageW(entry->notification.hwndSink, WM_BUBBLEVISIBILITY, 1, static_cast<LPARAM>(number));
}

void HideBubble() {
  KillTimer(g_hPopupWindow, POPUP_HIDE_TIMER);
  if (!g_dwShownNumber) {
    ShowWindow(g_hPopupWindow, SW_HIDE);
    return;
  }
  const DWORD number = g_dwShownNumber;
  BubbleRequest* entry = FindEntry(number);
  g_dwShownNumber = 0;
  ShowWindow(g_hPopupWindow, SW_HIDE);
  if (!entry) {
    WriteLog(TEXT("HideNotification-notify not found\r\n"));
    return;
  }
  if (entry->menuBar) ShowWindow(entry->menuBar, SW_HIDE);
  PostMessageW(entry->notification.hwndSink, WM_BUBBLEVISIBILITY, 0, static_cast<LPARAM>(number));
}

DWORD RemoveBubble(const CLSID* clsid, DWORD number) {
  SHNotificationRemove(clsid, number);
  BubbleNode** link = &g_pBubbleHead;
  while (*link && (*link)->number != number) link = &(*link)->next;
  if (!*link) return 1;
  BubbleNode* node = *link;
  const BOOL shown = number == g_dwShownNumber;
  if (shown) {
    KillTimer(g_hPopupWindow, POPUP_HIDE_TIMER);
    if (node->entry->menuBar) ShowWindow(node->entry->menuBar, SW_HIDE);
    g_pszCaption = nullptr;
  }
  *link = node->next;
  FreeEntry(node->entry);
  free(node);
  if (shown) ShowWindow(g_hPopupWindow, SW_HIDE);
  return 0;
}

void RestartHideTimer() {
  KillTimer(g_hPopupWindow, POPUP_HIDE_TIMER);
  SetTimer(g_hPopupWindow, POPUP_HIDE_TIMER, POPUP_HIDE_MS, nullptr);
}

HWND CreateBubbleMenuBar(UINT menuResource) {
  SHMENUBARINFO info = {};
  info.cbSize = 36;
  info.hwndParent = g_hPopupWindow;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = menuResource;
  info.hInstRes = ModuleInstance();
  if (!SHCreateMenuBar(&info)) {
    WriteLog(TEXT("createmenubar not ok\r\n"));
    info.hwndMB = nullptr;
  }
  if (info.hwndMB) ShowWindow(info.hwndMB, SW_HIDE);
  return info.hwndMB;
}

void LayoutBubble(DWORD number) {
  BubbleRequest* entry = number ? FindEntry(number) : nullptr;
  const int h = entry ? static_cast<int>(entry->height) : g_Skin.NotifyWndHeight;
  const BOOL resized = h != g_nCurrentHeight || !entry;
  g_nCurrentHeight = h;
  int x = g_Skin.NotifyWndStartX;
  if (x <= 0) x += ScreenWidth();
  int y = g_Skin.NotifyWndStartY;
  if (y <= 0) y += ScreenHeight();
  if (g_Skin.BottomAnchor) y -= h;
  int w = g_Skin.NotifyWndWidth;
  if (w <= 0) w += ScreenWidth();
  MoveWindow(g_hPopupWindow, x, y, w, h, FALSE);

  const SIZE client = ClientSize(g_hPopupWindow);
  MoveWindow(g_hPopupInner, g_Skin.Left, g_Skin.Top, client.cx - g_Skin.Right - g_Skin.Left,
             client.cy - g_Skin.Bottom - g_Skin.Top, FALSE);
  const SIZE inner = ClientSize(g_hPopupInner);
  MoveWindow(g_hPopupView, g_Skin.HTMLLeft, g_Skin.HTMLTop, inner.cx - g_Skin.HTMLRight - g_Skin.HTMLLeft,
             inner.cy - g_Skin.HTMLBottom - g_Skin.HTMLTop, FALSE);

  // The shapes follow the size only: an unchanged size keeps the regions it has.
  if (!resized) return;
  PICTURE picture;
  InitPicture(&picture);
  if (SUCCEEDED(LoadPictureFromFile(&picture, g_Skin.SkinBMP))) {
    if (CutToPicture(g_hPopupWindow, picture.hBitmap)) CutToPicture(g_hPopupInner, picture.hBitmap);
  }
  ReleasePicture(&picture);
}

LRESULT CALLBACK HtmlWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_SHOWWINDOW:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE && g_dwShownNumber) HideBubble();
      return 0;
    case WM_PAINT:
      return OnPaint(hwnd);
    case WM_SETTINGCHANGE:
      if (wParam == SETTINGCHANGE_RESET) {
        LoadSkin();
        g_nCurrentHeight = 0;  // the screen changed: cut the shapes again
        LayoutBubble(g_dwShownNumber);
      }
      return 0;
    case WM_COMMAND:
      return OnCommand(wParam);
    case WM_TIMER:
      WriteLog(TEXT("htmlWndProc-hiding by timer\r\n"));
      HideBubble();
      return 0;
    case WM_NOTIFY:
    case WM_POPUPNOTIFY:
      return OnNotify(hwnd, message, wParam, lParam);
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

int BubbleEntryCount() {
  int count = 0;
  for (BubbleNode* node = g_pBubbleHead; node; node = node->next) ++count;
  return count;
}

DWORD FirstBubbleNumber() { return g_pBubbleHead ? g_pBubbleHead->number : 0; }
