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
#include "render/smiley_table.h"
#include "render/templates.h"

// The conversion runs for every message the device receives and every read form, so it is built
// as a few straight passes over at most a few thousand characters, with memory kept between calls
// of a thread: the smiley codes indexed by their first character, the filled template split where
// the message goes, and scratch buffers. Each pass does exactly what the step it stands for does
// on the whole text; where a shortcut could differ (a smiley code that could match inside an
// inserted picture reference), the plain step runs instead.

namespace {

using Text = std::u16string;
using TextView = std::u16string_view;

constexpr size_t kWorkChars = SMS_WORK_BUFFER_CCH - 1;  // what the work buffer holds

// Heap memory of one thread that grows to the largest text seen and is reused.
class Scratch {
 public:
  // Room for `n` characters, or null when memory ran out. Earlier contents are lost.
  WCHAR* Reserve(size_t n) {
    if (n > capacity_) {
      data_.reset();
      capacity_ = 0;
      data_.reset(new (std::nothrow) WCHAR[n]);
      if (!data_) return nullptr;
      capacity_ = n;
    }
    return data_.get();
  }

 private:
  std::unique_ptr<WCHAR[]> data_;
  size_t capacity_ = 0;
};

// A text under construction in a Scratch: the caller reserves enough first.
struct Writer {
  WCHAR* out;
  size_t length = 0;
  void Put(const WCHAR* from, size_t n) {
    if (n) memcpy(out + length, from, n * sizeof(WCHAR));
    length += n;
  }
  void Put(TextView s) { Put(s.data(), s.size()); }
};

// The length of a terminated text, up to `limit`. Four characters a step, none read past the
// terminator.
size_t BoundedLength(const WCHAR* text, size_t limit) {
  size_t n = 0;
  while (n + 4 <= limit && text[n] && text[n + 1] && text[n + 2] && text[n + 3]) n += 4;
  while (n < limit && text[n]) ++n;
  return n;
}

// Eight UTF-16 units at a time, for the passes that mostly look for characters that are rare
// in a message. Vector extensions of the compiler, so any target gets its own instructions.
using Lanes = uint16_t __attribute__((vector_size(16)));
using LaneMask = int16_t __attribute__((vector_size(16)));
constexpr size_t kLanes = 8;

inline Lanes LoadLanes(const WCHAR* p) {
  Lanes v;
  memcpy(&v, p, sizeof v);
  return v;
}
inline bool AnyLane(LaneMask m) {
  uint64_t w[2];
  memcpy(w, &m, sizeof w);
  return (w[0] | w[1]) != 0;
}
inline bool AllLanes(LaneMask m) {
  uint64_t w[2];
  memcpy(w, &m, sizeof w);
  return (w[0] & w[1]) == ~uint64_t{0};
}
// All eight lanes holding `c`.
inline Lanes Splat(WCHAR c) {
  const uint16_t u = static_cast<uint16_t>(c);
  return Lanes{u, u, u, u, u, u, u, u};
}
inline LaneMask InRange(Lanes v, WCHAR low, WCHAR high) {
  return (v - Splat(low)) <= Splat(static_cast<WCHAR>(high - low));
}

// ---- Smileys ---------------------------------------------------------------------------------

// The table's codes, indexed by the low byte of their first character. Rebuilt when the table's
// generation moves.
struct SmileyIndex {
  LONG generation = -1;
  const SMILEYENTRY* table = nullptr;
  LONG count = 0;
  struct Code {
    const WCHAR* text;
    uint32_t length;
    uint32_t entry;
  };
  std::vector<Code> codes;            // grouped by bucket, each group in table order
  uint32_t bucketStart[257] = {};     // codes[bucketStart[b] .. bucketStart[b + 1]) start with b
  uint64_t firstMask[4] = {};         // the low bytes that some code starts with
  // Pairs of low bytes that some code starts with (a code of one character: with any second).
  std::vector<uint64_t> pairMask = std::vector<uint64_t>(65536 / 64);
  bool noCodeStartsLowerOrBlank = true;
  // Entries whose code could also occur inside or across a picture reference that an earlier
  // entry left behind; when one of those comes after an applied entry, the plain step runs.
  std::vector<uint32_t> referenceSensitive;
  std::vector<uint32_t> lengthOf;     // each entry's code length, by entry

