// The bubble's shape and background pictures: a bitmap stretched to a size, a window region
// cut from a bitmap (its white pixels are kept), and a faded copy of the screen behind the
// bubble. All run on the bubble thread.
#pragma once

#include <windows.h>

// A new bitmap of width x height holding `bitmap` stretched; null for a missing bitmap, a
// size below 1 or any failure. The caller deletes it.
HBITMAP StretchBitmap(HBITMAP bitmap, int width, int height);

// Makes *region from the pixels of `bitmap` that come out white in a one-bit copy, one
// rectangle per horizontal run. Returns 0, or 2 (with *region null) when something could not
// be made. The region belongs to the caller, or to the window it is given to.
int BuildSkinRegion(HBITMAP bitmap, HRGN* region);

// Paints the window colour over (0, 0, width, height) of `bitmap` (a new compatible bitmap
// when null) and blends the screen rectangle at (x, y) over it with the constant `alpha`.
// A width or height of 0 means the screen's. Returns the bitmap; a new one is the caller's.
HBITMAP CaptureBackground(int x, int y, int width, int height, HBITMAP bitmap, BYTE alpha);

// The rectangles of the white runs of a one-bit, bottom-up DIB of width x height, as
// BuildSkinRegion finds them. With `rects` null only counts; otherwise fills at most
// `capacity` rectangles. Returns the number of runs.
DWORD ScanSkinRuns(const BYTE* bits, int width, int height, RECT* rects, DWORD capacity);
