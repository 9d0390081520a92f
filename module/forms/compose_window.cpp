#include "forms/compose_window.h"

#include <aygshell.h>
#include <commctrl.h>

#include <cstdlib>

#include "forms/compose_form.h"
#include "forms/open_form.h"
#include "forms/picture.h"
#include "render/smiley_table.h"
#include "resources/resource.h"
#include "rule/module_entry.h"

namespace {

// The sizes below follow the screen, written against a 240 x 320 one.
int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }
int PanelHeight() { return ScreenHeight() * 104 / 320; }

constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kButtonRise = 24;  // from the window's bottom to the button's top
constexpr UINT kScrollInfoSize = 28;

// The panel's class procedure: the compose window's router, directed at PanelProc.
LRESULT CALLBACK PanelRouter(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    if (!create || !create->lpCreateParams) return -1;
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* window = reinterpret_cast<ComposeWindow*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
  return window ? window->PanelProc(hwnd, uMsg, wParam, lParam) : 0;
}

BOOL RegisterOnce(LPCWSTR pszClass, WNDPROC proc, HCURSOR cursor, int brush) {
  WNDCLASSW wc{};
  if (GetClassInfoW(ModuleInstance(), pszClass, &wc)) return TRUE;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = ModuleInstance();
  wc.hIcon = nullptr;
  wc.hCursor = cursor;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(brush));
  wc.lpszMenuName = nullptr;
  wc.lpszClassName = pszClass;
  return RegisterClassW(&wc) != 0;
}

}  // namespace

// ---- Seen-file list -------------------------------------------------------------------------

BOOL SeenFileContains(const SEENFILE* list, LPCWSTR file) {
  if (!file) return FALSE;
  for (const SEENFILE* node = list; node; node = node->next)
    if (wcscmp(node->file, file) == 0) return TRUE;
  return FALSE;
}

BOOL SeenFileAppend(SEENFILE** list, LPCWSTR file) {
  if (!list || !file) return FALSE;
  auto* node = static_cast<SEENFILE*>(LocalAlloc(LPTR, sizeof(SEENFILE)));
  if (!node) return FALSE;
  node->file = _wcsdup(file);
  if (!node->file) {
    LocalFree(node);
    return FALSE;
  }
  SEENFILE** tail = list;
  while (*tail) tail = &(*tail)->next;
  *tail = node;
  return TRUE;
}

void SeenFileFreeAll(SEENFILE** list) {
  if (!list) return;
  for (SEENFILE* node = *list; node; node = node->next) free(node->file);
  while (*list) {
    SEENFILE* next = (*list)->next;
    LocalFree(*list);
    *list = next;
  }
}

// ---- The object -----------------------------------------------------------------------------

ComposeWindow::ComposeWindow(IInboxFormProvider* pProvider, CCompMsgForm* pForm, IMessage* pMsg)
    : m_pMsg(pMsg), m_pForm(pForm), m_pProvider(pProvider) {
  if (m_pProvider) m_pProvider->AddRef();
  if (m_pMsg) m_pMsg->AddRef();
  g_hOpenFormWindow = nullptr;
}

ComposeWindow::~ComposeWindow() {
  // Normally gone with the frame already; a form released before its frame closes takes its
  // window along, so the window never calls into a deleted object.
  if (m_hwnd && IsWindow(m_hwnd)) {
    SetWindowLongPtrW(m_hwnd, GWL_USERDATA, 0);
    if (m_hwndPanel && IsWindow(m_hwndPanel)) SetWindowLongPtrW(m_hwndPanel, GWL_USERDATA, 0);
    DestroyWindow(m_hwnd);
  }
  if (m_hButtonBitmap) DeleteObject(m_hButtonBitmap);
  if (m_pMsg) m_pMsg->Release();
  if (m_pProvider) m_pProvider->Release();
  g_hOpenFormWindow = nullptr;
}

HRESULT ComposeWindow::Initialize(INBOXFORMCREATE*) { return S_OK; }

