// The bubble thread window's procedure: shows each new notification in the popup (or through
// the platform), starts and stops the alerts, animates the smileys of the shown bubble, answers
// the HTML view's link taps and picture requests, and carries out the soft-key and menu
// commands through the bubble's actions.
//
// Threads: the bubble thread only (WM_ADDNOTIFICATION is sent from the Inbox's thread and runs
// here while the sender waits). The state below is touched only there.
#pragma once

#include <windows.h>

// The title-bar icon's notification class and number (CompatibilityMode).
extern const CLSID CLSID_PellixIcon;
#define ICON_NOTIFICATION_NUMBER 22

#define BUBBLE_ANIMATION_TIMER 2
#define BUBBLE_VIBRATION_TIMER 3

// The last tapped plain link (or "mailto:" and an address) and the bubble it was tapped in.
extern LPWSTR g_pszPendingLink;
extern DWORD g_dwPendingLinkNumber;
extern BOOL g_bVibrating;
extern DWORD g_dwIconNotificationNumber;

// Forgets the window's state (the bubble thread's end).
void ResetBubbleWindowState();

// One animation step: the next frame of every animated smiley, redrawn. FALSE when paused (a
// read window animates, or nothing is shown).
BOOL StepSmileyAnimation();
