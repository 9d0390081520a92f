// Test support for the window system's conformance tests: a window class whose procedure
// records every message it receives, per window, in order.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "testing/temp_image.h"

namespace pellix::testing {

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  friend bool operator==(const Seen&, const Seen&) = default;
};

// Records messages of "RecorderClass" windows. Thread-safe.
class Recorder {
 public:
  static Recorder& Get() {
    static Recorder recorder;
    return recorder;
  }
  void Add(const Seen& seen) {
    std::lock_guard lock(mutex_);
    seen_.push_back(seen);
  }
  // The messages seen with numbers in `wanted`, in order.
  std::vector<Seen> Only(std::initializer_list<UINT> wanted) {
    std::lock_guard lock(mutex_);
    std::vector<Seen> out;
    for (const Seen& s : seen_)
      for (UINT w : wanted)
        if (s.message == w) out.push_back(s);
    return out;
  }
  std::vector<UINT> Numbers(std::initializer_list<UINT> wanted) {
    std::vector<UINT> out;
    for (const Seen& s : Only(wanted)) out.push_back(s.message);
    return out;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    seen_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

inline LRESULT CALLBACK RecorderProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Recorder::Get().Add({hwnd, message, wparam, lparam});
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

inline constexpr WCHAR kRecorderClass[] = u"RecorderClass";

inline void RegisterRecorderClass(HBRUSH background = nullptr) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecorderProc;
  wc.lpszClassName = kRecorderClass;
  wc.hbrBackground = background;
  wc.cbWndExtra = 8;
  RegisterClassW(&wc);
}

inline HWND MakeWindow(DWORD style, int x, int y, int w, int h, HWND parent = nullptr,
                       DWORD ex_style = 0, UINT_PTR id = 0) {
  return CreateWindowExW(ex_style, kRecorderClass, u"", style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(id), nullptr, nullptr);
}

// Retrieves and dispatches everything waiting (PeekMessage loop); returns what was retrieved.
inline std::vector<UINT> Drain() {
  std::vector<UINT> got;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    got.push_back(msg.message);
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return got;
}

}  // namespace pellix::testing
