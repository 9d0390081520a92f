#include "bubble/bubble_thread.h"

#include <objbase.h>

#include <cstdlib>
#include <iterator>

#include "bubble/alerts.h"
#include "bubble/bubble_window.h"
#include "bubble/popup_window.h"
#include "core/debug_log.h"
#include "forms/open_form.h"
#include "core/settings.h"
#include "render/smiley_table.h"
#include "resources/resource.h"
#include "rule/notification_list.h"

std::atomic<BOOL> g_bBubbleThreadRunning{FALSE};
std::atomic<BOOL> g_bBubbleWindowReady{FALSE};
std::atomic<HWND> g_hBubbleThreadWindow{nullptr};
std::atomic<HANDLE> g_hBubbleThread{nullptr};
std::atomic<DWORD> g_dwBubbleThreadId{0};
CRITICAL_SECTION g_csSound;
SOFTKEYMENU g_skmReport = {};
SOFTKEYMENU g_skmMessage = {};

namespace {

// How long (device milliseconds) another thread waits, at most, for the bubble thread to end.
// The quit reaches the thread at once, also inside a message box or menu of its own (their
// modal loops end on it), so this bound matters only for a thread stuck outside any loop.
const DWORD kQuitWait = 10000;

// The module's own instance, for its menu resources.
HINSTANCE ModuleInstance() { return GetModuleHandleW(TEXT("PellixRule.dll")); }

HANDLE TakeThreadHandle() {
  return g_hBubbleThread.exchange(nullptr);
}

void LoadSoftKeyMenu(SOFTKEYMENU* menu, UINT resource, const SOFTKEYCMD* commands, UINT count) {
  menu->hMenu = LoadMenuW(ModuleInstance(), MAKEINTRESOURCE(resource));
  menu->prgskc = static_cast<SOFTKEYCMD*>(malloc(count * sizeof(SOFTKEYCMD)));
  menu->cskc = 0;
  if (!menu->prgskc) return;
  for (UINT i = 0; i < count; ++i) menu->prgskc[i] = commands[i];
  menu->cskc = count;
}

void FreeSoftKeyMenu(SOFTKEYMENU* menu) {
  free(menu->prgskc);
  if (menu->hMenu) DestroyMenu(menu->hMenu);
  menu->hMenu = nullptr;
  menu->prgskc = nullptr;
  menu->cskc = 0;
}

void LoadSoftKeyMenus() {
  static const SOFTKEYCMD report[] = {
      {IDM_DISMISS, 0}, {IDM_DELETE, 0}, {IDM_MARK_READ, 0}};
  // 40006 has no menu item; the bubble keeps itself open for it.
  static const SOFTKEYCMD message[] = {
      {IDM_DISMISS, 0},   {IDM_REPLY, 0}, {IDM_DELETE, 0},  {IDM_CALL_SENDER, 0},
      {IDM_MARK_READ, 0}, {40006, NOTIF_SOFTKEY_FLAGS_STAYOPEN}, {IDM_FORWARD, 0}};
  LoadSoftKeyMenu(&g_skmReport, IDR_MENU_REPORT, report, static_cast<UINT>(std::size(report)));
  LoadSoftKeyMenu(&g_skmMessage,
                  g_Settings.NotificationReplyDefault ? IDR_MENU_REPLY : IDR_MENU_MARKREAD,
                  message, static_cast<UINT>(std::size(message)));
}

// Waits for the thread to end while answering what other threads send to this one: the bubble
// thread may be sending to a window of this thread on its way out (a read form, a menu bar).
BOOL WaitForThreadEnd(HANDLE thread, DWORD start) {
  MSG msg;
  for (;;) {
    const BOOL ended = thread ? WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 : !g_bBubbleThreadRunning;
    if (ended) return TRUE;
    if (GetTickCount() - start >= kQuitWait) return FALSE;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    if (thread) WaitForSingleObject(thread, 1);
    else Sleep(1);
  }
}

// Asks a running bubble thread, from another thread, to leave its message loop, and waits until
// it has ended. Returns FALSE when it did not end in time.
BOOL QuitBubbleThread() {
  HANDLE thread = TakeThreadHandle();
  const DWORD start = GetTickCount();
  // The quit goes at once, not when the thread is ready: a thread still starting finds it in its
  // message loop, and one held in its "Failed creating windows!" box leaves the box for it.
  // Posting fails only until the thread has an id and a queue (or once it has ended).
  while (g_bBubbleThreadRunning && !PostThreadMessageW(g_dwBubbleThreadId, WM_QUIT, 0, 0) &&
         GetTickCount() - start < kQuitWait)
    Sleep(1);
  const BOOL ended = WaitForThreadEnd(thread, start);
  if (thread) CloseHandle(thread);
  return ended;
}

}  // namespace

