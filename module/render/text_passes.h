// Pieces shared by the passes of the text-to-HTML conversion: per-thread scratch memory, a
// writer into it, a bounded length, whole-text replacement, and eight UTF-16 units at a time
// for the passes that mostly look for characters that are rare in a message.
//
// Threads: nothing here is shared; each thread keeps its own Scratch objects.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "render/sms_to_html.h"

namespace render {

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
inline size_t BoundedLength(const WCHAR* text, size_t limit) {
  size_t n = 0;
  while (n + 4 <= limit && text[n] && text[n + 1] && text[n + 2] && text[n + 3]) n += 4;
  while (n < limit && text[n]) ++n;
  return n;
}

// Eight UTF-16 units, with the compiler's vector extensions so that any target gets its own
// instructions.
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

// Replaces every occurrence of `what` (not empty) in `text`, scanning left to right; inserted
// text is never scanned again.
void ReplaceAll(Text& text, TextView what, TextView with);

}  // namespace render
