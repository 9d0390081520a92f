// Window classes every program finds without registering them: the platform's controls
// ("STATIC", "ToolbarWindow32", ...). A control's file adds its class when the device library
// loads (AddSystemClass from a static initialiser); each window system registers them all when
// it is made, so they exist from boot on, under the names programs pass to CreateWindowExW.
#pragma once

#include <vector>

#include <windows.h>

namespace pellix::device::windows {

// `wc.lpszClassName` must point to storage that lives as long as the program.
bool AddSystemClass(const WNDCLASSW& wc);
const std::vector<WNDCLASSW>& SystemClasses();

}  // namespace pellix::device::windows
