// pellix-device notify: adds a notification the way a program does, with no sink of its own, so
// that the shell shows it in its platform bubble; then saves the screen and presses a soft key,
// as the person would.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "command.h"
#include "gdi/screenshot.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "person/journal.h"
#include "person/person.h"
#include "shell/menu_bar.h"
#include "shell/platform_bubble.h"
#include "windows/window_system.h"

#include <aygshell.h>

namespace pellix::tool {
namespace {

constexpr CLSID kToolClass = {0x2f6e1c3a, 0x51d0, 0x4b7e, {0x9a, 0x44, 0x1c, 0x0b, 0x6d, 0x83, 0x27, 0x5e}};
constexpr WPARAM kDismissCommand = 1;
constexpr WPARAM kHideCommand = 2;

// True once the bubble and every window inside it have painted.
bool Painted(HWND bubble) {
  device::windows::WindowSystem& system = device::windows::WindowSystem::Get();
  if (!system.IsWindow(bubble) || system.HasUpdate(bubble)) return false;
  for (HWND child = system.Relative(bubble, GW_CHILD); child; child = system.Relative(child, GW_HWNDNEXT)) {
    if (system.HasUpdate(child)) return false;
    for (HWND inner = system.Relative(child, GW_CHILD); inner; inner = system.Relative(inner, GW_HWNDNEXT))
      if (system.HasUpdate(inner)) return false;
  }
  return true;
}

HWND WaitForBubble(std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    HWND bubble = device::shell::PlatformBubble();
    HWND bar = device::shell::SoftKeyBar();
    if (bubble && Painted(bubble) && bar && Painted(bar)) {
      // BeginPaint validates before the drawing is done. Once the bubble's thread (which has
      // its bar too) answers a message its paint handler has returned; then nothing may be
      // left to paint.
      SendMessageW(bubble, WM_NULL, 0, 0);
      if (Painted(bubble) && Painted(bar)) return bubble;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return nullptr;
}

int Notify(Invocation& inv) {
  std::u16string title = u"Notification";
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  if (const std::string* v = args->Value("--title")) title = device::Utf8ToUtf16(*v);
  const std::u16string html = device::Utf8ToUtf16(args->positional()[0]);
  unsigned long seconds = 10;
  if (const std::string* v = args->Value("--seconds")) {
    char* end = nullptr;
    seconds = std::strtoul(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || seconds == 0 || seconds > 3600)
      return UsageError(inv, "--seconds takes 1 to 3600, not " + Shown(*v));
  }
  const std::string screenshot = args->Value("--screenshot") ? *args->Value("--screenshot") : "";
  const std::string* pressed = args->Value("--press");
  const int press = !pressed ? -1 : *pressed == "left" ? 0 : 1;
  if (!BootImage(inv)) return 1;

  SHNOTIFICATIONDATA data{};
  data.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
  data.dwID = 1;
  data.npPriority = SHNP_INFORM;
  data.csDuration = static_cast<DWORD>(seconds);
  data.clsid = kToolClass;
  data.hicon = LoadIconW(nullptr, IDI_APPLICATION);
  data.pszHTML = html.c_str();
  data.pszTitle = title.c_str();
  data.rgskn[0] = SOFTKEYNOTIFY{u"Dismiss", SOFTKEYCMD{kDismissCommand, NOTIF_SOFTKEY_FLAGS_DISMISS}};
  data.rgskn[1] = SOFTKEYNOTIFY{u"Hide", SOFTKEYCMD{kHideCommand, NOTIF_SOFTKEY_FLAGS_HIDE}};
  if (SHNotificationAdd(&data) != ERROR_SUCCESS) return Fail("the notification was refused");

  HWND bubble = WaitForBubble(std::chrono::seconds(5));
  if (!bubble) return Fail("the platform bubble did not appear");
  if (!screenshot.empty()) {
    const auto saved = device::gdi::SaveScreenshot(screenshot, nullptr);
    if (!saved) return Fail(saved.error().message);
  }
  device::Journal& journal = device::Device::Get().journal();
  if (press >= 0) {
    const uint64_t from = journal.size();
    device::Person::Get().TypeKey(press == 0 ? VK_F1 : VK_F2);
    // Either soft key ends the display here: the notification goes to the title bar.
    journal.WaitFor(
        [](const device::JournalEntry& e) {
          return e.kind == device::journal_kind::kNotification && e.text.rfind("listed", 0) == 0;
        },
        std::chrono::seconds(2), from);
  }
  for (const device::JournalEntry& e : journal.Entries()) {
    if (e.kind == device::journal_kind::kNotification) std::printf("%s\n", e.text.c_str());
  }
  return 0;
}

}  // namespace

PELLIX_COMMAND("notify", "notify HTML [--title TEXT] [--seconds N] [--screenshot OUT.png] [--press left|right]",
               "show a notification in the shell's bubble; save the screen, press a soft key", Notify);

}  // namespace pellix::tool