  void Refresh() {
    if (generation == g_SmileyTableGeneration && table == g_SmileyTable && count == g_SmileyCount) return;
    generation = g_SmileyTableGeneration;
    table = g_SmileyTable;
    count = g_SmileyCount;
    codes.clear();
    referenceSensitive.clear();
    lengthOf.assign(static_cast<size_t>(std::max<LONG>(count, 0)), 0);
    std::fill(std::begin(bucketStart), std::end(bucketStart), 0u);
    std::fill(std::begin(firstMask), std::end(firstMask), 0u);
    std::fill(pairMask.begin(), pairMask.end(), 0u);
    noCodeStartsLowerOrBlank = true;
    if (!table) return;
    std::vector<Code> all;
    for (LONG i = 0; i < count; ++i) {
      const WCHAR* code = table[i].code;
      if (!code || !*code) continue;
      size_t length = wcslen(code);
      all.push_back({code, static_cast<uint32_t>(length), static_cast<uint32_t>(i)});
      lengthOf[static_cast<size_t>(i)] = static_cast<uint32_t>(length);
      if (CouldTouchReference(code, length)) referenceSensitive.push_back(static_cast<uint32_t>(i));
    }
    for (const Code& c : all) {
      ++bucketStart[(c.text[0] & 0xFF) + 1];
      firstMask[(c.text[0] & 0xFF) >> 6] |= uint64_t{1} << (c.text[0] & 63);
      for (unsigned second = 0; second < 256; ++second) {
        if (c.length > 1 && second != (c.text[1] & 0xFFu)) continue;
        unsigned pair = (c.text[0] & 0xFFu) << 8 | second;
        pairMask[pair >> 6] |= uint64_t{1} << (pair & 63);
      }
      if ((c.text[0] >= u'a' && c.text[0] <= u'z') || c.text[0] == u' ') noCodeStartsLowerOrBlank = false;
    }
    for (int b = 0; b < 256; ++b) bucketStart[b + 1] += bucketStart[b];
    codes.resize(all.size());
    uint32_t next[256];
    std::copy(bucketStart, bucketStart + 256, next);
    for (const Code& c : all) codes[next[c.text[0] & 0xFF]++] = c;  // table order kept
  }

  bool MayStart(WCHAR c) const { return (firstMask[(c & 0xFF) >> 6] >> (c & 63)) & 1; }
  // Whether a code may start at text[p] of a text of n characters.
  bool MayStartAt(const WCHAR* text, size_t n, size_t p) const {
    if (p + 1 == n) return MayStart(text[p]);
    unsigned pair = (text[p] & 0xFFu) << 8 | (text[p + 1] & 0xFFu);
    return (pairMask[pair >> 6] >> (pair & 63)) & 1;
  }

