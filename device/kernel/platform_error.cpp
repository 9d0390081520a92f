#include "kernel/platform_error.h"

#include <windows.h>

// The thread's last error belongs to the kernel's thread service; until it is part of this
// build the error is dropped rather than kept in a second place.
void SetLastError(DWORD dwErrCode) __attribute__((weak));

namespace pellix::device {

void SetPlatformError(long code) {
  if (&SetLastError != nullptr) SetLastError(static_cast<DWORD>(code));
}

}  // namespace pellix::device
