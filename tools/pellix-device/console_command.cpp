// pellix-device console: the handheld in a browser. Serves the console page on the loopback
// address and runs the device in this process, with the module attached as the Inbox has it,
// so every tap, key and message from the page goes through the device as scripts do.
#include <signal.h>
#include <spawn.h>

#include <cemapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bubble/bubble_thread.h"
#include "command.h"
#include "console/console_server.h"
#include "console_delivery.h"
#include "contact_input.h"
#include "contacts/contact_store.h"
#include "core/settings.h"
#include "inbox/inbox.h"
#include "inbox/inbox_window.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "kernel/host_file.h"
#include "person/person.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "shell/menu_bar.h"
#include "rule/module_entry.h"
#include "skin/skin.h"
#include "skin_check.h"

extern char** environ;

namespace pellix::tool {
namespace {

namespace fs = std::filesystem;
using device::console::ApiReply;
using device::console::ApiRequest;
using device::console::JsonString;

// Bounds on what the page may ask for: an SMS of many parts, a burst that shows the bubble's
// queue without flooding the store.
constexpr size_t kMaxSmsText = 4096;
constexpr size_t kMaxSender = 64;
constexpr int kMaxBurst = 20;
// How long a menu or message box waits for the person at the page: long enough to read and
// choose, in device time; the console's stop and restart release it at once anyway.
constexpr uint64_t kPatienceMs = 10 * 60 * 1000;

// The module as the Inbox holds it while the device runs: attached in this process, so the
// Inbox's rule client, the bubble, the forms and the console's preview share its settings,
// smileys and skin.
HINSTANCE g_module = nullptr;
const Invocation* g_invocation = nullptr;

// Attaches the module, installs it when the image's Inbox lacks it (a console on a fresh image
// shows Pellix's bubbles, which is what a person opens it for), and starts the Inbox with its
// window in front, as scripts have it. Returns whether it installed the module now.
device::Result<bool> StartModule() {
  // Someone sits at the page: menus and boxes wait for their choice instead of closing at once.
  device::Person::Get().set_attended(true, kPatienceMs);
  g_module = AttachStaticPellixRule();
  auto installed = EnsurePellixInstalled();
  // Loaded as the rule client's first Initialize loads it, so the preview has the skin before
  // any message arrives; the rule client then finds it loaded.
  EnsureInitialized();
  device::Device& d = device::Device::Get();
  auto& window = device::inbox::InboxWindow::Of(d);
  window.Show();
  auto& inbox = device::inbox::Inbox::Of(d);
  inbox.SetProcessedListener([&window](int64_t) { window.Refresh(); });
  inbox.Start();
  return installed;
}

void StopModule() {
  device::Device& d = device::Device::Get();
  // A menu or box still open would hold its thread, and so the stop, until its patience ran out.
  device::Person::Get().set_attended(false);
  // The Inbox releases the rule client (which ends its bubble) before the module goes.
  device::inbox::Inbox::Of(d).Stop();
  device::inbox::InboxWindow::Of(d).Close();
  ShutdownBubbleThread();
  FreeTemplates();
  FreeSmileyTable();
  // A restarted device loads everything again for its own screen.
  g_bInitialized = FALSE;
  if (g_module) FreeLibrary(g_module);
  g_module = nullptr;
}

// After a skin was picked or its files edited: the module reads them again.
void ReloadSkin() {
  FreeTemplates();
  FreeSmileyTable();
  GetSettings();
  LoadSmileyTable();
  LoadTemplates();
  LoadSkin();
}

fs::path HostPath(const std::u16string& device_path) {
  auto mapped = device::Device::Get().image().MapPath(device_path);
  return mapped ? *mapped : fs::path();
}

fs::path SkinsRoot() {
  WCHAR folder[2 * 256 + 16];
  GetSkinFolderPath(folder, sizeof(folder) / sizeof(folder[0]));
  fs::path skin = HostPath(folder);  // ...\Skins\NAME\ -> .../Skins
  if (skin.filename().empty()) skin = skin.parent_path();
  return skin.parent_path();
}

std::optional<int> IntParam(const ApiRequest& r, const std::string& name, int low, int high) {
  auto v = r.Param(name);
  if (!v || v->empty() || v->size() > 9) return std::nullopt;
  char* end = nullptr;
  const long n = std::strtol(v->c_str(), &end, 10);
  if (*end != '\0' || n < low || n > high) return std::nullopt;
  return static_cast<int>(n);
}

std::string ProfileJson(const device::Profile& p) {
  return "{\"width\":" + std::to_string(p.screen_width) + ",\"height\":" + std::to_string(p.screen_height) +
         ",\"dpi\":" + std::to_string(p.dpi) + ",\"platform\":" + JsonString(p.platform) +
         ",\"clock\":" + std::to_string(p.clock_speed) + "}";
}

// What the two soft keys say now (the bar they act on), empty when no bar is shown. Scripts
// press a soft key once it names what they want, rather than guessing when a bar is up.
std::string SoftKeysJson() {
  HWND bar = device::shell::SoftKeyBar();
  if (!bar) return "[]";
  return "[" + JsonString(device::Utf16ToUtf8(device::shell::SoftKeyText(bar, 0))) + "," +
         JsonString(device::Utf16ToUtf8(device::shell::SoftKeyText(bar, 1))) + "]";
}

ApiReply Skins() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(SkinsRoot(), ec))
    if (entry.is_directory(ec)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string s = "{\"active\":" + JsonString(device::Utf16ToUtf8(g_Settings.SkinName.c_str())) + ",\"skins\":[";
  for (size_t i = 0; i < names.size(); ++i) s += (i ? "," : "") + JsonString(names[i]);
  s += "],\"findings\":[";
  SkinCheckInput input = ActiveSkinCheckInput();
  if (!input.folder.empty() && fs::is_directory(input.folder, ec)) {
    auto findings = CheckSkin(input);
    for (size_t i = 0; i < findings.size(); ++i)
      s += std::string(i ? "," : "") + "{\"file\":" + JsonString(findings[i].file) +
           ",\"line\":" + std::to_string(findings[i].line) + ",\"message\":" + JsonString(findings[i].message) + "}";
  } else {
    s += "{\"file\":\"\",\"line\":0,\"message\":\"no skin folder: the built-in look stands\"}";
  }
  return ApiReply::Json(s + "]}");
}

ApiReply SelectSkin(const std::string& name) {
  std::error_code ec;
  if (name.empty() || name.find_first_of("/\\") != std::string::npos || name == "." || name == ".." ||
      !fs::is_directory(SkinsRoot() / name, ec))
    return ApiReply::Error(400, "no such skin: " + name);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return ApiReply::Error(500, "cannot open the module's settings");
  const std::u16string value = device::Utf8ToUtf16(name);
  const LONG set = RegSetValueExW(key, TEXT("SkinName"), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) return ApiReply::Error(500, "cannot write the skin setting");
  ReloadSkin();
  return Skins();
}

ApiReply Contacts() {
  using namespace device::contacts;
  auto& store = ContactStore::Of(device::Device::Get());
  std::string s = "{\"contacts\":[";
  bool first = true;
  for (int64_t oid : store.List()) {
    auto c = store.Load(oid);
    if (!c) continue;
    s += std::string(first ? "" : ",") + "{\"oid\":" + std::to_string(oid) + ",\"name\":" +
         JsonString(device::Utf16ToUtf8(c->DisplayName())) + ",\"phones\":[";
    first = false;
    bool first_phone = true;
    for (const auto& [field, value] : c->fields)
      if (IsPhoneField(field)) {
        s += std::string(first_phone ? "" : ",") + JsonString(device::Utf16ToUtf8(value));
        first_phone = false;
      }
    s += "],\"picture\":" + std::to_string(c->picture ? c->picture->size() : 0) + "}";
  }
  return ApiReply::Json(s + "]}");
}

ApiReply AddContact(const ApiRequest& r) {
  using namespace device::contacts;
  auto name = r.Param("name");
  auto phones = r.Params("phone");
  std::erase_if(phones, [](const std::string& p) { return p.find_first_not_of(' ') == std::string::npos; });
  if (!name || phones.empty()) return ApiReply::Error(400, "a contact needs a name and a telephone number");
  Contact c;
  SetContactName(c, *name);
  if (std::string why = CheckContact(c, phones); !why.empty()) return ApiReply::Error(400, why);
  if (!r.body.empty()) {
    if (r.body.size() > kMaxContactPictureBytes)
      return ApiReply::Error(413, "the picture is larger than 1 MB");
    std::vector<uint8_t> bytes(r.body.begin(), r.body.end());
    if (std::string why = CheckPicture(bytes); !why.empty()) return ApiReply::Error(400, "the picture: " + why);
    c.picture = std::move(bytes);
  }
  if (device::Status s = ContactStore::Of(device::Device::Get()).Save(c); !s)
    return ApiReply::Error(500, s.error().message);
  return ApiReply::Json("{\"oid\":" + std::to_string(c.oid) + "}");
}

ApiReply RemoveContact(const ApiRequest& r) {
  auto oid = r.Param("oid");
  char* end = nullptr;
  const long long n = oid ? std::strtoll(oid->c_str(), &end, 10) : 0;
  if (!oid || oid->empty() || *end != '\0' || n <= 0) return ApiReply::Error(400, "no contact named");
  if (device::Status s = device::contacts::ContactStore::Of(device::Device::Get()).Delete(n); !s)
    return ApiReply::Error(404, s.error().message);
  return ApiReply::Json("{}");
}

ApiReply SendSms(const ApiRequest& r) {
  IncomingSms sms;
  sms.from = r.Param("from").value_or("");
  sms.text = r.body;
  auto report = IntParam(r, "report", 0, 2);
  auto count = r.Param("count") ? IntParam(r, "count", 1, kMaxBurst) : std::optional<int>(1);
  if (sms.from.empty() || sms.from.size() > kMaxSender) return ApiReply::Error(400, "the sender is missing or too long");
  if (sms.text.size() > kMaxSmsText) return ApiReply::Error(413, "the text is longer than 4096 bytes");
  if (!report && r.Param("report")) return ApiReply::Error(400, "report is 0, 1 or 2");
  if (!count) return ApiReply::Error(400, "count is 1 to " + std::to_string(kMaxBurst));
  sms.report = report.value_or(0);
  sms.count = *count;
  auto delivered = DeliverIncomingSms(sms);
  if (!delivered) return ApiReply::Error(500, delivered.error().message);
  std::string ids, outcomes;
  for (size_t i = 0; i < delivered->size(); ++i) {
    const DeliveredSms& d = (*delivered)[i];
    ids += (i ? "," : "") + JsonString(d.entry_id);
    outcomes += std::string(i ? "," : "") + "[";
    for (size_t j = 0; j < d.outcomes.size(); ++j) outcomes += (j ? "," : "") + JsonString(d.outcomes[j]);
    outcomes += "]";
  }
  return ApiReply::Json("{\"delivered\":[" + ids + "],\"outcomes\":[" + outcomes + "]}");
}

ApiReply Preview(const ApiRequest& r) {
  auto report = IntParam(r, "report", 0, 2);
  if (r.body.size() > kMaxSmsText) return ApiReply::Error(413, "the text is longer than 4096 bytes");
  std::u16string body = device::Utf8ToUtf16(r.body);
  LPWSTR html = nullptr;
  CreateHTMLFromSMSBody(body.c_str(), &html, static_cast<UINT>(report.value_or(0)), 0);
  if (!html) return ApiReply::Error(500, "out of memory");
  // The page names its pictures as the bubble's HTML view asks for them (a smiley's index, or a
  // file such as "delivered.gif"); the preview fetches them from /api/smiley/.
  std::string page = "<base href=\"/api/smiley/\">" + device::Utf16ToUtf8(html);
  free(html);
  return ApiReply{200, "text/html; charset=utf-8", page};
}

// A new device on the image with another screen, density, platform or clock: the image's
// stores stay, so its messages and contacts come along.
ApiReply Restart(const ApiRequest& r) {
  device::Profile p = device::Device::Get().profile();
  if (r.Param("width")) {
    auto v = IntParam(r, "width", 1, 4096);
    if (!v) return ApiReply::Error(400, "bad width");
    p.screen_width = *v;
  }
  if (r.Param("height")) {
    auto v = IntParam(r, "height", 1, 4096);
    if (!v) return ApiReply::Error(400, "bad height");
    p.screen_height = *v;
  }
  if (r.Param("dpi")) {
    auto v = IntParam(r, "dpi", 1, 1000);
    if (!v) return ApiReply::Error(400, "bad dpi");
    p.dpi = *v;
  }
  if (auto v = r.Param("platform")) p.platform = *v;
  if (auto v = r.Param("clock")) {
    char* end = nullptr;
    p.clock_speed = std::strtod(v->c_str(), &end);
    if (v->empty() || *end != '\0') return ApiReply::Error(400, "bad clock speed");
  }
  if (device::Status valid = p.Validate(); !valid) return ApiReply::Error(400, valid.error().message);

  StopModule();
  const fs::path root = device::Device::Get().image().root();
  device::Device::Shutdown();
  std::ofstream(root / device::DeviceImage::kProfileFile, std::ios::trunc) << p.Serialize();
  ApiReply reply;
  if (!BootImage(*g_invocation)) {
    reply = ApiReply::Error(500, "the device did not boot on the new profile");
  } else {
    // The first start installed the module where it could; the image is the same.
    (void)StartModule();
    reply = ApiReply::Json("{\"profile\":" + ProfileJson(p) + "}");
  }
  reply.device_restarted = true;
  return reply;
}

// A picture the module's pages name: a smiley table index or a picture file of the skin's
// "Smileys" folder, else of the default skin's.
ApiReply Smiley(const std::string& name) {
  std::string file = name;
  char* end = nullptr;
  const long index = std::strtol(name.c_str(), &end, 10);
  if (!name.empty() && *end == '\0') {
    if (index < 0 || index >= g_SmileyCount || !g_SmileyTable[index].file) return ApiReply::Error(404, "no such smiley");
    file = device::Utf16ToUtf8(g_SmileyTable[index].file);
  }
  if (file.empty() || file.size() > 64 || file.find_first_of("/\\") != std::string::npos || file.find("..") != std::string::npos)
    return ApiReply::Error(404, "no such picture");
  WCHAR folder[2 * 256 + 16];
  GetSkinFolderPath(folder, sizeof(folder) / sizeof(folder[0]));
  const std::u16string relative = u"Smileys\\" + device::Utf8ToUtf16(file);
  std::u16string fallback = folder;
  const size_t skins = fallback.rfind(u"\\", fallback.size() - 2);
  fallback = fallback.substr(0, skins + 1) + u"default\\";
  for (const std::u16string& base : {std::u16string(folder), fallback}) {
    auto bytes = device::ReadHostFile(HostPath(base + relative), 1024 * 1024);
    if (!bytes) continue;
    std::string lower = file;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    const char* type = lower.ends_with(".png") ? "image/png" : lower.ends_with(".jpg") ? "image/jpeg"
                       : lower.ends_with(".bmp") ? "image/bmp" : "image/gif";
    return ApiReply{200, type, std::string(bytes->begin(), bytes->end())};
  }
  return ApiReply::Error(404, "no such picture");
}

// The samples of a sound the device played, as the journal keeps them.
ApiReply Sound(const ApiRequest& r) {
  auto seq = IntParam(r, "seq", 0, 999999999);
  if (!seq) return ApiReply::Error(400, "no journal entry named");
  auto entries = device::Device::Get().journal().EntriesFrom(static_cast<uint64_t>(*seq));
  if (entries.empty()) return ApiReply::Error(404, "no such journal entry");
  const auto& attachment = entries.front().attachment;
  if (entries.front().kind != device::journal_kind::kSound || !attachment)
    return ApiReply::Error(404, "the journal keeps no samples for this entry");
  return ApiReply{200, "audio/wav", std::string(attachment->begin(), attachment->end())};
}

ApiReply Api(const ApiRequest& r) {
  const bool get = r.method == "GET", post = r.method == "POST";
  if (r.path == "/api/state" && get)
    return ApiReply::Json("{\"profile\":" + ProfileJson(device::Device::Get().profile()) +
                          ",\"softKeys\":" + SoftKeysJson() + "}");
  if (r.path == "/api/sms" && post) return SendSms(r);
  if (r.path == "/api/preview" && post) return Preview(r);
  if (r.path == "/api/contacts" && get) return Contacts();
  if (r.path == "/api/contacts" && post) return AddContact(r);
  if (r.path == "/api/contacts" && r.method == "DELETE") return RemoveContact(r);
  if (r.path == "/api/skins" && get) return Skins();
  if (r.path == "/api/skins" && post) return SelectSkin(r.Param("name").value_or(""));
  if (r.path == "/api/skins/reload" && post) {
    ReloadSkin();
    return Skins();
  }
  if (r.path == "/api/device" && post) return Restart(r);
  if (r.path == "/api/sound" && get) return Sound(r);
  if (r.path.rfind("/api/smiley/", 0) == 0 && get) return Smiley(r.path.substr(12));
  return ApiReply::Error(404, "not found");
}

fs::path PageDir() {
  if (const char* dir = std::getenv("PELLIX_CONSOLE_DIR")) return dir;
  return PELLIX_CONSOLE_DIR;
}

// Opens the page in the desktop's browser; the console goes on without one.
void OpenBrowser(const std::string& address) {
  pid_t pid = 0;
  const char* argv[] = {"xdg-open", address.c_str(), nullptr};
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
    std::fprintf(stderr, "pellix-device: could not start a browser; open %s yourself\n", address.c_str());
}

int Console(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  long port = 0;
  if (const std::string* v = args->Value("--port")) {
    char* end = nullptr;
    port = std::strtol(v->c_str(), &end, 10);
    if (v->empty() || *end != '\0' || port < 0 || port > 65535)
      return UsageError(inv, "--port takes 0 to 65535, not " + Shown(*v));
  }
  const bool open = args->Has("--open");
  // The console runs until it is interrupted; every thread started from here on leaves the
  // signals to this one.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  if (!BootImage(inv)) return 1;
  g_invocation = &inv;
  auto installed = StartModule();
  device::console::ConsoleOptions options;
  options.port = static_cast<uint16_t>(port);
  options.page_dir = PageDir();
  options.api = Api;
  options.exclusive_paths = {"/api/device"};
  auto server = device::console::ConsoleServer::Start(std::move(options));
  if (!server) {
    StopModule();
    return Fail(server.error().message);
  }
  // The address comes first: whoever starts the console reads it from the first line.
  std::printf("%s\n", (*server)->address().c_str());
  if (!installed)
    std::fprintf(stderr, "pellix-device: %s; messages reach the Inbox, but no bubble shows\n",
                 installed.error().message.c_str());
  else if (*installed)
    std::printf("installed Pellix in the image, as 'pellix-device install' does: its rule client, form module, "
                "glyph and message class\n");
  std::fflush(stdout);
  if (open) OpenBrowser((*server)->address());
  int signal = 0;
  sigwait(&stop_signals, &signal);
  // The server releases what the device has open for its pages before it waits for its device
  // work; the device may have been replaced by a restart meanwhile, so only it looks.
  (*server)->Stop();
  if (device::Device::Current()) StopModule();
  return 0;
}

}  // namespace

PELLIX_COMMAND("console", "console [--port N] [--open]",
               "serve the device in a browser on 127.0.0.1 (prints the address, then whether it installed "
               "Pellix in the image); runs until interrupted",
               Console);

}  // namespace pellix::tool
