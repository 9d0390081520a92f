// Screenshots compared pixel for pixel with reference pictures kept in the repository.
// PELLIX_UPDATE_GOLDEN=1 writes the reference instead (after a deliberate change of the look;
// look at the new picture before committing it).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace pellix::testing {

// When PELLIX_UPDATE_GOLDEN is set: copies `shot` over `golden` and returns true (the caller
// then skips its comparison).
bool WriteGoldenIfAsked(const std::filesystem::path& shot, const std::filesystem::path& golden);

// Adds a test failure unless `shot` and `golden` have the same size and the same pixels below
// their first `skip_rows` rows. A differing shot is kept in the temporary folder as `kept_name`.
void ExpectSamePicture(const std::filesystem::path& shot, const std::filesystem::path& golden,
                       uint32_t skip_rows, const std::string& kept_name);

}  // namespace pellix::testing
