// The clipboard: one set of data handles (LocalAlloc memory, owned by the clipboard once set)
// per device, opened by one thread at a time. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include <windows.h>

namespace pellix::device {
class Device;
}

namespace pellix::device::windows {

class Clipboard {
 public:
  explicit Clipboard(Device& device);
  ~Clipboard();
  static Clipboard& Get();

  bool Open(HWND owner);
  bool Close();
  bool Empty();
  HANDLE Set(UINT format, HANDLE data);
  HANDLE Data(UINT format);
  bool Has(UINT format);
  int Count();
  HWND Owner();
  // The CF_UNICODETEXT data as text, for tools and tests.
  std::optional<std::u16string> Text();

 private:
  bool OpenedByCaller() const;  // REQUIRES: mutex_

  std::mutex mutex_;
  uint32_t open_thread_ = 0;  // 0 when closed
  HWND open_window_ = nullptr;
  HWND owner_ = nullptr;
  std::map<UINT, HANDLE> data_;
};

}  // namespace pellix::device::windows
