#include "windows/clipboard.h"

#include "kernel/device.h"
#include "kernel/thread_id.h"

namespace {

constexpr DWORD kClipboardNotOpen = 1418;  // ERROR_CLIPBOARD_NOT_OPEN

}  // namespace

namespace pellix::device::windows {

Clipboard::Clipboard(Device&) {}

Clipboard::~Clipboard() {
  for (auto& [format, handle] : data_) LocalFree(handle);
}

Clipboard& Clipboard::Get() { return Device::Get().Component<Clipboard>(); }

bool Clipboard::OpenedByCaller() const { return open_thread_ == CurrentThreadId(); }

bool Clipboard::Open(HWND owner) {
  std::lock_guard lock(mutex_);
  if (open_thread_ != 0 && !OpenedByCaller()) return false;
  open_thread_ = CurrentThreadId();
  open_window_ = owner;
  return true;
}

bool Clipboard::Close() {
  std::lock_guard lock(mutex_);
  if (!OpenedByCaller()) return false;
  open_thread_ = 0;
  open_window_ = nullptr;
  return true;
}

bool Clipboard::Empty() {
  std::lock_guard lock(mutex_);
  if (!OpenedByCaller()) return false;
  for (auto& [format, handle] : data_) LocalFree(handle);
  data_.clear();
  owner_ = open_window_;
  return true;
}

HANDLE Clipboard::Set(UINT format, HANDLE data) {
  std::lock_guard lock(mutex_);
  if (!OpenedByCaller()) return nullptr;
  auto it = data_.find(format);
  if (it != data_.end() && it->second != data) LocalFree(it->second);
  data_[format] = data;
  return data;
}

HANDLE Clipboard::Data(UINT format) {
  std::lock_guard lock(mutex_);
  if (!OpenedByCaller()) return nullptr;
  auto it = data_.find(format);
  return it == data_.end() ? nullptr : it->second;
}

bool Clipboard::Has(UINT format) {
  std::lock_guard lock(mutex_);
  return data_.count(format) != 0;
}

int Clipboard::Count() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(data_.size());
}

HWND Clipboard::Owner() {
  std::lock_guard lock(mutex_);
  return owner_;
}

std::optional<std::u16string> Clipboard::Text() {
  std::lock_guard lock(mutex_);
  auto it = data_.find(CF_UNICODETEXT);
  if (it == data_.end() || !it->second) return std::nullopt;
  // The text ends at its terminator or at the end of its allocation, whichever comes first.
  const auto* text = static_cast<const WCHAR*>(LocalLock(it->second));
  size_t capacity = LocalSize(it->second) / sizeof(WCHAR);
  size_t n = 0;
  while (text && n < capacity && text[n]) ++n;
  std::u16string result(text ? text : u"", n);
  LocalUnlock(it->second);
  return result;
}

}  // namespace pellix::device::windows

using pellix::device::windows::Clipboard;

BOOL OpenClipboard(HWND owner) { return Clipboard::Get().Open(owner) ? TRUE : FALSE; }

BOOL CloseClipboard() {
  if (Clipboard::Get().Close()) return TRUE;
  SetLastError(kClipboardNotOpen);
  return FALSE;
}

BOOL EmptyClipboard() {
  if (Clipboard::Get().Empty()) return TRUE;
  SetLastError(kClipboardNotOpen);
  return FALSE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  HANDLE result = Clipboard::Get().Set(format, data);
  if (!result) SetLastError(kClipboardNotOpen);
  return result;
}

HANDLE GetClipboardData(UINT format) { return Clipboard::Get().Data(format); }
BOOL IsClipboardFormatAvailable(UINT format) { return Clipboard::Get().Has(format) ? TRUE : FALSE; }
HWND GetClipboardOwner() { return Clipboard::Get().Owner(); }
int CountClipboardFormats() { return Clipboard::Get().Count(); }
