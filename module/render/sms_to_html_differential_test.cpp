// The conversion against its plain step-by-step reference on random texts, smiley tables,
// templates, report kinds and slots: any difference in the page or in the result is a fault of
// the fast conversion (or a changed rule that the reference must follow too).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "render/sms_to_html_reference.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

using Text = std::u16string;

// A small deterministic generator, so a failure repeats from its case number.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed * 2862933555777941757ull + 3037000493ull) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state_ >> 33);
  }
  size_t Below(size_t n) { return n ? Next() % n : 0; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) { return items[Below(N)]; }

 private:
  uint64_t state_;
};

// Pieces that the conversion's rules treat specially, and ordinary words around them.
const Text kPieces[] = {
    u" ", u" ", u" ", u"hello", u"meet", u"tonight", u"0123456789", u"+441234567890", u"12345",
    u"-1234567", u"-000000", u"1234567890123456", u"12,345,678", u"http://example.com/a?b=1",
    u"(http://x.org)", u"HTTP://x.org", u"bob@example.org", u"b.ob@host.com", u"@host.com",
    u"bob@host", u"x@y.123456789", u"\r\n", u"\r", u"\n", u"\t", u"<", u">", u"&", u"\"", u".",
    u":)", u":-)", u";)", u":D", u"<3", u"</3", u"(y)", u"8-)", u"0:)", u":))", u"%SMSBody%",
    u"%alignment%", u"%s", u"%%", u"\uFFFE", u"\uFFFF", u"img src=\"", u"\u00E9t\u00E9",
    u"\u3000123456", u"\u00A0", u"0", u"7", u"@", u"http://", u"a@b.c", u"\"0123456\"",
};

const char16_t* const kTables[] = {
    // the default skin's list
    u">:( angry\n>:-( angry\nO:) angel\nO:-) angel\n0:) angel\n</3 brokenheart\n<3 heart\n"
    u":-) smile\n:) smile\n:] smile\n;-) wink\n;) wink\n:-D grin\n:D grin\n:-P tongue\n"
    u":P tongue\n:-O surprised\n:O surprised\n:-( sad\n:( sad\n:'( cry\n8-) cool\nB-) cool\n"
    u":-* kiss\n:* kiss\n:-| neutral\n:| neutral\n(y) thumbsup\n(n) thumbsdown\n|-) sleepy\n",
    // codes that match inside references and across their edges
    u":) a\n0 b\n\" c\nimg d\nx\uFFFE e\n\uFFFF: f\n",
    u":) a\n:)) b\n)) c\n:)):) d\n",
    u"",
};

const char16_t* const kTemplates[] = {
    u"%SMSBody%",
    u"[%alignment%|%textalignment%|%DefFontName%|%SMSBody%|%SMSBody%|%s|%%]",
    u"",
    u"%text%alignment%alignment%DefFontName%SMSBody%",
};

Text RandomText(Random& random) {
  Text text;
  size_t target = random.Below(8) == 0 ? 1500 + random.Below(1200) : random.Below(200);
  while (text.size() < target) {
    if (random.Below(4) == 0)
      text += static_cast<char16_t>(random.Below(3) ? 0x20 + random.Below(0x60) : random.Below(0x10000));
    else
      text += random.Pick(kPieces);
  }
  // A NUL inside ends the C string the conversion is given.
  for (char16_t& c : text)
    if (c == 0) c = u'z';
  return text;
}

class DifferentialTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(module_, nullptr);
  }
  void TearDown() override {
    FreeTemplates();
    FreeSmileyTable();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }
  HINSTANCE module_ = nullptr;
};

TEST_F(DifferentialTest, ConversionMatchesTheReferenceOnRandomTexts) {
  Random random(20261206);
  int differences = 0;
  for (int round = 0; round < 4000 && differences < 5; ++round) {
    if (round % 50 == 0) {
      const char16_t* table = kTables[random.Below(std::size(kTables))];
      if (*table) ParseSmileyTable(table);
      else FreeSmileyTable();
      FreeTemplates();
      if (random.Below(2)) {
        // Loaded slots: the module's built-in texts where the skin has no file.
        LoadTemplates();
      } else {
        for (int slot = 0; slot < TEMPLATE_SLOT_COUNT; ++slot) {
          if (random.Below(4) == 0) continue;  // left empty: the built-in text stands in
          g_Templates[slot] = _wcsdup(kTemplates[random.Below(std::size(kTemplates))]);
          g_TemplateBuiltIn[slot] = FALSE;
        }
      }
    }
    g_Settings.NewNotifyPicSmiley = random.Below(5) != 0;
    const UINT reports[] = {SMS_REPORT_NONE, SMS_REPORT_NONE, SMS_REPORT_DELIVERED, SMS_REPORT_FAILED, 7};
    UINT report = random.Pick(reports);
    UINT slot = static_cast<UINT>(random.Below(4));  // 3 is out of range on purpose
    Text text = RandomText(random);

    BOOL expectedPictures = FALSE;
    Text expected = pellix::reference::Convert(text, report, slot, &expectedPictures);
    LPWSTR html = nullptr;
    BOOL pictures = CreateHTMLFromSMSBody(text.c_str(), &html, report, slot);
    ASSERT_NE(html, nullptr);
    Text page(html);
    free(html);
    if (page != expected || pictures != expectedPictures) {
      ++differences;
      ADD_FAILURE() << "round " << round << ": page or result differs (result " << pictures << ", expected "
                    << expectedPictures << ", lengths " << page.size() << " and " << expected.size() << ")";
    }
  }
}

// The Inbox's thread and the forms' thread convert at once: each keeps its own working memory,
// so neither sees the other's text.
TEST_F(DifferentialTest, ConcurrentConversionsKeepToTheirOwnTexts) {
  ParseSmileyTable(kTables[0]);
  LoadTemplates();
  g_Settings.NewNotifyPicSmiley = 1;
  struct Work {
    std::vector<Text> texts, pages;
    int differences = 0;
  } work[2];
  Random random(7);
  for (Work& w : work)
    for (int i = 0; i < 40; ++i) {
      w.texts.push_back(RandomText(random));
      BOOL pictures = FALSE;
      w.pages.push_back(pellix::reference::Convert(w.texts.back(), SMS_REPORT_NONE, 0, &pictures));
    }
  auto run = [](Work* w) {
    for (int round = 0; round < 25; ++round)
      for (size_t i = 0; i < w->texts.size(); ++i) {
        LPWSTR html = nullptr;
        CreateHTMLFromSMSBody(w->texts[i].c_str(), &html, SMS_REPORT_NONE, 0);
        if (!html || w->pages[i] != html) ++w->differences;
        free(html);
      }
  };
  std::thread other(run, &work[1]);
  run(&work[0]);
  other.join();
  EXPECT_EQ(work[0].differences, 0);
  EXPECT_EQ(work[1].differences, 0);
}

}  // namespace
