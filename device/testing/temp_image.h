// Test support: every test gets a fresh device image in a temporary folder, booted as the
// process's device (tests run one per process, so nothing leaks between them).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "kernel/device.h"

namespace pellix::testing {

// A temporary folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Fixture: a new image with `profile()` booted before each test, shut down after it.
class DeviceTest : public ::testing::Test {
 protected:
  // Override to test another handheld.
  virtual device::Profile MakeProfile() const { return device::Profile{}; }
  void SetUp() override;
  void TearDown() override;

  device::Device& device() { return *device_; }
  const std::filesystem::path& image_dir() const { return dir_.path(); }
  // Host path of a device path in this image.
  std::filesystem::path HostPath(std::u16string_view device_path) const;

 private:
  TempDir dir_;
  device::Device* device_ = nullptr;
};

}  // namespace pellix::testing