  // A reference is U+FFFE, img src=", digits, ", U+FFFF. A code can take part of one only if it
  // holds a marker, or if it lies wholly inside one, that is if it is made of the characters
  // between the markers alone.
  static bool CouldTouchReference(const WCHAR* code, size_t length) {
    bool inside = true;
    for (size_t i = 0; i < length; ++i) {
      WCHAR c = code[i];
      if (c == SMS_TAG_OPEN || c == SMS_TAG_CLOSE) return true;
      if (!(c >= u'0' && c <= u'9') && TextView(u"img src=\"").find(c) == TextView::npos) inside = false;
    }
    return inside;
  }
};

SmileyIndex& Smileys() {
  thread_local SmileyIndex index;
  index.Refresh();
  return index;
}

// Whether one of the codes of `index` starts at text[p] (n characters in all): adds each as
// entry << 32 | position.
inline void CodesAt(const SmileyIndex& index, const WCHAR* text, size_t n, size_t p, std::vector<uint64_t>& found) {
  unsigned b = text[p] & 0xFF;
  for (uint32_t k = index.bucketStart[b]; k < index.bucketStart[b + 1]; ++k) {
    const SmileyIndex::Code& c = index.codes[k];
    if (c.text[0] != text[p] || c.length > n - p) continue;
    uint32_t i = 1;
    while (i < c.length && c.text[i] == text[p + i]) ++i;
    if (i == c.length) found.push_back(uint64_t{c.entry} << 32 | p);
  }
}

// Every place where a code occurs in the text, as entry << 32 | position.
void FindCodes(const SmileyIndex& index, const WCHAR* text, size_t n, std::vector<uint64_t>& found) {
  found.clear();
  if (index.codes.empty()) return;
  size_t p = 0;
  if (index.noCodeStartsLowerOrBlank) {
    // Most of a message is small letters and blanks: eight of them at a time start no code.
    for (; p + kLanes <= n; p += kLanes) {
      Lanes v = LoadLanes(text + p);
      if (AllLanes(InRange(v, u'a', u'z') | (v == Splat(u' ')))) continue;
      for (size_t q = p; q < p + kLanes; ++q)
        if (index.MayStartAt(text, n, q)) CodesAt(index, text, n, q, found);
    }
  }
  for (; p < n; ++p)
    if (index.MayStartAt(text, n, p)) CodesAt(index, text, n, p, found);
}

// FindCodes over a terminated text of at most `limit` characters, which it measures on the way.
size_t MeasureAndFindCodes(const SmileyIndex& index, const WCHAR* text, size_t limit, std::vector<uint64_t>& found) {
  size_t n = BoundedLength(text, limit);
  if (n < 2) {
    found.clear();
    return n;
  }
  FindCodes(index, text, n, found);
  return n;
}

// The picture reference of table entry `entry`: U+FFFE, img src="INDEX", U+FFFF. Returns its
// length; `image` has room for 255 characters.
int FormatReference(WCHAR* image, LONG entry) {
  static const WCHAR kHead[] = u"\uFFFEimg src=\"";
  constexpr int kHeadLength = 10;
  memcpy(image, kHead, kHeadLength * sizeof(WCHAR));
  WCHAR digits[12];
  int count = 0;
  unsigned long value = static_cast<unsigned long>(entry);  // entries are never negative
  do {
    digits[count++] = static_cast<WCHAR>(u'0' + value % 10);
    value /= 10;
  } while (value);
  int length = kHeadLength;
  while (count) image[length++] = digits[--count];
  image[length++] = u'"';
  image[length++] = SMS_TAG_CLOSE;
  image[length] = 0;
  return length;
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

// The smiley step as written: each entry in table order over the text that the earlier entries
// left. Used when a code could match inside their references.
size_t ApplySmileysStepByStep(const WCHAR* text, size_t n, WCHAR* out) {
  Text current(text, n);
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    LPCWSTR code = g_SmileyTable[i].code;
    if (!code || !*code || current.find(code) == Text::npos) continue;
    WCHAR image[255];
    int length = FormatReference(image, i);
    ReplaceAll(current, code, TextView(image, static_cast<size_t>(length)));
  }
  size_t kept = std::min(current.size(), kWorkChars);
  memcpy(out, current.data(), kept * sizeof(WCHAR));
  return kept;
}

struct SmileyState {
  std::vector<uint64_t> found;
  std::vector<uint8_t> taken;  // per position of the text: replaced by an earlier entry
  struct Region {
    uint32_t position, length, entry;
  };
  std::vector<Region> regions;
};

// Replaces the smileys of `text` (n <= kWorkChars) into `out` (room for kWorkChars), cut to the
// work buffer. `found` holds the occurrences FindCodes gave. Returns the new length.
size_t ApplySmileysFast(const SmileyIndex& index, const WCHAR* text, size_t n, SmileyState& state,
                        WCHAR* out) {
  // An entry sees the text that earlier entries left. A code that cannot touch a reference
  // occurs there exactly where it occurred in the original text over characters that no
  // earlier entry took, and is replaced left to right without overlapping itself.
  std::sort(state.found.begin(), state.found.end());
  state.taken.assign(n, 0);
  state.regions.clear();
  int64_t firstApplied = -1;
  uint32_t entry = UINT32_MAX;
  size_t end = 0;  // where the entry's last replacement ended
  for (uint64_t f : state.found) {
    uint32_t e = static_cast<uint32_t>(f >> 32);
    uint32_t p = static_cast<uint32_t>(f);
    if (e != entry) {
      entry = e;
      end = 0;
    }
    if (p < end) continue;
    uint32_t length = index.lengthOf[e];
    bool free = true;
    for (uint32_t k = 0; k < length && free; ++k) free = !state.taken[p + k];
    if (!free) continue;
    memset(&state.taken[p], 1, length);
    state.regions.push_back({p, length, e});
    end = p + length;
    if (firstApplied < 0) firstApplied = e;
  }
  for (uint32_t sensitive : index.referenceSensitive)
    if (firstApplied >= 0 && sensitive > firstApplied) return ApplySmileysStepByStep(text, n, out);

  std::sort(state.regions.begin(), state.regions.end(),
            [](const SmileyState::Region& a, const SmileyState::Region& b) { return a.position < b.position; });
  size_t length = 0;
  size_t from = 0;
  auto put = [&](const WCHAR* s, size_t count) {
    count = std::min(count, kWorkChars - length);
    memcpy(out + length, s, count * sizeof(WCHAR));
    length += count;
  };
  for (const SmileyState::Region& r : state.regions) {
    put(text + from, r.position - from);
    WCHAR image[255];
    put(image, static_cast<size_t>(FormatReference(image, static_cast<LONG>(r.entry))));
    from = r.position + r.length;
  }
  put(text + from, n - from);
  return length;
}

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

// ---- Templates -----------------------------------------------------------------------------

// A template with its markers filled, cut where the message goes: the page is
// pieces[0] + message + pieces[1] + ... + message + pieces.back().
struct PreparedTemplate {
  bool valid = false;
  bool builtIn = false;
  Text raw;
  std::vector<Text> pieces;
  size_t fixedLength = 0;

