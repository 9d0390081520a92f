#include "kernel/host_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pellix::device {

namespace {

std::string Size(size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

Result<std::vector<uint8_t>> ReadHostFile(const std::filesystem::path& file, size_t limit) {
  const std::string name = file.string();
  // Opened without blocking, so that a named pipe cannot hold the open; checked on the open
  // descriptor, so that what is read is what was checked.
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(name + ": cannot open (" + std::strerror(errno) + ")");
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const bool folder = S_ISDIR(st.st_mode);
    close(fd);
    return Fail(name + (folder ? ": is a folder, not a file" : ": not a regular file"));
  }
  if (static_cast<uint64_t>(st.st_size) > limit) {
    close(fd);
    return Fail(name + ": larger than " + Size(limit));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t have = 0;
  // One byte more than the limit is asked for, so a file that grows while read is still caught.
  uint8_t probe = 0;
  for (;;) {
    uint8_t* at = have < bytes.size() ? bytes.data() + have : &probe;
    const size_t want = have < bytes.size() ? bytes.size() - have : 1;
    const ssize_t n = read(fd, at, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int e = errno;
      close(fd);
      return Fail(name + ": cannot read (" + std::strerror(e) + ")");
    }
    if (n == 0) break;
    if (at == &probe) {
      if (bytes.size() >= limit) {
        close(fd);
        return Fail(name + ": larger than " + Size(limit));
      }
      bytes.push_back(probe);
    }
    have += at == &probe ? 1 : static_cast<size_t>(n);
  }
  close(fd);
  bytes.resize(have);
  return bytes;
}

Result<std::string> ReadHostText(const std::filesystem::path& file, size_t limit) {
  auto bytes = ReadHostFile(file, limit);
  if (!bytes) return bytes.error();
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace pellix::device
