// pellix-device settings: the settings record exactly as the module loads it.
#include <cstdio>

#include "command.h"
#include "core/settings.h"
#include "kernel/device_image.h"

namespace pellix::tool {
namespace {

int Settings(Invocation& inv) {
  if (!ParseArguments(inv)) return kUsageStatus;
  if (!BootImage(inv)) return 1;
  GetSettings();
  const PELLIXSETTINGS& s = g_Settings;
  struct {
    const char* name;
    DWORD value;
  } numbers[] = {
      {"Enabled", s.Enabled},
      {"DeliveryFix", s.DeliveryFix},
      {"OriginalNotification", s.OriginalNotification},
      {"SoundEnabled", s.SoundEnabled},
      {"DebugLogging", s.DebugLogging},
      {"Animation", s.Animation},
      {"EnhanceComposeForm", s.EnhanceComposeForm},
      {"NotificationReplyDefault", s.NotificationReplyDefault},
      {"PermanentlyDeleteReports", s.PermanentlyDeleteReports},
      {"CompatibilityMode", s.CompatibilityMode},
  };
  for (auto& n : numbers) std::printf("%s = %u\n", n.name, n.value);
  std::printf("SoundLoop = %d\n", s.SoundLoop);
  std::printf("NewNotifyAll = %u\n", s.NewNotifyAll);
  std::printf("NewNotifyPicSmiley = %u\n", s.NewNotifyPicSmiley);
  std::printf("Vibrate = %u\n", s.Vibrate);
  std::printf("VibrateMs = %u\n", s.VibrateMs);
  std::printf("ShowMyBubble = %u\n", s.ShowMyBubble);
  std::printf("ZoomLevel = %u\n", s.ZoomLevel);
  std::printf("SoundFile = %s\n", device::Utf16ToUtf8(s.SoundFile.c_str()).c_str());
  std::printf("SkinName = %s\n", device::Utf16ToUtf8(s.SkinName.c_str()).c_str());
  std::printf("InstallDir = %s\n", device::Utf16ToUtf8(s.InstallDir.c_str()).c_str());
  return 0;
}

PELLIX_COMMAND("settings", "settings", "print the module's settings as it loads them", Settings);

}  // namespace
}  // namespace pellix::tool
