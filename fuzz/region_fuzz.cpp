// Region data from untrusted bytes: ExtCreateRegion must refuse or accept without reading past
// the buffer, and the regions it makes must combine and answer queries safely.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "kernel/device.h"
#include "testing/temp_image.h"

#include <windows.h>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static pellix::testing::TempDir* dir = new pellix::testing::TempDir();
  auto image = pellix::device::DeviceImage::Create(dir->path() / "image", pellix::device::Profile{});
  if (!image.ok()) std::abort();
  pellix::device::Device::Boot(std::move(*image));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int mode = data[0] % 6;
  // An exact-size copy, so that any read past the end is caught.
  std::vector<uint8_t> bytes(data + 1, data + size);
  auto* rgn_data = reinterpret_cast<const RGNDATA*>(bytes.data());
  HRGN rgn = ExtCreateRegion(nullptr, static_cast<DWORD>(bytes.size()),
                             bytes.empty() ? nullptr : rgn_data);
  if (!rgn) return 0;
  HRGN other = CreateRectRgn(-5, -5, 50, 50);
  HRGN out = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(out, rgn, other, mode == 0 ? RGN_COPY : mode);
  RECT box{};
  GetRgnBox(out, &box);
  PtInRegion(out, box.left, box.top);
  const DWORD need = GetRegionData(out, 0, nullptr);
  std::vector<uint8_t> back(need);
  GetRegionData(out, need, reinterpret_cast<RGNDATA*>(back.data()));
  DeleteObject(rgn);
  DeleteObject(other);
  DeleteObject(out);
  return 0;
}