  // Whether this is the template of `text`: `length` characters, or up to its terminator when
  // `length` is npos. One pass that stops at the first difference.
  bool Matches(const WCHAR* text, size_t length, bool isBuiltIn) const {
    if (!valid || builtIn != isBuiltIn) return false;
    const size_t n = raw.size();
    if (length != Text::npos && length != n) return false;
    const WCHAR* r = raw.data();
    size_t i = 0;
    while (i < n && text[i] == r[i]) ++i;
    if (i != n) return false;
    return length == Text::npos ? text[n] == 0 : length == n;
  }

  void Prepare(const WCHAR* text, size_t length, bool isBuiltIn) {
    valid = true;
    builtIn = isBuiltIn;
    raw.assign(text, length);
    Text page = raw;
    ReplaceAll(page, u"%alignment%", u"left");
    ReplaceAll(page, u"%textalignment%", u"left");
    ReplaceAll(page, u"%DefFontName%", u"default");
    pieces.assign(1, Text());
    if (isBuiltIn) {
      // Built-in templates are resource strings written for the platform's printf-style
      // formatting: the middle of their three "%s" is the message, the others are empty, and
      // "%%" is a percent sign. They are expanded by hand, because wsprintfW would cut any page
      // at 1023 characters.
      int argument = 0;
      for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] == u'%' && i + 1 < page.size()) {
          if (page[i + 1] == u'%') {
            pieces.back().push_back(u'%');
            ++i;
            continue;
          }
          if (page[i + 1] == u's') {
            if (argument == 1) pieces.emplace_back();
            ++argument;
            ++i;
            continue;
          }
        }
        pieces.back().push_back(page[i]);
      }
    } else {
      // The message goes in last, so markers that the sender typed stay as typed.
      const TextView marker = u"%SMSBody%";
      size_t from = 0;
      for (size_t pos = page.find(marker); pos != Text::npos; pos = page.find(marker, from)) {
        pieces.back().append(page, from, pos - from);
        pieces.emplace_back();
        from = pos + marker.size();
      }
      pieces.back().append(page, from, Text::npos);
    }
    fixedLength = 0;
    for (const Text& p : pieces) fixedLength += p.size();
  }
};

// The prepared template of `slot`, from the slot's text or, before the templates are loaded,
// the module's built-in string. Null when there is no template at all.
const PreparedTemplate* TemplateFor(UINT slot) {
  thread_local PreparedTemplate prepared[TEMPLATE_SLOT_COUNT];
  if (slot >= TEMPLATE_SLOT_COUNT) slot = TEMPLATE_SLOT_BUBBLE;
  const WCHAR* text = g_Templates[slot];
  size_t length = 0;
  bool builtIn = true;
  if (text) {
    length = Text::npos;  // measured only when the template is new
    builtIn = g_TemplateBuiltIn[slot];
  } else {
    int resource = BuiltInTemplate(slot, &text);
    if (resource <= 0) return nullptr;
    length = static_cast<size_t>(resource);
  }
  PreparedTemplate& p = prepared[slot];
  if (!p.Matches(text, length, builtIn))
    p.Prepare(text, length == Text::npos ? wcslen(text) : length, builtIn);
  return &p;
}

LPWSTR FillTemplate(UINT slot, TextView body) {
  const PreparedTemplate* t = TemplateFor(slot);
  // Without any template (a host that never attached the module's resources) the message alone
  // is the page, so it is still shown.
  size_t total = t ? t->fixedLength + body.size() * (t->pieces.size() - 1) : body.size();
  auto* page = static_cast<LPWSTR>(malloc((total + 1) * sizeof(WCHAR)));
  if (!page) return nullptr;
  Writer w{page};
  if (!t) {
    w.Put(body);
  } else {
    for (size_t i = 0; i < t->pieces.size(); ++i) {
      if (i) w.Put(body);
      w.Put(t->pieces[i]);
    }
  }
  page[w.length] = 0;
  return page;
}

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
  SmileyState smileyState;
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
  size_t length = ApplySmileysFast(index, buffer, n, b.smileyState, out);
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
      n = ApplySmileysFast(*index, text, n, b.smileyState, out);
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
