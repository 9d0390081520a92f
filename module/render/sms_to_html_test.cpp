// Text in, page out: each case states the body the page must carry, worked out by hand from the
// conversion's rules. The page template is "%SMSBody%" unless a case is about templates.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

using Text = std::u16string;
const Text kOpen(1, SMS_TAG_OPEN);
const Text kClose(1, SMS_TAG_CLOSE);

Text Link(const Text& target) { return u"<a href=\"" + target + u"\">" + target + u"</a>"; }

class ConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_Settings.NewNotifyPicSmiley = 1;
    for (int slot = 0; slot < TEMPLATE_SLOT_COUNT; ++slot) {
      g_Templates[slot] = _wcsdup(u"%SMSBody%");
      g_TemplateBuiltIn[slot] = FALSE;
    }
  }
  void TearDown() override {
    FreeTemplates();
    FreeSmileyTable();
  }

  // Runs the whole conversion and returns the page; `pictures` receives the result.
  Text Convert(const Text& body, UINT report = SMS_REPORT_NONE, UINT slot = 0,
               BOOL* pictures = nullptr) {
    LPWSTR html = nullptr;
    BOOL result = CreateHTMLFromSMSBody(body.c_str(), &html, report, slot);
    if (pictures) *pictures = result;
    EXPECT_NE(html, nullptr);
    Text page = html ? Text(html) : Text();
    free(html);
    return page;
  }
};

struct Case {
  const char* name;
  Text in;
  Text out;
};

TEST_F(ConversionTest, EscapingAndLineBreaks) {
  const Case cases[] = {
      {"escapes the three markup characters", u"a<b & c>d", u"a&lt;b &amp; c&gt;d"},
      {"quotes stay", u"say \"hi\"", u"say \"hi\""},
      {"CR LF becomes br", u"one\r\ntwo", u"one<br>two"},
      {"lone CR and LF stay", u"a\rb\nc\n\rd", u"a\rb\nc\n\rd"},
      {"typed marker characters become brackets", u"a" + kOpen + u"b" + kClose, u"a<b>"},
      {"empty text", u"", u""},
      {"already escaped text is escaped again", u"&amp;", u"&amp;amp;"},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.in), c.out) << c.name;
}

TEST_F(ConversionTest, PhoneNumbers) {
  const Case cases[] = {
      {"number before a full stop", u"Call 0123456789.", u"Call " + Link(u"0123456789") + u"."},
      {"five digits are too short", u"12345", u"12345"},
      {"six digits are enough", u"123456", Link(u"123456")},
      {"fifteen characters are enough", u"123456789012345", Link(u"123456789012345")},
      {"sixteen digits are too long", u"1234567890123456", u"1234567890123456"},
      {"plus and twelve digits", u"+441234567890", Link(u"+441234567890")},
      {"minus and seven digits", u"-1234567", u"-1234567"},
      {"comma is no delimiter", u"12,345,678", u"12,345,678"},
      {"overflow still counts as positive", u"99999999999999", Link(u"99999999999999")},
      {"leading zeros are a number", u"000000", Link(u"000000")},
      {"inside double quotes", u"\"0123456789\"", u"\"" + Link(u"0123456789") + u"\""},
      {"after a line break", u"x\r\n0123456", u"x<br>" + Link(u"0123456")},
      {"escaped ampersand glues the token", u"1234567&x", u"1234567&amp;x"},
      {"two numbers", u"012345 and 0123456",
       Link(u"012345") + u" and " + Link(u"0123456")},
      {"the same number twice", u"123456 123456", Link(u"123456") + u" " + Link(u"123456")},
      {"white space that wcstol skips stays in the token", u"\t0123456",
       Link(u"\t0123456")},
      {"dots split a dotted number", u"0123.456789", u"0123." + Link(u"456789")},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.in), c.out) << c.name;
}

TEST_F(ConversionTest, WebAndMailLinks) {
  const Case cases[] = {
      {"web address", u"see http://x.com now", u"see " + Link(u"http://x.com") + u" now"},
      {"web address in brackets", u"(http://x.com)", u"(http://x.com)"},
      {"scheme is case-sensitive", u"HTTP://x.com", u"HTTP://x.com"},
      {"mail address", u"mail bob@host.com", u"mail " + Link(u"bob@host.com")},
      {"dot in the user part", u"b.ob@host.com", u"b.ob@host.com"},
      {"begins with the at sign", u"@host.com", u"@host.com"},
      {"no dot at all", u"bob@host", u"bob@host"},
      {"digits before the at sign are not a number", u"123456@host.com",
       Link(u"123456@host.com")},
      {"a line break does not end a web token", u"http://x.com\r\nnext word",
       Link(u"http://x.com<br>next") + u" word"},
      {"mail and number together", u"a@b.c 0123456", Link(u"a@b.c") + u" " + Link(u"0123456")},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.in), c.out) << c.name;
}

