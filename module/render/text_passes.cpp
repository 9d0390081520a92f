#include "render/text_passes.h"

namespace render {

void ReplaceAll(Text& text, TextView what, TextView with) {
  size_t pos = text.find(what);
  if (pos == Text::npos) return;
  Text out;
  out.reserve(text.size() + with.size() * 4);
  size_t from = 0;
  while (pos != Text::npos) {
    out.append(text, from, pos - from);
    out.append(with);
    from = pos + what.size();
    pos = text.find(what, from);
  }
  out.append(text, from, Text::npos);
  text.swap(out);
}

}  // namespace render
