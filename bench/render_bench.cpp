// The text-to-HTML conversion with the default skin's smiley list and bubble template: a full
// message (2047 characters, the work buffer's limit) with a dozen numbers and links and smileys
// among them, and the seeded corpus of 2000 messages that linkifier_compare also gives the peer.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "sms_corpus.h"

namespace {

std::u16string ReadAscii(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return std::u16string(bytes.begin(), bytes.end());  // the default skin's files are plain ASCII
}

// The default skin as the module loads it, for the length of one benchmark.
struct DefaultSkin {
  DefaultSkin() {
    g_Settings.NewNotifyPicSmiley = 1;
    ParseSmileyTable(ReadAscii(PELLIX_SKINS_DIR "/default/Smileydata.txt").c_str());
    g_Templates[TEMPLATE_SLOT_BUBBLE] = _wcsdup(ReadAscii(PELLIX_SKINS_DIR "/default/bubble.html").c_str());
    g_TemplateBuiltIn[TEMPLATE_SLOT_BUBBLE] = FALSE;
  }
  ~DefaultSkin() {
    FreeTemplates();
    FreeSmileyTable();
  }
};

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
  DefaultSkin skin;
  std::u16string text = FullMessage();
  for (auto _ : state) {
    LPWSTR html = nullptr;
    benchmark::DoNotOptimize(CreateHTMLFromSMSBody(text.c_str(), &html, 0, 0));
    free(html);
  }
}
BENCHMARK(BM_CreateHTMLFromSMSBody)->Unit(benchmark::kMicrosecond);

// One message of the corpus per iteration, in turn: the figure is the mean time per message.
void BM_CreateHTMLFromSMSBodyCorpus(benchmark::State& state) {
  DefaultSkin skin;
  const std::vector<std::u16string> corpus = pellix::bench::SmsCorpus();
  size_t next = 0;
  for (auto _ : state) {
    LPWSTR html = nullptr;
    benchmark::DoNotOptimize(CreateHTMLFromSMSBody(corpus[next].c_str(), &html, 0, 0));
    free(html);
    if (++next == corpus.size()) next = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CreateHTMLFromSMSBodyCorpus)->Unit(benchmark::kMicrosecond);

}  // namespace