void StartBubbleThread() {
  // A thread that ended before its handle was stored left the handle behind.
  if (HANDLE stale = TakeThreadHandle()) CloseHandle(stale);
  g_hBubbleThreadWindow = nullptr;
  // Set before the thread exists, so that ProcessMessage's wait for the window cannot pass
  // before the thread's first step.
  g_bBubbleThreadRunning = TRUE;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 4096, BubbleThread, nullptr, 0, &id);
  if (!thread) {
    g_bBubbleThreadRunning = FALSE;
    return;
  }
  g_dwBubbleThreadId = id;
  g_hBubbleThread = thread;
}

DWORD WINAPI BubbleThread(LPVOID) {
  WriteLog(TEXT("Bubble thread started!\r\n"));
  g_bBubbleThreadRunning = TRUE;
  // Also stored by the starter once CreateThread returns; the thread's own end must already
  // know it is on the bubble thread.
  g_dwBubbleThreadId = GetCurrentThreadId();
  BOOL comStarted = FALSE;
  BOOL soundLock = FALSE;
  try {
    InitSound();
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, 0));
    InitializeCriticalSection(&g_csSound);
    soundLock = TRUE;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = BubbleWndProc;
    wc.lpszClassName = BUBBLE_THREAD_CLASS;
    RegisterClassW(&wc);  // fails harmlessly when an earlier thread registered it
    g_hBubbleThreadWindow = CreateWindowExW(0, BUBBLE_THREAD_CLASS, BUBBLE_THREAD_WINDOW_TITLE, 0,
                                            0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    CreateBubbleWindows();

    if (!g_hBubbleThreadWindow) {
      MessageBoxW(nullptr, TEXT("Failed creating windows!"), TEXT("Error"), MB_OK);
    } else {
      LoadSoftKeyMenus();
      g_bBubbleWindowReady = TRUE;
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_QUIT) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  } catch (...) {
    WriteLog(TEXT("Exception accoured in bubble thread!!\r\n"));
  }

  if (soundLock) DeleteCriticalSection(&g_csSound);
  ShutdownBubbleThread();
  UnloadSoundLibrary();
  if (HANDLE self = TakeThreadHandle()) CloseHandle(self);
  if (comStarted) CoUninitialize();
  WriteLog(TEXT("Bubble Thread exited!\r\n"));
  return 0;
}

void ShutdownBubbleThread() {
  if (g_bBubbleThreadRunning && GetCurrentThreadId() != g_dwBubbleThreadId) {
    // The thread window and what hangs on it belong to the bubble thread: its own end runs the
    // shut-down there. If it did not end, leave its state alone rather than race it.
    QuitBubbleThread();
    return;
  }
  if (!g_bBubbleThreadRunning) {
    // A thread that ended before its handle was stored left the handle behind.
    if (HANDLE stale = TakeThreadHandle()) CloseHandle(stale);
  }

  g_bBubbleWindowReady = FALSE;
  FreeSoftKeyMenu(&g_skmReport);
  FreeSoftKeyMenu(&g_skmMessage);
  // Each listed notification also leaves the platform and the popup.
  if (!IsSmsListEmpty()) {
    WriteLog(TEXT("Exiting thread while some notifications wasnt cleared!!\r\n"));
    ClearSmsList([](DWORD number) { RemoveBubble(&CLSID_PellixBubble, number); });
  }
  // Notifications the popup still holds without a record (hidden ones whose record went).
  while (BubbleEntryCount() > 0) RemoveBubble(&CLSID_PellixBubble, FirstBubbleNumber());
  DestroyBubbleWindows();
  g_dwNotificationNumber = NOTIFICATION_NUMBER_FIRST;
  if (g_hBubbleThreadWindow) {
    DestroyWindow(g_hBubbleThreadWindow);
    UnregisterClassW(BUBBLE_THREAD_CLASS, nullptr);
  }
  g_hBubbleThreadWindow = nullptr;
  CloseWavPlayer();
  ResetBubbleWindowState();
  // A read window may still show the smiley pictures; it releases them itself then.
  FreeSmileyImagesUnlessInUse();
  g_bBubbleThreadRunning = FALSE;
}
