// The handheld's audio output: one wave device that plays PCM buffers in device time on a
// thread of its own per open handle, and hands finished buffers back to the opener's callback
// from that thread, as the platform does. What is played goes to the journal (kind "sound"):
// the format, the loop count, the length and a CRC-32 of the samples, then how it ended.
//
// Threads: the wave functions may be called from any thread. Each handle has a lock that guards
// its queue; callbacks run on the handle's thread with no lock held. Reset waits until every
// buffer it returns has been through the callback, so a caller may free its headers as soon as
// waveOutReset returns.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <mmsystem.h>

namespace pellix::device {

class Device;

namespace audio {

// CRC-32 (the polynomial of zlib and PNG) of `size` bytes, continued from `crc`.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// "PCM 22050 Hz 16-bit 1 ch" for a journal line.
std::string DescribeFormat(const WAVEFORMATEX& format);

// Whether the device can play `format`: PCM, 1 or 2 channels of 8 or 16 bits, 8000 to 48000
// samples a second, with a block and byte rate that agree.
bool PlayableFormat(const WAVEFORMATEX& format);

class WaveOutput {
 public:
  explicit WaveOutput(Device& device);
  ~WaveOutput();
  WaveOutput(const WaveOutput&) = delete;
  WaveOutput& operator=(const WaveOutput&) = delete;

  MMRESULT Open(HWAVEOUT* out, const WAVEFORMATEX& format, LPWAVECALLBACK callback, DWORD_PTR instance);
  MMRESULT Close(HWAVEOUT handle);
  MMRESULT Prepare(HWAVEOUT handle, WAVEHDR* header);
  MMRESULT Unprepare(HWAVEOUT handle, WAVEHDR* header);
  MMRESULT Write(HWAVEOUT handle, WAVEHDR* header);
  MMRESULT Reset(HWAVEOUT handle);

  // Handles open now (tests).
  size_t open_count() const;

 private:
  struct Handle;
  std::shared_ptr<Handle> Find(HWAVEOUT handle) const;
  void Run(const std::shared_ptr<Handle>& h);

  Device& device_;
  mutable std::mutex mutex_;  // guards handles_ and next_id_
  std::map<uintptr_t, std::shared_ptr<Handle>> handles_;
  uintptr_t next_id_ = 0x5A00;
};

}  // namespace audio
}  // namespace pellix::device
