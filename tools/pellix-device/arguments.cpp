#include "arguments.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace pellix::tool {
namespace {

bool EndsWithDots(std::string_view s) { return s.size() > 3 && s.substr(s.size() - 3) == "..."; }

std::string WithoutDots(std::string_view s) { return std::string(EndsWithDots(s) ? s.substr(0, s.size() - 3) : s); }

// Splits at spaces outside brackets: "[--to ADDR]..." stays one token.
std::vector<std::string> Tokens(std::string_view text) {
  std::vector<std::string> out;
  std::string current;
  int depth = 0;
  for (char c : text) {
    if (c == '[') ++depth;
    if (c == ']' && depth > 0) --depth;
    if (c == ' ' && depth == 0) {
      if (!current.empty()) out.push_back(std::move(current));
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) out.push_back(std::move(current));
  return out;
}

// A placeholder names what the person fills in: its leading letters are capitals ("TEXT",
// "OUT.png", "N"); "PocketPC", "left" and "0" are values as they are typed.
bool IsPlaceholder(std::string_view word) {
  size_t letters = 0;
  while (letters < word.size() && std::isalpha(static_cast<unsigned char>(word[letters]))) ++letters;
  if (letters == 0) return false;
  return std::all_of(word.begin(), word.begin() + letters, [](char c) { return std::isupper(static_cast<unsigned char>(c)); });
}

std::vector<std::string> Choices(std::string_view placeholder) {
  if (placeholder.find('|') == std::string_view::npos) return {};
  std::vector<std::string> alternatives;
  size_t start = 0;
  for (;;) {
    const size_t bar = placeholder.find('|', start);
    alternatives.emplace_back(placeholder.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  for (const std::string& a : alternatives)
    if (IsPlaceholder(a)) return {};
  return alternatives;
}

bool IsSubcommandWord(std::string_view word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; }) &&
         word[0] != '-';
}

std::string JoinChoices(const std::vector<std::string>& choices) {
  std::string out;
  for (size_t i = 0; i < choices.size(); ++i) {
    if (i) out += i + 1 == choices.size() ? " or " : ", ";
    out += choices[i];
  }
  return out;
}

}  // namespace

UsageLine ParseUsage(std::string_view usage) {
  UsageLine line;
  line.text = std::string(usage);
  const std::vector<std::string> tokens = Tokens(usage);
  if (tokens.empty()) return line;
  line.command = tokens[0];
  size_t i = 1;
  while (i < tokens.size() && IsSubcommandWord(tokens[i])) line.words.push_back(tokens[i++]);
  for (; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    UsageItem item;
    std::vector<std::string> parts;
    if (token[0] == '[') {
      item.optional = true;
      item.repeat = EndsWithDots(token);
      const std::string inner = WithoutDots(token);
      parts = Tokens(std::string_view(inner).substr(1, inner.size() >= 2 ? inner.size() - 2 : 0));
      if (parts.empty()) continue;
    } else if (token.size() > 1 && token[0] == '-') {
      parts.push_back(token);
      // A required option takes the next word as its value when that word is a placeholder.
      if (i + 1 < tokens.size() && tokens[i + 1][0] != '[' && tokens[i + 1][0] != '-') parts.push_back(tokens[++i]);
    } else {
      parts.push_back(token);
    }
    if (parts[0].size() > 1 && parts[0][0] == '-') {
      item.is_option = true;
      item.name = parts[0];
      if (parts.size() > 1) {
        if (EndsWithDots(parts[1])) item.repeat = true;
        item.value = WithoutDots(parts[1]);
        item.choices = Choices(item.value);
      }
    } else {
      if (EndsWithDots(parts[0])) item.repeat = true;
      item.name = WithoutDots(parts[0]);
      item.choices = Choices(item.name);
    }
    line.items.push_back(std::move(item));
  }
  return line;
}

bool Arguments::Has(std::string_view option) const {
  return std::any_of(options_.begin(), options_.end(), [&](const auto& o) { return o.first == option; });
}

const std::string* Arguments::Value(std::string_view option) const {
  for (auto it = options_.rbegin(); it != options_.rend(); ++it)
    if (it->first == option) return &it->second;
  return nullptr;
}

std::vector<std::string> Arguments::Values(std::string_view option) const {
  std::vector<std::string> out;
  for (const auto& [name, value] : options_)
    if (name == option) out.push_back(value);
  return out;
}

bool StartsWithWords(const UsageLine& line, const std::vector<std::string>& args) {
  if (args.size() < line.words.size()) return false;
  return std::equal(line.words.begin(), line.words.end(), args.begin());
}

std::optional<Arguments> ReadArguments(const UsageLine& line, const std::vector<std::string>& args,
                                       std::string* error) {
  auto fail = [&](std::string why) -> std::optional<Arguments> {
    *error = std::move(why);
    return std::nullopt;
  };
  if (!StartsWithWords(line, args)) return fail("expected '" + line.command + " " + line.words[0] + "'");
  Arguments out;
  for (const std::string& w : line.words) out.subcommand_ += (out.subcommand_.empty() ? "" : " ") + w;
  std::vector<std::string> positional;
  bool options_over = false;
  for (size_t i = line.words.size(); i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!options_over && a == "--") {
      options_over = true;
      continue;
    }
    // "-" alone, and a word like "-7/2" (no option starts with a digit), are arguments.
    if (options_over || a.size() < 2 || a[0] != '-' || std::isdigit(static_cast<unsigned char>(a[1]))) {
      positional.push_back(a);
      continue;
    }
    std::string name = a, value;
    const size_t equals = a.find('=');
    const bool inline_value = a.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inline_value) {
      name = a.substr(0, equals);
      value = a.substr(equals + 1);
    }
    const auto item = std::find_if(line.items.begin(), line.items.end(),
                                   [&](const UsageItem& u) { return u.is_option && u.name == name; });
    if (item == line.items.end())
      return fail("unknown option " + Shown(name) + "; a text that starts with '-' goes after '--'");
    if (item->value.empty()) {
      if (inline_value) return fail(name + " takes no value");
    } else if (!inline_value) {
      if (i + 1 >= args.size()) return fail(name + " needs a value: " + name + " " + item->value);
      value = args[++i];
    }
    if (!item->choices.empty() && std::find(item->choices.begin(), item->choices.end(), value) == item->choices.end())
      return fail(name + " takes " + JoinChoices(item->choices) + ", not " + Shown(value));
    if (!item->repeat && out.Has(name)) return fail(name + " is given twice");
    out.options_.emplace_back(name, value);
  }
  for (const UsageItem& u : line.items)
    if (u.is_option && !u.optional && !out.Has(u.name)) return fail("missing " + u.name + " " + u.value);

  size_t required = 0;
  for (const UsageItem& u : line.items)
    if (!u.is_option && !u.optional) ++required;
  size_t spare = positional.size() > required ? positional.size() - required : 0;
  size_t next = 0;
  for (const UsageItem& u : line.items) {
    if (u.is_option) continue;
    size_t take = u.optional ? (spare > 0 ? 1 : 0) : 1;
    if (u.optional) spare -= take;
    if (u.repeat && take > 0) {
      take += spare;
      spare = 0;
    }
    if (next + take > positional.size()) return fail("missing " + u.name);
    for (size_t k = next; k < next + take; ++k)
      if (!u.choices.empty() && std::find(u.choices.begin(), u.choices.end(), positional[k]) == u.choices.end())
        return fail("expected " + JoinChoices(u.choices) + ", not " + Shown(positional[k]));
    next += take;
  }
  if (next < positional.size()) return fail("unexpected argument " + Shown(positional[next]));
  out.positional_ = std::move(positional);
  return out;
}

std::string Shown(std::string_view argument) {
  constexpr size_t kShownBytes = 80;  // an entry identifier fits whole
  std::string out = "'";
  size_t used = 0;
  for (size_t i = 0; i < argument.size(); ++i) {
    if (used >= kShownBytes) {
      // Never cut inside a UTF-8 sequence.
      if ((static_cast<unsigned char>(argument[i]) & 0xC0) != 0x80) {
        out += "...";
        break;
      }
    }
    const unsigned char c = static_cast<unsigned char>(argument[i]);
    if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c == '\r') out += "\\r";
    else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
    ++used;
  }
  return out + "'";
}

}  // namespace pellix::tool
