#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "skin_check.h"
#include "imaging/decoded_image.h"
#include "kernel/host_file.h"
#include "skin/ini_reader.h"
#include "skin/skin.h"
#include "skin/skin_expression.h"

namespace pellix::tool {

namespace {

namespace fs = std::filesystem;

// Skin files are small pages, lists and pictures; a larger one is not read whole.
constexpr size_t kMaxSkinFile = 16u * 1024 * 1024;

enum class KeyKind { Expression, Geometry, Picture, Integer };

struct KnownKey {
  const char* section;
  const char* name;
  KeyKind kind;
};

// Every key the module reads, in the order it reads them.
const KnownKey kKnownKeys[] = {
    {"Skin", "NotifyWndHeight", KeyKind::Geometry},
    {"Skin", "NotifyWndStartX", KeyKind::Geometry},
    {"Skin", "NotifyWndStartY", KeyKind::Geometry},
    {"Skin", "NotifyWndWidth", KeyKind::Geometry},
    {"Skin", "CaptionHeight", KeyKind::Expression},
    {"Skin", "SkinBMP", KeyKind::Picture},
    {"Skin", "AlphaBlendBackground", KeyKind::Integer},
    {"Skin", "DynamicHeight", KeyKind::Integer},
    {"Borders", "Left", KeyKind::Expression},
    {"Borders", "Top", KeyKind::Expression},
    {"Borders", "Right", KeyKind::Expression},
    {"Borders", "Bottom", KeyKind::Expression},
    {"Borders", "HTMLLeft", KeyKind::Expression},
    {"Borders", "HTMLTop", KeyKind::Expression},
    {"Borders", "HTMLRight", KeyKind::Expression},
    {"Borders", "HTMLBottom", KeyKind::Expression},
    {"Animation", "GifFrameDelay", KeyKind::Integer},
};

const KnownKey* FindKnownKey(const std::string& section, const std::string& name) {
  for (const KnownKey& k : kKnownKeys)
    if (section == k.section && name == k.name) return &k;
  return nullptr;
}

bool IsKnownSection(const std::string& name) {
  return name == "Skin" || name == "Borders" || name == "Animation";
}

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

std::string Trimmed(const char* s) {
  std::string t = s;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  return t;
}

// How a value of the wrong form reads, for messages.
std::string FormOf(const INILINE& line) {
  switch (line.type) {
    case INI_STRING: return "a quoted string";
    case INI_STRING_PAIR: return "two quoted strings";
    case INI_HEX: return "a hexadecimal number";
    case INI_FLOAT: return "a float (its first word ends in \"f\")";
    default: return "a number";
  }
}

int BuiltInInteger(const std::string& name) {
  if (name == "AlphaBlendBackground") return g_BuiltInSkin.AlphaBlendBackground;
  if (name == "DynamicHeight") return g_BuiltInSkin.DynamicHeight;
  return g_BuiltInSkin.GifFrameDelay;
}

struct KeySeen {
  int line;
  INILINE parsed;
  std::string word;  // the value as written: the first word after " = "
};

// The first word after " = " on a key line.
std::string ValueWord(const std::string& text) {
  size_t eq = text.find(" = ");
  if (eq == std::string::npos) return "";
  size_t first = text.find_first_not_of(" \t\r\n\v\f", eq + 3);
  if (first == std::string::npos) return "";
  size_t end = text.find_first_of(" \t\r\n\v\f", first);
  return text.substr(first, end == std::string::npos ? std::string::npos : end - first);
}

// Whether the brackets of an expression pair up.
bool BracketsPair(const std::string& text) {
  int depth = 0;
  for (char c : text) {
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) return false;
  }
  return depth == 0;
}

class Checker {
 public:
  explicit Checker(const SkinCheckInput& input) : in_(input) {}

