#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "render/sms_to_html.h"

#include "core/debug_log.h"
#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/templates.h"

namespace {

using Text = std::u16string;
using TextView = std::u16string_view;

// Copies `src` into the work buffer, cut to what fits with the terminator.
void CopyToWorkBuffer(WCHAR* buffer, TextView src) {
  size_t n = src.size() < SMS_WORK_BUFFER_CCH - 1 ? src.size() : SMS_WORK_BUFFER_CCH - 1;
  if (n) memmove(buffer, src.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
}

// Replaces every occurrence of `what` (not empty) in `text`, scanning left to right; inserted
// text is never scanned again.
void ReplaceAll(Text& text, TextView what, TextView with) {
  size_t pos = text.find(what);
  if (pos == Text::npos) return;
  Text out;
  out.reserve(text.size() + with.size() * 4);
  size_t from = 0;
  while (pos != Text::npos) {
    out.append(text, from, pos - from);
    out.append(with);
    from = pos + what.size();
    pos = text.find(what, from);
  }
  out.append(text, from, Text::npos);
  text.swap(out);
}

void Escape(TextView in, Text& out) {
  size_t length = 0;
  for (WCHAR c : in) length += c == u'&' ? 5 : (c == u'<' || c == u'>') ? 4 : 1;
  out.resize(length);
  WCHAR* o = out.data();
  for (WCHAR c : in) {
    switch (c) {
      case u'&': memcpy(o, u"&amp;", 5 * sizeof(WCHAR)); o += 5; break;
      case u'<': memcpy(o, u"&lt;", 4 * sizeof(WCHAR)); o += 4; break;
      case u'>': memcpy(o, u"&gt;", 4 * sizeof(WCHAR)); o += 4; break;
      case SMS_TAG_OPEN: *o++ = u'<'; break;
      case SMS_TAG_CLOSE: *o++ = u'>'; break;
      default: *o++ = c;
    }
  }
}

struct PhoneDelimiter {
  bool operator()(WCHAR c) const {
    return c == u' ' || c == u'>' || c == u'<' || c == u'.' || c == u'"';
  }
};
struct Blank {
  bool operator()(WCHAR c) const { return c == u' '; }
};

// A phone number is a token that the platform's base-10 wcstol reads whole, that is not
// negative (an overflow to the positive limit still counts) and 6 to 15 characters long.
struct PhoneNumber {
  bool operator()(TextView token) const;
};
bool PhoneNumber::operator()(TextView token) const {
  if (token.size() < 6 || token.size() > 15) return false;
  WCHAR copy[16];
  memcpy(copy, token.data(), token.size() * sizeof(WCHAR));
  copy[token.size()] = 0;
  WCHAR* end = nullptr;
  long value = wcstol(copy, &end, 10);
  return end == copy + token.size() && value >= 0;
}

// A web address starts with "http://"; an e-mail address has an at sign after its first
// character and its first "." after that at sign.
struct WebOrMailLink {
  bool operator()(TextView token) const;
};
bool WebOrMailLink::operator()(TextView token) const {
  if (token.starts_with(u"http://")) return true;
  size_t at = token.find(u'@');
  if (at == TextView::npos || at == 0) return false;
  size_t dot = token.find(u'.');
  return dot != TextView::npos && dot > at;
}

// Wraps each token of `text` that `isLink` accepts in <a href="token">token</a>. Tokens are the
// runs between delimiters; the link goes where the token stands.
template <typename Delimiter, typename Accept>
void LinkTokens(Text& text) {
  const Delimiter isDelimiter;
  const Accept isLink;
  Text out;
  size_t copied = 0;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    while (i < n && isDelimiter(text[i])) ++i;
    size_t start = i;
    while (i < n && !isDelimiter(text[i])) ++i;
    if (i == start) break;
    TextView token(text.data() + start, i - start);
    if (!isLink(token)) continue;
    if (out.empty()) out.reserve(text.size() + 256);
    out.append(text, copied, start - copied);
    out.append(u"<a href=\"");
    out.append(token);
    out.append(u"\">");
    out.append(token);
    out.append(u"</a>");
    copied = i;
  }
  if (copied == 0) return;  // nothing linked (a link always moves `copied` past its token)
  out.append(text, copied, Text::npos);
  text.swap(out);
}

// Puts `body` where a built-in template has its "%s%s%s", turning its "%%" into "%". Built-in
// templates are resource strings written for the platform's printf-style formatting (the first
// and last "%s" are empty, the middle one is the message); they are expanded here by hand,
// because wsprintfW would cut any page at 1023 characters.
void ExpandBuiltIn(Text& page, TextView body) {
  Text out;
  out.reserve(page.size() + body.size());
  int argument = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == u'%' && i + 1 < page.size()) {
      if (page[i + 1] == u'%') {
        out.push_back(u'%');
        ++i;
        continue;
      }
      if (page[i + 1] == u's') {
        if (argument == 1) out.append(body);
        ++argument;
        ++i;
        continue;
      }
    }
    out.push_back(page[i]);
  }
  page.swap(out);
}

