// Picture objects: a picture file decoded by the platform's imaging library into a DIB section
// that always shows the current frame over white. The decoder is kept for the picture's life, so
// an animation step decodes the next frame into the same bitmap image and bitmap and allocates
// nothing. An animated picture also keeps the finished bits of each frame once it has drawn it
// (StepPictureFrame), so that later rounds of its animation only copy them into the bitmap.
//
// Threads: a picture is used by the thread that owns the window showing it (the bubble thread or
// the forms' thread); smiley pictures are shared through the smiley table, which frees them only
// while no window shows them.
#pragma once

#include <windows.h>

struct IStream;
struct IImage;
struct IImageDecoder;
struct IBitmapImage;

struct PICTURE {
  HBITMAP hBitmap;             // DIB section with the current frame over white; owned
  HLOCAL hFileData;            // the whole file; the stream frees it when released
  IBitmapImage* pBitmapImage;  // frames are decoded into it; owned
  LONG height;
  LONG width;
  UINT frame;                  // current frame index
  UINT frameCount;             // frames along time; 1 for a still picture
  IStream* pStream;            // over hFileData; owned
  IImageDecoder* pDecoder;     // kept for later frames; owned
  HANDLE hFile;                // INVALID_HANDLE_VALUE when no file is open
  IImage* pImage;              // the bitmap image's drawing interface; owned
  WCHAR path[MAX_PATH];
  BYTE* pFrameBits;            // an animated picture's kept frames (frameCount x cbFrame), or null; owned
  BYTE* pFrameKept;            // per frame: non-zero once its bits are kept (same block)
  DWORD cbFrame;               // bytes of the bitmap's bits, one frame
};

// Sets every field to its empty value; call before LoadPictureFromFile.
void InitPicture(PICTURE* picture);
// Loads and decodes frame 0 of the file at `path`. On failure the caller still calls
// ReleasePicture, which frees whatever the load left.
HRESULT LoadPictureFromFile(PICTURE* picture, LPCWSTR path);
// Releases everything the picture holds; the object itself belongs to its owner.
void ReleasePicture(PICTURE* picture);
// Decodes the frame named by picture->frame into the bitmap image.
void DecodePictureFrame(PICTURE* picture);
// Draws the bitmap image into the picture's bitmap over white.
void RedrawPicture(PICTURE* picture);
// One animation step: the next frame (after the last, the first) into the picture's bitmap. A
// frame is decoded and drawn the first time only; after that its kept bits are copied into the
// bitmap. Allocates nothing. The bitmap image keeps the last frame decoded.
// Kept bits are copied into the DIB section's memory directly, as the platform allows, not
// through a drawing call: a thread that draws a shared picture while another may step it must
// hold the smiley animation lock (LockSmileyAnimation) for the draw as the stepping thread does.
void StepPictureFrame(PICTURE* picture);
// A new DIB section of the image's size with the image drawn over white; the caller owns it.
HBITMAP ImageToBitmap(IImage* image, COLORREF background);
// Fills `rect` with white whatever `color` says (every caller passes white).
void FillWhite(HDC dc, const RECT* rect, COLORREF color);
