#include "console/request.h"

#include <cstdio>

namespace pellix::device::console {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view s, bool plus_is_space) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '%') {
      if (i + 2 >= s.size()) return std::nullopt;
      const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      c = static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (c == '+' && plus_is_space) {
      c = ' ';
    }
    if (c == '\0') return std::nullopt;
    out.push_back(c);
  }
  return out;
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  if (n == 2 && b < 0xC2) return 0;  // overlong
  return n;
}

}  // namespace

std::optional<std::string> ApiRequest::Param(const std::string& name) const {
  auto it = query.find(name);
  if (it == query.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> ApiRequest::Params(const std::string& name) const {
  std::vector<std::string> out;
  auto [from, to] = query.equal_range(name);
  for (auto it = from; it != to; ++it) out.push_back(it->second);
  return out;
}

ApiReply ApiReply::Error(int status, std::string_view message) {
  return ApiReply{status, "application/json", "{\"error\":" + JsonString(message) + "}"};
}

std::optional<Target> ParseTarget(std::string_view target) {
  if (target.empty() || target[0] != '/') return std::nullopt;
  const size_t q = target.find('?');
  Target out;
  auto path = Decode(target.substr(0, q), false);
  if (!path) return std::nullopt;
  out.path = std::move(*path);
  if (q == std::string_view::npos) return out;
  std::string_view rest = target.substr(q + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    auto name = Decode(pair.substr(0, eq), true);
    auto value = Decode(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1), true);
    if (!name || !value) return std::nullopt;
    out.query.emplace(std::move(*name), std::move(*value));
  }
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t n = Utf8Length(text, i);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (n == 1) {
      if (c == '"' || c == '\\') {
        out.push_back('\\');
        out.push_back(static_cast<char>(c));
      } else if (c < 0x20 || c == 0x7F) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        out += buf;
      } else {
        out.push_back(static_cast<char>(c));
      }
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  out.push_back('"');
  return out;
}

}  // namespace pellix::device::console
