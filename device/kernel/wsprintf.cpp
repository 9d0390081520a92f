// coredll: wsprintfW / wvsprintfW with the platform's conversions. No floating point, no '*'
// width, no '+' or space flags; output stops at 1023 characters plus the terminator.
#include <cstdint>
#include <cstring>

#include "crtwide.h"

namespace {

constexpr int kMaxOutput = 1023;

class Output {
 public:
  explicit Output(WCHAR* buffer) : buffer_(buffer) {}
  void Put(WCHAR c) {
    if (length_ < kMaxOutput) buffer_[length_++] = c;
  }
  void Pad(WCHAR c, int count) {
    for (int i = 0; i < count; ++i) Put(c);
  }
  int Finish() {
    buffer_[length_] = 0;
    return length_;
  }

 private:
  WCHAR* buffer_;
  int length_ = 0;
};

struct Conversion {
  bool left = false;
  bool alternate = false;
  bool zero = false;
  int width = 0;
  int precision = -1;
  enum class Size { kDefault, kShort, kLong, kWide, kInt64 } size = Size::kDefault;
};

template <typename Char>
int BoundedLength(const Char* s, int precision) {
  int n = 0;
  while ((precision < 0 || n < precision) && s[n]) ++n;
  return n;
}

template <typename Char>
void PutString(Output& out, const Conversion& conv, const Char* s) {
  static const char kNull[] = "(null)";
  if (!s) {
    PutString(out, conv, kNull);
    return;
  }
  int n = BoundedLength(s, conv.precision);
  if (!conv.left) out.Pad(conv.zero ? u'0' : u' ', conv.width - n);
  for (int i = 0; i < n; ++i) {
    if constexpr (sizeof(Char) == 1) {
      out.Put(static_cast<WCHAR>(static_cast<unsigned char>(s[i])));
    } else {
      out.Put(s[i]);
    }
  }
  if (conv.left) out.Pad(u' ', conv.width - n);
}

void PutNumber(Output& out, const Conversion& conv, uint64_t magnitude, bool negative, unsigned base,
               bool upper, const char* prefix) {
  char digits[32];
  int n = 0;
  const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    digits[n++] = alphabet[magnitude % base];
    magnitude /= base;
  } while (magnitude);
  int zeros = conv.precision > n ? conv.precision - n : 0;
  int prefix_len = static_cast<int>(std::strlen(prefix)) + (negative ? 1 : 0);
  int total = prefix_len + zeros + n;
  bool zero_pad = conv.zero && !conv.left;
  if (!conv.left && !zero_pad) out.Pad(u' ', conv.width - total);
  if (negative) out.Put(u'-');
  for (const char* p = prefix; *p; ++p) out.Put(static_cast<WCHAR>(*p));
  if (zero_pad) out.Pad(u'0', conv.width - total);
  out.Pad(u'0', zeros);
  while (n) out.Put(static_cast<WCHAR>(digits[--n]));
  if (conv.left) out.Pad(u' ', conv.width - total);
}

}  // namespace

int wvsprintfW(WCHAR* buffer, const WCHAR* format, va_list args) {
  Output out(buffer);
  va_list ap;
  va_copy(ap, args);
  for (const WCHAR* p = format; *p;) {
    if (*p != u'%') {
      out.Put(*p++);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out.Put(*p++);
      continue;
    }
    Conversion conv;
    if (*p == u'-') conv.left = true, ++p;
    if (*p == u'#') conv.alternate = true, ++p;
    if (*p == u'0') conv.zero = true, ++p;
    while (*p >= u'0' && *p <= u'9') conv.width = conv.width * 10 + (*p++ - u'0');
    if (*p == u'.') {
      ++p;
      conv.precision = 0;
      while (*p >= u'0' && *p <= u'9') conv.precision = conv.precision * 10 + (*p++ - u'0');
    }
    if (*p == u'l') {
      conv.size = Conversion::Size::kLong, ++p;
    } else if (*p == u'h') {
      conv.size = Conversion::Size::kShort, ++p;
    } else if (*p == u'w') {
      conv.size = Conversion::Size::kWide, ++p;
    } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
      conv.size = Conversion::Size::kInt64, p += 3;
    }
    if (!*p) break;
    WCHAR type = *p++;
    switch (type) {
      case u'c':
        if (conv.size == Conversion::Size::kShort) {
          char c = static_cast<char>(va_arg(ap, int));
          char s[2] = {c, 0};
          PutString(out, conv, s);
        } else {
          WCHAR s[2] = {static_cast<WCHAR>(va_arg(ap, int)), 0};
          PutString(out, conv, s);
        }
        break;
      case u'C': {
        if (conv.size == Conversion::Size::kWide || conv.size == Conversion::Size::kLong) {
          WCHAR s[2] = {static_cast<WCHAR>(va_arg(ap, int)), 0};
          PutString(out, conv, s);
        } else {
          char s[2] = {static_cast<char>(va_arg(ap, int)), 0};
          PutString(out, conv, s);
        }
        break;
      }
      case u's':
        if (conv.size == Conversion::Size::kShort) {
          PutString(out, conv, va_arg(ap, const char*));
        } else {
          PutString(out, conv, va_arg(ap, const WCHAR*));
        }
        break;
      case u'S':
        if (conv.size == Conversion::Size::kWide || conv.size == Conversion::Size::kLong) {
          PutString(out, conv, va_arg(ap, const WCHAR*));
        } else {
          PutString(out, conv, va_arg(ap, const char*));
        }
        break;
      case u'd':
      case u'i': {
        int64_t v = conv.size == Conversion::Size::kInt64 ? va_arg(ap, int64_t) : va_arg(ap, int32_t);
        if (conv.size == Conversion::Size::kShort) v = static_cast<int16_t>(v);
        uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        PutNumber(out, conv, magnitude, v < 0, 10, false, "");
        break;
      }
      case u'u':
      case u'x':
      case u'X': {
        uint64_t v = conv.size == Conversion::Size::kInt64 ? va_arg(ap, uint64_t) : va_arg(ap, uint32_t);
        if (conv.size == Conversion::Size::kShort) v = static_cast<uint16_t>(v);
        if (type == u'u') {
          PutNumber(out, conv, v, false, 10, false, "");
        } else {
          const char* prefix = (conv.alternate && v) ? (type == u'x' ? "0x" : "0X") : "";
          PutNumber(out, conv, v, false, 16, type == u'X', prefix);
        }
        break;
      }
      case u'p': {
        Conversion pointer = conv;
        pointer.zero = true;
        pointer.width = static_cast<int>(sizeof(void*) * 2);
        PutNumber(out, pointer, reinterpret_cast<uintptr_t>(va_arg(ap, void*)), false, 16, true, "");
        break;
      }
      default:
        // An unknown type prints its letter and takes no argument.
        out.Put(type);
        break;
    }
  }
  va_end(ap);
  return out.Finish();
}

int wsprintfW(WCHAR* buffer, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(buffer, format, args);
  va_end(args);
  return n;
}

HRESULT StringCchPrintfW(WCHAR* dst, size_t cchDest, const WCHAR* format, ...) {
  if (cchDest == 0 || !dst) return STRSAFE_E_INVALID_PARAMETER;
  WCHAR full[kMaxOutput + 1];
  va_list args;
  va_start(args, format);
  wvsprintfW(full, format, args);
  va_end(args);
  return StringCchCopyW(dst, cchDest, full);
}
