// The sound library: present only in images that carry its file, and decoding the sound
// formats a person puts on a handheld.
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "audio/sound_library.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace {

namespace fs = std::filesystem;

class SoundLibraryTest : public pellix::testing::DeviceTest {};

TEST_F(SoundLibraryTest, IsPresentOnlyWhenTheImageHasItsFile) {
  EXPECT_EQ(LoadLibraryW(u"fmodce.dll"), nullptr);
  fs::create_directories(HostPath(u"\\Windows"));
  std::ofstream(HostPath(pellix::device::audio::kSoundLibraryFile)) << "sound library\n";
  HMODULE library = LoadLibraryW(u"fmodce.dll");
  ASSERT_NE(library, nullptr);
  for (const char16_t* name : {u"FSOUND_Init", u"FSOUND_Close", u"FSOUND_Stream_Stop", u"FSOUND_Stream_Close",
                               u"FSOUND_Stream_Open", u"FSOUND_Stream_SetLoopCount", u"FSOUND_Stream_Play"})
    EXPECT_NE(GetProcAddressW(library, name), nullptr);
  FreeLibrary(library);
}

TEST_F(SoundLibraryTest, DecodesFlacOggAndWavAndRefusesTheRest) {
  const int rate = 22050;
  std::vector<short> tone(rate / 2);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<short>(8000 * std::sin(i * 0.1));
  struct Case {
    const char* name;
    int format;
  } cases[] = {{"a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
               {"a.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
               {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16}};
  for (const Case& c : cases) {
    const fs::path path = image_dir() / c.name;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = c.format;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr) << c.name << ": " << sf_strerror(nullptr);
    sf_writef_short(out, tone.data(), static_cast<sf_count_t>(tone.size()));
    sf_close(out);
    pellix::device::audio::DecodedSound sound;
    ASSERT_TRUE(pellix::device::audio::DecodeSoundFile(path.c_str(), &sound)) << c.name;
    EXPECT_EQ(sound.rate, rate) << c.name;
    EXPECT_EQ(sound.channels, 1) << c.name;
    EXPECT_NEAR(static_cast<double>(sound.samples.size()), static_cast<double>(tone.size()), 2048) << c.name;
  }
  std::ofstream(image_dir() / "junk.mp3") << "not a sound at all";
  pellix::device::audio::DecodedSound sound;
  EXPECT_FALSE(pellix::device::audio::DecodeSoundFile((image_dir() / "junk.mp3").c_str(), &sound));
  EXPECT_FALSE(pellix::device::audio::DecodeSoundFile((image_dir() / "none.wav").c_str(), &sound));
}

}  // namespace
