#include "testing/temp_image.h"

#include <cstdlib>
#include <string>

namespace pellix::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "pellix-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void DeviceTest::SetUp() {
  auto image = device::DeviceImage::Create(dir_.path() / "image", MakeProfile());
  ASSERT_TRUE(image.ok()) << image.error().message;
  device_ = &device::Device::Boot(std::move(*image));
}

void DeviceTest::TearDown() {
  device::Device::Shutdown();
  device_ = nullptr;
}

std::filesystem::path DeviceTest::HostPath(std::u16string_view device_path) const {
  auto mapped = device_->image().MapPath(device_path);
  return mapped.ok() ? *mapped : std::filesystem::path();
}

}  // namespace pellix::testing
