// The imaging library through its COM surface only, driven the way a picture loader drives it.
#include <string>  // before windows.h: the SDK declares wcstol for WCHAR

#include <imaging.h>
#include <objbase.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "com/com_object.h"
#include "imaging/dc_surface.h"
#include "imaging/sample_pictures.h"
#include "testing/temp_image.h"

namespace pellix::device::imaging {
namespace {

using com::ComPtr;
using samples::GifFrameSpec;
using samples::GifSpec;

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, T = 0;
using Pixels = std::vector<uint32_t>;

class ImagingTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    ASSERT_EQ(CoInitializeEx(nullptr, 0), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                               reinterpret_cast<void**>(factory_.put())),
              S_OK);
  }
  void TearDown() override {
    factory_.reset();
    SetSurfaceResolver(nullptr);
    CoUninitialize();
    DeviceTest::TearDown();
  }

  static ComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes) {
    ComPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), ULONG(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
  }

  ComPtr<IImageDecoder> Decoder(const std::vector<uint8_t>& bytes) {
    ComPtr<IImageDecoder> decoder;
    EXPECT_EQ(factory_->CreateImageDecoder(StreamOf(bytes).get(), DecoderInitFlagNone, decoder.put()), S_OK);
    return decoder;
  }

  // BeginDecode, SelectActiveFrame, Decode while pending, EndDecode; returns the Decode calls made.
  static int DecodeFrame(IImageDecoder* decoder, IBitmapImage* bitmap, UINT frame, HRESULT* select = nullptr) {
    ComPtr<IImageSink> sink;
    EXPECT_EQ(bitmap->QueryInterface(IID_IImageSink, reinterpret_cast<void**>(sink.put())), S_OK);
    EXPECT_EQ(decoder->BeginDecode(sink.get(), nullptr), S_OK);
    HRESULT selected = decoder->SelectActiveFrame(&FrameDimensionTime, frame);
    if (select) *select = selected;
    int calls = 0;
    HRESULT hr;
    do {
      hr = decoder->Decode();
      ++calls;
    } while (hr == E_PENDING && calls < 1000);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(decoder->EndDecode(hr), S_OK);
    return calls;
  }

  static Pixels Read(IBitmapImage* bitmap) {
    SIZE size{};
    bitmap->GetSize(&size);
    BitmapData data{};
    EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data), S_OK);
    Pixels out(size_t(size.cx) * size.cy);
    for (LONG y = 0; y < size.cy; ++y)
      std::memcpy(&out[size_t(y) * size.cx], static_cast<uint8_t*>(data.Scan0) + y * data.Stride, size.cx * 4);
    EXPECT_EQ(bitmap->UnlockBits(&data), S_OK);
    return out;
  }

  ComPtr<IImagingFactory> factory_;
};

GifSpec ThreeFrames() {
  GifSpec desc;
  desc.width = 2, desc.height = 1;
  desc.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  auto frame = [](std::vector<uint8_t> indices, int delay) {
    GifFrameSpec f;
    f.width = 2, f.height = 1, f.indices = std::move(indices), f.transparent = 0, f.delay_cs = delay;
    f.disposal = 2;
    return f;
  };
  desc.frames = {frame({1, 0}, 10), frame({2, 2}, 20), frame({0, 3}, 30)};
  return desc;
}

