#include "forms/read_window.h"

#include <aygshell.h>
#include <htmlctrl.h>
#include <mapitags.h>
#include <mapiutil.h>

#include <cstdlib>

#include "core/settings.h"
#include "forms/msg_form.h"
#include "forms/open_form.h"
#include "platform/phone.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/resource.h"
#include "rule/contact_lookup.h"
#include "rule/module_entry.h"
#include "rule/notification_list.h"
#include "skin/skin.h"

POINT g_ptReadWindowTap = {0, 0};
LPWSTR g_pszReadWindowLink = nullptr;

namespace {

const WCHAR kNumberStart[] = TEXT("+0123456789");
const UINT kDefaultFrameDelay = 250;
const UINT kHtmlControlOrdinal = 1;
const WPARAM kSettingChangeResize = 0x3002;  // the shell's "work area changed"
const UINT kSettingChangeOrdinal = 83;
const UINT kActivateOrdinal = 84;

HMODULE g_hHtmlViewLibrary = nullptr;
WNDPROC g_pfnViewChildProc = nullptr;

typedef BOOL (*INITHTMLCONTROLPROC)(HINSTANCE);
typedef BOOL (*SHACTIVATEPROC)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD);
typedef BOOL (*SHSETTINGCHANGEPROC)(HWND, WPARAM, LPARAM, SHACTIVATEINFO*);

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }
int HeaderHeight() { return ScreenHeight() * 70 / 320; }
int PictureBoxWidth() { return ScreenWidth() * 50 / 240; }
int PictureBoxHeight() { return ScreenHeight() * 55 / 320; }

// The activation helpers are the shell's, reached by ordinal as the platform documents them.
void ShellActivate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HMODULE shell = LoadLibraryW(TEXT("aygshell.dll"));
  if (!shell) return;
  if (auto handle = reinterpret_cast<SHACTIVATEPROC>(GetProcAddressW(shell, MAKEINTRESOURCE(kActivateOrdinal))))
    handle(hwnd, wParam, lParam, &g_ShellActivateInfo, 0);
  FreeLibrary(shell);
}

void ShellSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  HMODULE shell = LoadLibraryW(TEXT("aygshell.dll"));
  if (!shell) return;
  if (auto handle =
          reinterpret_cast<SHSETTINGCHANGEPROC>(GetProcAddressW(shell, MAKEINTRESOURCE(kSettingChangeOrdinal))))
    handle(hwnd, wParam, lParam, &g_ShellActivateInfo);
  FreeLibrary(shell);
}

// Records where the stylus goes down in the HTML view, so that the number menu opens there.
LRESULT CALLBACK TapRecorderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
    POINT p = {static_cast<LONG>(LOWORD(lParam)), static_cast<LONG>(HIWORD(lParam))};
    ClientToScreen(hwnd, &p);
    g_ptReadWindowTap = p;
  }
  return CallWindowProcW(g_pfnViewChildProc, hwnd, message, wParam, lParam);
}

BOOL IsPresent(const SPropValue& value, ULONG tag) {
  return PROP_TYPE(value.ulPropTag) != PT_ERROR && value.ulPropTag == tag;
}

}  // namespace

void FreeReadWindowLink() {
  free(g_pszReadWindowLink);
  g_pszReadWindowLink = nullptr;
}

LPCWSTR FindNumberStart(LPCWSTR address) {
  if (!address) return nullptr;
  for (LPCWSTR p = address; *p; ++p)
    if (wcschr(kNumberStart, *p)) return p;
  return nullptr;
}

ReadWindow::ReadWindow(IInboxFormProvider* provider, CMsgForm* form, IMessage* initial, IMessage* current)
    : m_pInitial(initial), m_pCurrent(current), m_pForm(form), m_pProvider(provider) {
  if (m_pProvider) m_pProvider->AddRef();
  if (m_pInitial) m_pInitial->AddRef();
  if (m_pCurrent) m_pCurrent->AddRef();
  g_hOpenFormWindow = nullptr;
  g_hHtmlViewLibrary = nullptr;
  // The smiley pictures this window shows are the bubble's too: they stay while it is open.
  AddSmileyPictureUse();
}