BOOL ComposeWindow::Create(HWND hwndFrame, HWND* phwnd) {
  if (m_hwnd) {
    SetForegroundWindow(m_hwnd);
    return TRUE;
  }
  m_hwndFrame = hwndFrame;
  RECT rc{};
  if (!GetClientRect(hwndFrame, &rc)) return FALSE;
  if (!RegisterAndCreate(COMPOSE_WINDOW_CLASS, COMPOSE_WINDOW_TITLE, WS_CHILD | WS_VISIBLE, &rc, hwndFrame,
                         nullptr))
    return FALSE;
  CreatePickerControls();
  if (phwnd) *phwnd = m_hwnd;
  return TRUE;
}

BOOL ComposeWindow::RegisterAndCreate(LPCWSTR pszClass, LPCWSTR pszTitle, DWORD dwStyle, const RECT* prc,
                                      HWND hwndParent, HMENU hMenu) {
  if (!prc || !RegisterOnce(pszClass, FormWindowRouter, LoadCursorW(nullptr, IDC_ARROW), WHITE_BRUSH)) return FALSE;
  HWND hwnd = CreateWindowExW(0, pszClass, pszTitle, dwStyle, 0, 0, prc->right - prc->left, prc->bottom - prc->top,
                              hwndParent, hMenu, ModuleInstance(), static_cast<CFormWindow*>(this));
  if (hwnd) m_hwnd = hwnd;
  return m_hwnd != nullptr;
}

void ComposeWindow::CreatePickerControls() {
  if (m_hwndPanel) return;
  RegisterOnce(SMILEY_PANEL_CLASS, PanelRouter, nullptr, LTGRAY_BRUSH);

  RECT client{};
  GetClientRect(m_hwnd, &client);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  const int y = ScreenHeight() - 2 * caption - PanelHeight() - GetSystemMetrics(SM_CYMENU);
  CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, SMILEY_PANEL_CLASS, SMILEY_PANEL_TITLE,
                  WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_VSCROLL, 0, y, client.right, PanelHeight(), m_hwnd,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SMILEY_PANEL)), ModuleInstance(), this);
  m_bPanelOpen = 0;

  m_hwndButton = CreateWindowExW(0, TEXT("STATIC"), TEXT(""), WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE,
                                 0, client.bottom - kButtonRise, kButtonWidth, kButtonHeight, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SMILEY_BUTTON)), nullptr, nullptr);
  if (m_hwndButton) {
    m_hButtonBitmap = static_cast<HBITMAP>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCE(IDB_SMILEY_BUTTON), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (m_hButtonBitmap) SendMessageW(m_hwndButton, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(m_hButtonBitmap));
    BringWindowToTop(m_hwndButton);
  }

  if (m_hwndPanel)
    m_hwndToolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, TEXT(""),
                                    WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | TBSTYLE_WRAPABLE |
                                        CCS_NODIVIDER | CCS_TOP,
                                    0, 0, ScreenWidth() - 40, 20, m_hwndPanel,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SMILEY_TOOLBAR)), nullptr, nullptr);
}

BOOL ComposeWindow::PreTranslate(MSG* pMsg) {
  if (!pMsg) return FALSE;
  if (pMsg->message == WM_ACTIVATE) {
    SHHandleWMActivate(m_hwnd, pMsg->wParam, pMsg->lParam, &g_ShellActivateInfo, 0);
  } else if (pMsg->message == WM_SETTINGCHANGE) {
    if (pMsg->wParam != SETTINGCHANGE_RESET)
      SHHandleWMSettingChange(m_hwnd, pMsg->wParam, pMsg->lParam, &g_ShellActivateInfo);
    else if (m_bPanelOpen && m_hwndPanel)
      SendMessageW(m_hwndPanel, WM_CLOSE, 0, 0);
    Layout();
  }
  return FALSE;
}

void ComposeWindow::Show(int nCmdShow) { ShowWindow(m_hwnd, nCmdShow); }

HRESULT ComposeWindow::SetMessage(WORD, IMessage* pMsg) {
  if (!pMsg) return E_INVALIDARG;
  pMsg->AddRef();
  if (m_pMsg) m_pMsg->Release();
  m_pMsg = pMsg;
  return S_OK;
}

