#include "testing/golden_picture.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/decoded_image.h"
#include "kernel/host_file.h"

namespace pellix::testing {

namespace fs = std::filesystem;

bool WriteGoldenIfAsked(const fs::path& shot, const fs::path& golden) {
  if (!std::getenv("PELLIX_UPDATE_GOLDEN")) return false;
  fs::create_directories(golden.parent_path());
  fs::copy_file(shot, golden, fs::copy_options::overwrite_existing);
  return true;
}

void ExpectSamePicture(const fs::path& shot, const fs::path& golden, uint32_t skip_rows, const std::string& kept_name) {
  auto expected_file = device::ReadHostFile(golden, 16u << 20);
  ASSERT_TRUE(expected_file.ok()) << golden;
  auto actual_file = device::ReadHostFile(shot, 16u << 20);
  ASSERT_TRUE(actual_file.ok()) << shot;
  auto expected = device::imaging::DecodePng(*expected_file);
  auto actual = device::imaging::DecodePng(*actual_file);
  ASSERT_TRUE(expected.ok() && actual.ok());
  ASSERT_EQ(actual->width, expected->width);
  ASSERT_EQ(actual->height, expected->height);
  const auto& a = actual->frames[0].pixels;
  const auto& e = expected->frames[0].pixels;
  size_t differing = 0, first = a.size();
  for (size_t i = static_cast<size_t>(skip_rows) * actual->width; i < a.size(); ++i) {
    if (a[i] == e[i]) continue;
    if (first == a.size()) first = i;
    ++differing;
  }
  if (differing) {
    const fs::path kept = fs::temp_directory_path() / kept_name;
    fs::copy_file(shot, kept, fs::copy_options::overwrite_existing);
    ADD_FAILURE() << differing << " pixels differ from " << golden << ", the first at x " << first % actual->width
                  << ", y " << first / actual->width << "; the screen is kept as " << kept;
  }
}

}  // namespace pellix::testing
