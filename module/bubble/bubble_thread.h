// The bubble thread: a thread of its own that owns a hidden window of the class
// "SMS_RAVLO_THREAD_CLASS", so that the Inbox's thread hands each new notification to it as a
// window message and never waits for a window, a sound or the person.
//
// Threads: ProcessMessage (the Inbox's thread) starts the thread, reads the two flags and the
// window handle, and sends or posts to the window. The bubble thread sets the flags and the
// window; its window procedure handles the private messages. The flags and handles are atomic
// words, each written by one thread at a time and read by the other without a lock.
#pragma once

#include <windows.h>
#include <aygshell.h>

#include <atomic>

// Private messages of the thread window.
// wParam: 1 = show in the module's own popup window, 0 = through the platform's notifications;
// lParam: the SHNOTIFICATIONDATA request, which lives only until the send returns.
#define WM_ADDNOTIFICATION (WM_USER + 0x8C)
// wParam 0; lParam: the notification number, or -1 to end the thread without removing a record.
#define WM_REMOVENOTIFICATION (WM_USER + 0x8D)
// Posted right after WM_ADDNOTIFICATION; both parameters 0.
#define WM_SOUNDINITIALIZE (WM_USER + 0x8E)
// From the popup window: wParam 1 shown, 0 hidden; lParam the notification number.
#define WM_BUBBLEVISIBILITY (WM_USER + 0x8F)

#define BUBBLE_THREAD_CLASS TEXT("SMS_RAVLO_THREAD_CLASS")
#define BUBBLE_THREAD_WINDOW_TITLE TEXT("RavloMail-Pellix Thread Window")

// Set from the moment the thread is created until the end of its shut-down.
extern std::atomic<BOOL> g_bBubbleThreadRunning;
// Set once the thread window and the soft-key menus exist; cleared by the shut-down.
extern std::atomic<BOOL> g_bBubbleWindowReady;
// The thread's hidden window, or null.
extern std::atomic<HWND> g_hBubbleThreadWindow;
// As CreateThread gave them. Whoever takes the handle out (exchange) closes it.
extern std::atomic<HANDLE> g_hBubbleThread;
extern std::atomic<DWORD> g_dwBubbleThreadId;

// Guards the sound player; made when the thread starts, deleted when it ends.
extern CRITICAL_SECTION g_csSound;

// What the window procedure puts into a platform notification: A for reports (menu 108),
// B for ordinary messages (menu 118 with NotificationReplyDefault, else 107). The command arrays
// are heap arrays, freed by the shut-down.
extern SOFTKEYMENU g_skmReport;
extern SOFTKEYMENU g_skmMessage;

// Starts the bubble thread (stack size 4096) and stores its handle and id. The running flag is
// set before the thread exists.
void StartBubbleThread();

// The thread procedure: window class, thread window, soft-key menus, message loop, and on the
// way out (also after an exception) ShutdownBubbleThread.
DWORD WINAPI BubbleThread(LPVOID);

// The thread window's procedure.
LRESULT CALLBACK BubbleWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Ends everything the bubble thread owns: the soft-key menus, every listed notification (the
// counter goes back to 40), the thread window. Called on another thread while the bubble thread
// runs, it asks the thread to quit and waits for it, and the thread's own end does the rest.
void ShutdownBubbleThread();
