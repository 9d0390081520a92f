// The alerts through the device: a wave file played by the wave player (its loops, its samples,
// reused data, stopped by removal), the vibrator found among the LEDs and stopped by its timer
// or by removal, the audio device's power request around the start of playback.
#include "bubble/alerts.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "audio/wave_out.h"
#include "bubble/bubble_test_support.h"

namespace {

using pellix::device::JournalEntry;
namespace journal_kind = pellix::device::journal_kind;

// A canonical 44-byte header and `samples` bytes of 8-bit mono PCM at 8000 Hz.
std::vector<uint8_t> WaveFile(const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> f(44, 0);
  auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i)); };
  auto put16 = [&](size_t at, uint16_t v) { f[at] = uint8_t(v), f[at + 1] = uint8_t(v >> 8); };
  std::memcpy(&f[0], "RIFF", 4);
  put32(4, uint32_t(36 + samples.size()));
  std::memcpy(&f[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);     // PCM
  put16(22, 1);     // mono
  put32(24, 8000);  // samples a second
  put32(28, 8000);  // bytes a second
  put16(32, 1);     // block
  put16(34, 8);     // bits
  std::memcpy(&f[36], "data", 4);
  put32(40, uint32_t(samples.size()));
  f.insert(f.end(), samples.begin(), samples.end());
  return f;
}

class BubbleAlertTest : public pellix::testing::BubbleDeviceTest {
 protected:
  void WriteWave(const std::vector<uint8_t>& samples) {
    std::ofstream out(HostPath(u"\\alert.wav"), std::ios::binary);
    const auto bytes = WaveFile(samples);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  std::vector<std::string> Texts(const char* kind) {
    std::vector<std::string> out;
    for (const JournalEntry& e : device().journal().EntriesOfKind(kind)) out.push_back(e.text);
    return out;
  }
};

TEST_F(BubbleAlertTest, AWaveFilePlaysItsLoopsOnceLoadedAndStopsWithItsNotification) {
  std::vector<uint8_t> samples(4000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(128 + (i % 16) * 4);
  WriteWave(samples);
  g_Settings.SoundEnabled = 1;
  g_Settings.SoundFile.Set(u"\\alert.wav");
  // Long enough (50 device seconds) to be playing still when the next alert comes.
  g_Settings.SoundLoop = 100;
  StartThread();

  char crc[16];
  snprintf(crc, sizeof crc, "%08x", pellix::device::audio::Crc32(samples.data(), samples.size()));
  const std::string played =
      std::string("play PCM 8000 Hz 8-bit 1 ch, 100 loops, 4000 bytes, 50000 ms, crc32 ") + crc;
  const DWORD first = Notify(u"Hello");
  ASSERT_TRUE(WaitForJournal([&](const JournalEntry& e) { return e.kind == journal_kind::kSound && e.text == played; }));

  // The second alert stops the first and plays the data loaded for the first, even though the
  // file has changed since.
  WriteWave(std::vector<uint8_t>(100, 0));
  const uint64_t from = device().journal().size();
  const DWORD second = Notify(u"Again");
  ASSERT_TRUE(WaitForJournal([&](const JournalEntry& e) { return e.kind == journal_kind::kSound && e.text == played; }, from));
  std::vector<std::string> sounds = Texts(journal_kind::kSound);
  ASSERT_GE(sounds.size(), 3u);
  EXPECT_EQ(sounds[1].rfind("reset after ", 0), 0u);

  // Removing a notification stops its sound at once.
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, second);
  ASSERT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kSound && e.text.rfind("reset after ", 0) == 0;
  }, from));
  (void)first;
  // The audio device was held at full power only while playback started. The second start
  // may still be releasing it when the removal has been journaled: wait for its release.
  auto wav_requests = [&] {
    int wav = 0;
    for (const std::string& p : Texts(journal_kind::kPower)) wav += p.find("WAV1:") != std::string::npos;
    return wav;
  };
  EXPECT_TRUE(WaitUntil([&] { return wav_requests() >= 4; }));
  EXPECT_EQ(wav_requests(), 4);
}

TEST_F(BubbleAlertTest, OneLoopCarriesNoLoopFlags) {
  WriteWave(std::vector<uint8_t>(800, 128));
  g_Settings.SoundEnabled = 1;
  g_Settings.SoundFile.Set(u"\\alert.wav");
  g_Settings.SoundLoop = 1;
  StartThread();
  Notify(u"Hello");
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kSound && e.text.find(", 1 loop, 800 bytes, 100 ms,") != std::string::npos;
  }));
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) { return e.kind == journal_kind::kSound && e.text == "done after 100 ms"; }));
}