ReadWindow::~ReadWindow() {
  if (m_pInitial) m_pInitial->Release();
  if (m_pProvider) m_pProvider->Release();
  if (m_pCurrent) m_pCurrent->Release();
  ReleaseSmileyPictureUse();
  if (IsSmsListEmpty()) FreeSmileyImagesUnlessInUse();
  if (m_hPicture) DeleteObject(m_hPicture);
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
  g_hOpenFormWindow = nullptr;
  FreeOwnPictures();
  if (g_hHtmlViewLibrary) {
    FreeLibrary(g_hHtmlViewLibrary);
    g_hHtmlViewLibrary = nullptr;
  }
}

HRESULT ReadWindow::Initialize(INBOXFORMCREATE*) { return S_OK; }

BOOL ReadWindow::Create(HWND frame, HWND* window) {
  if (m_hWnd) {
    SetForegroundWindow(m_hWnd);
    return TRUE;
  }
  m_hwndFrame = frame;
  RECT rect = {};
  if (!GetClientRect(frame, &rect)) return FALSE;
  if (!RegisterAndCreate(READ_WINDOW_CLASS, READ_WINDOW_TITLE, WS_CHILD | WS_VISIBLE, &rect, frame, nullptr))
    return FALSE;
  if (window) *window = m_hWnd;
  return TRUE;
}

BOOL ReadWindow::RegisterAndCreate(LPCWSTR className, LPCWSTR title, DWORD style, const RECT* rect, HWND parent,
                                   HMENU menu) {
  HINSTANCE instance = ModuleInstance();
  if (!g_hHtmlViewLibrary) {
    g_hHtmlViewLibrary = LoadLibraryW(TEXT("htmlview.dll"));
    if (g_hHtmlViewLibrary) {
      if (auto init = reinterpret_cast<INITHTMLCONTROLPROC>(
              GetProcAddressW(g_hHtmlViewLibrary, MAKEINTRESOURCE(kHtmlControlOrdinal))))
        init(instance);
    }
  }
  // Registered once per process; asked anew each time, since the registration goes with the
  // process's windows when the device is reset.
  WNDCLASSW existing = {};
  if (!GetClassInfoW(instance, className, &existing)) {
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = FormWindowRouter;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    RegisterClassW(&wc);
  }

  const int width = rect->right - rect->left;
  const int height = rect->bottom - rect->top;
  m_hWnd = CreateWindowExW(0, className, title, style, 0, 0, width, height, parent, menu, instance, this);
  if (!m_hWnd) return FALSE;
  g_hOpenFormWindow = m_hWnd;

  const int header = HeaderHeight();
  m_hHtmlView = CreateWindowExW(0, DISPLAYCLASS, title, READ_HTML_STYLE, 0, header, width, height - header, m_hWnd,
                                menu, instance, this);
  g_ptReadWindowTap.x = ScreenWidth() / 2 - 80;
  g_ptReadWindowTap.y = header;
  if (HWND child = m_hHtmlView ? GetWindow(m_hHtmlView, GW_CHILD) : nullptr)
    g_pfnViewChildProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(child, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&TapRecorderProc)));

  Layout();
  g_bReadWindowAnimating = FALSE;
  Load();
  return TRUE;
}

BOOL ReadWindow::PreTranslate(MSG* msg) {
  if (msg->message == WM_ACTIVATE) ShellActivate(msg->hwnd, msg->wParam, msg->lParam);
  else if (msg->message == WM_SETTINGCHANGE) ShellSettingChange(msg->hwnd, msg->wParam, msg->lParam);
  // Never kept: the form goes on with its own keys.
  return FALSE;
}

void ReadWindow::Show(int command) { ShowWindow(m_hWnd, command); }

HRESULT ReadWindow::SetMessage(WORD, IMessage* message) {
  if (!message) return E_INVALIDARG;
  m_line1.clear();
  m_line2.clear();
  message->AddRef();
  if (m_pCurrent) {
    m_pCurrent->Release();
    m_pCurrent = message;
  } else {
    if (m_pInitial) m_pInitial->Release();
    m_pInitial = message;
  }
  // Pictures are loaded again for the next page; those a pending bubble shows must stay.
  if (IsSmsListEmpty()) {
    LockSmileyAnimation();
    FreeSmileyImages();
    UnlockSmileyAnimation();
  }
  Load();
  return S_OK;
}

void ReadWindow::Layout() {
  if (!m_hWnd || !m_hHtmlView) return;
  RECT client = {};
  GetClientRect(m_hWnd, &client);
  const int header = HeaderHeight();
  MoveWindow(m_hHtmlView, client.left, client.top + header, client.right, client.bottom - header, FALSE);
}

