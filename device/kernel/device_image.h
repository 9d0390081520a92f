// A device image: the folder that holds one handheld's whole state.
//
//   profile       screen size, dots per inch, platform type, clock speed
//   registry.db   the registry (SQLite)
//   store.db      the message store (SQLite)
//   contacts.db   the contact store (SQLite)
//   journal.log   what the device did for the person
//   fs/           the root of the device's file system
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "kernel/profile.h"
#include "kernel/result.h"

namespace pellix::device {

class DeviceImage {
 public:
  // Creates the folder and its profile; refuses an existing image unless `force`.
  static Result<DeviceImage> Create(const std::filesystem::path& dir, const Profile& profile,
                                    bool force = false);
  static Result<DeviceImage> Open(const std::filesystem::path& dir);

  const std::filesystem::path& root() const { return root_; }
  const Profile& profile() const { return profile_; }
  std::filesystem::path registry_db() const { return root_ / "registry.db"; }
  std::filesystem::path store_db() const { return root_ / "store.db"; }
  std::filesystem::path contacts_db() const { return root_ / "contacts.db"; }
  std::filesystem::path journal_log() const { return root_ / "journal.log"; }
  std::filesystem::path fs_root() const { return root_ / "fs"; }

  // Maps a device path such as "\Windows\PellixRule.dll" to the host path below fs/. Each
  // component that exists is matched without regard to case, as the device's file system
  // does; the rest keep their spelling, so a file can be created under its own name.
  // Fails for a path longer than MAX_PATH or one that climbs out of the root with "..".
  Result<std::filesystem::path> MapPath(std::u16string_view device_path) const;

  static constexpr const char* kProfileFile = "profile";

 private:
  DeviceImage(std::filesystem::path root, Profile profile)
      : root_(std::move(root)), profile_(std::move(profile)) {}

  std::filesystem::path root_;
  Profile profile_;
};

// UTF-16 <-> UTF-8 for host paths and output; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace pellix::device
