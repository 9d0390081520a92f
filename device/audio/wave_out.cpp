#include "audio/wave_out.h"

#include <array>
#include <cstdio>
#include <vector>

#include "kernel/device.h"
#include "kernel/platform_error.h"

namespace pellix::device::audio {

namespace {

const std::array<uint32_t, 256>& CrcTable() {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  return table;
}

// A header's size as the caller states it: the device's 32 bytes or the host's own.
bool HeaderSizeOk(UINT size) { return size == WAVEHDR_CBSIZE || size == sizeof(WAVEHDR); }

}  // namespace

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  const auto& table = CrcTable();
  const auto* p = static_cast<const uint8_t*>(data);
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::string DescribeFormat(const WAVEFORMATEX& f) {
  char text[96];
  std::snprintf(text, sizeof text, "PCM %u Hz %u-bit %u ch", static_cast<unsigned>(f.nSamplesPerSec),
                static_cast<unsigned>(f.wBitsPerSample), static_cast<unsigned>(f.nChannels));
  return text;
}

bool PlayableFormat(const WAVEFORMATEX& f) {
  if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
  if (f.nChannels < 1 || f.nChannels > 2) return false;
  if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return false;
  if (f.nSamplesPerSec < 8000 || f.nSamplesPerSec > 48000) return false;
  const unsigned align = f.nChannels * f.wBitsPerSample / 8;
  return f.nBlockAlign == align && f.nAvgBytesPerSec == f.nSamplesPerSec * align;
}

struct WaveOutput::Handle {
  uintptr_t id = 0;
  WAVEFORMATEX format{};
  LPWAVECALLBACK callback = nullptr;
  DWORD_PTR instance = 0;

  std::mutex mutex;  // guards everything below
  std::condition_variable changed;
  std::deque<WAVEHDR*> queue;
  bool resetting = false;    // Reset waits: return every queued buffer now
  bool closing = false;
  bool in_callback = false;  // the thread is handing buffers back
  std::thread thread;

