// Reading a file of the host (a picture given on the command line, an image's profile or log):
// only a regular file, and only up to a limit, so that a link to /dev/zero or a huge file is
// refused with its name instead of hanging or filling memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "kernel/result.h"

namespace pellix::device {

// The whole file, or "PATH: is a folder" / "PATH: not a regular file" / "PATH: larger than N
// bytes" / "PATH: cannot open (reason)".
Result<std::vector<uint8_t>> ReadHostFile(const std::filesystem::path& file, size_t limit);
Result<std::string> ReadHostText(const std::filesystem::path& file, size_t limit);

}  // namespace pellix::device
