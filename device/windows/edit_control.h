// The system class "EDIT", registered with every window system so that any module can make
// text boxes without registering anything itself.
#pragma once

namespace pellix::device::windows {

class WindowSystem;

void RegisterEditClass(WindowSystem& system);

}  // namespace pellix::device::windows
