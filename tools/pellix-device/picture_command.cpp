// pellix-device picture: what the device's imaging library makes of a picture file.
//   picture info FILE      format, size, pixel format, frame count, loop count, frame delays
//   picture samples DIR    writes the sample pictures the imaging tests use
#include <imaging.h>
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "com/com_object.h"
#include "imaging/decoded_image.h"
#include "imaging/sample_pictures.h"
#include "kernel/host_file.h"

namespace pellix::tool {
namespace {

using device::com::ComPtr;

constexpr size_t kMaxPictureBytes = 64u * 1024 * 1024;

const char* FormatName(const GUID& raw) {
  if (IsEqualGUID(raw, ImageFormatGIF)) return "GIF";
  if (IsEqualGUID(raw, ImageFormatPNG)) return "PNG";
  if (IsEqualGUID(raw, ImageFormatJPEG)) return "JPEG";
  if (IsEqualGUID(raw, ImageFormatBMP)) return "BMP";
  return "unknown";
}

const char* PixelFormatName(PixelFormatID format) {
  switch (format) {
    case PixelFormat1bppIndexed: return "1bppIndexed";
    case PixelFormat4bppIndexed: return "4bppIndexed";
    case PixelFormat8bppIndexed: return "8bppIndexed";
    case PixelFormat16bppRGB555: return "16bppRGB555";
    case PixelFormat16bppRGB565: return "16bppRGB565";
    case PixelFormat24bppRGB: return "24bppRGB";
    case PixelFormat32bppRGB: return "32bppRGB";
    case PixelFormat32bppARGB: return "32bppARGB";
    case PixelFormat32bppPARGB: return "32bppPARGB";
    default: return "other";
  }
}

// The value of a decoder property, or empty when the picture has none.
std::vector<uint8_t> Property(IImageDecoder* decoder, PROPID id) {
  UINT size = 0;
  if (FAILED(decoder->GetPropertyItemSize(id, &size)) || size < sizeof(PropertyItem)) return {};
  std::vector<uint8_t> buffer(size);
  auto* item = reinterpret_cast<PropertyItem*>(buffer.data());
  if (FAILED(decoder->GetPropertyItem(id, size, item))) return {};
  const auto* value = static_cast<const uint8_t*>(item->value);
  return std::vector<uint8_t>(value, value + item->length);
}

int Info(const std::string& file) {
  // The imaging library reads no stream beyond this either.
  auto read = device::ReadHostFile(file, kMaxPictureBytes);
  if (!read) return Fail(read.error().message);
  const std::vector<uint8_t>& bytes = *read;

  if (FAILED(CoInitializeEx(nullptr, 0))) return Fail("COM would not start");
  int status = 0;
  {
    ComPtr<IStream> stream;
    ComPtr<IImagingFactory> factory;
    ComPtr<IImageDecoder> decoder;
    ULONG written = 0;
    LARGE_INTEGER start{};
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(stream->Write(bytes.data(), ULONG(bytes.size()), &written)) ||
        FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) {
      status = Fail("cannot make a stream of " + file);
    } else if (FAILED(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IImagingFactory,
                                       reinterpret_cast<void**>(factory.put())))) {
      status = Fail("no imaging factory");
    } else if (FAILED(factory->CreateImageDecoder(stream.get(), DecoderInitFlagNone, decoder.put()))) {
      // The factory only says no; the decoder it runs says why.
      auto decoded = device::imaging::DecodeImage(bytes);
      status = Fail(file + ": not a picture the imaging library can decode" +
                    (decoded ? std::string() : " (" + decoded.error().message + ")"));
    } else {
      ImageInfo info{};
      UINT frames = 0;
      decoder->GetImageInfo(&info);
      decoder->GetFrameCount(&FrameDimensionTime, &frames);
      std::printf("format: %s\n", FormatName(info.RawDataFormat));
      std::printf("size: %u x %u\n", info.Width, info.Height);
      std::printf("pixel format: %s\n", PixelFormatName(info.PixelFormat));
      std::printf("alpha: %s\n", info.Flags & ImageFlagsHasAlpha ? "yes" : "no");
      std::printf("frames: %u\n", frames);
      std::vector<uint8_t> loops = Property(decoder.get(), 0x5101);
      if (loops.size() >= 2) {
        WORD count = 0;
        std::memcpy(&count, loops.data(), 2);
        if (count == 0) std::printf("loops: forever\n");
        else std::printf("loops: %u\n", unsigned(count));
      }
      std::vector<uint8_t> delays = Property(decoder.get(), 0x5100);
      for (size_t i = 0; i + 4 <= delays.size(); i += 4) {
        LONG cs = 0;
        std::memcpy(&cs, &delays[i], 4);
        std::printf("frame %zu: %d ms\n", i / 4, cs * 10);
      }
    }
  }
  CoUninitialize();
  return status;
}

int Run(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const std::string& path = args->positional()[0];
  if (args->subcommand() == "info") return Info(path);
  std::string error;
  if (!device::imaging::samples::WriteSampleSet(path, &error)) return Fail(error);
  std::printf("sample pictures written to %s\n", path.c_str());
  return 0;
}

}  // namespace

PELLIX_COMMAND("picture", "picture info FILE",
               "show a picture's size, frames and delays as the imaging library sees them", Run);
PELLIX_COMMAND("picture", "picture samples DIR", "write the sample pictures the imaging tests use", Run);

}  // namespace pellix::tool
