// pellix-device init and log: creating a device image with the module installed, and reading
// the module's debug log.
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "command.h"
#include "kernel/codepage.h"
#include "kernel/device_image.h"
#include "kernel/host_file.h"
#include "kernel/locale_format.h"
#include "kernel/registry.h"
#include "kernel/time_zone.h"
#include "contacts/contact_store.h"
#include "module_files.h"
#include "store/message_store.h"

namespace fs = std::filesystem;

namespace pellix::tool {
namespace {


bool ParseScreen(const std::string& text, device::Profile* p) {
  size_t x = text.find('x');
  if (x == std::string::npos) return false;
  try {
    size_t used = 0;
    p->screen_width = std::stoi(text.substr(0, x), &used);
    if (used != x) return false;
    p->screen_height = std::stoi(text.substr(x + 1), &used);
    return used == text.size() - x - 1;
  } catch (...) {
    return false;
  }
}

// A whole decimal number, or nothing.
std::optional<int> WholeNumber(const std::string& text) {
  try {
    size_t used = 0;
    const int v = std::stoi(text, &used);
    if (used == text.size()) return v;
  } catch (...) {
  }
  return std::nullopt;
}

int Init(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  device::Profile profile;
  const bool force = args->Has("--force");
  const bool sound_library = args->Has("--sound-library");
  if (const std::string* v = args->Value("--screen"); v && !ParseScreen(*v, &profile))
    return UsageError(inv, "--screen takes WIDTHxHEIGHT, for example 480x640, not " + Shown(*v));
  if (const std::string* v = args->Value("--dpi")) {
    auto dpi = WholeNumber(*v);
    if (!dpi) return UsageError(inv, "--dpi takes a whole number, for example 192, not " + Shown(*v));
    profile.dpi = *dpi;
  }
  if (const std::string* v = args->Value("--platform")) profile.platform = *v;
  if (const std::string* v = args->Value("--clock-speed")) {
    char* end = nullptr;
    profile.clock_speed = std::strtod(v->c_str(), &end);
    if (v->empty() || *end != '\0') return UsageError(inv, "--clock-speed takes a number, for example 20, not " + Shown(*v));
  }
  if (const std::string* v = args->Value("--locale")) {
    const device::LocaleInfo* locale = device::FindLocale(*v);
    if (!locale) return UsageError(inv, "--locale takes one of " + device::LocaleNames() + ", not " + Shown(*v));
    profile.locale = locale->name;
  }
  if (const std::string* v = args->Value("--time-zone")) {
    auto zone = device::TimeZone::Resolve(*v);
    if (!zone) return UsageError(inv, "--time-zone takes a zone name or rule, for example Europe/Berlin, not " + Shown(*v));
    profile.time_zone = *v;
    profile.time_zone_rule = zone->rule();
  }
  if (device::Status s = profile.Validate(); !s) return Fail(s.error().message);
  auto image = device::DeviceImage::Create(inv.image_dir, profile, force);
  if (!image) return Fail(image.error().message);

  // Install as the module's installer does: the library, the skins, and the install folder in
  // the settings key.
  {
    device::Registry registry(image->registry_db().string());
    if (!registry.open_error().empty()) return Fail("registry: " + registry.open_error());
    if (std::string why = InstallModuleFiles(*image, registry); !why.empty()) return Fail(why);
  }
  if (sound_library) {
    // The device's built-in sound library answers for this file.
    std::error_code ec;
    fs::create_directories(image->fs_root() / "Windows", ec);
    std::ofstream(image->fs_root() / "Windows" / "fmodce.dll") << "sound library\n";
  }

  // The stores exist from the start, so that no later command, a failing one included, adds files.
  {
    device::store::MessageStore messages(image->store_db());
    if (!messages.status()) return Fail(messages.status().error().message);
    device::contacts::ContactStore contacts(image->contacts_db());
    if (!contacts.status()) return Fail(contacts.status().error().message);
  }
  // The journal too, empty until the device first does something for the person, so that an
  // image holds every file the README names from the start.
  if (!std::ofstream(image->journal_log(), std::ios::binary | std::ios::app))
    return Fail("cannot create " + image->journal_log().string());

  std::printf("created %s: %dx%d, %d dpi, %s, clock x%g, %s, %s\n", image->root().c_str(), profile.screen_width,
              profile.screen_height, profile.dpi, profile.platform.c_str(), profile.clock_speed,
              profile.locale.c_str(), profile.time_zone.c_str());
  std::printf("installed \\Windows\\PellixRule.dll and the skins under %s\n",
              device::Utf16ToUtf8(std::u16string(kInstallDir) + u"Skins\\").c_str());
  return 0;
}

int Log(Invocation& inv) {
  if (!ParseArguments(inv)) return kUsageStatus;
  auto image = device::DeviceImage::Open(inv.image_dir);
  if (!image) return Fail(image.error().message);
  auto path = image->MapPath(u"\\PellixInbox.log");
  std::error_code ec;
  if (!fs::exists(*path, ec)) return Fail("the device has no \\PellixInbox.log (is DebugLogging on?)");
  auto bytes = device::ReadHostText(*path, 64u * 1024 * 1024);
  if (!bytes) return Fail(bytes.error().message);
  // The log is in the device's ANSI code page; the terminal wants UTF-8.
  std::string text = device::Utf16ToUtf8(device::codepage::AnsiToWide(*bytes));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

PELLIX_COMMAND("init",
               "init [--screen WxH] [--dpi N] [--platform PocketPC|SmartPhone] [--clock-speed X] [--locale NAME] "
               "[--time-zone ZONE] [--sound-library] [--force]",
               "create a device image with the module and default skin installed", Init);
PELLIX_COMMAND("log", "log", "print the module's debug log (\\PellixInbox.log)", Log);

}  // namespace
}  // namespace pellix::tool