  std::vector<SkinFinding> Run() {
    CheckIni();
    CheckTemplate("bubble.html", "the built-in bubble page (string resource 110)");
    CheckTemplate("bubblepic.html", "the built-in bubble page with the sender's picture (string resource 112)");
    CheckTemplate("form.html", "the built-in page (string resource 110)");
    CheckStyleSheet();
    CheckSmileys();
    // Each file's findings in line order (the whole file's first); files in the order above.
    std::vector<std::string> files;
    for (const SkinFinding& f : findings_)
      if (std::find(files.begin(), files.end(), f.file) == files.end()) files.push_back(f.file);
    auto rank = [&](const SkinFinding& f) {
      return std::make_pair(std::find(files.begin(), files.end(), f.file) - files.begin(), f.line);
    };
    std::stable_sort(findings_.begin(), findings_.end(),
                     [&](const SkinFinding& a, const SkinFinding& b) { return rank(a) < rank(b); });
    return std::move(findings_);
  }

 private:
  void Add(const std::string& file, int line, const std::string& message) {
    findings_.push_back(SkinFinding{file, line, message});
  }

  void CheckIni() {
    std::optional<std::string> text = ReadFile("skin.ini");
    if (!text) {
      Add("skin.ini", 0, "missing: the bubble keeps the values it had (the built-in ones at first)");
      return;
    }
    // The reader takes a line in pieces of at most 127 bytes, each ending at a line end.
    int line = 1;
    bool continuation = false;
    std::string section;      // current section as the reader sees it
    bool have_section = false;
    bool section_read = false;  // false for a repeated or unknown section
    size_t at = 0;
    while (at < text->size()) {
      size_t end = text->find('\n', at);
      size_t length = (end == std::string::npos ? text->size() : end + 1) - at;
      if (length > INI_LINE_SIZE - 1) length = INI_LINE_SIZE - 1;
      std::string piece = text->substr(at, length);
      at += length;
      bool ends_line = piece.back() == '\n';
      // A line of exactly 127 characters leaves only its line end for the next piece, which
      // reads as an empty line.
      size_t rest_end = text->find('\n', at);
      std::string rest = text->substr(at, rest_end == std::string::npos ? std::string::npos : rest_end - at);
      if (!ends_line && !continuation && at < text->size() && rest != "" && rest != "\r")
        Add("skin.ini", line,
            "longer than 127 characters: the reader cuts the line, and reads the rest as a line "
            "of its own");
      CheckLine(piece.c_str(), line, continuation, section, have_section, section_read);
      continuation = !ends_line;
      if (ends_line) ++line;
    }
    CheckValues();
  }

