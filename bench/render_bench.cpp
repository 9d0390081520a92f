// The text-to-HTML conversion of a full message (2047 characters, the work buffer's limit) with
// the default skin's smiley list, a dozen numbers and links, and smileys among them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"

namespace {

void LoadDefaultSmileys() {
  std::ifstream in(PELLIX_SKINS_DIR "/default/Smileydata.txt", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::u16string text(bytes.begin(), bytes.end());  // the list is plain ASCII
  ParseSmileyTable(text.c_str());
}

std::u16string FullMessage() {
  const char16_t* pieces[] = {
      u"Hi there :) call me on 0123456789 or +441234567890. ",
      u"See http://example.com/page?id=7 and mail bob@example.org ;) ",
      u"Meeting moved to room 12, bring the notes <3 and coffee & cake.\r\n",
      u"Alt number 07700900123, office 0201234567 :D (y) ",
      u"Photos at http://pics.example.net/a/b ok? :P ",
  };
  std::u16string text;
  for (size_t i = 0; text.size() < SMS_WORK_BUFFER_CCH - 1; ++i) text += pieces[i % 5];
  text.resize(SMS_WORK_BUFFER_CCH - 1);
  return text;
}

void BM_CreateHTMLFromSMSBody(benchmark::State& state) {
  g_Settings.NewNotifyPicSmiley = 1;
  LoadDefaultSmileys();
  std::u16string text = FullMessage();
  for (auto _ : state) {
    LPWSTR html = nullptr;
    benchmark::DoNotOptimize(CreateHTMLFromSMSBody(text.c_str(), &html, 0, 0));
    free(html);
  }
  FreeSmileyTable();
}
BENCHMARK(BM_CreateHTMLFromSMSBody)->Unit(benchmark::kMicrosecond);

}  // namespace