void ComposeWindow::Layout() {
  if (!m_hwnd) return;
  RECT frame{};
  if (m_hwndFrame && GetClientRect(m_hwndFrame, &frame))
    MoveWindow(m_hwnd, 0, 0, frame.right - frame.left, frame.bottom - frame.top, TRUE);
  RECT client{};
  GetClientRect(m_hwnd, &client);
  if (m_pForm && m_pForm->InnerWindow())
    MoveWindow(m_pForm->InnerWindow(), 0, 0, client.right, client.bottom, TRUE);
  if (m_hwndButton) MoveWindow(m_hwndButton, 0, client.bottom - kButtonRise, kButtonWidth, kButtonHeight, TRUE);
}

void ComposeWindow::RaisePicker() {
  if (m_hwndButton) BringWindowToTop(m_hwndButton);
  if (m_hwndPanel) BringWindowToTop(m_hwndPanel);
  Layout();
}

LRESULT ComposeWindow::WindowProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_CREATE:
      m_hwnd = hwnd;
      break;
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      m_hwnd = nullptr;
      m_hwndPanel = m_hwndToolbar = m_hwndButton = nullptr;
      break;
    case WM_ACTIVATE:
      SHHandleWMActivate(hwnd, wParam, lParam, &g_ShellActivateInfo, 0);
      break;
    case WM_SETTINGCHANGE:
      SHHandleWMSettingChange(hwnd, wParam, lParam, &g_ShellActivateInfo);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      EndPaint(hwnd, &ps);
      break;
    }
    case WM_CLOSE: {
      CCompMsgForm* form = m_pForm;
      DestroyWindow(hwnd);
      if (form) form->CloseFrame();
      break;
    }
    case WM_NOTIFY:
    case 0x00B5:
    case WM_TIMER:
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == 0) OpenPanel();
      break;
    case WM_CLOSEOPENFORM:
      if (m_pForm) m_pForm->Close(0);
      break;
    default:
      DefWindowProcW(hwnd, uMsg, wParam, lParam);
      break;
  }
  return 0;
}

LRESULT ComposeWindow::PanelProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_CREATE:
      m_hwndPanel = hwnd;
      break;
    case WM_DESTROY:
      SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
      break;
    case WM_CLOSE:
      m_bPanelOpen ^= 1;
      if (!m_bPanelOpen) {
        ShowWindow(m_hwndButton, SW_SHOWNORMAL);
        ShowWindow(hwnd, SW_HIDE);
      }
      break;
    case WM_COMMAND:
      if (lParam && reinterpret_cast<HWND>(lParam) == m_hwndToolbar) InsertSmiley(LOWORD(wParam));
      break;
    case WM_VSCROLL:
      ScrollPanel(wParam);
      break;
    default:
      DefWindowProcW(hwnd, uMsg, wParam, lParam);
      break;
  }
  return 0;
}

// ---- The picker -----------------------------------------------------------------------------

void ComposeWindow::OpenPanel() {
  m_bPanelOpen ^= 1;
  ShowWindow(m_hwndButton, SW_HIDE);
  if (!m_hwndPanel) return;
  RECT rc{};
  GetWindowRect(m_hwnd, &rc);
  MoveWindow(m_hwndPanel, 0, rc.bottom - PanelHeight() - GetSystemMetrics(SM_CYCAPTION) - 4, rc.right, PanelHeight(),
             FALSE);
  if (m_hwndToolbar) {
    MoveWindow(m_hwndToolbar, 0, 0, ScreenWidth(), 20, FALSE);
    SendMessageW(m_hwndToolbar, TB_AUTOSIZE, 0, 0);
  }
  FillToolbar();
  ShowWindow(m_hwndToolbar, SW_SHOWNORMAL);
  BringWindowToTop(m_hwndToolbar);
  ShowWindow(m_hwndPanel, SW_SHOWNORMAL);
}