TEST_F(ImagingTest, DecodesEveryFrameIntoABitmapTheWayAPictureLoaderDoes) {
  ComPtr<IImageDecoder> decoder = Decoder(samples::WriteGif(ThreeFrames()));
  ASSERT_TRUE(decoder);
  ImageInfo info{};
  ASSERT_EQ(decoder->GetImageInfo(&info), S_OK);
  EXPECT_EQ(info.Width, 2u);
  EXPECT_EQ(info.Height, 1u);
  EXPECT_EQ(info.PixelFormat, PixelFormat8bppIndexed);
  EXPECT_TRUE(IsEqualGUID(info.RawDataFormat, ImageFormatGIF));
  EXPECT_NE(info.Flags & ImageFlagsHasAlpha, 0u);

  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateNewBitmap(info.Width, info.Height, info.PixelFormat, bitmap.put()), S_OK);
  ComPtr<IImage> image;
  ASSERT_EQ(bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(image.put())), S_OK);
  UINT frames = 0;
  ASSERT_EQ(decoder->GetFrameCount(&FrameDimensionTime, &frames), S_OK);
  EXPECT_EQ(frames, 3u);

  // Each frame clears its area afterwards, so no frame shows through the next one's holes.
  const Pixels expected[] = {{R, T}, {G, G}, {T, B}};
  for (UINT i = 0; i < 3; ++i) {
    DecodeFrame(decoder.get(), bitmap.get(), i);
    EXPECT_EQ(Read(bitmap.get()), expected[i]) << "frame " << i;
  }
  // Back to the start, as an animation wraps.
  DecodeFrame(decoder.get(), bitmap.get(), 0);
  EXPECT_EQ(Read(bitmap.get()), expected[0]);
}

TEST_F(ImagingTest, FailedFrameSelectionKeepsThePreviousFrame) {
  ComPtr<IImageDecoder> decoder = Decoder(samples::WriteGif(ThreeFrames()));
  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateNewBitmap(2, 1, PixelFormat32bppARGB, bitmap.put()), S_OK);
  DecodeFrame(decoder.get(), bitmap.get(), 1);
  HRESULT select = S_OK;
  DecodeFrame(decoder.get(), bitmap.get(), 3, &select);
  EXPECT_EQ(select, E_INVALIDARG);
  EXPECT_EQ(Read(bitmap.get()), (Pixels{G, G}));
  UINT count = 0;
  GUID unknown = IID_IImage;
  EXPECT_EQ(decoder->GetFrameCount(&unknown, &count), E_INVALIDARG);
  EXPECT_EQ(decoder->SelectActiveFrame(&unknown, 0), E_INVALIDARG);
}

TEST_F(ImagingTest, TallPicturesDecodeInStepsAnsweringPending) {
  // 150 rows go to the sink in bands of 64: two pending answers, then done.
  Pixels column(150);
  for (uint32_t y = 0; y < 150; ++y) column[y] = 0xFF000000u | y;
  ComPtr<IImageDecoder> decoder = Decoder(samples::WritePng(1, 150, column, false));
  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateNewBitmap(1, 150, PixelFormat24bppRGB, bitmap.put()), S_OK);
  EXPECT_EQ(DecodeFrame(decoder.get(), bitmap.get(), 0), 3);
  EXPECT_EQ(Read(bitmap.get()), column);
  UINT frames = 0;
  ASSERT_EQ(decoder->GetFrameCount(&FrameDimensionTime, &frames), S_OK);
  EXPECT_EQ(frames, 1u);
}

TEST_F(ImagingTest, ABitmapOfAnotherSizeGetsTheFrameScaled) {
  ComPtr<IImageDecoder> decoder = Decoder(samples::WritePng(2, 1, {R, B}, false));
  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateNewBitmap(4, 2, PixelFormat32bppARGB, bitmap.put()), S_OK);
  DecodeFrame(decoder.get(), bitmap.get(), 0);
  EXPECT_EQ(Read(bitmap.get()), (Pixels{R, R, B, B, R, R, B, B}));
}

