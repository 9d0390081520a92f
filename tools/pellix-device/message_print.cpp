#include "message_print.h"

#include <mapidefs.h>

#include <algorithm>
#include <cstdio>

#include "kernel/device.h"
#include "store/mapi_objects.h"
#include "store/sms_delivery.h"
#include "store/tag_names.h"

namespace pellix::tool {
namespace {

using namespace device::store;

std::string ValueText(const Property& p) {
  switch (p.type()) {
    case PT_UNICODE: return OneLine(std::get<std::u16string>(p.value));
    case PT_BOOLEAN: return std::get<int64_t>(p.value) ? "1" : "0";
    case PT_R4: case PT_DOUBLE: case PT_APPTIME: return std::to_string(std::get<double>(p.value));
    case PT_STRING8: {
      const auto& b = std::get<std::vector<uint8_t>>(p.value);
      return std::string(b.begin(), b.end());
    }
    case PT_BINARY: case PT_CLSID: return Hex(std::get<std::vector<uint8_t>>(p.value));
    case PT_SYSTIME: {
      const int64_t t = std::get<int64_t>(p.value);
      return std::to_string(t) + " (" + FormatIsoTime(static_cast<uint64_t>(t)) + ")";
    }
    default: return std::to_string(std::get<int64_t>(p.value));
  }
}

}  // namespace

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::optional<std::vector<uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2) return std::nullopt;
  std::vector<uint8_t> out;
  for (size_t i = 0; i < text.size(); i += 2) {
    int v = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const char c = text[j];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return std::nullopt;
      v = v * 16 + d;
    }
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

std::string OneLine(const std::u16string& text) {
  std::string out;
  for (char c : device::Utf16ToUtf8(text)) {
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";  // store list separates its columns with tabs
    else out += c;
  }
  return out;
}

bool PrintMessage(MessageStore& store, int64_t key) {
  auto props = MessageProperties(store, key);
  if (!props) return false;
  std::sort(props->begin(), props->end(), [](const Property& x, const Property& y) { return x.tag < y.tag; });
  for (const Property& p : *props) {
    const char* name = TagName(p.tag);
    std::printf("0x%08X%s%s = %s\n", p.tag, name ? " " : "", name ? name : "", ValueText(p).c_str());
  }
  auto recipients = store.Recipients(key);
  if (recipients) {
    for (const Recipient& r : *recipients) {
      const char* type = r.type == MAPI_CC ? "cc" : r.type == MAPI_BCC ? "bcc" : "to";
      std::printf("recipient %s %s\n", type, OneLine(r.address).c_str());
    }
  }
  return true;
}

}  // namespace pellix::tool
