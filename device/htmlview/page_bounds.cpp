#include "htmlview/page_bounds.h"

#include <gumbo.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace pellix::device::htmlview {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (Lower(text[at + i]) != prefix[i]) return false;
  return true;
}

// The formatting elements the parser re-opens in each new block while they are open.
constexpr std::array<std::string_view, 14> kFormatting = {"a",    "b",      "big",    "code", "em", "font", "i",
                                                          "nobr", "s",      "small",  "strike", "strong", "tt", "u"};
// Elements whose content is text up to their own end tag.
constexpr std::array<std::string_view, 9> kRawText = {"script", "style",    "textarea", "title",    "xmp",
                                                      "iframe", "noembed",  "noframes", "noscript"};

int FormattingIndex(std::string_view name) {
  for (size_t i = 0; i < kFormatting.size(); ++i)
    if (kFormatting[i] == name) return static_cast<int>(i);
  return -1;
}

// The end of the tag that starts at `at` ('<'): one past its '>', or the end of the text.
size_t TagEnd(std::string_view s, size_t at) {
  size_t i = at + 1;
  while (i < s.size() && s[i] != '>') {
    if (s[i] == '=') {
      ++i;
      while (i < s.size() && IsSpace(s[i])) ++i;
      if (i < s.size() && (s[i] == '"' || s[i] == '\'')) {
        const size_t close = s.find(s[i], i + 1);
        i = close == std::string_view::npos ? s.size() : close + 1;
      }
      continue;
    }
    ++i;
  }
  return i < s.size() ? i + 1 : s.size();
}

std::string TagName(std::string_view s, size_t at) {
  std::string name;
  for (size_t i = at; i < s.size() && !IsSpace(s[i]) && s[i] != '/' && s[i] != '>'; ++i) name += Lower(s[i]);
  return name;
}

// Drops the start tags that would make the parser's own work grow beyond the bounds: those
// after the first kMaxSourceTags, and formatting tags while kMaxOpenFormatting are open.
std::string ScanSource(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  int tags = 0, open_total = 0;
  std::array<int, kFormatting.size()> open{};
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] != '<') {
      const size_t next = s.find('<', i);
      const size_t end = next == std::string_view::npos ? s.size() : next;
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    if (s.compare(i, 4, "<!--") == 0) {
      // "<!-->" and "<!--->" are whole comments; otherwise one runs to "-->" or the end.
      size_t end;
      if (s.compare(i, 5, "<!-->") == 0) end = i + 5;
      else if (s.compare(i, 6, "<!--->") == 0) end = i + 6;
      else {
        const size_t close = s.find("-->", i + 4);
        end = close == std::string_view::npos ? s.size() : close + 3;
      }
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    const bool closing = i + 1 < s.size() && s[i + 1] == '/';
    const size_t name_at = i + (closing ? 2 : 1);
    if (name_at >= s.size() || !IsAlpha(s[name_at])) {
      out += s[i++];
      continue;
    }
    const std::string name = TagName(s, name_at);
    const size_t end = TagEnd(s, i);
    const int formatting = FormattingIndex(name);
    if (closing) {
      if (formatting >= 0 && open[formatting] > 0) --open[formatting], --open_total;
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    const bool keep = tags < kMaxSourceTags && (formatting < 0 || open_total < kMaxOpenFormatting);
    if (keep) {
      ++tags;
      if (formatting >= 0) ++open[formatting], ++open_total;
      out.append(s.substr(i, end - i));
    }
    i = end;
    if (keep && name == "plaintext") {
      out.append(s.substr(i));
      break;
    }
    bool raw = false;
    for (std::string_view r : kRawText) raw = raw || r == name;
    if (keep && raw) {
      // Its content is text up to "</name"; tags in it are not tags.
      size_t close = i;
      while ((close = s.find("</", close)) != std::string_view::npos && !StartsWithNoCase(s, close + 2, name)) ++close;
      const size_t stop = close == std::string_view::npos ? s.size() : close;
      out.append(s.substr(i, stop - i));
      i = stop;
    }
  }
  return out;
}

bool IsVoid(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_AREA: case GUMBO_TAG_BASE: case GUMBO_TAG_BR: case GUMBO_TAG_COL: case GUMBO_TAG_EMBED:
    case GUMBO_TAG_HR: case GUMBO_TAG_IMG: case GUMBO_TAG_INPUT: case GUMBO_TAG_KEYGEN: case GUMBO_TAG_LINK:
    case GUMBO_TAG_META: case GUMBO_TAG_PARAM: case GUMBO_TAG_SOURCE: case GUMBO_TAG_TRACK: case GUMBO_TAG_WBR:
    case GUMBO_TAG_BASEFONT: case GUMBO_TAG_BGSOUND: case GUMBO_TAG_FRAME:
      return true;
    default:
      return false;
  }
}

