// What the `expect clipboard` step of scripts checks: the text the device's clipboard holds.
#pragma once

#include <chrono>
#include <string>

namespace pellix::tool {

// Waits up to `patience` (real time) for the clipboard's CF_UNICODETEXT to be exactly `wanted`.
// Empty when it is; otherwise what the clipboard holds instead, on one line ("the clipboard
// holds no text", or `the clipboard holds "..."`). REQUIRES: a booted device.
std::string CheckClipboardText(const std::u16string& wanted, std::chrono::milliseconds patience);

}  // namespace pellix::tool