// Which characters and which pairs of neighbouring characters a text holds (pairs hashed into a
// table, so a pair may be reported that is not there, never the other way round). A code with a
// character or a pair that the text lacks cannot occur in it, which spares most of the table's
// searches.
class TextContents {
 public:
  void Add(TextView text, WCHAR before) {
    for (WCHAR c : text) {
      Set(characters_, c);
      Set(pairs_, Pair(before, c));
      before = c;
    }
  }
  void AddPair(WCHAR a, WCHAR b) { Set(pairs_, Pair(a, b)); }
  bool MayHold(LPCWSTR code) const {
    if (!Has(characters_, code[0])) return false;
    for (size_t i = 1; code[i]; ++i)
      if (!Has(characters_, code[i]) || !Has(pairs_, Pair(code[i - 1], code[i]))) return false;
    return true;
  }

 private:
  static uint32_t Pair(WCHAR a, WCHAR b) { return (uint32_t{a} * 40503u + b) & 0xFFFF; }
  static void Set(uint64_t* bits, uint32_t i) { bits[i >> 6] |= uint64_t{1} << (i & 63); }
  static bool Has(const uint64_t* bits, uint32_t i) { return bits[i >> 6] & (uint64_t{1} << (i & 63)); }
  uint64_t characters_[65536 / 64] = {};
  uint64_t pairs_[65536 / 64] = {};
};

LPWSTR HeapCopy(const Text& text) {
  auto* copy = static_cast<LPWSTR>(malloc((text.size() + 1) * sizeof(WCHAR)));
  if (!copy) return nullptr;
  if (!text.empty()) memcpy(copy, text.data(), text.size() * sizeof(WCHAR));
  copy[text.size()] = 0;
  return copy;
}

}  // namespace

BOOL ContainsSmiley(LPCWSTR text) {
  if (!text || !g_SmileyTable) return FALSE;
  TextView view(text);
  if (view.size() < 2) return FALSE;
  TextContents contents;
  contents.Add(view, 0);
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    LPCWSTR code = g_SmileyTable[i].code;
    if (code && *code && contents.MayHold(code) && view.find(code) != TextView::npos) return TRUE;
  }
  return FALSE;
}