// Elements written without their markup: unknown ones, those whose text the parser would read
// raw (their text is written escaped), and foreign (SVG, MathML) ones.
bool KeepsOnlyContent(const GumboElement& e) {
  if (e.tag_namespace != GUMBO_NAMESPACE_HTML) return true;
  switch (e.tag) {
    case GUMBO_TAG_UNKNOWN: case GUMBO_TAG_XMP: case GUMBO_TAG_IFRAME: case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_PLAINTEXT:
      return true;
    default:
      return false;
  }
}

bool Dropped(const GumboNode* n) {
  return n->type == GUMBO_NODE_COMMENT || n->type == GUMBO_NODE_TEMPLATE ||
         (n->type == GUMBO_NODE_ELEMENT && n->v.element.tag == GUMBO_TAG_SCRIPT);
}

bool SafeAttributeName(const char* name) {
  if (!*name) return false;
  for (const char* p = name; *p; ++p) {
    const char c = *p;
    if (!(IsAlpha(c) || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ':' || c == '.')) return false;
  }
  return true;
}

class Writer {
 public:
  std::string out;

  void Children(const GumboVector& children, int depth, int tables, bool raw) {
    for (unsigned i = 0; i < children.length; ++i)
      Node(static_cast<const GumboNode*>(children.data[i]), depth, tables, raw);
  }

  void Node(const GumboNode* n, int depth, int tables, bool raw) {
    if (Dropped(n)) return;
    if (n->type != GUMBO_NODE_ELEMENT) {
      const char* text = n->v.text.text;
      if (raw) out += text;
      else Escape(text, false);
      return;
    }
    const GumboElement& e = n->v.element;
    if (KeepsOnlyContent(e)) {
      Children(e.children, depth, tables, false);
      return;
    }
    const bool table = e.tag == GUMBO_TAG_TABLE;
    if (depth >= kMaxDepth || elements_ >= kMaxElements || (table && tables >= kMaxTableDepth)) {
      TextOf(n);
      return;
    }
    ++elements_;
    const char* name = gumbo_normalized_tagname(e.tag);
    out += '<';
    out += name;
    for (unsigned i = 0; i < e.attributes.length; ++i) {
      const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
      if (!SafeAttributeName(a->name)) continue;
      out += ' ';
      out += a->name;
      out += "=\"";
      Escape(a->value, true);
      out += '"';
    }
    out += '>';
    if (IsVoid(e.tag)) return;
    Children(e.children, depth + 1, tables + (table ? 1 : 0), e.tag == GUMBO_TAG_STYLE);
    out += "</";
    out += name;
    out += '>';
  }

 private:
  void Escape(const char* text, bool attribute) {
    for (const char* p = text; *p; ++p) {
      switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        default: out += *p;
      }
    }
  }

  // The text below `top`, without markup; cells, rows, lines and blocks are kept apart by a
  // space. Walked with a stack of its own: the tree below may be as deep as the page is long.
  void TextOf(const GumboNode* top) {
    std::vector<std::pair<const GumboNode*, unsigned>> stack{{top, 0}};
    while (!stack.empty()) {
      auto& [node, next] = stack.back();
      if (Dropped(node)) {
        stack.pop_back();
        continue;
      }
      if (node->type != GUMBO_NODE_ELEMENT) {
        Escape(node->v.text.text, false);
        stack.pop_back();
        continue;
      }
      const GumboElement& e = node->v.element;
      if (next == 0 && e.tag == GUMBO_TAG_STYLE) {
        stack.pop_back();
        continue;
      }
      if (next < e.children.length) {
        const auto* child = static_cast<const GumboNode*>(e.children.data[next++]);
        stack.emplace_back(child, 0);
        continue;
      }
      if (e.tag != GUMBO_TAG_B && e.tag != GUMBO_TAG_I && e.tag != GUMBO_TAG_SPAN && e.tag != GUMBO_TAG_A &&
          e.tag != GUMBO_TAG_FONT && e.tag != GUMBO_TAG_U && e.tag != GUMBO_TAG_EM && e.tag != GUMBO_TAG_STRONG &&
          !out.empty() && out.back() != ' ')
        out += ' ';
      stack.pop_back();
    }
  }

  int elements_ = 0;
};