TEST_F(ConversionTest, Smileys) {
  ParseSmileyTable(u":) smile\n:)) laugh\n");
  const Case cases[] = {
      {"first entry wins over the longer code", u":))", u"<img src=\"0\">)"},
      {"every occurrence", u":):)", u"<img src=\"0\"><img src=\"0\">"},
      {"sender's brackets next to a smiley are escaped", u"<:)>",
       u"&lt;<img src=\"0\">&gt;"},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.in), c.out) << c.name;

  BOOL pictures = FALSE;
  Convert(u"no smiley", SMS_REPORT_NONE, 0, &pictures);
  EXPECT_FALSE(pictures);
  Convert(u"a :) b", SMS_REPORT_NONE, 0, &pictures);
  EXPECT_TRUE(pictures);
}

TEST_F(ConversionTest, LaterCodesMatchInsideEarlierReferences) {
  WCHAR buffer[SMS_WORK_BUFFER_CCH];
  ParseSmileyTable(u":) a\n0 b\n");
  wcscpy(buffer, u"x:)");
  ApplySmileys(buffer);
  EXPECT_EQ(Text(buffer), u"x" + kOpen + u"img src=\"" + kOpen + u"img src=\"1\"" + kClose +
                              u"\"" + kClose);
}

TEST_F(ConversionTest, LaterCodesMatchAcrossReferenceEdges) {
  WCHAR buffer[SMS_WORK_BUFFER_CCH];
  // Entry 1 spans the inside of entry 0's reference; entry 2 spans the sender's "x" and the
  // opening marker that entry 0 put after it.
  ParseSmileyTable(u":) a\n0\" b\nx\uFFFE c\n");
  wcscpy(buffer, u"x:)");
  ApplySmileys(buffer);
  const Text one = kOpen + u"img src=\"1\"" + kClose;
  const Text two = kOpen + u"img src=\"2\"" + kClose;
  EXPECT_EQ(Text(buffer), two + u"img src=\"" + one + kClose);
}

TEST_F(ConversionTest, ContainsSmiley) {
  EXPECT_FALSE(ContainsSmiley(u":)")) << "no table";
  ParseSmileyTable(u": colon\nzz sleepy\n");
  EXPECT_FALSE(ContainsSmiley(u":")) << "a one-character text never holds a smiley";
  EXPECT_TRUE(ContainsSmiley(u"a:"));
  EXPECT_TRUE(ContainsSmiley(u"zzz"));
  EXPECT_FALSE(ContainsSmiley(u"z z"));
}

TEST_F(ConversionTest, SmileysAreOffWithoutPictures) {
  ParseSmileyTable(u":) smile\n");
  g_Settings.NewNotifyPicSmiley = 0;
  BOOL pictures = TRUE;
  EXPECT_EQ(Convert(u":)", SMS_REPORT_DELIVERED, 0, &pictures), u":)");
  EXPECT_FALSE(pictures);
}

TEST_F(ConversionTest, ReportIcons) {
  const Text delivered = u"<img style=\"float: left\" src=\"delivered.gif\">";
  const Text failed = u"<img style=\"float: left\" src=\"ndelivered.gif\">";
  struct {
    UINT kind;
    Text out;
    BOOL pictures;
  } cases[] = {
      {SMS_REPORT_NONE, u"sent", FALSE},
      {SMS_REPORT_DELIVERED, delivered + u"sent", TRUE},
      {SMS_REPORT_FAILED, failed + u"sent", TRUE},
      {7, failed + u"sent", TRUE},
  };
  for (const auto& c : cases) {
    BOOL pictures = !c.pictures;
    EXPECT_EQ(Convert(u"sent", c.kind, 0, &pictures), c.out) << c.kind;
    EXPECT_EQ(pictures, c.pictures) << c.kind;
  }
}

TEST_F(ConversionTest, SlotOneAlwaysCarriesPictures) {
  BOOL pictures = FALSE;
  Convert(u"plain", SMS_REPORT_NONE, TEMPLATE_SLOT_BUBBLEPIC, &pictures);
  EXPECT_TRUE(pictures);
}

TEST_F(ConversionTest, TemplateMarkers) {
  free(g_Templates[2]);
  g_Templates[2] = _wcsdup(u"[%alignment%|%textalignment%|%DefFontName%|%SMSBody%|%SMSBody%|%s]");
  EXPECT_EQ(Convert(u"b", SMS_REPORT_NONE, 2), u"[left|left|default|b|b|%s]");
  EXPECT_EQ(Convert(u"%SMSBody% %alignment%", SMS_REPORT_NONE, 2),
            u"[left|left|default|%SMSBody% %alignment%|%SMSBody% %alignment%|%s]");
}

TEST_F(ConversionTest, EmptyTemplateGivesEmptyPage) {
  free(g_Templates[0]);
  g_Templates[0] = _wcsdup(u"");
  EXPECT_EQ(Convert(u"text"), u"");
}

