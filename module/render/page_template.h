// The last step of the conversion: the page template of a slot with its markers filled and the
// message put where it goes. Each thread keeps the template it last filled, already split where
// the message goes, and uses it again while the slot holds the same text.
#pragma once

#include <windows.h>

#include "render/text_passes.h"

namespace render {

// The page of template `slot` (out of range: the bubble's) around `body`, as a heap string
// (free() it), or null when memory ran out. Before the templates are loaded the module's
// built-in text stands in; without that too, the page is the body alone.
LPWSTR FillTemplate(UINT slot, TextView body);

}  // namespace render
