// pellix-device resources: lists what a module carries (menus with their items and command
// ids, strings, bitmaps, icons), read through the device's loader as the module's own code
// would read it.
#include <cstdio>
#include <string>

#include "command.h"
#include "kernel/device_image.h"
#include "kernel/module_loader.h"
#include "kernel/module_resources.h"
#include "resources/static_module.h"

namespace pellix::tool {

namespace {

std::string Utf8(const std::u16string& text) { return device::Utf16ToUtf8(text); }

std::string DescribeMenu(const std::vector<device::MenuTemplateItem>& items) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    if (item.flags & device::menu_flags::kPopup)
      out += "\"" + Utf8(item.text) + "\" { " + DescribeMenu(item.children) + " }";
    else if (item.is_separator())
      out += "-";
    else
      out += "\"" + Utf8(item.text) + "\" " + std::to_string(item.id);
  }
  return out;
}

void PrintResource(const PELLIX_RESOURCE& r) {
  std::span<const uint8_t> data(static_cast<const uint8_t*>(r.pData), r.cbData);
  switch (r.wType) {
    case 4: {
      auto items = device::ParseMenuTemplate(data);
      std::printf("menu %u: %s\n", r.wId, items.ok() ? DescribeMenu(*items).c_str() : "(malformed)");
      break;
    }
    case 6: {
      std::u16string text(static_cast<const char16_t*>(r.pData), r.cbData / 2);
      std::printf("string %u: %s\n", r.wId, Utf8(text).c_str());
      break;
    }
    case 2:
    case 14: {
      auto image = device::ParseDib(data);
      const char* kind = r.wType == 2 ? "bitmap" : "icon";
      if (image.ok())
        std::printf("%s %u: %d x %d, %d bits per pixel\n", kind, r.wId, image->width,
                    image->height, image->bits_per_pixel);
      else
        std::printf("%s %u: (malformed)\n", kind, r.wId);
      break;
    }
    default:
      std::printf("type %u id %u: %u bytes\n", r.wType, r.wId, r.cbData);
  }
}

int PrintTable(const PELLIX_RESOURCE_TABLE* table) {
  if (!table || table->dwVersion != PELLIX_RESOURCE_VERSION) return Fail("the module carries no resources");
  for (DWORD i = 0; i < table->cResources; ++i) PrintResource(table->pResources[i]);
  return 0;
}

int Resources(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  const bool linked = args->Has("--static");
  const std::string module_name = args->positional().empty() ? "\\Windows\\PellixRule.dll" : args->positional()[0];
  if (linked && !args->positional().empty())
    return UsageError(inv, "--static shows the module linked into the tool; it takes no MODULE");
  // The copy linked into the tool needs no image: its table is the one the loader would serve.
  if (linked) return PrintTable(PellixGetResources());
  if (!BootImage(inv)) return 1;
  HMODULE module = LoadLibraryW(device::Utf8ToUtf16(module_name).c_str());
  if (!module) return Fail("cannot load " + module_name);
  const int status = PrintTable(device::Modules().Resources(module));
  FreeLibrary(module);
  return status;
}

}  // namespace

PELLIX_COMMAND("resources", "resources [--static] [MODULE]",
               "list a module's menus, strings, bitmaps and icons (default \\Windows\\PellixRule.dll)",
               Resources);

}  // namespace pellix::tool
