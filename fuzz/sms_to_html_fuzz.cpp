// Any text through the whole conversion, held to the plain step-by-step reference: a page or a
// result that differs from it is a crash. The first byte picks the report kind, the slot, the
// template and whether pictures are on, the second the smiley table; the rest is UTF-16: the
// message, or with a table of its own (second byte 2 or 3), a "Smileydata.txt" text, a form feed
// and the message.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/device.h"
#include "kernel/device_image.h"
#include "render/sms_to_html_reference.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

const char16_t* const kTables[] = {
    u">:( angry\r\nO:) angel\r\n</3 brokenheart\r\n<3 heart\r\n:-) smile\r\n:) smile\r\n"
    u";) wink\r\n:D grin\r\n:P tongue\r\n:O surprised\r\n:( sad\r\n:'( cry\r\n8-) cool\r\n"
    u":* kiss\r\n:| neutral\r\n:S confused\r\n:$ blush\r\n(y) thumbsup\r\n|-) sleepy\r\n",
    // codes that match inside the references of earlier entries and across their edges
    u":) smile\r\n0 digit\r\n\" quote\r\nimg tag\r\nx\uFFFE open\r\n\uFFFF: close\r\n",
};

// A booted device with the module attached, so the built-in templates are its string table.
struct Device {
  pellix::testing::TempDir dir;
  Device() {
    auto image = pellix::device::DeviceImage::Create(dir.path() / "image", {});
    pellix::device::Device::Boot(std::move(*image));
    pellix::AttachStaticPellixRule();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Device device;
  if (size < 2) return 0;
  uint8_t choice = data[0];
  UINT report = choice % 3;
  UINT slot = (choice / 3) % 4;  // 3 is out of range on purpose
  g_Settings.NewNotifyPicSmiley = (choice & 0x80) ? 0 : 1;
  std::u16string text((size - 2) / 2, u'\0');
  memcpy(text.data(), data + 2, text.size() * sizeof(char16_t));
  static int table = -1;
  int choice2 = data[1] % 4;
  if (choice2 >= 2) {
    size_t feed = text.find(u'\f');
    std::u16string list = text.substr(0, feed);
    text = feed == std::u16string::npos ? std::u16string() : text.substr(feed + 1);
    ParseSmileyTable(list.c_str());
    table = -1;
  } else if (table != choice2) {
    table = choice2;
    ParseSmileyTable(kTables[table]);
  }
  // Alternate between the built-in templates and a skin-style one.
  FreeTemplates();
  if (choice & 0x40) {
    g_Templates[0] = _wcsdup(u"%alignment%%SMSBody%%s%SMSBody%");
    g_TemplateBuiltIn[0] = FALSE;
  }

  LPWSTR html = nullptr;
  BOOL pictures = CreateHTMLFromSMSBody(text.c_str(), &html, report, slot);
  BOOL expectedPictures = FALSE;
  std::u16string expected = pellix::reference::Convert(text, report, slot, &expectedPictures);
  if (!html || expected != html || pictures != expectedPictures) {
    std::fprintf(stderr, "the conversion and its reference differ\n");
    std::abort();
  }
  free(html);
  return 0;
}
