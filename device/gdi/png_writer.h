// PNG encoding of surfaces for screenshots (8-bit RGB, no alpha).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "gdi/surface.h"
#include "kernel/result.h"

namespace pellix::device::gdi {

// The PNG file of a surface. Tuned for speed over size: screenshots are taken often.
Result<std::vector<uint8_t>> EncodePng(const Surface& surface);
Status WritePng(const Surface& surface, const std::filesystem::path& path);

}  // namespace pellix::device::gdi
