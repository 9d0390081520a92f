// Writes frames as one GIF89a file with a shared palette, looping forever when animated.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"

namespace smileygen {

struct TimedFrame {
  Frame frame;
  int delay_ms;
};

// Returns an empty string on success, else the reason.
std::string WriteGif(const std::string& path, const std::vector<TimedFrame>& frames);

}  // namespace smileygen
