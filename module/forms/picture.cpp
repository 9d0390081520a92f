#include "forms/picture.h"

#include <imaging.h>

#include <cstring>

namespace {

template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) {
    p->Release();
    p = nullptr;
  }
}

// Reads the whole file into a new block and puts a stream over it that frees the block when
// released. Returns the stream, or null.
IStream* ReadWholeFile(PICTURE* picture) {
  DWORD size = GetFileSize(picture->hFile, nullptr);
  if (size == INVALID_FILE_SIZE) {
    CloseHandle(picture->hFile);
    picture->hFile = INVALID_HANDLE_VALUE;
    return nullptr;
  }
  picture->hFileData = LocalAlloc(LMEM_FIXED, size);
  if (!picture->hFileData) {
    CloseHandle(picture->hFile);
    picture->hFile = INVALID_HANDLE_VALUE;
    return nullptr;
  }
  DWORD read = 0;
  BOOL ok = ReadFile(picture->hFile, picture->hFileData, size, &read, nullptr);
  CloseHandle(picture->hFile);
  picture->hFile = INVALID_HANDLE_VALUE;
  IStream* stream = nullptr;
  if (ok && SUCCEEDED(CreateStreamOnHGlobal(picture->hFileData, TRUE, &stream))) return stream;
  // A stream that cannot take the block over gets a copy of the bytes instead.
  if (ok && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) {
    ULONG written = 0;
    LARGE_INTEGER start = {};
    if (FAILED(stream->Write(picture->hFileData, read, &written)) || written != read ||
        FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) {
      stream->Release();
      stream = nullptr;
    }
  }
  LocalFree(picture->hFileData);
  picture->hFileData = nullptr;
  return stream;
}

// Frames an animated picture keeps, at most, in bytes: the smileys and a contact's animated
// picture fit many times over; a large animation is decoded at each step instead.
const DWORD kMostKeptFrameBytes = 1024 * 1024;

// The bitmap's own bits and their size, or null.
BYTE* BitmapBits(HBITMAP bitmap, DWORD* size) {
  DIBSECTION dib = {};
  if (!bitmap || GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || !dib.dsBm.bmBits) return nullptr;
  *size = static_cast<DWORD>(dib.dsBm.bmWidthBytes) * static_cast<DWORD>(dib.dsBm.bmHeight);
  return static_cast<BYTE*>(dib.dsBm.bmBits);
}

// Makes room for the frames of an animated picture and keeps frame 0, which the bitmap shows.
void KeepFrames(PICTURE* picture) {
  DWORD size = 0;
  const BYTE* bits = BitmapBits(picture->hBitmap, &size);
  if (!bits || size == 0 || picture->frameCount < 2) return;
  const ULONGLONG total = static_cast<ULONGLONG>(size + 1) * picture->frameCount;
  if (total > kMostKeptFrameBytes) return;
  auto* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, static_cast<UINT>(total)));
  if (!block) return;
  picture->pFrameBits = block;
  picture->pFrameKept = block + static_cast<size_t>(size) * picture->frameCount;
  picture->cbFrame = size;
  memcpy(picture->pFrameBits, bits, size);
  picture->pFrameKept[0] = 1;
}

}  // namespace

void InitPicture(PICTURE* picture) {
  picture->hBitmap = nullptr;
  picture->hFileData = nullptr;
  picture->pBitmapImage = nullptr;
  picture->height = 0;
  picture->width = 0;
  picture->frame = 0;
  picture->frameCount = 0;
  picture->pStream = nullptr;
  picture->pDecoder = nullptr;
  picture->hFile = INVALID_HANDLE_VALUE;
  picture->pImage = nullptr;
  picture->path[0] = 0;
  picture->pFrameBits = nullptr;
  picture->pFrameKept = nullptr;
  picture->cbFrame = 0;
}

HRESULT LoadPictureFromFile(PICTURE* picture, LPCWSTR path) {
  HRESULT hr = StringCchCopyW(picture->path, MAX_PATH, path);
  if (FAILED(hr)) return hr;

  picture->hFile = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (picture->hFile == INVALID_HANDLE_VALUE) return E_FAIL;
  picture->pStream = ReadWholeFile(picture);
  if (!picture->pStream) return E_FAIL;
  // The stream owns the block from here on.
  picture->hFileData = nullptr;

  CoInitializeEx(nullptr, 0);
  IImagingFactory* factory = nullptr;
  hr = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                        reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;

  ImageInfo info = {};
  hr = factory->CreateImageDecoder(picture->pStream, DecoderInitFlagNone, &picture->pDecoder);
  if (SUCCEEDED(hr)) hr = picture->pDecoder->GetImageInfo(&info);
  if (SUCCEEDED(hr)) {
    picture->height = static_cast<LONG>(info.Height);
    picture->width = static_cast<LONG>(info.Width);
    hr = factory->CreateNewBitmap(info.Width, info.Height, info.PixelFormat, &picture->pBitmapImage);
  }
  if (SUCCEEDED(hr))
    hr = picture->pBitmapImage->QueryInterface(IID_IImage, reinterpret_cast<void**>(&picture->pImage));
  if (SUCCEEDED(hr)) {
    picture->frame = 0;
    UINT frames = 0;
    if (FAILED(picture->pDecoder->GetFrameCount(&FrameDimensionTime, &frames)) || frames == 0)
      frames = 1;
    picture->frameCount = frames;
    DecodePictureFrame(picture);
    picture->hBitmap = ImageToBitmap(picture->pImage, RGB(255, 255, 255));
    KeepFrames(picture);
  }
  factory->Release();
  return hr;
}

