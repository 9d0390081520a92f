#include "declaration_scanner.h"

#include <cctype>

namespace pellix::sdkcheck {
namespace {

// The header without comments, string and character literals kept whole, and preprocessor
// lines (with their continuations) blanked.
std::string StripCommentsAndDirectives(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  bool line_start = true;
  for (size_t i = 0; i < in.size();) {
    const char c = in[i];
    if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
      while (i < in.size() && in[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
      const size_t end = in.find("*/", i + 2);
      i = end == std::string_view::npos ? in.size() : end + 2;
      out += ' ';
      continue;
    }
    if (line_start && c == '#') {
      // A directive runs to the end of the line, or further after a backslash.
      while (i < in.size() && in[i] != '\n') {
        if (in[i] == '\\' && i + 1 < in.size() && in[i + 1] == '\n') ++i;
        ++i;
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      out += c;
      for (++i; i < in.size() && in[i] != c; ++i) {
        if (in[i] == '\\' && i + 1 < in.size()) out += in[i++];
        out += in[i];
      }
      if (i < in.size()) out += in[i++];
      line_start = false;
      continue;
    }
    if (c == '\n') line_start = true;
    else if (!std::isspace(static_cast<unsigned char>(c))) line_start = false;
    out += c;
    ++i;
  }
  return out;
}

std::string Collapse(std::string_view text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
      continue;
    }
    if (space) out += ' ';
    space = false;
    out += c;
  }
  return out;
}

bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool StartsWithWord(std::string_view text, std::string_view word) {
  return text.substr(0, word.size()) == word &&
         (text.size() == word.size() || !IsIdentifierChar(text[word.size()]));
}

bool HasWord(std::string_view text, std::string_view word) {
  for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1)) {
    const bool before = at == 0 || !IsIdentifierChar(text[at - 1]);
    const size_t end = at + word.size();
    if (before && (end == text.size() || !IsIdentifierChar(text[end]))) return true;
  }
  return false;
}

// A collapsed statement that ended in ';' at namespace scope: a declaration of a function?
bool AsFunction(const std::string& text, Declaration* out) {
  for (std::string_view skip : {"typedef", "using", "struct", "class", "union", "enum", "template",
                                "static_assert", "namespace", "friend"}) {
    if (StartsWithWord(text, skip)) return false;
  }
  // Defined in the header, or not a function of the device's libraries.
  for (std::string_view skip : {"inline", "static", "constexpr", "operator"}) {
    if (HasWord(text, skip)) return false;
  }
  const size_t paren = text.find('(');
  if (paren == std::string::npos || text.find('=') < paren) return false;
  size_t end = paren;
  while (end > 0 && text[end - 1] == ' ') --end;
  size_t begin = end;
  while (begin > 0 && IsIdentifierChar(text[begin - 1])) --begin;
  if (begin == end || std::isdigit(static_cast<unsigned char>(text[begin]))) return false;
  // A return type must come first; without one this is a macro's invocation (DEFINE_GUID).
  if (Collapse(text.substr(0, begin)).empty()) return false;
  out->name = text.substr(begin, end - begin);
  out->text = text;
  return true;
}

}  // namespace

std::vector<Declaration> ScanDeclarations(std::string_view header) {
  const std::string source = StripCommentsAndDirectives(header);
  std::vector<Declaration> result;
  std::string statement;
  bool had_body = false;  // the statement held a struct or enum body: not a function
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '"' || c == '\'') {
      const size_t close = source.find(c, i + 1);
      const size_t stop = close == std::string::npos ? source.size() : close + 1;
      statement.append(source, i, stop - i);
      i = stop - 1;
      continue;
    }
    if (c == '{') {
      const std::string head = Collapse(statement);
      // Linkage blocks and namespaces hold declarations of their own.
      if (head == "extern \"C\"" || head == "extern \"C++\"" || StartsWithWord(head, "namespace")) {
        statement.clear();
        continue;
      }
      int depth = 1;
      for (++i; i < source.size() && depth > 0; ++i) {
        if (source[i] == '{') ++depth;
        if (source[i] == '}') --depth;
      }
      --i;
      const bool type_body = StartsWithWord(head, "typedef") || StartsWithWord(head, "struct") ||
                             StartsWithWord(head, "class") || StartsWithWord(head, "union") ||
                             StartsWithWord(head, "enum") || head.find('=') != std::string::npos;
      if (type_body) {
        had_body = true;
      } else {
        // A function defined in the header: its statement ends with its body.
        statement.clear();
        had_body = false;
      }
      continue;
    }
    if (c == '}') {  // the end of a linkage block or namespace
      statement.clear();
      had_body = false;
      continue;
    }
    if (c == ';') {
      Declaration d;
      if (!had_body && AsFunction(Collapse(statement), &d)) result.push_back(std::move(d));
      statement.clear();
      had_body = false;
      continue;
    }
    statement += c;
  }
  return result;
}

std::string BlockScopeDeclaration(const Declaration& d) {
  std::string text = d.text;
  if (StartsWithWord(text, "STDAPI")) text = "HRESULT" + text.substr(6);
  // `extern` says a declaration is meant, not a variable with a vexing initializer.
  return "extern " + text + ";";
}

}  // namespace pellix::sdkcheck
