#include "render/page_template.h"

#include <cstdlib>
#include <vector>

#include "render/templates.h"

namespace render {
namespace {

// A template with its markers filled, cut where the message goes: the page is
// pieces[0] + message + pieces[1] + ... + message + pieces.back().
struct PreparedTemplate {
  bool valid = false;
  bool builtIn = false;
  Text raw;
  std::vector<Text> pieces;
  size_t fixedLength = 0;

  // Whether this is the template of `text`: `length` characters, or up to its terminator when
  // `length` is npos. One pass that stops at the first difference.
  bool Matches(const WCHAR* text, size_t length, bool isBuiltIn) const {
    if (!valid || builtIn != isBuiltIn) return false;
    const size_t n = raw.size();
    if (length != Text::npos && length != n) return false;
    const WCHAR* r = raw.data();
    size_t i = 0;
    while (i < n && text[i] == r[i]) ++i;
    if (i != n) return false;
    return length == Text::npos ? text[n] == 0 : length == n;
  }

  void Prepare(const WCHAR* text, size_t length, bool isBuiltIn) {
    valid = true;
    builtIn = isBuiltIn;
    raw.assign(text, length);
    Text page = raw;
    ReplaceAll(page, u"%alignment%", u"left");
    ReplaceAll(page, u"%textalignment%", u"left");
    ReplaceAll(page, u"%DefFontName%", u"default");
    pieces.assign(1, Text());
    if (isBuiltIn) {
      // Built-in templates are resource strings written for the platform's printf-style
      // formatting: the middle of their three "%s" is the message, the others are empty, and
      // "%%" is a percent sign. They are expanded by hand, because wsprintfW would cut any page
      // at 1023 characters.
      int argument = 0;
      for (size_t i = 0; i < page.size(); ++i) {
        if (page[i] == u'%' && i + 1 < page.size()) {
          if (page[i + 1] == u'%') {
            pieces.back().push_back(u'%');
            ++i;
            continue;
          }
          if (page[i + 1] == u's') {
            if (argument == 1) pieces.emplace_back();
            ++argument;
            ++i;
            continue;
          }
        }
        pieces.back().push_back(page[i]);
      }
    } else {
      // The message goes in last, so markers that the sender typed stay as typed.
      const TextView marker = u"%SMSBody%";
      size_t from = 0;
      for (size_t pos = page.find(marker); pos != Text::npos; pos = page.find(marker, from)) {
        pieces.back().append(page, from, pos - from);
        pieces.emplace_back();
        from = pos + marker.size();
      }
      pieces.back().append(page, from, Text::npos);
    }
    fixedLength = 0;
    for (const Text& p : pieces) fixedLength += p.size();
  }
};

// The prepared template of `slot`, from the slot's text or, before the templates are loaded,
// the module's built-in string. Null when there is no template at all.
const PreparedTemplate* TemplateFor(UINT slot) {
  thread_local PreparedTemplate prepared[TEMPLATE_SLOT_COUNT];
  if (slot >= TEMPLATE_SLOT_COUNT) slot = TEMPLATE_SLOT_BUBBLE;
  const WCHAR* text = g_Templates[slot];
  size_t length = 0;
  bool builtIn = true;
  if (text) {
    length = Text::npos;  // measured only when the template is new
    builtIn = g_TemplateBuiltIn[slot];
  } else {
    int resource = BuiltInTemplate(slot, &text);
    if (resource <= 0) return nullptr;
    length = static_cast<size_t>(resource);
  }
  PreparedTemplate& p = prepared[slot];
  if (!p.Matches(text, length, builtIn))
    p.Prepare(text, length == Text::npos ? wcslen(text) : length, builtIn);
  return &p;
}

}  // namespace

LPWSTR FillTemplate(UINT slot, TextView body) {
  const PreparedTemplate* t = TemplateFor(slot);
  // Without any template (a host that never attached the module's resources) the message alone
  // is the page, so it is still shown.
  size_t total = t ? t->fixedLength + body.size() * (t->pieces.size() - 1) : body.size();
  auto* page = static_cast<LPWSTR>(malloc((total + 1) * sizeof(WCHAR)));
  if (!page) return nullptr;
  Writer w{page};
  if (!t) {
    w.Put(body);
  } else {
    for (size_t i = 0; i < t->pieces.size(); ++i) {
      if (i) w.Put(body);
      w.Put(t->pieces[i]);
    }
  }
  page[w.length] = 0;
  return page;
}

}  // namespace render
