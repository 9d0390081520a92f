#include "kernel/device_image.h"

#include "kernel/host_file.h"
#include "kernel/registry.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace pellix::device {

namespace {

constexpr size_t kMaxPath = 260;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    uint32_t c;
    size_t len;
    if (b < 0x80) {
      c = b, len = 1;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F, len = 2;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F, len = 3;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07, len = 4;
    } else {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    if (i + len > text.size()) {
      out += u'\xFFFD';
      break;
    }
    bool good = true;
    for (size_t k = 1; k < len; ++k) {
      unsigned char cont = static_cast<unsigned char>(text[i + k]);
      if ((cont & 0xC0) != 0x80) good = false;
      c = (c << 6) | (cont & 0x3F);
    }
    if (!good) {
      out += u'\xFFFD';
      ++i;
      continue;
    }
    i += len;
    if (c >= 0x10000 && c <= 0x10FFFF) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\xFFFD';
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

Result<DeviceImage> DeviceImage::Create(const fs::path& dir, const Profile& profile, bool force) {
  if (Status s = profile.Validate(); !s) return s.error();
  std::error_code ec;
  if (fs::exists(dir / kProfileFile, ec)) {
    if (!force) return Fail("a device image already exists at " + dir.string() + " (use --force)");
    for (const char* name : {"registry.db", "store.db", "contacts.db", "journal.log", "profile"}) {
      fs::remove(dir / name, ec);
      fs::remove(dir / (std::string(name) + "-wal"), ec);
      fs::remove(dir / (std::string(name) + "-shm"), ec);
    }
    fs::remove_all(dir / "fs", ec);
  }
  fs::create_directories(dir / "fs", ec);
  if (ec) return Fail("cannot create " + (dir / "fs").string() + ": " + ec.message());
  std::ofstream out(dir / kProfileFile, std::ios::binary | std::ios::trunc);
  out << profile.Serialize();
  if (!out.flush()) return Fail("cannot write " + (dir / kProfileFile).string());
  out.close();
  // An image has its registry from the start: a missing one later means the image is damaged.
  {
    Registry registry((dir / "registry.db").string());
    if (!registry.open_error().empty()) return Fail(registry.open_error());
    // The platform's own form module for text messages, which a module that takes the class
    // over saves as the original and chains to.
    constexpr std::u16string_view kSmsType = u"Software\\Microsoft\\Inbox\\MsgTypes\\IPM\\SMStext";
    constexpr std::u16string_view kSmsForms = u"\\Windows\\smsforms.dll";
    std::vector<uint8_t> path(reinterpret_cast<const uint8_t*>(kSmsForms.data()),
                              reinterpret_cast<const uint8_t*>(kSmsForms.data() + kSmsForms.size()));
    path.insert(path.end(), {0, 0});
    if (Status s = registry.CreateKey(RegistryRoot::kCurrentUser, kSmsType); !s) return s.error();
    if (Status s = registry.SetValue(RegistryRoot::kCurrentUser, kSmsType, RegistryValue{u"DLL", 1, path}); !s)
      return s.error();
  }
  return DeviceImage(fs::absolute(dir), profile);
}

Result<DeviceImage> DeviceImage::Open(const fs::path& dir) {
  std::error_code ec;
  if (!fs::exists(dir / kProfileFile, ec))
    return Fail("no device image at " + dir.string() + " (create one with 'pellix-device init')");
  // A profile is a few short lines; anything longer is not one.
  auto text = ReadHostText(dir / kProfileFile, 64 * 1024);
  if (!text) return text.error();
  Result<Profile> profile = Profile::Parse(*text);
  if (!profile) return Fail((dir / kProfileFile).string() + ": " + profile.error().message);
  fs::create_directories(dir / "fs", ec);
  return DeviceImage(fs::absolute(dir), *profile);
}

Result<fs::path> DeviceImage::MapPath(std::u16string_view device_path) const {
  constexpr long kErrorPathNotFound = 3, kErrorFilenameExcedRange = 206;
  if (device_path.size() >= kMaxPath) return Fail("path too long", kErrorFilenameExcedRange);
  fs::path host = fs_root();
  size_t pos = 0;
  while (pos <= device_path.size()) {
    size_t end = device_path.find_first_of(u"\\/", pos);
    if (end == std::u16string_view::npos) end = device_path.size();
    std::u16string_view part = device_path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") return Fail("path leaves the device's file system", kErrorPathNotFound);
    std::string name = Utf16ToUtf8(part);
    fs::path exact = host / name;
    std::error_code ec;
    if (!fs::exists(exact, ec) && fs::is_directory(host, ec)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(host, ec)) {
        if (SameIgnoringCase(entry.path().filename().string(), name)) {
          exact = entry.path();
          break;
        }
      }
    }
    host = exact;
  }
  return host;
}

}  // namespace pellix::device
