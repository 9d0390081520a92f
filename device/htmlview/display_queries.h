// What scripts and tests ask an HTML view about what it shows, answered on the view's own
// thread (send these to a "DISPLAYCLASS" window with SendMessageW). Device-private messages:
// programs on the platform never send them.
#pragma once

#include <windows.h>

namespace pellix::device::htmlview {

// lParam: std::u16string* that receives the document's text. Returns TRUE.
inline constexpr UINT kQueryText = 0xBF00;
// wParam: const std::u16string* link target; lParam: POINT* that receives a point of the
// canvas (client coordinates) on which a link to that target is visible. TRUE when one is.
inline constexpr UINT kQueryLinkPoint = 0xBF01;

}  // namespace pellix::device::htmlview