void ComposeWindow::FillToolbar() {
  if (!m_hwndToolbar) return;
  SEENFILE* seen = nullptr;
  if (!m_bToolbarFilled) {
    m_bToolbarFilled = 1;
    SendMessageW(m_hwndToolbar, TB_BUTTONSTRUCTSIZE, TBBUTTON_PLATFORM_SIZE, 0);
    SendMessageW(m_hwndToolbar, TB_SETBUTTONSIZE, 0, MAKELONG(12, 12));
    SendMessageW(m_hwndToolbar, TB_SETBUTTONWIDTH, 0, MAKELONG(12, 14));
    SendMessageW(m_hwndToolbar, TB_SETBITMAPSIZE, 0, MAKELONG(20, 20));
    SendMessageW(m_hwndToolbar, TB_SETINDENT, 0, 0);
    SendMessageW(m_hwndToolbar, TB_AUTOSIZE, 0, 0);

    int k = 0;
    for (LONG i = 0; i < g_SmileyCount && g_SmileyTable; ++i) {
      const SMILEYENTRY& entry = g_SmileyTable[i];
      WCHAR name[16];
      wsprintfW(name, TEXT("%d"), static_cast<int>(i));
      if (!entry.file || SeenFileContains(seen, entry.file)) continue;
      SeenFileAppend(&seen, entry.file);
      PICTURE* picture = GetSmileyImage(name);
      if (!picture || !picture->hBitmap) continue;
      TBADDBITMAP add{nullptr, reinterpret_cast<UINT_PTR>(picture->hBitmap)};
      SendMessageW(m_hwndToolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&add));
      TBBUTTON button{};
      button.iBitmap = k;
      button.idCommand = IDC_FIRST_SMILEY + k;
      button.fsState = TBSTATE_ENABLED;
      button.fsStyle = 0;
      button.dwData = reinterpret_cast<DWORD_PTR>(entry.code);
      button.iString = 0;
      SendMessageW(m_hwndToolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
      ++k;
    }
    RECT rows{};
    SendMessageW(m_hwndToolbar, TB_SETROWS, MAKEWPARAM(3, 1), reinterpret_cast<LPARAM>(&rows));
    SendMessageW(m_hwndToolbar, TB_AUTOSIZE, 0, 0);
  }

  RECT toolbar{}, panel{};
  GetClientRect(m_hwndToolbar, &toolbar);
  GetClientRect(m_hwndPanel, &panel);
  const int excess = toolbar.bottom - panel.bottom > 0 ? toolbar.bottom - panel.bottom : 0;
  SCROLLINFO info{};
  info.cbSize = kScrollInfoSize;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = excess;
  info.nPage = static_cast<UINT>(excess / 5);
  info.nPos = 0;
  SetScrollInfo(m_hwndPanel, SB_VERT, &info, TRUE);
  m_nScrollPos = 0;
  SeenFileFreeAll(&seen);
}

void ComposeWindow::InsertSmiley(int id) {
  TBBUTTONINFOW info{};
  info.cbSize = TBBUTTONINFO_PLATFORM_SIZE;
  info.dwMask = TBIF_LPARAM;
  if (SendMessageW(m_hwndToolbar, TB_GETBUTTONINFOW, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&info)) < 0)
    return;  // no such button: nothing to insert
  auto code = reinterpret_cast<LPCWSTR>(info.lParam);
  if (!code) return;
  if (HWND focus = GetFocus()) SendMessageW(focus, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(code));
}

void ComposeWindow::ScrollPanel(WPARAM wParam) {
  SCROLLINFO info{};
  info.cbSize = kScrollInfoSize;
  info.fMask = SIF_RANGE | SIF_POS;
  if (!GetScrollInfo(m_hwndPanel, SB_VERT, &info)) return;
  const int step = info.nMax / 5;
  int delta = 0;
  switch (LOWORD(wParam)) {
    case SB_LINEUP:
    case SB_PAGEUP:
      if (m_nScrollPos < 1) return;
      delta = -(step < m_nScrollPos ? step : m_nScrollPos);
      break;
    case SB_LINEDOWN:
    case SB_PAGEDOWN:
      if (m_nScrollPos >= info.nMax) return;
      delta = step < info.nMax - m_nScrollPos ? step : info.nMax - m_nScrollPos;
      break;
    case SB_THUMBPOSITION:
      delta = static_cast<short>(HIWORD(wParam)) - m_nScrollPos;
      break;
    default:
      return;
  }
  m_nScrollPos += delta;
  SetScrollPos(m_hwndPanel, SB_VERT, m_nScrollPos, TRUE);
  ScrollWindowEx(m_hwndPanel, 0, -delta, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN);
}
