// The text-to-HTML conversion written the plain way, one whole-text step after another, as the
// yardstick that tests and the fuzz target hold the fast conversion to. Not part of the module:
// nothing in it is built unless a test includes it. It reads the same settings, smiley table and
// templates as the real conversion.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/settings.h"
#include "render/smiley_table.h"
#include "render/sms_to_html.h"
#include "render/templates.h"

namespace pellix::reference {

using Text = std::u16string;

inline void CutToWorkBuffer(Text& text) {
  if (text.size() > SMS_WORK_BUFFER_CCH - 1) text.resize(SMS_WORK_BUFFER_CCH - 1);
}

// Every occurrence, left to right; the replacement is not searched again.
inline void ReplaceEvery(Text& text, const Text& what, const Text& with) {
  for (size_t pos = text.find(what); pos != Text::npos; pos = text.find(what, pos + with.size()))
    text.replace(pos, what.size(), with);
}

// The tokens of `text` as the runtime's wcstok finds them, each with the place where the scan
// for it started.
struct Token {
  Text text;
  size_t scanStart;
};
inline std::vector<Token> Tokens(const Text& text, const Text& delimiters) {
  std::vector<Token> tokens;
  size_t scan = 0;
  while (scan < text.size()) {
    size_t start = text.find_first_not_of(delimiters, scan);
    if (start == Text::npos) break;
    size_t end = text.find_first_of(delimiters, start);
    if (end == Text::npos) end = text.size();
    tokens.push_back({text.substr(start, end - start), scan});
    scan = end + 1;  // wcstok ends the token on its delimiter and goes on after it
  }
  return tokens;
}

// Inserts the link around each accepted token at its first place at or after the token's scan
// start in the unchanged text, shifted by what was inserted so far.
template <typename Accept>
Text Link(const Text& text, const Text& delimiters, Accept accept) {
  Text out = text;
  size_t inserted = 0;
  for (const Token& token : Tokens(text, delimiters)) {
    if (!accept(token.text)) continue;
    size_t at = text.find(token.text, token.scanStart) + inserted;
    Text open = u"<a href=\"" + token.text + u"\">";
    out.insert(at + token.text.size(), u"</a>");
    out.insert(at, open);
    inserted += open.size() + 4;
  }
  return out;
}

inline bool IsPhoneNumber(const Text& token) {
  WCHAR* end = nullptr;
  long value = wcstol(token.c_str(), &end, 10);
  return end != token.c_str() && end == token.c_str() + token.size() && value >= 0 &&
         token.size() >= 6 && token.size() <= 15;
}

inline bool IsWebOrMail(const Text& token) {
  if (token.rfind(u"http://", 0) == 0) return true;
  size_t at = token.find(u'@');
  size_t dot = token.find(u'.');
  return at != Text::npos && at > 0 && dot != Text::npos && dot > at;
}

// The page of slot `slot` around `body`: the skin's file with its markers, or the built-in text
// formatted with "" , the body and "".
inline Text FillTemplate(UINT slot, const Text& body) {
  if (slot >= TEMPLATE_SLOT_COUNT) slot = TEMPLATE_SLOT_BUBBLE;
  Text page;
  bool builtIn = true;
  if (g_Templates[slot]) {
    page = g_Templates[slot];
    builtIn = g_TemplateBuiltIn[slot];
  } else {
    LPCWSTR text = nullptr;
    int length = BuiltInTemplate(slot, &text);
    if (length <= 0) return body;
    page.assign(text, size_t(length));
  }
  ReplaceEvery(page, u"%alignment%", u"left");
  ReplaceEvery(page, u"%textalignment%", u"left");
  ReplaceEvery(page, u"%DefFontName%", u"default");
  if (!builtIn) {
    ReplaceEvery(page, u"%SMSBody%", body);
    return page;
  }
  const Text arguments[3] = {u"", body, u""};
  Text out;
  int next = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    if (page[i] == u'%' && i + 1 < page.size() && page[i + 1] == u'%') {
      out += u'%';
      ++i;
    } else if (page[i] == u'%' && i + 1 < page.size() && page[i + 1] == u's') {
      if (next < 3) out += arguments[next];
      ++next;
      ++i;
    } else {
      out += page[i];
    }
  }
  return out;
}

// The whole conversion; *pictures receives what CreateHTMLFromSMSBody returns.
inline Text Convert(const Text& message, UINT reportKind, UINT slot, BOOL* pictures) {
  const Text open(1, SMS_TAG_OPEN), close(1, SMS_TAG_CLOSE);
  Text body(message.c_str());  // up to the first NUL, as the C string it is
  *pictures = slot == TEMPLATE_SLOT_BUBBLEPIC;

  Text text;
  if (g_Settings.NewNotifyPicSmiley && reportKind != SMS_REPORT_NONE) {
    text = open + (reportKind == SMS_REPORT_DELIVERED ? u"img style=\"float: left\" src=\"delivered.gif\""
                                                      : u"img style=\"float: left\" src=\"ndelivered.gif\"") +
           close + body;
    *pictures = TRUE;
  } else {
    text = body;
  }
  CutToWorkBuffer(text);

  bool smiley = false;
  if (text.size() >= 2 && g_SmileyTable)
    for (LONG i = 0; i < g_SmileyCount; ++i)
      if (g_SmileyTable[i].code && *g_SmileyTable[i].code && text.find(g_SmileyTable[i].code) != Text::npos)
        smiley = true;
  if (g_Settings.NewNotifyPicSmiley && smiley) {
    for (LONG i = 0; i < g_SmileyCount; ++i) {
      const WCHAR* code = g_SmileyTable[i].code;
      if (!code || !*code || text.find(code) == Text::npos) continue;
      std::string index = std::to_string(i);
      ReplaceEvery(text, code, open + u"img src=\"" + Text(index.begin(), index.end()) + u"\"" + close);
    }
    CutToWorkBuffer(text);
    *pictures = TRUE;
  }

  ReplaceEvery(text, u"\r\n", open + u"br" + close);
  CutToWorkBuffer(text);

  ReplaceEvery(text, u"&", u"&amp;");
  ReplaceEvery(text, u"<", u"&lt;");
  ReplaceEvery(text, u">", u"&gt;");
  ReplaceEvery(text, open, u"<");
  ReplaceEvery(text, close, u">");

  if (text.find_first_of(u"+0123456789") != Text::npos) text = Link(text, u" ><.\"", IsPhoneNumber);
  text = Link(text, u" ", IsWebOrMail);
  return FillTemplate(slot, text);
}

}  // namespace pellix::reference
