// The wave output through the SDK: formats it refuses, a buffer played in device time and
// handed back on the device's own thread, loops, a reset that returns the buffer before it
// returns, and what the journal keeps of it; the LEDs and the vibrator.
#include <atomic>
#include <thread>
#include <vector>

#include "audio/leds.h"
#include "audio/wave_out.h"
#include "kernel/device.h"
#include "testing/temp_image.h"

#include <windows.h>
#include <mmsystem.h>
#include <nled.h>

namespace {

using pellix::device::JournalEntry;
namespace journal_kind = pellix::device::journal_kind;

struct Returned {
  std::atomic<int> done{0};
  std::atomic<bool> on_caller_thread{false};
  std::thread::id caller;
  std::atomic<int> opened{0}, closed{0};
};

void CALLBACK Callback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
  auto* r = reinterpret_cast<Returned*>(instance);
  if (message == WOM_OPEN) ++r->opened;
  if (message == WOM_CLOSE) ++r->closed;
  if (message != WOM_DONE) return;
  auto* header = reinterpret_cast<WAVEHDR*>(param1);
  if (!(header->dwFlags & WHDR_DONE) || (header->dwFlags & WHDR_INQUEUE)) return;
  if (std::this_thread::get_id() == r->caller) r->on_caller_thread = true;
  ++r->done;
}

WAVEFORMATEX Mono8k() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = 8000;
  f.nAvgBytesPerSec = 8000;
  f.nBlockAlign = 1;
  f.wBitsPerSample = 8;
  return f;
}

class WaveOutputTest : public pellix::testing::DeviceTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.clock_speed = 20;
    return p;
  }
  std::vector<std::string> Sounds() {
    std::vector<std::string> out;
    for (const JournalEntry& e : device().journal().EntriesOfKind(journal_kind::kSound)) out.push_back(e.text);
    return out;
  }
};

TEST_F(WaveOutputTest, RefusesWhatItCannotPlay) {
  HWAVEOUT out = nullptr;
  WAVEFORMATEX f = Mono8k();
  f.wBitsPerSample = 12;
  EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(WAVERR_BADFORMAT));
  f = Mono8k();
  f.nAvgBytesPerSec = 4000;  // disagrees with the rate
  EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(WAVERR_BADFORMAT));
  f = Mono8k();
  EXPECT_EQ(waveOutOpen(&out, 7, &f, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
  EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_WINDOW), static_cast<MMRESULT>(MMSYSERR_INVALFLAG));
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  std::vector<char> data(80, 0);
  WAVEHDR h{};
  h.lpData = data.data();
  h.dwBufferLength = 80;
  EXPECT_EQ(waveOutWrite(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(WAVERR_UNPREPARED));
  EXPECT_EQ(waveOutPrepareHeader(out, &h, 12), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
  EXPECT_EQ(waveOutClose(out), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(waveOutClose(out), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
}

TEST_F(WaveOutputTest, PlaysLoopsInDeviceTimeAndHandsTheBufferBackOnItsOwnThread) {
  Returned r;
  r.caller = std::this_thread::get_id();
  HWAVEOUT out = nullptr;
  WAVEFORMATEX f = Mono8k();
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&Callback),
                        reinterpret_cast<DWORD_PTR>(&r), CALLBACK_FUNCTION),
            static_cast<MMRESULT>(MMSYSERR_NOERROR));
  std::vector<char> data(400);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  WAVEHDR h{};
  h.lpData = data.data();
  h.dwBufferLength = 400;  // 50 ms
  h.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  h.dwLoops = 4;
  ASSERT_EQ(waveOutPrepareHeader(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  const DWORD start = GetTickCount();
  ASSERT_EQ(waveOutWrite(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(waveOutUnprepareHeader(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
  while (r.done == 0 && GetTickCount() - start < 5000) Sleep(5);
  EXPECT_EQ(r.done, 1);
  EXPECT_GE(GetTickCount() - start, 190u);
  EXPECT_FALSE(r.on_caller_thread);
  EXPECT_EQ(waveOutUnprepareHeader(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(waveOutClose(out), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(r.opened, 1);
  EXPECT_EQ(r.closed, 1);

  char crc[16];
  snprintf(crc, sizeof crc, "%08x", pellix::device::audio::Crc32(data.data(), data.size()));
  EXPECT_EQ(Sounds(), (std::vector<std::string>{
                          std::string("play PCM 8000 Hz 8-bit 1 ch, 4 loops, 400 bytes, 200 ms, crc32 ") + crc,
                          "done after 200 ms"}));
}

TEST_F(WaveOutputTest, ResetReturnsTheBufferBeforeItReturns) {
  Returned r;
  HWAVEOUT out = nullptr;
  WAVEFORMATEX f = Mono8k();
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(&Callback),
                        reinterpret_cast<DWORD_PTR>(&r), CALLBACK_FUNCTION),
            static_cast<MMRESULT>(MMSYSERR_NOERROR));
  std::vector<char> data(80000, 1);  // ten seconds
  WAVEHDR h{};
  h.lpData = data.data();
  h.dwBufferLength = static_cast<DWORD>(data.size());
  waveOutPrepareHeader(out, &h, WAVEHDR_CBSIZE);
  waveOutWrite(out, &h, WAVEHDR_CBSIZE);
  EXPECT_EQ(waveOutClose(out), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
  ASSERT_TRUE(device().journal().WaitFor([](const JournalEntry& e) { return e.kind == journal_kind::kSound; },
                                         std::chrono::seconds(5)));
  EXPECT_EQ(waveOutReset(out), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(r.done, 1);  // already handed back
  EXPECT_TRUE(h.dwFlags & WHDR_DONE);
  EXPECT_EQ(waveOutUnprepareHeader(out, &h, WAVEHDR_CBSIZE), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  EXPECT_EQ(waveOutClose(out), static_cast<MMRESULT>(MMSYSERR_NOERROR));
  const auto sounds = Sounds();
  ASSERT_EQ(sounds.size(), 2u);
  EXPECT_EQ(sounds[1].rfind("reset after ", 0), 0u);
}

TEST(WaveCrc, IsTheStandardCrc32) {
  EXPECT_EQ(pellix::device::audio::Crc32("123456789", 9), 0xCBF43926u);
}

class LedsTest : public pellix::testing::DeviceTest {};

TEST_F(LedsTest, TheVibratorIsTheLedThatCannotBeAdjusted) {
  NLED_COUNT_INFO count{};
  ASSERT_TRUE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count));
  ASSERT_EQ(count.cLeds, 2u);
  NLED_SUPPORTS_INFO info{};
  info.LedNum = 1;
  ASSERT_TRUE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &info));
  EXPECT_EQ(info.lCycleAdjust, -1);
  info.LedNum = 0;
  ASSERT_TRUE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &info));
  EXPECT_NE(info.lCycleAdjust, -1);
  info.LedNum = 2;
  EXPECT_FALSE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &info));

  NLED_SETTINGS_INFO s{};
  s.LedNum = 1;
  s.OffOnBlink = 1;
  EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
  EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));  // no change, nothing journalled
  s.OffOnBlink = 0;
  EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
  s.LedNum = 0;
  s.OffOnBlink = 2;
  EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
  s.LedNum = 5;
  EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &s));
  std::vector<std::string> texts;
  for (const JournalEntry& e : device().journal().Entries())
    if (e.kind == journal_kind::kVibrate || e.kind == journal_kind::kLed) texts.push_back(e.kind + ":" + e.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"vibrate:vibrator on", "vibrate:vibrator off", "led:light blink"}));
}

}  // namespace
