// The platform's own bubble for notifications whose sink does not show them.
#pragma once

#include <memory>

#include <windows.h>

namespace pellix::device::shell {

class NotificationManager;
class NotificationPresenter;

// The presenter the manager uses on a booted device: SHNN_SHOW to the sink, and the platform
// bubble when the sink answers 0.
std::shared_ptr<NotificationPresenter> MakeWindowPresenter(NotificationManager& manager);

// The platform bubble on screen, or null.
HWND PlatformBubble();

}  // namespace pellix::device::shell
