#include "rc_script.h"

#include <cctype>
#include <cstdio>

namespace pellix::rc {

namespace {

enum class TokenKind { kEnd, kWord, kNumber, kString, kComma, kOpen, kClose, kDirective };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // words, directives (with '#'), strings (decoded UTF-8)
  long value = 0;
  int line = 1;
};

class Lexer {
 public:
  explicit Lexer(const std::string& text) : text_(text) {}

  // Returns false with `error` set on a malformed token.
  bool Next(Token& token, std::string& error) {
    SkipSpaceAndComments();
    token = Token{};
    token.line = line_;
    if (pos_ >= text_.size()) return true;
    char c = text_[pos_];
    if (c == ',') return Single(token, TokenKind::kComma);
    if (c == '{') return Single(token, TokenKind::kOpen);
    if (c == '}') return Single(token, TokenKind::kClose);
    if (c == '"') return String(token, error);
    if (c == '#') {
      token.kind = TokenKind::kDirective;
      token.text = "#";
      ++pos_;
      while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])))
        token.text += text_[pos_++];
      return true;
    }
    if (std::isdigit(static_cast<unsigned char>(c))) return Number(token, error);
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      token.kind = TokenKind::kWord;
      while (pos_ < text_.size() &&
             (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
        token.text += text_[pos_++];
      return true;
    }
    error = std::string("unexpected character '") + c + "'";
    return false;
  }

  // The rest of the current line (for directives other than #define and #include).
  void SkipLine() {
    while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
  }
  int line() const { return line_; }

 private:
  bool Single(Token& token, TokenKind kind) {
    token.kind = kind;
    token.text = text_.substr(pos_++, 1);
    return true;
  }

  void SkipSpaceAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else if (text_.compare(pos_, 2, "//") == 0) {
        SkipLine();
      } else if (text_.compare(pos_, 2, "/*") == 0) {
        size_t end = text_.find("*/", pos_ + 2);
        size_t stop = end == std::string::npos ? text_.size() : end + 2;
        for (size_t i = pos_; i < stop; ++i)
          if (text_[i] == '\n') ++line_;
        pos_ = stop;
      } else {
        return;
      }
    }
  }

  bool Number(Token& token, std::string& error) {
    token.kind = TokenKind::kNumber;
    int base = 10;
    if (text_.compare(pos_, 2, "0x") == 0 || text_.compare(pos_, 2, "0X") == 0) {
      base = 16;
      pos_ += 2;
    }
    size_t start = pos_;
    unsigned long value = 0;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
      char d = text_[pos_];
      int digit = std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : (std::tolower(d) - 'a' + 10);
      if (digit >= base) break;
      value = value * base + digit;
      if (value > 0xFFFFFFFFul) {
        error = "number too large";
        return false;
      }
      ++pos_;
    }
    if (pos_ == start) {
      error = "malformed number";
      return false;
    }
    // A trailing L (long) is allowed, as in the platform's scripts.
    if (pos_ < text_.size() && (text_[pos_] == 'L' || text_[pos_] == 'l')) ++pos_;
    token.value = static_cast<long>(value);
    return true;
  }

  bool String(Token& token, std::string& error) {
    token.kind = TokenKind::kString;
    ++pos_;
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == '\n') {
        error = "unterminated string";
        return false;
      }
      char c = text_[pos_++];
      if (c == '"') {
        // Two quotes stand for one inside a string.
        if (pos_ < text_.size() && text_[pos_] == '"') {
          token.text += '"';
          ++pos_;
          continue;
        }
        return true;
      }
      if (c == '\\' && pos_ < text_.size()) {
        char e = text_[pos_++];
        switch (e) {
          case 'n': token.text += '\n'; break;
          case 't': token.text += '\t'; break;
          case 'r': token.text += '\r'; break;
          case '\\': token.text += '\\'; break;
          case '"': token.text += '"'; break;
          case '0': token.text += '\0'; break;
          default:
            error = std::string("unknown escape \\") + e;
            return false;
        }
        continue;
      }
      token.text += c;
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
  int line_ = 1;
};