  void CheckLine(const char* piece, int line, bool continuation, std::string& section,
                 bool& have_section, bool& section_read) {
    INILINE parsed;
    IniParseLine(piece, &parsed);
    std::string text = Trimmed(piece);
    switch (parsed.kind) {
      case INI_LINE_COMMENT:
        return;
      case INI_LINE_IGNORED: {
        size_t first = text.find_first_not_of(" \t\r\n\v\f");
        if (first == std::string::npos || continuation) return;
        char c = text[first];
        if (first > 0 && c == '[')
          Add("skin.ini", line,
              "the section header starts with a blank, so it is ignored" +
                  std::string(have_section ? ", and the keys after it belong to [" + section + "]"
                                           : ", and the keys after it are ignored"));
        else if (first > 0 && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')))
          Add("skin.ini", line, "the key line starts with a blank, so it is ignored");
        else
          Add("skin.ini", line, "ignored: a line must start with \";\", \"[\" or a letter");
        return;
      }
      case INI_LINE_SECTION: {
        section = parsed.name;
        have_section = true;
        if (text.find(']') == std::string::npos)
          Add("skin.ini", line, "no closing \"]\": the section's name is empty");
        auto seen = sections_.find(section);
        if (seen != sections_.end()) {
          Add("skin.ini", line,
              "section [" + section + "] is written twice: only the first one (line " +
                  std::to_string(seen->second) + ") is read");
          section_read = false;
        } else {
          sections_[section] = line;
          section_read = IsKnownSection(section);
          if (!section_read)
            Add("skin.ini", line, "unknown section [" + section + "]: nothing reads it");
        }
        return;
      }
      case INI_LINE_DROPPED:
      case INI_LINE_KEY:
        break;
    }
    std::string name = parsed.name;
    if (!have_section) {
      Add("skin.ini", line, "key " + name + " comes before the first section: it is ignored");
      return;
    }
    if (parsed.kind == INI_LINE_DROPPED) {
      Add("skin.ini", line, name + ": " + DropReason(piece, parsed) + ": the line adds nothing");
      return;
    }
    if (!section_read) return;  // the section itself was reported
    const KnownKey* known = FindKnownKey(section, name);
    if (known == nullptr) {
      Add("skin.ini", line, "unknown key " + name + " in [" + section + "]: nothing reads it");
      return;
    }
    std::string id = section + "/" + name;
    auto seen = keys_.find(id);
    if (seen != keys_.end()) {
      Add("skin.ini", line,
          name + " is given twice in [" + section + "]: only the first one (line " +
              std::to_string(seen->second.line) + ") is read");
      return;
    }
    keys_[id] = KeySeen{line, parsed, ValueWord(Trimmed(piece))};
  }

  static std::string DropReason(const char* piece, const INILINE& parsed) {
    std::string text = Trimmed(piece);
    switch (parsed.problem) {
      case INI_KEY_NO_EQUALS: {
        size_t eq = text.find('=');
        if (eq == std::string::npos) return "no \"=\" after the key's name";
        size_t start = text.find_first_not_of(" \t");
        std::string key = text.substr(start, eq - start);
        std::string value = text.substr(eq + 1);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
        size_t v = value.find_first_not_of(" \t");
        value = v == std::string::npos ? "value" : value.substr(v);
        return "\"=\" must stand between blanks (write \"" + key + " = " + value + "\")";
      }
      case INI_KEY_OPEN_QUOTE:
        return "the closing quote is missing on the line";
      default: {
        size_t eq = text.find(" = ");
        std::string value = eq == std::string::npos ? "" : text.substr(eq + 3);
        size_t first = value.find_first_not_of(" \t\r\n\v\f");
        if (first == std::string::npos) return "no value after \"=\"";
        value = value.substr(first);
        return "the value " + value +
               " has no known form (a number, a 0x number, ~, or text in double quotes)";
      }
    }
  }

  void CheckValues() {
    BOOL anchor = FALSE;
    values_.clear();
    for (const KnownKey& k : kKnownKeys) {
      std::string id = std::string(k.section) + "/" + k.name;
      auto it = keys_.find(id);
      const KeySeen* seen = it == keys_.end() ? nullptr : &it->second;
      switch (k.kind) {
        case KeyKind::Geometry:
        case KeyKind::Expression:
          CheckExpression(k, seen, &anchor);
          break;
        case KeyKind::Picture:
          CheckPicture(seen);
          break;
        case KeyKind::Integer:
          CheckInteger(k, seen);
          break;
      }
    }
    CheckPlacement(anchor);
  }

  // Places the bubble, its inner window and its HTML view the way the popup does, on this
  // screen at the bubble's starting height, and says when something falls off or vanishes.
  void CheckPlacement(BOOL anchor) {
    auto v = [&](const char* name) { return values_.count(name) ? values_[name] : 0; };
    const int sw = in_.metrics(0), sh = in_.metrics(1);
    int h = v("NotifyWndHeight");
    int x = v("NotifyWndStartX"), y = v("NotifyWndStartY"), w = v("NotifyWndWidth");
    if (x <= 0) x += sw;
    if (y <= 0) y += sh;
    if (anchor) y -= h;
    if (w <= 0) w += sw;
    std::string at = " (x " + std::to_string(x) + ", y " + std::to_string(y) + ", " +
                     std::to_string(w) + " x " + std::to_string(h) + " on a " + std::to_string(sw) +
                     " x " + std::to_string(sh) + " screen)";
    if (w <= 0) {
      auto width = keys_.find("Skin/NotifyWndWidth");
      Add("skin.ini", width == keys_.end() ? 0 : width->second.line,
          "NotifyWndWidth gives " + std::to_string(v("NotifyWndWidth")) + ", and with the screen width " +
              std::to_string(sw) + " added the bubble is " + std::to_string(w) + " wide: it has no width");
      return;
    }
    if (h <= 0) return;  // reported with its key
    const bool off = x < 0 || y < 0 || x + w > sw || y + h > sh;
    if (off && !keys_.count("Skin/NotifyWndStartY") && (y < 0 || y + h > sh))
      Add("skin.ini", 0,
          "NotifyWndStartY is missing: it counts as 0, which counts from the bottom screen edge: "
          "the bubble starts off the screen");
    if (off) Add("skin.ini", 0, "the bubble does not fit on the screen" + at);
    int iw = w - v("Left") - v("Right"), ih = h - v("Top") - v("Bottom");
    if (iw <= 0 || ih <= 0) {
      Add("skin.ini", 0, "the Borders insets leave no room for the inner window" + at);
      return;
    }
    if (iw - v("HTMLLeft") - v("HTMLRight") <= 0 || ih - v("HTMLTop") - v("HTMLBottom") <= 0)
      Add("skin.ini", 0, "the HTML insets leave no room for the message" + at);
    else if (v("HTMLTop") < v("CaptionHeight"))
      Add("skin.ini", 0, "HTMLTop is smaller than CaptionHeight: the page covers part of the caption strip");
  }

  void CheckExpression(const KnownKey& k, const KeySeen* seen, BOOL* anchor) {
    const std::string name = k.name;
    if (seen == nullptr) {
      // A missing vertical start is judged by where the bubble ends up (CheckPlacement): with
      // the bottom anchor it may well sit on the screen.
      if (k.kind == KeyKind::Geometry && name != "NotifyWndStartY")
        Add("skin.ini", 0, name + " is missing: it counts as 0" + GeometryZero(name));
      return;
    }
    if (seen->parsed.type != INI_STRING) {
      Add("skin.ini", seen->line,
          std::string(k.name) + " must be an expression in double quotes: written as " +
              FormOf(seen->parsed) + " it reads as \"0\" and counts as 0");
      return;
    }
    const std::string text = seen->parsed.text;
    if (text.find("_NotifyHeight") != std::string::npos && name != "NotifyWndStartY")
      Add("skin.ini", seen->line,
          name + " uses _NotifyHeight, which belongs in NotifyWndStartY only: here it counts as 0 "
          "and still anchors the bubble by its bottom edge, so the bubble moves up by its height");
    EXPRRESULT r = EvaluateSkinText(seen->parsed.text, in_.metrics, anchor);
    values_[k.name] = SkinValueFromResult(r);
    if (r.error[0] == '\0' && !BracketsPair(text))
      Add("skin.ini", seen->line,
          name + " = " + Quote(text) + ": a \"(\" is never closed, and the evaluator says nothing: "
          "it gives " + std::to_string(SkinValueFromResult(r)) + " on this screen (close the bracket)");
    if (r.error[0] != '\0') {
      Add("skin.ini", seen->line,
          std::string(k.name) + " = " + Quote(seen->parsed.text) + ": " + r.error +
              ": it counts as 0");
      return;
    }
    if (std::string(k.name) == "NotifyWndHeight" && SkinValueFromResult(r) <= 0)
      Add("skin.ini", seen->line,
          "NotifyWndHeight gives " + std::to_string(SkinValueFromResult(r)) +
              " on this screen: the bubble has no height");
  }

  static std::string GeometryZero(const std::string& name) {
    if (name == "NotifyWndHeight") return ", so the bubble has no height";
    if (name == "NotifyWndStartX") return ", which counts from the right screen edge: the bubble starts off the screen";
    if (name == "NotifyWndStartY") return ", which counts from the bottom screen edge: the bubble starts off the screen";
    return ", which means the full screen width";
  }

  void CheckInteger(const KnownKey& k, const KeySeen* seen) {
    std::string keeps = "it keeps the value of the skin loaded before (built-in " +
                        std::to_string(BuiltInInteger(k.name)) + ")";
    if (seen == nullptr) {
      Add("skin.ini", 0, std::string(k.name) + " is not set: " + keeps);
      return;
    }
    if (seen->parsed.type != INI_INTEGER) {
      Add("skin.ini", seen->line,
          std::string(k.name) + " must be a plain decimal number without quotes: written as " +
              FormOf(seen->parsed) + " " + keeps);
      return;
    }
    int v = seen->parsed.integer;
    std::string name = k.name;
    const std::string& word = seen->word;
    size_t digits = word.find_first_not_of("0123456789", word[0] == '-' ? 1 : 0);
    if (word != "~" && digits != std::string::npos)
      Add("skin.ini", seen->line,
          name + " = " + word + ": only the whole number " + std::to_string(v) +
              " before \"" + word.substr(digits) + "\" is read (write a plain whole number)");
    if (name == "AlphaBlendBackground" && (v < 0 || v > 255))
      Add("skin.ini", seen->line, "AlphaBlendBackground = " + std::to_string(v) + " is outside 0 to 255");
    if (name == "DynamicHeight" && v != 0 && v != 1)
      Add("skin.ini", seen->line,
          "DynamicHeight = " + std::to_string(v) + ": only exactly 1 makes the bubble grow, so this is 0");
    if (name == "GifFrameDelay" && v < 10)
      Add("skin.ini", seen->line,
          "GifFrameDelay = " + std::to_string(v) + " is below the shortest timer period (10 ms)");
  }

  void CheckPicture(const KeySeen* seen) {
    if (seen == nullptr) {
      Add("skin.ini", 0,
          "SkinBMP is missing: the picture path ends in \"0\", and the bubble keeps a rectangular shape");
      return;
    }
    if (seen->parsed.type != INI_STRING) {
      Add("skin.ini", seen->line,
          "SkinBMP must be a file name in double quotes: written as " + FormOf(seen->parsed) +
              " it reads as \"0\", and the bubble keeps a rectangular shape");
      return;
    }
    std::string file = seen->parsed.text;
    fs::path host = in_.map(file);
    std::error_code ec;
    if (host.empty() || !fs::is_regular_file(host, ec)) {
      Add("skin.ini", seen->line,
          "SkinBMP: the picture " + Quote(file) + " is not in the skin folder: the bubble keeps a rectangular shape");
      return;
    }
    std::string problem = PictureShapeProblem(host);
    if (!problem.empty()) Add("skin.ini", seen->line, "SkinBMP: the picture " + Quote(file) + " " + problem);
  }

  // Decodes the picture with the device's own decoders and tells whether any pixel comes out
  // white in a one-bit copy: the platform's colour-to-monochrome copy makes white exactly the
  // pixels of the source context's background colour, white, and the picture is drawn over
  // white first, so a transparent pixel counts as white too.
  static std::string PictureShapeProblem(const fs::path& path) {
    auto read = device::ReadHostFile(path, kMaxSkinFile);
    if (!read) return "cannot be read: " + read.error().message;
    auto decoded = device::imaging::DecodeImage(*read);
    if (!decoded)
      return "cannot be loaded (" + decoded.error().message + "): the bubble keeps a rectangular shape";
    for (uint32_t argb : decoded->frames.front().pixels) {
      uint32_t a = argb >> 24;
      auto over_white = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
      if (over_white((argb >> 16) & 0xFF) == 255 && over_white((argb >> 8) & 0xFF) == 255 &&
          over_white(argb & 0xFF) == 255)
        return "";
    }
    return "gives an empty shape (no pixel comes out white): the bubble is invisible";
  }

  // Host path of a file of the skin folder, found without regard to case as on the device.
  static fs::path InFolder(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      std::string n = entry.path().filename().string();
      if (n.size() == name.size() &&
          std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
          }))
        return entry.path();
    }
    return {};
  }

  std::optional<std::string> ReadFile(const std::string& name) const {
    fs::path p = in_.map(name);
    std::error_code ec;
    if (p.empty() || !fs::is_regular_file(p, ec)) return std::nullopt;
    auto text = device::ReadHostText(p, kMaxSkinFile);
    if (!text) return std::nullopt;
    return std::move(*text);
  }

  void CheckTemplate(const std::string& file, const std::string& fallback) {
    std::optional<std::string> text = ReadFile(file);
    if (!text) {
      Add(file, 0, "missing: " + fallback + " is used instead");
      return;
    }
    if (text->empty()) {
      Add(file, 0, "empty: the page shows nothing");
      return;
    }
    if (text->find("%SMSBody%") == std::string::npos)
      Add(file, 0, "has no %SMSBody%: the message text never shows");
  }

  void CheckStyleSheet() {
    if (!ReadFile("bubble.css"))
      Add("bubble.css", 0, "missing: the built-in style \"BODY { font-size: 8pt; }\" is used instead");
  }

  void CheckSmileys() {
    bool is_default = in_.name == "default";
    std::error_code ec;
    fs::path list = in_.map("Smileydata.txt");
    std::string shown = "Smileydata.txt";
    if (list.empty() || !fs::is_regular_file(list, ec)) {
      fs::path fallback = is_default ? fs::path() : InFolder(in_.default_folder, "Smileydata.txt");
      if (fallback.empty() || !fs::is_regular_file(fallback, ec)) {
        Add("Smileydata.txt", 0,
            is_default ? "missing: no smileys are shown"
                       : "missing, and the skin \"default\" has none either: no smileys are shown");
        return;
      }
      Add("Smileydata.txt", 0, "missing: the smileys of the skin \"default\" are used instead");
      list = fallback;
      shown = "Smileydata.txt of the skin \"default\"";
    }
    // Pictures come from this skin's Smileys folder when it has one, else from the default's.
    fs::path own = in_.map("Smileys");
    fs::path pictures = !own.empty() && fs::is_directory(own, ec) ? own : InFolder(in_.default_folder, "Smileys");
    std::string where = pictures == own ? "Smileys" : "the skin \"default\"'s Smileys";
    auto has_picture = [&](const std::string& file) {
      return !pictures.empty() && !InFolder(pictures, file).empty();
    };
    auto read = device::ReadHostText(list, kMaxSkinFile);
    std::string text = read ? std::move(*read) : std::string();
    int line = 1;
    size_t at = 0;
    while (at <= text.size()) {
      size_t end = text.find('\n', at);
      std::string row = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
      std::vector<std::string> tokens;
      size_t p = 0;
      while ((p = row.find_first_not_of(" \t\r", p)) != std::string::npos) {
        size_t q = row.find_first_of(" \t\r", p);
        tokens.push_back(row.substr(p, q == std::string::npos ? std::string::npos : q - p));
        p = q;
      }
      if (tokens.size() == 1)
        Add(shown, line, "the code " + tokens[0] + " has no picture file: the line adds no smiley");
      if (tokens.size() >= 2) {
        std::string file = tokens[1];
        if (file.find('.') == std::string::npos) file += ".gif";
        if (file.find('\\') == std::string::npos && file.find('/') == std::string::npos &&
            !has_picture(file))
          Add(shown, line,
              "the picture " + Quote(file) + " of " + tokens[0] + " is not in " + where +
                  ": the smiley shows no picture");
      }
      if (end == std::string::npos) break;
      at = end + 1;
      ++line;
    }
    for (const char* icon : {"delivered.gif", "ndelivered.gif"})
      if (!has_picture(icon))
        Add("Smileys", 0,
            std::string(icon) + " is not in " + where + ": reports show no " +
                (icon[0] == 'd' ? "delivery" : "non-delivery") + " icon");
  }

  const SkinCheckInput& in_;
  std::vector<SkinFinding> findings_;
  std::map<std::string, int> sections_;
  std::map<std::string, KeySeen> keys_;
  std::map<std::string, int> values_;  // evaluated expressions, by key name
};

}  // namespace

std::vector<SkinFinding> CheckSkin(const SkinCheckInput& input) { return Checker(input).Run(); }

}  // namespace pellix::tool
