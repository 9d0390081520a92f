#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "render/sms_to_html.h"

#include "core/debug_log.h"
#include "core/settings.h"
#include "render/page_template.h"
#include "render/smiley_matcher.h"
#include "render/smiley_table.h"
#include "render/templates.h"
#include "render/text_passes.h"

// The conversion runs for every message the device receives and every read form, so it is built
// as a few straight passes over at most a few thousand characters, with memory kept between calls
// of a thread: the smiley codes indexed by their first character, the filled template split where
// the message goes, and scratch buffers. Each pass does exactly what the step it stands for does
// on the whole text; where a shortcut could differ (a smiley code that could match inside an
// inserted picture reference), the plain step runs instead.

using namespace render;

namespace {

// ---- Escaping ------------------------------------------------------------------------------

// What the later passes need to know of the escaped text.
struct Escaped {
  size_t length = 0;
  bool phoneCharacters = false;  // one of "+0123456789": the number pass has work
  bool mailOrWeb = false;        // an at sign or a colon: the link pass may have work
};

// What escaping does with each ASCII character: most are copied as they are.
enum : uint8_t { kCopy = 0, kPhoneCharacter = 1, kMailOrWeb = 2, kAmpersand, kLess, kGreater, kReturn };
struct EscapeClasses {
  uint8_t of[0x80] = {};
  constexpr EscapeClasses() {
    for (char c = '0'; c <= '9'; ++c) of[static_cast<int>(c)] = kPhoneCharacter;
    of[static_cast<int>('+')] = kPhoneCharacter;
    of[static_cast<int>('@')] = kMailOrWeb;
    of[static_cast<int>(':')] = kMailOrWeb;
    of[static_cast<int>('&')] = kAmpersand;
    of[static_cast<int>('<')] = kLess;
    of[static_cast<int>('>')] = kGreater;
    of[static_cast<int>('\r')] = kReturn;
  }
};
constexpr EscapeClasses kEscapeClasses;

// Escapes `text` into `out` (room for 5 characters a character). With `lineBreaks`, a CR LF
// pair first becomes the marked "br" tag and the text is cut where the work buffer would have
// cut it, before escaping: so a cut may leave the tag unfinished.
template <bool lineBreaks>
Escaped Escape(const WCHAR* text, size_t n, WCHAR* out) {
  Escaped e;
  WCHAR* o = out;
  ptrdiff_t grown = 0;  // characters that line breaks added to the work buffer's text so far
  const ptrdiff_t limit = static_cast<ptrdiff_t>(kWorkChars);
  unsigned seen = 0;
  size_t i = 0;
  while (i < n) {
    if (lineBreaks && static_cast<ptrdiff_t>(i) + grown >= limit) break;
    // Eight characters at once while none of them needs more than a copy.
    size_t end = std::min(i + kLanes, n);
    if (end == i + kLanes && (!lineBreaks || static_cast<ptrdiff_t>(end) + grown <= limit)) {
      Lanes v = LoadLanes(text + i);
      LaneMask attention = (v == Splat(u'&')) | (v == Splat(u'<')) | (v == Splat(u'>')) |
                           (v == Splat(u'\r')) | (v >= Splat(SMS_TAG_OPEN));
      if (!AnyLane(attention)) {
        memcpy(o, text + i, sizeof v);
        o += kLanes;
        i = end;
        if (AnyLane(InRange(v, u'0', u'9') | (v == Splat(u'+')))) seen |= kPhoneCharacter;
        if (AnyLane((v == Splat(u':')) | (v == Splat(u'@')))) seen |= kMailOrWeb;
        continue;
      }
    }
    // One character at a time up to the end of those eight.
    for (; i < end; ++i) {
      if (lineBreaks && static_cast<ptrdiff_t>(i) + grown >= limit) break;
      WCHAR c = text[i];
      if (c >= 0x80) {
        *o++ = c == SMS_TAG_OPEN ? u'<' : c == SMS_TAG_CLOSE ? u'>' : c;
        continue;
      }
      uint8_t k = kEscapeClasses.of[c];
      switch (k) {
        case kCopy: *o++ = c; break;
        case kPhoneCharacter:
        case kMailOrWeb: seen |= k; *o++ = c; break;
        case kAmpersand: memcpy(o, u"&amp;", 5 * sizeof(WCHAR)); o += 5; break;
        case kLess: memcpy(o, u"&lt;", 4 * sizeof(WCHAR)); o += 4; break;
        case kGreater: memcpy(o, u"&gt;", 4 * sizeof(WCHAR)); o += 4; break;
        case kReturn:
          if (lineBreaks && i + 1 < n && text[i + 1] == u'\n') {
            ptrdiff_t keep = std::min<ptrdiff_t>(4, limit - (static_cast<ptrdiff_t>(i) + grown));
            memcpy(o, u"<br>", static_cast<size_t>(keep) * sizeof(WCHAR));
            o += keep;
            grown += keep - 2;
            ++i;
            break;
          }
          *o++ = c;
          break;
      }
    }
  }
  e.length = static_cast<size_t>(o - out);
  e.phoneCharacters = seen & kPhoneCharacter;
  e.mailOrWeb = seen & kMailOrWeb;
  return e;
}

// ---- Links ---------------------------------------------------------------------------------

struct PhoneDelimiter {
  bool operator()(WCHAR c) const {
    return c <= u'>' && (c == u' ' || c == u'>' || c == u'<' || c == u'.' || c == u'"');
  }
};
struct Blank {
  bool operator()(WCHAR c) const { return c == u' '; }
};

// A phone number is a token that the platform's base-10 wcstol reads whole, that is not
// negative (an overflow to the positive limit still counts) and 6 to 15 characters long.
struct PhoneNumber {
  bool operator()(const WCHAR* token, size_t n) const {
    if (n < 6 || n > 15) return false;
    WCHAR first = token[0];
    if ((first >= u'0' && first <= u'9') || first == u'+' || first == u'-') {
      // Sign and digits: what wcstol reads whole. Only a minus before a digit other than 0
      // makes it negative.
      bool nonZero = false;
      for (size_t i = 1; i < n; ++i) {
        WCHAR c = token[i];
        if (c < u'0' || c > u'9') return false;
        nonZero |= c != u'0';
      }
      if (first == u'+' || first == u'-') return n > 1 && !(first == u'-' && nonZero);
      return true;
    }
    // Printable ASCII that is neither sign nor digit stops wcstol at once. Anything else might be
    // white space that it skips: ask it.
    if (first > u' ' && first < 0x7F) return false;
    WCHAR copy[16];
    memcpy(copy, token, n * sizeof(WCHAR));
    copy[n] = 0;
    WCHAR* end = nullptr;
    long value = wcstol(copy, &end, 10);
    return end == copy + n && value >= 0;
  }
};

// A web address starts with "http://"; an e-mail address has an at sign after its first
// character and its first "." after that at sign.
struct WebOrMailLink {
  bool operator()(const WCHAR* token, size_t n) const {
    if (TextView(token, n).starts_with(u"http://")) return true;
    size_t at = 0;
    while (at < n && token[at] != u'@') {
      if (token[at] == u'.') return false;  // a "." before any at sign
      ++at;
    }
    if (at == n || at == 0) return false;
    for (size_t i = at + 1; i < n; ++i)
      if (token[i] == u'.') return true;
    return false;
  }
};

// Wraps each token of `in` that `isLink` accepts in <a href="token">token</a>; tokens are the
// runs between delimiters and the link goes where the token stands. Every token that `isLink`
// can accept holds a character that `mayLink` picks out, so only the tokens around those
// characters are looked at. Returns the text: `in` itself when nothing was linked, else the text
// written into `out`.
template <typename Delimiter, typename Trigger, typename Accept>
TextView LinkTokens(TextView in, Scratch& out) {
  const Delimiter isDelimiter;
  const Trigger mayLink;
  const Accept isLink;
  Writer w{nullptr};
  size_t copied = 0;
  size_t i = 0;  // tokens before i have been looked at
  const size_t n = in.size();
  const WCHAR* text = in.data();
  for (;;) {
    while (i + kLanes <= n && !AnyLane(mayLink(LoadLanes(text + i)))) i += kLanes;
    while (i < n && !mayLink(text[i])) ++i;
    if (i == n) break;
    size_t start = i;
    while (start > copied && !isDelimiter(text[start - 1])) --start;
    while (i < n && !isDelimiter(text[i])) ++i;
    if (!isLink(text + start, i - start)) continue;
    if (!w.out) {
      // A linked token of L characters becomes 2L + 15; the shortest linkable one has 3.
      w.out = out.Reserve(n * 6 + 16);
      if (!w.out) return in;
    }
    w.Put(text + copied, start - copied);
    w.Put(u"<a href=\"");
    w.Put(text + start, i - start);
    w.Put(u"\">");
    w.Put(text + start, i - start);
    w.Put(u"</a>");
    copied = i;
  }
  if (!w.out) return in;
  w.Put(text + copied, n - copied);
  return TextView(w.out, w.length);
}

struct Digit {
  bool operator()(WCHAR c) const { return static_cast<WCHAR>(c - u'0') <= 9; }
  LaneMask operator()(Lanes v) const { return InRange(v, u'0', u'9'); }
};
// "http://" holds a colon, a mail address an at sign.
struct ColonOrAt {
  bool operator()(WCHAR c) const { return c == u':' || c == u'@'; }
  LaneMask operator()(Lanes v) const { return (v == Splat(u':')) | (v == Splat(u'@')); }
};

// Escaped text to page: the number links, the web and mail links, the template.
LPWSTR LinkAndFill(TextView escaped, const Escaped& seen, UINT slot) {
  thread_local Scratch phones, links;
  TextView text = escaped;
  if (seen.phoneCharacters) text = LinkTokens<PhoneDelimiter, Digit, PhoneNumber>(text, phones);
  if (seen.mailOrWeb) text = LinkTokens<Blank, ColonOrAt, WebOrMailLink>(text, links);
  LPWSTR html = FillTemplate(slot, text);
  WriteLog(TEXT("formating text ok!\r\n"));
  return html;
}

struct Buffers {
  Scratch work, smileys, escaped;
  SmileyMatches smileyState;
};
Buffers& ThreadBuffers() {
  thread_local Buffers buffers;
  return buffers;
}

}  // namespace

