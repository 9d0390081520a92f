// The calling thread's last error, as the surface functions of the loader and the resource
// calls report it.
#pragma once

namespace pellix::device {

// Sets the calling thread's last error (GetLastError) to `code`.
void SetPlatformError(long code);

}  // namespace pellix::device
