// The skin description: where the notification bubble stands, how large it is, the picture
// that cuts its outline, the insets of its inner window and HTML view, its caption strip,
// translucency, growth with its content and the frame delay of animated smileys. LoadSkin
// reads it from the active skin's "skin.ini"; the bubble and the read window read the
// fields directly.
//
// Threads: LoadSkin runs on the thread that initialises the module and later on the bubble
// thread, never on both at once (the first load happens before the bubble thread can start);
// the bubble thread reads the record. No lock.
#pragma once

#include <windows.h>

struct SKINDESCRIPTION {
  // Expressions ("skin.ini" values in quotes), in pixels.
  int NotifyWndHeight;   // starting height of the bubble
  int NotifyWndStartX;   // 0 or less: counted from the right screen edge
  int NotifyWndStartY;   // 0 or less: counted from the bottom screen edge
  int NotifyWndWidth;    // 0 or less: added to the screen width
  int CaptionHeight;
  WCHAR SkinBMP[MAX_PATH];  // full path of the shape picture: skin folder + "SkinBMP"
  // Integers (unquoted); a skin that does not set one keeps the previous skin's value.
  int AlphaBlendBackground;  // 0..255
  int DynamicHeight;         // exactly 1: the bubble grows with its content
  // Insets of the inner window from the bubble's client area (expressions).
  int Left;
  int Top;
  int Right;
  int Bottom;
  // Insets of the HTML view from the inner window's client area (expressions).
  int HTMLLeft;
  int HTMLTop;
  int HTMLRight;
  int HTMLBottom;
  int GifFrameDelay;  // ms between frames of animated smileys (integer)
  // Set when any value read by the last LoadSkin mentions "_NotifyHeight": NotifyWndStartY
  // then gives the bubble's bottom edge.
  BOOL BottomAnchor;
};

extern SKINDESCRIPTION g_Skin;

// The record as it is before any skin is read.
extern const SKINDESCRIPTION g_BuiltInSkin;

// Reads the active skin's "skin.ini" into g_Skin. Without the file the record stays as it was.
void LoadSkin();

// Writes the active skin's folder, ending in "\", into `folder` (cut to `cchFolder`
// characters): InstallDir, "\" when it does not end in one, "Skins\", SkinName, "\".
void GetSkinFolderPath(WCHAR* folder, size_t cchFolder);