TEST_F(ImagingTest, FilesNoDecoderAcceptsFailCleanly) {
  std::vector<uint8_t> gif = samples::WriteGif(ThreeFrames());
  const std::vector<std::vector<uint8_t>> broken = {
      {},                                                      // empty
      {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'},          // no known format
      std::vector<uint8_t>(gif.begin(), gif.begin() + 20),    // truncated
      {'B', 'M', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},  // corrupt
  };
  for (const auto& bytes : broken) {
    IImageDecoder* decoder = reinterpret_cast<IImageDecoder*>(1);
    EXPECT_TRUE(FAILED(factory_->CreateImageDecoder(StreamOf(bytes).get(), DecoderInitFlagNone, &decoder)));
    EXPECT_EQ(decoder, nullptr);
    IImage* image = reinterpret_cast<IImage*>(1);
    EXPECT_TRUE(FAILED(factory_->CreateImageFromStream(StreamOf(bytes).get(), &image)));
    EXPECT_EQ(image, nullptr);
  }
  EXPECT_EQ(factory_->CreateImageDecoder(nullptr, DecoderInitFlagNone, nullptr), E_INVALIDARG);
}

TEST_F(ImagingTest, DecodeOutsideBeginAndEndIsRefused) {
  ComPtr<IImageDecoder> decoder = Decoder(samples::WriteGif(ThreeFrames()));
  EXPECT_EQ(decoder->Decode(), E_FAIL);
  EXPECT_EQ(decoder->EndDecode(S_OK), E_FAIL);
  EXPECT_EQ(decoder->BeginDecode(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ImagingTest, FrameDelaysAreOfferedAsProperties) {
  ComPtr<IImageDecoder> decoder = Decoder(samples::WriteGif(ThreeFrames()));
  UINT size = 0;
  ASSERT_EQ(decoder->GetPropertyItemSize(0x5100, &size), S_OK);
  ASSERT_EQ(size, sizeof(PropertyItem) + 3 * sizeof(LONG));
  std::vector<uint8_t> buffer(size);
  auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
  ASSERT_EQ(decoder->GetPropertyItem(0x5100, size, item), S_OK);
  ASSERT_EQ(item->length, 3 * sizeof(LONG));
  LONG delays[3];
  std::memcpy(delays, item->value, sizeof delays);
  EXPECT_EQ(delays[0], 10);
  EXPECT_EQ(delays[1], 20);
  EXPECT_EQ(delays[2], 30);
  EXPECT_EQ(decoder->GetPropertyItem(0x5100, size - 1, item), E_INVALIDARG);
}

TEST_F(ImagingTest, ImageFromStreamGivesInfoAndThumbnails) {
  // 100 x 50: red left half, blue right half.
  Pixels halves(100 * 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) halves[y * 100 + x] = x < 50 ? R : B;
  ComPtr<IImage> image;
  ASSERT_EQ(factory_->CreateImageFromStream(StreamOf(samples::WritePng(100, 50, halves, false)).get(), image.put()),
            S_OK);
  ImageInfo info{};
  ASSERT_EQ(image->GetImageInfo(&info), S_OK);
  EXPECT_EQ(info.Width, 100u);
  EXPECT_EQ(info.Height, 50u);
  EXPECT_TRUE(IsEqualGUID(info.RawDataFormat, ImageFormatPNG));
  // A decoded file is an image, not a bitmap one may write into.
  IBitmapImage* as_bitmap = nullptr;
  EXPECT_EQ(image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void**>(&as_bitmap)), E_NOINTERFACE);

  ComPtr<IImage> thumbnail;
  ASSERT_EQ(image->GetThumbnail(50, 25, thumbnail.put()), S_OK);
  ImageInfo thumb{};
  ASSERT_EQ(thumbnail->GetImageInfo(&thumb), S_OK);
  EXPECT_EQ(thumb.Width, 50u);
  EXPECT_EQ(thumb.Height, 25u);
  ComPtr<IBitmapImage> copy;
  ASSERT_EQ(factory_->CreateBitmapFromImage(thumbnail.get(), 0, 0, PixelFormat32bppARGB, InterpolationHintDefault,
                                            copy.put()),
            S_OK);
  Pixels pixels = Read(copy.get());
  ASSERT_EQ(pixels.size(), 50u * 25u);
  for (int y = 0; y < 25; ++y)
    for (int x = 0; x < 50; ++x) ASSERT_EQ(pixels[y * 50 + x], x < 25 ? R : B) << x << "," << y;
  EXPECT_EQ(image->GetThumbnail(0, 10, thumbnail.put()), E_INVALIDARG);
}

// A 32-bit surface standing in for a device context's selected bitmap.
struct FakeSurface {
  int width, height;
  Pixels pixels;
  HDC hdc = reinterpret_cast<HDC>(0x1234);
  FakeSurface(int w, int h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * h, fill) {
    SetSurfaceResolver([this](HDC dc, SurfaceDraw draw) -> Status {
      if (dc != hdc) return Fail("not a device context");
      PixelSurface surface;
      surface.bits = reinterpret_cast<uint8_t*>(pixels.data());
      surface.width = width, surface.height = height, surface.stride = width * 4, surface.bits_per_pixel = 32;
      surface.clip = PixelRect{0, 0, width, height};
      draw(surface);
      return Status::Ok();
    });
  }
};

TEST_F(ImagingTest, DrawBlendsOverTheDeviceContextsBitmap) {
  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateBitmapFromBuffer(nullptr, bitmap.put()), E_INVALIDARG);
  // Half-transparent red, opaque blue / transparent, opaque green.
  Pixels source = {0x80FF0000, B, T, G};
  BitmapData data{2, 2, 8, PixelFormat32bppARGB, source.data(), 0};
  ASSERT_EQ(factory_->CreateBitmapFromBuffer(&data, bitmap.put()), S_OK);
  ComPtr<IImage> image;
  ASSERT_EQ(bitmap->QueryInterface(IID_IImage, reinterpret_cast<void**>(image.put())), S_OK);

  constexpr uint32_t Wh = 0xFFFFFFFF;
  FakeSurface surface(5, 5, Wh);
  RECT dst{1, 1, 5, 5};  // twice the size, one pixel in
  ASSERT_EQ(image->Draw(surface.hdc, &dst, nullptr), S_OK);
  // Red at alpha 128 over white: 255, and 255 * 127 / 255 = 127 for green and blue.
  constexpr uint32_t P = 0xFFFF7F7F, Bl = 0xFF0000FF, Gr = 0xFF00FF00;
  EXPECT_EQ(surface.pixels, (Pixels{Wh, Wh, Wh, Wh, Wh,  //
                                    Wh, P, P, Bl, Bl,    //
                                    Wh, P, P, Bl, Bl,    //
                                    Wh, Wh, Wh, Gr, Gr,  //
                                    Wh, Wh, Wh, Gr, Gr}));

  // Only the right column, given in hundredths of a millimetre at 96 dpi (one pixel is 26.46).
  FakeSurface again(1, 2, Wh);
  RECT one{0, 0, 1, 2};
  RECT right_column{26, 0, 53, 53};
  ASSERT_EQ(image->Draw(again.hdc, &one, &right_column), S_OK);
  EXPECT_EQ(again.pixels, (Pixels{Bl, Gr}));

  EXPECT_EQ(image->Draw(reinterpret_cast<HDC>(0x999), &one, nullptr), E_FAIL);
  SetSurfaceResolver(nullptr);
  EXPECT_EQ(image->Draw(surface.hdc, &dst, nullptr), E_FAIL);
}

TEST_F(ImagingTest, DrawIntoASixteenBitDibSectionOverWhite) {
  // Top row: half-transparent red, blue; bottom row: transparent, green.
  ComPtr<IImage> image;
  ASSERT_EQ(factory_->CreateImageFromStream(
                StreamOf(samples::WritePng(2, 2, {0x80FF0000, B, T, G}, true)).get(), image.put()),
            S_OK);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = 40;
  bmi.bmiHeader.biWidth = 2;
  bmi.bmiHeader.biHeight = 2;  // bottom-up
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 16;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, nullptr);
  std::memset(bits, 0xFF, 8);  // white, whatever the top bit holds
  HGDIOBJ old = SelectObject(dc, dib);
  RECT all{0, 0, 2, 2};
  EXPECT_EQ(image->Draw(dc, &all, nullptr), S_OK);
  SelectObject(dc, old);
  // 5-5-5 rows, bottom row first in memory. Red at alpha 128 over white is (255, 127, 127),
  // which keeps 31, 15, 15.
  uint16_t rows[4];
  std::memcpy(rows, bits, sizeof rows);
  EXPECT_EQ(rows[0] & 0x7FFF, 0x7FFF);  // transparent: the white stays
  EXPECT_EQ(rows[1], 0x03E0);           // green
  EXPECT_EQ(rows[2], 0x7DEF);
  EXPECT_EQ(rows[3], 0x001F);           // blue
  DeleteObject(dib);
  DeleteDC(dc);
}

