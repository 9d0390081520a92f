// What the bubble and the read window share across their threads: the open read window (the
// bubble closes it before showing a notification), whether the read window is animating the
// smileys itself (the bubble's animation then pauses), and who else is drawing the smiley
// pictures (so that the bubble thread's end never releases pictures a read window still shows).
//
// Threads: the read window (the Inbox's user-interface thread) sets the window and the flag and
// holds a smiley-picture use while it is open; the bubble thread reads them. Plain atomics and
// one lock of their own.
#pragma once

#include <windows.h>
#include <aygshell.h>

#include <atomic>

// Message the bubble sends an open read or compose window before it shows a notification; the
// window closes its form.
#define WM_CLOSEOPENFORM 0x0491

// The open read window, or null.
extern std::atomic<HWND> g_hOpenFormWindow;
// Set while a read window animates the smileys (the same pictures the bubble animates).
extern std::atomic<BOOL> g_bReadWindowAnimating;
// The shell's activation record of the read and compose windows (the Inbox's thread only).
extern SHACTIVATEINFO g_ShellActivateInfo;

// A window that shows smiley pictures outside the bubble thread takes a use when it starts to
// show them and gives it back when it no longer does.
void AddSmileyPictureUse();
void ReleaseSmileyPictureUse();
// The bubble thread's end: frees the smiley pictures unless another window still uses them.
// Returns TRUE when they were freed.
BOOL FreeSmileyImagesUnlessInUse();

// Held while an animation step decodes the next frames into the shared pictures, so the bubble
// and a read window never step the same picture at once.
void LockSmileyAnimation();
void UnlockSmileyAnimation();