void ReadWindow::ReadPartyLine(IMessage* message, const SPropValue* sender, const SPropValue* flags) {
  const ULONG messageFlags = IsPresent(*flags, PR_MESSAGE_FLAGS) ? flags->Value.ul : 0;
  if (IsPresent(*sender, PR_SENDER_EMAIL_ADDRESS_W) && sender->Value.lpszW && !(messageFlags & MSGFLAG_FROMME)) {
    m_line2 = TEXT("From: ");
    m_line2 += sender->Value.lpszW;
    return;
  }
  m_line2 = TEXT(" ");
  LPMAPITABLE table = nullptr;
  if (FAILED(message->GetRecipientTable(0, &table)) || !table) return;
  LPSRowSet rows = nullptr;
  if (SUCCEEDED(table->QueryRows(1, 0, &rows)) && rows) {
    for (ULONG r = 0; r < rows->cRows; ++r) {
      for (ULONG i = 0; i < rows->aRow[r].cValues; ++i) {
        const SPropValue& value = rows->aRow[r].lpProps[i];
        if (value.ulPropTag == PR_EMAIL_ADDRESS_W && value.Value.lpszW) {
          m_line2 = TEXT("To: ");
          m_line2 += value.Value.lpszW;
        }
      }
    }
    FreeProws(rows);
    rows = nullptr;
    // A second recipient is only hinted at.
    if (SUCCEEDED(table->QueryRows(1, 0, &rows)) && rows) {
      if (rows->cRows == 1) m_line2 += TEXT(";...");
      FreeProws(rows);
    }
  }
  table->Release();
}

void ReadWindow::LoadPicture(const SPropValue* sender) {
  m_lPictureWidth = PictureBoxWidth();
  m_lPictureHeight = PictureBoxHeight();
  if (m_hPicture) {
    DeleteObject(m_hPicture);
    m_hPicture = nullptr;
  }
  if (!IsPresent(*sender, PR_SENDER_EMAIL_ADDRESS_W) || !sender->Value.lpszW) return;
  LPCWSTR number = FindNumberStart(sender->Value.lpszW);
  if (!number) return;
  HBITMAP picture = nullptr;
  LONG width = m_lPictureWidth, height = m_lPictureHeight;
  if (SUCCEEDED(LookupContact(number, nullptr, &picture, &width, &height)) && picture) {
    m_hPicture = picture;
    m_lPictureWidth = width;
    m_lPictureHeight = height;
  }
}

void ReadWindow::FreeOwnPictures() {
  for (PICTURE* picture : m_ownPictures) {
    ReleasePicture(picture);
    delete picture;
  }
  m_ownPictures.clear();
}

void ReadWindow::Load() {
  IMessage* message = m_pCurrent ? m_pCurrent : m_pInitial;
  if (!message) return;
  SizedSPropTagArray(4, tags) = {
      4, {PR_SUBJECT_W, PR_SENDER_EMAIL_ADDRESS_W, PR_MESSAGE_DELIVERY_TIME, PR_MESSAGE_FLAGS}};
  ULONG count = 0;
  LPSPropValue values = nullptr;
  if (FAILED(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count, &values)) ||
      !values || count < 4) {
    if (values) MAPIFreeBuffer(values);
    return;
  }

  if (IsPresent(values[2], PR_MESSAGE_DELIVERY_TIME)) {
    FILETIME local = {};
    SYSTEMTIME time = {};
    WCHAR date[50] = {}, clock[50] = {};
    FileTimeToLocalFileTime(&values[2].Value.ft, &local);
    FileTimeToSystemTime(&local, &time);
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 50);
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, clock, 50);
    m_line1 = TEXT("Sent: ");
    m_line1 += date;
    m_line1 += TEXT(" ");
    m_line1 += clock;
  }
  const SPropValue* sender = &values[1];
  ReadPartyLine(message, sender, &values[3]);
  LoadPicture(sender);

  WCHAR* text = static_cast<WCHAR*>(calloc(READ_BODY_CCH, sizeof(WCHAR)));
  if (text && IsPresent(values[0], PR_SUBJECT_W) && values[0].Value.lpszW) {
    wcsncpy(text, values[0].Value.lpszW, READ_BODY_CCH - 1);
    text[READ_BODY_CCH - 1] = 0;
  }
  LPWSTR page = nullptr;
  const BOOL pictures = text ? CreateHTMLFromSMSBody(text, &page, SMS_REPORT_NONE, TEMPLATE_SLOT_FORM) : FALSE;

  if (m_hHtmlView) {
    SendMessageW(m_hHtmlView, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(TEXT("")));
    SendMessageW(m_hHtmlView, DTM_CLEAR, 0, 0);
    FreeOwnPictures();
    SendMessageW(m_hHtmlView, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(page ? page : TEXT("")));
    SendMessageW(m_hHtmlView, DTM_ENABLESHRINK, 0, static_cast<LPARAM>(-1));
    SendMessageW(m_hHtmlView, DTM_ZOOMLEVEL, 0, 2);
    SendMessageW(m_hHtmlView, DTM_ENDOFSOURCE, 0, 0);
    SetFocus(m_hHtmlView);
  }
  free(page);
  free(text);
  MAPIFreeBuffer(values);

  if (m_hWnd) {
    // A page without pictures stops what the previous page started, so the bubble animates
    // again.
    KillTimer(m_hWnd, READ_ANIMATION_TIMER);
    g_bReadWindowAnimating = FALSE;
    if (g_Settings.Animation && pictures) {
      g_bReadWindowAnimating = TRUE;
      const UINT delay = g_Skin.GifFrameDelay > 0 ? static_cast<UINT>(g_Skin.GifFrameDelay) : kDefaultFrameDelay;
      SetTimer(m_hWnd, READ_ANIMATION_TIMER, delay, nullptr);
    }
    InvalidateRect(m_hWnd, nullptr, FALSE);
    UpdateWindow(m_hWnd);
  }
}