  HWAVEOUT hwo() const { return reinterpret_cast<HWAVEOUT>(id); }
  void Call(UINT message, DWORD_PTR param) {
    if (callback) callback(hwo(), message, instance, param, 0);
  }
};

WaveOutput::WaveOutput(Device& device) : device_(device) {}

WaveOutput::~WaveOutput() {
  std::map<uintptr_t, std::shared_ptr<Handle>> handles;
  {
    std::lock_guard lock(mutex_);
    handles.swap(handles_);
  }
  for (auto& [id, h] : handles) {
    {
      std::lock_guard lock(h->mutex);
      h->closing = true;
      h->resetting = true;
    }
    h->changed.notify_all();
    if (h->thread.joinable()) h->thread.join();
  }
}

size_t WaveOutput::open_count() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::shared_ptr<WaveOutput::Handle> WaveOutput::Find(HWAVEOUT handle) const {
  std::lock_guard lock(mutex_);
  auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
  return it == handles_.end() ? nullptr : it->second;
}

MMRESULT WaveOutput::Open(HWAVEOUT* out, const WAVEFORMATEX& format, LPWAVECALLBACK callback,
                          DWORD_PTR instance) {
  if (!PlayableFormat(format)) return WAVERR_BADFORMAT;
  auto h = std::make_shared<Handle>();
  h->format = format;
  h->callback = callback;
  h->instance = instance;
  {
    std::lock_guard lock(mutex_);
    h->id = next_id_++;
    handles_[h->id] = h;
  }
  *out = h->hwo();
  h->thread = std::thread([this, h] { Run(h); });
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutput::Close(HWAVEOUT handle) {
  auto h = Find(handle);
  if (!h) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard lock(h->mutex);
    if (!h->queue.empty()) return WAVERR_STILLPLAYING;
    h->closing = true;
  }
  {
    std::lock_guard lock(mutex_);
    handles_.erase(h->id);
  }
  h->changed.notify_all();
  // A callback must not close its own device; if it does anyway, let the thread end by itself.
  if (h->thread.get_id() == std::this_thread::get_id()) {
    h->thread.detach();
  } else if (h->thread.joinable()) {
    h->thread.join();
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutput::Prepare(HWAVEOUT handle, WAVEHDR* header) {
  auto h = Find(handle);
  if (!h) return MMSYSERR_INVALHANDLE;
  if (!header || !header->lpData) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(h->mutex);
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutput::Unprepare(HWAVEOUT handle, WAVEHDR* header) {
  auto h = Find(handle);
  if (!h) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  std::lock_guard lock(h->mutex);
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~static_cast<DWORD>(WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutput::Write(HWAVEOUT handle, WAVEHDR* header) {
  auto h = Find(handle);
  if (!h) return MMSYSERR_INVALHANDLE;
  if (!header) return MMSYSERR_INVALPARAM;
  {
    std::lock_guard lock(h->mutex);
    if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
    if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header->dwFlags = (header->dwFlags | WHDR_INQUEUE) & ~static_cast<DWORD>(WHDR_DONE);
    h->queue.push_back(header);
  }
  h->changed.notify_all();
  return MMSYSERR_NOERROR;
}

MMRESULT WaveOutput::Reset(HWAVEOUT handle) {
  auto h = Find(handle);
  if (!h) return MMSYSERR_INVALHANDLE;
  std::unique_lock lock(h->mutex);
  if (h->thread.get_id() == std::this_thread::get_id()) return MMSYSERR_ERROR;  // from a callback
  h->resetting = true;
  h->changed.notify_all();
  h->changed.wait(lock, [&] { return (h->queue.empty() && !h->in_callback) || h->closing; });
  h->resetting = false;
  return MMSYSERR_NOERROR;
}

void WaveOutput::Run(const std::shared_ptr<Handle>& h) {
  Journal& journal = device_.journal();
  const Clock& clock = device_.clock();
  h->Call(WOM_OPEN, 0);
  std::unique_lock lock(h->mutex);
  for (;;) {
    h->changed.wait(lock, [&] { return !h->queue.empty() || h->closing; });
    if (h->queue.empty()) break;  // closing with nothing left

    WAVEHDR* header = h->queue.front();
    std::vector<WAVEHDR*> done;
    if (!h->resetting) {
      const bool looped = (header->dwFlags & WHDR_BEGINLOOP) && (header->dwFlags & WHDR_ENDLOOP);
      const uint64_t loops = looped ? std::max<DWORD>(header->dwLoops, 1) : 1;
      const uint64_t bytes = header->dwBufferLength;
      const uint64_t once_ms = bytes * 1000 / std::max<DWORD>(h->format.nAvgBytesPerSec, 1);
      const uint64_t total_ms = once_ms * loops;
      char line[192];
      std::snprintf(line, sizeof line, "play %s, %llu loop%s, %llu bytes, %llu ms, crc32 %08x",
                    DescribeFormat(h->format).c_str(), static_cast<unsigned long long>(loops),
                    loops == 1 ? "" : "s", static_cast<unsigned long long>(bytes),
                    static_cast<unsigned long long>(total_ms),
                    static_cast<unsigned>(Crc32(header->lpData, header->dwBufferLength)));
      journal.Append(journal_kind::kSound, line);
      const uint64_t start = clock.Now();
      const bool interrupted = h->changed.wait_until(lock, clock.RealDeadline(total_ms),
                                                     [&] { return h->resetting || h->closing; });
      const uint64_t played = std::min<uint64_t>(clock.Now() - start, total_ms);
      std::snprintf(line, sizeof line, "%s after %llu ms", interrupted ? "reset" : "done",
                    static_cast<unsigned long long>(interrupted ? played : total_ms));
      journal.Append(journal_kind::kSound, line);
      if (!interrupted) {
        h->queue.pop_front();
        done.push_back(header);
      }
    }
    if (h->resetting) {
      done.insert(done.end(), h->queue.begin(), h->queue.end());
      h->queue.clear();
    }
    for (WAVEHDR* d : done) d->dwFlags = (d->dwFlags | WHDR_DONE) & ~static_cast<DWORD>(WHDR_INQUEUE);
    // Buffers go back without the lock, so the callback may unprepare them.
    h->in_callback = true;
    lock.unlock();
    for (WAVEHDR* d : done) h->Call(WOM_DONE, reinterpret_cast<DWORD_PTR>(d));
    lock.lock();
    h->in_callback = false;
    h->changed.notify_all();
  }
  lock.unlock();
  h->Call(WOM_CLOSE, 0);
}

}  // namespace pellix::device::audio

// ---- The SDK surface (coredll's wave functions) ----

using pellix::device::Device;
using pellix::device::audio::WaveOutput;

namespace {
WaveOutput& Output() { return Device::Get().Component<WaveOutput>(); }
}  // namespace

UINT waveOutGetNumDevs() { return 1; }

MMRESULT waveOutOpen(LPHWAVEOUT phwo, UINT uDeviceID, LPCWAVEFORMATEX pwfx, DWORD_PTR dwCallback,
                     DWORD_PTR dwInstance, DWORD fdwOpen) {
  if (uDeviceID != 0 && uDeviceID != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
  if (!pwfx) return MMSYSERR_INVALPARAM;
  if (fdwOpen & WAVE_FORMAT_QUERY)
    return pellix::device::audio::PlayableFormat(*pwfx) ? MMSYSERR_NOERROR : WAVERR_BADFORMAT;
  const DWORD kind = fdwOpen & CALLBACK_TYPEMASK;
  // Only function callbacks and none at all: the module's player is the device's only user.
  if (kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) return MMSYSERR_INVALFLAG;
  if (!phwo) return MMSYSERR_INVALPARAM;
  auto callback = kind == CALLBACK_FUNCTION ? reinterpret_cast<LPWAVECALLBACK>(dwCallback) : nullptr;
  return Output().Open(phwo, *pwfx, callback, dwInstance);
}

MMRESULT waveOutClose(HWAVEOUT hwo) { return Output().Close(hwo); }

MMRESULT waveOutPrepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  if (!pellix::device::audio::HeaderSizeOk(cbwh)) return MMSYSERR_INVALPARAM;
  return Output().Prepare(hwo, pwh);
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  if (!pellix::device::audio::HeaderSizeOk(cbwh)) return MMSYSERR_INVALPARAM;
  return Output().Unprepare(hwo, pwh);
}

MMRESULT waveOutWrite(HWAVEOUT hwo, LPWAVEHDR pwh, UINT cbwh) {
  if (!pellix::device::audio::HeaderSizeOk(cbwh)) return MMSYSERR_INVALPARAM;
  return Output().Write(hwo, pwh);
}

MMRESULT waveOutReset(HWAVEOUT hwo) { return Output().Reset(hwo); }
