// "fmodce.dll": the sound library an image may carry (its file \Windows\fmodce.dll, which
// `pellix-device init --sound-library` installs). It offers the stream entry points the
// module relies on: a stream opened from a sound file (WAV, FLAC, OGG, MP3, decoded with
// libsndfile), played a given number of times on a free channel through the device's wave
// output, stopped and closed on request.
//
// Threads: the entry points may be called from any thread; each stream belongs to its caller.
#pragma once

#include <cstdint>
#include <vector>

namespace pellix::device::audio {

// The device path of the library's file; the library is present when the image has it.
inline constexpr char16_t kSoundLibraryFile[] = u"\\Windows\\fmodce.dll";

// A decoded sound: interleaved 16-bit samples.
struct DecodedSound {
  int channels = 0;
  int rate = 0;
  std::vector<int16_t> samples;
};

// Decodes a host file; false when libsndfile cannot read it or it is longer than the library
// keeps (ten minutes, or beyond what the wave output plays).
bool DecodeSoundFile(const char* host_path, DecodedSound* out);

}  // namespace pellix::device::audio
