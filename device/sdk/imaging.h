// The imaging library: the COM imaging factory, decoded images, bitmap images, decoders and
// image sinks, with the pixel formats and GUIDs the platform defines. Operations are declared
// in the platform's slot order.
#pragma once

#include "objbase.h"
#include "objidl.h"
#include "windef.h"

struct IPropertySetStorage;

typedef INT PixelFormatID;
typedef DWORD ARGB;
typedef ULONG PROPID;

// Pixel formats: bits 0-7 the index, 8-15 the bits per pixel, 16 and up the flags.
#define PixelFormatIndexed 0x00010000
#define PixelFormatGDI 0x00020000
#define PixelFormatAlpha 0x00040000
#define PixelFormatPAlpha 0x00080000
#define PixelFormatExtended 0x00100000
#define PixelFormatCanonical 0x00200000
#define PixelFormatUndefined 0
#define PixelFormatDontCare 0
#define PixelFormat1bppIndexed (1 | (1 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat4bppIndexed (2 | (4 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat8bppIndexed (3 | (8 << 8) | PixelFormatIndexed | PixelFormatGDI)
#define PixelFormat16bppGrayScale (4 | (16 << 8) | PixelFormatExtended)
#define PixelFormat16bppRGB555 (5 | (16 << 8) | PixelFormatGDI)
#define PixelFormat16bppRGB565 (6 | (16 << 8) | PixelFormatGDI)
#define PixelFormat16bppARGB1555 (7 | (16 << 8) | PixelFormatAlpha | PixelFormatGDI)
#define PixelFormat24bppRGB (8 | (24 << 8) | PixelFormatGDI)
#define PixelFormat32bppRGB (9 | (32 << 8) | PixelFormatGDI)
#define PixelFormat32bppARGB (10 | (32 << 8) | PixelFormatAlpha | PixelFormatGDI | PixelFormatCanonical)
#define PixelFormat32bppPARGB (11 | (32 << 8) | PixelFormatAlpha | PixelFormatPAlpha | PixelFormatGDI)
#define PixelFormat48bppRGB (12 | (48 << 8) | PixelFormatExtended)
#define PixelFormat64bppARGB (13 | (64 << 8) | PixelFormatAlpha | PixelFormatCanonical | PixelFormatExtended)
#define PixelFormat64bppPARGB (14 | (64 << 8) | PixelFormatAlpha | PixelFormatPAlpha | PixelFormatExtended)
#define PixelFormatMax 15
#define GetPixelFormatSize(format) (((format) >> 8) & 0xff)
#define IsIndexedPixelFormat(format) (((format) & PixelFormatIndexed) != 0)
#define IsAlphaPixelFormat(format) (((format) & PixelFormatAlpha) != 0)

enum ImageFlags {
  ImageFlagsNone = 0,
  ImageFlagsScalable = 0x0001,
  ImageFlagsHasAlpha = 0x0002,
  ImageFlagsHasTranslucent = 0x0004,
  ImageFlagsPartiallyScalable = 0x0008,
  ImageFlagsColorSpaceRGB = 0x0010,
  ImageFlagsColorSpaceCMYK = 0x0020,
  ImageFlagsColorSpaceGRAY = 0x0040,
  ImageFlagsColorSpaceYCBCR = 0x0080,
  ImageFlagsColorSpaceYCCK = 0x0100,
  ImageFlagsHasRealDPI = 0x1000,
  ImageFlagsHasRealPixelSize = 0x2000,
  ImageFlagsReadOnly = 0x00010000,
  ImageFlagsCaching = 0x00020000
};

enum ImageLockMode { ImageLockModeRead = 0x0001, ImageLockModeWrite = 0x0002, ImageLockModeUserInputBuf = 0x0004 };

enum DecoderInitFlag { DecoderInitFlagNone = 0, DecoderInitFlagNoBlock = 0x0001, DecoderInitFlagBuiltIn1st = 0x0002 };

enum BufferDisposalFlag {
  BufferDisposalFlagNone,
  BufferDisposalFlagGlobalFree,
  BufferDisposalFlagCoTaskMemFree,
  BufferDisposalFlagUnmapView
};

enum InterpolationHint {
  InterpolationHintDefault,
  InterpolationHintNearestNeighbor,
  InterpolationHintBilinear,
  InterpolationHintAveraging,
  InterpolationHintBicubic
};

enum ImageCodecFlags {
  ImageCodecFlagsEncoder = 0x00000001,
  ImageCodecFlagsDecoder = 0x00000002,
  ImageCodecFlagsSupportBitmap = 0x00000004,
  ImageCodecFlagsSupportVector = 0x00000008,
  ImageCodecFlagsSeekableEncode = 0x00000010,
  ImageCodecFlagsBlockingDecode = 0x00000020,
  ImageCodecFlagsBuiltin = 0x00010000,
  ImageCodecFlagsSystem = 0x00020000,
  ImageCodecFlagsUser = 0x00040000
};

