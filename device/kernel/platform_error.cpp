#include "kernel/platform_error.h"

#include <windows.h>

namespace pellix::device {

void SetPlatformError(long code) { SetLastError(static_cast<DWORD>(code)); }

}  // namespace pellix::device
