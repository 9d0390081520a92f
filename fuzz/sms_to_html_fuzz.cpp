// Any text through the whole conversion, with the default skin's smiley list and every report
// kind and template slot. The first byte picks the report kind, the slot and whether pictures
// are on; the rest is the message as UTF-16.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"

namespace {

const char16_t kSmileys[] =
    u">:( angry\r\nO:) angel\r\n</3 brokenheart\r\n<3 heart\r\n:-) smile\r\n:) smile\r\n"
    u";) wink\r\n:D grin\r\n:P tongue\r\n:O surprised\r\n:( sad\r\n:'( cry\r\n8-) cool\r\n"
    u":* kiss\r\n:| neutral\r\n:S confused\r\n:$ blush\r\n(y) thumbsup\r\n|-) sleepy\r\n"
    u"0 digit\r\n\" quote\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (!g_SmileyTable) ParseSmileyTable(kSmileys);
  uint8_t choice = data[0];
  UINT report = choice % 3;
  UINT slot = (choice / 3) % 4;  // 3 is out of range on purpose
  g_Settings.NewNotifyPicSmiley = (choice & 0x80) ? 0 : 1;
  // Alternate between the built-in templates and a skin-style one.
  if (choice & 0x40) {
    if (!g_Templates[0]) {
      g_Templates[0] = static_cast<LPWSTR>(malloc(sizeof(u"%alignment%%SMSBody%%s")));
      memcpy(g_Templates[0], u"%alignment%%SMSBody%%s", sizeof(u"%alignment%%SMSBody%%s"));
    }
  } else {
    FreeTemplates();
  }

  std::u16string text((size - 1) / 2, u'\0');
  memcpy(text.data(), data + 1, text.size() * sizeof(char16_t));
  LPWSTR html = nullptr;
  CreateHTMLFromSMSBody(text.c_str(), &html, report, slot);
  free(html);
  return 0;
}
