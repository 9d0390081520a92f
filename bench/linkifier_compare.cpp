// The text-to-HTML conversion against the most-used JavaScript linkifier (Autolinker, run with
// Node.js) on the same synthetic corpus, in one run on one machine. Both sides are timed by the
// CPU time their process spends per message, over several passes of the whole corpus after a
// warm-up; the best pass and the median pass of each are compared.
//
//   linkifier_compare [--peer DIR] [--runs N]
//
// DIR holds node_modules/autolinker (bench/peer/install-peer.sh puts it there); without Node.js
// or the peer, only the module is measured.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "sms_corpus.h"

namespace {

double CpuMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec / 1e3;
}

std::u16string ReadAscii(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  return std::u16string(bytes.begin(), bytes.end());
}

struct Figures {
  double best = 0, median = 0;
};
Figures Summarise(std::vector<double> perMessage) {
  std::sort(perMessage.begin(), perMessage.end());
  return {perMessage.front(), perMessage[perMessage.size() / 2]};
}

// The module as the default skin has it: its smiley list, its bubble template, pictures on.
Figures MeasureModule(const std::vector<std::u16string>& corpus, int runs) {
  g_Settings.NewNotifyPicSmiley = 1;
  std::u16string smileys = ReadAscii(PELLIX_SKINS_DIR "/default/Smileydata.txt");
  ParseSmileyTable(smileys.c_str());
  std::u16string bubble = ReadAscii(PELLIX_SKINS_DIR "/default/bubble.html");
  g_Templates[TEMPLATE_SLOT_BUBBLE] = _wcsdup(bubble.c_str());
  g_TemplateBuiltIn[TEMPLATE_SLOT_BUBBLE] = FALSE;

  size_t sink = 0;
  auto pass = [&] {
    for (const std::u16string& text : corpus) {
      LPWSTR html = nullptr;
      CreateHTMLFromSMSBody(text.c_str(), &html, SMS_REPORT_NONE, TEMPLATE_SLOT_BUBBLE);
      sink += html ? 1 : 0;  // (measuring the page here would count a pass that is not the conversion)
      free(html);
    }
  };
  for (int i = 0; i < 3; ++i) pass();
  std::vector<double> perMessage;
  for (int r = 0; r < runs; ++r) {
    double start = CpuMicroseconds();
    pass();
    perMessage.push_back((CpuMicroseconds() - start) / corpus.size());
  }
  if (sink == 0) std::printf("the module made empty pages\n");
  FreeTemplates();
  FreeSmileyTable();
  return Summarise(perMessage);
}

void WriteJson(const std::vector<std::u16string>& corpus, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "[";
  for (size_t i = 0; i < corpus.size(); ++i) {
    out << (i ? ",\n\"" : "\"");
    for (char16_t c : corpus[i]) {
      switch (c) {
        case u'"': out << "\\\""; break;
        case u'\\': out << "\\\\"; break;
        case u'\r': out << "\\r"; break;
        case u'\n': out << "\\n"; break;
        default: out << static_cast<char>(c);  // the corpus is printable ASCII and line ends
      }
    }
    out << "\"";
  }
  out << "]\n";
}

// Runs the peer in Node.js; false when Node.js or the peer is missing.
bool MeasurePeer(const std::vector<std::u16string>& corpus, const std::string& peerDir, int runs,
                 Figures* figures, std::string* version) {
  std::ifstream probe(peerDir + "/node_modules/autolinker/package.json");
  if (!probe) return false;
  std::string corpusFile = peerDir + "/corpus.json";
  WriteJson(corpus, corpusFile);
  std::string command = "node '" PELLIX_BENCH_DIR "/peer/autolinker_run.js' '" + peerDir + "' '" + corpusFile +
                        "' " + std::to_string(runs) + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  std::vector<double> perMessage;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string s(line);
    if (s.rfind("run ", 0) == 0) perMessage.push_back(std::atof(s.c_str() + 4));
    else if (s.rfind("version ", 0) == 0) *version = s.substr(8, s.find_first_of("\r\n") - 8);
  }
  int status = pclose(pipe);
  if (status != 0 || perMessage.empty()) return false;
  *figures = Summarise(perMessage);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string peerDir = "build-release/bench/peer";
  int runs = 15;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--peer" && i + 1 < argc) peerDir = argv[++i];
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else {
      std::fprintf(stderr, "usage: linkifier_compare [--peer DIR] [--runs N]\n");
      return 2;
    }
  }

  std::vector<std::u16string> corpus = pellix::bench::SmsCorpus();
  size_t characters = 0;
  for (const auto& t : corpus) characters += t.size();
  std::printf("corpus: %zu messages, %zu characters (seeded, made by the benchmark)\n", corpus.size(), characters);
  std::printf("CPU time per message over %d passes of the corpus, best and median pass\n", runs);

  Figures ours = MeasureModule(corpus, runs);
  std::printf("%-36s %9.3f us best %9.3f us median  %10.0f messages/s\n", "CreateHTMLFromSMSBody", ours.best,
              ours.median, 1e6 / ours.best);

  Figures peer;
  std::string version;
  if (!MeasurePeer(corpus, peerDir, runs, &peer, &version)) {
    std::printf("peer: not measured (needs Node.js and %s/node_modules/autolinker; "
                "bench/peer/install-peer.sh installs it)\n",
                peerDir.c_str());
    return 0;
  }
  std::string name = "Autolinker " + version + " (Node.js)";
  std::printf("%-36s %9.3f us best %9.3f us median  %10.0f messages/s\n", name.c_str(), peer.best, peer.median,
              1e6 / peer.best);
  std::printf("ratio (peer time / module time): %.1fx best vs best, %.1fx median vs median\n", peer.best / ours.best,
              peer.median / ours.median);
  return 0;
}