void ReleasePicture(PICTURE* picture) {
  if (!picture) return;
  ReleaseAndClear(picture->pImage);
  ReleaseAndClear(picture->pStream);
  ReleaseAndClear(picture->pDecoder);
  ReleaseAndClear(picture->pBitmapImage);
  if (picture->hBitmap) {
    DeleteObject(picture->hBitmap);
    picture->hBitmap = nullptr;
  }
  if (picture->hFile != INVALID_HANDLE_VALUE) {
    CloseHandle(picture->hFile);
    picture->hFile = INVALID_HANDLE_VALUE;
  }
  if (picture->hFileData) {  // a block that never got its stream
    LocalFree(picture->hFileData);
    picture->hFileData = nullptr;
  }
  if (picture->pFrameBits) LocalFree(picture->pFrameBits);
  picture->pFrameBits = nullptr;
  picture->pFrameKept = nullptr;
  picture->cbFrame = 0;
}

void DecodePictureFrame(PICTURE* picture) {
  if (!picture || !picture->pDecoder || !picture->pBitmapImage) return;
  IImageSink* sink = nullptr;
  if (FAILED(picture->pBitmapImage->QueryInterface(IID_IImageSink, reinterpret_cast<void**>(&sink))))
    return;
  picture->pDecoder->BeginDecode(sink, nullptr);
  picture->pDecoder->SelectActiveFrame(&FrameDimensionTime, picture->frame);
  HRESULT hr;
  // The decoder may ask to be called again; wait for it actively rather than block.
  while ((hr = picture->pDecoder->Decode()) == E_PENDING) Sleep(0);
  picture->pDecoder->EndDecode(hr);
  sink->Release();
}

void RedrawPicture(PICTURE* picture) {
  if (!picture || !picture->hBitmap || !picture->pImage) return;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, picture->hBitmap);
  RECT rect = {0, 0, picture->width, picture->height};
  FillWhite(dc, &rect, RGB(255, 255, 255));
  picture->pImage->Draw(dc, &rect, nullptr);
  SelectObject(dc, old);
  DeleteDC(dc);
}

void StepPictureFrame(PICTURE* picture) {
  if (!picture || picture->frameCount < 2) return;
  picture->frame = picture->frame + 1 >= picture->frameCount ? 0 : picture->frame + 1;
  DWORD size = 0;
  BYTE* bits = picture->pFrameBits ? BitmapBits(picture->hBitmap, &size) : nullptr;
  if (bits && size == picture->cbFrame && picture->pFrameKept[picture->frame]) {
    memcpy(bits, picture->pFrameBits + static_cast<size_t>(size) * picture->frame, size);
    return;
  }
  DecodePictureFrame(picture);
  RedrawPicture(picture);
  if (bits && size == picture->cbFrame) {
    memcpy(picture->pFrameBits + static_cast<size_t>(size) * picture->frame, bits, size);
    picture->pFrameKept[picture->frame] = 1;
  }
}

HBITMAP ImageToBitmap(IImage* image, COLORREF background) {
  if (!image) return nullptr;
  ImageInfo info = {};
  if (FAILED(image->GetImageInfo(&info))) return nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return nullptr;

  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = 40;
  bmi.bmiHeader.biWidth = static_cast<LONG>(info.Width);
  bmi.bmiHeader.biHeight = static_cast<LONG>(info.Height);  // bottom-up rows
  bmi.bmiHeader.biPlanes = 1;
  int bits = GetDeviceCaps(dc, BITSPIXEL);
  bmi.bmiHeader.biBitCount = static_cast<WORD>(bits < 16 ? 16 : bits);
  bmi.bmiHeader.biCompression = BI_RGB;
  void* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (bitmap) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT rect = {0, 0, static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
    FillWhite(dc, &rect, background);
    HRESULT hr = image->Draw(dc, &rect, nullptr);
    SelectObject(dc, old);
    if (FAILED(hr)) {
      DeleteObject(bitmap);
      bitmap = nullptr;
    }
  }
  DeleteDC(dc);
  return bitmap;
}

void FillWhite(HDC dc, const RECT* rect, COLORREF) {
  COLORREF old = SetBkColor(dc, RGB(255, 255, 255));
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}
