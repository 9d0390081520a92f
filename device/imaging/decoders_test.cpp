// Decoders against pictures written by the samples module, with expected pixels worked out by
// hand from how each picture was built.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/decoded_image.h"
#include "imaging/sample_pictures.h"

namespace pellix::device::imaging {
namespace {

using samples::BmpSpec;
using samples::GifFrameSpec;
using samples::GifSpec;

constexpr uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, K = 0xFF000000, W = 0xFFFFFFFF, T = 0;
using Pixels = std::vector<uint32_t>;

GifFrameSpec GifFrame(int left, int top, int width, int height, std::vector<uint8_t> indices, int disposal,
                      int transparent, int delay_cs) {
  GifFrameSpec f;
  f.left = left, f.top = top, f.width = width, f.height = height;
  f.indices = std::move(indices);
  f.disposal = disposal, f.transparent = transparent, f.delay_cs = delay_cs;
  return f;
}

// Palette shared by the GIF cases: 0 black, 1 red, 2 green, 3 blue.
GifSpec Canvas(int width, int height) {
  GifSpec desc;
  desc.width = width, desc.height = height;
  desc.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  return desc;
}

TEST(GifDecoder, ComposesFramesWithEachDisposalMethod) {
  GifSpec desc = Canvas(4, 2);
  desc.frames = {
      GifFrame(0, 0, 4, 2, {1, 1, 1, 1, 1, 1, 1, 1}, /*keep*/ 1, -1, 10),
      GifFrame(1, 0, 2, 1, {2, 2}, /*clear*/ 2, -1, 20),
      GifFrame(0, 1, 1, 1, {3}, /*restore previous*/ 3, -1, 30),
      GifFrame(3, 1, 1, 1, {0}, /*unspecified*/ 0, /*transparent*/ 0, 0),
  };
  auto image = DecodeGif(samples::WriteGif(desc));
  ASSERT_TRUE(image.ok()) << image.error().message;
  EXPECT_EQ(image->width, 4u);
  EXPECT_EQ(image->height, 2u);
  ASSERT_EQ(image->frames.size(), 4u);
  EXPECT_EQ(image->frames[0].pixels, (Pixels{R, R, R, R, R, R, R, R}));
  EXPECT_EQ(image->frames[1].pixels, (Pixels{R, G, G, R, R, R, R, R}));
  // Frame 1 left a transparent hole; frame 2 is drawn over it and then undone.
  EXPECT_EQ(image->frames[2].pixels, (Pixels{R, T, T, R, B, R, R, R}));
  EXPECT_EQ(image->frames[3].pixels, (Pixels{R, T, T, R, R, R, R, R}));
  std::vector<uint32_t> delays;
  for (const Frame& f : image->frames) delays.push_back(f.delay_ms);
  EXPECT_EQ(delays, (std::vector<uint32_t>{100, 200, 300, 0}));
  EXPECT_TRUE(image->has_alpha);
  EXPECT_EQ(image->layout, NativeLayout::kIndexed8);
  EXPECT_EQ(image->loop_count, -1);  // no loop extension written
}

TEST(GifDecoder, TransparencyAndColourTables) {
  struct Case {
    const char* name;
    GifFrameSpec frame;
    Pixels expected;
    bool has_alpha;
  };
  GifFrameSpec local = GifFrame(0, 0, 3, 1, {0, 1, 2}, 0, -1, 0);
  local.local_palette = {0xFFFFFF, 0x000000, 0x0000FF, 0x00FF00};
  GifFrameSpec no_control = GifFrame(0, 0, 3, 1, {3, 2, 1}, 0, -1, 0);
  no_control.control = false;
  std::vector<Case> cases = {
      {"transparent index", GifFrame(0, 0, 3, 1, {2, 0, 2}, 0, 2, 5), {T, K, T}, true},
      {"opaque", GifFrame(0, 0, 3, 1, {1, 2, 3}, 0, -1, 5), {R, G, B}, false},
      {"local table wins", local, {W, K, B}, false},
      {"no control block", no_control, {B, G, R}, false},
      {"frame partly off the canvas", GifFrame(2, 0, 3, 2, {1, 1, 1, 1, 1, 1}, 0, -1, 0), {T, T, R}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GifSpec desc = Canvas(3, 1);
    desc.frames = {c.frame};
    auto image = DecodeGif(samples::WriteGif(desc));
    ASSERT_TRUE(image.ok()) << image.error().message;
    ASSERT_EQ(image->frames.size(), 1u);
    EXPECT_EQ(image->frames[0].pixels, c.expected);
    EXPECT_EQ(image->has_alpha, c.has_alpha);
  }
}

TEST(GifDecoder, InterlacedRowsLandInPlace) {
  // One column of 11 rows, row y painted with palette entry y: any pass mix-up shows.
  GifSpec desc;
  desc.width = 1, desc.height = 11;
  std::vector<uint8_t> indices;
  for (int y = 0; y < 11; ++y) {
    desc.palette.push_back(uint32_t(y * 20) << 16);
    indices.push_back(uint8_t(y));
  }
  GifFrameSpec frame = GifFrame(0, 0, 1, 11, indices, 0, -1, 0);
  frame.interlaced = true;
  desc.frames = {frame};
  auto image = DecodeGif(samples::WriteGif(desc));
  ASSERT_TRUE(image.ok()) << image.error().message;
  for (uint32_t y = 0; y < 11; ++y) EXPECT_EQ(image->frames[0].pixels[y], 0xFF000000u | (y * 20) << 16) << y;
}

TEST(GifDecoder, LoopCountAndMissingTrailer) {
  GifSpec desc = Canvas(2, 1);
  desc.loop = 3;
  desc.frames = {GifFrame(0, 0, 2, 1, {1, 2}, 0, -1, 7), GifFrame(0, 0, 1, 1, {3}, 0, -1, 8)};
  std::vector<uint8_t> file = samples::WriteGif(desc);
  auto image = DecodeGif(file);
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(image->loop_count, 3);
  ASSERT_EQ(file.back(), 0x3B);
  file.pop_back();
  auto without_trailer = DecodeGif(file);
  ASSERT_TRUE(without_trailer.ok()) << without_trailer.error().message;
  ASSERT_EQ(without_trailer->frames.size(), 2u);
  EXPECT_EQ(without_trailer->frames[1].pixels, (Pixels{B, G}));
  EXPECT_EQ(without_trailer->frames[1].delay_ms, 80u);
}

TEST(GifDecoder, AnAnimationTooLargeSaysHowLarge) {
  // Every frame is kept at the canvas's size, so five tiny frames on the largest canvas are
  // more than an animation may hold; the refusal counts all of them.
  GifSpec desc = Canvas(4096, 4096);
  for (int i = 0; i < 5; ++i) desc.frames.push_back(GifFrame(0, 0, 1, 1, {1}, 0, -1, 0));
  auto image = DecodeGif(samples::WriteGif(desc));
  ASSERT_FALSE(image.ok());
  EXPECT_EQ(image.error().message, "GIF: animation too large: 5 frames of 4096x4096");
}

TEST(GifDecoder, MovingSquareHasTwentyFrames) {
  auto image = DecodeGif(samples::MovingSquareGif(20, 24));
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(image->frames.size(), 20u);
  EXPECT_EQ(image->loop_count, 0);
  // Frame 0's square covers 8 x 8 pixels from the corner in red (index 1), even at (0,0)
  // where the background would be transparent.
  EXPECT_EQ(image->frames[0].pixels[0], R);
  // Outside the square, pixels with (x + y) % 4 == 0 are transparent, others blue.
  EXPECT_EQ(image->frames[0].pixels[23 * 24 + 23 - 2], T);  // x 21, y 23: 44 % 4 == 0
  EXPECT_EQ(image->frames[0].pixels[23 * 24 + 23], B);
}

TEST(GifDecoder, BrokenFilesFailCleanly) {
  GifSpec desc = Canvas(8, 8);
  desc.frames = {GifFrame(0, 0, 8, 8, std::vector<uint8_t>(64, 1), 0, -1, 0),
                 GifFrame(0, 0, 8, 8, std::vector<uint8_t>(64, 2), 0, -1, 0)};
  std::vector<uint8_t> whole = samples::WriteGif(desc);
  std::vector<uint8_t> header_only(whole.begin(), whole.begin() + 13);
  std::vector<uint8_t> cut_in_frame(whole.begin(), whole.begin() + whole.size() - 8);
  std::vector<uint8_t> garbage = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x99, 0x99, 0x99};
  for (const auto& file : {std::vector<uint8_t>{}, header_only, cut_in_frame, garbage,
                           std::vector<uint8_t>{'G', 'I', 'F'}}) {
    auto image = DecodeGif(file);
    EXPECT_FALSE(image.ok()) << file.size();
  }
  // Every prefix fails or decodes; none may crash.
  for (size_t n = 0; n < whole.size(); ++n) (void)DecodeGif(std::span(whole.data(), n));
}

TEST(PngDecoder, KeepsAlphaExactly) {
  Pixels argb = {0x80FF0000, 0x0000FF00, 0xFF0000FF, 0x01020304, 0xFEFDFCFB, 0x7F7F7F7F};
  for (bool interlaced : {false, true}) {
    auto image = DecodePng(samples::WritePng(3, 2, argb, true, interlaced));
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->width, 3u);
    EXPECT_EQ(image->height, 2u);
    ASSERT_EQ(image->frames.size(), 1u);
    EXPECT_EQ(image->frames[0].pixels, argb);
    EXPECT_TRUE(image->has_alpha);
    EXPECT_EQ(image->layout, NativeLayout::kArgb32);
  }
}

TEST(PngDecoder, OpaquePictureIsOpaque) {
  Pixels rgb = {0x00102030, 0x00405060};
  auto image = DecodePng(samples::WritePng(2, 1, rgb, false));
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(image->frames[0].pixels, (Pixels{0xFF102030, 0xFF405060}));
  EXPECT_FALSE(image->has_alpha);
  EXPECT_EQ(image->layout, NativeLayout::kRgb24);
}

TEST(PngDecoder, BrokenFilesFailCleanly) {
  Pixels argb(64 * 64);
  for (size_t i = 0; i < argb.size(); ++i) argb[i] = uint32_t(i * 2654435761u);
  std::vector<uint8_t> whole = samples::WritePng(64, 64, argb, true);
  std::vector<uint8_t> truncated(whole.begin(), whole.begin() + whole.size() / 2);
  std::vector<uint8_t> bad_crc = whole;
  bad_crc[bad_crc.size() / 2] ^= 0x55;  // inside the image data
  for (const auto& file : {truncated, bad_crc, std::vector<uint8_t>(whole.begin(), whole.begin() + 8)})
    EXPECT_FALSE(DecodePng(file).ok());
}

uint32_t Channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }

TEST(JpegDecoder, FlatColoursSurviveWithinRounding) {
  struct Case {
    const char* name;
    bool grey;
    uint32_t colour, expected;
  };
  for (const Case& c : {Case{"colour", false, 0x204080, 0xFF204080}, Case{"grey", true, 0x808080, 0xFF808080}}) {
    SCOPED_TRACE(c.name);
    auto image = DecodeJpeg(samples::WriteJpeg(17, 9, Pixels(17 * 9, c.colour), 100, c.grey));
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->width, 17u);
    EXPECT_EQ(image->height, 9u);
    EXPECT_FALSE(image->has_alpha);
    for (uint32_t p : image->frames[0].pixels) {
      EXPECT_EQ(p >> 24, 0xFFu);
      for (int shift : {0, 8, 16}) EXPECT_LE(std::abs(int(Channel(p, shift)) - int(Channel(c.expected, shift))), 3);
    }
  }
}

TEST(JpegDecoder, BrokenFilesFailCleanly) {
  Pixels noise(32 * 32);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint32_t(i * 2654435761u);
  std::vector<uint8_t> whole = samples::WriteJpeg(32, 32, noise, 90);
  ASSERT_TRUE(DecodeJpeg(whole).ok());
  for (size_t cut : {size_t{2}, size_t{20}, whole.size() / 2, whole.size() * 3 / 4})
    EXPECT_FALSE(DecodeJpeg(std::span(whole.data(), cut)).ok()) << cut;
}