// The tags of plain pages: the bubble's and the forms' templates, and what the text of a message
// turns into. The writer keeps each of them as it is.
constexpr std::array<std::string_view, 23> kPlainTags = {
    "html", "head", "body", "table", "tbody", "tr", "td", "th",   "p",   "div", "span", "img",
    "a",    "br",   "b",    "i",     "u",     "em", "strong", "font", "small", "big", "center"};
// Few enough that with the tags the parser implies (html, head, body, tbody) a plain page stays
// below kMaxDepth and kMaxElements.
constexpr int kMostPlainTags = 24;

// A page that parsing and writing out again would give back with the same meaning: only plain
// tags, few of them, at most kMaxTableDepth tables and kMaxOpenFormatting formatting tags, and
// attributes with safe names, so nothing the writer drops, cuts or rewrites. Such a page goes
// to the layout engine as it is, which spares a parse of its own. Anything unusual (a comment,
// a stray "<", an unquoted value with quotes in it, a NUL) sends the page the long way.
bool PlainlyWithinBounds(std::string_view s) {
  if (s.find('\0') != std::string_view::npos) return false;
  int tags = 0, tables = 0, formatting = 0;
  size_t i = 0;
  while ((i = s.find('<', i)) != std::string_view::npos) {
    const bool closing = i + 1 < s.size() && s[i + 1] == '/';
    size_t j = i + (closing ? 2 : 1);
    char name[8];
    size_t length = 0;
    while (j < s.size() && (IsAlpha(s[j]) || (length > 0 && s[j] >= '0' && s[j] <= '9'))) {
      if (length == sizeof name) return false;
      name[length++] = Lower(s[j++]);
    }
    const std::string_view tag(name, length);
    if (length == 0 || std::find(kPlainTags.begin(), kPlainTags.end(), tag) == kPlainTags.end()) return false;
    if (!closing) {
      if (++tags > kMostPlainTags) return false;
      if (tag == "table" && ++tables > kMaxTableDepth) return false;
      if (FormattingIndex(tag) >= 0 && ++formatting > kMaxOpenFormatting) return false;
    }
    for (;;) {
      while (j < s.size() && (IsSpace(s[j]) || s[j] == '/')) ++j;
      if (j >= s.size()) return false;
      if (s[j] == '>') break;
      if (closing) return false;
      // A name of the characters SafeAttributeName allows.
      const size_t name_at = j;
      while (j < s.size() && (IsAlpha(s[j]) || (s[j] >= '0' && s[j] <= '9') || s[j] == '-' || s[j] == '_' ||
                              s[j] == ':' || s[j] == '.'))
        ++j;
      if (j == name_at || (j < s.size() && !IsSpace(s[j]) && s[j] != '/' && s[j] != '>' && s[j] != '=')) return false;
      while (j < s.size() && IsSpace(s[j])) ++j;
      if (j >= s.size() || s[j] != '=') continue;
      ++j;
      while (j < s.size() && IsSpace(s[j])) ++j;
      if (j >= s.size()) return false;
      if (s[j] == '"' || s[j] == '\'') {
        const size_t close = s.find(s[j], j + 1);
        if (close == std::string_view::npos) return false;
        j = close + 1;
      } else {
        for (; j < s.size() && !IsSpace(s[j]) && s[j] != '>'; ++j)
          if (s[j] == '"' || s[j] == '\'' || s[j] == '<' || s[j] == '=' || s[j] == '`') return false;
      }
    }
    i = j + 1;
  }
  return true;
}

}  // namespace

std::string BoundPage(std::string_view html) {
  if (PlainlyWithinBounds(html)) return std::string(html);
  const std::string source = ScanSource(html);
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the page's mistakes are not kept
  GumboOutput* parsed = gumbo_parse_with_options(&options, source.data(), source.size());
  if (!parsed) return {};
  Writer writer;
  writer.out.reserve(source.size() + 64);
  writer.Node(parsed->root, 0, 0, false);
  gumbo_destroy_output(&options, parsed);
  return std::move(writer.out);
}

}  // namespace pellix::device::htmlview