// UTF-8 to UTF-16; false for malformed input.
bool Utf8To16(const std::string& in, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < in.size();) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else return false;
    if (i + extra >= in.size() && extra > 0) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char d = static_cast<unsigned char>(in[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    i += 1 + extra;
    if (cp >= 0x10000) {
      if (cp > 0x10FFFF) return false;
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return true;
}

class Parser {
 public:
  Parser(const IncludeReader& include, ParseError& error) : include_(include), error_(error) {}

  std::optional<Script> Parse(const std::string& text) {
    Lexer lexer(text);
    lexer_ = &lexer;
    if (!Advance()) return std::nullopt;
    Script script;
    while (token_.kind != TokenKind::kEnd) {
      if (token_.kind == TokenKind::kDirective) {
        if (!Directive(lexer)) return std::nullopt;
        continue;
      }
      if (token_.kind == TokenKind::kWord && token_.text == "STRINGTABLE") {
        if (!StringTable(script)) return std::nullopt;
        continue;
      }
      uint16_t id;
      if (!Id(id)) return std::nullopt;
      if (token_.kind != TokenKind::kWord) return Error("expected a resource type");
      std::string type = token_.text;
      if (!Advance()) return std::nullopt;
      if (type == "MENU") {
        Menu menu;
        menu.id = id;
        if (!SkipOptions() || !Items(menu.items, 1)) return std::nullopt;
        for (const auto& m : script.menus)
          if (m.id == id) return Error("menu " + std::to_string(id) + " defined twice");
        script.menus.push_back(std::move(menu));
      } else if (type == "BITMAP" || type == "ICON") {
        if (!SkipOptions()) return std::nullopt;
        if (token_.kind != TokenKind::kString) return Error("expected a file name");
        auto& list = type == "BITMAP" ? script.bitmaps : script.icons;
        for (const auto& f : list)
          if (f.id == id) return Error(type + " " + std::to_string(id) + " defined twice");
        list.push_back(FileResource{id, token_.text});
        if (!Advance()) return std::nullopt;
      } else {
        return Error("unsupported resource type " + type);
      }
    }
    return script;
  }

 private:
  bool Advance() {
    std::string message;
    if (!lexer_->Next(token_, message)) {
      error_ = {lexer_->line(), message};
      return false;
    }
    return true;
  }

  std::nullopt_t Error(std::string message) {
    error_ = {token_.line, std::move(message)};
    return std::nullopt;
  }
  bool Fail(std::string message) {
    error_ = {token_.line, std::move(message)};
    return false;
  }

  bool Directive(Lexer& lexer) {
    std::string directive = token_.text;
    int line = token_.line;
    if (directive == "#define") {
      if (!Advance()) return false;
      if (token_.kind != TokenKind::kWord) return Fail("expected a name after #define");
      std::string name = token_.text;
      if (!Advance()) return false;
      if (token_.kind != TokenKind::kNumber || token_.line != line)
        return Fail("#define " + name + " needs a number");
      defines_[name] = token_.value;
      return Advance();
    }
    if (directive == "#include") {
      if (!Advance()) return false;
      if (token_.kind != TokenKind::kString) return Fail("expected a file name after #include");
      auto included = include_ ? include_(token_.text) : std::nullopt;
      if (!included) return Fail("cannot read " + token_.text);
      if (!ReadDefines(*included, token_.text)) return false;
      return Advance();
    }
    // Other directives (#pragma, #ifdef...) do not change what is compiled here.
    lexer.SkipLine();
    return Advance();
  }

  // Only the #define lines of an included header count; the rest is C that the module sees.
  bool ReadDefines(const std::string& text, const std::string& name) {
    size_t start = 0;
    int line = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      std::string row = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
      ++line;
      char word[128], rest[128];
      if (std::sscanf(row.c_str(), " #define %127s %127s", word, rest) == 2) {
        char* tail = nullptr;
        long value = std::strtol(rest, &tail, 0);
        if (tail != rest && (*tail == 0 || *tail == 'L' || *tail == 'l')) defines_[word] = value;
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
    (void)name;
    return true;
  }

  bool Id(uint16_t& id) {
    long value;
    if (token_.kind == TokenKind::kNumber) {
      value = token_.value;
    } else if (token_.kind == TokenKind::kWord && defines_.count(token_.text)) {
      value = defines_[token_.text];
    } else {
      return Fail("expected a number, found '" + token_.text + "'");
    }
    if (value < 0 || value > 0xFFFF) return Fail("number out of range: " + std::to_string(value));
    id = static_cast<uint16_t>(value);
    return Advance();
  }

  bool Text(std::u16string& out) {
    if (token_.kind != TokenKind::kString) return Fail("expected a string");
    if (!Utf8To16(token_.text, out)) return Fail("string is not UTF-8");
    return Advance();
  }

  bool IsWord(const char* w) const { return token_.kind == TokenKind::kWord && token_.text == w; }

  // Memory options such as DISCARDABLE stand between a type and its body.
  bool SkipOptions() {
    while (token_.kind == TokenKind::kWord && !IsWord("BEGIN")) {
      if (!Advance()) return false;
    }
    return true;
  }

  bool Begin() {
    if (token_.kind == TokenKind::kOpen || IsWord("BEGIN")) return Advance();
    return Fail("expected BEGIN");
  }
  bool AtEnd() const { return token_.kind == TokenKind::kClose || IsWord("END"); }

  bool ItemOptions(uint16_t& flags) {
    while (token_.kind == TokenKind::kComma) {
      if (!Advance()) return false;
      if (IsWord("GRAYED")) flags |= 0x0001;
      else if (IsWord("INACTIVE")) flags |= 0x0002;
      else if (IsWord("CHECKED")) flags |= 0x0008;
      else if (IsWord("MENUBARBREAK")) flags |= 0x0020;
      else if (IsWord("MENUBREAK")) flags |= 0x0040;
      else if (IsWord("HELP")) flags |= 0x4000;
      else return Fail("unknown menu option '" + token_.text + "'");
      if (!Advance()) return false;
    }
    return true;
  }

  bool Items(std::vector<MenuItem>& items, int depth) {
    if (depth > 16) return Fail("menus nest too deep");
    if (!Begin()) return false;
    while (!AtEnd()) {
      if (token_.kind == TokenKind::kEnd) return Fail("missing END");
      MenuItem item;
      if (IsWord("MENUITEM")) {
        if (!Advance()) return false;
        if (IsWord("SEPARATOR")) {
          item.separator = true;
          if (!Advance()) return false;
        } else {
          if (!Text(item.text)) return false;
          if (token_.kind != TokenKind::kComma) return Fail("expected ',' and an id");
          if (!Advance() || !Id(item.id) || !ItemOptions(item.flags)) return false;
        }
      } else if (IsWord("POPUP")) {
        if (!Advance()) return false;
        item.popup = true;
        if (!Text(item.text) || !ItemOptions(item.flags)) return false;
        if (!Items(item.children, depth + 1)) return false;
        if (item.children.empty()) return Fail("a POPUP needs at least one item");
      } else {
        return Fail("expected MENUITEM, POPUP or END, found '" + token_.text + "'");
      }
      items.push_back(std::move(item));
    }
    if (items.empty()) return Fail("a menu needs at least one item");
    return Advance();
  }

  bool StringTable(Script& script) {
    if (!Advance() || !SkipOptions() || !Begin()) return false;
    while (!AtEnd()) {
      if (token_.kind == TokenKind::kEnd) return Fail("missing END");
      uint16_t id;
      int line = token_.line;
      if (!Id(id)) return false;
      if (token_.kind == TokenKind::kComma && !Advance()) return false;
      std::u16string text;
      if (!Text(text)) return false;
      if (!script.strings.emplace(id, std::move(text)).second) {
        error_ = {line, "string " + std::to_string(id) + " defined twice"};
        return false;
      }
    }
    return Advance();
  }

  const IncludeReader& include_;
  ParseError& error_;
  Lexer* lexer_ = nullptr;
  Token token_;
  std::map<std::string, long> defines_;
};

void PutWord(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

void PutText(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) PutWord(out, c);
  PutWord(out, 0);
}

void PutItems(std::vector<uint8_t>& out, const std::vector<MenuItem>& items) {
  constexpr uint16_t kPopup = 0x0010, kEnd = 0x0080;
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& item = items[i];
    uint16_t flags = item.flags;
    if (item.popup) flags |= kPopup;
    if (i + 1 == items.size()) flags |= kEnd;
    PutWord(out, flags);
    if (!item.popup) PutWord(out, item.separator ? 0 : item.id);
    PutText(out, item.separator ? std::u16string() : item.text);
    if (item.popup) PutItems(out, item.children);
  }
}

}  // namespace

std::optional<Script> ParseScript(const std::string& text, const IncludeReader& include,
                                  ParseError& error) {
  Parser parser(include, error);
  return parser.Parse(text);
}

std::vector<uint8_t> MenuTemplate(const Menu& menu) {
  std::vector<uint8_t> out;
  PutWord(out, 0);  // version
  PutWord(out, 0);  // bytes of header extension
  PutItems(out, menu.items);
  return out;
}

std::optional<std::vector<uint8_t>> BitmapResource(const std::vector<uint8_t>& file) {
  constexpr size_t kFileHeader = 14;
  if (file.size() < kFileHeader + 40 || file[0] != 'B' || file[1] != 'M') return std::nullopt;
  uint32_t info_size = file[14] | (file[15] << 8) | (file[16] << 16) | (uint32_t(file[17]) << 24);
  if (info_size < 40 || info_size > file.size() - kFileHeader) return std::nullopt;
  auto word = [&](size_t at) { return uint32_t(file[at] | (file[at + 1] << 8)); };
  auto dword = [&](size_t at) { return word(at) | (word(at + 2) << 16); };
  uint32_t pixels_at = dword(10);
  uint32_t bits = word(kFileHeader + 14);
  uint32_t compression = dword(kFileHeader + 16);
  uint32_t colours = dword(kFileHeader + 32);
  uint64_t table = 0;
  if (bits <= 8) table = uint64_t(colours ? colours : (1u << bits)) * 4;
  else if (compression == 3 && info_size == 40) table = 12;
  uint64_t head = kFileHeader + uint64_t(info_size) + table;
  // The resource keeps header, colour table and pixels back to back, whatever gap the file had.
  if (head > file.size() || pixels_at < head || pixels_at > file.size()) return std::nullopt;
  std::vector<uint8_t> out(file.begin() + kFileHeader, file.begin() + head);
  out.insert(out.end(), file.begin() + pixels_at, file.end());
  return out;
}

}  // namespace pellix::rc