BOOL ContainsSmiley(LPCWSTR text) {
  if (!text || !g_SmileyTable) return FALSE;
  size_t n = wcslen(text);
  if (n < 2) return FALSE;
  std::vector<uint64_t>& found = ThreadBuffers().smileyState.found;
  FindCodes(Smileys(), text, n, found);
  return !found.empty();
}

void ApplySmileys(WCHAR* buffer) {
  if (!g_SmileyTable) return;
  Buffers& b = ThreadBuffers();
  size_t n = BoundedLength(buffer, kWorkChars);
  const SmileyIndex& index = Smileys();
  FindCodes(index, buffer, n, b.smileyState.found);
  if (b.smileyState.found.empty()) return;  // no code at all: no reference for others to match
  WCHAR* out = b.smileys.Reserve(kWorkChars);
  if (!out) return;
  size_t length = ApplySmileyCodes(index, buffer, n, b.smileyState, out);
  memcpy(buffer, out, length * sizeof(WCHAR));
  buffer[length] = 0;
}

void ConvertLineBreaks(WCHAR* buffer) {
  static const WCHAR kBreak[] = {SMS_TAG_OPEN, u'b', u'r', SMS_TAG_CLOSE, 0};
  Text text(buffer);
  ReplaceAll(text, u"\r\n", kBreak);
  size_t kept = std::min(text.size(), kWorkChars);
  memcpy(buffer, text.data(), kept * sizeof(WCHAR));
  buffer[kept] = 0;
}