TEST_F(ImagingTest, LockBitsConvertsAndRefusesASecondLock) {
  ComPtr<IBitmapImage> bitmap;
  ASSERT_EQ(factory_->CreateNewBitmap(2, 1, PixelFormat24bppRGB, bitmap.put()), S_OK);
  BitmapData data{};
  ASSERT_EQ(bitmap->LockBits(nullptr, ImageLockModeWrite, PixelFormat24bppRGB, &data), S_OK);
  BitmapData second{};
  EXPECT_EQ(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &second), E_FAIL);
  const uint8_t bgr[6] = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40};
  std::memcpy(data.Scan0, bgr, 6);
  ASSERT_EQ(bitmap->UnlockBits(&data), S_OK);
  EXPECT_EQ(Read(bitmap.get()), (Pixels{0xFF102030, 0xFF405060}));
  EXPECT_EQ(bitmap->UnlockBits(&data), E_FAIL);

  ComPtr<IBitmapImage> translucent;
  Pixels source = {0x80FF0000};
  BitmapData in{1, 1, 4, PixelFormat32bppARGB, source.data(), 0};
  ASSERT_EQ(factory_->CreateBitmapFromBuffer(&in, translucent.put()), S_OK);
  BitmapData out{};
  ASSERT_EQ(translucent->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &out), S_OK);
  uint32_t premultiplied = 0;
  std::memcpy(&premultiplied, out.Scan0, 4);
  EXPECT_EQ(premultiplied, 0x80800000u);  // 255 * 128 / 255 = 128
  translucent->UnlockBits(&out);
  RECT outside{0, 0, 2, 1};
  EXPECT_EQ(translucent->LockBits(&outside, ImageLockModeRead, PixelFormat32bppARGB, &out), E_INVALIDARG);
  EXPECT_EQ(translucent->LockBits(nullptr, ImageLockModeRead, PixelFormat8bppIndexed, &out), E_NOTIMPL);
}

TEST_F(ImagingTest, ImageFromFileReadsTheDeviceFileSystem) {
  std::filesystem::create_directories(HostPath(u"\\Pictures"));
  samples::WriteSampleSet(HostPath(u"\\Pictures"));
  ComPtr<IImage> image;
  ASSERT_EQ(factory_->CreateImageFromFile(u"\\pictures\\ANIMATED.gif", image.put()), S_OK);
  SIZE size{};
  ASSERT_EQ(image->GetPhysicalDimension(&size), S_OK);
  EXPECT_EQ(size.cx, 635);  // 24 pixels at 96 dpi: 24 * 2540 / 96
  EXPECT_EQ(size.cy, 635);
  EXPECT_TRUE(FAILED(factory_->CreateImageFromFile(u"\\Pictures\\missing.gif", image.put())));
  EXPECT_TRUE(FAILED(factory_->CreateImageFromFile(u"\\Pictures\\empty.gif", image.put())));
}

}  // namespace
}  // namespace pellix::device::imaging
