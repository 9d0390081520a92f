// The menu of a tapped telephone number ("Send SMS", "Call", "Save to contacts"), shared by the
// bubble and the read window. Its commands go to `owner` as WM_COMMAND.
//
// Threads: the thread that owns `owner`; the call returns when the person has chosen or
// dismissed the menu.
#pragma once

#include <windows.h>

// Tracks the first pop-up of menu resource 116 at `at` (screen coordinates). Does nothing when
// the menu cannot be loaded.
void TrackNumberMenu(HWND owner, POINT at);
