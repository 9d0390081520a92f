// pellix-device render: the page that the module makes of a message text with this image's
// active skin, smiley table and templates.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>

#include "command.h"
#include "core/settings.h"
#include "kernel/device_image.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/static_module.h"

namespace pellix::tool {
namespace {

int Render(Invocation& inv) {
  auto args = ParseArguments(inv);
  if (!args) return kUsageStatus;
  auto choice = [&](const char* option) {
    const std::string* v = args->Value(option);
    return v ? static_cast<UINT>((*v)[0] - '0') : 0u;
  };
  const UINT report = choice("--report"), slot = choice("--slot");
  std::string text = args->positional()[0];
  if (text == "-") {
    // An SMS is a few hundred characters; standard input is read only up to a bound.
    constexpr size_t kMaxText = 1024 * 1024;
    text.clear();
    char chunk[4096];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, stdin)) {
      if (text.size() + n > kMaxText) return Fail("standard input holds more than 1 MB of text");
      text.append(chunk, n);
    }
  }

  if (!BootImage(inv)) return 1;
  // The module's resources hold the built-in templates that stand in for missing skin files.
  HINSTANCE module = AttachStaticPellixRule();
  GetSettings();
  LoadSmileyTable();
  LoadTemplates();

  std::u16string body = device::Utf8ToUtf16(text);
  LPWSTR html = nullptr;
  CreateHTMLFromSMSBody(body.c_str(), &html, report, slot);
  int status = 0;
  if (html) {
    std::string page = device::Utf16ToUtf8(html);
    std::fwrite(page.data(), 1, page.size(), stdout);
    free(html);
  } else {
    status = Fail("out of memory");
  }
  FreeTemplates();
  FreeSmileyTable();
  if (module) FreeLibrary(module);
  return status;
}

}  // namespace

PELLIX_COMMAND("render", "render [--report 0|1|2] [--slot 0|1|2] TEXT|-",
               "print the HTML page the module makes of TEXT (- reads standard input)", Render);

}  // namespace pellix::tool
