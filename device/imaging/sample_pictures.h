// Writers for small pictures in every format the decoders read, built with the libraries'
// own encoders (GIF, PNG, JPEG) or byte by byte (BMP). Tests, benchmarks, fuzz seeds and the
// tool's demo pictures come from here, so a picture's exact contents are known to its reader.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pellix::device::imaging::samples {

struct GifFrameSpec {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> indices;    // width * height, top row first
  int disposal = 0;                // 0 unspecified, 1 keep, 2 clear to background, 3 restore previous
  int transparent = -1;            // index that is transparent, or -1
  int delay_cs = 0;                // hundredths of a second
  bool interlaced = false;         // rows are written in the four interlace passes
  bool control = true;             // write a graphic control extension before the frame
  std::vector<uint32_t> local_palette;  // 0xRRGGBB; empty: the global palette
};

struct GifSpec {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB; padded to a power of two
  int loop = -1;                  // Netscape loop count, -1 for none
  std::vector<GifFrameSpec> frames;
};

std::vector<uint8_t> WriteGif(const GifSpec& desc);

// `argb` is width * height pixels, 0xAARRGGBB, top row first.
std::vector<uint8_t> WritePng(int width, int height, const std::vector<uint32_t>& argb, bool alpha,
                              bool interlaced = false);
std::vector<uint8_t> WriteJpeg(int width, int height, const std::vector<uint32_t>& argb, int quality,
                               bool grey = false);

struct BmpSpec {
  int width = 0, height = 0;
  int bpp = 24;                  // 1, 4, 8, 16 (5-6-5 bit fields), 24 or 32
  bool top_down = false;
  bool alpha = false;            // 32 bits: write a version-4 header with an alpha mask
  std::vector<uint32_t> palette; // 0xRRGGBB, for 8 bits and fewer
  std::vector<uint32_t> pixels;  // indices for palettes, else 0xAARRGGBB; top row first
};
std::vector<uint8_t> WriteBmp(const BmpSpec& desc);

// A `frames`-frame animation of `size` x `size` pixels: a square that moves one step per frame
// over a partly transparent background, alternating disposal methods.
std::vector<uint8_t> MovingSquareGif(int frames, int size);

// Writes one picture of each kind the decoders handle, and broken ones, into `dir`.
// Writes the sample set into `dir` (made when missing). False, with the reason in `error`, when
// the folder cannot be made or a file cannot be written.
bool WriteSampleSet(const std::filesystem::path& dir, std::string* error = nullptr);

}  // namespace pellix::device::imaging::samples
