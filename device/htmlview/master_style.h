// The style sheet every page of the HTML view starts from, and the one layout context that
// carries it. litehtml lays out nothing it is not told about (tables, pictures and line breaks
// included), so this sheet is what makes plain HTML look like HTML.
#pragma once

#include <litehtml/litehtml.h>

namespace pellix::device::htmlview {

// The process-wide context, parsed once on first use. Documents only read it, from any thread.
litehtml::context& SharedContext();

// The sheet's text (for tests that check a rule is present).
const char* MasterStyleSheet();

}  // namespace pellix::device::htmlview