TEST(JpegDecoder, AFileWithoutItsEndMarkerIsWhole) {
  Pixels noise(32 * 32);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint32_t(i * 2654435761u);
  std::vector<uint8_t> whole = samples::WriteJpeg(32, 32, noise, 90);
  ASSERT_EQ(whole[whole.size() - 2], 0xFF);
  ASSERT_EQ(whole.back(), 0xD9);
  auto reference = DecodeJpeg(whole);
  auto unterminated = DecodeJpeg(std::span(whole.data(), whole.size() - 2));
  ASSERT_TRUE(reference.ok());
  ASSERT_TRUE(unterminated.ok()) << unterminated.error().message;
  EXPECT_EQ(unterminated->frames[0].pixels, reference->frames[0].pixels);
}

TEST(BmpDecoder, EveryDepthAndRowOrder) {
  struct Case {
    const char* name;
    BmpSpec desc;
    Pixels expected;
    NativeLayout layout;
  };
  Pixels direct = {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203};
  std::vector<Case> cases = {
      {"24 bits, bottom-up, padded rows", BmpSpec{3, 2, 24, false, false, {}, direct}, direct, NativeLayout::kRgb24},
      {"24 bits, top-down", BmpSpec{3, 2, 24, true, false, {}, direct}, direct, NativeLayout::kRgb24},
      {"32 bits, alpha byte ignored", BmpSpec{2, 1, 32, false, false, {}, {0x00112233, 0x80445566}},
       {0xFF112233, 0xFF445566}, NativeLayout::kRgb32},
      {"32 bits with alpha mask", BmpSpec{2, 1, 32, false, true, {}, {0x00112233, 0x80445566}},
       {0x00112233, 0x80445566}, NativeLayout::kArgb32},
      // 5-6-5: 0xFF8040 keeps r 31, g 32, b 8, widened to 255, 130, 66.
      {"16 bits 5-6-5", BmpSpec{1, 1, 16, false, false, {}, {0xFFFF8040}}, {0xFFFF8242}, NativeLayout::kRgb565},
      {"8 bits, palette, top-down", BmpSpec{3, 1, 8, true, false, {0xFF0000, 0x00FF00, 0x0000FF}, {2, 0, 1}},
       {B, R, G}, NativeLayout::kIndexed8},
      {"8 bits, index past the palette", BmpSpec{2, 1, 8, false, false, {0xFFFFFF}, {0, 7}}, {W, K},
       NativeLayout::kIndexed8},
      {"4 bits, odd width", BmpSpec{3, 1, 4, false, false, {0x000000, 0xFF0000}, {1, 0, 1}}, {R, K, R},
       NativeLayout::kIndexed4},
      {"1 bit, nine wide", BmpSpec{9, 1, 1, false, false, {0x000000, 0xFFFFFF}, {1, 0, 0, 0, 0, 0, 0, 0, 1}},
       {W, K, K, K, K, K, K, K, W}, NativeLayout::kIndexed1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = DecodeBmp(samples::WriteBmp(c.desc));
    ASSERT_TRUE(image.ok()) << image.error().message;
    EXPECT_EQ(image->width, uint32_t(c.desc.width));
    EXPECT_EQ(image->height, uint32_t(c.desc.height));
    EXPECT_EQ(image->frames[0].pixels, c.expected);
    EXPECT_EQ(image->layout, c.layout);
  }
}

TEST(BmpDecoder, BrokenFilesFailCleanly) {
  std::vector<uint8_t> whole = samples::WriteBmp(BmpSpec{4, 4, 24, false, false, {}, Pixels(16, R)});
  std::vector<uint8_t> rle = whole;
  rle[30] = 1;  // BI_RLE8
  std::vector<uint8_t> huge = whole;
  huge[18] = huge[19] = huge[20] = 0xFF, huge[21] = 0x7F;  // width 2^31 - 1
  std::vector<uint8_t> zero_height = whole;
  zero_height[22] = 0;
  for (const auto& file : {std::vector<uint8_t>(whole.begin(), whole.end() - 1), rle, huge, zero_height,
                           std::vector<uint8_t>{'B', 'M'}})
    EXPECT_FALSE(DecodeBmp(file).ok());
  for (size_t n = 0; n < whole.size(); ++n) (void)DecodeBmp(std::span(whole.data(), n));
}

TEST(SniffFormat, BySignature) {
  struct Case {
    std::vector<uint8_t> bytes;
    bool ok;
    ImageFormat format;
  };
  std::vector<Case> cases = {
      {{'G', 'I', 'F', '8', '7', 'a'}, true, ImageFormat::kGif},
      {{'G', 'I', 'F', '8', '9', 'a'}, true, ImageFormat::kGif},
      {{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, true, ImageFormat::kPng},
      {{0xFF, 0xD8, 0xFF, 0xE0}, true, ImageFormat::kJpeg},
      {{'B', 'M'}, true, ImageFormat::kBmp},
      {{'G', 'I', 'F', '9', '0', 'a'}, false, ImageFormat::kGif},
      {{0x89, 'P', 'N', 'G'}, false, ImageFormat::kGif},
      {{}, false, ImageFormat::kGif},
      {{'<', 'h', 't', 'm', 'l'}, false, ImageFormat::kGif},
  };
  for (const Case& c : cases) {
    auto format = SniffFormat(c.bytes);
    EXPECT_EQ(format.ok(), c.ok);
    if (c.ok && format.ok()) {
      EXPECT_EQ(*format, c.format);
    }
  }
  EXPECT_FALSE(DecodeImage({}).ok());
}

}  // namespace
}  // namespace pellix::device::imaging
