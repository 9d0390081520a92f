// JPEG through libjpeg. Its errors leave through longjmp, so everything Run touches after
// setjmp lives in one job reached through a pointer: the jump skips no destructor.
// A stream that ends early is refused rather than padded with grey.
// jpeglib.h needs size_t and FILE declared before it.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "imaging/decoded_image.h"

namespace pellix::device::imaging {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  bool truncated = false;
  char message[JMSG_LENGTH_MAX] = {};
};

void ExitOnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  info->err->format_message(info, errors->message);
  std::longjmp(errors->jump, 1);
}

void NoteMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  if (level < 0) {
    // Data that ends early either runs into the end of the file or, when the end marker was
    // supplied, into that marker.
    if (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER) errors->truncated = true;
    info->err->num_warnings++;
  }
}

void Silence(j_common_ptr) {}

struct JpegJob {
  jpeg_decompress_struct info;
  JpegErrors errors;
  DecodedImage* image;
  std::vector<JSAMPLE> cmyk_row;
  const char* failure = nullptr;
};

// Returns false with job->failure or job->errors.message set.
bool Run(JpegJob* job, std::span<const uint8_t> file) {
  jpeg_decompress_struct* info = &job->info;
  info->err = jpeg_std_error(&job->errors.manager);
  job->errors.manager.error_exit = ExitOnError;
  job->errors.manager.emit_message = NoteMessage;
  job->errors.manager.output_message = Silence;
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_decompress(info);
    return false;
  }
  jpeg_create_decompress(info);
  info->mem->max_memory_to_use = 256L * 1024 * 1024;
  jpeg_mem_src(info, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(info, TRUE);
  if (job->errors.truncated) {
    job->failure = "JPEG: truncated";
    jpeg_destroy_decompress(info);
    return false;
  }
  if (info->image_width == 0 || info->image_height == 0 ||
      uint64_t{info->image_width} * info->image_height > kMaxCanvasPixels) {
    job->failure = "JPEG: picture too large";
    jpeg_destroy_decompress(info);
    return false;
  }
  const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
  info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_start_decompress(info);

  DecodedImage& image = *job->image;
  image.width = info->output_width;
  image.height = info->output_height;
  image.frames.resize(1);
  std::vector<uint32_t>& pixels = image.frames[0].pixels;
  pixels.resize(size_t{image.width} * image.height);
  std::vector<JSAMPLE>& cmyk_row = job->cmyk_row;
  cmyk_row.resize(cmyk ? size_t{image.width} * 4 : 0);
  while (info->output_scanline < info->output_height) {
    uint32_t* out = pixels.data() + size_t{info->output_scanline} * image.width;
    JSAMPROW row = cmyk ? cmyk_row.data() : reinterpret_cast<JSAMPROW>(out);
    if (jpeg_read_scanlines(info, &row, 1) != 1) break;
    if (cmyk) {
      // Adobe writes CMYK inverted, which is what nearly every CMYK JPEG in the wild is.
      for (uint32_t x = 0; x < image.width; ++x) {
        const JSAMPLE* p = &cmyk_row[size_t{x} * 4];
        uint32_t k = p[3];
        uint32_t r = p[0] * k / 255, g = p[1] * k / 255, b = p[2] * k / 255;
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
      }
    }
  }
  if (job->errors.truncated || info->output_scanline < info->output_height) {
    job->failure = "JPEG: truncated";
    jpeg_destroy_decompress(info);
    return false;
  }
  jpeg_finish_decompress(info);
  jpeg_destroy_decompress(info);
  return true;
}

}  // namespace

Result<DecodedImage> DecodeJpeg(std::span<const uint8_t> file) {
  // Many cameras and editors leave out the final end-of-image marker; the platform's decoder
  // and every browser show such a picture, so the marker is supplied. Pixel data that is really
  // missing still stops the decoder short of the marker and is refused as truncated.
  std::vector<uint8_t> completed;
  if (file.size() >= 2 && !(file[file.size() - 2] == 0xFF && file.back() == 0xD9)) {
    completed.reserve(file.size() + 2);
    completed.assign(file.begin(), file.end());
    completed.push_back(0xFF);
    completed.push_back(0xD9);
    file = completed;
  }
  DecodedImage image;
  image.format = ImageFormat::kJpeg;
  image.layout = NativeLayout::kRgb24;
  auto job = std::make_unique<JpegJob>();
  job->image = &image;
  if (!Run(job.get(), file)) {
    if (job->failure) return Fail(job->failure);
    return Fail(std::string("JPEG: ") + job->errors.message);
  }
  // The extended BGRA output leaves the fourth byte at 0xFF: JPEG has no alpha.
  return image;
}

}  // namespace pellix::device::imaging