TEST_F(BubbleAlertTest, SoundSwitchedOffSilencesTheNextAlertAndOnNeedsANewThread) {
  WriteWave(std::vector<uint8_t>(800, 128));
  g_Settings.SoundFile.Set(u"\\alert.wav");
  g_Settings.SoundLoop = 1;
  g_Settings.SoundEnabled = 0;
  StartThread();
  g_Settings.SoundEnabled = 1;  // too late for this thread: it made no player
  Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Logged("WM_SOUNDINITIALIZE..\r\n"); }));
  EXPECT_TRUE(Texts(journal_kind::kSound).empty());
}

TEST_F(BubbleAlertTest, AnotherSoundFileWithoutTheSoundLibraryIsSilent) {
  g_Settings.SoundEnabled = 1;
  g_Settings.SoundFile.Set(u"\\alert.WAV");  // the extension is matched with its case
  StartThread();
  Notify(u"Hello");
  ASSERT_TRUE(WaitUntil([&] { return Logged("WM_SOUNDINITIALIZE..FMOD playing.."); }));
  EXPECT_TRUE(Texts(journal_kind::kSound).empty());
}

TEST_F(BubbleAlertTest, TheSoundLibraryPlaysAnyOtherFileItsLoopCountPlusOneTimes) {
  {
    std::filesystem::create_directories(HostPath(u"\\Windows"));
    std::ofstream(HostPath(u"\\Windows\\fmodce.dll")) << "sound library\n";
  }
  std::vector<uint8_t> samples(4000, 200);
  WriteWave(samples);
  std::filesystem::rename(HostPath(u"\\alert.wav"), HostPath(u"\\alert.WAV").parent_path() / "alert.snd");
  g_Settings.SoundEnabled = 1;
  g_Settings.SoundFile.Set(u"\\alert.snd");
  g_Settings.SoundLoop = 100;
  StartThread();
  const DWORD number = Notify(u"Hello");
  // Decoded to 16 bits a sample by the library, played SoundLoop times.
  ASSERT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kSound && e.text.rfind("play PCM 8000 Hz 16-bit 1 ch, 100 loops, 8000 bytes, 50000 ms", 0) == 0;
  })) << Log();
  EXPECT_TRUE(Logged("FMOD playing..Sound Playing.."));
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, number);
  EXPECT_TRUE(WaitForJournal([](const JournalEntry& e) {
    return e.kind == journal_kind::kSound && e.text.rfind("reset after ", 0) == 0;
  }));
}

TEST_F(BubbleAlertTest, TheSoundLibraryLogsAFileItCannotOpen) {
  std::filesystem::create_directories(HostPath(u"\\Windows"));
  std::ofstream(HostPath(u"\\Windows\\fmodce.dll")) << "sound library\n";
  g_Settings.SoundEnabled = 1;
  g_Settings.SoundFile.Set(u"\\missing.mp3");
  StartThread();
  Notify(u"Hello");
  EXPECT_TRUE(WaitUntil([&] { return Logged("error loading sound file!!\r\n"); }));
}

TEST_F(BubbleAlertTest, TheVibratorStopsByItsTimerOrByRemoval) {
  EXPECT_EQ(FindVibrator(), 1);
  g_Settings.Vibrate = 1;
  g_Settings.VibrateMs = 100;
  StartThread();
  Notify(u"Hello");
  ASSERT_TRUE(WaitForJournal([](const JournalEntry& e) { return e.kind == journal_kind::kVibrate && e.text == "vibrator off"; }));
  auto entries = device().journal().EntriesOfKind(journal_kind::kVibrate);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "vibrator on");
  const uint64_t lasted = entries[1].device_time - entries[0].device_time;
  EXPECT_GE(lasted, 90u);
  EXPECT_LT(lasted, 2000u);

  // A long vibration ends with its notification.
  g_Settings.VibrateMs = 10000;
  const DWORD second = Notify(u"Again");
  ASSERT_TRUE(WaitForJournal([](const JournalEntry& e) { return e.kind == journal_kind::kVibrate && e.text == "vibrator on"; }, entries[1].sequence + 1));
  PostMessageW(g_hBubbleThreadWindow, WM_REMOVENOTIFICATION, 0, second);
  ASSERT_TRUE(WaitForJournal([](const JournalEntry& e) { return e.kind == journal_kind::kVibrate && e.text == "vibrator off"; }, entries[1].sequence + 1));
  entries = device().journal().EntriesOfKind(journal_kind::kVibrate);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_LT(entries[3].device_time - entries[2].device_time, 5000u);
}

}  // namespace
