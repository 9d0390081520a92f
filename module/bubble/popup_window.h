// The module's own notification bubble: a top-most popup cut to the shape of the skin's
// picture, holding an inner window with a caption strip and the HTML view, plus a menu bar with
// the notification's soft keys. Each notification is registered with the platform's
// notification manager with the popup as its sink; the popup appears when the manager asks it
// to show one (SHNN_SHOW), hides after 15 seconds, on a tap elsewhere or by a soft key, and can
// be shown again from the title bar.
//
// Threads: everything runs on the bubble thread, except mySHOnceDeInit, which runs on the thread
// that destroys the rule client or unloads the module, after the bubble thread has ended.
#pragma once

#include <windows.h>
#include <aygshell.h>

#define POPUP_WINDOW_CLASS TEXT("HTMLWINDOWCLASS")
#define POPUP_INNER_CLASS TEXT("HTMLWINDOWCLASS2")
// Forwarded like WM_NOTIFY: the platform's notifications that reach the popup by another way.
#define WM_POPUPNOTIFY 0x0490
#define POPUP_HIDE_TIMER 1
#define POPUP_HIDE_MS 15000

// What the bubble window hands QueueBubble for one notification; QueueBubble keeps a copy.
struct BubbleRequest {
  SHNOTIFICATIONDATA notification;  // the completed request
  HWND menuBar;                     // set by QueueBubble
  SOFTKEYMENU softKeys;             // soft-key menu A or B
  DWORD menuResource;               // 108, 107 or 118
  DWORD height;                     // set by QueueBubble
};

// The message bubble class of every notification the bubble adds.
extern const CLSID CLSID_PellixBubble;

extern HWND g_hPopupWindow;
extern HWND g_hPopupInner;
extern HWND g_hPopupView;
// The notification on screen, 0 when none.
extern DWORD g_dwShownNumber;
// Where the person last tapped the HTML view (screen coordinates).
extern POINT g_ptTap;
extern HMODULE g_hHtmlLibrary;
// The latest "DesktopBackground" picture, or null (the bubble window's; refreshed before each
// showing).
extern HBITMAP g_hBackgroundBitmap;

// Loads the style sheet, the skin and "htmlview.dll"; returns InitHTMLControl's result.
BOOL mySHOnceInit();
// Releases what mySHOnceInit loaded, and the page templates.
void mySHOnceDeInit();

// Creates the classes and the windows; once per bubble thread, at its start.
void CreateBubbleWindows();
// Destroys the windows (the bubble thread's end).
void DestroyBubbleWindows();
// Registers a notification with the platform and keeps a copy of the request. Returns 0.
DWORD QueueBubble(const BubbleRequest* request);
void ShowBubble(DWORD number);
void HideBubble();
// Takes a notification off the platform and out of the popup's list. 1 when it had no entry.
DWORD RemoveBubble(const CLSID* clsid, DWORD number);
void RestartHideTimer();
HWND CreateBubbleMenuBar(UINT menuResource);
// Places and sizes the popup for a notification (0: the skin's height) and cuts its shape.
void LayoutBubble(DWORD number);
LRESULT CALLBACK HtmlWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The number of notifications the popup holds (tests and the shut-down).
int BubbleEntryCount();
// The number of the oldest notification the popup holds, 0 when none.
DWORD FirstBubbleNumber();