void ReadWindow::PaintHeader(HDC dc) {
  const int W = ScreenWidth();
  const int H = HeaderHeight();
  const BOOL picture = m_hPicture != nullptr;
  RECT band = {0, 0, W, H};
  FillRect(dc, &band, GetSysColorBrush(COLOR_BTNFACE));
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));

  RECT first = {5, 3, W - W * 10 / 240 + 5 - (picture ? PictureBoxWidth() : 0), 13};
  const int used = DrawTextW(dc, m_line1.c_str(), -1, &first, DT_WORDBREAK | DT_NOCLIP);
  RECT second = {5, 3 + used + 3, picture ? W - W * 12 / 240 - PictureBoxWidth() : W - W * 5 / 240, H - 10};
  DrawTextW(dc, m_line2.c_str(), -1, &second, DT_WORDBREAK | DT_NOCLIP);

  if (!picture) return;
  const int x = W - W * 10 / 240 - PictureBoxWidth();
  const int y = 5;
  BITMAP info = {};
  GetObjectW(m_hPicture, sizeof(info), &info);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, m_hPicture);
  StretchBlt(dc, x, y, m_lPictureWidth, m_lPictureHeight, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT edges[4] = {
      {x, y, x + m_lPictureWidth, y + 1},
      {x + m_lPictureWidth - 1, y, x + m_lPictureWidth, y + m_lPictureHeight},
      {x, y + m_lPictureHeight - 1, x + m_lPictureWidth, y + m_lPictureHeight},
      {x, y, x + 1, y + m_lPictureHeight},
  };
  for (const RECT& edge : edges) FillRect(dc, &edge, black);
}

LRESULT ReadWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      m_hWnd = hwnd;
      return 0;
    case WM_DESTROY:
      FreeReadWindowLink();
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      g_bReadWindowAnimating = FALSE;
      KillTimer(hwnd, READ_ANIMATION_TIMER);
      // The frame takes its children down before the form goes: later calls must not reach a
      // window that is gone.
      if (g_hOpenFormWindow == hwnd) g_hOpenFormWindow = nullptr;
      m_hWnd = nullptr;
      m_hHtmlView = nullptr;
      return 0;
    case WM_ACTIVATE:
      ShellActivate(hwnd, wParam, lParam);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) PaintHeader(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SETTINGCHANGE:
      ShellSettingChange(hwnd, wParam, lParam);
      if (wParam == kSettingChangeResize) Layout();
      return 0;
    case WM_WINDOWPOSCHANGED:
      Layout();
      return 0;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (LOWORD(wParam) == IDM_CALL) {
        if (g_pszReadWindowLink) RequestVoiceCall(g_pszReadWindowLink);
      } else {
        OnCommand(LOWORD(wParam));
      }
      return 0;
    case WM_TIMER:
      if (wParam == READ_ANIMATION_TIMER) return AnimationTick();
      return 0;
    case WM_CLOSEOPENFORM:
      if (m_pForm) m_pForm->Close(0);
      return 0;
    default:
      DefWindowProcW(hwnd, message, wParam, lParam);
      return 0;
  }
}
