// pellix-device skin: what the module makes of a skin, for the people who make skins.
//   skin show [NAME]    the skin record as LoadSkin leaves it
//   skin eval EXPR      the integer a skin value gives on this image's screen
//   skin check [NAME]   everything in the skin folder that will not do what its author meant
#include <cstdio>
#include <string>

#include "command.h"
#include "kernel/device.h"
#include "skin_check.h"
#include "core/settings.h"
#include "skin/skin.h"
#include "skin/skin_expression.h"

namespace pellix::tool {

namespace {

namespace fs = std::filesystem;

int Metric(int index) { return GetSystemMetrics(index); }

// Reads the settings as the module does, then makes NAME (when given) the active skin.
void SelectSkin(const Arguments& args) {
  GetSettings();
  if (!args.positional().empty()) {
    std::u16string name = device::Utf8ToUtf16(args.positional()[0]);
    g_Settings.SkinName.Set(name.c_str());
  }
}

std::u16string SkinFolder() {
  WCHAR folder[2 * 256 + 16];
  GetSkinFolderPath(folder, sizeof(folder) / sizeof(folder[0]));
  return folder;
}

// Host path of a device path, or empty when it cannot be mapped.
fs::path HostPath(const std::u16string& device_path) {
  auto mapped = device::Device::Get().image().MapPath(device_path);
  return mapped ? *mapped : fs::path();
}

int Show(const Invocation& inv, const Arguments& args) {
  if (!BootImage(inv)) return 1;
  SelectSkin(args);
  std::u16string folder = SkinFolder();
  std::error_code ec;
  const fs::path host_folder = HostPath(folder);
  if (host_folder.empty() || !fs::is_directory(host_folder, ec))
    return Fail("no skin folder " + device::Utf16ToUtf8(folder));
  if (!fs::is_regular_file(HostPath(folder + u"skin.ini"), ec))
    std::fprintf(stderr, "pellix-device: no skin.ini in %s: the built-in values stand\n",
                 device::Utf16ToUtf8(folder).c_str());
  LoadSkin();
  const SKINDESCRIPTION& s = g_Skin;
  const std::pair<const char*, int> before[] = {
      {"NotifyWndHeight", s.NotifyWndHeight}, {"NotifyWndStartX", s.NotifyWndStartX},
      {"NotifyWndStartY", s.NotifyWndStartY}, {"NotifyWndWidth", s.NotifyWndWidth},
      {"CaptionHeight", s.CaptionHeight},
  };
  const std::pair<const char*, int> after[] = {
      {"AlphaBlendBackground", s.AlphaBlendBackground}, {"DynamicHeight", s.DynamicHeight},
      {"Left", s.Left}, {"Top", s.Top}, {"Right", s.Right}, {"Bottom", s.Bottom},
      {"HTMLLeft", s.HTMLLeft}, {"HTMLTop", s.HTMLTop}, {"HTMLRight", s.HTMLRight},
      {"HTMLBottom", s.HTMLBottom}, {"GifFrameDelay", s.GifFrameDelay},
      {"BottomAnchor", s.BottomAnchor ? 1 : 0},
  };
  for (const auto& [name, value] : before) std::printf("%s = %d\n", name, value);
  std::printf("SkinBMP = %s\n", device::Utf16ToUtf8(s.SkinBMP).c_str());
  for (const auto& [name, value] : after) std::printf("%s = %d\n", name, value);
  return 0;
}

int Eval(const Invocation& inv, const Arguments& args) {
  // Unquoted words are joined again, so `skin eval _CXSCREEN - 30` works too.
  std::string text;
  for (const std::string& word : args.positional()) text += (text.empty() ? "" : " ") + word;
  if (!BootImage(inv)) return 1;
  BOOL anchor = FALSE;
  EXPRRESULT r = EvaluateSkinText(text.c_str(), Metric, &anchor);
  std::printf("%d\n", SkinValueFromResult(r));
  if (anchor)
    std::fprintf(stderr, "pellix-device: mentions _NotifyHeight: it counts as 0 and anchors the bubble at its bottom edge\n");
  if (r.error[0] != '\0') return Fail(r.error);
  return 0;
}

int Check(const Invocation& inv, const Arguments& args) {
  if (!BootImage(inv)) return 1;
  SelectSkin(args);
  std::u16string folder = SkinFolder();
  std::string name = device::Utf16ToUtf8(g_Settings.SkinName.c_str());
  SkinCheckInput input = ActiveSkinCheckInput();
  std::error_code ec;
  if (input.folder.empty() || !fs::is_directory(input.folder, ec))
    return Fail("no skin folder " + device::Utf16ToUtf8(folder));

  std::vector<SkinFinding> findings = CheckSkin(input);
  for (const SkinFinding& f : findings) {
    if (f.line > 0)
      std::printf("%s:%d: %s\n", f.file.c_str(), f.line, f.message.c_str());
    else
      std::printf("%s: %s\n", f.file.c_str(), f.message.c_str());
  }
  if (findings.empty()) {
    std::printf("skin \"%s\": no problems\n", name.c_str());
    return 0;
  }
  std::printf("skin \"%s\": %zu problem%s\n", name.c_str(), findings.size(),
              findings.size() == 1 ? "" : "s");
  return 1;
}

int SkinCommand(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  if (args->subcommand() == "show") return Show(inv, *args);
  if (args->subcommand() == "eval") return Eval(inv, *args);
  return Check(inv, *args);
}

}  // namespace

SkinCheckInput ActiveSkinCheckInput() {
  std::u16string folder = SkinFolder();
  SkinCheckInput input;
  input.name = device::Utf16ToUtf8(g_Settings.SkinName.c_str());
  input.folder = HostPath(folder);
  std::u16string saved = g_Settings.SkinName.c_str();
  g_Settings.SkinName.Set(TEXT("default"));
  input.default_folder = HostPath(SkinFolder());
  g_Settings.SkinName.Set(saved.c_str());
  input.map = [folder](const std::string& relative) {
    std::u16string path = folder + device::Utf8ToUtf16(relative);
    return HostPath(path);
  };
  input.metrics = Metric;
  return input;
}

PELLIX_COMMAND("skin", "skin show [NAME]", "print the skin record as the module loads it", SkinCommand);
PELLIX_COMMAND("skin", "skin eval EXPR...", "evaluate a skin expression on this image's screen", SkinCommand);
PELLIX_COMMAND("skin", "skin check [NAME]", "report what in a skin will not work as meant", SkinCommand);

}  // namespace pellix::tool
