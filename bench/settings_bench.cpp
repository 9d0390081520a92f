// Settings are re-read at every incoming message; logging is off in normal use.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/debug_log.h"
#include "core/settings.h"
#include "kernel/device.h"
#include "testing/temp_image.h"

namespace {

// A device with all twenty settings values present.
class SettingsDevice {
 public:
  SettingsDevice() {
    auto image = pellix::device::DeviceImage::Create(dir_.path() / "image", pellix::device::Profile{});
    pellix::device::Device::Boot(std::move(*image));
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const WCHAR* numbers[] = {TEXT("Enabled"), TEXT("DeliveryFix"), TEXT("OriginalNotification"),
                              TEXT("SoundEnabled"), TEXT("DebugLogging"), TEXT("Animation"),
                              TEXT("EnhanceComposeForm"), TEXT("NotificationReplyDefault"),
                              TEXT("PermanentlyDeleteReports"), TEXT("CompatibilityMode"),
                              TEXT("SoundLoop"), TEXT("NewNotifyAll"), TEXT("NewNotifyPicSmiley"),
                              TEXT("Vibrate"), TEXT("VibrateMs"), TEXT("ShowMyBubble"), TEXT("ZoomLevel")};
    for (const WCHAR* name : numbers) {
      DWORD value = 0;
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    }
    const WCHAR* texts[][2] = {{TEXT("SoundFile"), TEXT("\\Windows\\Alarm1.wav")},
                               {TEXT("SkinName"), TEXT("default")},
                               {TEXT("InstallDir"), TEXT("\\Program Files\\Halvane Quorrin\\Pellix\\")}};
    for (auto& t : texts)
      RegSetValueExW(key, t[0], 0, REG_SZ, reinterpret_cast<const BYTE*>(t[1]),
                     static_cast<DWORD>((wcslen(t[1]) + 1) * 2));
    RegCloseKey(key);
  }
  ~SettingsDevice() { pellix::device::Device::Shutdown(); }

 private:
  pellix::testing::TempDir dir_;
};

void BM_GetSettingsAllValuesPresent(benchmark::State& state) {
  SettingsDevice device;
  for (auto _ : state) benchmark::DoNotOptimize(GetSettings());
}
BENCHMARK(BM_GetSettingsAllValuesPresent);

void BM_WriteLogWhenOff(benchmark::State& state) {
  g_Settings.DebugLogging = 0;
  for (auto _ : state) WriteLog(TEXT("ProcessMessage called! %d %s"), 1, TEXT("unused"));
}
BENCHMARK(BM_WriteLogWhenOff);

}  // namespace
