#include "audio/sound_library.h"

#include <sndfile.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "kernel/codepage.h"
#include "kernel/device.h"
#include "kernel/module_loader.h"

#include <windows.h>
#include <mmsystem.h>

namespace pellix::device::audio {

namespace {

constexpr int64_t kMaxSeconds = 600;

struct Stream {
  DecodedSound sound;
  WAVEFORMATEX format{};
  int loops = -1;  // extra times after the first; -1 until set: the stream's own mode decides
  bool looping = false;
  HWAVEOUT output = nullptr;
  WAVEHDR header{};
  bool playing = false;
};

std::mutex g_mutex;  // guards g_initialised
bool g_initialised = false;

void StopStream(Stream& s) {
  if (!s.output) return;
  if (s.playing) {
    waveOutReset(s.output);
    waveOutUnprepareHeader(s.output, &s.header, WAVEHDR_CBSIZE);
    s.playing = false;
  }
  waveOutClose(s.output);
  s.output = nullptr;
}

}  // namespace

bool DecodeSoundFile(const char* host_path, DecodedSound* out) {
  SF_INFO info{};
  SNDFILE* file = sf_open(host_path, SFM_READ, &info);
  if (!file) return false;
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> closer(file, sf_close);
  if (info.channels < 1 || info.channels > 2 || info.samplerate < 8000 || info.samplerate > 48000) return false;
  if (info.frames <= 0 || info.frames > kMaxSeconds * info.samplerate) return false;
  out->channels = info.channels;
  out->rate = info.samplerate;
  out->samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
  const sf_count_t read = sf_readf_short(file, out->samples.data(), info.frames);
  if (read <= 0) return false;
  out->samples.resize(static_cast<size_t>(read) * static_cast<size_t>(info.channels));
  return true;
}

}  // namespace pellix::device::audio

// ---- The library's entry points ----

namespace {

using pellix::device::Device;
using pellix::device::audio::Stream;

constexpr unsigned kLoopNormal = 0x2;

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int) {
  if (mixrate < 4000 || mixrate > 96000 || maxsoftwarechannels < 1) return 0;
  std::lock_guard lock(pellix::device::audio::g_mutex);
  pellix::device::audio::g_initialised = true;
  return 1;
}

void FSOUND_Close() {
  std::lock_guard lock(pellix::device::audio::g_mutex);
  pellix::device::audio::g_initialised = false;
}

void* FSOUND_Stream_Open(const char* name, unsigned int mode, int offset, int length) {
  if (!name || offset < 0 || length < 0) return nullptr;
  {
    std::lock_guard lock(pellix::device::audio::g_mutex);
    if (!pellix::device::audio::g_initialised) return nullptr;
  }
  Device* device = Device::Current();
  if (!device) return nullptr;
  const std::u16string path = pellix::device::codepage::AnsiToWide(std::string_view(name, strnlen(name, 1024)));
  auto host = device->image().MapPath(path);
  if (!host) return nullptr;
  auto stream = std::make_unique<Stream>();
  if (!pellix::device::audio::DecodeSoundFile(host->c_str(), &stream->sound)) return nullptr;
  const auto& s = stream->sound;
  stream->format.wFormatTag = WAVE_FORMAT_PCM;
  stream->format.nChannels = static_cast<WORD>(s.channels);
  stream->format.nSamplesPerSec = static_cast<DWORD>(s.rate);
  stream->format.wBitsPerSample = 16;
  stream->format.nBlockAlign = static_cast<WORD>(2 * s.channels);
  stream->format.nAvgBytesPerSec = static_cast<DWORD>(s.rate * 2 * s.channels);
  stream->looping = (mode & kLoopNormal) != 0;
  return stream.release();
}

signed char FSOUND_Stream_SetLoopCount(void* handle, int count) {
  if (!handle) return 0;
  static_cast<Stream*>(handle)->loops = count;
  return 1;
}

int FSOUND_Stream_Play(int channel, void* handle) {
  if (!handle || channel < -1) return -1;
  auto& s = *static_cast<Stream*>(handle);
  pellix::device::audio::StopStream(s);
  // A looping stream without a loop count plays until it is stopped; the device plays it for
  // as many rounds as fit in an hour, which no alert outlasts.
  const DWORD bytes = static_cast<DWORD>(s.sound.samples.size() * sizeof(int16_t));
  DWORD rounds = 1;
  if (s.loops >= 0) {
    rounds = static_cast<DWORD>(s.loops) + 1;
  } else if (s.looping && bytes) {
    rounds = static_cast<DWORD>(std::max<uint64_t>(1, 3600ull * s.format.nAvgBytesPerSec / bytes));
  }
  if (waveOutOpen(&s.output, WAVE_MAPPER, &s.format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    s.output = nullptr;
    return -1;
  }
  s.header = WAVEHDR{};
  s.header.lpData = reinterpret_cast<LPSTR>(s.sound.samples.data());
  s.header.dwBufferLength = bytes;
  if (rounds > 1) {
    s.header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    s.header.dwLoops = rounds;
  }
  if (waveOutPrepareHeader(s.output, &s.header, WAVEHDR_CBSIZE) != MMSYSERR_NOERROR ||
      waveOutWrite(s.output, &s.header, WAVEHDR_CBSIZE) != MMSYSERR_NOERROR) {
    waveOutClose(s.output);
    s.output = nullptr;
    return -1;
  }
  s.playing = true;
  return channel < 0 ? 0 : channel;
}

signed char FSOUND_Stream_Stop(void* handle) {
  if (!handle) return 0;
  pellix::device::audio::StopStream(*static_cast<Stream*>(handle));
  return 1;
}

signed char FSOUND_Stream_Close(void* handle) {
  if (!handle) return 0;
  auto* s = static_cast<Stream*>(handle);
  pellix::device::audio::StopStream(*s);
  delete s;
  return 1;
}

const bool kRegistered = [] {
  pellix::device::BuiltinLibrary library;
  library.exports = {
      {"FSOUND_Init", 0, reinterpret_cast<void*>(&FSOUND_Init)},
      {"FSOUND_Close", 0, reinterpret_cast<void*>(&FSOUND_Close)},
      {"FSOUND_Stream_Stop", 0, reinterpret_cast<void*>(&FSOUND_Stream_Stop)},
      {"FSOUND_Stream_Close", 0, reinterpret_cast<void*>(&FSOUND_Stream_Close)},
      {"FSOUND_Stream_Open", 0, reinterpret_cast<void*>(&FSOUND_Stream_Open)},
      {"FSOUND_Stream_SetLoopCount", 0, reinterpret_cast<void*>(&FSOUND_Stream_SetLoopCount)},
      {"FSOUND_Stream_Play", 0, reinterpret_cast<void*>(&FSOUND_Stream_Play)},
  };
  library.present = [](Device& device) {
    auto host = device.image().MapPath(pellix::device::audio::kSoundLibraryFile);
    std::error_code ec;
    return host.ok() && std::filesystem::is_regular_file(*host, ec);
  };
  return pellix::device::RegisterBuiltinLibrary(u"fmodce.dll", std::move(library));
}();

}  // namespace
