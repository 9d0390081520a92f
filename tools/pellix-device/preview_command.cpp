// pellix-device preview: the skin author's view of a skin. Delivers a text as an SMS on a
// scratch copy of the image, lets the module's own bubble appear (and animate for a while),
// and saves the screen. The image itself is left as it was.
#include <cemapi.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "bubble/bubble_thread.h"
#include "bubble/popup_window.h"
#include "command.h"
#include "core/settings.h"
#include "gdi/screenshot.h"
#include "kernel/codepage.h"
#include "kernel/device.h"
#include "platform/message_store.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "rule/process_message.h"
#include "shell/menu_bar.h"
#include "store/message_store.h"
#include "store/entry_id.h"
#include "store/sms_delivery.h"
#include "windows/window_system.h"

namespace pellix::tool {
namespace {

namespace fs = std::filesystem;

// A scratch folder removed with everything in it.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "pellix-preview-XXXXXX").string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

bool InsideFolder(const fs::path& out, const fs::path& folder) {
  std::error_code ec;
  const fs::path dir = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  const fs::path target = fs::weakly_canonical(fs::absolute(out, ec), ec);
  auto i = dir.begin(), t = target.begin();
  for (; i != dir.end() && !i->empty(); ++i, ++t)
    if (t == target.end() || *i != *t) return false;
  return true;
}

// True once `hwnd` and every window inside it have painted.
bool TreePainted(device::windows::WindowSystem& system, HWND hwnd) {
  if (system.HasUpdate(hwnd)) return false;
  for (HWND child = system.Relative(hwnd, GW_CHILD); child; child = system.Relative(child, GW_HWNDNEXT))
    if (!TreePainted(system, child)) return false;
  return true;
}

// Waits (real time) until the bubble is on the screen and drawn, with its soft keys.
bool WaitForBubble(std::chrono::milliseconds timeout) {
  device::windows::WindowSystem& system = device::windows::WindowSystem::Get();
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + timeout;
  while (std::chrono::steady_clock::now() < end) {
    HWND popup = g_hPopupWindow;
    HWND bar = device::shell::SoftKeyBar();
    // The soft keys come a moment after the popup on a slow machine: wait for them for most of
    // the time allowed, and only then take a bubble without them.
    const bool bar_may_be_missing = std::chrono::steady_clock::now() - start > timeout / 2;
    if (popup && IsWindowVisible(popup) && TreePainted(system, popup) &&
        (bar ? TreePainted(system, bar) : bar_may_be_missing)) {
      // BeginPaint validates before the drawing is done. A message each window's thread has
      // answered says its paint handler returned; then nothing may be left to paint.
      SendMessageW(popup, WM_NULL, 0, 0);
      if (bar) SendMessageW(bar, WM_NULL, 0, 0);
      if (TreePainted(system, popup) && (!bar || TreePainted(system, bar))) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

void SetDword(LPCWSTR name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr) != 0) return;
  RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

void SetText(LPCWSTR name, const std::u16string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, PELLIX_SETTINGS_KEY, 0, nullptr, 0, 0, nullptr, &key, nullptr) != 0) return;
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
}

int Preview(Invocation& inv) {
  std::string skin, from = "+15550123", text, out;
  int report = 0;
  double at = 0;
  bool have_text = false;
  for (size_t i = 0; i < inv.args.size(); ++i) {
    const std::string& a = inv.args[i];
    const bool has_value = i + 1 < inv.args.size();
    if (a == "--skin" && has_value) {
      skin = inv.args[++i];
      if (skin.empty() || skin.find_first_of("\\/") != std::string::npos) return Fail("bad skin name: " + skin);
    } else if (a == "--from" && has_value) {
      from = inv.args[++i];
      if (from.empty()) return Fail("the sender must not be empty");
    } else if (a == "--report" && has_value) {
      const std::string& v = inv.args[++i];
      if (v != "0" && v != "1" && v != "2") return Fail("bad report kind: " + v);
      report = v[0] - '0';
    } else if (a == "--at" && has_value) {
      const std::string& v = inv.args[++i];
      char* end = nullptr;
      at = std::strtod(v.c_str(), &end);
      if (v.empty() || *end != '\0' || !(at >= 0 && at <= 600)) return Fail("bad time: " + v);
    } else if (!have_text && a.rfind("--", 0) != 0) {
      text = a;
      have_text = true;
    } else if (out.empty() && a.rfind("--", 0) != 0) {
      out = a;
    } else {
      return UsageError("preview");
    }
  }
  if (!have_text || out.empty()) return UsageError("preview");
  if (InsideFolder(out, inv.image_dir))
    return Fail(out + " is inside the device image; save the preview outside " + inv.image_dir.string());
  if (!fs::is_directory(inv.image_dir)) return Fail(inv.image_dir.string() + ": no device image");

  // The message and the bubble happen on a copy, so the image keeps no trace of them.
  Scratch scratch;
  if (scratch.path().empty()) return Fail("cannot make a scratch folder");
  Invocation copy = inv;
  copy.image_dir = scratch.path() / "image";
  std::error_code ec;
  fs::copy(inv.image_dir, copy.image_dir, fs::copy_options::recursive, ec);
  if (ec) return Fail("cannot copy the image: " + ec.message());
  if (!BootImage(copy)) return 1;

  HINSTANCE module = AttachStaticPellixRule();
  SetDword(TEXT("Enabled"), 1);
  SetDword(TEXT("ShowMyBubble"), 1);
  if (!skin.empty()) SetText(TEXT("SkinName"), device::Utf8ToUtf16(skin));
  GetSettings();
  LoadSmileyTable();
  LoadTemplates();

  static const char16_t* const kClasses[] = {u"IPM.SMStext", u"IPM.SMStext.REPORT.DR", u"IPM.SMStext.REPORT.NDR"};
  device::store::SmsMessage sms;
  sms.sender = device::Utf8ToUtf16(from);
  sms.text = device::Utf8ToUtf16(text);
  sms.message_class = kClasses[report];
  auto key = device::store::DeliverSms(device::store::MessageStore::Of(device::Device::Get()), sms);

  int status = 0;
  LPMAPISESSION session = nullptr;
  LPMDB store = nullptr;
  ULONG cbInbox = 0;
  LPENTRYID inbox = nullptr;
  if (!key) {
    status = Fail(key.error().message);
  } else if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &session)) ||
             FAILED(OpenStoreByName(session, SMS_STORE_NAME, &store)) ||
             FAILED(store->GetReceiveFolder(nullptr, MAPI_UNICODE, &cbInbox, &inbox, nullptr))) {
    status = Fail("the image has no SMS store");
  } else {
    std::vector<uint8_t> id = device::store::MakeEntryId(device::store::EntryKind::kMessage, *key);
    ULONG event = 0;
    MRCHANDLED handled = MRC_NOT_HANDLED;
    const HRESULT hr = ProcessMessage(store, static_cast<ULONG>(id.size()), reinterpret_cast<LPENTRYID>(id.data()),
                                      cbInbox, inbox, &event, &handled);
    if (hr != S_OK) {
      status = Fail("the module did not process the message");
    } else if (!WaitForBubble(std::chrono::seconds(10))) {
      status = Fail("the bubble did not appear");
    } else {
      if (at > 0) {
        Sleep(static_cast<DWORD>(at * 1000));
        WaitForBubble(std::chrono::seconds(5));
      }
      const auto saved = device::gdi::SaveScreenshot(out, nullptr);
      if (!saved) status = Fail(saved.error().message);
    }
  }

  ShutdownBubbleThread();
  MAPIFreeBuffer(inbox);
  if (store) store->Release();
  if (session) {
    session->Logoff(0, 0, 0);
    session->Release();
  }
  FreeTemplates();
  FreeSmileyTable();
  if (module) FreeLibrary(module);
  return status;
}

}  // namespace

PELLIX_COMMAND("preview", "preview [--skin NAME] [--from ADDR] [--report 0|1|2] [--at SECONDS] TEXT OUT.png",
               "deliver TEXT as an SMS on a scratch copy of the image and save the screen with the "
               "module's bubble on it",
               Preview);

}  // namespace pellix::tool