void ApplySmileys(WCHAR* buffer) {
  if (!g_SmileyTable) return;
  Text text(buffer);
  TextContents contents;
  contents.Add(text, 0);
  Text out;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    LPCWSTR code = g_SmileyTable[i].code;
    if (!code || !*code || !contents.MayHold(code)) continue;
    TextView what(code);
    size_t pos = text.find(what);
    if (pos == Text::npos) continue;

    WCHAR image[255];
    int length = wsprintfW(image, TEXT("%cimg src=\"%d\"%c"), SMS_TAG_OPEN, static_cast<int>(i),
                           SMS_TAG_CLOSE);
    TextView reference(image, static_cast<size_t>(length));
    // Later codes are looked for in the references and across their edges too. The code's own
    // characters may be gone now; keeping them listed only costs a search.
    contents.Add(reference, reference[0]);
    contents.AddPair(reference.back(), reference.front());  // two references side by side
    out.clear();
    size_t from = 0;
    while (pos != Text::npos) {
      out.append(text, from, pos - from);
      out.append(reference);
      if (pos > 0) contents.AddPair(text[pos - 1], reference.front());
      from = pos + what.size();
      if (from < text.size()) contents.AddPair(reference.back(), text[from]);
      pos = text.find(what, from);
    }
    out.append(text, from, Text::npos);
    text.swap(out);
  }
  CopyToWorkBuffer(buffer, text);
}

void ConvertLineBreaks(WCHAR* buffer) {
  static const WCHAR kBreak[] = {SMS_TAG_OPEN, u'b', u'r', SMS_TAG_CLOSE, 0};
  Text text(buffer);
  ReplaceAll(text, u"\r\n", kBreak);
  CopyToWorkBuffer(buffer, text);
}

LPWSTR BuildHtmlFromText(LPCWSTR text, UINT slot) {
  Text body;
  Escape(text ? TextView(text) : TextView(), body);

  if (slot >= TEMPLATE_SLOT_COUNT) slot = TEMPLATE_SLOT_BUBBLE;
  // A slot is always loaded after the module's lazy initialisation; before it (a tool, a test)
  // the built-in text stands in.
  bool builtIn = g_TemplateBuiltIn[slot] || !g_Templates[slot];
  Text page = g_Templates[slot] ? g_Templates[slot] : BuiltInTemplate(slot);

  if (body.find_first_of(u"+0123456789") != Text::npos)
    LinkTokens<PhoneDelimiter, PhoneNumber>(body);
  LinkTokens<Blank, WebOrMailLink>(body);

  ReplaceAll(page, u"%alignment%", u"left");
  ReplaceAll(page, u"%textalignment%", u"left");
  ReplaceAll(page, u"%DefFontName%", u"default");
  // The message goes in last, so markers that the sender typed stay as typed.
  if (builtIn)
    ExpandBuiltIn(page, body);
  else
    ReplaceAll(page, u"%SMSBody%", body);

  LPWSTR html = HeapCopy(page);
  WriteLog(TEXT("formating text ok!\r\n"));
  return html;
}

BOOL CreateHTMLFromSMSBody(LPCWSTR body, LPWSTR* html, UINT reportKind, UINT slot) {
  WriteLog(TEXT("CreateHTMLFromSMSBody!\r\n"));
  BOOL pictures = slot == TEMPLATE_SLOT_BUBBLEPIC;
  if (!body) body = TEXT("");

  WCHAR buffer[SMS_WORK_BUFFER_CCH];
  if (g_Settings.NewNotifyPicSmiley && reportKind != SMS_REPORT_NONE) {
    static const WCHAR kDelivered[] = {SMS_TAG_OPEN, u'i', u'm', u'g', 0};
    Text text(kDelivered);
    text.append(reportKind == SMS_REPORT_DELIVERED
                    ? u" style=\"float: left\" src=\"delivered.gif\""
                    : u" style=\"float: left\" src=\"ndelivered.gif\"");
    text.push_back(SMS_TAG_CLOSE);
    text.append(body);
    CopyToWorkBuffer(buffer, text);
    pictures = TRUE;
  } else {
    CopyToWorkBuffer(buffer, body);
  }

  if (g_Settings.NewNotifyPicSmiley && ContainsSmiley(buffer)) {
    ApplySmileys(buffer);
    WriteLog(TEXT("Applying Smilies!\r\n"));
    pictures = TRUE;
  }

  ConvertLineBreaks(buffer);
  if (html) *html = BuildHtmlFromText(buffer, slot);
  return pictures;
}
