#include "render/smiley_matcher.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "render/smiley_table.h"

namespace render {

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
  // codes[bucketStart[b] .. bucketStart[b + 1]) are those whose first character's low byte is b.
  uint32_t bucketStart[257] = {};
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

const SmileyIndex& Smileys() {
  thread_local SmileyIndex index;
  index.Refresh();
  return index;
}

namespace {

// Whether one of the codes of `index` starts at text[p] (n characters in all): adds each as
// entry << 32 | position.
void CodesAt(const SmileyIndex& index, const WCHAR* text, size_t n, size_t p,
             std::vector<uint64_t>& found) {
  unsigned b = text[p] & 0xFF;
  for (uint32_t k = index.bucketStart[b]; k < index.bucketStart[b + 1]; ++k) {
    const SmileyIndex::Code& c = index.codes[k];
    if (c.text[0] != text[p] || c.length > n - p) continue;
    uint32_t i = 1;
    while (i < c.length && c.text[i] == text[p + i]) ++i;
    if (i == c.length) found.push_back(uint64_t{c.entry} << 32 | p);
  }
}

}  // namespace

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

size_t MeasureAndFindCodes(const SmileyIndex& index, const WCHAR* text, size_t limit,
                           std::vector<uint64_t>& found) {
  size_t n = BoundedLength(text, limit);
  if (n < 2) {
    found.clear();
    return n;
  }
  FindCodes(index, text, n, found);
  return n;
}

namespace {

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

}  // namespace

size_t ApplySmileyCodes(const SmileyIndex& index, const WCHAR* text, size_t n, SmileyMatches& state,
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
            [](const SmileyMatches::Region& a, const SmileyMatches::Region& b) {
              return a.position < b.position;
            });
  size_t length = 0;
  size_t from = 0;
  auto put = [&](const WCHAR* s, size_t count) {
    count = std::min(count, kWorkChars - length);
    memcpy(out + length, s, count * sizeof(WCHAR));
    length += count;
  };
  for (const SmileyMatches::Region& r : state.regions) {
    put(text + from, r.position - from);
    WCHAR image[255];
    put(image, static_cast<size_t>(FormatReference(image, static_cast<LONG>(r.entry))));
    from = r.position + r.length;
  }
  put(text + from, n - from);
  return length;
}

}  // namespace render