struct ImageInfo {
  GUID RawDataFormat;
  PixelFormatID PixelFormat;
  UINT Width, Height;
  UINT TileWidth, TileHeight;
  double Xdpi, Ydpi;
  UINT Flags;
};

struct BitmapData {
  UINT Width;
  UINT Height;
  LONG Stride;
  PixelFormatID PixelFormat;
  VOID* Scan0;
  UINT_PTR Reserved;
};

struct ColorPalette {
  UINT Flags;
  UINT Count;
  ARGB Entries[1];
};

struct PropertyItem {
  PROPID id;
  ULONG length;
  WORD type;
  VOID* value;
};

struct ImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};

DEFINE_GUID(CLSID_ImagingFactory, 0x327abda8, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IImagingFactory, 0x327abda7, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IImage, 0x327abda9, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IBitmapImage, 0x327abdaa, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IImageDecoder, 0x327abdab, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IImageEncoder, 0x327abdac, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(IID_IImageSink, 0x327abdae, 0x072b, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);

DEFINE_GUID(FrameDimensionTime, 0x6aedbd6d, 0x3fb5, 0x418a, 0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72);
DEFINE_GUID(FrameDimensionPage, 0x7462dc86, 0x6180, 0x4c7e, 0x8e, 0x3f, 0xee, 0x73, 0x33, 0xa7, 0xa4, 0x83);
DEFINE_GUID(FrameDimensionResolution, 0x84236f7b, 0x3bd3, 0x428f, 0x8d, 0xab, 0x4e, 0xa1, 0x43, 0x9c, 0xa3, 0x15);

DEFINE_GUID(ImageFormatUndefined, 0xb96b3ca9, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(ImageFormatMemoryBMP, 0xb96b3caa, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(ImageFormatBMP, 0xb96b3cab, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(ImageFormatJPEG, 0xb96b3cae, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(ImageFormatPNG, 0xb96b3caf, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
DEFINE_GUID(ImageFormatGIF, 0xb96b3cb0, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);

struct IImage;
struct IBitmapImage;
struct IImageDecoder;
struct IImageEncoder;
struct IImageSink;

struct IImagingFactory : public IUnknown {
  STDMETHOD(CreateImageFromStream)(IStream* stream, IImage** image) PURE;
  STDMETHOD(CreateImageFromFile)(const WCHAR* filename, IImage** image) PURE;
  STDMETHOD(CreateImageFromBuffer)(const VOID* buf, UINT size, BufferDisposalFlag disposalFlag,
                                   IImage** image) PURE;
  STDMETHOD(CreateNewBitmap)(UINT width, UINT height, PixelFormatID pixelFormat, IBitmapImage** bitmap) PURE;
  STDMETHOD(CreateBitmapFromImage)(IImage* image, UINT width, UINT height, PixelFormatID pixelFormat,
                                   InterpolationHint hints, IBitmapImage** bitmap) PURE;
  STDMETHOD(CreateBitmapFromBuffer)(BitmapData* bitmapData, IBitmapImage** bitmap) PURE;
  STDMETHOD(CreateImageDecoder)(IStream* stream, DecoderInitFlag flags, IImageDecoder** decoder) PURE;
  STDMETHOD(CreateImageEncoderToStream)(const CLSID* clsid, IStream* stream, IImageEncoder** encoder) PURE;
  STDMETHOD(CreateImageEncoderToFile)(const CLSID* clsid, const WCHAR* filename, IImageEncoder** encoder) PURE;
  STDMETHOD(GetInstalledDecoders)(UINT* count, ImageCodecInfo** decoders) PURE;
  STDMETHOD(GetInstalledEncoders)(UINT* count, ImageCodecInfo** encoders) PURE;
  STDMETHOD(InstallImageCodec)(const ImageCodecInfo* codecInfo) PURE;
  STDMETHOD(UninstallImageCodec)(const WCHAR* codecName, UINT flags) PURE;

 protected:
  ~IImagingFactory() = default;
};

struct IImage : public IUnknown {
  // Size in units of 0.01 mm.
  STDMETHOD(GetPhysicalDimension)(SIZE* size) PURE;
  STDMETHOD(GetImageInfo)(ImageInfo* imageInfo) PURE;
  STDMETHOD(SetImageFlags)(UINT flags) PURE;
  // `srcRect` is in units of 0.01 mm; null means the whole image.
  STDMETHOD(Draw)(HDC hdc, const RECT* dstRect, const RECT* srcRect) PURE;
  STDMETHOD(PushIntoSink)(IImageSink* sink) PURE;
  STDMETHOD(GetThumbnail)(UINT thumbWidth, UINT thumbHeight, IImage** thumbImage) PURE;

 protected:
  ~IImage() = default;
};

struct IBitmapImage : public IUnknown {
  STDMETHOD(GetSize)(SIZE* size) PURE;
  STDMETHOD(GetPixelFormatID)(PixelFormatID* pixelFormat) PURE;
  STDMETHOD(LockBits)(const RECT* rect, UINT flags, PixelFormatID pixelFormat, BitmapData* lockedBitmapData) PURE;
  STDMETHOD(UnlockBits)(const BitmapData* lockedBitmapData) PURE;
  STDMETHOD(GetPalette)(ColorPalette** palette) PURE;
  STDMETHOD(SetPalette)(const ColorPalette* palette) PURE;

 protected:
  ~IBitmapImage() = default;
};

struct IImageSink : public IUnknown {
  STDMETHOD(BeginSink)(ImageInfo* imageInfo, RECT* subarea) PURE;
  STDMETHOD(EndSink)(HRESULT statusCode) PURE;
  STDMETHOD(SetPalette)(const ColorPalette* palette) PURE;
  STDMETHOD(GetPixelDataBuffer)(const RECT* rect, PixelFormatID pixelFormat, BOOL lastPass,
                                BitmapData* bitmapData) PURE;
  STDMETHOD(ReleasePixelDataBuffer)(const BitmapData* bitmapData) PURE;
  STDMETHOD(PushPixelData)(const RECT* rect, const BitmapData* bitmapData, BOOL lastPass) PURE;
  STDMETHOD(PushRawData)(const VOID* buffer, UINT bufsize) PURE;
  STDMETHOD(NeedTransform)(UINT* rotation) PURE;
  STDMETHOD(NeedRawProperty)(void* pPropId) PURE;
  STDMETHOD(PushRawInfo)(void* info) PURE;
  STDMETHOD(GetPropertyBuffer)(UINT uiTotalBufferSize, PropertyItem** ppBuffer) PURE;
  STDMETHOD(PushPropertyItems)(UINT numOfItems, UINT uiTotalBufferSize, PropertyItem* item) PURE;

 protected:
  ~IImageSink() = default;
};

struct IImageDecoder : public IUnknown {
  STDMETHOD(InitDecoder)(IStream* stream, DecoderInitFlag flags) PURE;
  STDMETHOD(TerminateDecoder)() PURE;
  STDMETHOD(BeginDecode)(IImageSink* sink, IPropertySetStorage* newPropSet) PURE;
  // Pushes pixels to the sink; E_PENDING means call again, S_OK that the frame is complete.
  STDMETHOD(Decode)() PURE;
  STDMETHOD(EndDecode)(HRESULT statusCode) PURE;
  STDMETHOD(GetFrameDimensionsCount)(UINT* count) PURE;
  STDMETHOD(GetFrameDimensionsList)(GUID* dimensionIDs, UINT count) PURE;
  STDMETHOD(GetFrameCount)(const GUID* dimensionID, UINT* count) PURE;
  STDMETHOD(SelectActiveFrame)(const GUID* dimensionID, UINT frameIndex) PURE;
  STDMETHOD(GetImageInfo)(ImageInfo* imageInfo) PURE;
  STDMETHOD(GetThumbnail)(UINT thumbWidth, UINT thumbHeight, IImage** thumbImage) PURE;
  STDMETHOD(QueryDecoderParam)(GUID Guid) PURE;
  STDMETHOD(SetDecoderParam)(GUID Guid, UINT Length, PVOID Value) PURE;
  STDMETHOD(GetPropertyCount)(UINT* numOfProperty) PURE;
  STDMETHOD(GetPropertyIdList)(UINT numOfProperty, PROPID* list) PURE;
  STDMETHOD(GetPropertyItemSize)(PROPID propId, UINT* size) PURE;
  STDMETHOD(GetPropertyItem)(PROPID propId, UINT propSize, PropertyItem* buffer) PURE;
  STDMETHOD(GetPropertySize)(UINT* totalBufferSize, UINT* numProperties) PURE;
  STDMETHOD(GetAllPropertyItems)(UINT totalBufferSize, UINT numProperties, PropertyItem* allItems) PURE;
  STDMETHOD(RemovePropertyItem)(PROPID propId) PURE;
  STDMETHOD(SetPropertyItem)(PropertyItem item) PURE;

 protected:
  ~IImageDecoder() = default;
};