// The work buffer holds 2047 characters; every step before escaping cuts to that, and nothing is
// written beyond it.
TEST_F(ConversionTest, WorkBufferCuts) {
  const size_t kFits = SMS_WORK_BUFFER_CCH - 1;
  EXPECT_EQ(Convert(Text(kFits, u'a')), Text(kFits, u'a'));
  EXPECT_EQ(Convert(Text(kFits + 1, u'a')), Text(kFits, u'a'));
  EXPECT_EQ(Convert(Text(5000, u'a')), Text(kFits, u'a'));

  const Text icon = u"<img style=\"float: left\" src=\"delivered.gif\">";
  const size_t iconMarked = icon.size();  // the two markers stand for "<" and ">"
  EXPECT_EQ(Convert(Text(kFits, u'b'), SMS_REPORT_DELIVERED),
            icon + Text(kFits - iconMarked, u'b'));

  // 1000 line breaks need 4000 characters: 511 whole ones fit, then "<br" of the 512th.
  Text breaks;
  for (int i = 0; i < 1000; ++i) breaks += u"\r\n";
  Text expected;
  for (int i = 0; i < 511; ++i) expected += u"<br>";
  expected += u"<br";
  EXPECT_EQ(Convert(breaks), expected);

  // Smileys grow 2 characters into 13 (marker, img src="0", marker): 157 whole references
  // make 2041 characters, then 6 characters of the next one.
  ParseSmileyTable(u":) smile\n");
  Text smileys;
  for (int i = 0; i < 1000; ++i) smileys += u":)";
  Text cut;
  for (int i = 0; i < 157; ++i) cut += u"<img src=\"0\">";
  cut += u"<img s";
  EXPECT_EQ(Convert(smileys), cut);
}

TEST_F(ConversionTest, StepsOnTheWorkBufferStayInside) {
  // Sentinels after the buffer catch any write past its end.
  struct {
    WCHAR buffer[SMS_WORK_BUFFER_CCH];
    WCHAR guard[8];
  } work;
  for (WCHAR& g : work.guard) g = 0x5A5A;
  ParseSmileyTable(u"x smile\n");
  for (size_t i = 0; i < SMS_WORK_BUFFER_CCH - 1; ++i) work.buffer[i] = (i % 2) ? u'\n' : u'\r';
  work.buffer[SMS_WORK_BUFFER_CCH - 1] = 0;
  ConvertLineBreaks(work.buffer);
  for (size_t i = 0; i < SMS_WORK_BUFFER_CCH - 1; ++i) work.buffer[i] = u'x';
  work.buffer[SMS_WORK_BUFFER_CCH - 1] = 0;
  ApplySmileys(work.buffer);
  EXPECT_EQ(wcslen(work.buffer), SMS_WORK_BUFFER_CCH - 1);
  for (WCHAR g : work.guard) EXPECT_EQ(g, 0x5A5A);
}

// The built-in templates are the module's string resources, so these cases attach the module to
// a device.
class BuiltInTemplateTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    module_ = pellix::AttachStaticPellixRule();
    ASSERT_NE(module_, nullptr);
    g_Settings.NewNotifyPicSmiley = 1;
  }
  void TearDown() override {
    FreeTemplates();
    FreeLibrary(module_);
    DeviceTest::TearDown();
  }
  static Text ConvertPage(const Text& body, UINT report = SMS_REPORT_NONE, UINT slot = 0) {
    LPWSTR html = nullptr;
    CreateHTMLFromSMSBody(body.c_str(), &html, report, slot);
    Text page = html ? Text(html) : Text();
    free(html);
    return page;
  }
  HINSTANCE module_ = nullptr;
};

TEST_F(BuiltInTemplateTest, BuiltInTemplatesTakeTheTextInTheirFormatSlots) {
  // Before the module's lazy initialisation no slot is loaded: the built-in texts stand in.
  const Text head =
      u"<html><body><table  border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%\"><tr>"
      u"<td width=\"100%\" align=\"left\" style=\"height: 29px; font-size: 8pt; font-family: "
      u"default; text-align: left;\"><p>";
  const Text tail = u"</p></td></tr></table></body></html>";
  EXPECT_EQ(ConvertPage(u"100%% %s sure"), head + u"100%% %s sure" + tail);
  EXPECT_EQ(ConvertPage(u"x", SMS_REPORT_NONE, TEMPLATE_SLOT_FORM), head + u"x" + tail);

  const Text pic =
      u"<html><body><table border=\"0\" cellpadding=\"5\" cellspacing=\"0\" width=\"100%\"><tr>"
      u"<td width= \"5%\"><p align=\"center\"><img src=\"PictureID\" /></p></td><td "
      u"width=\"95%\" align=\"left\" style=\"height: 29px; font-size: 8pt; font-family: default; "
      u"text-align: left;\"><p>y</p></td></tr></table></body></html>";
  EXPECT_EQ(ConvertPage(u"y", SMS_REPORT_NONE, TEMPLATE_SLOT_BUBBLEPIC), pic);
}

}  // namespace