LPWSTR BuildHtmlFromText(LPCWSTR text, UINT slot) {
  if (!text) text = TEXT("");
  size_t n = wcslen(text);
  WCHAR* escaped = ThreadBuffers().escaped.Reserve(n * 5 + 1);
  if (!escaped) return nullptr;
  Escaped seen = Escape<false>(text, n, escaped);
  return LinkAndFill(TextView(escaped, seen.length), seen, slot);
}

BOOL CreateHTMLFromSMSBody(LPCWSTR body, LPWSTR* html, UINT reportKind, UINT slot) {
  WriteLog(TEXT("CreateHTMLFromSMSBody!\r\n"));
  BOOL pictures = slot == TEMPLATE_SLOT_BUBBLEPIC;
  if (!body) body = TEXT("");
  Buffers& b = ThreadBuffers();

  // The work buffer's text: the report icon and the message, cut to fit. The smiley codes are
  // looked for on the way when pictures are on.
  const bool smileys = g_Settings.NewNotifyPicSmiley && g_SmileyTable;
  const SmileyIndex* index = smileys ? &Smileys() : nullptr;
  std::vector<uint64_t>& found = b.smileyState.found;
  found.clear();
  const WCHAR* text = body;
  size_t n;
  if (g_Settings.NewNotifyPicSmiley && reportKind != SMS_REPORT_NONE) {
    static const WCHAR kDelivered[] = u"\uFFFEimg style=\"float: left\" src=\"delivered.gif\"\uFFFF";
    static const WCHAR kFailed[] = u"\uFFFEimg style=\"float: left\" src=\"ndelivered.gif\"\uFFFF";
    TextView icon = reportKind == SMS_REPORT_DELIVERED ? TextView(kDelivered) : TextView(kFailed);
    WCHAR* work = b.work.Reserve(kWorkChars);
    if (!work) {
      if (html) *html = nullptr;
      return pictures;
    }
    memcpy(work, icon.data(), icon.size() * sizeof(WCHAR));
    n = icon.size() + BoundedLength(body, kWorkChars - icon.size());
    memcpy(work + icon.size(), body, (n - icon.size()) * sizeof(WCHAR));
    text = work;
    pictures = TRUE;
    if (index) FindCodes(*index, text, n, found);
  } else if (index) {
    n = MeasureAndFindCodes(*index, body, kWorkChars, found);
  } else {
    n = BoundedLength(body, kWorkChars);
  }

  if (!found.empty() && n >= 2) {
    WCHAR* out = b.smileys.Reserve(kWorkChars);
    if (out) {
      n = ApplySmileyCodes(*index, text, n, b.smileyState, out);
      text = out;
      WriteLog(TEXT("Applying Smilies!\r\n"));
      pictures = TRUE;
    }
  }

  if (!html) return pictures;
  WCHAR* escaped = b.escaped.Reserve(kWorkChars * 5);
  if (!escaped) {
    *html = nullptr;
    return pictures;
  }
  Escaped seen = Escape<true>(text, n, escaped);
  *html = LinkAndFill(TextView(escaped, seen.length), seen, slot);
  return pictures;
}
